#pragma once

#include <string_view>

namespace pelunna::service {

// The service this client is locked to. Defined in one translation unit so that a staging or
// test build only recompiles that file and relinks.
extern const std::string_view allowedDomain;
extern const std::string_view startUrl;
extern const std::string_view applicationNameForUserAgent;
// Where an administrator's microphone policy file and lab settings live.
extern const std::string_view policyDirectory;
// How long one second of the idle reset lasts: a test build makes its minutes shorter.
extern const double idleSecondSeconds;

inline constexpr std::string_view applicationId = "com.pelunnalabs.Labs";
inline constexpr std::string_view displayName = "Pelunna Labs";
inline constexpr std::string_view programName = "pelunna-labs";

}  // namespace pelunna::service
