// The log escaper against GLib's UTF-8 decoder: whatever the input, the output is one line of
// valid UTF-8 without control characters, and clean input passes unchanged.
#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.hpp"
#include "platform/LogEscape.hpp"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string output = pelunna::escapeForLog(input);

    FUZZ_CHECK(isCleanUtf8(output));
    FUZZ_CHECK(output.find('\n') == std::string::npos);
    FUZZ_CHECK(pelunna::escapeForLog(output) == output);
    if (isCleanUtf8(input)) {
        FUZZ_CHECK(output == input);
    } else {
        FUZZ_CHECK(output != input);
    }
    return 0;
}
