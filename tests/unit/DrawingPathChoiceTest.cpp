#include "app/DrawingPathChoice.hpp"

#include <algorithm>

#include "Fakes.hpp"

namespace pelunna::test {
namespace {

// A machine described as "node dri3 NAME=value ...", with a render node and DRI3 where named; its
// costly answers are recorded in the order they were asked.
struct FakeMachine final : DrawingEvidence {
    explicit FakeMachine(const std::string& description) : facts(" " + description + " ") {}
    std::optional<std::string> variable(std::string_view name) override {
        const auto start = facts.find(" " + std::string(name) + "=");
        if (start == std::string::npos) {
            return std::nullopt;
        }
        const auto value = start + name.size() + 2;
        return facts.substr(value, facts.find(' ', value) - value);
    }
    bool hasRenderNode() override { return ask("node"); }
    bool xServerHasDri3() override { return ask("dri3"); }
    bool ask(const std::string& what) {
        asked += (asked.empty() ? "" : " ") + what;
        return facts.find(" " + what + " ") != std::string::npos;
    }

    std::string facts;
    std::string asked;
};

// The machine, the costly evidence asked for, where the views draw, and whether GTK is told to
// draw with cairo (never over a renderer the administrator chose).
TEST(DrawingPathChoice, CheapestEvidenceDecidesAndSetVariablesAreLeftAlone) {
    using enum DrawingPath;
    const std::tuple<std::string, std::string, DrawingPath, bool> rows[] = {
        {"dri3", "node", cpu, true},
        {"node dri3 PELUNNA_RENDERING=cpu", "", cpu, true},
        {"PELUNNA_RENDERING=gpu", "", gpu, false},
        {"node dri3 PELUNNA_RENDERING=fast DISPLAY=:1", "node dri3", gpu, false},
        {"node dri3 LIBGL_ALWAYS_SOFTWARE=1 DISPLAY=:1", "node", cpu, true},
        {"node dri3 LIBGL_ALWAYS_SOFTWARE=0 DISPLAY=:1", "node dri3", gpu, false},
        {"node DISPLAY=:1", "node dri3", cpu, true},
        {"node DISPLAY=:1 WAYLAND_DISPLAY=w", "node", gpu, false},
        {"node DISPLAY=:1 WAYLAND_DISPLAY=w GDK_BACKEND=x11,w", "node dri3", cpu, true},
        {"node DISPLAY=:1 GDK_BACKEND=wayland", "node", gpu, false},
        {"node", "node", gpu, false},
        {"GSK_RENDERER=ngl", "node", cpu, false},
        // WebKit follows its own variable; the views keep the engine's defaults.
        {"WEBKIT_DISABLE_COMPOSITING_MODE=0", "node", gpu, true},
    };
    const std::pair<std::string, std::string> cairo{"GSK_RENDERER", "cairo"};
    for (const auto& [description, asked, views, setsCairo] : rows) {
        FakeMachine machine(description);
        RecordingLog log;
        const auto choice = app::chooseDrawingPath(machine, log);
        EXPECT_EQ(machine.asked, asked) << description;
        EXPECT_EQ(choice.views, views) << description;
        EXPECT_EQ(std::ranges::count(choice.variables, cairo), setsCairo ? 1 : 0) << description;
    }
}

}  // namespace
}  // namespace pelunna::test
