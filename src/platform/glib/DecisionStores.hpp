#pragma once

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>

#include "ports/DecisionStore.hpp"

namespace pelunna::platform {

// The decision in the desktop's permission store (table "devices", id "microphone"), where the
// desktop's privacy settings show it. Read once at start, then kept current by the store's
// change signal; writes do not wait for the bus.
class PermissionStoreDecisionStore final : public DecisionStore {
public:
    // Empty when the session bus offers no permission store.
    static std::unique_ptr<PermissionStoreDecisionStore> connect(const std::string& applicationId);
    ~PermissionStoreDecisionStore() override;
    PermissionStoreDecisionStore(const PermissionStoreDecisionStore&) = delete;
    PermissionStoreDecisionStore& operator=(const PermissionStoreDecisionStore&) = delete;

    [[nodiscard]] std::optional<bool> decision() const override { return decision_; }
    void store(bool allowed) override;

private:
    PermissionStoreDecisionStore(GDBusConnection* bus, std::string applicationId,
                                 std::optional<bool> decision);
    static void onChanged(GDBusConnection*, const char*, const char*, const char*, const char*,
                          GVariant* parameters, gpointer self);

    GDBusConnection* bus_;
    std::string applicationId_;
    std::optional<bool> decision_;
    guint subscription_ = 0;
};

// The decision in a small file under the user's configuration folder, for sessions without a
// permission store.
class FileDecisionStore final : public DecisionStore {
public:
    explicit FileDecisionStore(std::string path) : path_(std::move(path)) {}
    [[nodiscard]] std::optional<bool> decision() const override;
    void store(bool allowed) override;

private:
    std::string path_;
};

// The permission store when the session offers one, else the file.
std::unique_ptr<DecisionStore> makeDecisionStore(const std::string& applicationId,
                                                 const std::string& programName);

}  // namespace pelunna::platform
