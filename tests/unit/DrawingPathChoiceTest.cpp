#include "app/DrawingPathChoice.hpp"

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
// draw with cairo and without GL (never over the administrator's choice).
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
        {"GDK_DEBUG=misc", "node", cpu, true},
        // WebKit follows its own variable; the views keep the engine's defaults.
        {"WEBKIT_DISABLE_COMPOSITING_MODE=0", "node", gpu, true},
    };
    for (const auto& [description, asked, views, setsCairo] : rows) {
        FakeMachine machine(description);
        RecordingLog log;
        const auto choice = app::chooseDrawingPath(machine, log);
        EXPECT_EQ(machine.asked, asked) << description;
        EXPECT_EQ(choice.views, views) << description;
        std::string set;
        for (const auto& [name, value] : choice.variables) {
            set += " " + name + "=" + value;
        }
        const bool keepsDebug = description.find("GDK_DEBUG") != std::string::npos;
        EXPECT_EQ(set, !setsCairo   ? ""
                       : keepsDebug ? " GSK_RENDERER=cairo"
                                    : " GSK_RENDERER=cairo GDK_DEBUG=gl-disable")
            << description;
    }
}

}  // namespace
}  // namespace pelunna::test
