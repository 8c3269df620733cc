#!/usr/bin/env python3
"""The installer's window driven as a person would: pages, the custom page's
options, a typed folder, the install with its progress, the done page that
starts the product; the error message of an empty folder; the update mode;
the shadows and the caption drag; closing during an install; double clicks
that take one click; the question before an older version replaces a newer
one; the same install with the keyboard alone, and Escape and Alt+F4; every
page in English for a user whose language is English; what a screen reader
finds on each page and hears as it changes."""
import os
import shutil
import subprocess
import time
import unittest

from gui import (HEIGHT, WIDTH, Installer, Prefix, ReaderView, geometry, near, wait_for, windows, xdo)
from e2e import (BUILD, HELPERS, SAMPLE, SAMPLE_CONFIG, UNINSTALL_KEY, build_installer, diff, main, make_zip,
                 raw_installer, ui_language)

import json

SHOTS = os.environ.get("PIVSET_SHOTS", "")

# Page coordinates of the controls (from the page tables and our skin).
INSTALL = (265, 221)        # the Install, try-now, retry, Uninstall and finish buttons
CUSTOM_LINK = (470, 283)
BACK = (35, 283)
AGREE = (371, 121)
PATH = (224, 75)
CLOSE = (505, 24)           # window point of the close button
ACCENT = (14, 108, 240)
ENGLISH = ui_language("en_US")
# Page points on the focus mark's band around the Install button and the
# custom-install link.
INSTALL_MARK = (163, 221)
LINK_MARK = (500, 275)


def shot(installer, name):
    if SHOTS:
        os.makedirs(SHOTS, exist_ok=True)
        installer.shot(os.path.join(SHOTS, name + ".png"))


class Pages:
    """What the window shows, told by a few pixels of each page."""

    @staticmethod
    def install_button_color(installer, screen=None):
        return installer.pixel(INSTALL[0] - 80, INSTALL[1], screen=screen)

    @staticmethod
    def progress_fill(installer):
        """Width of the install bar's accent fill at the page's foot."""
        s = installer.screen()
        fill = 0
        for x in range(0, WIDTH, 4):
            r, g, b = installer.pixel(x, 298, screen=s)
            if b > 200 and r < 60:
                fill = x + 4
            else:
                break
        return fill

    @staticmethod
    def path_box_visible(installer, screen=None):
        # The path box's hairline border sits at its left edge.
        return not near(installer.pixel(54, 75, screen=screen), (255, 255, 255), 6)


def keys(installer, *names, settle=0.3):
    xdo(installer.prefix, "key", "--delay", 120, *names)
    time.sleep(settle)


def message_boxes(w):
    def small(window):
        try:
            _, _, width, height = geometry(w.prefix, window)
        except RuntimeError:  # gone meanwhile
            return False
        return width < WIDTH and height > 60
    return [x for x in windows(w.prefix, ".") if x != w.window and small(x)]


def answer_message_box(w, box):
    """Presses the box's default button with Enter, as a person would."""
    xdo(w.prefix, "windowfocus", "--sync", box, check=False)
    xdo(w.prefix, "key", "Return")
    return wait_for(lambda: box not in message_boxes(w), 5)


def marked(installer, point):
    return near(installer.pixel(*point), ACCENT, 60)


class InstallWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("gui_install")
        cls.setup = build_installer(os.path.join(cls.prefix.root, "work", "setup.exe"), SAMPLE_CONFIG, folder=SAMPLE)
        # A product big enough that the progress page stays a moment.
        product = os.path.join(cls.prefix.root, "work", "big")
        shutil.copytree(SAMPLE, product)
        with open(os.path.join(product, "data", "big.bin"), "wb") as f:
            f.write(os.urandom(40 << 20))
        cls.big = build_installer(os.path.join(cls.prefix.root, "work", "big.exe"), SAMPLE_CONFIG, folder=product)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def start(self, *args, program=None, env=None):
        installer = Installer(self.prefix, program or self.setup, args, env=env)
        self.addCleanup(installer.close)
        return installer

    def test_1_install_through_the_custom_page(self):
        w = self.start(program=self.big)
        shot(w, "install-1-welcome")
        self.assertFalse(Pages.path_box_visible(w))
        w.click(*CUSTOM_LINK)
        self.assertTrue(wait_for(lambda: Pages.path_box_visible(w), 5))
        w.click(*BACK)
        self.assertTrue(wait_for(lambda: not Pages.path_box_visible(w), 5))
        w.click(*CUSTOM_LINK)
        self.assertTrue(wait_for(lambda: Pages.path_box_visible(w), 5))
        shot(w, "install-2-custom")
        enabled = Pages.install_button_color(w)
        # Unchecking "agree" grays both Install buttons and makes them inert.
        w.click(*AGREE)
        grayed = Pages.install_button_color(w)
        self.assertFalse(near(grayed, enabled, 10), (grayed, enabled))
        shot(w, "install-3-not-agreed")
        w.click(*INSTALL, settle=1.5)
        self.assertTrue(Pages.path_box_visible(w))
        w.click(*AGREE)
        self.assertTrue(near(Pages.install_button_color(w), enabled, 10))
        # A folder typed by hand.
        w.double_click(*PATH)
        w.type("C:\\Pellio")
        shot(w, "install-4-folder")
        w.click(*INSTALL, settle=0.0)
        w.move(*CLOSE, page=False)  # off the buttons, so none shows its hover look
        w.move(300, 20, page=False)
        target = self.prefix.host("C:\\Pellio")
        self.assertTrue(wait_for(lambda: not Pages.path_box_visible(w), 5))
        # The bar advances: its fill is seen partway along the page's foot.
        fills = set()
        end = time.time() + 40
        while time.time() < end and not os.path.exists(os.path.join(target, "unins000.exe")):
            fill = Pages.progress_fill(w)
            fills.add(fill)
            if 40 < fill < WIDTH - 40 and not os.path.exists(os.path.join(self.prefix.root, "progress-shot")):
                shot(w, "install-5-progress")
                open(os.path.join(self.prefix.root, "progress-shot"), "w").close()
            time.sleep(0.1)
        self.assertTrue([f for f in fills if 0 < f < WIDTH], sorted(fills))
        # The done page shows the try-now button where the bar was.
        self.assertTrue(wait_for(lambda: os.path.exists(os.path.join(target, "unins000.exe")), 30))
        self.assertTrue(wait_for(lambda: near(Pages.install_button_color(w), enabled, 10), 30))
        shot(w, "install-6-done")
        self.assertEqual(self.prefix.reg_values(UNINSTALL_KEY)["UninstallString"][1], "C:\\Pellio\\unins000.exe")
        # "Try it now" starts the product and closes the installer.
        w.click(*INSTALL, settle=0.5)
        self.assertTrue(wait_for(lambda: windows(self.prefix, "^Pellio$"), 20))
        self.assertTrue(wait_for(lambda: not w.alive(), 10))

    def test_2_an_empty_folder_is_refused_with_a_message(self):
        w = self.start()
        w.click(*CUSTOM_LINK)
        self.assertTrue(wait_for(lambda: Pages.path_box_visible(w), 5))
        w.double_click(*PATH)
        xdo(self.prefix, "key", "BackSpace")
        time.sleep(0.3)
        w.click(*INSTALL, settle=1.0)
        boxes = wait_for(lambda: message_boxes(w), 10)
        self.assertTrue(boxes, "no message box")
        shot(w, "install-7-folder-error")
        self.assertTrue(answer_message_box(w, boxes[0]))
        self.assertTrue(Pages.path_box_visible(w))
        self.assertTrue(w.alive())

    def test_3_update_mode_offers_only_the_upgrade(self):
        w = self.start("/update")
        shot(w, "install-8-update")
        # No custom-install link: its place stays the page's background.
        s = w.screen()
        link_pixels = [w.pixel(x, y, screen=s) for x in range(430, 515, 3) for y in range(278, 288)]
        self.assertFalse([p for p in link_pixels if p[2] > p[0] + 60], "the custom-install link is shown")
        w.click(*CUSTOM_LINK)
        time.sleep(0.5)
        self.assertFalse(Pages.path_box_visible(w))

    def test_4_shadows_follow_the_window_and_the_caption_drags_it(self):
        w = self.start()
        def shadow_rects():
            out = subprocess.run(["xwininfo", "-root", "-tree"], env=self.prefix.env, capture_output=True,
                                 text=True).stdout
            rects = set()
            for line in out.splitlines():
                parts = line.split()
                for p in parts:
                    if "x" in p and "+" in p and p[0].isdigit():
                        size, _, pos = p.partition("+")
                        try:
                            wd, ht = map(int, size.split("x"))
                            px, py = map(int, pos.split("+"))
                        except ValueError:
                            continue
                        rects.add((px, py, wd, ht))
            return rects

        def expected(x, y):
            return {(x - 27, y, 27, HEIGHT), (x - 27, y - 22, WIDTH + 54, 22), (x + WIDTH, y, 27, HEIGHT),
                    (x - 27, y + HEIGHT, WIDTH + 54, 32)}

        self.assertTrue(expected(w.x, w.y) <= shadow_rects(), (w.x, w.y, sorted(shadow_rects())))
        shot(w, "window-shadow")
        # Drag by the caption band.
        sx, sy = w.point(300, 20, page=False)
        xdo(self.prefix, "mousemove", "--sync", sx, sy)
        xdo(self.prefix, "mousedown", 1)
        for step in range(1, 11):
            xdo(self.prefix, "mousemove", "--sync", sx + 6 * step, sy + 4 * step)
            time.sleep(0.03)
        xdo(self.prefix, "mouseup", 1)
        time.sleep(0.8)
        nx, ny, _, _ = geometry(self.prefix, w.window)
        self.assertEqual((nx, ny), (w.x + 60, w.y + 40))
        self.assertTrue(expected(nx, ny) <= shadow_rects())

    def test_5_closing_during_the_install_ends_at_once(self):
        product = os.path.join(self.prefix.root, "work", "big")
        shutil.rmtree(product, ignore_errors=True)
        shutil.copytree(SAMPLE, product)
        with open(os.path.join(product, "data", "big.bin"), "wb") as f:
            f.write(os.urandom(48 << 20))
        big = build_installer(os.path.join(self.prefix.root, "work", "big.exe"), SAMPLE_CONFIG, folder=product)
        w = Installer(self.prefix, big, ["/D", "C:\\Big"])
        self.addCleanup(w.close)
        w.click(*INSTALL, settle=0.2)
        w.click(*CLOSE, page=False, settle=0.0)
        started = time.time()
        self.assertTrue(wait_for(lambda: not w.alive(), 5))
        self.assertLess(time.time() - started, 5)

    def test_6_a_quiet_install_shows_nothing(self):
        def shown():
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ""], env=self.prefix.env,
                               capture_output=True, text=True)
            return set(r.stdout.split())

        before = shown()
        run = self.prefix.start([self.big, "/q", "/D", "C:\\Quiet"])
        seen = set()
        while run.poll() is None:
            seen |= shown() - before
            time.sleep(0.05)
        self.assertEqual(run.returncode, 0)
        self.assertTrue(os.path.exists(self.prefix.host("C:\\Quiet\\Tervaset\\Orvane\\unins000.exe")))
        self.assertEqual(seen, set())

    def test_7_double_clicks_slide_once_and_install_once(self):
        # Each install adds a line to a file beside the product.
        product = os.path.join(self.prefix.root, "work", "counted")
        shutil.rmtree(product, ignore_errors=True)
        shutil.copytree(SAMPLE, product)
        os.makedirs(os.path.join(product, "tools"))
        shutil.copy(os.path.join(HELPERS, "Marker.exe"), os.path.join(product, "tools", "marker.exe"))
        counted = build_installer(os.path.join(self.prefix.root, "work", "counted.exe"),
                                  dict(SAMPLE_CONFIG, instrun=["tools\\marker.exe ..\\installs.txt"]), folder=product)
        w = Installer(self.prefix, counted, ["/D", "C:\\Twice"])
        self.addCleanup(w.close)
        enabled = Pages.install_button_color(w)
        w.double_click(*CUSTOM_LINK)
        self.assertTrue(wait_for(lambda: Pages.path_box_visible(w), 5))
        time.sleep(1.0)  # a second slide would have moved by now
        self.assertTrue(Pages.path_box_visible(w))
        w.double_click(*BACK)
        self.assertTrue(wait_for(lambda: not Pages.path_box_visible(w), 5))
        time.sleep(1.0)
        self.assertFalse(Pages.path_box_visible(w))
        self.assertTrue(near(Pages.install_button_color(w), enabled, 10))
        w.double_click(*INSTALL)
        w.move(300, 20, page=False)  # off the buttons: no hover look
        root = self.prefix.host("C:\\Twice\\Tervaset\\Orvane")
        runs = os.path.join(root, "installs.txt")
        self.assertTrue(wait_for(lambda: os.path.exists(runs), 30))
        # The done page: its button where the Install button was.
        self.assertTrue(wait_for(lambda: near(Pages.install_button_color(w), enabled, 10), 20))
        time.sleep(1.0)
        shot(w, "install-11-after-double-clicks")
        with open(runs) as f:
            self.assertEqual(f.read().count("ran"), 1)
        self.assertEqual(self.prefix.reg_values(UNINSTALL_KEY)["UninstallString"][1],
                         "C:\\Twice\\Tervaset\\Orvane\\unins000.exe")
        w.click(*CLOSE, page=False, settle=0.0)
        self.assertTrue(wait_for(lambda: not w.alive(), 10))
        self.assertEqual(w.process.returncode, 0)

    def test_8_the_keyboard_alone_installs(self):
        w = self.start()
        enabled = Pages.install_button_color(w)
        # The Install button has the focus, but no mark before the first key.
        self.assertFalse(marked(w, INSTALL_MARK))
        keys(w, "shift")
        self.assertTrue(marked(w, INSTALL_MARK))
        keys(w, "Tab")
        self.assertFalse(marked(w, INSTALL_MARK))
        self.assertTrue(marked(w, LINK_MARK))
        keys(w, "shift+Tab", "Tab")
        self.assertTrue(marked(w, LINK_MARK))
        # Space presses the link: the custom page, its Install button focused.
        keys(w, "space")
        self.assertTrue(wait_for(lambda: Pages.path_box_visible(w), 5))
        time.sleep(0.5)
        self.assertTrue(marked(w, INSTALL_MARK))
        shot(w, "install-12-keyboard-custom")
        # Install, back, then round to the path box; its editing keys.
        keys(w, "Tab", "Tab", "ctrl+a")
        w.type("C:\\Keyz")
        keys(w, "BackSpace", "s", "Home", "shift+End", "ctrl+c", "End", "ctrl+v")
        keys(w, "ctrl+z", "shift+Left", "shift+Left", "Delete", "Left", "Right", "ctrl+z")
        shot(w, "install-13-keyboard-folder")
        # To the agree box: unchecked, Enter presses nothing; checked again,
        # Enter installs from wherever the focus is.
        keys(w, "Tab", "Tab", "Tab", "Tab", "space")
        grayed = Pages.install_button_color(w)
        self.assertFalse(near(grayed, enabled, 10))
        keys(w, "Return", settle=1.0)
        self.assertTrue(Pages.path_box_visible(w))
        keys(w, "space")
        self.assertTrue(near(Pages.install_button_color(w), enabled, 10))
        keys(w, "Return", settle=0.0)
        target = self.prefix.host("C:\\Keys")
        self.assertTrue(wait_for(lambda: os.path.exists(os.path.join(target, "unins000.exe")), 30))
        self.assertEqual(self.prefix.reg_values(UNINSTALL_KEY)["UninstallString"][1], "C:\\Keys\\unins000.exe")
        # The done page: Enter starts the product and closes the window.
        self.assertTrue(wait_for(lambda: near(Pages.install_button_color(w), enabled, 10), 30))
        time.sleep(0.5)
        self.assertTrue(marked(w, INSTALL_MARK))
        keys(w, "Return", settle=0.5)
        self.assertTrue(wait_for(lambda: windows(self.prefix, "^Pellio$"), 20))
        self.assertTrue(wait_for(lambda: not w.alive(), 10))

    def test_9_escape_and_alt_f4_close_as_the_close_button_does(self):
        for page, closing in (("welcome", "Escape"), ("custom", "alt+F4"), ("custom", "Escape")):
            w = self.start("/D", "C:\\Closed")
            if page == "custom":
                w.click(*CUSTOM_LINK)
                self.assertTrue(wait_for(lambda: Pages.path_box_visible(w), 5))
            keys(w, closing, settle=0.0)
            self.assertTrue(wait_for(lambda: not w.alive(), 10), (page, closing))
            self.assertEqual(w.process.returncode, 0)
        self.assertFalse(os.path.exists(self.prefix.host("C:\\Closed")))
        # During the install, as the close button: the program ends at once.
        w = Installer(self.prefix, self.big, ["/D", "C:\\Big"])
        self.addCleanup(w.close)
        keys(w, "Return", "Escape", settle=0.0)
        self.assertTrue(wait_for(lambda: not w.alive(), 10))

    def test_10_every_page_in_english(self):
        w = self.start(program=self.big, env=ENGLISH)
        shot(w, "en-install-1-welcome")
        w.click(*CUSTOM_LINK)
        self.assertTrue(wait_for(lambda: Pages.path_box_visible(w), 5))
        shot(w, "en-install-2-custom")
        enabled = Pages.install_button_color(w)
        w.click(*AGREE)
        self.assertFalse(near(Pages.install_button_color(w), enabled, 10))
        shot(w, "en-install-3-not-agreed")
        w.click(*AGREE)
        w.double_click(*PATH)
        keys(w, "BackSpace")
        w.click(*INSTALL, settle=1.0)
        boxes = wait_for(lambda: message_boxes(w), 10)
        self.assertTrue(boxes, "no message box")
        shot(w, "en-install-7-folder-error")
        self.assertTrue(answer_message_box(w, boxes[0]))
        w.double_click(*PATH)
        w.type("C:\\English")
        shot(w, "en-install-4-folder")
        w.click(*INSTALL, settle=0.0)
        w.move(300, 20, page=False)
        target = self.prefix.host("C:\\English")
        self.assertTrue(wait_for(lambda: 0 < Pages.progress_fill(w) < WIDTH, 20))
        shot(w, "en-install-5-progress")
        self.assertTrue(wait_for(lambda: os.path.exists(os.path.join(target, "unins000.exe")), 40))
        self.assertTrue(wait_for(lambda: near(Pages.install_button_color(w), enabled, 10), 40))
        time.sleep(0.5)
        shot(w, "en-install-6-done")
        keys(w, "Escape", settle=0.0)
        self.assertTrue(wait_for(lambda: not w.alive(), 10))

        w = self.start("/update", env=ENGLISH)
        shot(w, "en-install-8-update")

    def test_11_a_screen_reader_finds_each_page_and_hears_its_changes(self):
        w = self.start("/D", "C:\\Reader", program=self.big)
        close = ("push button", "关闭", "", "", "按下")
        welcome = ReaderView(self.prefix)
        self.assertEqual(welcome.children, [close, ("push button", "安 装", "focused,focusable", "", "按下"),
                                            ("link", "自定义安装>", "focusable", "", "跳转")])
        self.assertEqual(welcome.focus, 2)
        # The link's default action is its click: the custom page.
        ReaderView(self.prefix, do=welcome.child("自定义安装>"))
        self.assertTrue(wait_for(lambda: Pages.path_box_visible(w), 5))
        time.sleep(0.5)
        checked = ("focusable,checked", "", "取消选中")
        custom = ReaderView(self.prefix)
        self.assertEqual(custom.children, [
            close, ("editable text", "安装目录", "focusable", "C:\\Reader\\Tervaset\\Orvane", ""),
            ("push button", "浏览", "focusable", "", "按下"), ("check box", "创建桌面图标") + checked,
            ("check box", "添加到快速启动栏") + checked, ("check box", "同意") + checked,
            ("link", "用户许可协议", "focusable", "", "跳转"), ("push button", "安 装", "focused,focusable", "", "按下"),
            ("push button", "返回", "focusable", "", "按下")])
        # Unchecking "agree": the box and the Install button it disables
        # change state, and say so.
        agree, install = custom.child("同意"), custom.child("安 装")
        unchecked = ReaderView(self.prefix, do=agree, listen_ms=1500)
        self.assertIn(("state", agree), unchecked.events)
        self.assertIn(("state", install), unchecked.events)
        after = ReaderView(self.prefix)
        self.assertEqual(after.children[agree - 1], ("check box", "同意", "focusable", "", "选中"))
        self.assertEqual(after.children[install - 1], ("push button", "安 装", "unavailable", "", "按下"))
        ReaderView(self.prefix, do=agree)
        # The install, started by the reader: focus, page and progress
        # changes are heard, the progress at most a few times a second.
        started = time.time()
        heard = ReaderView(self.prefix, do=install, listen_ms=8000)
        listened = time.time() - started
        kinds = set(e for e, _ in heard.events)
        self.assertTrue({"focus", "reorder", "show", "value"} <= kinds, heard.events)
        self.assertLessEqual(len([e for e in heard.events if e[0] == "value"]), 5 * listened, heard.events)
        self.assertTrue(wait_for(lambda: os.path.exists(self.prefix.host("C:\\Reader\\Tervaset\\Orvane\\unins000.exe")), 40))
        self.assertTrue(wait_for(lambda: ReaderView(self.prefix).names() == ["关闭", "安装完成", "Pellio 已准备就绪",
                                                                             "立即体验"], 20))
        done = ReaderView(self.prefix)
        self.assertEqual(done.children[1:], [("static text", "安装完成", "readonly", "", ""),
                                             ("static text", "Pellio 已准备就绪", "readonly", "", ""),
                                             ("push button", "立即体验", "focused,focusable", "", "按下")])
        self.assertEqual(done.focus, 4)


    def test_8_an_older_version_asks_before_it_replaces_the_newer_one(self):
        older = build_installer(os.path.join(self.prefix.root, "work", "older.exe"), SAMPLE_CONFIG, folder=SAMPLE,
                                stub=os.path.join(BUILD, "setup-stub-older.exe"))
        registered = self.prefix.reg_values(UNINSTALL_KEY)
        self.assertEqual(registered["DisplayVersion"][1], "1.0.0")
        before = self.prefix.snapshot(skip=("users",))

        def ask():
            w = Installer(self.prefix, older)
            self.addCleanup(w.close)
            w.click(*INSTALL, settle=0.5)
            self.assertTrue(wait_for(lambda: windows(self.prefix, "^Pellio$"), 10), "no question")
            return w

        # "No", the default answer: the run ends with nothing touched.
        w = ask()
        shot(w, "install-12-downgrade-question")
        xdo(self.prefix, "key", "Return")
        self.assertTrue(wait_for(lambda: not w.alive(), 10))
        self.assertEqual(w.process.returncode, 1638 & 0xFF)  # the host sees the low byte
        self.assertEqual(diff(before, self.prefix.snapshot(skip=("users",))), ([], [], []))
        self.assertEqual(self.prefix.reg_values(UNINSTALL_KEY), registered)
        # "Yes": the older version replaces the newer one.
        w = ask()
        xdo(self.prefix, "key", "shift+Tab", "Return")
        version = lambda: (self.prefix.reg_values(UNINSTALL_KEY) or {}).get("DisplayVersion", (None, None))[1]  # noqa
        self.assertTrue(wait_for(lambda: version() == "0.9.0", 60), version())


if __name__ == "__main__":
    main()
