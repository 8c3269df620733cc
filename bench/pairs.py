#!/usr/bin/env python3
"""Runs two commands in interleaved pairs (A B A B ...) and records, for each
run, its wall time and the CPU time it cost.

    pairs.py --pairs N [--warmup W] --out FILE.json [--metric wall|paint]
             --a NAME RUN [--a-prepare CMD] [--a-check CMD]
             --b NAME RUN [--b-prepare CMD] [--b-check CMD]

RUN, CMD: shell command lines. PREPARE runs untimed before each run of its
side, CHECK untimed after it (a non-zero exit marks that run failed). The
metric "wall" times RUN; "paint" takes the second number RUN prints
(startwatch's milliseconds to the first paint) as the run's figure.

CPU time is the user and system time of the whole process tree: the
children this script waited for (the command and what it waited for in
turn), plus what the prefix's long-lived processes (the wineserver, Wine's
services, the desktop) spent meanwhile: the processes whose environment
names the same WINEPREFIX and that were alive both before and after the
run. A run of one side and the next run of the other make a pair, and the
ratio A/B is taken pair by pair: on a shared machine whose speed drifts
within minutes, two runs a few seconds apart see the same machine, while
the medians of two rows taken minutes apart need not.

The JSON written: {"a": NAME, "b": NAME, "metric": ..., "pairs": [{"a": RUN,
"b": RUN}, ...]} with RUN = {"wall": s, "figure": value, "user": s, "sys":
s, "ok": bool}.
"""
import argparse
import json
import os
import resource
import shlex
import subprocess
import sys
import time

TICK = os.sysconf("SC_CLK_TCK")


def prefix_processes(prefix):
    """pid -> (user, sys) seconds of the processes of this Wine prefix."""
    want = ("WINEPREFIX=" + prefix).encode()
    found = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % name, "rb") as f:
                if want not in f.read().split(b"\0"):
                    continue
            with open("/proc/%s/stat" % name) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        found[int(name)] = (int(fields[11]) / TICK, int(fields[12]) / TICK)
    return found


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime, usage.ru_stime


def shell(command):
    return subprocess.run(command, shell=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def run_once(side, metric, prefix):
    if side["prepare"] and shell(side["prepare"]) != 0:
        return {"wall": None, "figure": None, "user": None, "sys": None, "ok": False}
    before_procs = prefix_processes(prefix) if prefix else {}
    before_user, before_sys = children_cpu()
    start = time.perf_counter()
    done = subprocess.run(shlex.split(side["run"]), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    wall = time.perf_counter() - start
    after_user, after_sys = children_cpu()
    after_procs = prefix_processes(prefix) if prefix else {}
    user, system = after_user - before_user, after_sys - before_sys
    for pid, (u, s) in after_procs.items():
        if pid in before_procs:
            user += max(0.0, u - before_procs[pid][0])
            system += max(0.0, s - before_procs[pid][1])
    ok = done.returncode == 0
    figure = wall
    if metric == "paint":
        try:
            figure = float(done.stdout.split()[1]) / 1000
        except (IndexError, ValueError):
            figure, ok = None, False
    if side["check"] and shell(side["check"]) != 0:
        ok = False
    return {"wall": wall, "figure": figure, "user": user, "sys": system, "ok": ok}


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--pairs", type=int, required=True)
    parser.add_argument("--warmup", type=int, default=1)
    parser.add_argument("--out", required=True)
    parser.add_argument("--metric", choices=("wall", "paint"), default="wall")
    for side in ("a", "b"):
        parser.add_argument("--" + side, nargs=2, metavar=("NAME", "RUN"), required=True)
        parser.add_argument("--%s-prepare" % side, default="")
        parser.add_argument("--%s-check" % side, default="")
    args = parser.parse_args(argv)
    prefix = os.environ.get("WINEPREFIX", "")
    sides = {}
    for side in ("a", "b"):
        name, run = getattr(args, side)
        sides[side] = {"name": name, "run": run, "prepare": getattr(args, side + "_prepare"),
                       "check": getattr(args, side + "_check")}
    pairs = []
    for i in range(args.warmup + args.pairs):
        pair = {side: run_once(sides[side], args.metric, prefix) for side in ("a", "b")}
        if i >= args.warmup:
            pairs.append(pair)
        a, b = pair["a"], pair["b"]
        sys.stderr.write("  %s %-4s %s  %s %s\n" % (
            "warm-up" if i < args.warmup else "pair %d" % (i - args.warmup + 1), "",
            "%s %.3f" % (sides["a"]["name"], a["figure"]) if a["ok"] else sides["a"]["name"] + " failed",
            "%s %.3f" % (sides["b"]["name"], b["figure"]) if b["ok"] else sides["b"]["name"] + " failed",
            ""))
    with open(args.out, "w") as f:
        json.dump({"a": sides["a"]["name"], "b": sides["b"]["name"], "metric": args.metric, "pairs": pairs}, f,
                  indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
