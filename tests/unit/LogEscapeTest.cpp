#include "log/LogEscape.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string_view>

namespace pelunna::test {
namespace {

struct Case {
    std::string input;
    std::string expected;
};

TEST(LogEscape, CleanTextPassesUnchanged) {
    for (const std::string text : {"", "plain ascii", R"(back\slash "quoted")", "தமிழ் உச்சரிப்பு",
                                   "📱 WebView Console: [\"🎤\"]", "\xF0\x9F\x98\x80 four-byte",
                                   "\u00A0 after the C1 range"}) {
        EXPECT_EQ(escapeForLog(text), text);
    }
}

TEST(LogEscape, ControlCharactersAreEscapedByCodePoint) {
    const Case cases[] = {
        {"a\nb", R"(a\nb)"},
        {"a\r\nb", R"(a\r\nb)"},
        {"tab\there", R"(tab\there)"},
        {std::string("nul\0end", 7), R"(nul\u0000end)"},
        {"\x1B[31mred", R"(\u001B[31mred)"},
        {"del\x7F", R"(del\u007F)"},
        {"next line \xC2\x85", R"(next line \u0085)"},
        {"csi \xC2\x9B", R"(csi \u009B)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(escapeForLog(c.input), c.expected) << c.expected;
    }
}

TEST(LogEscape, InvalidUtf8BytesAreEscapedOneByOne) {
    const Case cases[] = {
        {"lone \x85 continuation", R"(lone \x85 continuation)"},
        {"overlong \xC0\xAF", R"(overlong \xC0\xAF)"},
        {"surrogate \xED\xA0\x80", R"(surrogate \xED\xA0\x80)"},
        {"beyond \xF4\x90\x80\x80", R"(beyond \xF4\x90\x80\x80)"},
        {"cut \xE0\xAE", R"(cut \xE0\xAE)"},
        {"\xE0\xAE\n", R"(\xE0\xAE\n)"},
        {"\xFF\xFE", R"(\xFF\xFE)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(escapeForLog(c.input), c.expected) << c.expected;
    }
}

TEST(LogEscape, LongLinesAreCutBetweenCharactersAndSayHowMuchWasCut) {
    constexpr std::size_t limit = maxLogLineBytes;
    // What stays beside the mark of a line whose length has five, or seven, digits.
    constexpr std::size_t room5 = limit - std::string_view(" … (12345 bytes cut)").size();
    constexpr std::size_t room7 = limit - std::string_view(" … (1234567 bytes cut)").size();
    const auto text = [](std::size_t length, char c) { return std::string(length, c); };
    const auto mark = [](std::size_t cut) { return " … (" + std::to_string(cut) + " bytes cut)"; };
    const std::string console = "📱 WebView Console: ";
    const Case cases[] = {
        {console + "[\"ok\"]", console + "[\"ok\"]"},
        {text(limit, 'a'), text(limit, 'a')},
        {text(limit + 1, 'a'), text(room5, 'a') + mark(limit + 1 - room5)},
        {text(room5 - 1, 'a') + "த" + text(limit, 'b'), text(room5 - 1, 'a') + mark(3 + limit)},
        {text(room5 - 2, 'a') + "\x01" + text(limit, 'b'), text(room5 - 2, 'a') + mark(1 + limit)},
        {console + text(8 << 20, 'x'),
         console + text(room7 - console.size(), 'x') + " … (8372271 bytes cut)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(escapeLogLine(c.input), c.expected) << c.input.size() << " bytes in";
    }
}

}  // namespace
}  // namespace pelunna::test
