// The coordinator on anything a page sends. Navigation and popup decisions on any address text,
// parsed as the engine's parser does: a host that passes is the domain or ends with "." and the
// domain, an allowed navigation or popup always has such a host, and every verdict is logged in
// one line of its own. Console messages on any channel: only a string body on "logging" prints,
// as one line. Every line stays one line once escaped for stdout.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "../unit/Fakes.hpp"
#include "FuzzCheck.hpp"
#include "log/LogEscape.hpp"
#include "web/AllowedHost.hpp"
#include "web/Coordinator.hpp"

namespace {

constexpr std::string_view domain = "pelunnalabs.com";

bool belongsToService(const std::string& host) {
    return host == domain || (host.size() > domain.size() + 1 && host.ends_with(domain) &&
                              host[host.size() - domain.size() - 1] == '.');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // First byte: whether a target frame is named, whether a message body is a string. The rest is
    // an address, and a message: its channel's name up to the first NUL, then its body.
    const bool hasTargetFrame = (data[0] & 1) != 0;
    const bool stringBody = (data[0] & 2) != 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const pelunna::NavigationAction action{pelunna::parseUrl(text), hasTargetFrame};
    const auto& host = action.url ? action.url->host : std::nullopt;
    const bool allowed = host && belongsToService(*host);

    pelunna::test::FakeServices services;
    pelunna::test::RecordingLog& log = services.log;
    pelunna::web::Coordinator coordinator(services.web(), std::string(domain),
                                          "https://lab.pelunnalabs.com/");

    FUZZ_CHECK(!host || pelunna::web::isAllowedHost(*host, domain) == allowed);
    const pelunna::NavigationPolicy policy = coordinator.decidePolicyForNavigationAction(action);
    FUZZ_CHECK(policy ==
               (allowed ? pelunna::NavigationPolicy::allow : pelunna::NavigationPolicy::cancel));
    if (!host) {
        FUZZ_CHECK(log.lines.empty());
    } else {
        const std::size_t expected = action.url->fragment ? 3 : 2;
        FUZZ_CHECK(log.lines.size() == expected);
        FUZZ_CHECK(log.lines.back() == (allowed ? "✅ Allowing navigation to: " + *host
                                                : "❌ Blocking navigation to: " + *host));
    }

    pelunna::test::Journal journal;
    pelunna::test::FakeEngineView opener(journal);
    const pelunna::EngineView* popup = coordinator.createWebView(opener, action);
    FUZZ_CHECK((popup != nullptr) == allowed);
    FUZZ_CHECK(coordinator.openPopupCount() == (allowed ? 1u : 0u));

    const auto split = text.find('\0');
    const std::string name = text.substr(0, split);
    const auto body =
        stringBody ? std::optional(split == text.npos ? "" : text.substr(split + 1)) : std::nullopt;
    const std::size_t before = log.lines.size();
    coordinator.didReceiveScriptMessage(name, body);
    const bool printed = name == "logging" && body;
    FUZZ_CHECK(log.lines.size() == before + (printed ? 1 : 0));
    FUZZ_CHECK(!printed || log.lines.back() == "📱 WebView Console: " + *body);
    for (const std::string& line : log.lines) {
        FUZZ_CHECK(pelunna::escapeForLog(line).find('\n') == std::string::npos);
    }
    return 0;
}
