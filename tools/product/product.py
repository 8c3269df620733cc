#!/usr/bin/env python3
"""Checks a product definition and generates what a build needs from it.

A product definition (resources/product.json is the default one) names the
product the setup program installs: its names, folders, registry keys,
addresses, accent colour, tag line and mark. The build turns it into the
engine's constants (a C++ source) and into the skin package (page art drawn
with the product's name, accent and mark).

    product.py check DEFINITION             prints the files it depends on
    product.py build-folder DEFINITION      prints the name of its folder under
                                            build/products/
    product.py generate DEFINITION OUT_DIR  writes OUT_DIR/Product.cpp,
                                            OUT_DIR/Texts.cpp,
                                            OUT_DIR/Pivset.manifest,
                                            OUT_DIR/ProductResources.rc (the
                                            version and the icon, with
                                            OUT_DIR/product.ico),
                                            OUT_DIR/skin/ and OUT_DIR/skin.uir

The languages it ships ("languages", tags such as "en-US"; "zh-CN" when
absent) each come from a strings table <tag>.json, looked for in a folder
"strings" beside the definition and then in resources/strings/; the
"fallbackLanguage" (the first shipped one when absent) is spoken where the
user's language is not shipped.

A definition that misses a field or has one the system cannot use fails
with a message naming the field.
"""
import json
from xml.sax.saxutils import escape
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SKIN_SOURCE = os.path.join(ROOT, "resources", "skin")
sys.path.insert(0, os.path.join(ROOT, "tools", "skin"))

# The marker pivpack looks for in a stub to tell which product it was built for.
TAG = "PivsetProduct:"

TEXT_FIELDS = ["displayName", "makerFolder", "productFolder", "mainProgram", "uninstallKey", "publisher",
               "helpLink", "licencePage", "makerKey", "makerSubKey", "accent", "tagLine", "mark"]
INT_FIELDS = ["channel", "language"]
# The program's own identity: the window's title (the taskbar shows it) and
# the version its resources, its registration and its upgrades go by.
TEXT_FIELDS += ["windowTitle", "version"]
OPTIONAL_TEXT_FIELDS = ["copyright"]
# Optional: the strings tables to compile in, and the one for users whose
# language is not among them.
LANGUAGE_FIELDS = ["languages", "fallbackLanguage"]
DEFAULT_LANGUAGES = ["zh-CN"]
STRINGS_SOURCE = os.path.join(ROOT, "resources", "strings")
TEXTS_HEADER = os.path.join(ROOT, "engine", "Texts.h")
# The fields the committed page art in resources/skin/images was drawn from.
ART_FIELDS = ["displayName", "tagLine", "accent", "mark"]

# Names that open a device wherever they stand, with any extension: the
# ports take the superscript digits too.
PORT_DIGITS = "0123456789\u00b9\u00b2\u00b3"
RESERVED_NAMES = ({"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"} | {"COM" + d for d in PORT_DIGITS} |
                  {"LPT" + d for d in PORT_DIGITS})

# Room on the window for the texts that carry the name: the title label is
# 200 pixels wide at 12 pixels, the welcome page's word mark sits beside a
# 60-pixel mark with a 16-pixel gap on a 528-pixel page, headings and the tag
# line are centred on the page.
TITLE_WIDTH = 190
WORDMARK_WIDTH = 528 - 2 * 32 - 60 - 16
LINE_WIDTH = 528 - 2 * 20


class DefinitionError(Exception):
    pass


def fail(field, why):
    raise DefinitionError("field \"%s\": %s" % (field, why))


def is_device_name(value):
    """Whether Windows opens a device for this name: the part before the
    first dot, blanks and dots at its end dropped ("CON", "con.txt",
    "COM1 .log", "NUL...")."""
    return value.split(".")[0].rstrip(" .").upper() in RESERVED_NAMES


def check_characters(field, value):
    """Refuses what no text of ours may hold: control characters (C0, DEL,
    C1), lone surrogates and non-characters."""
    for ch in value:
        code = ord(ch)
        if code < 32 or 127 <= code < 160:
            fail(field, "has a control character (U+%04X)" % code)
        if 0xD800 <= code <= 0xDFFF:
            fail(field, "has a lone surrogate (U+%04X)" % code)
        if 0xFDD0 <= code <= 0xFDEF or (code & 0xFFFE) == 0xFFFE:
            fail(field, "has a non-character (U+%04X)" % code)


def check_file_name(field, value):
    if not value.strip():
        fail(field, "is empty")
    bad = sorted(set(ch for ch in value if ch in '<>:"/\\|?*' or ord(ch) < 32))
    if bad:
        fail(field, "has characters a file name cannot hold: %s" % " ".join(repr(ch) for ch in bad))
    if value != value.strip() or value.endswith("."):
        fail(field, "starts or ends with a space, or ends with a dot")
    if is_device_name(value):
        fail(field, "is a name Windows reserves for a device")
    if len(value) > 64:
        fail(field, "is longer than 64 characters")


def check_key_name(field, value):
    if not value.strip():
        fail(field, "is empty")
    if "\\" in value or any(ord(ch) < 32 for ch in value):
        fail(field, "has a backslash or a control character, which a registry key name cannot hold")
    if value.strip() in (".", ".."):
        fail(field, "is \".\" or \"..\", which name no key of its own")
    if len(value) > 255:
        fail(field, "is longer than a registry key name may be (255)")


def build_folder_name(key):
    """The folder under build/products/ that tools/make-installer.sh builds
    a product in: its uninstall key with the characters a file name cannot
    hold made "_"; "." and ".." never reach here (check_key_name)."""
    return re.sub(r"[^A-Za-z0-9_.-]", "_", key)


def version_parts(text):
    """The four numbers of a version "1.2.3" or "1.2.3.4" (each 0 to 65535,
    as a version resource holds them; a missing fourth is 0)."""
    if not re.fullmatch(r"(0|[1-9][0-9]{0,4})(\.(0|[1-9][0-9]{0,4})){2,3}", text):
        fail("version", "must be three or four numbers with dots between them (\"1.2.3\" or \"1.2.3.4\")")
    parts = [int(p) for p in text.split(".")]
    if max(parts) > 0xFFFF:
        fail("version", "has a number above 65535")
    return parts + [0] * (4 - len(parts))


def check_address(field, value):
    if not re.fullmatch(r"https?://[^\s\"<>]+", value):
        fail(field, "is not an http:// or https:// address")


def text_width(text, size):
    """Width in pixels of the text as the page art draws it; an estimate
    (a full em for wide characters, 0.62 em for the others) when ImageMagick
    is not there."""
    if shutil.which("convert") and os.path.exists("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"):
        import draw_skin
        return draw_skin.text_mask(text, size)[0]
    return round(sum(size if ord(ch) > 0x2E7F else 0.62 * size for ch in text))


def load(path):
    try:
        with open(path, encoding="utf-8") as f:
            product = json.load(f)
    except OSError as e:
        raise DefinitionError("cannot read it: %s" % e.strerror)
    except (ValueError, UnicodeDecodeError) as e:
        raise DefinitionError("not a JSON text: %s" % e)
    if not isinstance(product, dict):
        raise DefinitionError("not a JSON object")
    for field in TEXT_FIELDS:
        if field not in product:
            fail(field, "is missing")
        if not isinstance(product[field], str):
            fail(field, "must be a text")
    for field in INT_FIELDS:
        if field not in product:
            fail(field, "is missing")
        if not isinstance(product[field], int) or isinstance(product[field], bool):
            fail(field, "must be an integer")
    for field in OPTIONAL_TEXT_FIELDS:
        if not isinstance(product.setdefault(field, ""), str):
            fail(field, "must be a text")
    for field in TEXT_FIELDS + OPTIONAL_TEXT_FIELDS:
        check_characters(field, product[field])
    unknown = sorted(set(product) - set(TEXT_FIELDS) - set(INT_FIELDS) - set(OPTIONAL_TEXT_FIELDS) - set(LANGUAGE_FIELDS))
    if unknown:
        fail(unknown[0], "is not a field of a product definition")

    for field in ["displayName", "makerFolder", "productFolder", "mainProgram"]:
        check_file_name(field, product[field])
    if not product["mainProgram"].lower().endswith(".exe"):
        fail("mainProgram", "must end in .exe")
    if product["mainProgram"].lower() == "unins000.exe":
        fail("mainProgram", "is the uninstaller's name")
    for field in ["uninstallKey", "makerKey", "makerSubKey"]:
        check_key_name(field, product[field])
    if not product["publisher"].strip():
        fail("publisher", "is empty")
    check_address("helpLink", product["helpLink"])
    check_address("licencePage", product["licencePage"])
    if not 0 <= product["channel"] <= 0x7FFFFFFF:
        fail("channel", "must be between 0 and 2147483647")
    if not 1 <= product["language"] <= 0xFFFF:
        fail("language", "must be a Windows language id (1 to 65535)")
    m = re.fullmatch(r"#([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})", product["accent"])
    if not m:
        fail("accent", "must be a colour #RRGGBB")
    import draw_skin
    accent = tuple(int(x, 16) for x in m.groups())
    if draw_skin.contrast(accent, draw_skin.WHITE) < 4.5:
        fail("accent", "white text on it, and it on white, would be hard to read (contrast %.2f, below 4.5)"
             % draw_skin.contrast(accent, draw_skin.WHITE))
    if not product["tagLine"].strip():
        fail("tagLine", "is empty")
    if not product["windowTitle"].strip():
        fail("windowTitle", "is empty")
    if len(product["windowTitle"]) > 128:
        fail("windowTitle", "is longer than 128 characters")
    version_parts(product["version"])
    if len(product["copyright"]) > 256:
        fail("copyright", "is longer than 256 characters")
    if product["mark"] != "generated":
        mark = os.path.join(os.path.dirname(os.path.abspath(path)), product["mark"])
        if not mark.lower().endswith(".png") or not os.path.isfile(mark):
            fail("mark", "is neither \"generated\" nor a PNG file beside the definition")
        product["markPath"] = mark

    name = product["displayName"]
    if text_width(name, 12) > TITLE_WIDTH:
        fail("displayName", "is wider than the window's title area (%d pixels)" % TITLE_WIDTH)
    if text_width(name, 46) > WORDMARK_WIDTH:
        fail("displayName", "is too wide for the welcome page's word mark (%d pixels at 46)" % WORDMARK_WIDTH)
    if text_width(product["tagLine"], 13) > LINE_WIDTH:
        fail("tagLine", "is wider than the welcome page (%d pixels)" % LINE_WIDTH)
    product["tables"] = load_languages(product, path)
    return product


# ---- strings tables ------------------------------------------------------------

# Where each text is shown: the width it has there and the font's pixel size.
# A text must fit at that size or, as the window does it at run time, at
# most SHRINK_STEPS pixels smaller. Texts not listed (message boxes, the
# log, names for assistive technology) have room enough.
BUTTON = (200 - 2 * 8, 21)
CONTROL_ROOM = {
    "install": BUTTON, "upgrade": BUTTON, "tryNow": BUTTON, "retry": BUTTON, "uninstall": BUTTON,
    "uninstallDone": BUTTON,
    "customInstall": (90, 12), "licence": (80, 12), "browse": (83 - 8, 12),
    "desktopIcon": (120 - 15, 12), "quickLaunch": (120 - 15, 12), "back": (50 - 6, 12),
    "installing": (LINE_WIDTH, 18), "installed": (LINE_WIDTH, 18), "failed": (LINE_WIDTH, 18),
    "uninstalling": (LINE_WIDTH, 18), "uninstalled": (LINE_WIDTH, 18),
    "installingNote": (LINE_WIDTH, 13), "installedNote": (LINE_WIDTH, 13), "failedNote": (LINE_WIDTH, 13),
    "uninstalledNote": (LINE_WIDTH, 13),
    "statusComponents": (LINE_WIDTH, 12), "statusShortcuts": (LINE_WIDTH, 12), "statusFiles": (LINE_WIDTH, 12),
    "statusRegistry": (LINE_WIDTH, 12),
}
SHRINK_STEPS = 2
# The custom page's row of options: the agree box and the licence link read
# as one phrase and end at the browse button's right edge; where the box's
# caption is wider than its 30 pixels the pair moves left, and must then
# keep clear of the quick-launch box's caption.
AGREE_ROOM = 45 - 15
ROW_RIGHT = 485
QUICK_LAUNCH_TEXT_LEFT = 210 + 15
ROW_GAP = 12


def check_agreement_row(tag, texts):
    agree = text_width(texts["agree"], 12)
    if agree <= AGREE_ROOM:
        return
    pair = 15 + agree + 3 + text_width(texts["licence"], 12)
    if ROW_RIGHT - pair < QUICK_LAUNCH_TEXT_LEFT + text_width(texts["quickLaunch"], 12) + ROW_GAP:
        raise DefinitionError("strings table %s: texts \"agree\" and \"licence\" do not fit beside \"quickLaunch\""
                              % tag)
REFERENCE_LANGUAGE = "zh-CN"


def text_keys():
    """The keys of engine/Texts.h, in the program's order."""
    with open(TEXTS_HEADER, encoding="utf-8") as f:
        return re.findall(r'X\(k\w+, "(\w+)"\)', f.read())


def placeholders(text):
    return set(re.findall(r"\{(\w+)\}", text))


def language_file(tag, definition):
    for folder in (os.path.join(os.path.dirname(os.path.abspath(definition)), "strings"), STRINGS_SOURCE):
        path = os.path.join(folder, tag + ".json")
        if os.path.isfile(path):
            return path
    return None


def read_table(path, tag, keys, where):
    try:
        with open(path, encoding="utf-8") as f:
            table = json.load(f)
    except (OSError, ValueError, UnicodeDecodeError) as e:
        raise DefinitionError("strings table %s: cannot be read: %s" % (where, e))
    if not isinstance(table, dict) or not isinstance(table.get("texts"), dict):
        raise DefinitionError("strings table %s: not an object with \"texts\"" % where)
    if table.get("tag") != tag:
        raise DefinitionError("strings table %s: its \"tag\" is not \"%s\"" % (where, tag))
    lang_id = table.get("langId")
    if not isinstance(lang_id, int) or isinstance(lang_id, bool) or not 1 <= lang_id <= 0xFFFF:
        raise DefinitionError("strings table %s: \"langId\" must be a Windows language id (1 to 65535)" % where)
    texts = table["texts"]
    for key in keys:
        if key not in texts:
            raise DefinitionError("strings table %s: text \"%s\" is missing" % (where, key))
        if not isinstance(texts[key], str) or not texts[key].strip():
            raise DefinitionError("strings table %s: text \"%s\" must be a text that is not empty" % (where, key))
        try:
            check_characters(key, texts[key])
        except DefinitionError as e:
            raise DefinitionError("strings table %s: %s" % (where, e))
    unknown = sorted(set(texts) - set(keys))
    if unknown:
        raise DefinitionError("strings table %s: \"%s\" is not a text of the program" % (where, unknown[0]))
    return {"tag": tag, "langId": lang_id, "texts": [texts[key] for key in keys], "path": path}


def load_languages(product, definition):
    """The shipped tables, fallback first checked; each text checked for its
    placeholders against the Chinese table and for its width."""
    tags = product.get("languages", DEFAULT_LANGUAGES)
    if not isinstance(tags, list) or not tags or not all(isinstance(t, str) for t in tags):
        fail("languages", "must be a list of language tags such as \"en-US\"")
    for tag in tags:
        if not re.fullmatch(r"[A-Za-z]{2,8}(-[A-Za-z0-9]{1,8})*", tag):
            fail("languages", "\"%s\" is not a language tag such as \"en-US\"" % tag)
    if len(set(t.lower() for t in tags)) != len(tags):
        fail("languages", "names a language twice")
    fallback = product.get("fallbackLanguage", tags[0])
    if fallback not in tags:
        fail("fallbackLanguage", "must be one of \"languages\"")
    keys = text_keys()
    reference = read_table(os.path.join(STRINGS_SOURCE, REFERENCE_LANGUAGE + ".json"), REFERENCE_LANGUAGE, keys,
                           REFERENCE_LANGUAGE)
    tables = []
    ids = {}
    for tag in tags:
        path = language_file(tag, definition)
        if not path:
            fail("languages", "no strings table %s.json beside the definition (in strings/) or in resources/strings/"
                 % tag)
        table = read_table(path, tag, keys, tag)
        if table["langId"] in ids:
            fail("languages", "%s and %s are both for language id %d" % (ids[table["langId"]], tag, table["langId"]))
        ids[table["langId"]] = tag
        for key, text, model in zip(keys, table["texts"], reference["texts"]):
            extra = placeholders(text) - placeholders(model) - {"name"}
            if extra:
                raise DefinitionError("strings table %s: text \"%s\" has {%s}, which the program does not fill"
                                      % (tag, key, sorted(extra)[0]))
            if key in CONTROL_ROOM:
                room, size = CONTROL_ROOM[key]
                shown = text.replace("{name}", product["displayName"])
                if text_width(shown, size - SHRINK_STEPS) > room:
                    raise DefinitionError("strings table %s: text \"%s\" does not fit its control (%d pixels at %d)"
                                          % (tag, key, room, size - SHRINK_STEPS))
        check_agreement_row(tag, dict(zip(keys, table["texts"])))
        tables.append(table)
    product["fallbackIndex"] = tags.index(fallback)
    return tables


def texts_source(product, definition):
    lines = ["// Generated by tools/product/product.py from %s; do not edit." % os.path.basename(definition),
             '#include "engine/Texts.h"', "", "namespace pv::product {", "", "namespace {", ""]
    for n, table in enumerate(product["tables"]):
        lines.append("// %s" % table["tag"])
        for k, text in enumerate(table["texts"]):
            lines.append("const wchar_t kText%d_%d[] = %s;" % (n, k, wide(text)))
        lines.append("const wchar_t* const kTexts%d[] = {%s};" % (
            n, ", ".join("kText%d_%d" % (n, k) for k in range(len(table["texts"])))))
        lines.append("const wchar_t kTag%d[] = %s;" % (n, wide(table["tag"])))
        lines.append("")
    lines += ["}  // namespace", "",
              "extern const LanguageTable kLanguages[] = {%s};" % ", ".join(
                  "{kTag%d, %d, kTexts%d}" % (n, t["langId"], n) for n, t in enumerate(product["tables"])),
              "extern const int kLanguageCount = %d;" % len(product["tables"]),
              "extern const int kFallbackLanguage = %d;" % product["fallbackIndex"], "",
              "}  // namespace pv::product", ""]
    return "\n".join(lines)


# ---- generation -------------------------------------------------------------

def wide(text):
    """A wchar_t array initialiser in UTF-16 code units, so any text survives
    whatever the compiler's execution character set is."""
    units = text.encode("utf-16-le")
    codes = ["0x%04X" % int.from_bytes(units[i:i + 2], "little") for i in range(0, len(units), 2)]
    return "{" + ", ".join(codes + ["0"]) + "}"


def constants_source(product, definition):
    maker_key = "SOFTWARE\\" + product["makerKey"]
    values = [
        ("kDisplayName", product["displayName"]),
        ("kPublisher", product["publisher"]),
        ("kHelpLink", product["helpLink"]),
        ("kLicencePage", product["licencePage"]),
        ("kMainProgram", product["mainProgram"]),
        ("kMakerFolder", product["makerFolder"]),
        ("kProductFolder", product["productFolder"]),
        ("kInstallSuffix", product["makerFolder"] + "\\" + product["productFolder"]),
        ("kLanguage", str(product["language"])),
        ("kUninstallKeyName", product["uninstallKey"]),
        ("kUninstallKey", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product["uninstallKey"]),
        ("kMakerKey", maker_key),
        ("kMakerSubKey", product["makerSubKey"]),
        ("kWindowTitle", product["windowTitle"]),
        ("kVersion", product["version"]),
    ]
    public = {k: product[k] for k in TEXT_FIELDS + INT_FIELDS + OPTIONAL_TEXT_FIELDS}
    tag = TAG + json.dumps(public, ensure_ascii=True, sort_keys=True, separators=(",", ":"))
    tag_literal = '"' + tag.replace("\\", "\\\\").replace('"', '\\"') + '"'
    lines = ["// Generated by tools/product/product.py from %s; do not edit." % os.path.basename(definition),
             '#include "engine/Product.h"', "", "namespace pv::product {", ""]
    for name, text in values:
        lines.append("// %s" % text.replace("\\", "/"))
        lines.append("extern const wchar_t %s[] = %s;" % (name, wide(text)))
    lines += ["extern const int kChannel = %d;" % product["channel"], "", "}  // namespace pv::product", "",
              "// The definition as text, so that pivpack inspect can tell which product",
              "// a stub was built for.",
              'extern "C" __attribute__((used)) const char pivset_product_tag[] = %s;' % tag_literal, ""]
    return "\n".join(lines)


def art_of(product):
    return {k: product[k] for k in ART_FIELDS}


def write_skin(product, out_dir):
    """The skin source for the product: the shared style tree with the
    product's title and accent, and page art drawn for it (the committed
    images when the art fields are the ones they were drawn from)."""
    import draw_skin
    skin = os.path.join(out_dir, "skin")
    images = os.path.join(skin, "images")
    if os.path.isdir(skin):
        shutil.rmtree(skin)
    os.makedirs(images)
    with open(os.path.join(SKIN_SOURCE, "art.json"), encoding="utf-8") as f:
        committed = json.load(f)
    accent = tuple(int(product["accent"][i:i + 2], 16) for i in (1, 3, 5))
    if art_of(product) == committed:
        for name in os.listdir(os.path.join(SKIN_SOURCE, "images")):
            shutil.copyfile(os.path.join(SKIN_SOURCE, "images", name), os.path.join(images, name))
    else:
        draw_skin.set_product(product["displayName"], product["tagLine"], accent, product.get("markPath"))
        for name, draw, alpha in draw_skin.IMAGES.values():
            draw().save(os.path.join(images, name), alpha)

    # The style tree names the accent and its dark shade for captions and
    # links, and the title text.
    default_accent = tuple(int(committed["accent"][i:i + 2], 16) for i in (1, 3, 5))
    swaps = {}
    for ours, theirs in [(default_accent, accent),
                         (draw_skin.mix(default_accent, draw_skin.BLACK, 0.16), draw_skin.mix(accent, draw_skin.BLACK, 0.16))]:
        swaps["#%02X%02X%02X" % ours] = "#%02X%02X%02X" % theirs

    def retint(node):
        if isinstance(node, dict):
            return {k: retint(v) for k, v in node.items()}
        if isinstance(node, list):
            return [retint(v) for v in node]
        if isinstance(node, str) and node.upper() in swaps:
            return swaps[node.upper()]
        return node

    with open(os.path.join(SKIN_SOURCE, "skin.json"), encoding="utf-8") as f:
        tree = retint(json.load(f))
    tree["cfg"]["MainWindow"]["title"]["text"]["tx"] = product["displayName"]
    with open(os.path.join(skin, "skin.json"), "w", encoding="utf-8") as f:
        json.dump(tree, f, ensure_ascii=False, indent=1)
    shutil.copyfile(os.path.join(SKIN_SOURCE, "fonts.json"), os.path.join(skin, "fonts.json"))
    subprocess.run([sys.executable, os.path.join(ROOT, "tools", "skin", "pack_skin.py"), skin,
                    os.path.join(out_dir, "skin.uir")], check=True, stdout=subprocess.DEVNULL)


def manifest(product):
    """The program's manifest, named after the maker and describing the
    product, with the product's version as the assembly's."""
    with open(os.path.join(ROOT, "resources", "Pivset.manifest.in"), encoding="utf-8") as f:
        text = f.read()
    # An assembly name is made of letters, digits and dots.
    maker = re.sub(r"[^A-Za-z0-9]", "", product["makerKey"]) or "Vendor"
    version = ".".join(str(p) for p in version_parts(product["version"]))
    return text.replace("@ASSEMBLY_NAME@", maker + ".Pivset").replace(
        "@DESCRIPTION@", escape(product["displayName"] + " Setup")).replace("@VERSION@", version)


# The sizes Explorer, the taskbar and Apps & features ask for at 100 % to
# 200 %. From PNG_ICON_SIZE up they are stored as PNG, as the 256-pixel one
# must be and every Windows from Vista on reads at any size: as bitmaps
# those three would take 30 KB of a setup program that must stay small.
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
PNG_ICON_SIZE = 40


def rc_text(text):
    """A wide resource-script string with every character escaped, so that
    no text depends on the resource compiler's code page."""
    units = text.encode("utf-16-le")
    return 'L"' + "".join("\\x%04x" % int.from_bytes(units[i:i + 2], "little")
                          for i in range(0, len(units), 2)) + '"'


def resources_rc(product):
    """The version resource and the icon group, for resources/Pivset.rc."""
    numbers = ",".join(str(p) for p in version_parts(product["version"]))
    name = product["displayName"]
    strings = [
        ("CompanyName", product["publisher"]),
        ("FileDescription", name + " Setup"),
        ("FileVersion", product["version"]),
        ("LegalCopyright", product["copyright"]),
        ("OriginalFilename", re.sub(r"\s+", "", name) + "Setup.exe"),
        ("ProductName", name),
        ("ProductVersion", product["version"]),
    ]
    lines = ["// Generated by tools/product/product.py; do not edit.",
             "// The first icon group is the one Explorer shows for the program.",
             '1 ICON "product.ico"', "",
             "1 VERSIONINFO", "FILEVERSION " + numbers, "PRODUCTVERSION " + numbers,
             "FILEFLAGSMASK 0x3F", "FILEFLAGS 0",
             "FILEOS 0x40004",  # VOS_NT_WINDOWS32
             "FILETYPE 1",  # VFT_APP
             "FILESUBTYPE 0", "BEGIN", '  BLOCK "StringFileInfo"', "  BEGIN",
             # The product's language, in UTF-16 (code page 1200).
             '    BLOCK "%04x04b0"' % product["language"], "    BEGIN"]
    for key, text in strings:
        if text:
            lines.append('      VALUE "%s", %s' % (key, rc_text(text)))
    lines += ["    END", "  END", '  BLOCK "VarFileInfo"', "  BEGIN",
              '    VALUE "Translation", 0x%04x, 1200' % product["language"], "  END", "END", ""]
    return "\n".join(lines)


def icon_bytes(product):
    """The mark as an icon file: one image per size of ICON_SIZES, 32-bit
    with alpha, the small ones as bitmaps, the larger ones as PNG."""
    import struct
    import tempfile
    import draw_skin
    from pngio import write_png
    accent = tuple(int(product["accent"][i:i + 2], 16) for i in (1, 3, 5))
    draw_skin.set_product(product["displayName"], product["tagLine"], accent, product.get("markPath"))
    images = []
    for size in ICON_SIZES:
        rows = draw_skin.logo_mark(size).rows(True)  # straight RGBA, top row first
        if size >= PNG_ICON_SIZE:
            with tempfile.TemporaryDirectory() as tmp:
                write_png(os.path.join(tmp, "i.png"), size, size, rows, True)
                with open(os.path.join(tmp, "i.png"), "rb") as f:
                    images.append((size, f.read()))
            continue
        # BITMAPINFOHEADER with the height of colour and mask together, then
        # BGRA rows bottom up, then the 1-bit mask (unused with alpha, zero).
        data = bytearray(struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0))
        for row in reversed(rows):
            for x in range(size):
                r, g, b, a = row[x * 4:x * 4 + 4]
                data += bytes((b, g, r, a))
        data += bytes(((size + 31) // 32 * 4) * size)
        images.append((size, bytes(data)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def write_if_changed(path, text):
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main(argv):
    if len(argv) < 3 or argv[1] not in ("check", "generate", "build-folder") or \
            (argv[1] == "generate") != (len(argv) == 4):
        sys.stderr.write(__doc__)
        return 2
    definition = argv[2]
    try:
        product = load(definition)
    except DefinitionError as e:
        sys.stderr.write("%s: %s\n" % (definition, e))
        return 1
    if argv[1] == "build-folder":
        print(build_folder_name(product["uninstallKey"]))
        return 0
    if argv[1] == "check":
        if "markPath" in product:
            print(product["markPath"])
        for table in product["tables"]:
            print(table["path"])
        return 0
    out_dir = argv[3]
    os.makedirs(out_dir, exist_ok=True)
    write_if_changed(os.path.join(out_dir, "Product.cpp"), constants_source(product, definition))
    write_if_changed(os.path.join(out_dir, "Texts.cpp"), texts_source(product, definition))
    write_if_changed(os.path.join(out_dir, "Pivset.manifest"), manifest(product))
    write_if_changed(os.path.join(out_dir, "ProductResources.rc"), resources_rc(product))
    icon = icon_bytes(product)
    icon_path = os.path.join(out_dir, "product.ico")
    if not os.path.exists(icon_path) or open(icon_path, "rb").read() != icon:
        with open(icon_path, "wb") as f:
            f.write(icon)
    write_skin(product, out_dir)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
