#include <algorithm>

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

}  // namespace
}  // namespace pelunna::test
