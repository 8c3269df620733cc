#!/usr/bin/env python3
"""Broken packages and hostile archives fail cleanly: the exit code says
why, nothing is written anywhere, and no message box waits in a quiet run;
a drive with little space moves the temporary archive, and a full drive
rolls the install back."""
import os
import random
import shutil
import subprocess
import unittest
import zipfile

import json

from e2e import (SAMPLE, SAMPLE_CONFIG, UNINSTALL_KEY, Prefix, build_installer, diff, main, make_zip, raw_installer)

INSTALL_DIR = "C:\\Apps\\Tervaset\\Orvane"


def stored_entry_data_offset(zip_bytes, name):
    """Offset of the data of the stored entry `name` in a ZIP."""
    import struct
    at = 0
    while zip_bytes[at:at + 4] == b"PK\x03\x04":
        n, e = struct.unpack_from("<HH", zip_bytes, at + 26)
        size = struct.unpack_from("<I", zip_bytes, at + 18)[0]
        if zip_bytes[at + 30:at + 30 + n] == name.encode():
            return at + 30 + n + e
        at += 30 + n + e + size
    raise KeyError(name)


class PackageFailures(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("package_failures")
        cls.work = os.path.join(cls.prefix.root, "work")
        cls.good = build_installer(os.path.join(cls.work, "good.exe"), SAMPLE_CONFIG, folder=SAMPLE)
        # Sentinels beside and above the install folder.
        for sentinel in ("C:\\Apps\\Tervaset\\keep.txt", "C:\\Apps\\keep.txt", "C:\\keep.txt"):
            path = cls.prefix.host(sentinel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write("sentinel")

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def assert_fails_cleanly(self, installer, code, name):
        before = self.prefix.snapshot()
        # A message box would wait for a click: the time-out catches it.
        self.assertEqual(self.prefix.run([installer, "/q", "/D", "C:\\Apps"], timeout=60), code, name)
        self.prefix.wait(timeout=60)
        self.assertEqual(diff(before, self.prefix.snapshot()), ([], [], []), name)
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY), name)

    def test_broken_packages(self):
        with open(self.good, "rb") as f:
            data = f.read()
        cases = {
            "archive cut short": (data[:len(data) - 1000], 5),
            # The start-up check fails: a quiet run says so with code 1.
            "configuration cut": (data[:len(data) - 115000], 1),
        }
        no_mode = build_installer(os.path.join(self.work, "no-mode.exe"), None, folder=SAMPLE,
                                  raw_config='{"mode":1}')
        with open(no_mode, "rb") as f:
            raw = bytearray(f.read())
        at = raw.find(b'{"mode":1,')  # the builder adds its checksum after it
        self.assertGreater(at, 0)
        raw[at:at + 9] = b'{"modf":1'  # still valid JSON, no "mode"
        cases["no mode"] = (bytes(raw), 1)
        for name, (content, code) in cases.items():
            path = os.path.join(self.work, name.replace(" ", "-") + ".exe")
            with open(path, "wb") as f:
                f.write(content)
            self.assert_fails_cleanly(path, code, name)

    def test_hostile_archives(self):
        body = b"payload " * 100
        good = [("data/", None), ("data/a.txt", body), ("b.txt", body, zipfile.ZIP_STORED)]
        crc = bytearray(make_zip(good))
        crc[stored_entry_data_offset(bytes(crc), "b.txt") + 3] ^= 0x20
        cases = {
            "CRC error": bytes(crc),
            "parent folder": make_zip(good + [("../evil.txt", body)]),
            "deeper parent folder": make_zip([("data/../../evil.txt", body)]),
            "absolute name": make_zip(good + [("/evil.txt", body)]),
            "drive letter": make_zip(good + [("C:/evil.txt", body)]),
            "backslash root": make_zip(good + [("\\evil.txt", body)]),
            "stream": make_zip(good + [("b.txt:hidden", body)]),
            "device": make_zip(good + [("data/CON", body)]),
            "trailing dot": make_zip(good + [("data./x.txt", body)]),
            "names that are one file": make_zip(good + [("B.TXT", body)]),
        }
        for name, archive in cases.items():
            installer = raw_installer(os.path.join(self.work, name.replace(" ", "-") + ".exe"),
                                      json.dumps(SAMPLE_CONFIG), archive)
            self.assert_fails_cleanly(installer, 8, name)
        self.assertFalse(os.path.exists(self.prefix.host("C:\\evil.txt")))
        self.assertFalse(os.path.exists(self.prefix.host("C:\\Apps\\evil.txt")))


class SmallDrives(unittest.TestCase):
    """A tmpfs mapped as a Wine drive: little free space, then none."""

    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("small_drives")
        cls.mounts = []

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()
        for m in cls.mounts:
            subprocess.run(["umount", m])
            shutil.rmtree(m, ignore_errors=True)

    def drive(self, letter, size):
        mount = os.path.join(self.prefix.root, "drive-" + letter)
        os.makedirs(mount, exist_ok=True)
        r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", mount], capture_output=True)
        if r.returncode != 0:
            self.skipTest("cannot mount a tmpfs here: " + r.stderr.decode().strip())
        self.mounts.append(mount)
        link = os.path.join(self.prefix.dir, "dosdevices", letter + ":")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(mount, link)
        return mount

    def set_temp(self, winpath):
        saved = self.prefix.reg_values("HKCU\\Environment", view="64")
        for name in ("TEMP", "TMP"):
            self.prefix.reg_add("HKCU\\Environment", name, "REG_SZ", winpath, view="64")
        return saved

    def restore_temp(self, saved):
        for name in ("TEMP", "TMP"):
            kind, data = saved[name]
            self.prefix.reg_add("HKCU\\Environment", name, kind, data, view="64")

    def test_1_temporary_archive_goes_to_the_install_folder(self):
        temp = self.drive("t", "16m")
        saved = self.set_temp("T:\\")
        self.addCleanup(self.restore_temp, saved)
        installer = build_installer(os.path.join(self.prefix.root, "work", "setup.exe"), SAMPLE_CONFIG,
                                    folder=SAMPLE)
        # The install folder does not exist yet in a quiet run: no place for
        # the archive, code 6, nothing written.
        before = self.prefix.snapshot()
        self.assertEqual(self.prefix.run([installer, "/q", "/D", "C:\\Apps"]), 6)
        self.prefix.wait()
        self.assertEqual(diff(before, self.prefix.snapshot()), ([], [], []))
        # With the folder there, the archive is made in it and removed after.
        os.makedirs(self.prefix.host(INSTALL_DIR))
        self.assertEqual(self.prefix.run([installer, "/q", "/D", "C:\\Apps"]), 0)
        self.prefix.wait()
        root = self.prefix.host(INSTALL_DIR)
        self.assertTrue(os.path.exists(os.path.join(root, "Orvane.exe")))
        self.assertFalse([f for f in os.listdir(root) if f.endswith(".zip")])
        self.assertEqual(os.listdir(temp), [])

    def test_2_full_drive_rolls_back(self):
        mount = self.drive("s", "1m")
        product = os.path.join(self.prefix.root, "work", "big")
        shutil.copytree(SAMPLE, product)
        with open(os.path.join(product, "data", "big.bin"), "wb") as f:
            f.write(random.Random(1).randbytes(3 << 20))
        installer = build_installer(os.path.join(self.prefix.root, "work", "big.exe"), SAMPLE_CONFIG,
                                    folder=product)
        free_before = shutil.disk_usage(mount).free
        self.assertEqual(self.prefix.run([installer, "/q", "/D", "S:\\"]), 8)
        self.prefix.wait()
        self.assertEqual(os.listdir(mount), [])
        self.assertEqual(shutil.disk_usage(mount).free, free_before)
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY))


class ExitCodes(unittest.TestCase):
    """A quiet run ends with its result in a prefix that runs headless (as
    build servers and containers run Wine) as in one with a display."""

    def test_quiet_runs_with_and_without_a_display(self):
        for display in (False, True):
            kind = "display" if display else "headless"
            prefix = Prefix("exit_codes_" + kind, display=display)
            self.addCleanup(prefix.close)
            work = os.path.join(prefix.root, "work")
            good = build_installer(os.path.join(work, "good.exe"), SAMPLE_CONFIG, folder=SAMPLE)
            with open(good, "rb") as f:
                data = f.read()
            cut = os.path.join(work, "cut.exe")
            with open(cut, "wb") as f:
                f.write(data[:len(data) - 1000])
            body = b"payload " * 100
            crc = bytearray(make_zip([("b.txt", body, zipfile.ZIP_STORED)]))
            crc[stored_entry_data_offset(bytes(crc), "b.txt") + 3] ^= 0x20
            damaged = raw_installer(os.path.join(work, "damaged.exe"), json.dumps(SAMPLE_CONFIG), bytes(crc))
            for name, installer, code in (("cut", cut, 5), ("damaged", damaged, 8), ("good", good, 0)):
                self.assertEqual(prefix.run([installer, "/q", "/D", "C:\\Apps"], timeout=120), code,
                                 (kind, name))
                prefix.wait(timeout=60)
            root = prefix.host(INSTALL_DIR)
            self.assertTrue(os.path.exists(os.path.join(root, "Orvane.exe")), kind)
            # The removal, run from where the uninstaller moves itself to, so
            # that its own exit code is the one seen.
            relocated = os.path.join(prefix.temp(), "Orvane")
            os.makedirs(relocated, exist_ok=True)
            shutil.copy(os.path.join(root, "unins000.exe"), os.path.join(relocated, "unins000.exe"))
            program = prefix.windows_path(os.path.join(relocated, "unins000.exe"))
            self.assertEqual(prefix.run([program, "/q"], timeout=120), 0, kind)
            prefix.wait(timeout=60)
            self.assertFalse(os.path.exists(root), kind)
            self.assertIsNone(prefix.reg_values(UNINSTALL_KEY), kind)


if __name__ == "__main__":
    main()
