"""The benchmark's table and its ratios against the targets, in Markdown."""

import datetime
import os
import platform
import statistics
import subprocess

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


def _verdict(value, limit, at_least=False):
    if value is None:
        return "n/a"
    return "met" if (value >= limit if at_least else value <= limit) else "**missed**"


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

        def row(figure, value, target, verdict, fmt="{:.2f}"):
            shown = "–" if value is None else fmt.format(value)
            out.append(f"| {figure} | {shown} | {target} | {verdict} |")

        mem = median(runs, name, "pss_mib")
        mem_bare = median(runs, bare, "pss_mib") if bare else None
        extra = mem - mem_bare if mem is not None and mem_bare is not None else None
        row("memory, client − bare", extra, "≤ +10 MiB", _verdict(extra, 10), "{:+.1f} MiB")
        written = median(runs, name, "pss_written_mib")
        written_bare = median(runs, bare, "pss_written_mib") if bare else None
        if written is not None and written_bare is not None:
            out.append(f"| (of it written memory: anonymous and shared) | "
                       f"{written - written_bare:+.1f} MiB | | |")
        gate = _ratio(median(runs, name, "continue_to_loaded_ms"),
                      median(runs, bare, "launch_to_loaded_ms") if bare else None)
        row("Continue → loaded ÷ bare launch → loaded", gate, "≤ 1.05", _verdict(gate, 1.05))
        first = median(runs, name, "first_frame_ms")
        row("launch → permission screen drawn", first, "≤ 250 ms", _verdict(first, 250),
            "{:.0f} ms")
        mutation = _ratio(median(runs, name, "mutation_ms"),
                          median(runs, bare, "mutation_ms") if bare else None)
        row("mutation page ÷ bare", mutation, "≤ 1.05", _verdict(mutation, 1.05))
        if chromium:
            mem_c = _ratio(mem, median(runs, chromium, "pss_mib"))
            row("memory ÷ Chromium", mem_c, "≤ 0.5", _verdict(mem_c, 0.5))
            load_c = _ratio(median(runs, name, "launch_to_loaded_ms"),
                            median(runs, chromium, "launch_to_loaded_ms"))
            row("launch → loaded (gate included) ÷ Chromium", load_c, "≤ 0.8",
                _verdict(load_c, 0.8))
        rate = median(runs, name, "flood_lines_per_s")
        lost = sum(_values(runs, name, "flood_lost"))
        reordered = sum(_values(runs, name, "flood_reordered"))
        flood_ok = rate is not None and rate >= 50000 and lost == 0 and reordered == 0
        shown = "–" if rate is None else f"{_number(rate)}/s, {lost} lost, {reordered} reordered"
        out.append(f"| console bridge | {shown} | ≥ 50 000/s, none lost or reordered | "
                   f"{'n/a' if rate is None else ('met' if flood_ok else '**missed**')} |")
        quit_ = median(runs, name, "quit_to_gone_ms")
        cleared = all(run.get("data_cleared_line") and run.get("files_left") == 0 for run in runs
                      if run["subject"] == name and "error" not in run)
        row("Ctrl+Q → gone" + ("" if cleared else " (website data NOT removed)"), quit_,
            "≤ 500 ms", _verdict(quit_, 500) if cleared else "**missed**", "{:.0f} ms")
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
