#!/usr/bin/env python3
"""Chinese file names install the same on a Chinese system (ANSI code page
936) and on a Western one (C.UTF-8: code page 1252): from the builder's
default output (UTF-8 names, ZIP flag bit 11), from a ZIP made by Python's
zipfile, and from legacy code-page names that carry an Info-ZIP Unicode Path
field. A legacy archive without the field shows that the second prefix
really reads names in 1252; a flagged name that is not UTF-8, and names
that would land on one file, fail before anything is touched."""
import json
import os
import shutil
import struct
import unittest
import zipfile
import zlib

from e2e import (SAMPLE, SAMPLE_CONFIG, UNINSTALL_KEY, WORK, Prefix, build_installer, decode_paths, diff, main,
                 raw_installer, read_package_config, sample_files)

INSTALL_DIR = "C:\\Apps\\Tervaset\\Orvane"


class RawNameInfo(zipfile.ZipInfo):
    """A ZipInfo whose name is written as the given bytes with the given
    flags (zipfile itself writes non-ASCII names only as flagged UTF-8)."""

    def __init__(self, raw, flags=0):
        super().__init__(raw.decode("latin-1"))
        self.raw, self.raw_flags = raw, flags

    def _encodeFilenameFlags(self):
        return self.raw, self.flag_bits | self.raw_flags


def sample_zip(name_of):
    """The sample product as a ZIP: folder entries first, each entry made by
    name_of(utf-8 name) -> ZipInfo."""
    path = os.path.join(WORK, "entry-names.zip")
    entries = []
    for base, dirs, files in os.walk(SAMPLE):
        dirs.sort()
        rel = os.path.relpath(base, SAMPLE)
        prefix = "" if rel == "." else rel.replace(os.sep, "/") + "/"
        if prefix:
            entries.append((prefix, None))
        for f in sorted(files):
            with open(os.path.join(base, f), "rb") as fh:
                entries.append((prefix + f, fh.read()))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            info = name_of(name)
            info.compress_type = zipfile.ZIP_STORED if data is None else zipfile.ZIP_DEFLATED
            info.external_attr = 0x10 if data is None else 0x20
            z.writestr(info, data or b"")
    with open(path, "rb") as f:
        raw = f.read()
    os.remove(path)
    return raw


def unicode_path_info(name):
    """Name in code page 936 without the flag, plus the 0x7075 field."""
    raw = name.encode("cp936")
    info = RawNameInfo(raw)
    utf8 = name.encode("utf-8")
    info.extra = struct.pack("<HHBI", 0x7075, 5 + len(utf8), 1, zlib.crc32(raw)) + utf8
    return info


class EntryNames(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = os.path.join(WORK, "entry_names_work")
        os.makedirs(cls.work, exist_ok=True)
        cls.installers = {
            "builder default": build_installer(os.path.join(cls.work, "default.exe"), SAMPLE_CONFIG, folder=SAMPLE),
            "python zipfile": build_installer(os.path.join(cls.work, "zipfile.exe"), SAMPLE_CONFIG,
                                              zip_bytes=sample_zip(zipfile.ZipInfo)),
            "unicode path field": build_installer(os.path.join(cls.work, "field.exe"), SAMPLE_CONFIG,
                                                  zip_bytes=sample_zip(unicode_path_info)),
        }
        cls.legacy = build_installer(os.path.join(cls.work, "legacy.exe"), SAMPLE_CONFIG,
                                     zip_bytes=sample_zip(lambda n: RawNameInfo(n.encode("cp936"))))
        bad = [("ok.txt", b"x"), (RawNameInfo(b"bad-\xCE\xC4.txt", 0x800), b"y")]
        cls.bad = raw_installer(os.path.join(cls.work, "bad.exe"), json.dumps(SAMPLE_CONFIG), cls.make_zip(bad))
        # Names that would land on one file: a file and a folder of one name
        # in any case, a long name and what could be its short name.
        cls.clashes = [
            raw_installer(os.path.join(cls.work, "clash%d.exe" % i), json.dumps(SAMPLE_CONFIG), cls.make_zip(entries))
            for i, entries in enumerate([
                [("Orvane.exe", b"x"), ("bin", b"1"), ("BIN/x.dll", b"2")],
                [("Orvane.exe", b"x"), ("a.txt", b"1"), ("A.TXT/", b"")],
                [("d/", b""), ("d/k.txt", b"1"), ("d", b"2")],
                [("longfilename.txt", b"1"), ("LONGFI~1.TXT", b"2")],
            ])]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    @staticmethod
    def make_zip(entries):
        path = os.path.join(WORK, "entry-names-bad.zip")
        with zipfile.ZipFile(path, "w") as z:
            for info, data in entries:
                z.writestr(info, data)
        with open(path, "rb") as f:
            raw = f.read()
        os.remove(path)
        return raw

    def installed_tree(self, prefix):
        root = prefix.host(INSTALL_DIR)
        tree = {}
        for base, dirs, files in os.walk(root):
            for f in files:
                p = os.path.join(base, f)
                with open(p, "rb") as fh:
                    tree[os.path.relpath(p, root).replace(os.sep, "\\")] = fh.read()
        return tree

    def check_prefix(self, name, lang):
        prefix = Prefix(name)
        try:
            prefix.env.update({"LANG": lang, "LC_ALL": lang})
            expected = sample_files()
            for kind, installer in self.installers.items():
                what = "%s, %s" % (lang, kind)
                self.assertEqual(prefix.run([installer, "/q", "/D", "C:\\Apps"]), 0, what)
                prefix.wait()
                tree = self.installed_tree(prefix)
                self.assertIsNotNone(tree.pop("unins000.exe", None), what)
                # Exactly the product: the right names, every byte, and no
                # file of an earlier run left under another name.
                self.assertEqual(sorted(tree), sorted(expected), what)
                for rel, data in expected.items():
                    self.assertEqual(tree[rel], data, what + ": " + rel)
                uninstaller = os.path.join(prefix.host(INSTALL_DIR), "unins000.exe")
                doc = json.loads(read_package_config(uninstaller)[2])
                # The document keeps the entries' forward slashes.
                files = [p.replace("/", "\\") for p in decode_paths(doc["files"])]
                folders = [p.replace("/", "\\") for p in decode_paths(doc["folders"])]
                self.assertEqual(sorted(files), sorted(INSTALL_DIR + "\\" + rel for rel in expected), what)
                self.assertIn(INSTALL_DIR + "\\\u8d44\u6e90\\\u56fe\u6807", folders, what)
                self.assertIsNotNone(prefix.reg_values(UNINSTALL_KEY), what)

            # A name flagged UTF-8 that is not: code 8 before anything is
            # touched, the installed product still in place.
            before = prefix.snapshot()
            for bad in [self.bad] + (self.clashes if lang.startswith("zh") else []):
                self.assertEqual(prefix.run([bad, "/q", "/D", "C:\\Apps"]), 8, bad)
                prefix.wait()
                self.assertEqual(diff(before, prefix.snapshot()), ([], [], []), bad)

            # Legacy names are read in the system's code page.
            self.assertEqual(prefix.run([self.legacy, "/q", "/D", "C:\\Apps"]), 0, lang)
            prefix.wait()
            tree = self.installed_tree(prefix)
            manual = "\u6587\u6863\\\u7528\u6237\u624b\u518c.txt"
            seen = manual if lang.startswith("zh") else manual.encode("cp936").decode("cp1252")
            self.assertIn(seen, tree, lang)
        finally:
            prefix.close()

    def test_chinese_and_western_systems(self):
        self.check_prefix("entry_names_zh", "zh_CN.UTF-8")
        self.check_prefix("entry_names_c", "C.UTF-8")


if __name__ == "__main__":
    main()
