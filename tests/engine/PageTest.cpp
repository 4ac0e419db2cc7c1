// What a page meets in the real engine: the page scripts, its dialogs, media capture, and the death
// of its process.
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>

#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

using PageScriptTest = EngineFixture;

// The main page holds the service's frame on another host, which holds one more iframe. Then
// row by row in the main frame, what the page sees and what the scripts log.
TEST_F(PageScriptTest, EachScriptReachesEveryFrameAtItsTimeAnswersThePageAndLogsWhatItDid) {
    const std::string frameUrl = url("/lessons/" + std::string(80, 'x'), mediaHost);
    const std::string frame = "[IFRAME:" + frameUrl.substr(0, 80) + "]";
    server_.page(frameUrl.substr(frameUrl.find("/lessons")), R"(<script>console.log("frame")
        </script><iframe></iframe><script>navigator.mediaDevices.getUserMedia({audio: true})
            .then((s) => console.log("frame got", s.getAudioTracks().length),
                  (e) => console.log("frame refused", e.name));</script>)");
    // What a row's keys did: the event they were sent with, the clicks and what the page heard.
    server_.page("/", R"(<!doctype html><script>console.log("page")</script><iframe src=")" +
                          frameUrl + R"("></iframe><script>
        const clicked = [], bubbled = [];
        document.addEventListener("keydown", (e) => bubbled.push([e.key, e.defaultPrevented]));
        const send = (init) => document.body.dispatchEvent(new KeyboardEvent("keydown",
            {bubbles: true, cancelable: true, ...init}));
        const escape = () => send({key: "Escape", keyCode: 27});
        const state = (sent) => [sent, clicked.splice(0), bubbled.splice(0), location.hash,
            document.documentElement.className, document.body.className];
        console.log("ready");</script>)");
    load(url("/"));
    const std::string handlerReady = R"(["✅ Escape Handler Ready"])";
    ASSERT_TRUE(waitForLine(consoleLine(R"(["frame got",1])")));
    ASSERT_TRUE(waitForLine(consoleLine(handlerReady), 2));
    const std::vector<std::string> atLoad = linesSince(0, true);
    const auto at = [&](const std::string& body) {
        return std::ranges::find(atLoad, consoleLine(body)) - atLoad.begin();
    };
    for (const auto& [where, first] :
         {std::pair<std::string, std::string>{"[MAIN]", "page"}, {frame, "frame"}}) {
        SCOPED_TRACE(where);
        // The diagnostics before the frame's first script, the escape handler after its last.
        EXPECT_LT(at(R"(["🔧 Full media debug wrapper installed in",")" + where + "\"]"),
                  at("[\"" + first + "\"]"));
        EXPECT_EQ(count(consoleLine(R"(["📋 Found",1,"iframes in",")" + where + "\"]")), 1);
    }
    EXPECT_LT(at(R"(["ready"])"), at(handlerReady));

    const std::string escaped = R"(["🔴 Escape in WebView! Hash:",""])";
    const std::string clicked = R"(["✅ Button clicked"])";
    const std::string clickingClose = R"(["🖱️ Clicking button:",".close","Close"])";
    const struct {
        std::string snippet;
        std::string result;
        std::vector<std::string> lines;  // the start of each console body
    } rows[] = {
        // The console bridge: log calls as JSON arrays, string posts as they are, nothing else.
        {"console.log('hello', 3); console.log(); console.log('a\\nb'); console.warn('w');"
         "const cyclic = {}; cyclic.self = cyclic; console.log(cyclic);"
         "const channel = webkit.messageHandlers.logging;"
         "channel.postMessage({a: 1}); channel.postMessage(42); channel.postMessage('direct');",
         "null",
         {R"(["hello",3])", "[]", R"(["a\nb"])", "direct"}},
        // The microphone token: kept where it is named, added to everything else, later too.
        {"document.body.innerHTML = `<iframe id='a'></iframe><iframe allow='camera'></iframe>"
         "    <iframe allow=\"microphone 'none'\"></iframe><p><i><iframe></iframe></i></p>`;"
         "await null; return [...document.querySelectorAll('iframe')].map((f) => f.allow);",
         R"(["microphone","camera; microphone","microphone 'none'","microphone"])",
         {R"(["🔧 Added allow=microphone to NEW iframe in","[MAIN]",":","a"])",
          R"j(["🔧 Added allow=microphone to NEW iframe in","[MAIN]",":","(no src)"])j",
          R"(["🔧 Added allow=microphone to nested NEW iframe in","[MAIN]"])"}},
        // The media diagnostics: every call traced, every outcome unchanged.
        {"const stream = await navigator.mediaDevices.getUserMedia({audio: {autoGainControl: "
         "false}});"
         "const source = new AudioContext().createMediaStreamSource(stream);"
         "return [source instanceof MediaStreamAudioSourceNode, source.mediaStream === stream,"
         "    ...['getUserMedia', 'webkitGetUserMedia'].map((name) => name in navigator)];",
         "[true,true,false,false]",
         {R"(["🎤 getUserMedia called in","[MAIN]","with:","{\"audio\":{\"autoGainControl\":false}}"])",
          R"(["✅ getUserMedia SUCCESS in","[MAIN]","- tracks:","audio:Mock audio device 1"])",
          R"(["🔊 AudioContext.createMediaStreamSource called in","[MAIN]"])"}},
        {"try { await navigator.mediaDevices.getUserMedia({video: true}); }"
         "catch (e) { return [e instanceof DOMException, e.name]; }",
         R"([true,"NotAllowedError"])",
         {R"(["🎤 getUserMedia called in","[MAIN]","with:","{\"video\":true}"])",
          R"(["❌ getUserMedia FAILED in","[MAIN]",":","NotAllowedError",")"}},
        {"const s = await navigator.permissions.query({name: 'microphone'});"
         "try { await navigator.permissions.query({name: 'x'}); } catch (e) {"
         "    return [typeof s.state, e.name]; }",
         R"(["string","TypeError"])",
         {R"(["🔐 permissions.query called in","[MAIN]","with:","{\"name\":\"microphone\"}"])",
          R"(["🔐 permissions.query result in","[MAIN]",":","microphone","=",")",
          R"(["🔐 permissions.query called in","[MAIN]","with:","{\"name\":\"x\"}"])",
          R"(["🔐 permissions.query FAILED in","[MAIN]",":","TypeError",")"}},
        {"const seen = [];"
         "const both = new Promise((done) => addEventListener('unhandledrejection', (e) =>"
         "    seen.push([e.reason.name, e.defaultPrevented]) === 2 && done()));"
         "Promise.reject(new TypeError('not media'));"
         "Promise.reject(new DOMException('lost the device', 'NotReadableError'));"
         "await both; return seen;",
         R"([["TypeError",false],["NotReadableError",false]])",
         {R"(["🚨 Unhandled media rejection in","[MAIN]",":","NotReadableError","lost the device"])"}},
        // The escape handler: the first visible control by selector order, else the fragment,
        // else the full-screen classes; by key name or key code only, withheld from the page
        // when a control took it.
        {R"html(document.body.innerHTML = `
             <button class="dialog-close" style="display: none" onclick="clicked.push(1)">x</button>
             <div style="display: none"><button class="close-x" onclick="clicked.push(2)">x</button>
             </div><button class="x-close" style="visibility: hidden" onclick="clicked.push(3)">x
             </button><div class="modal-close" onclick="clicked.push('modal')">x</div>
             <span class="close" onclick="clicked.push('close')">Close</span>
             <a href="#top" onclick="clicked.push('top'); return false">Top</a>
             <a href="#" onclick="clicked.push('link'); return false">Back</a>`;
             return state([escape()]);)html",
         R"([[false],["link"],[],"","",""])",
         {escaped, R"(["🖱️ Clicking button:","a[href=\"#\"]","Back"])", clicked}},
        {"document.body.innerHTML = `<button class='a-close'>x</button>"
         "    <span class='close' onclick='clicked.push(1)'>Close</span>`;"
         "document.querySelector('button').click = () => { throw new Error('gone'); };"
         "return state([escape()]);",
         R"([[false],[1],[],"","",""])",
         {escaped, R"(["🖱️ Clicking button:","button[class*=\"close\"]","x"])",
          R"(["Error clicking button:",{}])", clickingClose, clicked}},
        {"document.body.innerHTML = `<span class='close' onclick='clicked.push(1)'>Close</span>`;"
         "return state([send({key: 'Enter', keyCode: 13}), send({key: 'Esc', keyCode: 0}),"
         "    send({key: 'Escape'}), send({key: 'Unidentified', keyCode: 27})]);",
         R"([[true,true,false,false],[1,1],[["Enter",false],["Esc",false]],"","",""])",
         {escaped, clickingClose, clicked, escaped, clickingClose, clicked}},
        {"document.body.innerHTML = '<p>x</p>'; history.pushState(null, '', '#unit/2');"
         "const sent = [escape()];"
         "await new Promise((done) => addEventListener('popstate', done, {once: true}));"
         "return state(sent);",
         R"([[false],[],[["Escape",true]],"","",""])",
         {R"(["🔴 Escape in WebView! Hash:","#unit/2"])", R"(["🔙 Hash detected, going back"])"}},
        {"document.documentElement.className = 'fullscreen maximized dark';"
         "document.body.className = 'fullscreen maximized modal-open lesson';"
         "return state([escape()]);",
         R"([[true],[],[["Escape",false]],"","dark","lesson"])",
         {escaped, R"(["🔧 Removed fullscreen classes"])"}},
    };
    const std::string done = consoleLine(R"(["row done"])");
    int rowsDone = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.snippet);
        const std::size_t from = mark();
        EXPECT_EQ(call("const result = await (async () => {" + row.snippet +
                       "})(); console.log('row done'); return result ?? null;"),
                  row.result);
        ASSERT_TRUE(waitForLine(done, ++rowsDone));
        std::vector<std::string> lines = linesSince(from, true);
        // The iframes of the rows are frames of their own, with scripts that log.
        std::erase_if(lines, [&](const std::string& line) {
            return line == done || line.find("about:blank") != line.npos ||
                   line.find(" Escape Handler ") != line.npos;
        });
        EXPECT_EQ(lines.size(), row.lines.size()) << testing::PrintToString(lines);
        for (std::size_t j = 0; j < std::min(lines.size(), row.lines.size()); ++j) {
            EXPECT_TRUE(lines[j].starts_with(consoleLine(row.lines[j]))) << lines[j];
        }
    }
}

using PageDialogTest = EngineFixture;

// Then it leaves, although it asks to stay: no dialog would hold a learner on a page.
TEST_F(PageDialogTest, EachDialogShowsThePagesTextAndThePageGetsTheLearnersAnswer) {
    server_.page("/", R"(<!doctype html><a href="/next">next</a><script>
        addEventListener("beforeunload", (event) => { event.preventDefault(); });
        console.log("ready");</script>)");
    server_.page("/next", R"(<script>console.log("next ready")</script>)");
    load(url("/"));
    SignalCount dialogs(WEBKIT_TYPE_WEB_VIEW, "script-dialog");
    const int ok = AlertResponse::firstButton;
    const std::vector<std::string> okCancel{"OK", "Cancel"};
    const struct {
        std::string question;
        std::string message;
        std::vector<std::string> buttons;
        std::optional<std::string> field;  // what the field starts with
        int answer;
        std::string typed;
        std::string pageGets;
    } rows[] = {
        {"alert('வணக்கம் 🎤\\nline two')", "வணக்கம் 🎤\nline two", {"OK"}, std::nullopt, ok, "", "null"},
        {"confirm('Leave?')", "Leave?", okCancel, std::nullopt, ok, "", "true"},
        {"confirm('Leave?')", "Leave?", okCancel, std::nullopt, ok + 1, "", "false"},
        {"prompt('Your name?', 'abc')", "Your name?", okCancel, "abc", ok, "", R"("")"},
        {"prompt('Your name?', 'abc')", "Your name?", okCancel, "abc", ok + 1, "typed", "null"},
        {"prompt('Your name?')", "Your name?", okCancel, "", ok, "தமிழ்", R"("தமிழ்")"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.question);
        const std::size_t i = alerts_.shown.size();
        const std::string ask = "console.log('answer', " + row.question + ");";
        webkit_web_view_evaluate_javascript(webKitView(), ask.c_str(), -1, nullptr, nullptr,
                                            nullptr, nullptr, nullptr);
        ASSERT_TRUE(runUntil([&] { return alerts_.shown.size() > i; }));
        EXPECT_EQ(alerts_.shown[i].messageText, row.message);
        EXPECT_EQ(alerts_.shown[i].buttons, row.buttons);
        EXPECT_EQ(alerts_.shown[i].textFieldValue, row.field);
        const std::string answer = consoleLine(R"(["answer",)" + row.pageGets + "]");
        const int before = count(answer);
        alerts_.answers.at(i)(AlertResponse{row.answer, row.typed});
        EXPECT_TRUE(waitForLine(answer, before + 1));
    }

    // The engine asks only for a page the user has used; the scripts above count as use.
    call("document.querySelector('a').click();");
    ASSERT_TRUE(waitForLine(consoleLine(R"(["next ready"])")));
    EXPECT_EQ(dialogs.value, 7) << "the engine never asked";
    EXPECT_EQ(alerts_.shown.size(), 6U);
}

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

// Kills the engine's page processes below the given one (behind their sandbox's launcher), found
// through the process tree as an administrator would find them; whether there were any.
bool killPageProcesses(const std::string& pid = std::to_string(getpid())) {
    bool killed = false;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + pid + "/task")) {
        std::ifstream children(task.path() / "children");
        for (std::string child; children >> child;) {
            killed = killPageProcesses(child) || killed;
            std::ifstream file("/proc/" + child + "/stat");
            const std::string stat{std::istreambuf_iterator<char>(file), {}};
            // "pid (name) state …"; a zombie is dead already.
            if (stat.find(" (WebKitWebProces) ") != stat.npos && stat[stat.rfind(')') + 2] != 'Z') {
                killed = kill(std::stoi(child), SIGKILL) == 0 || killed;
            }
        }
    }
    return killed;
}

using PageProcessTest = EngineFixture;

// The reload budget is the unit tests'; here the engine must tell a real death, and Ctrl+R must end
// a page that never yields.
TEST_F(PageProcessTest, AKilledPageComesBackAndCtrlREndsEvenASpinningPage) {
    const std::string ready = consoleLine(R"(["ready"])");
    load(url("/"));
    ASSERT_TRUE(killPageProcesses()) << "no page process to kill";
    ASSERT_TRUE(waitForLine("❌ Web content process terminated: crashed"));
    ASSERT_TRUE(waitForLine(ready, 2)) << "the page did not come back";

    // Not through call(): the page spins and never answers.
    webkit_web_view_evaluate_javascript(webKitView(), "console.log('spinning'); for (;;) {}", -1,
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(waitForLine(consoleLine(R"(["spinning"])")));
    // Ctrl+R toggles the root view's refresh state.
    webView_->update(1.0, true);
    EXPECT_TRUE(waitForLine("❌ Web content process terminated: ended by the client"));
    EXPECT_TRUE(waitForLine(ready, 3));
}

}  // namespace
}  // namespace pelunna::test
