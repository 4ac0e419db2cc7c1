#pragma once

#include <glib.h>

#include <optional>
#include <string>

namespace pelunna::platform {

inline constexpr char permissionTable[] = "devices";
inline constexpr char microphoneEntry[] = "microphone";

// The application's microphone decision in the permission store's Lookup reply. Any peer may
// answer on the bus: a reply of another shape decides nothing.
std::optional<bool> decisionInLookup(GVariant* reply, const std::string& applicationId);

// Follows the store's Changed signal: `decision` takes what it says of the application's microphone
// entry. A signal of another shape, or about another entry, leaves `decision` as it was.
void followChange(GVariant* parameters, const std::string& applicationId,
                  std::optional<bool>& decision);

}  // namespace pelunna::platform
