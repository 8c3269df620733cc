#!/usr/bin/env python3
"""Quiet installs of the sample product: what lands on the drive, in the
uninstaller's document and in the registry; then a reinstall over it, and
installs that would go back to an older version."""
import datetime
import io
import os
import shutil
import subprocess
import unittest
import zipfile

from e2e import (BUILD, HELPERS, SAMPLE, SAMPLE_CONFIG, UNINSTALL_KEY, Prefix, build_installer, decode_paths, diff,
                 main, read_package_config, sample_files)

import json

INSTALL_DIR = "C:\\Apps\\Tervaset\\Orvane"
OLDER_STUB = os.path.join(BUILD, "setup-stub-older.exe")
NEWER_VERSION_INSTALLED = 1638


def estimated_size(product, uninstaller):
    """Kilobytes of the product's files and the uninstaller, rounded up."""
    total = os.path.getsize(uninstaller)
    for base, _, files in os.walk(product):
        total += sum(os.path.getsize(os.path.join(base, f)) for f in files)
    return (total + 1023) // 1024


def check_registration(test, values, product, uninstaller_host, version="1.0.0"):
    """The values Apps & features and deployment tools read, besides the seven."""
    uninstaller = INSTALL_DIR + "\\unins000.exe"
    major, minor = (int(p) for p in version.split(".")[:2])
    test.assertEqual(values["DisplayVersion"], ("REG_SZ", version))
    test.assertEqual(values["VersionMajor"], ("REG_DWORD", hex(major)))
    test.assertEqual(values["VersionMinor"], ("REG_DWORD", hex(minor)))
    test.assertEqual(values["InstallLocation"], ("REG_SZ", INSTALL_DIR))
    test.assertEqual(values["EstimatedSize"],
                     ("REG_DWORD", hex(estimated_size(product, uninstaller_host))))
    test.assertEqual(values["QuietUninstallString"], ("REG_SZ", '"%s" /q' % uninstaller))
    test.assertEqual(values["NoModify"], ("REG_DWORD", "0x1"))
    test.assertEqual(values["NoRepair"], ("REG_DWORD", "0x1"))
    test.assertEqual(values["URLInfoAbout"], values["HelpLink"])
    today = datetime.date.today()
    test.assertIn(values["InstallDate"][1], [(today - datetime.timedelta(days=d)).strftime("%Y%m%d") for d in (0, 1)])
    test.assertEqual(len(values), 17)


def payload(dest, extra=None, drop=()):
    """The sample product plus the marker program, in a folder of its own."""
    shutil.rmtree(dest, ignore_errors=True)
    shutil.copytree(SAMPLE, dest)
    os.makedirs(os.path.join(dest, "tools"), exist_ok=True)
    shutil.copy(os.path.join(HELPERS, "Marker.exe"), os.path.join(dest, "tools", "marker.exe"))
    for rel in drop:
        os.remove(os.path.join(dest, rel))
    for rel, data in (extra or {}).items():
        os.makedirs(os.path.dirname(os.path.join(dest, rel)), exist_ok=True)
        with open(os.path.join(dest, rel), "wb") as f:
            f.write(data)
    return dest


def archive_entries(installer):
    """Entry names of the installer's archive, in archive order, decoded."""
    p, length, _ = read_package_config(installer)
    with open(installer, "rb") as f:
        data = f.read()
    z = int.from_bytes(data[p + 4 + length:p + 8 + length], "little")
    archive = data[p + 8 + length:p + 8 + length + z]
    with zipfile.ZipFile(io.BytesIO(archive)) as zf:
        return [i.filename.encode("cp437").decode("cp936") if i.flag_bits & 0x800 == 0 else i.filename
                for i in zf.infolist()]


class QuietInstall(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("quiet_install")
        cls.work = os.path.join(cls.prefix.root, "work")
        config = dict(SAMPLE_CONFIG)
        config["uninstrun"] = ["tools\\marker.exe uninstrun-ran.txt"]
        config["instrun"] = ["tools\\marker.exe instrun-ran.txt"]
        config["instoptions"] = ["tools\\marker.exe instoptions-ran.txt"]
        cls.config = config
        cls.installer = build_installer(os.path.join(cls.work, "v1", "setup.exe"), config,
                                        folder=payload(os.path.join(cls.work, "v1", "product")))
        # Windows 7 has a Quick Launch folder; a fresh Wine prefix has not.
        cls.quick_launch = os.path.join(cls.prefix.profile(), "AppData", "Roaming", "Microsoft",
                                        "Internet Explorer", "Quick Launch")
        os.makedirs(cls.quick_launch, exist_ok=True)
        cls.rc = cls.prefix.run([cls.installer, "/q", "/D", "C:\\Apps"])
        cls.prefix.wait()

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def test_1_installs_every_file_byte_for_byte(self):
        self.assertEqual(self.rc, 0)
        root = self.prefix.host(INSTALL_DIR)
        expected = sample_files()
        for rel, data in expected.items():
            with open(os.path.join(root, *rel.split("\\")), "rb") as f:
                self.assertEqual(f.read(), data, rel)
        # The instoptions and instrun programs ran (they are not waited for).
        self.prefix.wait()
        for marker in ("instoptions-ran.txt", "instrun-ran.txt"):
            self.assertTrue(os.path.exists(os.path.join(root, "tools", marker)), marker)
        # No temporary archive is left anywhere.
        for folder in (self.prefix.temp(), root):
            self.assertFalse([f for f in os.listdir(folder) if f.endswith(".zip")], folder)

    def test_2_uninstaller_document_lists_what_was_written(self):
        uninstaller = os.path.join(self.prefix.host(INSTALL_DIR), "unins000.exe")
        p, length, text = read_package_config(uninstaller)
        with open(self.installer, "rb") as f:
            setup_p = read_package_config(self.installer)[0]
        self.assertEqual(p, setup_p)
        self.assertEqual(os.path.getsize(uninstaller), p + 4 + length)
        self.assertTrue(text.endswith("\n"))
        doc = json.loads(text)
        self.assertEqual(doc["mode"], 0)
        self.assertEqual(doc["channel"], 30001)
        self.assertEqual(decode_paths([doc["setup"]["root"]]), [INSTALL_DIR])
        self.assertEqual(doc["setup"]["shortcut"], self.config["shortcut"])
        self.assertEqual(doc["uninstrun"], self.config["uninstrun"])
        for key in ("lastrun", "instrun", "instoptions", "zcrc32"):
            self.assertNotIn(key, doc)
        entries = archive_entries(self.installer)
        folders = [INSTALL_DIR + "\\" + e[:-1] for e in entries if e.endswith("/")]
        files = [INSTALL_DIR + "\\" + e for e in entries if not e.endswith("/")]
        # Every folder entry in archive order, then the folder of the last
        # file (the install folder: the top folder's files come last).
        self.assertEqual(decode_paths(doc["folders"]), folders + [INSTALL_DIR])
        self.assertEqual(decode_paths(doc["files"]), files)

    def test_3_registration_in_the_32_bit_view(self):
        values = self.prefix.reg_values(UNINSTALL_KEY, "32")
        uninstaller = INSTALL_DIR + "\\unins000.exe"
        self.assertEqual(values["DisplayName"], ("REG_SZ", "Pellio"))
        self.assertEqual(values["DisplayIcon"], ("REG_SZ", uninstaller))
        self.assertEqual(values["UninstallString"], ("REG_SZ", uninstaller))
        self.assertEqual(values["Lang"], ("REG_SZ", "2052"))
        self.assertEqual(values["Channel"], ("REG_DWORD", "0x7531"))
        self.assertIn("Publisher", values)
        self.assertIn("HelpLink", values)
        check_registration(self, values, os.path.join(self.work, "v1", "product"),
                           os.path.join(self.prefix.host(INSTALL_DIR), "unins000.exe"))
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY, "64"))

    def test_4_links_point_at_the_product(self):
        target = (INSTALL_DIR + "\\Orvane.exe").encode("utf-16-le")
        links = [
            os.path.join(self.prefix.dir, "drive_c", "users", "Public", "Desktop", "Pellio.lnk"),
            os.path.join(self.prefix.dir, "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu",
                         "Programs", "Tervaset", "Pellio", "Pellio.lnk"),
            os.path.join(self.quick_launch, "Pellio.lnk"),  # Windows 7: Quick Launch too
        ]
        for link in links:
            with open(link, "rb") as f:
                data = f.read()
            self.assertTrue(target in data or (INSTALL_DIR + "\\Orvane.exe").encode() in data, link)

    def test_5_reinstall_removes_the_previous_version_first(self):
        config = dict(self.config)
        del config["instrun"], config["instoptions"]
        product = payload(os.path.join(self.work, "v2", "product"), extra={"data\\new.txt": b"v2"},
                          drop=["readme.txt"])
        v2 = build_installer(os.path.join(self.work, "v2", "setup.exe"), config, folder=product)
        root = self.prefix.host(INSTALL_DIR)
        with open(os.path.join(root, "user-notes.txt"), "w") as f:
            f.write("a file the user put there")
        # Without "/D" the folder of the registered installation is taken.
        self.assertEqual(self.prefix.run([v2, "/q"]), 0)
        self.prefix.wait()
        self.assertFalse(os.path.exists(os.path.join(root, "readme.txt")))
        with open(os.path.join(root, "data", "new.txt"), "rb") as f:
            self.assertEqual(f.read(), b"v2")
        # The old install folder went with everything in it, user files too.
        self.assertFalse(os.path.exists(os.path.join(root, "user-notes.txt")))
        # The previous version's clean-up programs do not run at an install.
        self.assertFalse(os.path.exists(os.path.join(root, "tools", "uninstrun-ran.txt")))
        values = self.prefix.reg_values(UNINSTALL_KEY)
        self.assertEqual(values["UninstallString"][1], INSTALL_DIR + "\\unins000.exe")
        # The size is the new version's, counted afresh.
        check_registration(self, values, product, os.path.join(root, "unins000.exe"))

    def test_6_links_planted_in_the_product_stop_a_reinstall_before_it_changes_anything(self):
        """Everyone may write in the install folder: a link planted there
        must not let the next (elevated) install write, rename or open up
        anything outside the product."""
        product = payload(os.path.join(self.work, "v3", "product"))
        v3 = build_installer(os.path.join(self.work, "v3", "setup.exe"), self.config, folder=product)
        self.assertEqual(self.prefix.run([v3, "/q", "/D", "C:\\Apps"]), 0)
        self.prefix.wait()
        root = self.prefix.host(INSTALL_DIR)
        bait = self.prefix.host("C:\\Bait")
        os.makedirs(os.path.join(bait, "locale"), exist_ok=True)
        for rel in ("config.ini", "readme.txt", "unins000.exe", "locale/x.txt"):
            with open(os.path.join(bait, rel), "w") as f:
                f.write("bait " + rel)
        # The data folder for the product (the maker's folder a link to a
        # folder that holds one of that name): no grant reaches through it.
        appdata = os.path.join(self.prefix.profile(), "AppData", "Roaming")
        os.makedirs(os.path.join(bait, "Orvane"), exist_ok=True)
        os.chmod(os.path.join(bait, "Orvane"), 0o750)
        os.symlink(bait, os.path.join(appdata, "Tervaset"))
        self.addCleanup(os.remove, os.path.join(appdata, "Tervaset"))

        def unchanged():
            return {k: v for k, v in self.prefix.snapshot().items() if k.startswith("Bait")}, \
                   os.stat(os.path.join(bait, "Orvane")).st_mode

        for what, rel, target in (("a folder", "data", bait), ("a file", "readme.txt", os.path.join(bait, "readme.txt")),
                                  ("the uninstaller", "unins000.exe", os.path.join(bait, "unins000.exe"))):
            planted = os.path.join(root, rel)
            kept = planted + ".kept"
            os.rename(planted, kept)
            os.symlink(target, planted)
            bait_before = unchanged()
            installed = {k: v for k, v in self.prefix.snapshot().items() if k.startswith("Apps")}
            self.assertEqual(self.prefix.run([v3, "/q"]), 8, what)
            self.prefix.wait()
            self.assertEqual(unchanged(), bait_before, what)
            # Nothing of the installed version changed either.
            self.assertEqual({k: v for k, v in self.prefix.snapshot().items() if k.startswith("Apps")}, installed, what)
            self.assertIsNotNone(self.prefix.reg_values(UNINSTALL_KEY), what)
            os.remove(planted)
            os.rename(kept, planted)
        # The links gone, the same installer installs.
        self.assertEqual(self.prefix.run([v3, "/q"]), 0)
        self.prefix.wait()
        self.assertEqual(unchanged()[1], 0o40750)


class Downgrade(unittest.TestCase):
    """An installer older than the registered version: refused unless the
    command line says "/downgrade"; one older than a registration without a
    version (an older build of ours) upgrades as before."""

    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix("downgrade", display=False)
        work = os.path.join(cls.prefix.root, "work")
        cls.newer = build_installer(os.path.join(work, "newer", "setup.exe"), SAMPLE_CONFIG, folder=SAMPLE)
        cls.older = build_installer(os.path.join(work, "older", "setup.exe"), SAMPLE_CONFIG,
                                    folder=payload(os.path.join(work, "older", "product"),
                                                   extra={"older.txt": b"0.9"}), stub=OLDER_STUB)
        cls.root = cls.prefix.host(INSTALL_DIR)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def version(self):
        return self.prefix.reg_values(UNINSTALL_KEY)["DisplayVersion"][1]

    def test_1_refused_quietly_before_anything_is_touched(self):
        p = self.prefix
        self.assertEqual(p.run([self.newer, "/q", "/D", "C:\\Apps"]), 0)
        p.wait()
        before, registered = p.snapshot(skip=("users",)), p.reg_values(UNINSTALL_KEY)
        log = os.path.join(p.temp(), "downgrade.log")
        self.assertEqual(p.run_full_code([self.older, "/q", "/log", p.windows_path(log)]), NEWER_VERSION_INSTALLED)
        p.wait()
        self.assertEqual(diff(before, p.snapshot(skip=("users",))), ([], [], []))
        self.assertEqual(p.reg_values(UNINSTALL_KEY), registered)
        with open(log, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("version 1.0.0 is installed, newer than this 0.9.0", text)
        self.assertIn("result code 1638", text)
        self.assertNotIn("reading the package", text)

    def test_2_made_with_the_switch_and_upgraded_again(self):
        p = self.prefix
        self.assertEqual(p.run([self.older, "/q", "/downgrade"]), 0)
        p.wait()
        self.assertEqual(self.version(), "0.9.0")
        self.assertTrue(os.path.exists(os.path.join(self.root, "older.txt")))
        check_registration(self, p.reg_values(UNINSTALL_KEY), os.path.join(p.root, "work", "older", "product"),
                           os.path.join(self.root, "unins000.exe"), version="0.9.0")
        # A newer version installs over it without being asked.
        self.assertEqual(p.run([self.newer, "/q"]), 0)
        p.wait()
        self.assertEqual(self.version(), "1.0.0")
        self.assertFalse(os.path.exists(os.path.join(self.root, "older.txt")))

    def test_3_a_registration_without_a_version_is_upgraded_as_before(self):
        p = self.prefix
        subprocess.run(["wine", "reg", "delete", UNINSTALL_KEY, "/v", "DisplayVersion", "/f", "/reg:32"], env=p.env,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertNotIn("DisplayVersion", p.reg_values(UNINSTALL_KEY))
        self.assertEqual(p.run([self.older, "/q"]), 0)
        p.wait()
        self.assertEqual(self.version(), "0.9.0")
        self.assertTrue(os.path.exists(os.path.join(self.root, "older.txt")))


class QuietInstallWindows10(unittest.TestCase):
    """Windows 10 has no Quick Launch bar and lets no program pin itself."""

    def test_no_quick_launch_link_even_when_the_folder_exists(self):
        prefix = Prefix("quiet_install_win10", version="win10")
        self.addCleanup(prefix.close)
        quick_launch = os.path.join(prefix.profile(), "AppData", "Roaming", "Microsoft", "Internet Explorer",
                                    "Quick Launch")
        os.makedirs(quick_launch, exist_ok=True)
        installer = build_installer(os.path.join(prefix.root, "setup.exe"), SAMPLE_CONFIG, folder=SAMPLE)
        self.assertEqual(prefix.run([installer, "/q", "/D", "C:\\Apps"]), 0)
        prefix.wait()
        self.assertTrue(os.path.exists(prefix.host(INSTALL_DIR + "\\Orvane.exe")))
        self.assertEqual(os.listdir(quick_launch), [])
        self.assertTrue(os.path.exists(os.path.join(prefix.dir, "drive_c", "users", "Public", "Desktop", "Pellio.lnk")))
        self.assertEqual(prefix.run([INSTALL_DIR + "\\unins000.exe", "/q"]), 0)
        prefix.wait()
        self.assertFalse(os.path.exists(prefix.host(INSTALL_DIR)))


if __name__ == "__main__":
    main()
