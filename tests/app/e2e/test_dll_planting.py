#!/usr/bin/env python3
"""DLLs planted beside the setup program (a Downloads folder) and in the
uninstaller's temporary folder, under the names of the system DLLs it uses,
are never loaded, even when Wine prefers native DLLs."""
import os
import shutil
import time
import unittest

from e2e import HELPERS, SAMPLE, SAMPLE_CONFIG, Prefix, build_installer, main

# The same program built to take the start-up path of a system without
# SetDefaultDllDirectories, and one that misses a system DLL.
OLD_LOADER_STUB = os.path.join(HELPERS, "setup-stub-old-loader.exe")
MISSING_DLL_STUB = os.path.join(HELPERS, "setup-stub-missing-dll.exe")

PLANTED = ["comctl32", "gdiplus", "msimg32", "msvfw32"]
OVERRIDES = ",".join(PLANTED) + "=n,b;mscoree,mshtml=;winemenubuilder.exe=d"


def plant(folder):
    os.makedirs(folder, exist_ok=True)
    for name in PLANTED:
        shutil.copy(os.path.join(HELPERS, "MarkerDll.dll"), os.path.join(folder, name + ".dll"))


def markers(folder):
    return sorted(f.lower() for f in os.listdir(folder) if f.endswith(".loaded"))


def clear_markers(folder):
    for f in os.listdir(folder):
        if f.endswith(".loaded"):
            os.remove(os.path.join(folder, f))


class DllPlanting(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("dll_planting")
        cls.downloads = cls.prefix.host("C:\\Downloads")
        plant(cls.downloads)
        cls.installer = os.path.join(cls.downloads, "setup.exe")
        build_installer(cls.installer, SAMPLE_CONFIG, folder=SAMPLE)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def test_0_the_test_sees_a_planted_dll_when_one_is_loaded(self):
        shutil.copy(os.path.join(HELPERS, "PlainImporter.exe"), os.path.join(self.downloads, "plain.exe"))
        self.assertEqual(self.prefix.run(["C:\\Downloads\\plain.exe"], env={"WINEDLLOVERRIDES": OVERRIDES}), 0)
        self.assertEqual(markers(self.downloads), ["comctl32.dll.loaded"])
        clear_markers(self.downloads)

    def test_1_installer_loads_none(self):
        clear_markers(self.downloads)
        env = {"WINEDLLOVERRIDES": OVERRIDES}
        # The window run loads the drawing DLLs; the quiet run does the work.
        program = self.prefix.start(["C:\\Downloads\\setup.exe", "/D", "C:\\Apps"], env=env)
        time.sleep(5)
        program.kill()
        self.prefix.close_programs()
        self.assertEqual(self.prefix.run(["C:\\Downloads\\setup.exe", "/q", "/D", "C:\\Apps"], env=env), 0)
        self.prefix.wait()
        self.assertEqual(markers(self.downloads), [])

    def test_2_uninstaller_in_the_temporary_folder_loads_none(self):
        relocated = os.path.join(self.prefix.temp(), "Orvane")
        plant(relocated)
        env = {"WINEDLLOVERRIDES": OVERRIDES}
        self.assertEqual(self.prefix.run(["C:\\Apps\\Tervaset\\Orvane\\unins000.exe", "/q"], env=env), 0)
        self.prefix.wait()
        self.assertFalse(os.path.exists(self.prefix.host("C:\\Apps\\Tervaset\\Orvane")))
        self.assertEqual(markers(relocated), [])

    def test_3_without_SetDefaultDllDirectories_the_system_copies_are_loaded(self):
        clear_markers(self.downloads)
        old = os.path.join(self.downloads, "old-setup.exe")
        build_installer(old, SAMPLE_CONFIG, folder=SAMPLE, stub=OLD_LOADER_STUB)
        env = {"WINEDLLOVERRIDES": OVERRIDES}
        program = self.prefix.start(["C:\\Downloads\\old-setup.exe", "/D", "C:\\Old"], env=env)
        time.sleep(5)
        self.assertIsNone(program.poll())  # the window is up, drawn with the system's DLLs
        program.kill()
        self.prefix.close_programs()
        self.assertEqual(self.prefix.run(["C:\\Downloads\\old-setup.exe", "/q", "/D", "C:\\Old"], env=env), 0)
        self.prefix.wait()
        self.assertTrue(os.path.exists(self.prefix.host("C:\\Old\\Tervaset\\Orvane\\Orvane.exe")))
        self.assertEqual(markers(self.downloads), [])

    def test_4_a_missing_system_dll_ends_the_run_before_anything_is_done(self):
        missing = os.path.join(self.downloads, "missing-setup.exe")
        build_installer(missing, SAMPLE_CONFIG, folder=SAMPLE, stub=MISSING_DLL_STUB)
        self.assertEqual(self.prefix.run(["C:\\Downloads\\missing-setup.exe", "/q", "/D", "C:\\Missing"]), 1)
        self.prefix.wait()
        self.assertFalse(os.path.exists(self.prefix.host("C:\\Missing")))


if __name__ == "__main__":
    main()
