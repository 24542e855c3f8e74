#!/usr/bin/env bash
# The installer test: builds the installer from this build's programs (TarnWake from the
# 32-bit build beside it), then runs the Wine checks that install, start and uninstall it. In
# between the last two checks it puts a link where the custom installation's image\ folder
# was, which only the host can do under Wine.
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
drive_c="${WINEPREFIX:?}/drive_c"
installed="$drive_c/Program Files/Orvane/Gaming Mouse"
target="$drive_c/tarn_junction_target"
log="$out/installer_check.log"
# Programs the installer started hold the output they inherited: write it to a file, so ctest
# does not wait for them, and end what a failed step left running.
cleanup() {
    if [ -f "$installed/Uninstall.exe" ]; then
        timeout 120 wine "$installed/Uninstall.exe" /S "_?=C:\\Program Files\\Orvane\\Gaming Mouse" \
            </dev/null >/dev/null 2>&1 || true
    fi
    rm -rf "$drive_c/Program Files/Orvane" "$drive_c/Tarn Custom" "$target"
}
trap cleanup EXIT
last=Installer.UninstallNeverFollowsAJunctionOutOfTheFolder
status=0
timeout 600 wine "$check" --gtest_filter="-$last" </dev/null >"$log" 2>&1 || status=$?
cat "$log"
[ $status = 0 ] || exit $status
rm -rf "$target"
mkdir -p "$target"
cp "$installed/image/mouse.bmp" "$installed/image/logo.bmp" "$target/"
rm -rf "$installed/image"
ln -s "$target" "$installed/image"
TARN_JUNCTION_TARGET='C:\tarn_junction_target' timeout 300 wine "$check" --gtest_filter="$last" \
    </dev/null >"$log" 2>&1 || status=$?
cat "$log"
exit $status
