#pragma once

#include <string_view>

namespace pelunna::web {

// A host belongs to the service when it is the domain itself or a subdomain of it. The dot
// boundary matters: "evilpelunnalabs.com" must not pass for "pelunnalabs.com".
inline bool isAllowedHost(std::string_view host, std::string_view allowedDomain) {
    if (allowedDomain.empty() || !host.ends_with(allowedDomain)) {
        return false;
    }
    const std::size_t prefix = host.size() - allowedDomain.size();
    return prefix == 0 || (prefix > 1 && host[prefix - 1] == '.');
}

}  // namespace pelunna::web
