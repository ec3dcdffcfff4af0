#!/usr/bin/env python3
"""Packs a template folder into a zip package at build time.

usage: pack.py SOURCE_DIR OUTPUT [--thumbnail]

Entries are deflated, dated 1 January 1980 and sorted ("[Content_Types].xml" first), so the same
sources always give the same bytes. --thumbnail adds QuickLook/Thumbnail.png, a small preview
image drawn here so that no binary file lives in the source tree.
"""
import os
import struct
import sys
import zipfile
import zlib


def thumbnail(width=64, height=48):
    rows = []
    for y in range(height):
        row = bytearray([0])  # filter: none
        for x in range(width):
            line = y % 12 == 0 or x % 16 == 0
            row += bytes((200, 200, 200) if line else (255, 255, 255))
        rows.append(bytes(row))
    raw = b"".join(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    source, output = sys.argv[1], sys.argv[2]
    files = []
    for folder, _, names in os.walk(source):
        for name in names:
            path = os.path.join(folder, name)
            files.append(os.path.relpath(path, source).replace(os.sep, "/"))
    files.sort(key=lambda name: (name != "[Content_Types].xml", name))
    temp = output + ".tmp"
    with zipfile.ZipFile(temp, "w", zipfile.ZIP_DEFLATED) as archive:
        for name in files:
            info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(source, name), "rb") as f:
                archive.writestr(info, f.read())
        if "--thumbnail" in sys.argv[3:]:
            info = zipfile.ZipInfo("QuickLook/Thumbnail.png", date_time=(1980, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, thumbnail())
    os.replace(temp, output)


if __name__ == "__main__":
    main()
