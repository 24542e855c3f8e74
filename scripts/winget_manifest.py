#!/usr/bin/env python3
"""Writes the winget manifest set of a release (multi-file form, schema 1.6.0).

winget_manifest.py INSTALLER VERSION URL_FOLDER OUTDIR writes
OUTDIR/manifests/o/Orvane/GamingMouse/VERSION/ with the version, installer and default-locale
manifests: the installer's SHA-256, its silent switches (/S; /NOSTART is not used: a package
manager's install leaves the settings program to the user) and the product code under which
it registers its uninstaller.
"""
import hashlib
import os
import sys

IDENTIFIER = "Orvane.GamingMouse"
MANIFEST_VERSION = "1.6.0"
SCHEMA = "https://aka.ms/winget-manifest.{kind}.1.6.0.schema.json"
LOCALE = "en-US"
# The key name under ...\CurrentVersion\Uninstall that the installer writes.
PRODUCT_CODE = "OrvaneGamingMouse"


def document(kind, fields):
    lines = [f"# yaml-language-server: $schema={SCHEMA.format(kind=kind)}", ""]
    for key, value in fields:
        lines.extend(render(key, value, 0))
    return "\n".join(lines) + "\n"


def scalar(value):
    text = str(value)
    if text == "" or any(c in text for c in ":#'\"{}[],&*?|<>=!%@`") or text != text.strip():
        return "'" + text.replace("'", "''") + "'"
    return text


class Mapping:
    """A nested mapping, kept in the order it is written."""

    def __init__(self, *items):
        self.items = list(items)


def render(key, value, indent):
    """YAML lines of one field: a scalar, a Mapping, or a list of records (lists of pairs)."""
    pad = " " * indent
    if isinstance(value, Mapping):
        out = [f"{pad}{key}:"]
        for k, v in value.items:
            out.extend(render(k, v, indent + 2))
        return out
    if isinstance(value, list):
        out = [f"{pad}{key}:"]
        for record in value:
            for i, (k, v) in enumerate(record):
                lines = render(k, v, 0)
                for j, line in enumerate(lines):
                    prefix = "- " if i == 0 and j == 0 else "  "
                    out.append(f"{pad}{prefix}{line}")
        return out
    return [f"{pad}{key}: {scalar(value)}"]


def main():
    installer, version, url_folder, outdir = sys.argv[1:5]
    with open(installer, "rb") as f:
        sha256 = hashlib.sha256(f.read()).hexdigest().upper()
    folder = os.path.join(outdir, "manifests", "o", "Orvane", "GamingMouse", version)
    os.makedirs(folder, exist_ok=True)
    common = [("PackageIdentifier", IDENTIFIER), ("PackageVersion", version)]
    files = {
        f"{IDENTIFIER}.yaml": document("version", common + [
            ("DefaultLocale", LOCALE),
            ("ManifestType", "version"),
            ("ManifestVersion", MANIFEST_VERSION),
        ]),
        f"{IDENTIFIER}.installer.yaml": document("installer", common + [
            ("InstallerType", "nullsoft"),
            ("Scope", "machine"),
            ("ElevationRequirement", "elevatesSelf"),
            ("InstallerSwitches", Mapping(("Silent", "/S"), ("SilentWithProgress", "/S"),
                                          ("InstallLocation", "/D=<INSTALLPATH>"))),
            ("UpgradeBehavior", "install"),
            ("ProductCode", PRODUCT_CODE),
            ("Installers", [[
                ("Architecture", "x64"),
                ("InstallerUrl", f"{url_folder.rstrip('/')}/{os.path.basename(installer)}"),
                ("InstallerSha256", sha256),
            ]]),
            ("ManifestType", "installer"),
            ("ManifestVersion", MANIFEST_VERSION),
        ]),
        f"{IDENTIFIER}.locale.{LOCALE}.yaml": document("defaultLocale", common + [
            ("PackageLocale", LOCALE),
            ("Publisher", "Orvane"),
            ("PackageName", "Orvane Gaming Mouse Software"),
            ("License", "Proprietary"),
            ("ShortDescription",
             "Settings, button actions and device launcher for the Orvane gaming mouse."),
            ("Moniker", "orvane-mouse"),
            ("ManifestType", "defaultLocale"),
            ("ManifestVersion", MANIFEST_VERSION),
        ]),
    }
    for name, text in files.items():
        with open(os.path.join(folder, name), "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        print(os.path.join(folder, name))


if __name__ == "__main__":
    main()
