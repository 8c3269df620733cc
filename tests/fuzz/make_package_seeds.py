#!/usr/bin/env python3
"""Writes the seed installers of the package layout fuzzer into
tests/fuzz/corpus/package: a tiny PE image (headers and one section), the
locator before the PE signature, then the configuration, the archive length
and a ZIP. A few hundred bytes each, so the fuzzer's mutations reach every
field. Run again only to change the seeds; findings stay as they are."""
import io
import os
import struct
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "package")

LFANEW = 0x80
SECTION_AT = 0x180
SECTION_SIZE = 0x40
IMAGE_END = SECTION_AT + SECTION_SIZE


def image(certificate=(0, 0)):
    """DOS header, PE32+ headers with one section, and the section's bytes."""
    b = bytearray(IMAGE_END)
    b[0:2] = b"MZ"
    struct.pack_into("<I", b, 60, LFANEW)
    b[LFANEW:LFANEW + 4] = b"PE\0\0"
    optional_size = 112 + 16 * 8
    # Machine, sections, timestamp, symbol table, symbols, optional size, flags.
    struct.pack_into("<HHIIIHH", b, LFANEW + 4, 0x8664, 1, 0, 0, 0, optional_size, 0x22)
    optional = LFANEW + 24
    struct.pack_into("<H", b, optional, 0x20B)
    struct.pack_into("<II", b, optional + 112 + 4 * 8, *certificate)
    table = optional + optional_size
    struct.pack_into("<8sIIIIIIHHI", b, table, b".text", SECTION_SIZE, 0x1000, SECTION_SIZE, SECTION_AT, 0, 0, 0,
                     0, 0x60000020)
    b[SECTION_AT:IMAGE_END] = bytes(range(SECTION_SIZE))
    return b


def archive(method):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        folder = zipfile.ZipInfo("data/")
        folder.external_attr = 0x10
        z.writestr(folder, b"")
        for name in ("data/a.txt", "Orvane.exe"):
            info = zipfile.ZipInfo(name)
            info.compress_type = method
            info.external_attr = 0x20
            z.writestr(info, (name.encode() + b" payload ") * 4)
    return out.getvalue()


def package(config, zip_bytes=None, locator=IMAGE_END, config_length=None, archive_length=None, tail=b"",
            certificate=(0, 0)):
    b = image(certificate)
    struct.pack_into("<I", b, LFANEW - 4, locator)
    text = config.encode()
    b += struct.pack("<I", len(text) if config_length is None else config_length) + text
    if zip_bytes is not None:
        b += struct.pack("<I", len(zip_bytes) if archive_length is None else archive_length) + zip_bytes
    return bytes(b + tail)


def main():
    os.makedirs(OUT, exist_ok=True)
    install = '{"mode":1,"lastrun":"Orvane.exe"}'
    stored = archive(zipfile.ZIP_STORED)
    deflated = archive(zipfile.ZIP_DEFLATED)
    seeds = {
        "installer-stored.exe": package(install, stored),
        "installer-deflated.exe": package(install, deflated),
        "uninstaller.exe": package('{"mode":0,"files":[],"folders":[]}'),
        # Up to four bytes more than follow are accepted.
        "archive-length-over-by-4.exe": package(install, stored, archive_length=len(stored) + 4),
        "archive-cut-short.exe": package(install, stored)[:-40],
        "certificate-after-package.exe": package(install, stored, tail=b"\0" * 8 + b"CERT" * 4,
                                                 certificate=(IMAGE_END + 8 + len(install) + 4 + len(stored), 24)),
        "locator-zero.exe": package(install, stored, locator=0),
        "locator-into-image.exe": package(install, stored, locator=8),
        "locator-at-end.exe": package(install, stored, locator=IMAGE_END + 8 + len(install) + len(stored)),
        "config-length-huge.exe": package(install, stored, config_length=0xFFFFFFFF),
        "archive-length-huge.exe": package(install, stored, archive_length=0x80000000),
    }
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
