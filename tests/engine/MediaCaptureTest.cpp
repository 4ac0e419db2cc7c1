#include <string>
#include <utility>
#include <vector>

#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

using MediaCaptureTest = EngineFixture;

const std::string requested = "🎤 Media capture requested by: lab.pelunnalabs.com, type: ";
const std::string refused = "❌ Camera capture is not permitted, denying WebKit";

std::string capture(const std::string& request) {
    return "try { const tracks = (await navigator.mediaDevices." + request +
           ").getTracks(); tracks.forEach((t) => t.stop());"
           "  return tracks.map((t) => t.kind + ':' + t.label);"
           "} catch (e) { return e.name; }";
}

TEST_F(MediaCaptureTest, EachRequestIsJudgedByWhatItCapturesAndTheDesktopsDecision) {
    server_.page("/", readyPage);
    load(url("/"));
    const MicrophoneStatus undecided = MicrophoneStatus::notDetermined;
    const std::string notAllowed = R"("NotAllowedError")";
    const struct {
        MicrophoneStatus status;
        std::string request;
        std::string result;
        std::vector<std::string> lines;
    } rows[] = {
        {MicrophoneStatus::denied,
         "getUserMedia({audio: true})",
         notAllowed,
         {requested + "microphone", "❌ OS mic denied/restricted, denying WebKit"}},
        {undecided, "getUserMedia({video: true})", notAllowed, {requested + "camera", refused}},
        {undecided,
         "getUserMedia({audio: true, video: true})",
         notAllowed,
         {requested + "camera and microphone", refused}},
        {undecided,
         "getDisplayMedia({video: true})",
         notAllowed,
         {requested + "screen", "❌ Screen capture is not permitted, denying WebKit"}},
        {MicrophoneStatus::authorized,
         "getUserMedia({audio: true})",
         R"(["audio:Mock audio device 1"])",
         {requested + "microphone", "✅ OS mic authorized, granting to WebKit"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.request);
        const std::size_t from = mark();
        microphone_.status = row.status;
        EXPECT_EQ(call(capture(row.request)), row.result);
        EXPECT_EQ(clientLinesSince(from), row.lines);
        EXPECT_TRUE(microphone_.held.empty()) << "the learner was asked";
    }
    EXPECT_TRUE(runUntil([&] { return alerts_.shown.size() == 1; })) << "the refusal is explained";

    // The page waits while the learner decides; a new page, as the engine keeps a grant.
    load(url("/"));
    microphone_.status = undecided;
    call("window.asked = (async () => {" + capture("getUserMedia({audio: true})") + "})();");
    ASSERT_TRUE(runUntil([&] { return !microphone_.held.empty(); })) << "nobody was asked";
    EXPECT_EQ(call("return await Promise.race([asked, 'pending']);"), R"("pending")");
    microphone_.held.front()(true);
    EXPECT_EQ(call("return await asked;"), R"(["audio:Mock audio device 1"])");
}

}  // namespace
}  // namespace pelunna::test
