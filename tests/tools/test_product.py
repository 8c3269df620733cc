#!/usr/bin/env python3
"""Product definitions: the shipped ones pass, each kind of unusable field
fails with its name, and a build configured with a bad one stops."""
import json
import os
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ.get("PIVSET_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tools", "product"))
import product  # noqa: E402

DEFAULT = os.path.join(SOURCE, "resources", "product.json")
SECOND = os.path.join(SOURCE, "tests", "app", "e2e", "second-product", "product.json")


class Definitions(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        with open(DEFAULT, encoding="utf-8") as f:
            self.base = json.load(f)

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, definition):
        path = os.path.join(self.tmp.name, "product.json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump(definition, f, ensure_ascii=False)
        return path

    def test_shipped_definitions_load(self):
        self.assertEqual(product.load(DEFAULT)["displayName"], "Pellio")
        self.assertEqual(product.load(SECOND)["uninstallKey"], "LumoraDesk")

    def test_unusable_fields_are_named(self):
        cases = [
            ("makerFolder", None),                       # missing
            ("productFolder", ""),
            ("makerFolder", "Terva/set"),
            ("productFolder", "Orvane."),
            ("productFolder", "CON"),
            ("mainProgram", "Orvane"),
            ("uninstallKey", "Or\\vane"),
            ("makerSubKey", "  "),
            ("publisher", "Terva\nset"),
            ("helpLink", "www.example"),
            ("channel", "30001"),
            ("language", 0),
            ("accent", "#FFEE00"),                       # white on it is unreadable
            ("accent", "blue"),
            ("displayName", "Pellio Professional Edition 2027"),   # wider than the title area
            ("tagLine", "很长的一句" * 10),
            ("mark", "missing.png"),
            ("colour", "#000000"),                       # not a field
        ]
        for field, value in cases:
            definition = dict(self.base)
            if value is None:
                del definition[field]
            else:
                definition[field] = value
            with self.subTest(field=field, value=value):
                with self.assertRaises(product.DefinitionError) as caught:
                    product.load(self.write(definition))
                self.assertIn('"%s"' % field, str(caught.exception))

    def test_generated_constants_carry_only_the_definition(self):
        source = product.constants_source(product.load(SECOND), SECOND)
        self.assertIn(product.wide("Lumora 月光"), source)
        self.assertIn("kChannel = 40002;", source)
        for name in ("Pellio", "Tervaset", "Orvane"):
            self.assertNotIn(name, source)
        tag = source.split(product.TAG, 1)[1].split('";', 1)[0].replace('\\"', '"').replace("\\\\", "\\")
        self.assertEqual(json.loads(tag)["makerFolder"], "Brightfold 明折")

    def test_configure_stops_on_a_bad_definition(self):
        definition = dict(self.base, makerFolder="a|b")
        out = subprocess.run(["cmake", "-S", SOURCE, "-B", os.path.join(self.tmp.name, "build"),
                              "-DPIVSET_PRODUCT=" + self.write(definition)], capture_output=True, text=True)
        self.assertNotEqual(out.returncode, 0)
        self.assertIn('field "makerFolder"', out.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
