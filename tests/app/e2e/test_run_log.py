#!/usr/bin/env python3
""""/log <file>": a quiet install and its removal append their steps, files
and result to the file (the uninstaller's relaunched copy to the same one,
a path with blanks included); a failing install records the failure and its
code; a log that cannot be opened does not stop the run; without "/log"
nothing is written."""
import os
import unittest

from e2e import SAMPLE, SAMPLE_CONFIG, Prefix, build_installer, main, read_package_config

INSTALL_DIR = "C:\\Apps\\Tervaset\\Orvane"


def read_log(prefix, path):
    with open(prefix.host(path), "rb") as f:
        return f.read().decode("utf-8")


class RunLog(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("run_log")
        work = os.path.join(cls.prefix.root, "work")
        cls.installer = build_installer(os.path.join(work, "setup.exe"), SAMPLE_CONFIG, folder=SAMPLE)
        # One byte of the archive's data flipped: the checksum no longer matches.
        p, length, _ = read_package_config(cls.installer)
        with open(cls.installer, "rb") as f:
            data = bytearray(f.read())
        data[p + 8 + length + 100] ^= 0xFF
        cls.damaged = os.path.join(work, "damaged.exe")
        with open(cls.damaged, "wb") as f:
            f.write(data)
        os.makedirs(cls.prefix.host("C:\\my logs"), exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def test_1_without_log_nothing_is_written(self):
        before = self.prefix.snapshot()
        # A log whose folder does not exist only turns the log off.
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "C:\\Apps", "/log", "C:\\none\\x.log"]), 0)
        self.prefix.wait()
        self.assertTrue(os.path.exists(self.prefix.host(INSTALL_DIR + "\\Orvane.exe")))
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "C:\\Apps"]), 0)
        self.prefix.wait()
        added = [k for k in self.prefix.snapshot() if k not in before]
        self.assertEqual([k for k in added if k.lower().endswith(".log") or "none" in k], [])

    def test_2_install_and_removal_append_their_steps(self):
        log = "C:\\my logs\\setup.log"
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "C:\\Apps", "/log", log]), 0)
        self.prefix.wait()
        text = read_log(self.prefix, log)
        for expected in ["Pivset 1.0.0 for Pellio, on Windows", "command line: ", "/log",
                         "run: install, quiet", "install into " + INSTALL_DIR,
                         "package read, archive checksum matches", "archive checked",
                         "removing the previous installation of " + INSTALL_DIR + "\\unins000.exe",
                         "wrote " + INSTALL_DIR + "\\文档\\用户手册.txt", "extracted ",
                         "wrote " + INSTALL_DIR + "\\unins000.exe",
                         "registered HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane",
                         "install done", "result code 0"]:
            self.assertIn(expected, text, "\n" + text[-3000:])
        self.assertNotIn("FAILED", text)
        self.assertTrue(text.endswith("\r\n"))

        # The removal relaunches from the temporary folder; both processes
        # append to the one file, whose name holds a blank.
        self.assertEqual(self.prefix.run([INSTALL_DIR + "\\unins000.exe", "/q", "/log", log]), 0)
        self.prefix.wait()
        removal = read_log(self.prefix, log)[len(text):]
        self.assertFalse(os.path.exists(self.prefix.host(INSTALL_DIR)))
        for expected in ["run: removal, quiet", "the uninstaller restarts from its copy ",
                         "removed " + INSTALL_DIR + "\\Orvane.exe", "result code 0"]:
            self.assertIn(expected, removal)
        self.assertEqual(removal.count("Pivset 1.0.0 for Pellio"), 2)

    def test_3_a_failing_install_records_its_failure_and_code(self):
        log = "C:\\failed.log"
        self.assertEqual(self.prefix.run([self.damaged, "/q", "/D", "C:\\Apps2", "/log", log]), 9)
        self.prefix.wait()
        text = read_log(self.prefix, log)
        self.assertIn("FAILED: reading the package: code 9 (很抱歉，安装包校验失败，请尝试重新下载...Orz): error ", text)
        self.assertIn("result code 9", text)
        self.assertNotIn("wrote ", text)


if __name__ == "__main__":
    main()
