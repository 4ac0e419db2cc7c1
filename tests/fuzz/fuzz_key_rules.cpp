// The key-down rules: any sequence of key codes, modifiers and character texts gives exactly the
// documented effect and disposition, the zoom never leaves [0.5, 3.0] and the page always shows
// the current zoom.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "../unit/Fakes.hpp"
#include "FuzzCheck.hpp"
#include "screens/ContentView.hpp"

using pelunna::KeyDisposition;
using pelunna::KeyEvent;

namespace {

// One event per chunk: a flag byte (escape, command, character count 0-3 or none) and its text.
std::size_t readEvent(const std::uint8_t* data, std::size_t size, KeyEvent& event) {
    const std::uint8_t flags = data[0];
    event.escape = (flags & 1) != 0;
    event.command = (flags & 2) != 0;
    std::size_t used = 1;
    if ((flags & 4) != 0) {
        const std::size_t length = std::min<std::size_t>((flags >> 3) & 3, size - 1);
        event.charactersIgnoringModifiers =
            std::string(reinterpret_cast<const char*>(data + 1), length);
        used += length;
    }
    return used;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pelunna::test::FakeServices services;
    pelunna::test::RecordingLog& log = services.log;
    pelunna::test::FakeEngine engine;
    pelunna::test::FakeContentHost host;
    pelunna::screens::ContentView view(
        {services.queue, log, services.microphone, services.workspace, services.alerts},
        {"pelunnalabs.com", "https://lab.pelunnalabs.com/", "PelunnaLabs/1.0"}, nullptr);
    view.attach(host, engine);
    host.screen->continueToLabs();
    // A shown page is what Ctrl+R reloads.
    engine.view->shownUrl = "https://lab.pelunnalabs.com/";
    engine.delegate->didCommitNavigation(*engine.view);

    std::size_t at = 0;
    while (at < size) {
        KeyEvent event;
        at += readEvent(data + at, size - at, event);
        const double zoom = view.zoomLevel();
        const bool trigger = view.refreshTrigger();
        const std::size_t lines = log.lines.size();
        const int reloads = engine.count("reload");
        const auto command = [&](const char* text) {
            return !event.escape && event.command && event.charactersIgnoringModifiers == text;
        };

        const KeyDisposition disposition = view.handleKeyDown(event);

        const double expectedZoom = command("=")   ? std::min(zoom + 0.1, 3.0)
                                    : command("-") ? (zoom - 0.1 <= 0.5 ? 0.5 : zoom - 0.1)
                                    : command("0") ? 1.0
                                                   : zoom;
        const bool consumed = command("r") || command("=") || command("-") || command("0");
        FUZZ_CHECK(disposition == (consumed ? KeyDisposition::consume : KeyDisposition::passOn));
        FUZZ_CHECK(view.zoomLevel() == expectedZoom);
        FUZZ_CHECK(view.zoomLevel() >= 0.5 && view.zoomLevel() <= 3.0);
        FUZZ_CHECK(engine.view->zooms.back() == view.zoomLevel());
        FUZZ_CHECK(view.refreshTrigger() == (command("r") ? !trigger : trigger));
        FUZZ_CHECK(engine.count("reload") == reloads + (command("r") ? 1 : 0));
        const std::size_t newLines = event.escape ? 1 : command("r") ? 2 : 0;
        FUZZ_CHECK(log.lines.size() == lines + newLines);
        if (event.escape) {
            FUZZ_CHECK(log.lines.back() == "🔴 ESCAPE KEY PRESSED IN SWIFT");
        }
    }
    return 0;
}
