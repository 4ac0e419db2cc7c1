#pragma once

#include <functional>

namespace pelunna {

// Record kinds that can be removed from the web engine's store.
enum class WebsiteDataTypes { caches, all };

// The website data of the client's one session, held in memory only. Removal covers every record
// of the given kinds, whatever its age; the completion runs once on the main thread.
class WebsiteDataStore {
public:
    virtual ~WebsiteDataStore() = default;
    virtual void removeData(WebsiteDataTypes types, std::function<void()> completion) = 0;
};

}  // namespace pelunna
