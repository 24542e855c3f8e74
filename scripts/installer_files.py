#!/usr/bin/env python3
"""Writes the installer's file lists for a staged folder.

installer_files.py STAGE OUTDIR writes OUTDIR/install_files.nsh (SetOutPath/File lines) and
OUTDIR/uninstall_files.nsh (Delete/RMDir lines for exactly those files and folders, deepest
folders first), so the uninstaller removes what was installed and nothing the user added.
The files of a subfolder are deleted only while that folder and each one above it is a folder
of its own (un.IsOwnFolder): a junction put in its place is never followed out of the
installation; RMDir then removes the junction, not what it points to.
"""
import os
import sys


def esc(text):
    """Text as a literal inside an NSIS string."""
    return text.replace("$", "$$").replace('"', '$\\"')


def main():
    stage, outdir = sys.argv[1], sys.argv[2]
    folders = []
    install = []
    remove = []
    for root, dirs, files in os.walk(stage):
        dirs.sort()
        rel = os.path.relpath(root, stage)
        target = "$INSTDIR" if rel == "." else "$INSTDIR\\" + esc(rel.replace("/", "\\"))
        if rel != ".":
            folders.append(target)
        if not files:
            continue
        install.append(f'SetOutPath "{target}"')
        parts = [] if rel == "." else rel.split(os.sep)
        guards = ["$INSTDIR\\" + esc("\\".join(parts[: i + 1])) for i in range(len(parts))]
        for guard in guards:
            remove.append(f'Push "{guard}"')
            remove.append("Call un.IsOwnFolder")
            remove.append("${If} $0 = 1")
        for name in sorted(files):
            install.append(f'File "{esc(os.path.join(os.path.abspath(root), name))}"')
            remove.append(f'Delete "{target}\\{esc(name)}"')
        remove.extend(["${EndIf}"] * len(guards))
    for folder in sorted(folders, key=lambda f: f.count("\\"), reverse=True):
        remove.append(f'RMDir "{folder}"')
    with open(os.path.join(outdir, "install_files.nsh"), "w", encoding="utf-8") as f:
        f.write("\n".join(install) + "\n")
    with open(os.path.join(outdir, "uninstall_files.nsh"), "w", encoding="utf-8") as f:
        f.write("\n".join(remove) + "\n")


if __name__ == "__main__":
    main()
