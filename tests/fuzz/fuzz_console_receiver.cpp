// The console receiver: any channel name and body prints at most one line, and only for a
// string body on the "logging" channel; that line stays one line once escaped for stdout.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "../unit/Fakes.hpp"
#include "FuzzCheck.hpp"
#include "log/LogEscape.hpp"
#include "web/Coordinator.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // First byte: body kind; then the name up to the first NUL, the rest is the body.
    if (size == 0) {
        return 0;
    }
    const bool stringBody = (data[0] & 1) != 0;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto split = rest.find('\0');
    const std::string name = rest.substr(0, split);
    const std::string text = split == std::string::npos ? "" : rest.substr(split + 1);
    const std::optional<std::string> body = stringBody ? std::optional(text) : std::nullopt;

    pelunna::test::FakeServices services;
    const auto& log = services.log;
    pelunna::web::Coordinator coordinator(services.web(), "pelunnalabs.com",
                                          "https://lab.pelunnalabs.com/");
    coordinator.didReceiveScriptMessage(name, body);

    if (name == "logging" && body) {
        FUZZ_CHECK(log.lines.size() == 1);
        FUZZ_CHECK(log.lines[0] == "📱 WebView Console: " + *body);
        FUZZ_CHECK(pelunna::escapeForLog(log.lines[0]).find('\n') == std::string::npos);
    } else {
        FUZZ_CHECK(log.lines.empty());
    }
    return 0;
}
