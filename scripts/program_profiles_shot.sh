#!/usr/bin/env bash
# The README's picture of the Program profiles dialog (docs/program_profiles.png): TarnDesk from
# the build, with two example rules and a desktop profile in the build's Wine prefix, opened
# from its tray menu by tests/dpi/dialog_shot. Run after scripts/build.sh.
set -euo pipefail
source "$(dirname "$0")/common.sh"
win64="$TARN_BUILD/win64"
stage="$TARN_BUILD/shot-stage"
rm -rf "$stage"
mkdir -p "$stage"
cp "$win64/bin/TarnDesk.exe" "$stage/"
cp -r "$TARN_ROOT/install/image" "$TARN_ROOT/install/Language" "$stage/"
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
tarn_wine >/dev/null
rules='HKCU\Software\Orvane\Gaming\Settings\Programs'
settings='HKCU\Software\Orvane\Gaming\Settings'
wine reg delete "$rules" /f >/dev/null 2>&1 || true
wine reg add "$rules" /v 'C:\Games\Starfall\starfall.exe' /t REG_DWORD /d 2 /f >/dev/null 2>&1
wine reg add "$rules" /v 'sketchpad.exe' /t REG_DWORD /d 4 /f >/dev/null 2>&1
wine reg add "$settings" /v ProgramProfiles /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add "$settings" /v DesktopProfile /t REG_DWORD /d 1 /f >/dev/null 2>&1
bmp="$stage/program_profiles.bmp"
# A desktop of its own draws the caption, as the user sees it.
timeout 120 wine explorer /desktop=TarnShot,800x600 "$win64/tests/dialog_shot.exe" "$(windows_path "$stage")" \
    "$(windows_path "$bmp")" 32776
convert "$bmp" "$TARN_ROOT/docs/program_profiles.png"
wine reg delete "$rules" /f >/dev/null 2>&1 || true
wine reg delete "$settings" /v ProgramProfiles /f >/dev/null 2>&1 || true
wine reg delete "$settings" /v DesktopProfile /f >/dev/null 2>&1 || true
say "docs/program_profiles.png"
