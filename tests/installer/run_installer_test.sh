#!/usr/bin/env bash
# The installer test: builds the installer from this build's programs (TarnWake from the
# 32-bit build beside it), then runs the Wine checks that install, start and uninstall it.
#   run_installer_test.sh SOURCE_DIR BUILD_DIR VERSION CHECK_EXE
set -euo pipefail
src=$1
build=$2
version=$3
check=$4
win32_bin="$build/../win32/bin"
if [ ! -f "$win32_bin/TarnWake.exe" ]; then
    echo "no $win32_bin/TarnWake.exe: build the 32-bit flavour first (scripts/build.sh)" >&2
    exit 1
fi
out="$build/installer"
mkdir -p "$out"
"$src/scripts/make_installer.sh" "$build/bin" "$win32_bin" "$out" "$version" >"$out/makensis.log" 2>&1 ||
    { cat "$out/makensis.log" >&2; exit 1; }
windows_path() { printf 'Z:%s' "$(cd "$1" && pwd)" | tr / '\\'; }
export TARN_INSTALLER="$(windows_path "$out")\\TarnSetup-$version.exe"
export TARN_INSTALL_STAGE="$(windows_path "$out/stage")"
exec timeout 600 wine "$check"
