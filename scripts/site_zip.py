#!/usr/bin/env python3
"""Packs the browser build's site folder into a zip any static host serves.

The same bytes from the same files, wherever and whenever it runs: the
files at the zip's top level in name order, each dated DATE (the release
date, at midnight), readable by all, compressed at zlib's level 9, with no
extra fields and no comment.

Usage: site_zip.py SITE_DIR OUT.zip DATE(YYYY-MM-DD) FILE...
"""
import os
import sys
import zipfile


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__.strip().splitlines()[-1])
    site, out, date, names = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    year, month, day = (int(part) for part in date.split("-"))
    partial = out + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for name in sorted(names):
            with open(os.path.join(site, name), "rb") as file:
                data = file.read()
            info = zipfile.ZipInfo(name, date_time=(year, month, day, 0, 0, 0))
            info.create_system = 3  # Unix, so that the mode below counts
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
    os.replace(partial, out)


if __name__ == "__main__":
    main()
