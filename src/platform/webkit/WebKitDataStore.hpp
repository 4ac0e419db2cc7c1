#pragma once

#include <webkit/webkit.h>

#include "platform/WebsiteDataStore.hpp"

namespace pelunna::platform {

// The default network session's website-data manager: the store the client's views use.
class WebKitDataStore final : public WebsiteDataStore {
public:
    WebKitDataStore();
    void removeData(WebsiteDataTypes types, std::function<void()> completion) override;

private:
    WebKitWebsiteDataManager* manager_;
};

}  // namespace pelunna::platform
