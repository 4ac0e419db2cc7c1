#pragma once

#include <webkit/webkit.h>

#include "ports/DrawingPath.hpp"
#include "ports/WebsiteDataStore.hpp"

namespace pelunna::platform {

// The one network session every view of the client shares. It is ephemeral: cookies, storage,
// caches and credentials live in memory only, so a killed client leaves nothing of a learner on
// disk. It refuses every download and every certificate it cannot trust, and says how views draw.
class WebKitSession final : public WebsiteDataStore {
public:
    explicit WebKitSession(DrawingPath drawingPath);
    ~WebKitSession() override;
    WebKitSession(const WebKitSession&) = delete;
    WebKitSession& operator=(const WebKitSession&) = delete;

    void removeData(WebsiteDataTypes types, std::function<void()> completion) override;

    [[nodiscard]] WebKitNetworkSession* networkSession() const { return session_; }
    [[nodiscard]] DrawingPath drawingPath() const { return drawingPath_; }

private:
    WebKitNetworkSession* session_;
    DrawingPath drawingPath_;
};

}  // namespace pelunna::platform
