#!/usr/bin/env python3
"""Packs the portable zip: the programs with what they read beside themselves.

portable_zip.py PROGRAMS INSTALL ZIP puts every program in PROGRAMS and, from INSTALL,
Language\\, image\\, TarnMsFlt.inf and TarnPrefs.txt into ZIP under one folder, as they lie
in an installation. The programs find all of it beside themselves, so the folder runs from
anywhere (a USB stick, Downloads) without installing.
"""
import os
import sys
import zipfile

FOLDER = "Orvane Gaming Mouse"
FILES = ["TarnMsFlt.inf", "TarnPrefs.txt"]
FOLDERS = ["Language", "image"]


def main():
    programs, install, out = sys.argv[1], sys.argv[2], sys.argv[3]
    entries = []
    for name in sorted(os.listdir(programs)):
        entries.append((os.path.join(programs, name), name))
    for name in FILES:
        entries.append((os.path.join(install, name), name))
    for folder in FOLDERS:
        for name in sorted(os.listdir(os.path.join(install, folder))):
            entries.append((os.path.join(install, folder, name), f"{folder}/{name}"))
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
        for path, name in entries:
            info = zipfile.ZipInfo(f"{FOLDER}/{name}", date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                archive.writestr(info, f.read())
    print(out)


if __name__ == "__main__":
    main()
