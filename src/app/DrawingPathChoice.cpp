#include "app/DrawingPathChoice.hpp"

#include <string_view>

namespace pelunna::app {
namespace {

struct Verdict {
    DrawingPath path;
    std::string reason;
};

// Mesa's own reading of a boolean variable: these words leave hardware GL on.
bool isOff(std::string_view value) {
    return value == "0" || value == "false" || value == "n" || value == "no";
}

// GTK tries Wayland before X11 unless GDK_BACKEND puts x11 first.
bool runsOnX11(DrawingEvidence& evidence) {
    if (!evidence.variable("DISPLAY")) {
        return false;
    }
    const std::string backends = evidence.variable("GDK_BACKEND").value_or("");
    const std::string_view first = std::string_view(backends).substr(0, backends.find(','));
    if (first == "x11") {
        return true;
    }
    return first != "wayland" && !evidence.variable("WAYLAND_DISPLAY");
}

Verdict judge(DrawingEvidence& evidence, Log& log) {
    if (const auto choice = evidence.variable("PELUNNA_RENDERING")) {
        if (*choice == "cpu") {
            return {DrawingPath::cpu, "PELUNNA_RENDERING=cpu"};
        }
        if (*choice == "gpu") {
            return {DrawingPath::gpu, "PELUNNA_RENDERING=gpu"};
        }
        log.print("⚠️ Ignoring PELUNNA_RENDERING=" + *choice +
                  ", which is neither cpu nor gpu");
    }
    if (!evidence.hasRenderNode()) {
        return {DrawingPath::cpu, "no usable render node in /dev/dri"};
    }
    if (const auto software = evidence.variable("LIBGL_ALWAYS_SOFTWARE");
        software && !isOff(*software)) {
        return {DrawingPath::cpu, "LIBGL_ALWAYS_SOFTWARE is set"};
    }
    if (runsOnX11(evidence) && !evidence.xServerHasDri3()) {
        return {DrawingPath::cpu, "the X server has no DRI3"};
    }
    // No GL probe for a software renderer: loading the GL driver costs 20-40 ms of every launch,
    // to catch a render node without hardware GL behind it, which is rare.
    return {DrawingPath::gpu, "a render node in /dev/dri"};
}

}  // namespace

DrawingPathChoice chooseDrawingPath(DrawingEvidence& evidence, Log& log) {
    const Verdict verdict = judge(evidence, log);
    log.print(
        (verdict.path == DrawingPath::cpu ? "🎨 Drawing on the CPU: " : "🎨 Drawing on the GPU: ") +
        verdict.reason);
    DrawingPathChoice choice;
    if (verdict.path == DrawingPath::gpu) {
        return choice;
    }
    if (!evidence.variable("WEBKIT_DISABLE_COMPOSITING_MODE")) {
        choice.views = DrawingPath::cpu;
    }
    // GTK 4.8 has no call for it and reads it when the first window gets its renderer.
    if (!evidence.variable("GSK_RENDERER")) {
        choice.variables.emplace_back("GSK_RENDERER", "cairo");
        // Drawing with cairo, GTK would still make a GL context for the display: 70 ms and 5 MiB
        // of every launch for nothing.
        if (!evidence.variable("GDK_DEBUG")) {
            choice.variables.emplace_back("GDK_DEBUG", "gl-disable");
        }
    }
    return choice;
}

}  // namespace pelunna::app
