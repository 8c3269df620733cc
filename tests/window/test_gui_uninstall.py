#!/usr/bin/env python3
"""The uninstaller's window: confirm, progress with the status texts, done;
everything removed; a double click that removes once; closing the window
while the files are deleted, which keeps the registration and the
uninstaller. And an install that fails: the failed page,
retry. Each in English too: the uninstaller of an English install speaks
English. What a screen reader finds on the removal's pages."""
import json
import os
import time
import unittest

import shutil

from gui import Installer, Prefix, ReaderView, wait_for, windows
from e2e import HELPERS, SAMPLE, SAMPLE_CONFIG, UNINSTALL_KEY, build_installer, main, make_zip, raw_installer, ui_language
from test_gui_install import CLOSE, INSTALL, Pages, shot


class UninstallWindow(unittest.TestCase):
    def test_removal_through_its_pages(self):
        for language, names in ((None, "uninstall"), ("en-US", "en-uninstall")):
            with self.subTest(language=language):
                self.remove_through_the_pages(language, names)

    def remove_through_the_pages(self, language, names):
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
        self.assertEqual(prefix.run([setup, "/q", "/D", "C:\\Apps"] + (["/lang", language] if language else [])), 0)
        prefix.wait()
        root = prefix.host("C:\\Apps\\Tervaset\\Orvane")
        self.assertTrue(os.path.exists(root))
        # The uninstaller moves to the temporary folder and restarts: the
        # window belongs to the copy.
        first = prefix.start(["C:\\Apps\\Tervaset\\Orvane\\unins000.exe"])
        w = Installer(prefix, os.path.join(prefix.temp(), "Orvane", "unins000.exe"), attach=True)
        self.addCleanup(w.close)
        shot(w, names + "-1-confirm")
        confirm = ReaderView(prefix)
        if language:
            self.assertEqual(confirm.names(), ["Close", "Uninstall"])
        else:
            self.assertEqual(confirm.children, [("push button", "关闭", "", "", "按下"),
                                                ("push button", "卸载", "focused,focusable", "", "按下")])
        w.click(*INSTALL, settle=0.0)
        w.move(300, 20, page=False)
        time.sleep(1.2)
        shot(w, names + "-2-progress")
        if not language:
            # The removal pumps the window's messages while the clean-up
            # program runs: the reader is answered meanwhile.
            progress = ReaderView(prefix)
            roles = [c[0] for c in progress.children]
            self.assertEqual(roles, ["push button", "static text", "progress bar", "static text"], progress.children)
            self.assertEqual(progress.names()[1:3], ["正在卸载 Pellio", "正在卸载 Pellio"])
            self.assertTrue(progress.children[2][3].endswith("%"), progress.children)
            self.assertIn(progress.names()[3], ["正在卸载组件", "正在删除快捷方式...", "正在删除文件...", "正在清理注册表..."])
        self.assertTrue(wait_for(lambda: not os.path.exists(root), 30))
        time.sleep(1.0)
        shot(w, names + "-3-done")
        if not language:
            done = ReaderView(prefix)
            self.assertEqual(done.children[1:], [("static text", "Pellio 已从此电脑移除", "readonly", "", ""),
                                                 ("static text", "感谢您的使用", "readonly", "", ""),
                                                 ("push button", "卸载完成", "focused,focusable", "", "按下")])
        self.assertIsNone(prefix.reg_values(UNINSTALL_KEY))
        w.click(*INSTALL, settle=0.5)
        self.assertTrue(wait_for(lambda: not windows(prefix, "^Pivset$"), 10))
        # The uninstaller that was started waited for its copy's window and
        # ends with the removal's code.
        self.assertEqual(first.wait(timeout=20), 0)
        prefix.close()


class RemovalClicks(unittest.TestCase):
    """A product of several thousand files, removed through the window of
    the uninstaller's copy in the temporary folder, started there directly
    so that its process is the one watched."""
    BULK = 15000
    ROOT = "C:\\Apps\\Tervaset\\Orvane"

    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("gui_removal")
        work = os.path.join(cls.prefix.root, "work")
        cls.product = os.path.join(work, "product")
        shutil.copytree(SAMPLE, cls.product)
        os.makedirs(os.path.join(cls.product, "tools"))
        shutil.copy(os.path.join(HELPERS, "Marker.exe"), os.path.join(cls.product, "tools", "marker.exe"))
        bulk = os.path.join(cls.product, "bulk")
        os.makedirs(bulk)
        # Enough files that the removal takes a few seconds, so the close
        # comes while it deletes, loaded machine or not; named as DLLs, so
        # each also gets the check that nobody holds it.
        for i in range(cls.BULK):
            with open(os.path.join(bulk, "f%05d.dll" % i), "wb") as f:
                f.write(b"x" * 64)
        # Each removal adds a line to a file outside the product; the
        # clean-up program's second keeps the removal in its first step.
        config = dict(SAMPLE_CONFIG, uninstrun=["tools\\marker.exe ..\\..\\..\\removals.txt 1000"])
        setup = build_installer(os.path.join(work, "setup.exe"), config, folder=cls.product)
        assert cls.prefix.run([setup, "/q", "/D", "C:\\Apps"]) == 0
        cls.prefix.wait()
        cls.root = cls.prefix.host(cls.ROOT)
        cls.uninstaller = os.path.join(work, "unins000.exe")
        shutil.copy(os.path.join(cls.root, "unins000.exe"), cls.uninstaller)
        cls.removals = cls.prefix.host("C:\\Apps\\removals.txt")

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def start_uninstaller(self):
        relocated = os.path.join(self.prefix.temp(), "Orvane")
        os.makedirs(relocated, exist_ok=True)
        shutil.copy(self.uninstaller, os.path.join(relocated, "unins000.exe"))
        w = Installer(self.prefix, self.prefix.windows_path(os.path.join(relocated, "unins000.exe")))
        self.addCleanup(w.close)
        # Started where it would have moved to: no relaunch, this process
        # is the one with the window.
        self.assertTrue(w.alive())
        return w

    def bulk_left(self):
        try:
            return len(os.listdir(os.path.join(self.root, "bulk")))
        except FileNotFoundError:
            return 0

    def test_1_a_double_click_removes_once(self):
        w = self.start_uninstaller()
        enabled = Pages.install_button_color(w)
        w.double_click(*INSTALL)
        w.move(300, 20, page=False)
        self.assertTrue(wait_for(lambda: not os.path.exists(self.root), 60))
        # The done page: the finish button where the Uninstall button was.
        self.assertTrue(wait_for(lambda: near_enabled(w, enabled), 20))
        time.sleep(1.0)
        shot(w, "uninstall-4-after-double-click")
        with open(self.removals) as f:
            self.assertEqual(f.read().count("ran"), 1)
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY))
        w.click(*INSTALL, settle=0.0)
        self.assertTrue(wait_for(lambda: not w.alive(), 10))
        self.assertEqual(w.process.returncode, 0)

    def test_2_closing_while_files_are_deleted_keeps_the_product_removable(self):
        stopped_midway = 0
        for attempt in range(10):
            # The product as the install left it, and its registration.
            shutil.copytree(self.product, self.root, dirs_exist_ok=True)
            shutil.copy(self.uninstaller, os.path.join(self.root, "unins000.exe"))
            self.prefix.reg_add(UNINSTALL_KEY, "UninstallString", "REG_SZ", self.ROOT + "\\unins000.exe")
            w = self.start_uninstaller()
            w.click(*INSTALL, settle=0.0)
            w.move(*CLOSE, page=False)
            self.assertTrue(wait_for(lambda: self.bulk_left() < self.BULK, 30, step=0.01), attempt)
            self.assertTrue(w.alive(), attempt)
            w.click(*CLOSE, page=False, settle=0.0)
            closed = time.time()
            # A generous bound that tells a hang from an end.
            self.assertTrue(wait_for(lambda: not w.alive(), 20, step=0.05), attempt)
            self.assertLess(time.time() - closed, 5, attempt)
            registered = self.prefix.reg_values(UNINSTALL_KEY) is not None
            if self.bulk_left() > 0:
                stopped_midway += 1
                self.assertTrue(registered, attempt)
            # Stopped before its end, the removal keeps the registration and
            # the uninstaller (Apps & features can still remove the rest),
            # and says so with its exit code; done, it leaves neither.
            self.assertEqual(os.path.exists(os.path.join(self.root, "unins000.exe")), registered, attempt)
            self.assertEqual(w.process.returncode, 1 if registered else 0, attempt)
            # Three closes that came in time show the stop; the remaining
            # attempts are for a machine too fast or too loaded to hit it.
            if stopped_midway == 3:
                break
        # The close came while files were still being deleted.
        self.assertGreater(stopped_midway, 0)


class FailedInstall(unittest.TestCase):
    def test_a_damaged_archive_leads_to_the_failed_page_and_retry_to_the_welcome(self):
        for env, names in ((None, "install"), (ui_language("en_US"), "en-install")):
            with self.subTest(names=names):
                self.fail_and_retry(env, names)

    def fail_and_retry(self, env, names):
        prefix = Prefix("gui_failed")
        self.addCleanup(prefix.close)
        body = b"data " * 200
        archive = bytearray(make_zip([("a.txt", body, 0)]))
        archive[30 + len("a.txt") + 10] ^= 0x40  # a stored byte: the CRC no longer matches
        setup = raw_installer(os.path.join(prefix.root, "bad.exe"), json.dumps(SAMPLE_CONFIG), bytes(archive))
        w = Installer(prefix, setup, ["/D", "C:\\Apps"], env=env)
        self.addCleanup(w.close)
        enabled = Pages.install_button_color(w)
        w.click(*INSTALL, settle=0.0)
        w.move(300, 20, page=False)  # off the button: no hover look
        # The failed page shows the retry button where the Install button was.
        self.assertTrue(wait_for(lambda: near_enabled(w, enabled), 20))
        time.sleep(0.8)
        shot(w, names + "-9-failed")
        self.assertFalse(os.path.exists(prefix.host("C:\\Apps\\Tervaset\\Orvane\\a.txt")))
        w.click(*INSTALL, settle=1.0)
        shot(w, names + "-10-retry-welcome")
        self.assertTrue(w.alive())
        w.close()
        prefix.close()


def near_enabled(w, color):
    from gui import near
    return near(Pages.install_button_color(w), color, 10)


if __name__ == "__main__":
    main()
