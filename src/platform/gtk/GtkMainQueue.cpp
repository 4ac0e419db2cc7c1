#include "platform/gtk/GtkMainQueue.hpp"

#include <glib.h>

#include <cmath>
#include <utility>

namespace pelunna::platform {
namespace {

gboolean runOnce(gpointer data) {
    (*static_cast<std::function<void()>*>(data))();
    return G_SOURCE_REMOVE;
}

void destroyBlock(gpointer data) {
    delete static_cast<std::function<void()>*>(data);
}

}  // namespace

void GtkMainQueue::async(std::function<void()> block) {
    g_idle_add_full(G_PRIORITY_DEFAULT, runOnce, new std::function<void()>(std::move(block)),
                    destroyBlock);
}

void GtkMainQueue::asyncAfter(double seconds, std::function<void()> block) {
    const auto milliseconds = static_cast<guint>(std::lround(seconds * 1000.0));
    g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds, runOnce,
                       new std::function<void()>(std::move(block)), destroyBlock);
}

double GtkMainQueue::now() const {
    return static_cast<double>(g_get_monotonic_time()) / G_USEC_PER_SEC;
}

}  // namespace pelunna::platform
