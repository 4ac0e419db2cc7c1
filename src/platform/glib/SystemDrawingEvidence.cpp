#include "platform/glib/SystemDrawingEvidence.hpp"

#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace pelunna::platform {

std::optional<std::string> SystemDrawingEvidence::variable(std::string_view name) {
    const char* value = g_getenv(std::string(name).c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    return value;
}

bool SystemDrawingEvidence::hasRenderNode() {
    GDir* dir = g_dir_open("/dev/dri", 0, nullptr);
    if (dir == nullptr) {
        return false;
    }
    bool usable = false;
    while (const gchar* name = g_dir_read_name(dir)) {
        if (!g_str_has_prefix(name, "renderD")) {
            continue;
        }
        // A node the user may not open leaves Mesa on software GL just like a missing one.
        gchar* path = g_build_filename("/dev/dri", name, nullptr);
        usable = g_access(path, R_OK | W_OK) == 0;
        g_free(path);
        if (usable) {
            break;
        }
    }
    g_dir_close(dir);
    return usable;
}

bool SystemDrawingEvidence::xServerHasDri3() {
    // Without a server on $DISPLAY the connection fails at once; GTK reports that itself later.
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    bool present = false;
    if (xcb_connection_has_error(connection) == 0) {
        constexpr char name[] = "DRI3";
        xcb_query_extension_reply_t* reply = xcb_query_extension_reply(
            connection, xcb_query_extension(connection, sizeof name - 1, name), nullptr);
        present = reply != nullptr && reply->present != 0;
        std::free(reply);
    }
    xcb_disconnect(connection);
    return present;
}

}  // namespace pelunna::platform
