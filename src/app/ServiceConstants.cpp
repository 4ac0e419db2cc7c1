#include "app/ServiceConstants.hpp"

namespace pelunna::service {

const std::string_view allowedDomain = PELUNNA_ALLOWED_DOMAIN;
const std::string_view startUrl = PELUNNA_START_URL;
const std::string_view applicationNameForUserAgent = "PelunnaLabs/1.0";
const std::string_view policyDirectory = PELUNNA_POLICY_DIR;
const double idleSecondSeconds = PELUNNA_IDLE_SECOND_SECONDS;

}  // namespace pelunna::service
