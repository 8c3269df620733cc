#!/usr/bin/env python3
"""Quiet removals: the uninstaller moves to the temporary folder, restarts,
and removes files, folders, links, registration and the maker's key; a
damaged uninstall document removes nothing."""
import base64
import json
import os
import shutil
import struct
import unittest

from e2e import (HELPERS, SAMPLE, SAMPLE_CONFIG, STUB, UNINSTALL_KEY, Prefix, build_installer, diff, main,
                 read_package_config)

INSTALL_DIR = "C:\\Apps\\Tervaset\\Orvane"
MAKER_KEY = "HKCU\\Software\\Tervaset\\Zembra"


def uninstaller_with(document_text):
    """The uninstaller image of the stub with the given document text."""
    with open(STUB, "rb") as f:
        image = bytearray(f.read())
    lfanew = struct.unpack_from("<I", image, 60)[0]
    struct.pack_into("<I", image, lfanew - 4, len(image))  # the locator
    data = document_text.encode("utf-8")
    return bytes(image) + struct.pack("<I", len(data)) + data


def pending_deletions(prefix):
    """The paths Windows is to delete or rename at its next start, lower case,
    as the ended session left them in the prefix's registry file."""
    with open(os.path.join(prefix.dir, "system.reg"), encoding="utf-8", errors="replace") as f:
        text = f.read()
    for line in text.split("\n"):
        if line.startswith('"PendingFileRenameOperations"='):
            # str(7):"\\??\\C:\\...\0\0...": escaped backslashes, "\0" between entries.
            value = line.split("=", 1)[1].split('"', 1)[1].rstrip('"').replace("\\\\", "\\")
            return [e[4:].lower() if e.startswith("\\??\\") else e.lower() for e in value.split("\\0")]
    return []


class QuietUninstall(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("quiet_uninstall")
        product = os.path.join(cls.prefix.root, "work", "product")
        shutil.copytree(SAMPLE, product)
        os.makedirs(os.path.join(product, "tools"))
        shutil.copy(os.path.join(HELPERS, "Marker.exe"), os.path.join(product, "tools", "marker.exe"))
        config = dict(SAMPLE_CONFIG)
        # The clean-up program waits a little, so waiting for it is visible.
        config["uninstrun"] = ["tools\\marker.exe uninstrun-ran.txt 300"]
        cls.installer = build_installer(os.path.join(cls.prefix.root, "work", "setup.exe"), config, folder=product)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def install(self):
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "C:\\Apps"]), 0)
        self.prefix.wait()
        self.prefix.reg_add(MAKER_KEY, "x", "REG_SZ", "1", view="32")

    def test_1_removes_everything_the_install_made(self):
        # A snapshot of the drive before, without the temporary folder (the
        # uninstaller's copy stays there) and Wine's own churn.
        before = self.prefix.snapshot(skip=("users",))
        self.install()
        root = self.prefix.host(INSTALL_DIR)
        self.assertTrue(os.path.exists(os.path.join(root, "Orvane.exe")))
        # The user adds a file to the install folder: it goes with the folder.
        with open(os.path.join(root, "data", "notes.txt"), "w") as f:
            f.write("mine")
        uninstaller = INSTALL_DIR + "\\unins000.exe"
        self.assertEqual(self.prefix.run([uninstaller, "/q"]), 0)
        self.prefix.wait()
        # The copy that did the work ran from the temporary folder, and has
        # itself and its folder deleted at the next start of Windows. Wine
        # keeps that list where Windows does, and works through it when its
        # next session starts.
        relocated = os.path.join(self.prefix.temp(), "Orvane")
        self.assertTrue(os.path.exists(os.path.join(relocated, "unins000.exe")))
        pending = pending_deletions(self.prefix)
        self.assertIn(self.prefix.windows_path(os.path.join(relocated, "unins000.exe")).lower(), pending)
        self.assertIn(self.prefix.windows_path(relocated).lower(), pending)
        self.prefix.run(["cmd", "/c", "exit"])
        self.prefix.wait()
        self.assertFalse(os.path.exists(relocated))
        self.assertFalse(os.path.exists(root))
        added, removed, changed = diff(before, self.prefix.snapshot(skip=("users",)))
        # Only the folder "/D" named stays: it was never the product's. The
        # maker's folder went once it was empty.
        self.assertEqual(added, ["Apps/"])
        self.assertEqual(removed, [])
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY))
        self.assertIsNone(self.prefix.reg_values(MAKER_KEY))
        desktop = os.path.join(self.prefix.dir, "drive_c", "users", "Public", "Desktop", "Pellio.lnk")
        self.assertFalse(os.path.exists(desktop))

    def test_2_runs_the_clean_up_programs_and_waits_for_them(self):
        self.install()
        root = self.prefix.host(INSTALL_DIR)
        # Another product of the maker keeps the maker's folder.
        other = os.path.join(os.path.dirname(root), "Other")
        os.makedirs(other)
        with open(os.path.join(other, "keep.txt"), "w") as f:
            f.write("another product")
        self.addCleanup(shutil.rmtree, other)
        # The clean-up program's marker would go with the install folder, so
        # the document points at a copy of the program outside it.
        uninstaller = os.path.join(root, "unins000.exe")
        p, length, text = read_package_config(uninstaller)
        doc = json.loads(text)
        outside = self.prefix.host("C:\\Marks")
        os.makedirs(outside, exist_ok=True)
        shutil.copy(os.path.join(HELPERS, "Marker.exe"), os.path.join(outside, "marker.exe"))
        # The second one writes down the folder it was started in: the copy's.
        doc["uninstrun"] = ["..\\..\\..\\Marks\\marker.exe uninstrun-ran.txt 300",
                            "..\\..\\..\\windows\\system32\\cmd.exe /c cd > C:\\Marks\\cwd.txt"]
        with open(uninstaller, "wb") as f:
            f.write(uninstaller_with(json.dumps(doc)))
        # Started in the install folder, as Explorer starts it.
        self.assertEqual(self.prefix.run([INSTALL_DIR + "\\unins000.exe", "/q"], cwd=INSTALL_DIR), 0)
        self.prefix.wait()
        self.assertTrue(os.path.exists(os.path.join(outside, "uninstrun-ran.txt")))
        self.assertFalse(os.path.exists(root))
        self.assertTrue(os.path.exists(os.path.join(other, "keep.txt")))
        with open(os.path.join(outside, "cwd.txt"), encoding="utf-8", errors="replace") as f:
            self.assertEqual(f.read().strip().lower(),
                             self.prefix.windows_path(os.path.join(self.prefix.temp(), "Orvane")).lower())

    def run_relocated(self, document_text):
        """Runs an uninstaller with this document from the relocation path,
        so no restart hides its exit code."""
        folder = os.path.join(self.prefix.temp(), "Orvane")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "unins000.exe"), "wb") as f:
            f.write(uninstaller_with(document_text))
        path = self.prefix.windows_path(os.path.join(folder, "unins000.exe"))
        return self.prefix.run([path, "/q"])

    def test_3_damaged_documents_remove_nothing(self):
        self.install()
        before = self.prefix.snapshot(skip=("users",))
        uninstaller = os.path.join(self.prefix.host(INSTALL_DIR), "unins000.exe")
        doc = json.loads(read_package_config(uninstaller)[2])
        no_root = dict(doc, setup={"shortcut": doc["setup"]["shortcut"]})
        bad_root = dict(doc, setup=dict(doc["setup"], root="not base64!"))
        windows_root = dict(doc, setup=dict(doc["setup"], root=base64.b64encode(b"C:\\windows").decode()))
        for name, text in (("no root", json.dumps(no_root)), ("root not Base64", json.dumps(bad_root)),
                           ("root is the Windows folder", json.dumps(windows_root))):
            self.assertEqual(self.run_relocated(text), 1, name)
            self.prefix.wait()
            self.assertEqual(diff(before, self.prefix.snapshot(skip=("users",))), ([], [], []), name)
            self.assertIsNotNone(self.prefix.reg_values(UNINSTALL_KEY), name)
        # A document that does not parse fails the start-up check instead,
        # which a quiet run reports with code 1 as well.
        self.assertEqual(self.run_relocated('{"mode":0,"setup":'), 1)
        self.prefix.wait()
        self.assertEqual(diff(before, self.prefix.snapshot(skip=("users",))), ([], [], []))

    def test_4_a_forged_document_reaches_nothing_outside_the_product(self):
        self.install()
        victim = self.prefix.host("C:\\Precious")
        os.makedirs(victim, exist_ok=True)
        with open(os.path.join(victim, "keep.txt"), "w") as f:
            f.write("keep")
        uninstaller = os.path.join(self.prefix.host(INSTALL_DIR), "unins000.exe")
        doc = json.loads(read_package_config(uninstaller)[2])
        enc = lambda p: base64.b64encode(p.encode("utf-8")).decode()
        doc["files"].append(enc("C:\\Precious\\keep.txt"))
        doc["folders"] = [enc("C:\\Precious"), enc(INSTALL_DIR + "\\..\\..\\..\\Precious"), enc("C:\\windows"),
                          enc("C:\\users")] + doc["folders"]
        self.assertEqual(self.run_relocated(json.dumps(doc)), 0)
        self.prefix.wait()
        self.assertTrue(os.path.exists(os.path.join(victim, "keep.txt")))
        self.assertFalse(os.path.exists(self.prefix.host(INSTALL_DIR)))

    def test_5_links_in_the_temporary_folder_are_not_written_through(self):
        self.install()
        relocated = os.path.join(self.prefix.temp(), "Orvane")
        decoy = self.prefix.host("C:\\Decoy")
        os.makedirs(decoy, exist_ok=True)
        victim = os.path.join(decoy, "victim.exe")
        with open(victim, "wb") as f:
            f.write(b"victim")
        uninstaller = INSTALL_DIR + "\\unins000.exe"
        # The relocation folder a link to another folder (Wine shows a Unix
        # link to a folder as a reparse point): refused, nothing removed.
        shutil.rmtree(relocated, ignore_errors=True)
        os.symlink(decoy, relocated)
        self.assertEqual(self.prefix.run([uninstaller, "/q"]), 1)
        self.prefix.wait()
        self.assertEqual(sorted(os.listdir(decoy)), ["victim.exe"])
        self.assertTrue(os.path.exists(os.path.join(self.prefix.host(INSTALL_DIR), "Orvane.exe")))
        self.assertIsNotNone(self.prefix.reg_values(UNINSTALL_KEY))
        # The copy's name a link to a file (a reparse point on Windows; Wine
        # shows the file it points to, under a final path not the link's):
        # refused too, the link's target untouched.
        os.remove(relocated)
        os.makedirs(relocated)
        os.symlink(victim, os.path.join(relocated, "unins000.exe"))
        self.assertEqual(self.prefix.run([uninstaller, "/q"]), 1)
        self.prefix.wait()
        with open(victim, "rb") as f:
            self.assertEqual(f.read(), b"victim")
        self.assertTrue(os.path.islink(os.path.join(relocated, "unins000.exe")))
        self.assertTrue(os.path.exists(os.path.join(self.prefix.host(INSTALL_DIR), "Orvane.exe")))
        # An old copy of its own is replaced by a new file, and the removal runs.
        os.remove(os.path.join(relocated, "unins000.exe"))
        with open(os.path.join(relocated, "unins000.exe"), "wb") as f:
            f.write(b"stale")
        self.assertEqual(self.prefix.run([uninstaller, "/q"]), 0)
        self.prefix.wait()
        self.assertFalse(os.path.exists(self.prefix.host(INSTALL_DIR)))
        with open(os.path.join(relocated, "unins000.exe"), "rb") as f:
            self.assertEqual(f.read(2), b"MZ")
    def test_6_the_caller_gets_the_removals_result_when_it_is_over(self):
        root = self.prefix.host(INSTALL_DIR)
        uninstaller = INSTALL_DIR + "\\unins000.exe"
        # Done: when the uninstaller returns 0 the product is gone already
        # (no waiting for the prefix's other programs here).
        self.install()
        self.assertEqual(self.prefix.run([uninstaller, "/q"]), 0)
        self.assertFalse(os.path.exists(root))
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY))
        self.prefix.wait()
        # Failed: a damaged document reaches the caller as 1, through the copy.
        self.install()
        with open(os.path.join(root, "unins000.exe"), "wb") as f:
            f.write(uninstaller_with('{"mode":0,"setup":{"root":"not base64!"}}'))
        before = self.prefix.snapshot(skip=("users",))
        self.assertEqual(self.prefix.run([uninstaller, "/q"]), 1)
        self.prefix.wait()
        self.assertEqual(diff(before, self.prefix.snapshot(skip=("users",))), ([], [], []))
        self.assertIsNotNone(self.prefix.reg_values(UNINSTALL_KEY))
        # A script removes the product and at once installs the next one:
        # the removal is over before the install starts.
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "C:\\Apps"]), 0)
        self.prefix.wait()
        self.assertEqual(self.prefix.run([uninstaller, "/q"]), 0)
        self.assertEqual(self.prefix.run([self.installer, "/q", "/D", "C:\\Apps"]), 0)
        self.prefix.wait()
        self.assertTrue(os.path.exists(os.path.join(root, "Orvane.exe")))
        self.assertTrue(os.path.exists(os.path.join(root, "unins000.exe")))
        self.assertEqual(self.prefix.reg_values(UNINSTALL_KEY)["UninstallString"][1], uninstaller)

    def test_7_links_planted_in_the_install_folder_are_not_followed(self):
        self.install()
        root = self.prefix.host(INSTALL_DIR)
        bait = self.prefix.host("C:\\Bait")
        os.makedirs(os.path.join(bait, "locale", "zh-CN"), exist_ok=True)
        # Files of the names the removal deletes, where the links lead.
        for rel in ("config.ini", "sample.bin", "locale/zh-CN/strings.txt", "readme.txt"):
            with open(os.path.join(bait, rel), "w") as f:
                f.write("bait " + rel)
        shutil.rmtree(os.path.join(root, "data"))
        os.symlink(bait, os.path.join(root, "data"))
        os.remove(os.path.join(root, "readme.txt"))
        os.symlink(os.path.join(bait, "readme.txt"), os.path.join(root, "readme.txt"))
        baited = {k: v for k, v in self.prefix.snapshot().items() if k.startswith("Bait")}
        self.assertEqual(self.prefix.run([INSTALL_DIR + "\\unins000.exe", "/q"]), 0)
        self.prefix.wait()
        self.assertEqual({k: v for k, v in self.prefix.snapshot().items() if k.startswith("Bait")}, baited)
        self.assertFalse(os.path.exists(os.path.join(root, "Orvane.exe")))
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY))
        # A link goes itself; under Wine, which cannot remove a host link
        # without reaching its target, it stays, and so does its folder.
        for name in ("data", "readme.txt"):
            path = os.path.join(root, name)
            self.assertTrue(not os.path.lexists(path) or os.path.islink(path), name)
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
