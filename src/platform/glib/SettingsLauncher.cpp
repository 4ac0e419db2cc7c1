#include "platform/glib/SettingsLauncher.hpp"

#include <glib.h>

#include <array>

#include "platform/glib/ClientVariables.hpp"

namespace pelunna::platform {
namespace {

struct Candidate {
    const char* program;
    std::array<const char*, 3> argv;
};

constexpr std::array candidates{
    Candidate{"gnome-control-center", {"gnome-control-center", "microphone", nullptr}},
    Candidate{"gnome-control-center", {"gnome-control-center", "sound", nullptr}},
    Candidate{"pavucontrol", {"pavucontrol", "--tab=4", nullptr}},
};

// The privacy pane exists only where the settings application ships its microphone panel.
bool hasMicrophonePanel() {
    gchar* desktopFile =
        g_build_filename("/usr/share/applications", "gnome-microphone-panel.desktop", nullptr);
    const bool exists = g_file_test(desktopFile, G_FILE_TEST_EXISTS) != FALSE;
    g_free(desktopFile);
    return exists;
}

}  // namespace

void SettingsLauncher::openMicrophoneSettings() {
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Candidate& candidate = candidates[i];
        if (i == 0 && !hasMicrophonePanel()) {
            continue;
        }
        gchar* path = g_find_program_in_path(candidate.program);
        if (path == nullptr) {
            continue;
        }
        g_free(path);
        // Fire and forget: the settings live their own life, drawn their own way.
        gchar** environment = childEnvironment();
        g_spawn_async(nullptr, const_cast<gchar**>(candidate.argv.data()), environment,
                      G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, nullptr);
        g_strfreev(environment);
        return;
    }
}

}  // namespace pelunna::platform
