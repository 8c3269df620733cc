#!/usr/bin/env python3
"""Damaged packages behind the real setup program, run quietly: cut at every
header offset of the package and inside the archive, every bit of the
locator and of the two length fields flipped, lengths near 2^32, locators
into the program image and past the end. Each run ends with the code the
program gives that damage, never with a crash or a hang, and writes
nothing. Then installers killed in the middle of their extraction: the next
run installs cleanly.

What each damaged installer should do is worked out here, independently of
the program, from the layout:

  e_lfanew - 4: locator P;  P: length L;  P + 4: configuration;
  P + 4 + L: archive length Z;  P + 8 + L: the archive.

- The start-up check reads the configuration (P inside the file, L within
  it, the text up to its first NUL parses and holds "mode"); when it fails
  the program ends at once with 0, writing nothing.
- Otherwise the install reads the whole file: 5 when no archive length
  follows or Z exceeds the bytes after its field by more than 4.
- The archive handed on is the Z bytes at P + 8 + L (only those present).
  A configuration that holds the builder's "zcrc32" is checked against the
  CRC-32 of those bytes: the original archive installs (0, every file in
  place, registered), any other ends with 9 and nothing written. Without the
  key, an archive that is not the original fails with 8 and nothing
  written, except one
  cut inside its end-of-central-directory record after the signature: the
  ZIP reader takes a read at the end of the file as a success (its EOF
  code is its OK code) and may read the record as whole; every entry is
  still checked against its CRC, so either outcome is accepted there,
  never a partial install.
- A file cut inside the program image may not start at all; if it does,
  the start-up check refuses it.

Exit codes come from tests/app/helpers/ExitReport.exe, which sees the whole
32-bit code: under Wine the host sees only its low byte, and an access
violation (0xC0000005) would pass for code 5. It ends a run still going
after RUN_LIMIT_MS (a message box in a quiet run, a hang) and reports it.
"""
import json
import os
import random
import shutil
import signal
import struct
import subprocess
import time
import unittest
import zipfile
import zlib

from e2e import HELPERS, SAMPLE_CONFIG, UNINSTALL_KEY, Prefix, build_installer, diff, main, make_zip, raw_installer

INSTALL_DIR = "C:\\Apps\\Tervaset\\Orvane"
EXIT_REPORT = os.path.join(HELPERS, "ExitReport.exe")
RUN_LIMIT_MS = 20000
SEED = 20261208
# The bytes of the end-of-central-directory record after its signature.
EOCD_TAIL = 22 - 4


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0] if 0 <= at and at + 4 <= len(data) else None


def with_u32(data, at, value):
    b = bytearray(data)
    struct.pack_into("<I", b, at, value & 0xFFFFFFFF)
    return bytes(b)


def winpath(host_path):
    return "Z:" + host_path.replace("/", "\\")


def payload_files(seed, count, size):
    """{relative path: bytes}: a few folders of files that do not compress."""
    rng = random.Random(seed)
    files = {}
    for i in range(count):
        folder = ("", "bin", "data\\deep")[i % 3]
        name = (folder + "\\" if folder else "") + "file%03d.bin" % i
        files[name] = rng.randbytes(size)
    files["Orvane.exe"] = b"MZ not really a program " * 8
    return files


def entry_data_offset(archive, name):
    """Offset of the stored data of entry `name` in a ZIP."""
    at = 0
    while archive[at:at + 4] == b"PK\x03\x04":
        size, = struct.unpack_from("<I", archive, at + 18)
        n, e = struct.unpack_from("<HH", archive, at + 26)
        if archive[at + 30:at + 30 + n] == name.encode():
            return at + 30 + n + e
        at += 30 + n + e + size
    raise KeyError(name)


def write_payload(root, files):
    shutil.rmtree(root, ignore_errors=True)
    for rel, data in files.items():
        path = os.path.join(root, *rel.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    return root


class Layout:
    """Where the fields of a well-formed installer are."""

    def __init__(self, data):
        self.data = data
        self.size = len(data)
        lfanew = u32(data, 60)
        self.locator_at = lfanew - 4
        self.P = u32(data, self.locator_at)
        self.L = u32(data, self.P)
        self.Z = u32(data, self.P + 4 + self.L)
        self.archive_at = self.P + 8 + self.L
        assert self.archive_at + self.Z == self.size
        self.archive = data[self.archive_at:]
        self.fields = {"locator": self.locator_at, "config length": self.P, "archive length": self.P + 4 + self.L}


def read_config(text):
    """The configuration object as the program reads it (the reader reads
    the first value and ignores what follows it; the program sees the text
    up to its first NUL), or None."""
    text = text.split(b"\0", 1)[0].decode("utf-8", "replace").lstrip(" \t\r\n")
    try:
        value, _ = json.JSONDecoder().raw_decode(text)
    except ValueError:
        return None
    return value if isinstance(value, dict) else None


def has_mode(text):
    config = read_config(text)
    return config is not None and "mode" in config


def expected(layout, data):
    """The outcomes allowed for `data`: a set of "exit <code>: untouched",
    "exit 0: installed" and "not started". A package whose configuration
    cannot be read ends the quiet run with code 1."""
    size = len(data)
    if size < layout.P:
        return {"not started", "exit 1: untouched"}
    P = u32(data, layout.locator_at)
    if not P or P >= size:
        return {"exit 1: untouched"}
    L = u32(data, P)
    if L is None or L > size - P - 4:
        return {"exit 1: untouched"}
    if not has_mode(data[P + 4:P + 4 + L]):
        return {"exit 1: untouched"}
    field = P + 4 + L
    if size - field < 4:
        return {"exit 5: untouched"}
    Z = u32(data, field)
    if Z > size - field:
        return {"exit 5: untouched"}
    archive = data[field + 4:field + 4 + Z]
    config = read_config(data[P + 4:P + 4 + L])
    if "zcrc32" in config:
        whole = len(archive) == Z and config["zcrc32"] == "%08x" % zlib.crc32(archive)
        return {"exit 0: installed"} if whole else {"exit 9: untouched"}
    if archive == layout.archive:
        return {"exit 0: installed"}
    if layout.archive.startswith(archive) and len(archive) >= len(layout.archive) - EOCD_TAIL:
        return {"exit 0: installed", "exit 8: untouched"}
    return {"exit 8: untouched"}


def damaged_installers(layout):
    """[(name, bytes)]: every case, in a fixed order."""
    data, P, L, size = layout.data, layout.P, layout.L, layout.size
    cases = []
    # Cuts at every header offset and boundary of the package.
    cuts = [0, 64, P - 1, P, P + 1, P + 2, P + 3, P + 4, P + 4 + L // 2, P + 4 + L - 1]
    cuts += list(range(layout.locator_at, layout.locator_at + 5))
    cuts += list(range(P + 4 + L, P + 8 + L + 2))
    cuts += [size - 22, size - EOCD_TAIL - 1, size - EOCD_TAIL, size - 12, size - 3, size - 1]
    rng = random.Random(SEED)
    cuts += rng.sample(range(layout.archive_at + 2, size - 22), 10)
    for cut in sorted(set(cuts)):
        cases.append(("cut at %d" % cut, data[:cut]))
    # One bit at a time of each field.
    for field, at in layout.fields.items():
        value = u32(data, at)
        for bit in range(32):
            cases.append(("%s bit %d flipped" % (field, bit), with_u32(data, at, value ^ (1 << bit))))
    # Lengths near 2^32.
    for field, at in layout.fields.items():
        for value in (0xFFFFFFFF, 0xFFFFFFF0, 0x80000000):
            cases.append(("%s 0x%08X" % (field, value), with_u32(data, at, value)))
    # The locator pointing into the program image, at the package's edges,
    # and past the end.
    for target in (0, 8, 60, layout.locator_at, 0x400, P - 4, P - 1, P + 1, size - 4, size - 1, size, size + 1,
                   size + 0x10000):
        cases.append(("locator at %d" % target, with_u32(data, layout.locator_at, target)))
    return cases


class HostilePackages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("hostile_packages")
        # One wineserver for every run: each run then costs a fraction of a
        # second instead of a server start.
        subprocess.run(["wineserver", "-p"], env=cls.prefix.env, check=True)
        cls.work = os.path.join(cls.prefix.root, "work")
        cls.files = payload_files(1, 3, 1500)
        cls.good = build_installer(os.path.join(cls.work, "good.exe"), SAMPLE_CONFIG,
                                   folder=write_payload(os.path.join(cls.work, "product"), cls.files))
        for sentinel in ("C:\\Apps\\keep.txt", "C:\\keep.txt"):
            path = cls.prefix.host(sentinel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write("sentinel")

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def run_reported(self, installer):
        """Runs the installer quietly through ExitReport: (outcome, registered)."""
        report = os.path.join(self.work, "report.txt")
        if os.path.exists(report):
            os.remove(report)
        rc = self.prefix.run([EXIT_REPORT, winpath(report), str(RUN_LIMIT_MS), winpath(installer), "/q", "/D",
                              "C:\\Apps"], timeout=RUN_LIMIT_MS // 1000 + 60)
        self.assertEqual(rc, 0, "ExitReport itself failed")
        with open(report) as f:
            lines = dict(line.split(" ", 1) for line in f.read().splitlines())
        if "exit" in lines:
            code = int(lines["exit"], 16)
            # Exception codes (a crash) in hex.
            outcome = "exit %d" % code if code < 0x10000 else "exit 0x%08X" % code
        elif "not" in lines:
            outcome = "not started"
        else:
            outcome = "timeout"
        return outcome, lines["registered"] == "1"

    def assert_installed(self, name):
        root = self.prefix.host(INSTALL_DIR)
        for rel, data in self.files.items():
            path = os.path.join(root, *rel.split("\\"))
            self.assertTrue(os.path.isfile(path), "%s: %s missing" % (name, rel))
            with open(path, "rb") as f:
                self.assertEqual(f.read(), data, "%s: %s differs" % (name, rel))
        self.assertTrue(os.path.isfile(os.path.join(root, "unins000.exe")), name)

    def remove_install(self, before, after):
        """Takes back what a successful run added, registration included."""
        added = diff(before, after)[0]
        for rel in sorted(added, key=len, reverse=True):
            path = os.path.join(self.prefix.dir, "drive_c", rel)
            if rel.endswith("/"):
                os.rmdir(path)
            else:
                os.remove(path)
        subprocess.run(["wine", "reg", "delete", UNINSTALL_KEY, "/f", "/reg:32"], env=self.prefix.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY))

    def test_damaged_packages(self):
        with open(self.good, "rb") as f:
            layout = Layout(f.read())
        cases = damaged_installers(layout)
        failures = []
        tally = {}
        started = time.time()
        for i, (name, data) in enumerate(cases):
            allowed = expected(layout, data)
            before = self.prefix.snapshot()
            installer = os.path.join(self.work, "case%03d.exe" % i)
            with open(installer, "wb") as f:
                f.write(data)
            outcome, registered = self.run_reported(installer)
            after = self.prefix.snapshot()
            changes = diff(before, after)
            installed = outcome == "exit 0" and changes[0] and not changes[1] and not changes[2]
            if outcome == "not started":
                got = outcome
            elif installed:
                got = outcome + ": installed"
            else:
                got = outcome + (": untouched" if changes == ([], [], []) and not registered else ": changed")
            tally[got] = tally.get(got, 0) + 1
            if got not in allowed:
                failures.append("%s: %s, want %s; changes %s" % (name, got, " or ".join(sorted(allowed)),
                                                                   [c[:5] for c in changes]))
            if installed:
                try:
                    self.assert_installed(name)
                    self.assertTrue(registered, name)
                except AssertionError as e:
                    failures.append(str(e))
                self.remove_install(before, after)
                self.assertEqual(diff(before, self.prefix.snapshot()), ([], [], []), name)
            os.remove(installer)
        print("\n%d damaged installers in %.0f s: %s" % (len(cases), time.time() - started,
                                                         ", ".join("%s x%d" % kv for kv in sorted(tally.items()))))
        self.assertEqual(failures, [])
        # The clean installer still installs in the same prefix.
        self.assertEqual(self.run_reported(self.good), ("exit 0", True))
        self.assert_installed("good")


    def test_damaged_installers_leave_an_existing_install_in_place(self):
        before = self.prefix.snapshot()
        self.assertEqual(self.run_reported(self.good), ("exit 0", True))
        installed = self.prefix.snapshot()
        with open(self.good, "rb") as f:
            data = f.read()
        body = b"payload " * 100
        good = [("data/", None), ("data/a.txt", body)]
        # A few bytes flipped inside one entry's compressed data, the ZIP
        # directory intact: the checksum the builder wrote catches it (9);
        # without it, the entry-by-entry check before the removal does (8).
        layout = Layout(data)
        at = layout.archive_at + entry_data_offset(layout.archive, "bin/file001.bin") + 200
        damaged = bytearray(data)
        for i in range(3):
            damaged[at + 37 * i] ^= 0xA5
        damaged = bytes(damaged)
        cases = {
            "damaged entry data": (damaged, "exit 9"),
            "damaged entry data, no checksum": (damaged[layout.archive_at:], "exit 8"),
            "cut short": (data[:len(data) - 1000], "exit 5"),
            "unsafe name": (make_zip(good + [("../evil.txt", body)]), "exit 8"),
            "one file twice": (make_zip(good + [("DATA/A.TXT", body)]), "exit 8"),
            "unknown method": (make_zip(good + [("b.txt", body, zipfile.ZIP_BZIP2)]), "exit 8"),
        }
        for name, (content, outcome) in cases.items():
            installer = os.path.join(self.work, name.replace(" ", "-") + ".exe")
            if content.startswith(b"MZ"):
                with open(installer, "wb") as f:
                    f.write(content)
            else:
                raw_installer(installer, json.dumps(SAMPLE_CONFIG), content)
            self.assertEqual(self.run_reported(installer), (outcome, True), name)
            self.assertEqual(diff(installed, self.prefix.snapshot()), ([], [], []), name)
            self.assert_installed(name)
        self.remove_install(before, installed)


class KilledDuringExtraction(unittest.TestCase):
    """A payload that takes a second or two to extract; the installer is
    ended at seeded points while it writes the files, as the system ends a
    process (its handles are closed), and the next run must install every
    file whole."""

    KILLS = 4

    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("killed_installs")
        subprocess.run(["wineserver", "-p"], env=cls.prefix.env, check=True)
        cls.work = os.path.join(cls.prefix.root, "work")
        # Writing many files takes long under Wine (about half a millisecond
        # each): some 1.5 s of extraction, not much data to pack.
        cls.files = payload_files(2, 3000, 8192)
        cls.installer = build_installer(os.path.join(cls.work, "bigsetup.exe"), SAMPLE_CONFIG,
                                        folder=write_payload(os.path.join(cls.work, "product"), cls.files))
        shutil.rmtree(os.path.join(cls.work, "product"))

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def temp_zips(self):
        return [f for f in os.listdir(self.prefix.temp()) if f.lower().endswith(".zip")]

    def test_next_run_installs_cleanly(self):
        root = self.prefix.host(INSTALL_DIR)
        rng = random.Random(SEED)
        baseline = self.prefix.snapshot()
        hits = 0
        for n in range(self.KILLS):
            # The install folder appears with the extraction's first entry.
            delay = rng.uniform(0.05, 1.0)
            proc = self.prefix.start([self.installer, "/q", "/D", "C:\\Apps"])
            deadline = time.time() + 60
            while not os.path.isdir(root) and proc.poll() is None and time.time() < deadline:
                time.sleep(0.01)
            time.sleep(delay)
            if proc.poll() is None:
                if n % 2:
                    # TerminateProcess from another Windows process.
                    subprocess.run(["wine", "taskkill", "/f", "/im", "bigsetup.exe"], env=self.prefix.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
                else:
                    proc.send_signal(signal.SIGKILL)
            proc.wait(timeout=60)
            # The temporary archive goes with the process's handles, which
            # the wineserver closes a moment after the process is gone.
            ended = time.time()
            while self.temp_zips() and time.time() < ended + 10:
                time.sleep(0.05)
            self.assertEqual(self.temp_zips(), [], n)
            partial = sum(1 for rel in self.files if os.path.exists(os.path.join(root, *rel.split("\\"))))
            print("\nkill %d, %.2f s into the extraction: %d of %d files there, temporary archive gone after "
                  "%.2f s" % (n, delay, partial, len(self.files), time.time() - ended))
            if partial < len(self.files):
                hits += 1
                self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY), n)
            # The next quiet run installs everything.
            self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "C:\\Apps"]), 0, n)
            for rel, data in self.files.items():
                with open(os.path.join(root, *rel.split("\\")), "rb") as f:
                    self.assertEqual(f.read(), data, (n, rel))
            self.assertTrue(os.path.isfile(os.path.join(root, "unins000.exe")), n)
            self.assertIsNotNone(self.prefix.reg_values(UNINSTALL_KEY), n)
            self.assertEqual(self.temp_zips(), [], n)
            self.assertFalse([f for f in os.listdir(root) if f.lower().endswith((".zip", ".old"))], n)
            # Back to the clean prefix for the next kill.
            shutil.rmtree(self.prefix.host("C:\\Apps"))
            subprocess.run(["wine", "reg", "delete", UNINSTALL_KEY, "/f", "/reg:32"], env=self.prefix.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            added, removed, changed = diff(baseline, self.prefix.snapshot())
            for rel in sorted(added, key=len, reverse=True):
                path = os.path.join(self.prefix.dir, "drive_c", rel)
                if rel.endswith("/"):
                    os.rmdir(path)
                else:
                    os.remove(path)
        self.assertGreaterEqual(hits, self.KILLS - 1, "too few kills fell inside the extraction")


if __name__ == "__main__":
    main()
