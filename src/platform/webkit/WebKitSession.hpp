#pragma once

#include <webkit/webkit.h>

#include <functional>
#include <utility>

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

    // Each view tells when it starts or stops playing sound or recording; the listener hears
    // whether any view does.
    void viewMediaActivityChanged(bool active);
    void setMediaActivityListener(std::function<void(bool active)> listener) {
        mediaListener_ = std::move(listener);
    }

private:
    WebKitNetworkSession* session_;
    DrawingPath drawingPath_;
    int activeViews_ = 0;
    std::function<void(bool)> mediaListener_;
};

}  // namespace pelunna::platform
