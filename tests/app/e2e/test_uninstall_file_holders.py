#!/usr/bin/env python3
"""Programs that hold product files while the uninstaller removes them: one
that loaded a product DLL, one running a product program from the install
folder, and one that merely carries the name of a product program, running
from elsewhere. Each is ended and the install folder goes entirely. The
uninstaller searches every program's module list only for files that some
process holds; these cases pin that it still finds every holder."""
import os
import shutil
import time
import unittest

from e2e import BUILD, SAMPLE, SAMPLE_CONFIG, Prefix, build_installer, main

INSTALL_DIR = "C:\\Apps\\Tervaset\\Orvane"
TEST_DLL = os.path.join(BUILD, "tests", "engine", "pv_testdll.dll")
DLL_HOLDER = os.path.join(BUILD, "tests", "engine", "pv_dll_holder.exe")
LIFETIME_MS = "120000"  # far longer than a removal: an ended holder was ended


class UninstallFileHolders(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("uninstall_file_holders")
        product = os.path.join(cls.prefix.root, "work", "product")
        shutil.copytree(SAMPLE, product)
        os.makedirs(os.path.join(product, "tools"))
        shutil.copy(TEST_DLL, os.path.join(product, "plugins", "helper.dll"))
        shutil.copy(DLL_HOLDER, os.path.join(product, "tools", "holder.exe"))
        shutil.copy(DLL_HOLDER, os.path.join(product, "tools", "namesake.exe"))
        cls.installer = build_installer(os.path.join(cls.prefix.root, "work", "setup.exe"), SAMPLE_CONFIG,
                                        folder=product)
        # A program outside the product that bears a product program's name.
        elsewhere = os.path.join(cls.prefix.dir, "drive_c", "Elsewhere")
        os.makedirs(elsewhere, exist_ok=True)
        shutil.copy(DLL_HOLDER, os.path.join(elsewhere, "namesake.exe"))
        shutil.copy(DLL_HOLDER, os.path.join(elsewhere, "bystander.exe"))

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def setUp(self):
        self.started = []
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "C:\\Apps"]), 0)
        self.prefix.wait()
        self.root = self.prefix.host(INSTALL_DIR)
        self.assertTrue(os.path.exists(os.path.join(self.root, "plugins", "helper.dll")))

    def tearDown(self):
        self.prefix.close_programs()
        for process in self.started:
            process.wait(timeout=30)

    def start_holders(self, *commands):
        holders = [self.prefix.start(c) for c in commands]
        self.started += holders
        time.sleep(2)  # loaded and running
        for h in holders:
            self.assertIsNone(h.poll())
        return holders

    def uninstall(self):
        self.assertEqual(self.prefix.run([INSTALL_DIR + "\\unins000.exe", "/q"]), 0)

    def assert_ended(self, process, seconds=60):
        end = time.time() + seconds
        while time.time() < end and process.poll() is None:
            time.sleep(0.1)
        self.assertIsNotNone(process.poll(), "still running after the removal")

    def test_programs_holding_product_files_are_ended(self):
        dll_user, product_program = self.start_holders(
            ["C:\\Elsewhere\\bystander.exe", "-", LIFETIME_MS, INSTALL_DIR + "\\plugins\\helper.dll"],
            [INSTALL_DIR + "\\tools\\holder.exe", "-", LIFETIME_MS])
        self.uninstall()
        self.assert_ended(dll_user)
        self.assert_ended(product_program)
        self.prefix.wait()
        self.assertFalse(os.path.exists(self.root))

    def test_a_program_named_like_a_product_program_is_ended(self):
        (namesake,) = self.start_holders(["C:\\Elsewhere\\namesake.exe", "-", LIFETIME_MS])
        self.uninstall()
        self.assert_ended(namesake)
        self.prefix.wait()
        self.assertFalse(os.path.exists(self.root))

    def test_a_program_holding_nothing_of_the_product_keeps_running(self):
        (bystander,) = self.start_holders(["C:\\Elsewhere\\bystander.exe", "-", LIFETIME_MS])
        self.uninstall()
        # The removal is over once the relocated uninstaller has ended.
        deadline = time.time() + 60
        while time.time() < deadline and os.path.exists(self.root):
            time.sleep(0.1)
        self.assertFalse(os.path.exists(self.root))
        time.sleep(1)
        self.assertIsNone(bystander.poll())


if __name__ == "__main__":
    main()
