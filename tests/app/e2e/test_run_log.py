#!/usr/bin/env python3
""""/log <file>": a quiet install and its removal append their steps, files
and result to the file (the uninstaller's relaunched copy to the same one,
a path with blanks included, its missing folders made); a failing install
records the failure and its code; a log that cannot be opened, or that is a
link or a second name of another file, ends the run with 1622 before
anything is touched; without "/log" nothing is written. The log names the
run's language and its failure texts are in it: "/lang", else the user's
language, else the fallback; the uninstaller keeps the install's unless
the user's language changed to a shipped one."""
import os
import unittest

from e2e import HELPERS, SAMPLE, SAMPLE_CONFIG, Prefix, build_installer, diff, main, read_package_config, ui_language

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
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "C:\\Apps"]), 0)
        self.prefix.wait()
        self.assertTrue(os.path.exists(self.prefix.host(INSTALL_DIR + "\\Orvane.exe")))
        added = [k for k in self.prefix.snapshot() if k not in before]
        self.assertEqual([k for k in added if k.lower().endswith(".log")], [])

    def test_2_install_and_removal_append_their_steps(self):
        # The folders of the log are made.
        log = "C:\\my logs\\new\\deeper\\setup.log"
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "C:\\Apps", "/log", log]), 0)
        self.prefix.wait()
        text = read_log(self.prefix, log)
        for expected in ["Pivset 1.0.0 for Pellio 1.0.0, on Windows", "command line: ", "/log",
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

    def test_4_a_log_that_cannot_be_opened_ends_the_run_untouched(self):
        bait = self.prefix.host("C:\\bait")
        os.makedirs(bait, exist_ok=True)
        with open(os.path.join(bait, "system.ini"), "w") as f:
            f.write("keep")
        logs = self.prefix.host("C:\\logs")
        os.makedirs(os.path.join(logs, "a folder.log"), exist_ok=True)
        os.symlink(os.path.join(bait, "system.ini"), os.path.join(logs, "file-link.log"))
        os.symlink(bait, os.path.join(logs, "folder-link"))
        os.link(os.path.join(bait, "system.ini"), os.path.join(logs, "hard-link.log"))
        with open(os.path.join(logs, "plain.txt"), "w") as f:
            f.write("a file")
        before = self.prefix.snapshot()
        for name, log in (("a folder", "C:\\logs\\a folder.log"), ("a link to a file", "C:\\logs\\file-link.log"),
                          ("a file in a linked folder", "C:\\logs\\folder-link\\system.ini"),
                          ("a second name", "C:\\logs\\hard-link.log"),
                          ("below a file", "C:\\logs\\plain.txt\\x.log")):
            self.assertEqual(self.prefix.run_full_code([self.installer, "/q", "/D", "C:\\Untouched", "/log", log]),
                             1622, name)
            self.prefix.wait()
            self.assertEqual(diff(before, self.prefix.snapshot()), ([], [], []), name)
        # With the window a message box says so and waits for its answer
        # (the run is ended here once it has waited a while).
        self.assertIsNone(self.prefix.run_full_code([self.installer, "/log", "C:\\logs\\a folder.log"], 5000))
        self.prefix.wait()
        self.assertEqual(diff(before, self.prefix.snapshot()), ([], [], []))
        with open(os.path.join(bait, "system.ini")) as f:
            self.assertEqual(f.read(), "keep")

    def test_5_a_crash_still_writes_what_the_log_holds(self):
        crash = build_installer(os.path.join(self.prefix.root, "work", "crash.exe"), SAMPLE_CONFIG, folder=SAMPLE,
                                stub=os.path.join(HELPERS, "setup-stub-crash.exe"))
        log = "C:\\crash.log"
        self.assertEqual(self.prefix.run_full_code([crash, "/q", "/log", log], 20000), 0xC0000005)
        self.prefix.wait()
        text = read_log(self.prefix, log)
        self.assertIn("crashing on purpose", text)
        self.assertIn("FAILED: the program crashed: exception 0xC0000005", text)

    def test_6_the_language_follows_the_switch_the_user_and_the_install(self):
        def language(args, env=None, code=0):
            log = "C:\\language.log"
            if os.path.exists(self.prefix.host(log)):
                os.remove(self.prefix.host(log))
            self.assertEqual(self.prefix.run(args + ["/q", "/log", log], env=env), code, args)
            self.prefix.wait()
            text = read_log(self.prefix, log)
            found = sorted(set(line.split("language: ", 1)[1].strip() for line in text.splitlines()
                               if "language: " in line))
            return found, text

        english = ui_language("en_US")
        french = ui_language("fr_FR")
        found, text = language([self.damaged, "/lang", "en-US"], code=9)
        self.assertEqual(found, ["en-US"])
        self.assertIn("code 9 (Sorry, the installer failed its integrity check. Please download it again.)", text)
        self.assertEqual(language([self.damaged], english, code=9)[0], ["en-US"])
        self.assertEqual(language([self.damaged, "/lang", "EN_gb"], code=9)[0], ["en-US"])
        # A tag that is not shipped is ignored; a language that is not
        # shipped gets the fallback.
        self.assertEqual(language([self.damaged, "/lang", "xx-YY"], code=9)[0], ["zh-CN"])
        self.assertEqual(language([self.damaged], french, code=9)[0], ["en-US"])

        uninstaller = "C:\\Lang\\Tervaset\\Orvane\\unins000.exe"
        # Installed in English by a Chinese user: removed in English, by both
        # of the uninstaller's processes, unless asked otherwise.
        for removal_env, switch, expected in ((None, [], "en-US"), (None, ["/lang", "zh-CN"], "zh-CN"),
                                              (french, [], "en-US")):
            self.assertEqual(language([self.installer, "/D", "C:\\Lang", "/lang", "en-US"])[0], ["en-US"])
            self.assertEqual(language([uninstaller] + switch, removal_env)[0], [expected], (removal_env, switch))
        # Installed in Chinese; the user has since switched to English.
        self.assertEqual(language([self.installer, "/D", "C:\\Lang"])[0], ["zh-CN"])
        self.assertEqual(language([uninstaller], english)[0], ["en-US"])
        self.assertFalse(os.path.exists(self.prefix.host("C:\\Lang\\Tervaset\\Orvane")))


if __name__ == "__main__":
    main()
