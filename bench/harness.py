"""Runs the client, a bare WebKitGTK view and Chromium side by side on the same local pages and
prints what each costs. Meant to run on a private X server (scripts/headless); scripts/bench
builds the subjects and starts it. docs/PERFORMANCE.md defines every figure."""

import argparse
import datetime
import json
import os
import re
import shutil
import shlex
import signal
import subprocess
import sys
import tempfile
import threading
import time

import desktop
import pages
import processes
import report
import soak
import xdisplay

CLEARED_LINE = "✅ All website data cleared on quit"
CONSOLE_PREFIX = "📱 WebView Console: "
CHOICE_LINE = re.compile(r"^🎨 Drawing on the (CPU|GPU): ")
FLOOD_LINE = re.compile(r"^\[(\d+)\]$")
# The drawing variables scripts/headless exports for the tests: the subjects choose by themselves.
DRAWING_VARIABLES = ("GSK_RENDERER", "WEBKIT_DISABLE_COMPOSITING_MODE", "PELUNNA_RENDERING")
MEMORY_DELAY = 3.0
STEP_TIMEOUT = 60.0


class Subject:
    def __init__(self, name, kind, argv, rendering=None):
        self.name = name
        self.kind = kind  # "client", "bare" or "chromium"
        self.argv = argv
        self.rendering = rendering  # PELUNNA_RENDERING for this subject, None for automatic


class Output:
    """The lines a subject prints on its standard output, each with the time it was read."""

    def __init__(self, stream):
        self.lines = []
        self._stream = stream
        self._lock = threading.Lock()
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()

    def _read(self):
        pending = b""
        fd = self._stream.fileno()
        while True:
            chunk = os.read(fd, 1 << 16)
            if not chunk:
                break
            now = time.monotonic()
            pending += chunk
            *complete, pending = pending.split(b"\n")
            with self._lock:
                self.lines.extend((now, line.decode(errors="replace")) for line in complete)

    def snapshot(self, start=0):
        with self._lock:
            return self.lines[start:]

    def join(self, timeout):
        self._thread.join(timeout)


class RunFailed(Exception):
    pass


class Bench:
    def __init__(self, args):
        self.args = args
        self.root = tempfile.mkdtemp(prefix="pelunna-bench-")
        self.site = self.frames = self.keyboard = None
        self.desktops = []
        try:
            self.site = pages.Site(args.port, args.flood_lines)
            self.frames = xdisplay.FirstFrames()
            self.keyboard = xdisplay.Keyboard()
            self.desktop = self.new_desktop()
        except BaseException:
            self.close()
            raise

    def new_desktop(self):
        """A desktop of the benchmark's own, with the services a learner's session already runs
        (portals, permission store, accessibility bus) started before any launch, and the
        microphone already granted; the soak's also has a sound server."""
        environ = {k: v for k, v in os.environ.items() if k not in DRAWING_VARIABLES}
        root = os.path.join(self.root, f"desktop-{len(self.desktops)}")
        self.desktops.append(desktop.Desktop(root, environ, sound=bool(self.args.soak)))
        return self.desktops[-1]

    def close(self):
        for part in (self.frames, self.keyboard, self.site, *self.desktops):
            if part is not None:
                part.close()
        shutil.rmtree(self.root, ignore_errors=True)

    def launch_env(self, subject, folder, desktop_=None):
        """The environment of one launch: its desktop's, with data folders of its own."""
        env = dict((desktop_ or self.desktop).env)
        for name in ("DATA", "CACHE", "CONFIG"):
            env[f"XDG_{name}_HOME"] = os.path.join(folder, name.lower())
            os.makedirs(env[f"XDG_{name}_HOME"])
        if subject.rendering is not None:
            env["PELUNNA_RENDERING"] = subject.rendering
        return env

    # One launch of one subject through every page.
    def run(self, subject, number):
        folder = os.path.join(self.root, f"{number:03d}-{subject.name}")
        env = self.launch_env(subject, folder)
        argv = list(subject.argv)
        if subject.kind == "chromium":
            argv.append("--user-data-dir=" + os.path.join(folder, "chromium"))
        if subject.kind != "client":
            argv.append(self.start_url)

        self.site.reset()
        result = {"subject": subject.name}
        stderr = open(os.path.join(folder, "stderr.log"), "w")
        launched = time.monotonic()
        process = subprocess.Popen(
            argv, env=env, start_new_session=True, stderr=stderr, stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE if subject.kind == "client" else subprocess.DEVNULL)
        output = self.output(process.stdout) if subject.kind == "client" else None
        try:
            self._walk(subject, process, output, launched, folder, result)
        except RunFailed as failure:
            result["error"] = str(failure)
        finally:
            self.stop(process)
            stderr.close()
            if output is not None:
                output.join(5)
        if "error" in result:
            tail = open(os.path.join(folder, "stderr.log"), errors="replace").read()[-1500:]
            result["stderr"] = tail
        if output is not None:
            result["drawing"] = self.drawing(output)
        return result

    @staticmethod
    def output(stream):
        return Output(stream)

    @staticmethod
    def drawing(output):
        """The path the client logged it draws on, once it has."""
        choice = [CHOICE_LINE.match(line) for _, line in output.snapshot()]
        choice = [match.group(1).lower() for match in choice if match]
        return choice[0] if choice else None

    def _walk(self, subject, process, output, launched, folder, result):
        frame = self.frames.wait_first_frame(process.pid, STEP_TIMEOUT)
        if frame is None:
            raise RunFailed("no window drew within %d s" % STEP_TIMEOUT)
        first_frame, window = frame
        result["first_frame_ms"] = ms(first_frame - launched)

        if subject.kind == "client":
            self.activate(window)
            continued = time.monotonic()
            self.keyboard.press("Return")
            presses = 1
            # A key typed before the screen listens is lost: type it again, as a learner would.
            while self.site.first_request("/start.html") is None:
                if time.monotonic() - continued > 3 * presses:
                    if presses == 5:
                        raise RunFailed("Return on the permission screen opened nothing")
                    self.activate(window)
                    self.keyboard.press("Return")
                    presses += 1
                time.sleep(0.01)
            result["continue_presses"] = presses

        _, loaded, _, answer = self._report(process, "load")
        result["launch_to_loaded_ms"] = ms(loaded - launched)
        requested = self.site.first_request("/start.html")
        result["launch_to_request_ms"] = ms(requested - launched)
        if subject.kind == "client":
            result["continue_to_loaded_ms"] = ms(loaded - continued)
            result["continue_to_request_ms"] = ms(requested - continued)

        time.sleep(max(0.0, loaded + MEMORY_DELAY - time.monotonic()))
        memory = processes.memory(process.pid)
        result["pss_mib"] = mib(memory["Pss"])
        result["pss_written_mib"] = mib(memory["Pss_Anon"] + memory["Pss_Shmem"])
        result["pss_file_mib"] = mib(memory["Pss_File"])
        result["rss_mib"] = mib(memory["Rss"])
        result["pss_by_process_mib"] = {name: mib(kib) for name, kib in memory["by_name"].items()}

        answer("/mutation.html")
        _, _, body, answer = self._report(process, "mutation")
        result["mutation_ms"] = round(float(body), 1)

        if subject.kind == "client":
            answer("/flood.html")
            _, _, body, answer = self._report(process, "flood")
            result["flood_page_ms"] = round(float(body), 1)
            result.update(self._count_flood(output))
        answer("/idle.html")
        _, _, _, answer = self._report(process, "idle")
        answer("")

        tree = processes.tree(process.pid)
        if subject.kind == "chromium":
            # Chromium has no Ctrl+Q; its orderly end on a signal stands in.
            quit_at = time.monotonic()
            process.send_signal(signal.SIGTERM)
        else:
            self.activate(window)
            quit_at = time.monotonic()
            self.keyboard.press("Control_L", "q")
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            raise RunFailed("still running 10 s after being told to quit")
        exited = time.monotonic()
        deadline = exited + 10
        while any(processes.alive(pid) for pid in tree) and time.monotonic() < deadline:
            time.sleep(0.005)
        result["quit_to_gone_ms"] = ms(exited - quit_at)
        result["quit_to_tree_gone_ms"] = ms(time.monotonic() - quit_at)
        result["quit_by"] = "SIGTERM" if subject.kind == "chromium" else "Ctrl+Q"
        if subject.kind == "client":
            output.join(5)
            result["data_cleared_line"] = any(
                line == CLEARED_LINE for _, line in output.snapshot())
        if subject.kind != "chromium":
            # The engine keeps a session's website data in folders named after the program.
            program = "pelunna-labs" if subject.kind == "client" else "bare-view"
            left = [os.path.relpath(os.path.join(where, file), folder)
                    for name in ("data", "cache")
                    for where, _, files in os.walk(os.path.join(folder, name, program))
                    for file in files]
            result["files_left"] = len(left)
            result["files_left_sample"] = left[:10]

    def _report(self, process, expected):
        deadline = time.monotonic() + STEP_TIMEOUT
        while time.monotonic() < deadline:
            report_ = self.site.next_report(0.2)
            if report_ is not None:
                if report_[0] == expected:
                    return report_
                report_[3]("")  # a stray report: let the page be
            if process.poll() is not None:
                raise RunFailed(f"exited with {process.returncode} before the {expected} report")
        raise RunFailed(f"no {expected} report within {STEP_TIMEOUT:.0f} s")

    def _count_flood(self, output):
        """Waits for the flood's lines (or 10 s without one) and checks them. Reads only what
        is new each time: the harness shares the two cores with the client it measures."""
        expected = self.args.flood_lines
        numbers, times, seen = [], [], 0
        last_change = time.monotonic()
        while len(numbers) < expected and time.monotonic() - last_change < 10:
            time.sleep(0.2)
            lines = output.snapshot(seen)
            seen += len(lines)
            for when, line in lines:
                match = FLOOD_LINE.match(line[len(CONSOLE_PREFIX):])
                if line.startswith(CONSOLE_PREFIX) and match:
                    numbers.append(int(match.group(1)))
                    times.append(when)
                    last_change = time.monotonic()
        reordered = sum(1 for a, b in zip(numbers, numbers[1:]) if b < a)
        lost = expected - len(set(numbers) & set(range(expected)))
        span = times[-1] - times[0] if len(times) > 1 else 0
        return {
            "flood_lines": len(numbers),
            "flood_lost": lost,
            "flood_reordered": reordered,
            "flood_lines_per_s": round(len(numbers) / span) if span > 0 else None,
        }

    @staticmethod
    def activate(window):
        subprocess.run(["xdotool", "windowactivate", "--sync", str(window)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10,
                       check=False)

    @staticmethod
    def stop(process):
        """Ends what is left of a subject: its own process group, and nothing else."""
        if process.poll() is None:
            try:
                os.killpg(process.pid, signal.SIGTERM)
                process.wait(5)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                pass
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()

    def url(self, path):
        return f"http://localhost:{self.args.port}{path}"

    @property
    def start_url(self):
        return self.url("/start.html")


def mib(kib):
    return round(kib / 1024, 1)


def ms(seconds):
    return round(seconds * 1000)


def subjects(args):
    client = [args.client]
    bare = [args.bare]
    if args.quick:
        # The bare view follows the path the client chose; see main().
        return [Subject("client auto", "client", client)]
    chosen = [
        Subject("bare cpu", "bare", bare, "cpu"),
        Subject("client auto", "client", client),
        Subject("client cpu", "client", client, "cpu"),
        Subject("bare gpu", "bare", bare, "gpu"),
        Subject("client gpu", "client", client, "gpu"),
    ]
    if args.chromium:
        flags = ["--kiosk", "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync"]
        if os.geteuid() == 0:
            flags.append("--no-sandbox")
        chosen.append(Subject("chromium", "chromium", [args.chromium, *flags]))
    return chosen


def soak_subjects(args):
    """The client, any other builds of it to compare, the bare view on the client's drawing path
    and, when asked, the bare view with the client's page scripts, each left out in turn."""
    chosen = [Subject("client", "client", [args.client])]
    for other in args.also_client:
        name, _, path = other.partition("=")
        chosen.append(Subject(name, "client", [path]))
    chosen.append(Subject("bare", "bare", [args.bare]))
    for other in args.also_bare:
        name, _, arguments = other.partition("=")
        chosen.append(Subject(name, "bare", [args.bare, *shlex.split(arguments)]))
    if args.scripts_left_out:
        chosen.append(Subject("bare + scripts", "bare", [args.bare, *soak.script_arguments()]))
        for name, _ in soak.PAGE_SCRIPTS:
            chosen.append(Subject(f"bare + scripts − {name}", "bare",
                                  [args.bare, *soak.script_arguments(name)]))
    return chosen


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--client", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--chromium")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--flood-lines", type=int, default=100000)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--json", help="where to write every run's figures")
    parser.add_argument("--soak", type=int, metavar="PAGES",
                        help="walk a lesson of PAGES pages instead, client beside the bare view")
    parser.add_argument("--also-client", action="append", default=[], metavar="NAME=PATH",
                        help="soak: another build of the client, walking beside the others")
    parser.add_argument("--also-bare", action="append", default=[], metavar="NAME=ARGUMENTS",
                        help="soak: the bare view with these arguments, beside the others")
    parser.add_argument("--scripts-left-out", action="store_true",
                        help="soak: the bare view with the page scripts, each left out in turn")
    args = parser.parse_args()
    if args.soak is not None and args.soak <= pages.LESSON_HOLD:
        parser.error(f"--soak needs more than {pages.LESSON_HOLD} pages")
    if args.json:
        os.makedirs(os.path.dirname(os.path.abspath(args.json)), exist_ok=True)

    bench = Bench(args)
    if args.soak:
        try:
            runs = soak.Soak(bench, args, soak_subjects(args)).run()
        finally:
            bench.close()
        return finish(args, runs, report.render_soak(runs, report.machine(), args))
    runs = []
    chosen = subjects(args)

    def measure(subject, repetition):
        print(f"[{repetition}/{args.repetitions}] {subject.name} ...", end=" ", flush=True,
              file=sys.stderr)
        result = bench.run(subject, len(runs) + 1)
        result["repetition"] = repetition
        runs.append(result)
        print(result.get("error", "ok"), file=sys.stderr, flush=True)

    try:
        for repetition in range(1, args.repetitions + 1):
            for subject in list(chosen):
                measure(subject, repetition)
            if args.quick and repetition == 1:
                path = report.drawing_path(runs, "client auto")
                chosen.append(Subject(f"bare {path}", "bare", [args.bare], path))
                measure(chosen[-1], repetition)
    finally:
        bench.close()

    machine = report.machine(args.chromium)
    return finish(args, runs, report.render(runs, [s.name for s in chosen], machine, args),
                  machine)


def finish(args, runs, table, machine=None):
    """Writes every figure to the JSON file and prints the table; fails when a run did."""
    if args.json:
        with open(args.json, "w") as out:
            json.dump({"date": datetime.datetime.now().isoformat(timespec="minutes"),
                       "machine": machine or report.machine(), "runs": runs}, out, indent=1,
                      ensure_ascii=False)
    print(table)
    failures = [run for run in runs if "error" in run]
    for run in failures:
        print(f"\n{run['subject']} (repetition {run.get('repetition', 1)}) failed: {run['error']}\n"
              f"{run.get('stderr', '')}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
