#include <string>

#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

// The fixture's views draw on the CPU, as the client does where no GPU is usable.
using CpuDrawingTest = EngineFixture;

// A short VP8 WebM, encoded by the GStreamer the engine plays media with.
std::string encodedClip() {
    GSubprocess* encoder =
        g_subprocess_new(G_SUBPROCESS_FLAGS_STDOUT_PIPE, nullptr, "gst-launch-1.0", "-q",
                         "videotestsrc", "num-buffers=30", "!", "video/x-raw,width=64,height=48",
                         "!", "vp8enc", "!", "webmmux", "!", "fdsink", nullptr);
    GBytes* clip = nullptr;
    EXPECT_TRUE(encoder &&
                g_subprocess_communicate(encoder, nullptr, nullptr, &clip, nullptr, nullptr));
    gsize size = 0;
    const auto* data =
        clip != nullptr ? static_cast<const char*>(g_bytes_get_data(clip, &size)) : "";
    std::string bytes(data, size);
    g_clear_pointer(&clip, g_bytes_unref);
    g_clear_object(&encoder);
    return bytes;
}

TEST_F(CpuDrawingTest, VideoCanvasAndAnimationsWork) {
    server_.route("/clip.webm", [clip = encodedClip()](const ServedRequest&) {
        return Response{200, "video/webm", clip, {}};
    });
    server_.page("/", R"(<style>@keyframes grow { to { width: 20px } }</style>
        <script>console.log("ready")</script>)");
    open(url("/"));
    EXPECT_EQ(webkit_settings_get_hardware_acceleration_policy(
                  webkit_web_view_get_settings(webKitView())),
              WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);

    const std::pair<std::string, std::string> pages[] = {
        {R"(const video = document.body.appendChild(document.createElement('video'));
            Object.assign(video, {muted: true, loop: true, src: '/clip.webm'});
            await video.play();
            await new Promise((ok) => video.ontimeupdate = () => video.currentTime > 0 && ok());
            return video.videoWidth;)",
         "64"},
        {R"(const context = document.createElement('canvas').getContext('2d');
            context.fillStyle = 'rgb(10, 100, 30)';
            context.fillRect(0, 0, 2, 2);
            return [...context.getImageData(1, 1, 1, 1).data];)",
         "[10,100,30,255]"},
        {R"(const box = document.body.appendChild(document.createElement('div'));
            box.style.animation = 'grow 0.2s';
            return (await new Promise((ended) => box.onanimationend = ended)).animationName;)",
         R"("grow")"},
    };
    for (const auto& [snippet, result] : pages) {
        EXPECT_EQ(call(snippet), result) << snippet;
    }
}

}  // namespace
}  // namespace pelunna::test
