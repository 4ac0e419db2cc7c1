"""A program's process tree as /proc shows it: who belongs to it, how much memory it holds."""

import os


def _stat(pid):
    """(command name, parent pid, state) of a process, or None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat", encoding="utf-8", errors="replace") as stat:
            text = stat.read()
    except OSError:
        return None
    # The name is in parentheses and may itself hold spaces or parentheses.
    name = text[text.index("(") + 1:text.rindex(")")]
    fields = text[text.rindex(")") + 2:].split()
    return name, int(fields[1]), fields[0]


def tree(root):
    """Pids of root and every living descendant."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            stat = _stat(int(entry))
            if stat is not None and stat[2] != "Z":
                children.setdefault(stat[1], []).append(int(entry))
    found, pending = [], [root]
    while pending:
        pid = pending.pop()
        if _stat(pid) is not None:
            found.append(pid)
        pending.extend(children.get(pid, []))
    return found


def alive(pid):
    stat = _stat(pid)
    return stat is not None and stat[2] != "Z"


def _rollup(pid):
    """The smaps_rollup sizes of one process in KiB; empty once it is gone."""
    sizes = {}
    try:
        with open(f"/proc/{pid}/smaps_rollup", encoding="utf-8") as rollup:
            for line in rollup:
                name, _, rest = line.partition(":")
                if rest.strip().endswith("kB"):
                    sizes[name] = int(rest.split()[0])
    except OSError:
        return {}
    return sizes


def each(root):
    """(pid, command name, smaps_rollup sizes in KiB) of every living process of root's tree."""
    found = []
    for pid in tree(root):
        stat = _stat(pid)
        sizes = _rollup(pid)
        if stat is not None and sizes:
            found.append((pid, stat[0], sizes))
    return found


def memory(root):
    """Rss, Pss and its parts of root's tree in KiB, and the Pss split by command name.

    Pss counts a shared page by its share among every process on the machine that maps it:
    the share of a library's pages (Pss_File) falls while other programs map the same library.
    Pss_Anon and Pss_Shmem, what the tree itself wrote, hardly depend on other programs."""
    keys = ("Rss", "Pss", "Pss_Anon", "Pss_File", "Pss_Shmem")
    total = dict.fromkeys(keys, 0)
    total["by_name"] = {}
    for _, name, sizes in each(root):
        for key in keys:
            total[key] += sizes.get(key, 0)
        total["by_name"][name] = total["by_name"].get(name, 0) + sizes.get("Pss", 0)
    return total
