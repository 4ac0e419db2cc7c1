#include <glib.h>

#include <string>

#include "ports/Url.hpp"

namespace pelunna {

std::optional<Url> parseUrl(std::string_view text) {
    const std::string terminated(text);
    // Encoded: hosts and fragments stay exactly as the engine wrote them.
    GUri* uri = g_uri_parse(terminated.c_str(), G_URI_FLAGS_ENCODED, nullptr);
    if (uri == nullptr) {
        return std::nullopt;
    }
    Url url{terminated, std::nullopt, std::nullopt};
    const char* host = g_uri_get_host(uri);
    if (host != nullptr && *host != '\0') {
        url.host = host;
    }
    if (const char* fragment = g_uri_get_fragment(uri)) {
        url.fragment = fragment;
    }
    g_uri_unref(uri);
    return url;
}

}  // namespace pelunna
