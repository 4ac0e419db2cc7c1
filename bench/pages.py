"""The local site every subject opens, and the server that notes when each page reports back.

A page reports with a POST to /report/<event>; the server notes when it arrived and keeps the
answer open until the harness names the page to go to next, so that one launch walks through
every page while the harness measures between them."""

import http.server
import os
import queue
import socket
import threading
import time

# A lab's sign-in page of modest size: styles, a form, a picture, a few paragraphs.
START_PAGE = """<!doctype html>
<html lang="ta"><head><meta charset="utf-8"><title>Pelunna Tamil Labs</title>
<style>
body { margin: 0; font-family: sans-serif; background: #f4f6fb; color: #223; }
header { background: #3366cc; color: white; padding: 16px 32px; font-size: 24px; }
main { max-width: 720px; margin: 32px auto; background: white; padding: 24px 32px;
       border-radius: 8px; box-shadow: 0 2px 8px rgba(0,0,0,.15); }
label { display: block; margin-top: 12px; }
input { width: 100%; padding: 8px; font-size: 16px; box-sizing: border-box; }
button { margin-top: 16px; padding: 10px 24px; background: #3380ff; color: white; border: 0;
         border-radius: 4px; font-size: 16px; }
</style></head>
<body>
<header>
<svg width="28" height="28" viewBox="0 0 28 28"><circle cx="14" cy="14" r="12" fill="#fff"/>
<rect x="11" y="6" width="6" height="11" rx="3" fill="#3366cc"/></svg>
பெலுன்னா தமிழ் ஆய்வகம் — Pelunna Tamil Labs</header>
<main>
<h1>வணக்கம்! Welcome back</h1>
<p>Sign in to continue your listening, reading and speaking exercises.</p>
<form onsubmit="return false">
<label>Learner ID <input name="id" autocomplete="off"></label>
<label>Password <input name="password" type="password"></label>
<button>Sign in</button>
</form>
<p>உச்சரிப்புப் பயிற்சிகளுக்கு ஒலிவாங்கி தேவை. The speaking exercises use your microphone.</p>
</main>
<script>
addEventListener('load', () => {
    fetch('/report/load', {method: 'POST', body: String(performance.now())})
        .then((answer) => answer.text())
        .then((next) => { if (next) location.href = next; });
});
</script>
</body></html>
"""

# Inserts the elements and frames one by one into the live document, as a page script building
# an exercise would, and reports how long until every frame has loaded and the result is laid out
# and painted.
MUTATION_PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>mutation</title>
<style>iframe { width: 40px; height: 30px; border: 1px solid #ccc; }</style></head>
<body>
<script>
addEventListener('load', () => {
    const start = performance.now();
    let pending = %(frames)d;
    const report = () => {
        document.body.offsetHeight;
        requestAnimationFrame(() => setTimeout(() => {
            fetch('/report/mutation', {method: 'POST', body: String(performance.now() - start)})
                .then((answer) => answer.text())
                .then((next) => { if (next) location.href = next; });
        }));
    };
    for (let i = 0; i < %(elements)d; i++) {
        const row = document.createElement('div');
        row.className = 'row';
        row.textContent = 'வரி ' + i;
        document.body.appendChild(row);
    }
    for (let i = 0; i < %(frames)d; i++) {
        const frame = document.createElement('iframe');
        frame.addEventListener('load', () => { if (--pending === 0) report(); });
        frame.src = '/frame.html?' + i;
        document.body.appendChild(frame);
    }
});
</script>
</body></html>
"""

FRAME_PAGE = """<!doctype html><meta charset="utf-8"><p>சொல்</p>"""

# The loop's own duration goes with the report; the lines themselves are counted on the client's
# standard output.
FLOOD_PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>flood</title></head>
<body>
<script>
addEventListener('load', () => {
    const start = performance.now();
    for (let i = 0; i < %(lines)d; i++) {
        console.log(i);
    }
    fetch('/report/flood', {method: 'POST', body: String(performance.now() - start)})
        .then((answer) => answer.text())
        .then((next) => { if (next) location.href = next; });
});
</script>
</body></html>
"""

IDLE_PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>idle</title></head>
<body><p>Done.</p>
<script>
addEventListener('load', () => { fetch('/report/idle', {method: 'POST', body: '0'}); });
</script>
</body></html>
"""

ELEMENTS = 10000
FRAMES = 200

# A lesson that walks to the next by itself, as a learner clicking through would: Tamil text, a
# picture, an iframe, 300 list items, and on every third page a 200 ms take from the microphone,
# heard through Web Audio as a speaking exercise does (the engine records with no MediaRecorder
# here), then let go. The count of good takes travels
# in the address; pages HOLD and the last one report and wait for the harness.
LESSON_PAGE = """<!doctype html>
<html lang="ta"><head><meta charset="utf-8"><title>பாடம் %(page)d</title>
<style>
body { font-family: sans-serif; margin: 24px; }
li { display: inline-block; width: 120px; margin: 2px; }
iframe { width: 320px; height: 80px; border: 1px solid #ccc; }
</style></head>
<body>
<h1>பாடம் %(page)d — கேட்டல், பேசுதல்</h1>
<img src="/picture.png?%(page)d" width="320" height="200" alt="">
<iframe src="/lesson-frame.html?%(page)d"></iframe>
<ol>%(items)s</ol>
<script>
const page = %(page)d, takes = Number(new URLSearchParams(location.search).get('takes'));
async function take() {
    const stream = await navigator.mediaDevices.getUserMedia({audio: true});
    const context = new AudioContext();
    const analyser = context.createAnalyser();
    context.createMediaStreamSource(stream).connect(analyser);
    const samples = [], chunk = new Float32Array(analyser.fftSize);
    const end = performance.now() + 200;
    while (performance.now() < end) {
        await new Promise((done) => setTimeout(done, 20));
        analyser.getFloatTimeDomainData(chunk);
        samples.push(chunk.slice());
    }
    for (const track of stream.getTracks()) {
        track.stop();
    }
    await context.close();
    return samples.length;
}
addEventListener('load', async () => {
    let took = takes, failed = '';
    if (page %% 3 === 0) {
        try {
            await take();
            took++;
        } catch (error) {
            failed = error.name + ': ' + error.message;
        }
    }
    const next = '%(base)s' + (page + 1) + '?takes=' + took;
    if (failed || page === %(hold)d || page === %(last)d) {
        const answer = await fetch('/report/%(token)s', {method: 'POST',
            body: JSON.stringify({page, takes: took, failed})});
        if (!(await answer.text())) {
            return;
        }
    }
    setTimeout(() => { location.href = next; }, 200);
});
</script>
</body></html>
"""
LESSON_FRAME = """<!doctype html><meta charset="utf-8"><p>சொல் — இன்று கற்ற சொற்கள்</p>"""
LESSON_WORDS = ("அம்மா", "தண்ணீர்", "பள்ளி", "மரம்", "வீடு", "புத்தகம்", "நிலா", "கடல்")
LESSON_ELEMENTS = 300
LESSON_HOLD = 30
PICTURE = os.path.join(os.path.dirname(__file__), "..", "data", "screenshots", "kiosk.png")


class Site:
    """Serves the pages on localhost (IPv4 and IPv6) and hands the harness each report."""

    def __init__(self, port, flood_lines):
        self._pages = {
            "/start.html": START_PAGE,
            "/mutation.html": MUTATION_PAGE % {"elements": ELEMENTS, "frames": FRAMES},
            "/frame.html": FRAME_PAGE,
            "/flood.html": FLOOD_PAGE % {"lines": flood_lines},
            "/idle.html": IDLE_PAGE,
        }
        with open(PICTURE, "rb") as picture:
            self._picture = picture.read()
        self._lessons = {}  # token -> the lesson's last page
        self._walked = {}  # token -> monotonic time its latest page was asked for
        self._reports = []  # (event, arrival, body, answer queue), oldest first
        self._lock = threading.Condition()
        self._requests = {}  # path -> monotonic time of its first request since reset()
        site = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                now = time.monotonic()
                path = self.path.split("?", 1)[0]
                page = site._pages.get(path)
                with site._lock:
                    site._requests.setdefault(path, now)
                if path == "/picture.png":
                    self._send(200, site._picture, "image/png")
                    return
                if path == "/lesson-frame.html":
                    page = LESSON_FRAME
                elif path.startswith("/lesson/"):
                    page = site._lesson(path)
                if page is None:
                    self._send(404, b"")
                    return
                self._send(200, page.encode(), "text/html; charset=utf-8")

            def do_POST(self):
                now = time.monotonic()
                length = int(self.headers.get("Content-Length") or 0)
                body = self.rfile.read(length).decode(errors="replace")
                event = self.path.removeprefix("/report/")
                answer = queue.Queue(maxsize=1)
                with site._lock:
                    site._reports.append((event, now, body, answer))
                    site._lock.notify_all()
                try:
                    next_page = answer.get(timeout=120)
                except queue.Empty:
                    next_page = ""
                self._send(200, next_page.encode(), "text/plain")

            def _send(self, status, body, kind="text/plain"):
                self.send_response(status)
                self.send_header("Content-Type", kind)
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                self.wfile.write(body)

        class Server(http.server.ThreadingHTTPServer):
            daemon_threads = True
            allow_reuse_address = True

            def handle_error(self, request, client_address):
                pass  # a subject ended mid-request: its own run reports what went wrong

        class Server6(Server):
            address_family = socket.AF_INET6

        self._servers = [Server(("127.0.0.1", port), Handler)]
        try:
            self._servers.append(Server6(("::1", port), Handler))
        except OSError:
            pass  # no IPv6 loopback here: "localhost" then only means 127.0.0.1
        for server in self._servers:
            threading.Thread(target=server.serve_forever, daemon=True).start()

    def lesson(self, token, last):
        """The address of page 1 of a walking lesson of `last` pages, which reports as `token`."""
        with self._lock:
            self._lessons[token] = last
        return f"/lesson/{token}/1?takes=0"

    def _lesson(self, path):
        token, _, number = path.removeprefix("/lesson/").partition("/")
        with self._lock:
            last = self._lessons.get(token)
        if last is None or not number.isdigit() or not 1 <= int(number) <= last:
            return None
        page = int(number)
        with self._lock:
            self._walked[token] = time.monotonic()
        items = "".join(f"<li>{LESSON_WORDS[i % len(LESSON_WORDS)]} {i}</li>"
                        for i in range(LESSON_ELEMENTS))
        return LESSON_PAGE % {"page": page, "last": last, "hold": LESSON_HOLD, "items": items,
                              "token": token, "base": f"/lesson/{token}/"}

    def last_walked(self, token):
        """When the lesson's latest page was asked for, or None before its first."""
        with self._lock:
            return self._walked.get(token)

    def reset(self):
        """Forgets what earlier runs asked for; a report still pending is answered empty."""
        with self._lock:
            self._requests = {}
            pending, self._reports = self._reports, []
        for _, _, _, answer in pending:
            answer.put("")

    def first_request(self, path):
        with self._lock:
            return self._requests.get(path)

    def next_report(self, timeout, events=None):
        """(event, arrival time, body, answer) of the oldest report (of one of `events`, when
        given), or None after timeout; the page waits until answer(next_page) is called."""
        deadline = time.monotonic() + timeout
        with self._lock:
            while True:
                for index, report in enumerate(self._reports):
                    if events is None or report[0] in events:
                        event, when, body, answer = self._reports.pop(index)
                        return event, when, body, answer.put
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self._lock.wait(left)

    def close(self):
        for server in self._servers:
            server.shutdown()
            server.server_close()
