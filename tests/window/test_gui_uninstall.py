#!/usr/bin/env python3
"""The uninstaller's window: confirm, progress with the status texts, done;
everything removed. And an install that fails: the failed page, retry."""
import json
import os
import time
import unittest

import shutil

from gui import Installer, Prefix, wait_for, windows
from e2e import HELPERS, SAMPLE, SAMPLE_CONFIG, UNINSTALL_KEY, build_installer, main, make_zip, raw_installer
from test_gui_install import INSTALL, Pages, shot


class UninstallWindow(unittest.TestCase):
    def test_removal_through_its_pages(self):
        prefix = Prefix("gui_uninstall")
        self.addCleanup(prefix.close)
        # A clean-up program that takes a moment keeps the progress page up
        # (the removal pumps the window's messages while it waits).
        product = os.path.join(prefix.root, "product")
        shutil.copytree(SAMPLE, product)
        os.makedirs(os.path.join(product, "tools"))
        shutil.copy(os.path.join(HELPERS, "Marker.exe"), os.path.join(product, "tools", "marker.exe"))
        config = dict(SAMPLE_CONFIG, uninstrun=["tools\\marker.exe cleaned.txt 2000"])
        setup = build_installer(os.path.join(prefix.root, "setup.exe"), config, folder=product)
        self.assertEqual(prefix.run([setup, "/q", "/D", "C:\\Apps"]), 0)
        prefix.wait()
        root = prefix.host("C:\\Apps\\Tervaset\\Orvane")
        self.assertTrue(os.path.exists(root))
        # The uninstaller moves to the temporary folder and restarts: the
        # window belongs to the copy.
        first = prefix.start(["C:\\Apps\\Tervaset\\Orvane\\unins000.exe"])
        w = Installer(prefix, os.path.join(prefix.temp(), "Orvane", "unins000.exe"), attach=True)
        self.addCleanup(w.close)
        shot(w, "uninstall-1-confirm")
        w.click(*INSTALL, settle=0.0)
        w.move(300, 20, page=False)
        time.sleep(1.2)
        shot(w, "uninstall-2-progress")
        self.assertTrue(wait_for(lambda: not os.path.exists(root), 30))
        time.sleep(1.0)
        shot(w, "uninstall-3-done")
        self.assertIsNone(prefix.reg_values(UNINSTALL_KEY))
        w.click(*INSTALL, settle=0.5)
        self.assertTrue(wait_for(lambda: not windows(prefix, "^Pivset$"), 10))


class FailedInstall(unittest.TestCase):
    def test_a_damaged_archive_leads_to_the_failed_page_and_retry_to_the_welcome(self):
        prefix = Prefix("gui_failed")
        self.addCleanup(prefix.close)
        body = b"data " * 200
        archive = bytearray(make_zip([("a.txt", body, 0)]))
        archive[30 + len("a.txt") + 10] ^= 0x40  # a stored byte: the CRC no longer matches
        setup = raw_installer(os.path.join(prefix.root, "bad.exe"), json.dumps(SAMPLE_CONFIG), bytes(archive))
        w = Installer(prefix, setup, ["/D", "C:\\Apps"])
        self.addCleanup(w.close)
        enabled = Pages.install_button_color(w)
        w.click(*INSTALL, settle=0.0)
        w.move(300, 20, page=False)  # off the button: no hover look
        # The failed page shows the retry button where the Install button was.
        self.assertTrue(wait_for(lambda: near_enabled(w, enabled), 20))
        time.sleep(0.8)
        shot(w, "install-9-failed")
        self.assertFalse(os.path.exists(prefix.host("C:\\Apps\\Tervaset\\Orvane\\a.txt")))
        w.click(*INSTALL, settle=1.0)
        shot(w, "install-10-retry-welcome")
        self.assertTrue(w.alive())


def near_enabled(w, color):
    from gui import near
    return near(Pages.install_button_color(w), color, 10)


if __name__ == "__main__":
    main()
