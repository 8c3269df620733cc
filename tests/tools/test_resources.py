#!/usr/bin/env python3
"""What Windows and package managers read of a setup program.

The resources as Explorer and Apps & features read them: windres turns each
built stub back into a resource file, which is parsed here: the icon group
(every size, the larger ones PNG-compressed), the version resource with the
product's texts and numbers, and the manifest's assembly version. And the
package manager's manifest that `pivpack inspect --winget` writes, checked
against the fields and patterns its schema requires."""
import hashlib
import json
import re
import os
import struct
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ["PIVSET_SOURCE_DIR"]
BUILD = os.environ["PIVSET_WIN_BUILD"]
PIVPACK = os.environ.get("PIVSET_HOST_PIVPACK", "")
sys.path.insert(0, os.path.join(SOURCE, "tools", "product"))
import product  # noqa: E402

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


def resources(executable):
    """{(type, name): data} of an executable, through windres."""
    with tempfile.TemporaryDirectory() as tmp:
        res = os.path.join(tmp, "out.res")
        subprocess.run(["x86_64-w64-mingw32-windres", "-i", executable, "-O", "res", "-o", res], check=True)
        with open(res, "rb") as f:
            data = f.read()
    out = {}
    at = 0
    while at + 8 <= len(data):
        size, header = struct.unpack_from("<II", data, at)

        def ident(pos):
            if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
                return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
            end = pos
            while struct.unpack_from("<H", data, end)[0]:
                end += 2
            return data[pos:end].decode("utf-16-le"), end + 2

        kind, pos = ident(at + 8)
        name, _ = ident(pos)
        if size:
            out[(kind, name)] = data[at + header:at + header + size]
        at += header + size
        at = (at + 3) & ~3
    return out


def version_strings(block):
    """The fixed numbers and the string table of a VS_VERSIONINFO block."""
    def node(pos):
        length, value_length, kind = struct.unpack_from("<HHH", block, pos)
        end = pos + 6
        while struct.unpack_from("<H", block, end)[0]:
            end += 2
        key = block[pos + 6:end].decode("utf-16-le")
        value_at = (end + 2 + 3) & ~3
        size = value_length * 2 if kind == 1 else value_length
        value = block[value_at:value_at + size]
        children = []
        child = (value_at + size + 3) & ~3
        while child < pos + length:
            children.append(node(child))
            child = (child + children[-1][3] + 3) & ~3
        return key, value, children, length

    key, fixed, children, _ = node(0)
    assert key == "VS_VERSION_INFO", key
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIIIII", fixed)
    assert signature == 0xFEEF04BD
    numbers = (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF)
    assert numbers == (product_ms >> 16, product_ms & 0xFFFF, product_ls >> 16, product_ls & 0xFFFF)
    tables = {}
    for name, _, items, _ in children:
        if name == "StringFileInfo":
            for language, _, strings, _ in items:
                tables[language] = {k: v.decode("utf-16-le").rstrip("\0") for k, v, _, _ in strings}
    return numbers, tables


class StubResources(unittest.TestCase):
    def check(self, stub, definition):
        with open(definition, encoding="utf-8") as f:
            defined = json.load(f)
        found = resources(os.path.join(BUILD, stub))

        # The first icon group, with every size; the images it names are there.
        groups = sorted(name for kind, name in found if kind == RT_GROUP_ICON)
        self.assertEqual(groups[0], 1)
        group = found[(RT_GROUP_ICON, 1)]
        reserved, kind, count = struct.unpack_from("<HHH", group)
        self.assertEqual((reserved, kind), (0, 1))
        sizes = []
        for i in range(count):
            width, height, _, _, planes, bits, size, image_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            image = found[(RT_ICON, image_id)]
            self.assertEqual(len(image), size)
            self.assertEqual(bits, 32)
            pixels = width or 256
            sizes.append(pixels)
            if pixels >= product.PNG_ICON_SIZE:
                self.assertEqual(image[:8], b"\x89PNG\r\n\x1a\n")
                self.assertEqual(struct.unpack(">II", image[16:24]), (pixels, pixels))
            else:
                header = struct.unpack_from("<IiiHH", image)
                self.assertEqual(header, (40, pixels, pixels * 2, 1, 32))
                # A real mark, not an empty square: some pixels are opaque.
                alphas = image[40 + 3:40 + pixels * pixels * 4:4]
                self.assertGreater(sum(1 for a in alphas if a == 255), pixels * pixels // 2)
        self.assertEqual(sizes, [16, 20, 24, 32, 40, 48, 64, 256])

        numbers, tables = version_strings(found[(RT_VERSION, 1)])
        parts = [int(p) for p in defined["version"].split(".")]
        self.assertEqual(numbers, tuple(parts + [0] * (4 - len(parts))))
        self.assertEqual(list(tables), ["%04x04b0" % defined["language"]])
        strings = tables["%04x04b0" % defined["language"]]
        expected = {
            "CompanyName": defined["publisher"],
            "FileDescription": defined["displayName"] + " Setup",
            "FileVersion": defined["version"],
            "ProductName": defined["displayName"],
            "ProductVersion": defined["version"],
            "OriginalFilename": defined["displayName"].replace(" ", "") + "Setup.exe",
        }
        if defined.get("copyright"):
            expected["LegalCopyright"] = defined["copyright"]
        self.assertEqual(strings, expected)

        manifest = found[(RT_MANIFEST, 1)].decode("utf-8")
        self.assertIn('version="%s"' % ".".join(str(n) for n in numbers), manifest)
        return found

    def test_default_product(self):
        self.check("setup-stub.exe", os.path.join(SOURCE, "resources", "product.json"))

    def test_second_product_with_a_vendor_mark_and_no_copyright(self):
        found = self.check("setup-stub-second.exe",
                           os.path.join(SOURCE, "tests", "app", "e2e", "second-product", "product.json"))
        # Its icon is drawn from its own mark, not the default one.
        default = resources(os.path.join(BUILD, "setup-stub.exe"))
        self.assertNotEqual(found[(RT_ICON, 1)], default[(RT_ICON, 1)])

    def test_resource_texts_survive_any_character(self):
        # Quotes, backslashes and wide characters reach the resource as typed.
        text = 'A "quoted" \\ name 月光 \U0001F600'
        script = product.resources_rc(dict(product.load(os.path.join(SOURCE, "resources", "product.json")),
                                           displayName=text))
        with tempfile.TemporaryDirectory() as tmp:
            rc = os.path.join(tmp, "v.rc")
            with open(rc, "w", encoding="utf-8") as f:
                f.write(script.replace('1 ICON "product.ico"', ""))
            subprocess.run(["x86_64-w64-mingw32-windres", rc, "-O", "res", "-o", os.path.join(tmp, "v.res")],
                           check=True)
            with open(os.path.join(tmp, "v.res"), "rb") as f:
                tables = version_strings(self.version_block(f.read()))[1]
        self.assertEqual(tables["080404b0"]["ProductName"], text)
        self.assertEqual(tables["080404b0"]["FileDescription"], text + " Setup")

    @staticmethod
    def version_block(res):
        at = 0
        while at + 8 <= len(res):
            size, header = struct.unpack_from("<II", res, at)
            if struct.unpack_from("<HH", res, at + 8) == (0xFFFF, RT_VERSION):
                return res[at + header:at + header + size]
            at = (at + header + size + 3) & ~3
        raise AssertionError("no version resource")


# The singleton manifest's required fields and the patterns and values its
# schema (version 1.6.0) gives for the ones we write.
REQUIRED = ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName", "License",
            "ShortDescription", "Installers", "ManifestType", "ManifestVersion"]
INSTALLER_REQUIRED = ["Architecture", "InstallerType", "InstallerUrl", "InstallerSha256"]
PATTERNS = {
    "PackageIdentifier": r'^[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}(\.[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}){1,7}$',
    "PackageVersion": r'^[^\\/:\*\?"<>\|\x01-\x1f]+$',
    "PackageLocale": r"^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$",
    "ManifestVersion": r"^(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])"
                       r"(\.(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])){2}$",
}
RESPONSES = {"packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse", "missingDependency",
             "diskFull", "insufficientMemory", "invalidParameter", "noNetwork", "contactSupport",
             "rebootRequiredToFinish", "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser",
             "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported", "custom"}
SWITCHES = {"Silent", "SilentWithProgress", "Interactive", "InstallLocation", "Log", "Upgrade", "Custom", "Repair"}


@unittest.skipUnless(os.path.exists(PIVPACK), "the host package builder is not built")
class WingetManifest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)

    def pack(self, stub, config=None):
        folder = os.path.join(self.tmp.name, "files")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "readme.txt"), "w") as f:
            f.write("a product")
        config_path = os.path.join(self.tmp.name, "setup.json")
        with open(config_path, "w") as f:
            json.dump(config or {"mode": 1, "lastrun": "readme.txt"}, f)
        installer = os.path.join(self.tmp.name, "setup.exe")
        args = [PIVPACK, "build", "--stub", os.path.join(BUILD, stub), "--config", config_path, "--out", installer]
        args += ["--no-archive"] if config and config.get("mode") == 0 else ["--folder", folder]
        subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
        return installer

    def manifest(self, installer):
        import yaml
        out = os.path.join(self.tmp.name, "manifest.yaml")
        r = subprocess.run([PIVPACK, "inspect", "--winget", out, installer], capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, encoding="utf-8") as f:
            return yaml.safe_load(f)

    def check(self, manifest, installer, definition):
        with open(definition, encoding="utf-8") as f:
            product = json.load(f)
        for key in REQUIRED:
            self.assertIn(key, manifest)
        for key, pattern in PATTERNS.items():
            self.assertRegex(str(manifest[key]), pattern, key)
        self.assertEqual(manifest["ManifestType"], "singleton")
        self.assertEqual(len(manifest["Installers"]), 1)
        entry = manifest["Installers"][0]
        for key in INSTALLER_REQUIRED:
            self.assertIn(key, entry)
        with open(installer, "rb") as f:
            self.assertEqual(entry["InstallerSha256"], hashlib.sha256(f.read()).hexdigest().upper())
        self.assertEqual((entry["InstallerType"], entry["Scope"], entry["UpgradeBehavior"]), ("exe", "machine", "install"))
        switches = entry["InstallerSwitches"]
        self.assertLessEqual(set(switches), SWITCHES)
        self.assertEqual((switches["Silent"], switches["SilentWithProgress"]), ("/q", "/q"))
        self.assertEqual(switches["InstallLocation"], '/D "<INSTALLPATH>"')
        self.assertEqual(switches["Log"], '/log "<LOGPATH>"')
        codes = {c["InstallerReturnCode"]: c["ReturnResponse"] for c in entry["ExpectedReturnCodes"]}
        self.assertLessEqual(set(codes.values()), RESPONSES)
        self.assertEqual(codes[1638], "downgrade")
        self.assertEqual(codes[6], "diskFull")
        self.assertNotIn(0, codes)
        # The entry the install registers, as Apps & features lists it.
        self.assertEqual(entry["AppsAndFeaturesEntries"], [{
            "DisplayName": product["displayName"], "Publisher": product["publisher"], "DisplayVersion": product["version"],
            "ProductCode": product["uninstallKey"], "InstallerType": "exe"}])
        self.assertEqual((manifest["PackageVersion"], manifest["PackageName"], manifest["Publisher"]),
                         (product["version"], product["displayName"], product["publisher"]))
        return manifest

    def test_default_product(self):
        installer = self.pack("setup-stub.exe")
        manifest = self.check(self.manifest(installer), installer, os.path.join(SOURCE, "resources", "product.json"))
        self.assertEqual((manifest["PackageIdentifier"], manifest["PackageLocale"]), ("Tervaset.Orvane", "zh-CN"))

    def test_names_with_blanks_and_wide_characters(self):
        installer = self.pack("setup-stub-second.exe")
        manifest = self.check(self.manifest(installer), installer,
                              os.path.join(SOURCE, "tests", "app", "e2e", "second-product", "product.json"))
        self.assertEqual((manifest["PackageIdentifier"], manifest["PackageLocale"]),
                         ("Brightfold明折科技.LumoraDesk", "en-US"))

    def test_an_uninstaller_gets_no_manifest(self):
        uninstaller = self.pack("setup-stub.exe", {"mode": 0})
        out = os.path.join(self.tmp.name, "manifest.yaml")
        r = subprocess.run([PIVPACK, "inspect", "--winget", out, uninstaller], capture_output=True, text=True)
        self.assertEqual(r.returncode, 1)
        self.assertIn("not an installer", r.stderr)
        self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main(verbosity=2)
