#!/usr/bin/env python3
"""Files in use while the installer writes them: a running product program
is ended, a program that loaded a product DLL is ended, an image that can be
neither overwritten nor deleted is moved to ".old", and a lock that blocks
renaming too fails the install without touching the locked file."""
import os
import shutil
import subprocess
import time
import unittest

from e2e import BUILD, HELPERS, SAMPLE, SAMPLE_CONFIG, UNINSTALL_KEY, Prefix, build_installer, main

INSTALL_DIR = "C:\\Apps\\Tervaset\\Orvane"
TEST_DLL = os.path.join(BUILD, "tests", "engine", "pv_testdll.dll")
DLL_HOLDER = os.path.join(BUILD, "tests", "engine", "pv_dll_holder.exe")


def running(prefix, process):
    return process.poll() is None


class LockedFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("locked_files")
        work = os.path.join(cls.prefix.root, "work")
        cls.installers = {}
        for version in ("v1", "v2"):
            product = os.path.join(work, version)
            shutil.copytree(SAMPLE, product)
            shutil.copy(TEST_DLL, os.path.join(product, "plugins", "helper.dll"))
            with open(os.path.join(product, "data", "config.ini"), "a") as f:
                f.write("version=%s\r\n" % version)
            with open(os.path.join(product, "plugins", "helper.dll"), "ab") as f:
                f.write(version.encode())  # data after the image: the versions differ
            cls.installers[version] = build_installer(os.path.join(work, version + ".exe"), SAMPLE_CONFIG,
                                                      folder=product)
        cls.root = cls.prefix.host(INSTALL_DIR)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def fresh_v1(self):
        """v1 installed, and its registration gone, so that installing again
        does not first remove it: the files meet the installer in use."""
        self.assertEqual(self.prefix.run([self.installers["v1"], "/q", "/D", "C:\\Apps"]), 0)
        self.prefix.wait()
        subprocess.run(["wine", "reg", "delete", UNINSTALL_KEY, "/f", "/reg:32"], env=self.prefix.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def read(self, rel):
        with open(os.path.join(self.root, *rel.split("\\")), "rb") as f:
            return f.read()

    def wait_for(self, path, seconds=20):
        end = time.time() + seconds
        while time.time() < end and not os.path.exists(path):
            time.sleep(0.1)
        self.assertTrue(os.path.exists(path), path)

    def test_1_running_product_program_is_ended(self):
        self.fresh_v1()
        program = self.prefix.start([INSTALL_DIR + "\\Orvane.exe"])
        time.sleep(2)
        self.assertIsNone(program.poll())
        self.assertEqual(self.prefix.run([self.installers["v2"], "/q", "/D", "C:\\Apps"]), 0)
        program.wait(timeout=20)
        self.assertIn(b"version=v2", self.read("data\\config.ini"))

    def test_2_program_that_loaded_a_product_dll_is_ended(self):
        self.fresh_v1()
        holder = self.prefix.start([DLL_HOLDER, "-", "60000", INSTALL_DIR + "\\plugins\\helper.dll"])
        time.sleep(2)
        self.assertIsNone(holder.poll())
        self.assertEqual(self.prefix.run([self.installers["v2"], "/q", "/D", "C:\\Apps"]), 0)
        holder.wait(timeout=20)
        self.assertTrue(self.read("plugins\\helper.dll").endswith(b"v2"))

    def test_3_image_that_cannot_be_replaced_moves_aside(self):
        self.fresh_v1()
        ready = os.path.join(self.prefix.root, "image-ready")
        holder = self.prefix.start([os.path.join(HELPERS, "ImageHolder.exe"), INSTALL_DIR + "\\plugins\\helper.dll",
                                    self.prefix.windows_path(os.path.join(self.prefix.dir, "drive_c", "ready1")),
                                    "60000"])
        self.wait_for(os.path.join(self.prefix.dir, "drive_c", "ready1"))
        try:
            self.assertEqual(self.prefix.run([self.installers["v2"], "/q", "/D", "C:\\Apps"]), 0)
            self.assertTrue(self.read("plugins\\helper.dll").endswith(b"v2"))
            # Still in use, so the old one stays beside it for now.
            self.assertTrue(self.read("plugins\\helper.dll.old").endswith(b"v1"))
            self.assertIsNone(holder.poll())
        finally:
            holder.kill()

    def test_4_lock_that_blocks_renaming_fails_without_touching_the_file(self):
        self.fresh_v1()
        original = self.read("data\\config.ini")
        flag = os.path.join(self.prefix.dir, "drive_c", "ready2")
        locker = self.prefix.start([os.path.join(HELPERS, "FileLocker.exe"), INSTALL_DIR + "\\data\\config.ini",
                                    "C:\\ready2", "60000"])
        self.wait_for(flag)
        try:
            self.assertEqual(self.prefix.run([self.installers["v2"], "/q", "/D", "C:\\Apps"]), 8)
            self.assertEqual(self.read("data\\config.ini"), original)
            self.assertFalse(os.path.exists(os.path.join(self.root, "data", "config.ini.old")))
            self.assertIsNone(locker.poll())
        finally:
            locker.kill()
        self.prefix.wait()


if __name__ == "__main__":
    main()
