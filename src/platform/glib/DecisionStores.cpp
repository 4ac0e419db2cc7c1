#include "platform/glib/DecisionStores.hpp"

#include <cstring>
#include <utility>

#include "platform/glib/PermissionStoreMessages.hpp"

namespace pelunna::platform {
namespace {

constexpr char storeName[] = "org.freedesktop.impl.portal.PermissionStore";
constexpr char storePath[] = "/org/freedesktop/impl/portal/PermissionStore";

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
    // The reply's shape is checked when it is read, so that a malformed one decides nothing.
    GVariant* reply =
        g_dbus_connection_call_sync(bus, storeName, storePath, storeName, "Lookup",
                                    g_variant_new("(ss)", permissionTable, microphoneEntry),
                                    nullptr, G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr, &error);
    std::optional<bool> decision;
    if (reply != nullptr) {
        decision = decisionInLookup(reply, applicationId);
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
    subscription_ = g_dbus_connection_signal_subscribe(
        bus_, storeName, storeName, "Changed", storePath, permissionTable, G_DBUS_SIGNAL_FLAGS_NONE,
        onChanged, this, nullptr);
}

PermissionStoreDecisionStore::~PermissionStoreDecisionStore() {
    g_dbus_connection_signal_unsubscribe(bus_, subscription_);
    g_object_unref(bus_);
}

void PermissionStoreDecisionStore::store(bool allowed) {
    decision_ = allowed;
    const char* answer[] = {allowed ? "yes" : "no", nullptr};
    g_dbus_connection_call(bus_, storeName, storePath, storeName, "SetPermission",
                           g_variant_new("(sbss^as)", permissionTable, TRUE, microphoneEntry,
                                         applicationId_.c_str(), answer),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

void PermissionStoreDecisionStore::onChanged(GDBusConnection*, const char*, const char*,
                                             const char*, const char*, GVariant* parameters,
                                             gpointer self) {
    auto* store = static_cast<PermissionStoreDecisionStore*>(self);
    followChange(parameters, store->applicationId_, store->decision_);
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

}  // namespace pelunna::platform
