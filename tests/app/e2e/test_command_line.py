#!/usr/bin/env python3
"""The command line: "/D" with a drive root, options in another letter case,
"/D" at the end; the folder of a registered installation as the default; a
relative "/D"."""
import os
import time
import unittest

from e2e import SAMPLE, SAMPLE_CONFIG, UNINSTALL_KEY, Prefix, build_installer, main


class CommandLine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("command_line")
        cls.installer = build_installer(os.path.join(cls.prefix.root, "work", "setup.exe"), SAMPLE_CONFIG,
                                        folder=SAMPLE)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def uninstall_string(self):
        values = self.prefix.reg_values(UNINSTALL_KEY)
        return values["UninstallString"][1] if values else None

    def test_1_drive_root_after_D_keeps_its_backslash(self):
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "C:\\"]), 0)
        self.prefix.wait()
        self.assertEqual(self.uninstall_string(), "C:\\\\Tervaset\\Orvane\\unins000.exe")
        self.assertTrue(os.path.exists(self.prefix.host("C:\\Tervaset\\Orvane\\Orvane.exe")))

    def test_2_other_letter_cases_and_a_trailing_D_are_ignored(self):
        # "/d" is not "/D": the registered installation's folder is taken.
        self.assertEqual(self.prefix.run([self.installer, "/q", "/d", "C:\\Other"]), 0)
        self.prefix.wait()
        self.assertFalse(os.path.exists(self.prefix.host("C:\\Other")))
        self.assertTrue(self.uninstall_string().startswith("C:\\\\Tervaset\\Orvane"))
        # "/D" as the last argument: ignored as well.
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D"]), 0)
        self.prefix.wait()
        self.assertTrue(os.path.exists(self.prefix.host("C:\\Tervaset\\Orvane\\Orvane.exe")))
        # "/Q" is not "/q": the window opens and waits for the user.
        program = self.prefix.start([self.installer, "/Q", "/D", "C:\\Other2"])
        time.sleep(4)
        self.assertIsNone(program.poll())
        program.kill()
        self.prefix.close_programs()
        self.assertFalse(os.path.exists(self.prefix.host("C:\\Other2")))

    def test_3_a_relative_D_means_the_folder_under_the_current_one(self):
        work = "C:\\Work"
        os.makedirs(self.prefix.host(work), exist_ok=True)
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "rel\\dir"], cwd=work), 0)
        self.prefix.wait()
        folder = work + "\\rel\\dir\\Tervaset\\Orvane"
        self.assertEqual(self.uninstall_string(), folder + "\\unins000.exe")
        self.assertTrue(os.path.exists(self.prefix.host(folder + "\\Orvane.exe")))
        # Started from elsewhere, the uninstaller finds the absolute root in
        # its document and removes the product.
        self.assertEqual(self.prefix.run([folder + "\\unins000.exe", "/q"], cwd="C:\\"), 0)
        self.prefix.wait()
        self.assertFalse(os.path.exists(self.prefix.host(folder)))
        self.assertIsNone(self.uninstall_string())


if __name__ == "__main__":
    main()
