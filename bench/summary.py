#!/usr/bin/env python3
"""The figures of one bench/run.sh run against their targets.

usage: summary.py RESULTS_DIR --stub SETUP_STUB --setup INSTALLER

Reads what run.sh left in RESULTS_DIR: rows.tsv and hyperfine JSON of the
install rows (the shared harness's format), uninstall.tsv and its JSON,
startup-<row>.txt ("map_ms paint_ms" per run), pairs-<comparison>.json
(bench/pairs.py: interleaved runs of ours and its peer), slide-ours.txt ("map_ms paint_ms
first_ms last_ms drawings" per click on the custom-install link), memory-<row>.txt (peak RSS in
KiB per run). Medians throughout; a figure that is missing prints as "n/a"
and its target as "not measured", never as met. The targets of the install,
the removal and the start-up are judged on the paired runs: the median of
the ratios taken pair by pair.
"""
import argparse
import json
import os
import statistics
import sys

MIB = 1024 * 1024
INSTALL_TARGET = 0.95      # ours / NSIS zlib, wall
INSTALL_CPU_TARGET = 1.3   # ours / NSIS zlib, CPU of the process tree
UNINSTALL_TARGET = 0.95    # ours / NSIS uninstaller
STARTUP_TARGET = 1.5       # ours / trivial window, first paint
MEMORY_SLACK = 32 * MIB    # beyond the installer's own size
STUB_LIMIT = 1 * MIB


def hyperfine_times(path):
    try:
        with open(path) as f:
            return json.load(f)["results"][0]["times"]
    except (OSError, ValueError, KeyError, IndexError):
        return []


def load_tsv_rows(path, status_col, json_col):
    """name -> list of run times, for the rows whose status is ok."""
    rows = {}
    if not os.path.exists(path):
        return rows
    with open(path) as f:
        for line in f:
            cols = line.rstrip("\n").split("\t")
            if len(cols) <= max(status_col, json_col):
                continue
            rows[cols[0]] = hyperfine_times(cols[json_col]) if cols[status_col] == "ok" else []
    return rows


def load_numbers(path, column=0):
    """One number per line from the given column; lines that do not parse
    (a failed run) are skipped, as are negative values (not observed)."""
    values = []
    if not os.path.exists(path):
        return values
    with open(path) as f:
        for line in f:
            parts = line.split()
            try:
                v = float(parts[column])
            except (IndexError, ValueError):
                continue
            if v >= 0:
                values.append(v)
    return values


def median(values):
    return statistics.median(values) if values else None


def verdict(value, limit):
    if value is None:
        return "not measured"
    return "met" if value <= limit else "MISSED"


def fmt(value, unit="s", digits=3):
    return "n/a" if value is None else f"{value:.{digits}f} {unit}"


def ratio(a, b):
    return a / b if a is not None and b else None


def spread(values, unit="s", digits=3):
    """The range of the runs, for quoting a median with its spread."""
    if not values:
        return ""
    return f", {min(values):.{digits}f}-{max(values):.{digits}f} {unit}"


def peer_ratio(value, peer, peer_label):
    r = ratio(value, peer)
    return "" if r is None else f"  = {r:.3f} x {peer_label}"


def load_pairs(path):
    """The pairs of a pairs.py JSON in which both runs succeeded."""
    try:
        with open(path) as f:
            data = json.load(f)
        return [p for p in data["pairs"] if p["a"]["ok"] and p["b"]["ok"]]
    except (OSError, ValueError, KeyError, TypeError):
        return []


def pair_figures(pairs):
    """Per-pair ratios of the figure and of the CPU time, with each side's
    median figure and CPU time."""
    cpu = lambda run: run["user"] + run["sys"]
    return {
        "n": len(pairs),
        "a": median([p["a"]["figure"] for p in pairs]),
        "b": median([p["b"]["figure"] for p in pairs]),
        "a_cpu": median([cpu(p["a"]) for p in pairs]),
        "b_cpu": median([cpu(p["b"]) for p in pairs]),
        "ratios": [p["a"]["figure"] / p["b"]["figure"] for p in pairs if p["b"]["figure"]],
        "cpu_ratios": [cpu(p["a"]) / cpu(p["b"]) for p in pairs if cpu(p["b"]) > 0],
    }


def ratio_text(ratios):
    if not ratios:
        return "n/a"
    return f"{median(ratios):.3f} ({min(ratios):.3f}-{max(ratios):.3f})"


def paired_section(results, out, targets):
    out.append("Paired runs (ours, peer, ours, peer ...; ratio pair by pair: median (lowest-highest)):")
    for key, label, peer, unit, wall_target, cpu_target in (
            ("install", "quiet install", "NSIS zlib", "s", INSTALL_TARGET, INSTALL_CPU_TARGET),
            ("removal", "quiet removal", "NSIS uninstaller", "s", UNINSTALL_TARGET, None),
            ("startup", "start-up to first paint", "trivial window", "s", STARTUP_TARGET, None)):
        f = pair_figures(load_pairs(os.path.join(results, f"pairs-{key}.json")))
        if f["n"]:
            out.append(f"  {label:<24} ours {fmt(f['a'])} / {peer} {fmt(f['b'])}, ratio {ratio_text(f['ratios'])}"
                       f"; CPU ours {fmt(f['a_cpu'])} / {fmt(f['b_cpu'])}, ratio {ratio_text(f['cpu_ratios'])}"
                       f"  ({f['n']} pairs)")
        else:
            out.append(f"  {label:<24} n/a (no pair in which both runs succeeded)")
        r = median(f["ratios"])
        targets.append((f"{label} <= {wall_target:.2f} x {peer} (paired)", verdict(r, wall_target)))
        if cpu_target is not None:
            targets.append((f"{label} CPU <= {cpu_target:.1f} x {peer} (paired)",
                            verdict(median(f["cpu_ratios"]), cpu_target)))


def summarize(results, stub_size, setup_size):
    install = load_tsv_rows(os.path.join(results, "rows.tsv"), 2, 5)
    uninstall = load_tsv_rows(os.path.join(results, "uninstall.tsv"), 1, 2)
    out = []
    targets = []
    paired_section(results, out, targets)

    med = {name: median(times) for name, times in install.items()}
    out.append("Silent install, wall time (median of each row, the rows one after the other):")
    for name, label in (("ours", "ours"), ("ours-unchecked", "ours, archive without checksum"),
                        ("ours-log", "ours, with /log"),
                        ("ours-baseline", "ours, baseline stub"), ("nsis-zlib", "NSIS zlib"), ("nsis-lzma", "NSIS LZMA"),
                        ("msi", "MSI"), ("unzip", "native unzip"), ("wine-xcopy", "Wine xcopy of the tree"),
                        ("wine-console", "Wine start of a console program")):
        if name in med:
            runs = len(install[name])
            peer = peer_ratio(med[name], med.get("nsis-zlib"), "NSIS zlib") if name.startswith("ours") else ""
            out.append(f"  {label:<32} {fmt(med[name]):>10}  ({runs} runs{spread(install[name])}){peer}")

    check = os.path.join(results, "archive-check.txt")
    if os.path.exists(check):
        out.append("Checks of the archive before a previous version is removed (median, ArchiveCheckCost):")
        with open(check) as f:
            out.extend("  " + line.rstrip() for line in f if line.strip())

    umed = {name: median(times) for name, times in uninstall.items()}
    out.append("Silent uninstall, wall time to the end of its last process (median of each row):")
    for name, label in (("un-ours", "ours"), ("un-ours-baseline", "ours, baseline stub"),
                        ("un-nsis-zlib", "NSIS uninstaller")):
        if name in umed:
            peer = peer_ratio(umed[name], umed.get("un-nsis-zlib"), "NSIS") if name.startswith("un-ours") else ""
            out.append(f"  {label:<32} {fmt(umed[name]):>10}  ({len(uninstall[name])} runs"
                       f"{spread(uninstall[name])}){peer}")

    out.append("Start-up, process start to the main window mapped and first painted (median):")
    paint = {}
    for row, label in (("ours", "ours (welcome page)"), ("trivial", "trivial one-window program")):
        path = os.path.join(results, f"startup-{row}.txt")
        maps, paints = load_numbers(path, 0), load_numbers(path, 1)
        paint[row] = median(paints)
        if maps or paints:
            out.append(f"  {label:<32} paint {fmt(paint[row], 'ms', 1):>10}, mapped {fmt(median(maps), 'ms', 1)}"
                       f"  ({len(paints)} runs{spread(paints, 'ms', 1)})")
    r = ratio(paint.get("ours"), paint.get("trivial"))
    if r is not None:
        out.append(f"  ours / trivial = {r:.2f}")

    path = os.path.join(results, "slide-ours.txt")
    firsts, lasts = load_numbers(path, 2), load_numbers(path, 3)
    if lasts:
        spans = [b - a for a, b in zip(firsts, lasts)]
        out.append("Page slide, welcome to custom page (median; eleven 15 ms steps = 165 ms nominal):")
        out.append(f"  click to first drawing {fmt(median(firsts), 'ms', 1)}, first to last drawing "
                   f"{fmt(median(spans), 'ms', 1)}  ({len(lasts)} runs)")

    out.append("Memory and size:")
    peak = load_numbers(os.path.join(results, "memory-ours.txt"))
    base = load_numbers(os.path.join(results, "memory-wine-console.txt"))
    peak_bytes = max(peak) * 1024 if peak else None
    base_mib = max(base) * 1024 / MIB if base else None
    limit = setup_size + MEMORY_SLACK if setup_size else None
    out.append(f"  peak RSS of the install process   "
               f"{fmt(None if peak_bytes is None else peak_bytes / MIB, 'MiB', 1)}"
               f" (highest of {len(peak)} runs; a Wine console program alone: {fmt(base_mib, 'MiB', 1)})")
    if limit is not None:
        out.append(f"  limit: installer {setup_size / MIB:.1f} MiB + 32 MiB = {limit / MIB:.1f} MiB: "
                   f"{verdict(peak_bytes, limit)}")
    targets.append(("peak memory <= installer + 32 MiB",
                    verdict(peak_bytes, limit) if limit is not None else "not measured"))
    if stub_size is not None:
        out.append(f"  stripped setup stub (no package)  {stub_size} bytes ({stub_size / MIB:.3f} MiB); "
                   f"limit 1 MiB: {verdict(stub_size, STUB_LIMIT)}")
    targets.append(("stub size <= 1 MiB", verdict(stub_size, STUB_LIMIT)))
    out.append("Targets:")
    for name, said in targets:
        out.append(f"  {name:<52} {said}")
    return "\n".join(out)


def main(argv):
    p = argparse.ArgumentParser()
    p.add_argument("results")
    p.add_argument("--stub")
    p.add_argument("--setup")
    a = p.parse_args(argv)
    size = lambda f: os.path.getsize(f) if f and os.path.exists(f) else None
    print(summarize(a.results, size(a.stub), size(a.setup)))


if __name__ == "__main__":
    main(sys.argv[1:])
