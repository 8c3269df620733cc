#!/usr/bin/env python3
"""A setup program built for another product definition
(tests/app/e2e/second-product/): its installer installs and removes that
product under its own names, folders and keys, shows its own title and page
art, and carries nothing of the default product."""
import os
import shutil
import subprocess
import sys
import unittest

from e2e import BUILD, SAMPLE, SOURCE, PIVPACK, Prefix, build_installer, main

sys.path.insert(0, os.path.join(SOURCE, "tests", "window"))
from gui import Installer, icon_image, near, window_icons  # noqa: E402

STUB = os.path.join(BUILD, "setup-stub-second.exe")
SHOTS = os.environ.get("PIVSET_SHOTS", os.path.join(BUILD, "gui-shots"))
NAME = "Lumora 月光"
WINDOW_TITLE = "Lumora 月光 安装"
ICON = os.path.join(BUILD, "product", "second", "product.ico")
MAKER = "Brightfold 明折"
INSTALL_DIR = "C:\\Apps\\" + MAKER + "\\Lumora"
KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\LumoraDesk"
CONFIG = {
    "mode": 1,
    "lastrun": "Lumora.exe",
    "shortcut": {"desktop": [{"file": "Lumora.exe", "name": NAME}],
                 "taskbar": [{"file": "Lumora.exe", "name": NAME}]},
}
DEFAULT_NAMES = ["Pellio", "Tervaset", "Orvane", "Zembra"]


def without_default(test, what, texts):
    for text in texts:
        for name in DEFAULT_NAMES:
            test.assertNotIn(name.lower(), text.lower(), "%s: %s" % (what, text))


class SecondProduct(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("second_product")
        work = os.path.join(cls.prefix.root, "work")
        product = os.path.join(work, "product")
        shutil.copytree(SAMPLE, product)
        os.rename(os.path.join(product, "Orvane.exe"), os.path.join(product, "Lumora.exe"))
        cls.installer = build_installer(os.path.join(work, "setup.exe"), CONFIG, folder=product)
        # The builder packed it with the default stub; this one is built for the second product.
        subprocess.run([PIVPACK, "build", "--stub", STUB, "--config", cls.installer + ".json", "--folder", product,
                        "--out", cls.installer], check=True, stdout=subprocess.DEVNULL)
        cls.quick_launch = os.path.join(cls.prefix.profile(), "AppData", "Roaming", "Microsoft",
                                        "Internet Explorer", "Quick Launch")
        os.makedirs(cls.quick_launch, exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def test_1_stub_names_only_its_product(self):
        with open(STUB, "rb") as f:
            image = f.read()
        for name in DEFAULT_NAMES:
            self.assertFalse(name.encode("utf-16-le") in image or name.encode("utf-8") in image, name)
        report = subprocess.run([PIVPACK, "inspect", self.installer], capture_output=True, text=True).stdout
        self.assertIn("product:        %s (folder %s\\Lumora, uninstall key LumoraDesk" % (NAME, MAKER), report)
        self.assertIn("version:        2.4.1\n", report)

    def test_2_window_shows_its_title_icon_and_art(self):
        os.makedirs(SHOTS, exist_ok=True)
        # Found by its own title, which the taskbar and Alt+Tab show.
        w = Installer(self.prefix, self.installer, title=WINDOW_TITLE)
        try:
            # Its icon there is the product's mark, large and small.
            icons = window_icons(self.prefix, w.window)
            for size in (16, 32):
                self.assertIn(size, icons)
                shown, drawn = icons[size], icon_image(ICON, size)
                difference = sum(abs(a - b) for p, q in zip(shown, drawn) for a, b in zip(p, q)) / (size * size * 4)
                self.assertLess(difference, 8, size)
            w.shot(os.path.join(SHOTS, "second-product-welcome.png"))
            screen = w.screen()
            # The caption band is the product's accent, not the default blue.
            self.assertTrue(near(w.pixel(300, 20, page=False, screen=screen), (0x1D, 0x7A, 0x4C)),
                            w.pixel(300, 20, page=False, screen=screen))
        finally:
            w.close()

    def test_3_quiet_install_and_removal_use_its_names(self):
        p = self.prefix
        before = p.snapshot()
        self.assertEqual(p.run([self.installer, "/q", "/D", "C:\\Apps"]), 0)
        p.wait()
        self.assertTrue(os.path.isfile(os.path.join(p.host(INSTALL_DIR), "Lumora.exe")))
        self.assertTrue(os.path.isfile(os.path.join(p.host(INSTALL_DIR), "unins000.exe")))
        values = p.reg_values(KEY, encoding="gbk")
        self.assertIsNotNone(values)
        self.assertEqual(values["DisplayName"], ("REG_SZ", NAME))
        self.assertEqual(values["Publisher"], ("REG_SZ", "Brightfold 明折科技"))
        self.assertEqual(values["HelpLink"], ("REG_SZ", "https://brightfold.example/help"))
        self.assertEqual(values["Lang"], ("REG_SZ", "1033"))
        self.assertEqual(values["Channel"], ("REG_DWORD", "0x9c42"))
        self.assertEqual(values["UninstallString"], ("REG_SZ", INSTALL_DIR + "\\unins000.exe"))
        self.assertIsNone(p.reg_values(r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane"))
        links = os.path.join(p.dir, "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                             MAKER, NAME)
        self.assertTrue(os.path.isfile(os.path.join(links, NAME + ".lnk")))
        self.assertTrue(os.path.isfile(os.path.join(self.quick_launch, NAME + ".lnk")))
        added = [k for k in p.snapshot() if k not in before]
        without_default(self, "written on install", added)

        # The maker's settings key goes with the product.
        p.reg_add(r"HKCU\Software\Brightfold\LumoraSettings", "x", "REG_SZ", "1")
        self.assertEqual(p.run([INSTALL_DIR + "\\unins000.exe", "/q"]), 0)
        p.wait()
        self.assertFalse(os.path.exists(p.host(INSTALL_DIR)))
        self.assertIsNone(p.reg_values(KEY))
        self.assertIsNone(p.reg_values(r"HKCU\Software\Brightfold\LumoraSettings"))
        self.assertFalse(os.path.exists(links))
        # The uninstaller relocated into a folder named after the product.
        temp = os.listdir(p.temp())
        self.assertNotIn("Orvane", temp)
        without_default(self, "left after removal", [k for k in p.snapshot() if k not in before])


if __name__ == "__main__":
    main()
