#include "platform/desktop/DecisionStores.hpp"

#include <cstring>
#include <utility>

namespace pelunna::desktop {
namespace {

constexpr char storeName[] = "org.freedesktop.impl.portal.PermissionStore";
constexpr char storePath[] = "/org/freedesktop/impl/portal/PermissionStore";
constexpr char table[] = "devices";
constexpr char entry[] = "microphone";

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

std::unique_ptr<PermissionStoreDecisionStore> PermissionStoreDecisionStore::connect(
    const std::string& applicationId) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr) {
        return nullptr;
    }
    // One short call at start: the status must be known before the first screen is drawn.
    constexpr int timeoutMs = 2000;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, storeName, storePath, storeName, "Lookup", g_variant_new("(ss)", table, entry),
        G_VARIANT_TYPE("(a{sas}v)"), G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr, &error);
    std::optional<bool> decision;
    if (reply != nullptr) {
        GVariant* permissions = g_variant_get_child_value(reply, 0);
        decision = decisionIn(permissions, applicationId);
        g_variant_unref(permissions);
        g_variant_unref(reply);
    } else {
        // A store without the entry answers NotFound: it is there, nothing is decided yet.
        gchar* remote = g_dbus_error_get_remote_error(error);
        const bool storeExists =
            remote != nullptr && std::strcmp(remote, "org.freedesktop.portal.Error.NotFound") == 0;
        g_free(remote);
        g_error_free(error);
        if (!storeExists) {
            g_object_unref(bus);
            return nullptr;
        }
    }
    return std::unique_ptr<PermissionStoreDecisionStore>(
        new PermissionStoreDecisionStore(bus, applicationId, decision));
}

PermissionStoreDecisionStore::PermissionStoreDecisionStore(GDBusConnection* bus,
                                                           std::string applicationId,
                                                           std::optional<bool> decision)
    : bus_(bus), applicationId_(std::move(applicationId)), decision_(decision) {
    subscription_ =
        g_dbus_connection_signal_subscribe(bus_, storeName, storeName, "Changed", storePath, table,
                                           G_DBUS_SIGNAL_FLAGS_NONE, onChanged, this, nullptr);
}

PermissionStoreDecisionStore::~PermissionStoreDecisionStore() {
    g_dbus_connection_signal_unsubscribe(bus_, subscription_);
    g_object_unref(bus_);
}

void PermissionStoreDecisionStore::store(bool allowed) {
    decision_ = allowed;
    const char* answer[] = {allowed ? "yes" : "no", nullptr};
    g_dbus_connection_call(
        bus_, storeName, storePath, storeName, "SetPermission",
        g_variant_new("(sbss^as)", table, TRUE, entry, applicationId_.c_str(), answer), nullptr,
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

void PermissionStoreDecisionStore::onChanged(GDBusConnection*, const char*, const char*,
                                             const char*, const char*, GVariant* parameters,
                                             gpointer self) {
    auto* store = static_cast<PermissionStoreDecisionStore*>(self);
    const char* changedTable = nullptr;
    const char* changedEntry = nullptr;
    gboolean deleted = FALSE;
    GVariant* data = nullptr;
    GVariant* permissions = nullptr;
    g_variant_get(parameters, "(&s&sbv@a{sas})", &changedTable, &changedEntry, &deleted, &data,
                  &permissions);
    if (std::strcmp(changedEntry, entry) == 0) {
        store->decision_ = deleted ? std::nullopt : decisionIn(permissions, store->applicationId_);
    }
    g_variant_unref(data);
    g_variant_unref(permissions);
}

std::optional<bool> FileDecisionStore::decision() const {
    gchar* contents = nullptr;
    if (!g_file_get_contents(path_.c_str(), &contents, nullptr, nullptr)) {
        return std::nullopt;
    }
    const std::string word = g_strstrip(contents);
    g_free(contents);
    if (word == "yes" || word == "no") {
        return word == "yes";
    }
    return std::nullopt;
}

void FileDecisionStore::store(bool allowed) {
    gchar* folder = g_path_get_dirname(path_.c_str());
    g_mkdir_with_parents(folder, 0700);
    g_free(folder);
    // Written whole or not at all: a torn file would read as "not decided".
    g_file_set_contents(path_.c_str(), allowed ? "yes\n" : "no\n", -1, nullptr);
}

std::unique_ptr<DecisionStore> makeDecisionStore(const std::string& applicationId,
                                                 const std::string& programName) {
    if (auto store = PermissionStoreDecisionStore::connect(applicationId)) {
        return store;
    }
    gchar* path =
        g_build_filename(g_get_user_config_dir(), programName.c_str(), "microphone", nullptr);
    auto store = std::make_unique<FileDecisionStore>(path);
    g_free(path);
    return store;
}

}  // namespace pelunna::desktop
