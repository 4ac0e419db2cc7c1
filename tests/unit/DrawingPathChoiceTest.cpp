#include "app/DrawingPathChoice.hpp"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "Fakes.hpp"

namespace pelunna::test {
namespace {

// A machine described as "node dri3 NAME=value ...", with a render node and DRI3 where named; its
// costly answers are recorded in the order they were asked.
class FakeMachine final : public DrawingEvidence {
public:
    explicit FakeMachine(const std::string& description) {
        std::istringstream words(description);
        for (std::string word; words >> word;) {
            const auto equals = word.find('=');
            facts_[word.substr(0, equals)] =
                equals == std::string::npos ? "" : word.substr(equals + 1);
        }
    }
    std::optional<std::string> variable(std::string_view name) override {
        const auto found = facts_.find(std::string(name));
        return found == facts_.end() ? std::nullopt : std::optional(found->second);
    }
    bool hasRenderNode() override { return ask("node"); }
    bool xServerHasDri3() override { return ask("dri3"); }
    std::string asked;

private:
    bool ask(const std::string& what) {
        asked += (asked.empty() ? "" : " ") + what;
        return facts_.contains(what);
    }
    std::map<std::string, std::string> facts_;
};

struct Row {
    std::string machine;
    std::vector<std::string> lines;
    std::string asked;
    DrawingPath views;
    bool setsGskRenderer;
};

TEST(DrawingPathChoice, CheapestEvidenceDecidesAndSetVariablesAreLeftAlone) {
    const std::string cpu = "🎨 Drawing on the CPU: ";
    const std::string noNode = cpu + "no usable render node in /dev/dri";
    const std::string noDri3 = cpu + "the X server has no DRI3";
    const std::string soft = cpu + "LIBGL_ALWAYS_SOFTWARE is set";
    const std::string gpu = "🎨 Drawing on the GPU: a render node in /dev/dri";
    const std::string gpuAsked = "🎨 Drawing on the GPU: PELUNNA_RENDERING=gpu";
    const std::string invalid =
        "⚠️ Ignoring PELUNNA_RENDERING=fast, which is neither cpu nor gpu";
    const auto onCpu = DrawingPath::cpu;
    const auto onGpu = DrawingPath::gpu;
    const Row rows[] = {
        {"dri3", {noNode}, "node", onCpu, true},
        {"node dri3 PELUNNA_RENDERING=cpu", {cpu + "PELUNNA_RENDERING=cpu"}, "", onCpu, true},
        {"PELUNNA_RENDERING=gpu", {gpuAsked}, "", onGpu, false},
        {"node dri3 PELUNNA_RENDERING=fast DISPLAY=:1", {invalid, gpu}, "node dri3", onGpu, false},
        {"node dri3 LIBGL_ALWAYS_SOFTWARE=1 DISPLAY=:1", {soft}, "node", onCpu, true},
        {"node dri3 LIBGL_ALWAYS_SOFTWARE=0 DISPLAY=:1", {gpu}, "node dri3", onGpu, false},
        {"node DISPLAY=:1", {noDri3}, "node dri3", onCpu, true},
        {"node DISPLAY=:1 WAYLAND_DISPLAY=w", {gpu}, "node", onGpu, false},
        {"node DISPLAY=:1 WAYLAND_DISPLAY=w GDK_BACKEND=x11,w", {noDri3}, "node dri3", onCpu, true},
        {"node DISPLAY=:1 GDK_BACKEND=wayland", {gpu}, "node", onGpu, false},
        {"node", {gpu}, "node", onGpu, false},
        {"GSK_RENDERER=ngl", {noNode}, "node", onCpu, false},
        // WebKit follows its own variable; the views keep the engine's defaults.
        {"WEBKIT_DISABLE_COMPOSITING_MODE=0", {noNode}, "node", onGpu, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.machine);
        FakeMachine machine(row.machine);
        RecordingLog log;
        const auto choice = app::chooseDrawingPath(machine, log);
        EXPECT_EQ(log.lines, row.lines);
        EXPECT_EQ(machine.asked, row.asked);
        EXPECT_EQ(choice.views, row.views);
        const decltype(choice.variables) cairo{{"GSK_RENDERER", "cairo"}};
        EXPECT_EQ(choice.variables, row.setsGskRenderer ? cairo : decltype(cairo){});
    }
}

}  // namespace
}  // namespace pelunna::test
