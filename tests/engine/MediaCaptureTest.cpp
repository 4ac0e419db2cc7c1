#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

using MediaCaptureTest = EngineFixture;

std::string capture(const std::string& request) {
    return "try { const tracks = (await navigator.mediaDevices." + request +
           ").getTracks(); tracks.forEach((t) => t.stop());"
           "  return tracks.map((t) => t.kind + ':' + t.label);"
           "} catch (e) { return e.name; }";
}

TEST_F(MediaCaptureTest, EachRequestIsJudgedByWhatItCapturesAndTheDesktopsDecision) {
    load(url("/"));
    using enum MicrophoneStatus;
    const std::string refused = R"("NotAllowedError")";
    const std::string granted = R"(["audio:Mock audio device 1"])";
    const std::string camera = "❌ Camera capture is not permitted, denying WebKit";
    const struct {
        MicrophoneStatus status;
        std::string request;
        std::string result;
        std::string type;  // as the request line names it
        std::string decision;
    } rows[] = {
        {notDetermined, "getUserMedia({video: true})", refused, "camera", camera},
        {notDetermined, "getUserMedia({audio: true, video: true})", refused,
         "camera and microphone", camera},
        {notDetermined, "getDisplayMedia({video: true})", refused, "screen",
         "❌ Screen capture is not permitted, denying WebKit"},
        {authorized, "getUserMedia({audio: true})", granted, "microphone",
         "✅ OS mic authorized, granting to WebKit"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.request);
        const std::size_t from = mark();
        microphone_.status = row.status;
        EXPECT_EQ(call(capture(row.request)), row.result);
        EXPECT_EQ(linesSince(from, false),
                  (std::vector<std::string>{
                      "🎤 Media capture requested by: lab.pelunnalabs.com, type: " + row.type,
                      row.decision}));
        EXPECT_TRUE(microphone_.requests.empty()) << "the learner was asked";
    }

    // The page waits while the learner decides; a new page, as the engine keeps a grant.
    load(url("/"));
    microphone_.status = notDetermined;
    call("window.asked = (async () => {" + capture("getUserMedia({audio: true})") + "})();");
    ASSERT_TRUE(runUntil([&] { return !microphone_.requests.empty(); })) << "nobody was asked";
    EXPECT_EQ(call("return await Promise.race([asked, 'pending']);"), R"("pending")");
    microphone_.requests.front()(true);
    EXPECT_EQ(call("return await asked;"), granted);
}

}  // namespace
}  // namespace pelunna::test
