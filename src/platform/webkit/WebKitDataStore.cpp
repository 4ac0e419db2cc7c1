#include "platform/webkit/WebKitDataStore.hpp"

#include <memory>
#include <utility>

namespace pelunna::platform {
namespace {

WebKitWebsiteDataTypes engineTypes(WebsiteDataTypes types) {
    switch (types) {
        case WebsiteDataTypes::caches:
            return static_cast<WebKitWebsiteDataTypes>(
                WEBKIT_WEBSITE_DATA_DISK_CACHE | WEBKIT_WEBSITE_DATA_MEMORY_CACHE |
                WEBKIT_WEBSITE_DATA_OFFLINE_APPLICATION_CACHE);
        case WebsiteDataTypes::all:
            return WEBKIT_WEBSITE_DATA_ALL;
    }
    return WEBKIT_WEBSITE_DATA_ALL;
}

}  // namespace

WebKitDataStore::WebKitDataStore()
    : manager_(
          webkit_network_session_get_website_data_manager(webkit_network_session_get_default())) {}

void WebKitDataStore::removeData(WebsiteDataTypes types, std::function<void()> completion) {
    auto* pending = new std::function<void()>(std::move(completion));
    // A timespan of 0 removes every record of the types, whatever its age.
    webkit_website_data_manager_clear(
        manager_, engineTypes(types), 0, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::function<void()>> done(static_cast<std::function<void()>*>(data));
            // Failures are not reported: the completion only says the removal is over.
            webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result,
                                                     nullptr);
            (*done)();
        },
        pending);
}

}  // namespace pelunna::platform
