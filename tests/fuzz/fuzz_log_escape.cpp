// The log escaper against GLib's UTF-8 decoder: whatever the input, the output is one line of
// valid UTF-8 without control characters, and clean input passes unchanged. A line cut to the
// limit is the escaping of a prefix of its input, cut between characters, and counts the rest.
#include <glib.h>

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "log/LogEscape.hpp"

// A broken invariant must stop the fuzzer with a crash it records, in every build type.
#define FUZZ_CHECK(condition)                                                            \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                \
        }                                                                                \
    } while (false)

namespace {

bool isControl(gunichar c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool isCleanUtf8(const std::string& text) {
    if (!g_utf8_validate_len(text.data(), text.size(), nullptr)) {
        return false;
    }
    for (const char* p = text.data(); p < text.data() + text.size(); p = g_utf8_next_char(p)) {
        if (isControl(g_utf8_get_char(p))) {
            return false;
        }
    }
    return true;
}

void checkCut(const std::string& line) {
    const std::string cut = pelunna::escapeLogLine(line);
    const std::string whole = pelunna::escapeForLog(line);
    FUZZ_CHECK(cut.size() <= pelunna::maxLogLineBytes);
    if (whole.size() <= pelunna::maxLogLineBytes) {
        FUZZ_CHECK(cut == whole);
        return;
    }
    const std::size_t mark = cut.rfind(" … (");
    FUZZ_CHECK(mark != std::string::npos);
    std::size_t cutBytes = 0;
    std::from_chars(cut.data() + mark + std::strlen(" … ("), cut.data() + cut.size(), cutBytes);
    FUZZ_CHECK(cut.substr(mark) == " … (" + std::to_string(cutBytes) + " bytes cut)");
    const std::string kept = cut.substr(0, mark);
    FUZZ_CHECK(whole.starts_with(kept));
    FUZZ_CHECK(kept == pelunna::escapeForLog(line.substr(0, line.size() - cutBytes)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string output = pelunna::escapeForLog(input);

    FUZZ_CHECK(isCleanUtf8(output));
    FUZZ_CHECK(pelunna::escapeForLog(output) == output);
    if (isCleanUtf8(input)) {
        FUZZ_CHECK(output == input);
    } else {
        FUZZ_CHECK(output != input);
    }
    // Inputs are short: padding brings the fuzzer's bytes to where the cut falls; the tail gives
    // the count of cut bytes as many digits as the line's length, all the room the cut keeps.
    checkCut(input);
    const std::string padding(pelunna::maxLogLineBytes - 64, '.');
    checkCut(padding + input + padding);
    return 0;
}
