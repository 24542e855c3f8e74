#!/usr/bin/env python3
"""Checks what scripts/release.sh left in dist/, as a package manager and a user meet it.

check_release.py DIST [CA TSA_CA] verifies every program's and the installer's Authenticode
signature (osslsigncode verify, against the given roots), that the winget manifests carry every
field the schema requires with the installer's real SHA-256, and that the portable zip holds
the programs and all they read beside themselves. Prints one line per finding; exit 1 on any.
"""
import hashlib
import os
import re
import subprocess
import sys
import zipfile

IDENTIFIER = "Orvane.GamingMouse"
# Required fields of the winget 1.6.0 schemas (version, installer, defaultLocale), and of
# each entry of Installers.
REQUIRED = {
    "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType",
                "ManifestVersion"],
    "installer": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType",
                  "ManifestVersion"],
    "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher",
                      "PackageName", "License", "ShortDescription", "ManifestType",
                      "ManifestVersion"],
}
REQUIRED_PER_INSTALLER = ["Architecture", "InstallerUrl", "InstallerSha256"]
PROGRAMS = ["TarnDesk.exe", "TarnDesk.com", "TarnAgent.exe", "TarnWake.exe"]
PORTABLE = ["TarnDesk.exe", "TarnDesk.com", "TarnAgent.exe", "TarnWake.exe", "TarnMsFlt.inf", "TarnPrefs.txt",
            "Language/0409.txt", "Language/0404.txt", "image/mark.ico", "image/mouse.bmp",
            "image/bk.bmp", "image/logo.bmp", "image/company.bmp"]

problems = []


def fields(text):
    """Top-level keys with their scalar values, and the keys of each Installers entry."""
    top, installers = {}, []
    section = None
    for line in text.splitlines():
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        m = re.match(r"^(\w+):\s*(.*)$", line)
        if m:
            section = m.group(1)
            top[section] = m.group(2).strip().strip("'")
            continue
        m = re.match(r"^(- |  )(\w+):\s*(.*)$", line)
        if m and section == "Installers":
            if m.group(1) == "- ":
                installers.append({})
            installers[-1][m.group(2)] = m.group(3).strip().strip("'")
    return top, installers


def check_signatures(dist, ca, tsa):
    files = sorted(f for f in os.listdir(dist) if f.endswith((".exe", ".com")))
    for name in PROGRAMS:
        if name not in files:
            problems.append(f"dist/ lacks {name}")
    for name in files:
        args = ["osslsigncode", "verify", "-in", os.path.join(dist, name)]
        if ca:
            args += ["-CAfile", ca]
        if tsa:
            args += ["-TSA-CAfile", tsa]
        run = subprocess.run(args, capture_output=True, text=True)
        if run.returncode != 0 or "Signature verification: ok" not in run.stdout:
            problems.append(f"{name}: the signature does not verify")
        elif tsa and "Timestamp" not in run.stdout:
            problems.append(f"{name}: signed without a time stamp")


def check_manifests(dist):
    installers = [f for f in os.listdir(dist) if re.match(r"TarnSetup-.*\.exe$", f)]
    if len(installers) != 1:
        problems.append(f"expected one installer in dist/, found {installers}")
        return
    installer = installers[0]
    version = installer[len("TarnSetup-"):-len(".exe")]
    with open(os.path.join(dist, installer), "rb") as f:
        sha256 = hashlib.sha256(f.read()).hexdigest().upper()
    folder = os.path.join(dist, "winget", "manifests", "o", "Orvane", "GamingMouse", version)
    names = {"version": f"{IDENTIFIER}.yaml", "installer": f"{IDENTIFIER}.installer.yaml",
             "defaultLocale": f"{IDENTIFIER}.locale.en-US.yaml"}
    for kind, name in names.items():
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            problems.append(f"no {kind} manifest {name}")
            continue
        top, entries = fields(open(path, encoding="utf-8").read())
        for key in REQUIRED[kind]:
            if not top.get(key) and not (key == "Installers" and entries):
                problems.append(f"{name}: required field {key} is missing")
        if top.get("ManifestType") != kind:
            problems.append(f"{name}: ManifestType {top.get('ManifestType')} is not {kind}")
        if top.get("PackageVersion") != version or top.get("PackageIdentifier") != IDENTIFIER:
            problems.append(f"{name}: names another package or version")
        if kind != "installer":
            continue
        for entry in entries:
            for key in REQUIRED_PER_INSTALLER:
                if not entry.get(key):
                    problems.append(f"{name}: an installer lacks {key}")
            if entry.get("InstallerSha256") != sha256:
                problems.append(f"{name}: InstallerSha256 is not the installer's")
            if not entry.get("InstallerUrl", "").endswith("/" + installer):
                problems.append(f"{name}: InstallerUrl does not name {installer}")
        text = open(path, encoding="utf-8").read()
        for needed in ("Silent: /S", "SilentWithProgress: /S", "ProductCode: OrvaneGamingMouse",
                       "InstallerType: nullsoft"):
            if needed not in text:
                problems.append(f"{name}: lacks '{needed}'")


def check_zip(dist):
    zips = [f for f in os.listdir(dist) if f.endswith("-portable.zip")]
    if len(zips) != 1:
        problems.append(f"expected one portable zip, found {zips}")
        return
    with zipfile.ZipFile(os.path.join(dist, zips[0])) as archive:
        inside = {n.split("/", 1)[1] for n in archive.namelist() if "/" in n}
        folders = {n.split("/", 1)[0] for n in archive.namelist()}
        if archive.testzip() is not None:
            problems.append(f"{zips[0]} is damaged")
    if len(folders) != 1:
        problems.append(f"{zips[0]} should hold one folder, holds {sorted(folders)}")
    for name in PORTABLE:
        if name not in inside:
            problems.append(f"{zips[0]} lacks {name}")


def main():
    dist = sys.argv[1]
    ca = sys.argv[2] if len(sys.argv) > 2 else ""
    tsa = sys.argv[3] if len(sys.argv) > 3 else ""
    check_signatures(dist, ca, tsa)
    check_manifests(dist)
    check_zip(dist)
    for problem in problems:
        print(problem)
    print("release check: " + ("all signatures, manifests and the zip in order" if not problems
                               else f"{len(problems)} problems"))
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
