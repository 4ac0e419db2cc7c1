#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelunna {

// An address as the engine's URL parser reports it: no percent-decoding, an empty host is no host.
struct Url {
    std::string absoluteString;
    std::optional<std::string> host;
    std::optional<std::string> fragment;
};

// Empty when the text is not an absolute URL.
std::optional<Url> parseUrl(std::string_view text);

}  // namespace pelunna
