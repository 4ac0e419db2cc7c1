#include "log/LogEscape.hpp"

#include <gtest/gtest.h>

namespace pelunna::test {
namespace {

using Rows = std::pair<std::string, std::string>[];

// Control characters by code point, invalid UTF-8 byte by byte; everything else unchanged.
TEST(LogEscape, OnlyControlCharactersAndInvalidBytesAreEscaped) {
    const Rows rows = {
        {R"(back\slash "quoted")", R"(back\slash "quoted")"},
        {"தமிழ் 📱 \u00A0 after C1", "தமிழ் 📱 \u00A0 after C1"},
        {"a\r\nb\tc", R"(a\r\nb\tc)"},
        {"\x1B[31mred\x7F", R"(\u001B[31mred\u007F)"},
        {"next \xC2\x85 csi \xC2\x9B", R"(next \u0085 csi \u009B)"},
        {"lone \x85", R"(lone \x85)"},
        {"overlong \xC0\xAF", R"(overlong \xC0\xAF)"},
        {"surrogate \xED\xA0\x80", R"(surrogate \xED\xA0\x80)"},
        {"beyond \xF4\x90\x80\x80", R"(beyond \xF4\x90\x80\x80)"},
        {"\xE0\xAE\n", R"(\xE0\xAE\n)"},
    };
    for (const auto& [input, expected] : rows) {
        EXPECT_EQ(escapeForLog(input), expected) << expected;
    }
}

// A line longer than 16 KiB once escaped is cut between characters, and says how much was cut.
TEST(LogEscape, LongLinesAreCutBetweenCharactersAndSayHowMuchWasCut) {
    constexpr std::size_t limit = maxLogLineBytes;
    // What stays beside the mark of a line whose length has five, or seven, digits.
    constexpr std::size_t room5 = limit - std::string_view(" … (12345 bytes cut)").size();
    constexpr std::size_t room7 = limit - std::string_view(" … (1234567 bytes cut)").size();
    const auto text = [](std::size_t length, char c) { return std::string(length, c); };
    const auto mark = [](std::size_t cut) { return " … (" + std::to_string(cut) + " bytes cut)"; };
    const std::string console = "📱 WebView Console: ";
    const Rows rows = {
        {text(limit, 'a'), text(limit, 'a')},
        {text(limit + 1, 'a'), text(room5, 'a') + mark(limit + 1 - room5)},
        {text(room5 - 1, 'a') + "த" + text(limit, 'b'), text(room5 - 1, 'a') + mark(3 + limit)},
        {text(room5 - 2, 'a') + "\x01" + text(limit, 'b'), text(room5 - 2, 'a') + mark(1 + limit)},
        {"\n" + text(limit, 'a'), "\\n" + text(room5 - 2, 'a') + mark(limit + 2 - room5)},
        {console + text(8 << 20, 'x'),
         console + text(room7 - console.size(), 'x') + " … (8372271 bytes cut)"},
    };
    for (const auto& [input, expected] : rows) {
        EXPECT_EQ(escapeLogLine(input), expected) << input.size() << " bytes in";
    }
}

}  // namespace
}  // namespace pelunna::test
