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
            # ASCII escapes: a lone surrogate reaches the reader as it would in a file.
            json.dump(definition, f, ensure_ascii=True)
        return path

    def test_shipped_definitions_load(self):
        self.assertEqual(product.load(DEFAULT)["displayName"], "Pellio")
        self.assertEqual(product.load(SECOND)["uninstallKey"], "LumoraDesk")
        # The default product's window keeps its title; a copyright may be left out.
        self.assertEqual(product.load(DEFAULT)["windowTitle"], "Pivset")
        self.assertEqual(product.load(SECOND)["copyright"], "")
        self.assertEqual(product.version_parts("1.2.3"), [1, 2, 3, 0])
        self.assertEqual(product.version_parts("65535.0.0.7"), [65535, 0, 0, 7])

    def test_unusable_fields_are_named(self):
        cases = [
            ("makerFolder", None),                       # missing
            ("productFolder", ""),
            ("makerFolder", "Terva/set"),
            ("productFolder", "Orvane."),
            ("productFolder", "CON"),
            ("productFolder", "com0.dat"),
            ("makerFolder", "LPT\u00b9"),
            ("makerFolder", "CONOUT$.log"),
            ("makerFolder", "nul .txt"),
            ("makerFolder", "AUX..x"),
            ("uninstallKey", ".."),
            ("makerSubKey", "."),
            ("displayName", "Pel\ufffelio"),                # non-characters
            ("tagLine", "\ufdd0 tag"),
            ("publisher", "Terva\ud800set"),              # a lone surrogate
            ("publisher", "Terva\u0085set"),              # a C1 control
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
            ("version", None),
            ("version", "1.2"),
            ("version", "1.2.3.4.5"),
            ("version", "1.02.3"),
            ("version", "1.2.3-beta"),
            ("version", "1.65536.0"),
            ("version", 1),
            ("windowTitle", None),
            ("windowTitle", " "),
            ("windowTitle", "Setup\u0007"),
            ("copyright", 2025),
            ("copyright", "\u00a9 Terva\u200eset\u0000"),
            ("languages", []),
            ("languages", "en-US"),
            ("languages", ["en-US", "EN-us"]),
            ("languages", ["en US"]),
            ("languages", ["fr-FR"]),                    # no strings table for it
            ("fallbackLanguage", "de-DE"),               # not shipped
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

    def test_a_vendors_strings_table_is_checked_text_by_text(self):
        with open(os.path.join(SOURCE, "resources", "strings", "en-US.json"), encoding="utf-8") as f:
            english = json.load(f)
        os.makedirs(os.path.join(self.tmp.name, "strings"))
        definition = self.write(dict(self.base, languages=["zh-CN", "fr-FR"], fallbackLanguage="fr-FR"))

        def table(change, tag="fr-FR", lang_id=1036):
            texts = dict(english["texts"])
            change(texts)
            with open(os.path.join(self.tmp.name, "strings", "fr-FR.json"), "w", encoding="utf-8") as f:
                json.dump({"tag": tag, "langId": lang_id, "texts": texts}, f, ensure_ascii=False)

        table(lambda t: t.update(install="Installer", agree="J'accepte les", licence="conditions"))
        loaded = product.load(definition)
        self.assertEqual([t["tag"] for t in loaded["tables"]], ["zh-CN", "fr-FR"])
        self.assertEqual(loaded["fallbackIndex"], 1)
        source = product.texts_source(loaded, definition)
        self.assertIn(product.wide("Installer"), source)
        self.assertIn("kFallbackLanguage = 1;", source)

        for change, tag, lang_id, why in [
                (lambda t: t.pop("retry"), "fr-FR", 1036, 'text "retry" is missing'),
                (lambda t: t.update(colour="x"), "fr-FR", 1036, '"colour" is not a text of the program'),
                (lambda t: t.update(retry="   "), "fr-FR", 1036, 'text "retry" must be a text'),
                (lambda t: t.update(folderError="{folder}?"), "fr-FR", 1036, "has {folder}"),
                (lambda t: t.update(back="Revenir en arrière"), "fr-FR", 1036, 'text "back" does not fit'),
                (lambda t: t.update(installing="Installation de {name} " * 5), "fr-FR", 1036,
                 'text "installing" does not fit'),
                (lambda t: t.update(agree="J'accepte sans réserve aucune", licence="les conditions"), "fr-FR", 1036,
                 'do not fit beside "quickLaunch"'),
                (lambda t: None, "fr-CA", 1036, "its \"tag\""),
                (lambda t: None, "fr-FR", 2052, "both for language id 2052")]:
            table(change, tag, lang_id)
            with self.subTest(why=why):
                with self.assertRaises(product.DefinitionError) as caught:
                    product.load(definition)
                self.assertIn(why, str(caught.exception))

    def test_texts_reach_imagemagick_as_typed(self):
        import draw_skin
        if not os.path.exists("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"):
            self.skipTest("no font to draw with")
        width = lambda text: draw_skin.text_mask(text, 20)[0]  # noqa: E731
        # An escape would draw "Save 2 now"; a file name its contents (or
        # fail on a policy that forbids reading it).
        self.assertGreater(width("Save %[fx:1+1] now"), width("Save 2 now") + 20)
        self.assertGreater(width("@/etc/hostname"), width("@") * 5)
        self.assertEqual(draw_skin.text_mask("a\\nb", 20)[1], draw_skin.text_mask("anb", 20)[1])
        self.assertEqual(draw_skin.label_text("100% @home"), "100%% @home")
        self.assertEqual(draw_skin.label_text("@x\\y"), "\\@x\\\\y")
        # The manifest holds the name as text, never as markup.
        manifest = product.manifest(dict(self.base, displayName='A&B <"x">'))
        self.assertIn("A&amp;B &lt;\"x\"&gt; Setup", manifest)

    def test_keys_that_share_a_build_folder_are_refused(self):
        build = os.path.join(self.tmp.name, "build")
        os.makedirs(os.path.join(build, "products", "My_App"))
        with open(os.path.join(build, "products", "My_App", "uninstall-key"), "w") as f:
            f.write("My App")
        path = self.write(dict(self.base, uninstallKey="My_App"))
        out = subprocess.run(["bash", os.path.join(SOURCE, "tools", "make-installer.sh"), path, "s.json", "f", "o.exe"],
                             capture_output=True, text=True, env=dict(os.environ, PIVSET_BUILD=build))
        self.assertEqual(out.returncode, 1, out.stderr)
        self.assertIn('field "uninstallKey"', out.stderr)
        self.assertEqual(os.listdir(os.path.join(build, "products", "My_App")), ["uninstall-key"])

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
