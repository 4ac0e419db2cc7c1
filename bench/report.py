"""The benchmark's table and its ratios against the targets, in Markdown."""

import collections
import datetime
import os
import platform
import statistics
import subprocess

import pages

# key, heading, unit
FIGURES = [
    ("first_frame_ms", "launch → first frame", "ms"),
    ("continue_to_loaded_ms", "Continue → loaded", "ms"),
    ("launch_to_loaded_ms", "launch → loaded", "ms"),
    ("pss_mib", "memory (PSS)", "MiB"),
    ("pss_written_mib", "of it written", "MiB"),
    ("mutation_ms", "mutation page", "ms"),
    ("flood_lines_per_s", "console lines/s", ""),
    ("quit_to_gone_ms", "quit → gone", "ms"),
]

# What each figure is held to; docs/PERFORMANCE.md says why. A value meets its target when it is
# at most (or, for at_least, at least) the limit.
Target = collections.namedtuple("Target", "figure limit shown at_least", defaults=[False])
TARGETS = {
    "memory_over_bare": Target("memory, client − bare", 10, "≤ +10 MiB"),
    "continue_over_bare": Target("Continue → loaded ÷ bare launch → loaded", 1.05, "≤ 1.05"),
    "first_frame": Target("launch → permission screen drawn", 250, "≤ 250 ms"),
    "mutation_over_bare": Target("mutation page ÷ bare", 1.05, "≤ 1.05"),
    "memory_over_chromium": Target("memory ÷ Chromium", 0.5, "≤ 0.5"),
    "loaded_over_chromium": Target("launch → loaded (gate included) ÷ Chromium", 0.8, "≤ 0.8"),
    "console_bridge": Target("console bridge", 50000, "≥ 50 000/s, none lost or reordered",
                             at_least=True),
    "quit": Target("Ctrl+Q → gone", 500, "≤ 500 ms"),
    # The soak: growth from the held page to the last one.
    "soak_ui_growth": Target("UI process growth − the bare view's", 2, "≤ +2 MiB"),
    "soak_web_growth": Target("page process growth ÷ the bare view's", 1.2, "≤ 1.2"),
    "soak_tree_over_bare": Target("whole tree at the last page, client − bare", 15, "≤ +15 MiB"),
    "soak_walk": Target("time to walk ÷ the bare view's", 1.05, "≤ 1.05"),
}


def _values(runs, subject, key):
    return [run[key] for run in runs
            if run["subject"] == subject and run.get(key) is not None and "error" not in run]


def median(runs, subject, key):
    values = _values(runs, subject, key)
    return statistics.median(values) if values else None


def _number(value):
    if value is None:
        return "–"
    if isinstance(value, float) and not value.is_integer():
        return f"{value:.1f}"
    return f"{int(value):,}".replace(",", " ")


def cell(runs, subject, key):
    values = _values(runs, subject, key)
    if not values:
        return "–"
    middle = _number(statistics.median(values))
    if len(values) == 1:
        return middle
    return f"{middle} ({_number(min(values))}–{_number(max(values))})"


def table(runs, names):
    lines = ["| subject | runs | " + " | ".join(
        f"{heading} ({unit})" if unit else heading for _, heading, unit in FIGURES) + " |",
        "|---" * (len(FIGURES) + 2) + "|"]
    for name in names:
        total = sum(1 for run in runs if run["subject"] == name)
        good = sum(1 for run in runs if run["subject"] == name and "error" not in run)
        lines.append(f"| {name} | {good}/{total} | " +
                     " | ".join(cell(runs, name, key) for key, _, _ in FIGURES) + " |")
    return "\n".join(lines)


def drawing_path(runs, name):
    """The path a client subject drew on: forced by its name, or the one it logged."""
    if name.endswith(" cpu") or name.endswith(" gpu"):
        return name[-3:]
    logged = [run.get("drawing") for run in runs if run["subject"] == name and run.get("drawing")]
    if logged:
        return max(set(logged), key=logged.count)
    return "gpu"  # no choice logged: the engine's defaults


def _ratio(numerator, denominator):
    if numerator is None or denominator is None or denominator == 0:
        return None
    return numerator / denominator


def _verdict(value, key):
    if value is None:
        return "n/a"
    target = TARGETS[key]
    met = value >= target.limit if target.at_least else value <= target.limit
    return "met" if met else "**missed**"


def _target_row(out, key, value, fmt="{:.2f}", figure=None, verdict=None, shown=None):
    if shown is None:
        shown = "–" if value is None else fmt.format(value)
    target = TARGETS[key]
    out.append(f"| {figure or target.figure} | {shown} | {target.shown} | "
               f"{verdict or _verdict(value, key)} |")


def ratios(runs, names):
    out = []
    chromium = "chromium" if "chromium" in names else None
    for name in [n for n in names if n.startswith("client")]:
        path = drawing_path(runs, name)
        bare = f"bare {path}" if f"bare {path}" in names else None
        logged = [run.get("drawing") for run in runs if run["subject"] == name]
        how = f"drew on the {path.upper()}"
        if name == "client auto" and not any(logged):
            how += " (logged no choice: the engine's defaults)"
        out.append(f"\n**{name}** ({how}; compared with {bare or 'no bare view'}"
                   f"{' and Chromium' if chromium else ''})\n")
        out.append("| figure | value | target | |\n|---|---|---|---|")

        mem = median(runs, name, "pss_mib")
        mem_bare = median(runs, bare, "pss_mib") if bare else None
        extra = mem - mem_bare if mem is not None and mem_bare is not None else None
        _target_row(out, "memory_over_bare", extra, "{:+.1f} MiB")
        written = median(runs, name, "pss_written_mib")
        written_bare = median(runs, bare, "pss_written_mib") if bare else None
        if written is not None and written_bare is not None:
            out.append(f"| (of it written memory: anonymous and shared) | "
                       f"{written - written_bare:+.1f} MiB | | |")
        gate = _ratio(median(runs, name, "continue_to_loaded_ms"),
                      median(runs, bare, "launch_to_loaded_ms") if bare else None)
        _target_row(out, "continue_over_bare", gate)
        _target_row(out, "first_frame", median(runs, name, "first_frame_ms"), "{:.0f} ms")
        mutation = _ratio(median(runs, name, "mutation_ms"),
                          median(runs, bare, "mutation_ms") if bare else None)
        _target_row(out, "mutation_over_bare", mutation)
        if chromium:
            _target_row(out, "memory_over_chromium",
                        _ratio(mem, median(runs, chromium, "pss_mib")))
            _target_row(out, "loaded_over_chromium",
                        _ratio(median(runs, name, "launch_to_loaded_ms"),
                               median(runs, chromium, "launch_to_loaded_ms")))
        rate = median(runs, name, "flood_lines_per_s")
        lost = sum(_values(runs, name, "flood_lost"))
        reordered = sum(_values(runs, name, "flood_reordered"))
        flood_ok = rate is not None and _verdict(rate, "console_bridge") == "met" and \
            lost == 0 and reordered == 0
        _target_row(out, "console_bridge", rate,
                    shown=None if rate is None else
                    f"{_number(rate)}/s, {lost} lost, {reordered} reordered",
                    verdict="n/a" if rate is None else ("met" if flood_ok else "**missed**"))
        quit_ = median(runs, name, "quit_to_gone_ms")
        cleared = all(run.get("data_cleared_line") and run.get("files_left") == 0 for run in runs
                      if run["subject"] == name and "error" not in run)
        _target_row(out, "quit", quit_, "{:.0f} ms",
                    figure="Ctrl+Q → gone" + ("" if cleared else " (website data NOT removed)"),
                    verdict=None if cleared else "**missed**")
    return "\n".join(out)


def machine(chromium=None):
    def version(*argv):
        try:
            return subprocess.run(argv, capture_output=True, text=True, timeout=30,
                                  check=False).stdout.strip()
        except OSError:
            return ""

    cpu = ""
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as info:
            cpu = next(line.split(":", 1)[1].strip() for line in info
                       if line.startswith("model name"))
    except (OSError, StopIteration):
        pass
    return {
        "date": datetime.datetime.now().isoformat(timespec="minutes"),
        "cpu": f"{cpu} × {os.cpu_count()}",
        "load_average": " ".join(f"{value:.2f}" for value in os.getloadavg()),
        "kernel": platform.release(),
        "webkitgtk": version("pkg-config", "--modversion", "webkitgtk-6.0"),
        "gtk": version("pkg-config", "--modversion", "gtk4"),
        "chromium": version(chromium, "--version") if chromium else "",
    }


def render(runs, names, machine_, args):
    lines = [
        f"Measured {machine_['date']} on {machine_['cpu']}, load average at the end "
        f"{machine_['load_average']}, WebKitGTK {machine_['webkitgtk']}, GTK {machine_['gtk']}"
        f"{', ' + machine_['chromium'] if machine_['chromium'] else ''}; "
        f"{args.repetitions} repetition(s), medians (min–max).",
        "",
        table(runs, names),
        "",
        "Ratios of the medians against the targets:",
        ratios(runs, names),
    ]
    return "\n".join(lines)


SOAK_PROCESSES = (("ui", "UI"), ("web", "page (web)"), ("network", "network"), ("tree", "tree"))


def _soak_growth(run, where, part="pss"):
    """PSS (or its written part) growth of a process class from the held page to the last, MiB."""
    try:
        return (run["memory_last"][where][part] - run["memory_hold"][where][part]) / 1024
    except KeyError:
        return None


def soak_table(runs):
    last = max((run.get("pages", 0) for run in runs), default=0)
    lines = [f"| subject | process | PSS at page {pages.LESSON_HOLD} (MiB) | at page {last} (MiB) | growth "
             f"(MiB) | per 100 pages (MiB) | of it written (MiB) |", "|---" * 7 + "|"]
    for run in runs:
        if "error" in run:
            lines.append(f"| {run['subject']} | failed: {run['error']} |||||")
            continue
        walked = run["pages"] - pages.LESSON_HOLD
        for where, heading in SOAK_PROCESSES:
            if where not in run["memory_last"]:
                continue
            growth = _soak_growth(run, where)
            lines.append(
                f"| {run['subject']} | {heading} | {run['memory_hold'][where]['pss'] / 1024:.1f} | "
                f"{run['memory_last'][where]['pss'] / 1024:.1f} | {growth:+.1f} | "
                f"{growth * 100 / walked:+.2f} | {_soak_growth(run, where, 'written'):+.1f} |")
    return "\n".join(lines)


def soak_ratios(runs):
    bare = next((run for run in runs if run["subject"] == "bare" and "error" not in run), None)
    out = []
    for run in runs:
        if run["kind"] != "client" or "error" in run:
            continue
        out.append(f"\n**{run['subject']}** (drew on the {(run.get('drawing') or 'gpu').upper()}; "
                   f"compared with the bare view)\n")
        out.append("| figure | value | target | |\n|---|---|---|---|")
        if bare is None:
            out.append("| the bare view failed | | | n/a |")
            continue
        ui = _soak_growth(run, "ui") - _soak_growth(bare, "ui")
        _target_row(out, "soak_ui_growth", ui, "{:+.1f} MiB")
        bare_web = _soak_growth(bare, "web")
        if bare_web > 0:
            _target_row(out, "soak_web_growth", _soak_growth(run, "web") / bare_web)
        else:
            # A ratio to a page process that did not grow says nothing; the growths do.
            _target_row(out, "soak_web_growth", None, verdict="n/a",
                        shown=f"{_soak_growth(run, 'web'):+.1f} against {bare_web:+.1f} MiB")
        tree = (run["memory_last"]["tree"]["pss"] - bare["memory_last"]["tree"]["pss"]) / 1024
        _target_row(out, "soak_tree_over_bare", tree, "{:+.1f} MiB")
        _target_row(out, "soak_walk", _ratio(run["walk_s"], bare["walk_s"]))
    return "\n".join(out)


def render_soak(runs, machine_, args):
    walks = ", ".join(f"{run['subject']} {run['walk_s']:.0f} s ({run.get('takes', 0)} takes)"
                      for run in runs if "walk_s" in run)
    return "\n".join([
        f"Soak of {args.soak} pages measured {machine_['date']} on {machine_['cpu']}, load "
        f"average at the end {machine_['load_average']}, WebKitGTK {machine_['webkitgtk']}, "
        f"GTK {machine_['gtk']}; walked side by side: {walks}.",
        "",
        soak_table(runs),
        "",
        "Growth from the held page to the last against the targets:",
        soak_ratios(runs),
    ])
