#!/usr/bin/env python3
"""The setup programs' resources as Explorer and Apps & features read them:
windres turns each built stub back into a resource file, which is parsed
here: the icon group (every size, the larger ones PNG-compressed), the version
resource with the product's texts and numbers, and the manifest's assembly
version."""
import json
import os
import struct
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ["PIVSET_SOURCE_DIR"]
BUILD = os.environ["PIVSET_WIN_BUILD"]
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
            spec = json.load(f)
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
        parts = [int(p) for p in spec["version"].split(".")]
        self.assertEqual(numbers, tuple(parts + [0] * (4 - len(parts))))
        self.assertEqual(list(tables), ["%04x04b0" % spec["language"]])
        strings = tables["%04x04b0" % spec["language"]]
        expected = {
            "CompanyName": spec["publisher"],
            "FileDescription": spec["displayName"] + " Setup",
            "FileVersion": spec["version"],
            "ProductName": spec["displayName"],
            "ProductVersion": spec["version"],
            "OriginalFilename": spec["displayName"].replace(" ", "") + "Setup.exe",
        }
        if spec.get("copyright"):
            expected["LegalCopyright"] = spec["copyright"]
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


if __name__ == "__main__":
    unittest.main(verbosity=2)
