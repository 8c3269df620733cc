#!/usr/bin/env python3
"""Packs the editable skin source into a ".uir" package.

The source (resources/skin/) is readable JSON: skin.json holds the style
tree "cfg" and the catalogue "res", with texts ("tx") in plain UTF-8 and
colours ("cr") as "#RRGGBB"; fonts.json holds the font records by id with
plain face names; images/ holds the PNGs the catalogue names. The package
stores texts and face names as Base64 of UTF-8 and colours as COLORREF
integers (red in the lowest byte), the document compact and NUL-terminated.

    pack_skin.py SOURCE_DIR OUTPUT.uir
"""
import base64
import json
import os
import re
import struct
import sys

MAGIC = b".uir"


class SkinError(Exception):
    pass


def b64(text):
    return base64.b64encode(text.encode("utf-8")).decode("ascii")


def colorref(value, where):
    if isinstance(value, int):
        return value
    m = re.fullmatch(r"#([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})", value if isinstance(value, str) else "")
    if not m:
        raise SkinError("%s: colour %r is neither #RRGGBB nor an integer" % (where, value))
    r, g, b = (int(x, 16) for x in m.groups())
    return r | (g << 8) | (b << 16)


def convert(node, path, refs):
    """Turns the editable forms into the stored ones; collects image and font ids."""
    if isinstance(node, dict):
        out = {}
        for key, value in node.items():
            where = path + "/" + key
            if key == "tx":
                if not isinstance(value, str):
                    raise SkinError(where + ": text must be a string")
                out[key] = b64(value)
            elif key == "cr":
                out[key] = colorref(value, where)
            else:
                if key in ("bi", "fi") and isinstance(value, int):
                    refs["images"].add((value, where))
                if key == "ft" and isinstance(value, int) and value:
                    refs["fonts"].add((value, where))
                out[key] = convert(value, where, refs)
        return out
    if isinstance(node, list):
        return [convert(v, "%s[%d]" % (path, i), refs) for i, v in enumerate(node)]
    return node


def font_record(font, font_id):
    record = {}
    for key, value in font.items():
        if key == "FaceName":
            if not isinstance(value, str) or not 0 < len(value.encode("utf-16-le")) // 2 <= 31:
                raise SkinError("font %s: FaceName must be 1 to 31 UTF-16 units" % font_id)
            record[key] = b64(value)
        elif isinstance(value, int):
            record[key] = value
        else:
            raise SkinError("font %s: %s must be an integer" % (font_id, key))
    return json.dumps(record, sort_keys=True, separators=(",", ":")) + "\n"


def pack(source_dir):
    with open(os.path.join(source_dir, "skin.json"), encoding="utf-8") as f:
        skin = json.load(f)
    with open(os.path.join(source_dir, "fonts.json"), encoding="utf-8") as f:
        fonts = json.load(f)
    if set(skin) != {"cfg", "res"}:
        raise SkinError("skin.json must hold exactly \"cfg\" and \"res\"")

    refs = {"images": set(), "fonts": set()}
    document = {"cfg": convert(skin["cfg"], "", refs), "res": skin["res"]}

    records = {}
    listed = {}
    for category, entries in skin["res"].items():
        for entry in entries:
            record_id = entry["id"]
            if record_id in records:
                raise SkinError("id %d is listed twice" % record_id)
            listed.setdefault(category, set()).add(record_id)
            if category == "images":
                with open(os.path.join(source_dir, "images", entry["name"]), "rb") as f:
                    data = f.read()
                if not data.startswith(b"\x89PNG"):
                    raise SkinError("image %d (%s) is not a PNG" % (record_id, entry["name"]))
                records[record_id] = data
            elif category == "fonts":
                font = fonts.get(str(record_id))
                if font is None:
                    raise SkinError("font %d has no record in fonts.json" % record_id)
                records[record_id] = font_record(font, record_id).encode("ascii")
            else:
                raise SkinError("unknown category " + category)
    for kind in ("images", "fonts"):
        for record_id, where in sorted(refs[kind]):
            if record_id not in listed.get(kind, set()):
                raise SkinError("%s refers to %s %d, which \"res\" does not list" % (where, kind[:-1], record_id))

    text = (json.dumps(document, sort_keys=True, separators=(",", ":"), ensure_ascii=True) + "\n").encode("ascii")
    text += b"\0"
    out = bytearray(MAGIC)
    out += struct.pack("<I", len(text)) + text
    out += struct.pack("<I", len(records))
    for record_id in sorted(records):
        data = records[record_id]
        out += struct.pack("<II", record_id, len(data)) + data
    return bytes(out)


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    try:
        data = pack(argv[1])
    except (OSError, ValueError, KeyError, SkinError) as error:
        sys.exit("pack_skin: %s" % error)
    tmp = argv[2] + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, argv[2])


if __name__ == "__main__":
    main(sys.argv)
