#include "platform/LogEscape.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pelunna::test
