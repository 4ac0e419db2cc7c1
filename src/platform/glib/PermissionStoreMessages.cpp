#include "platform/glib/PermissionStoreMessages.hpp"

#include <cstring>

namespace pelunna::platform {
namespace {

// The application's answer among an entry's permissions (a{sas}): "yes" or "no".
std::optional<bool> decisionIn(GVariant* permissions, const std::string& applicationId) {
    const char** answers = nullptr;
    if (!g_variant_lookup(permissions, applicationId.c_str(), "^a&s", &answers)) {
        return std::nullopt;
    }
    std::optional<bool> decision;
    if (answers[0] != nullptr) {
        decision = std::strcmp(answers[0], "yes") == 0;
    }
    g_free(answers);
    return decision;
}

}  // namespace

std::optional<bool> decisionInLookup(GVariant* reply, const std::string& applicationId) {
    if (!g_variant_is_of_type(reply, G_VARIANT_TYPE("(a{sas}v)"))) {
        return std::nullopt;
    }
    GVariant* permissions = g_variant_get_child_value(reply, 0);
    const std::optional<bool> decision = decisionIn(permissions, applicationId);
    g_variant_unref(permissions);
    return decision;
}

void followChange(GVariant* parameters, const std::string& applicationId,
                  std::optional<bool>& decision) {
    // Table, entry, deleted, the entry's data, its permissions.
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssbva{sas})"))) {
        return;
    }
    const char* table = nullptr;
    const char* entry = nullptr;
    gboolean deleted = FALSE;
    GVariant* permissions = nullptr;
    g_variant_get(parameters, "(&s&sbv@a{sas})", &table, &entry, &deleted, nullptr, &permissions);
    if (std::strcmp(table, permissionTable) == 0 && std::strcmp(entry, microphoneEntry) == 0) {
        decision = deleted ? std::nullopt : decisionIn(permissions, applicationId);
    }
    g_variant_unref(permissions);
}

}  // namespace pelunna::platform
