#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

// The fixture's views draw on the CPU, as the client does where no GPU is usable.
using CpuDrawingTest = EngineFixture;

TEST_F(CpuDrawingTest, CanvasAndAnimationsWork) {
    load(url("/"));
    EXPECT_EQ(webkit_settings_get_hardware_acceleration_policy(
                  webkit_web_view_get_settings(webKitView())),
              WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    EXPECT_EQ(call(R"(const context = document.createElement('canvas').getContext('2d');
        context.fillStyle = 'rgb(10, 100, 30)'; context.fillRect(0, 0, 2, 2);
        const box = document.body.appendChild(document.createElement('div'));
        await box.animate([{width: '0px'}, {width: '20px'}], 200).finished;
        return [...context.getImageData(1, 1, 1, 1).data];)"),
              "[10,100,30,255]");
}

}  // namespace
}  // namespace pelunna::test
