#!/usr/bin/env bash
# Builds the suite's installer from built programs and the install/ folder:
#   scripts/make_installer.sh WIN64_BIN WIN32_BIN OUT_DIR [VERSION]
# WIN64_BIN holds TarnDesk.exe, its console companion TarnDesk.com and TarnAgent.exe, WIN32_BIN
# TarnWake.exe. Everything in
# install/ except the installer's own sources is installed beside the programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win64_bin=$1
win32_bin=$2
out=$3
version=${4:-$(sed -n 's/^project(TarnSuite VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")}

stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage"
cp "$win64_bin/TarnDesk.exe" "$win64_bin/TarnDesk.com" "$win64_bin/TarnAgent.exe" \
    "$win32_bin/TarnWake.exe" "$stage/"
# Sources of installed files stay behind: language_texts/ becomes Language\.
(cd "$root/install" && find . -path ./language_texts -prune -o -type f ! -name '*.nsi' \
    ! -name '*.nsh' ! -name '*.py' ! -name '*.md' ! -name '.*' -print0 |
    while IFS= read -r -d '' f; do
        mkdir -p "$stage/$(dirname "$f")"
        cp "$f" "$stage/$f"
    done)
for required in TarnMsFlt.inf TarnPrefs.txt; do
    [ -f "$stage/$required" ] || { echo "install/$required is missing" >&2; exit 1; }
done
python3 "$root/scripts/installer_files.py" "$stage" "$out"
installer="$out/TarnSetup-$version.exe"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DOUTFILE="$installer" \
    -DLISTS="$out" "$root/install/installer.nsi"
echo "$installer"
