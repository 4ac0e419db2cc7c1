#pragma once

#include <gtk/gtk.h>

#include <optional>

#include "ports/Engine.hpp"

namespace pelunna::platform {

// A notice laid over the content of an overlay, in the client's own look, announced by screen
// readers as an alert whenever it shows.
class NoticeWidget final {
public:
    // Centred, or at the top or bottom edge.
    explicit NoticeWidget(GtkOverlay* overlay, GtkAlign verticalPlace = GTK_ALIGN_CENTER);
    ~NoticeWidget();
    NoticeWidget(const NoticeWidget&) = delete;
    NoticeWidget& operator=(const NoticeWidget&) = delete;

    // None hides it.
    void show(const std::optional<Notice>& notice);

private:
    GtkOverlay* overlay_;
    GtkAlign verticalPlace_;
    GtkWidget* box_ = nullptr;
    GtkWidget* text_ = nullptr;
    GtkWidget* detail_ = nullptr;
};

}  // namespace pelunna::platform
