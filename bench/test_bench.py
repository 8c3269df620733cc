#!/usr/bin/env python3
"""Tests of the benchmark's own pieces that run without Wine: the summary's
arithmetic and its handling of missing or failed rows, and chainwait's wait
for programs a command leaves running.

    python3 -m unittest discover -s bench -p 'test_*.py'
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import summary  # noqa: E402


class Results:
    """A results folder as run.sh leaves it."""

    def __init__(self, root):
        self.root = root

    def hyperfine(self, name, times):
        path = os.path.join(self.root, name + ".json")
        with open(path, "w") as f:
            json.dump({"results": [{"times": times}]}, f)
        return path

    def install_row(self, name, times, status="ok"):
        js = self.hyperfine(name, times)
        with open(os.path.join(self.root, "rows.tsv"), "a") as f:
            f.write(f"{name}\twine\t{status}\t{len(times)}\t100\t{js}\n")

    def uninstall_row(self, name, times, status="ok"):
        js = self.hyperfine(name, times)
        with open(os.path.join(self.root, "uninstall.tsv"), "a") as f:
            f.write(f"{name}\t{status}\t{js}\n")

    def pairs(self, key, runs, ok=True):
        """runs: (a_figure, a_cpu, b_figure, b_cpu) per pair, as pairs.py writes them."""
        run = lambda figure, cpu: {"wall": figure, "figure": figure, "user": cpu / 2, "sys": cpu / 2, "ok": ok}
        with open(os.path.join(self.root, f"pairs-{key}.json"), "w") as f:
            json.dump({"a": "ours", "b": "peer", "metric": "wall",
                       "pairs": [{"a": run(a, ac), "b": run(b, bc)} for a, ac, b, bc in runs]}, f)

    def lines(self, name, lines):
        with open(os.path.join(self.root, name), "w") as f:
            f.write("".join(line + "\n" for line in lines))


class SummaryTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.results = Results(self.dir)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def text(self, stub=None, setup=None):
        return summary.summarize(self.dir, stub, setup)

    def test_figures_and_targets_from_medians(self):
        r = self.results
        r.install_row("ours", [0.9, 1.0, 5.0])          # median 1.0, the outlier ignored
        r.install_row("nsis-zlib", [2.0, 2.0, 1.0])     # median 2.0
        r.uninstall_row("un-ours", [1.0, 1.0, 1.0])
        r.uninstall_row("un-nsis-zlib", [4.0, 4.0, 4.0])
        # Ratios per pair 0.5, 0.9 and 0.8: median 0.8 (not 1.3 / 1.5 of the medians).
        r.pairs("install", [(1.0, 1.0, 2.0, 1.0), (0.9, 1.2, 1.0, 1.0), (4.0, 1.1, 5.0, 1.0)])
        r.pairs("removal", [(0.3, 0.1, 0.4, 0.2)])
        r.pairs("startup", [(0.2, 0.1, 0.15, 0.1), (0.21, 0.1, 0.15, 0.1)])
        r.lines("startup-ours.txt", ["110 130", "100 120", "90 110"])
        r.lines("startup-trivial.txt", ["50 60", "55 65", "45 55"])
        r.lines("memory-ours.txt", ["40000", "50000"])
        r.lines("slide-ours.txt", ["100 110 5 200 14", "100 110 6 210 15", "failed"])
        text = self.text(stub=600000, setup=26 * 1024 * 1024)
        self.assertIn("ratio 0.800 (0.500-0.900); CPU ours 1.100 s / 1.000 s, ratio 1.100 (1.000-1.200)  (3 pairs)",
                      text)
        self.assertIn("ratio 0.750 (0.750-0.750)", text)
        self.assertIn("ratio 1.367 (1.333-1.400)", text)
        self.assertIn("48.8 MiB", text)                  # the highest run, 50000 KiB
        self.assertIn("26.0 MiB + 32 MiB = 58.0 MiB: met", text)
        self.assertIn("limit 1 MiB: met", text)
        self.assertIn("click to first drawing 5.5 ms, first to last drawing 199.5 ms  (2 runs)", text)
        # The rows of one run after the other stay, each of ours beside its peer.
        self.assertIn("(3 runs, 0.900-5.000 s)  = 0.500 x NSIS zlib", text)
        self.assertIn("(3 runs, 1.000-1.000 s)  = 0.250 x NSIS", text)
        self.assertIn("ours / trivial = 2.00", text)
        self.assertEqual([l.split()[-1] for l in text.split("Targets:\n")[1].splitlines()], ["met"] * 6)

    def test_targets_missed(self):
        r = self.results
        r.pairs("install", [(1.0, 2.0, 1.0, 1.0)])
        r.pairs("startup", [(0.3, 0.1, 0.1, 0.1)])
        r.lines("memory-ours.txt", [str(100 * 1024)])
        text = self.text(stub=2 * 1024 * 1024, setup=10 * 1024 * 1024)
        self.assertIn("42.0 MiB: MISSED", text)
        self.assertIn("limit 1 MiB: MISSED", text)
        targets = text.split("Targets:\n")[1]
        self.assertRegex(targets, r"quiet install <= 0.95 x NSIS zlib \(paired\) +MISSED")
        self.assertRegex(targets, r"quiet install CPU <= 1.3 x NSIS zlib \(paired\) +MISSED")
        self.assertRegex(targets, r"start-up to first paint <= 1.50 x trivial window \(paired\) +MISSED")
        self.assertEqual(targets.count("MISSED"), 5)
        self.assertRegex(targets, r"quiet removal <= 0.95 x NSIS uninstaller \(paired\) +not measured")

    def test_failed_and_missing_rows_are_not_measured_never_met(self):
        r = self.results
        r.install_row("ours", [0.5], status="failed")
        r.install_row("nsis-zlib", [1.0])
        r.pairs("install", [(0.5, 0.1, 1.0, 1.0)], ok=False)   # a run failed: the pair does not count
        r.lines("startup-ours.txt", ["failed", "120 -1"])   # a time-out, a window never painted
        text = self.text()
        self.assertIn("quiet install            n/a (no pair in which both runs succeeded)", text)
        self.assertNotIn(": met", text)
        self.assertNotIn(" met", text.split("Targets:\n")[1])

    def test_empty_results_folder(self):
        text = self.text()
        # The six targets, the memory limit's verdict line among them.
        self.assertEqual(text.count("not measured"), 6)
        self.assertIn("peak RSS of the install process   n/a", text)


@unittest.skipUnless(shutil.which("cc"), "needs a C compiler")
class ChainwaitTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        cls.tool = os.path.join(cls.dir, "chainwait")
        subprocess.run(["cc", "-O2", "-o", cls.tool, os.path.join(HERE, "chainwait.c")], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def run_tool(self, args, prefix):
        env = dict(os.environ, WINEPREFIX=prefix)
        return subprocess.run([self.tool] + args, env=env, capture_output=True, text=True, timeout=60)

    def test_waits_for_what_the_command_left_running(self):
        marker = os.path.join(self.dir, "late")
        start = time.time()
        r = self.run_tool(["--", "sh", "-c", f"(sleep 0.6; touch {marker}) & exit 3"],
                          os.path.join(self.dir, "prefix-a"))
        self.assertEqual(r.returncode, 3)  # the command's own code
        self.assertTrue(os.path.exists(marker))
        self.assertGreaterEqual(time.time() - start, 0.5)

    def test_programs_of_another_prefix_are_not_waited_for(self):
        other = dict(os.environ, WINEPREFIX=os.path.join(self.dir, "prefix-other"))
        sleeper = subprocess.Popen(["sleep", "30"], env=other)
        try:
            r = self.run_tool(["--timeout", "10", "--", "true"], os.path.join(self.dir, "prefix-b"))
            self.assertEqual(r.returncode, 0)
        finally:
            sleeper.kill()
            sleeper.wait()

    def test_time_out_and_peak_memory(self):
        rss = os.path.join(self.dir, "rss")
        r = self.run_tool(["--rss", rss, "--timeout", "0.5", "--", "sh", "-c", "sleep 2 & exit 0"],
                          os.path.join(self.dir, "prefix-c"))
        self.assertEqual(r.returncode, 124)
        with open(rss) as f:
            self.assertGreater(int(f.read()), 0)

    def test_bad_usage(self):
        self.assertEqual(self.run_tool(["--"], os.path.join(self.dir, "p")).returncode, 2)
        env = {k: v for k, v in os.environ.items() if k != "WINEPREFIX"}
        r = subprocess.run([self.tool, "--", "true"], env=env, capture_output=True)
        self.assertEqual(r.returncode, 2)


if __name__ == "__main__":
    unittest.main()
