#!/usr/bin/env python3
"""A damaged download in the window: with version 1 installed, an installer
whose archive data is damaged (with the builder's checksum, and without it)
shows the failed page, its retry button leads back to the welcome page, and
version 1 is still in place, byte for byte, and registered."""
import json
import os
import time
import unittest

from gui import Installer, Prefix, near, wait_for
from e2e import SAMPLE, SAMPLE_CONFIG, UNINSTALL_KEY, build_installer, diff, main, raw_installer
from test_gui_install import CUSTOM_LINK, INSTALL, Pages, shot
from test_hostile_packages import Layout, entry_data_offset

FAILED_MARK = (264, 64)  # page point of the failed page's orange mark
ORANGE = (255, 104, 37)


def on_failed_page(w):
    return near(w.pixel(*FAILED_MARK), ORANGE, 40)


def link_shown(w):
    s = w.screen()
    return any(p[2] > p[0] + 60 for p in (w.pixel(x, y, screen=s) for x in range(430, 515, 3) for y in (282, 284)))


class DamagedPackageWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("gui_damaged_package")
        work = os.path.join(cls.prefix.root, "work")
        cls.good = build_installer(os.path.join(work, "v1.exe"), SAMPLE_CONFIG, folder=SAMPLE)
        with open(cls.good, "rb") as f:
            data = f.read()
        layout = Layout(data)
        at = layout.archive_at + entry_data_offset(layout.archive, "data/sample.bin") + 40
        damaged = bytearray(data)
        for i in range(3):
            damaged[at + 11 * i] ^= 0x5A
        cls.damaged = os.path.join(work, "v2-damaged.exe")
        with open(cls.damaged, "wb") as f:
            f.write(damaged)
        cls.unchecked = raw_installer(os.path.join(work, "v2-unchecked.exe"), json.dumps(SAMPLE_CONFIG),
                                      bytes(damaged[layout.archive_at:]))

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def test_failed_page_then_retry_keeps_version_1(self):
        self.assertEqual(self.prefix.run([self.good, "/q"]), 0)
        self.prefix.wait()
        registered = self.prefix.reg_values(UNINSTALL_KEY)
        self.assertIsNotNone(registered)
        installed = self.prefix.snapshot()
        for name, installer in (("checksum", self.damaged), ("no-checksum", self.unchecked)):
            w = Installer(self.prefix, installer)
            self.assertTrue(link_shown(w), name)
            self.assertFalse(on_failed_page(w), name)
            w.click(*INSTALL, settle=0.0)
            w.move(300, 20, page=False)
            self.assertTrue(wait_for(lambda: on_failed_page(w), 30), name)
            shot(w, "damaged-%s-failed" % name)
            w.click(*INSTALL, settle=0.5)  # retry
            self.assertTrue(wait_for(lambda: link_shown(w) and not on_failed_page(w), 10), name)
            self.assertTrue(w.alive(), name)
            w.close()
            self.prefix.wait()
            self.assertEqual(diff(installed, self.prefix.snapshot()), ([], [], []), name)
            self.assertEqual(self.prefix.reg_values(UNINSTALL_KEY), registered, name)


if __name__ == "__main__":
    main()
