"""The soak: the client and the bare view walk the same self-walking lesson side by side, each
in its own process tree, and the memory of every process is taken when the walk reaches page
HOLD and at its last page. docs/PERFORMANCE.md explains the method."""

import json
import os
import shutil
import subprocess
import time

import pages
import processes

MEMORY_DELAY = 3.0
START_TIMEOUT = 60.0
# A lesson that has asked for no page for this long has stopped walking.
STALL_TIMEOUT = 120.0
# The client's page scripts in its own order (src/web/PageScripts.hpp): the bare view runs them
# without the client around them, each left out in turn.
PAGE_SCRIPTS = (("console-bridge.js", "start"), ("iframe-microphone.js", "start"),
                ("media-diagnostics.js", "start"), ("escape-handler.js", "end"))
SCRIPT_FOLDER = os.path.join(os.path.dirname(__file__), "..", "src", "web", "scripts")


def process_class(pid, root, name):
    if pid == root:
        return "ui"
    if name.startswith("WebKitWebProces"):
        return "web"
    if name.startswith("WebKitNetworkPr"):
        return "network"
    return "other"  # the sandbox's bwrap and xdg-dbus-proxy


def memory(root):
    """PSS and its written part (anonymous and shared) in KiB, and the number of processes, per
    process class and in all."""
    taken = {}
    for pid, name, sizes in processes.each(root):
        for where in (process_class(pid, root, name), "tree"):
            entry = taken.setdefault(where, {"pss": 0, "written": 0, "processes": 0})
            entry["processes"] += 1
            entry["pss"] += sizes.get("Pss", 0)
            entry["written"] += sizes.get("Pss_Anon", 0) + sizes.get("Pss_Shmem", 0)
    return taken


def script_arguments(left_out=None):
    arguments = []
    for name, when in PAGE_SCRIPTS:
        if name != left_out:
            arguments += [f"--{when}-script", os.path.join(SCRIPT_FOLDER, name)]
    return arguments


class Walker:
    """One subject on its walk: its process, where it is, what was measured."""

    def __init__(self, subject, token):
        self.subject = subject
        self.token = token
        self.process = self.output = None
        self.result = {"subject": subject.name, "kind": subject.kind, "token": token}
        self.launched = None
        self.started = None  # when page 1 was asked for
        self.moving_since = None  # when it last left a held page
        self.moved_for = 0.0  # time spent walking, holds left out
        self.answer_last = None  # the last page waits for this until every walker is done
        self.done = False


class Soak:
    def __init__(self, bench, args, subjects):
        self.bench = bench
        self.args = args
        self.walkers = [Walker(subject, f"s{number}") for number, subject in enumerate(subjects)]

    def run(self):
        try:
            for walker in self.walkers:
                self._launch(walker)
                if "error" in walker.result:
                    walker.done = True
            self._walk()
        finally:
            for walker in self.walkers:
                if walker.answer_last is not None:
                    walker.answer_last("")
                if walker.process is not None:
                    self.bench.stop(walker.process)
                if walker.output is not None:
                    walker.output.join(5)
                if self.args.json:
                    # Kept beside the figures: the page process writes its own lines there too.
                    shutil.copy(os.path.join(self._folder(walker), "stderr.log"),
                                f"{os.path.splitext(self.args.json)[0]}-{walker.token}.log")
        return [walker.result for walker in self.walkers]

    def _launch(self, walker):
        subject = walker.subject
        folder = self._folder(walker)
        # A second client needs a desktop of its own (one instance per application and bus).
        clients = [w for w in self.walkers if w.subject.kind == "client"]
        desktop_ = self.bench.desktop
        if subject.kind == "client" and clients.index(walker) > 0:
            desktop_ = self.bench.new_desktop()
        if subject.kind == "bare" and subject.rendering is None:
            # On the path the client chose, as in the launch benchmark.
            drawn = [w.result.get("drawing") for w in clients if w.result.get("drawing")]
            subject.rendering = drawn[0] if drawn else "gpu"
        env = self.bench.launch_env(subject, folder, desktop_)
        lesson = self.bench.site.lesson(walker.token, self.args.soak)
        argv = list(subject.argv)
        if subject.kind != "client":
            argv.append(self.bench.url(lesson))
        stderr = open(os.path.join(folder, "stderr.log"), "w")
        walker.launched = time.monotonic()
        walker.process = subprocess.Popen(
            argv, env=env, start_new_session=True, stderr=stderr, stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE if subject.kind == "client" else subprocess.DEVNULL)
        if subject.kind == "client":
            walker.output = self.bench.output(walker.process.stdout)
            if not self._continue(walker, lesson):
                walker.result["error"] = "the client's start page never loaded"
                return
            walker.result["drawing"] = self.bench.drawing(walker.output)

    def _folder(self, walker):
        return os.path.join(self.bench.root, f"soak-{walker.token}")

    def _continue(self, walker, lesson):
        """Past the permission screen, as in the launch benchmark; the start page's report is
        answered with the lesson."""
        frame = self.bench.frames.wait_first_frame(walker.process.pid, START_TIMEOUT)
        if frame is None:
            return False
        window = frame[1]
        for _ in range(5):
            self.bench.activate(window)
            self.bench.keyboard.press("Return")
            report = self.bench.site.next_report(3.0, {"load"})
            if report is not None:
                report[3](lesson)
                return True
        return False

    def _walk(self):
        by_token = {walker.token: walker for walker in self.walkers}
        while not all(walker.done for walker in self.walkers):
            for walker in self.walkers:
                if walker.started is None:
                    walker.started = self.bench.site.first_request(f"/lesson/{walker.token}/1")
                    walker.moving_since = walker.started
                if walker.done:
                    continue
                walked = self.bench.site.last_walked(walker.token) or walker.launched
                if walker.process.poll() is not None:
                    walker.result["error"] = f"exited with {walker.process.returncode}"
                    walker.done = True
                elif time.monotonic() - walked > STALL_TIMEOUT:
                    walker.result["error"] = f"stalled for {STALL_TIMEOUT:.0f} s"
                    walker.done = True
            pending = [w.token for w in self.walkers if not w.done]
            report = self.bench.site.next_report(0.5, set(pending))
            if report is None:
                continue
            token, arrived, body, answer = report
            self._held(by_token[token], arrived, json.loads(body), answer)

    def _held(self, walker, arrived, body, answer):
        walker.moved_for += arrived - walker.moving_since
        walker.result["takes"] = body["takes"]
        if body["failed"]:
            walker.result["error"] = f"page {body['page']}: {body['failed']}"
            walker.done = True
            answer("")
            return
        time.sleep(max(0.0, arrived + MEMORY_DELAY - time.monotonic()))
        taken = memory(walker.process.pid)
        if body["page"] == pages.LESSON_HOLD:
            walker.result["memory_hold"] = taken
            walker.moving_since = time.monotonic()
            answer("go")
            return
        walker.result["memory_last"] = taken
        walker.result["walk_s"] = round(walker.moved_for, 2)
        walker.result["pages"] = body["page"]
        # Held until every walk is over: a tree that ends changes its libraries' PSS share.
        walker.answer_last = answer
        walker.done = True
