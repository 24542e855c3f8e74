#!/usr/bin/env bash
# Screenshots of TarnDesk against the virtual mouse. Run after scripts/build.sh:
#   scripts/dpi_screenshots.sh          the Settings dialog at 96 and 144 dpi into artifacts/dpi/
#   scripts/dpi_screenshots.sh readme   the README's pictures into docs/ (96 dpi): the tray
#                                       menu, both layouts of Settings, recorder, Select Profile,
#                                       Program profiles
# Wine takes the scale from LogPixels when a program starts; the build's prefix is set back to
# 96 dpi at the end, and the mouse gets back the memory and active profile it had.
set -euo pipefail
source "$(dirname "$0")/common.sh"
mode=${1:-dpi}
win64="$TARN_BUILD/win64"
stage="$TARN_BUILD/dpi-stage"
rm -rf "$stage"
mkdir -p "$stage"
cp "$win64/bin/TarnDesk.exe" "$stage/"
for d in image Language; do
    [ -d "$TARN_ROOT/install/$d" ] && cp -r "$TARN_ROOT/install/$d" "$stage/"
done
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

set_dpi() {
    timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        >/dev/null 2>&1
}
mouse() { (cd "$win64/virtual" && timeout 60 wine ./tarnmouse.exe "$@"); }

# shot NAME OUT_DIR [WINDOW]: one dialog_shot run into OUT_DIR/NAME.png; inside a Wine
# virtual desktop when $desktop names one (Wine then draws the captions and frames itself,
# as no window manager runs on the test display).
status=0
desktop=()
shot() {
    local name=$1 dir=$2 window=${3:-settings}
    if timeout 120 wine "${desktop[@]}" "$win64/tests/dialog_shot.exe" "$(windows_path "$stage")" \
        "$(windows_path "$dir")\\$name.bmp" "$window" >"$dir/$name.txt" 2>&1; then
        # Without dates, so an unchanged picture gives an unchanged file.
        convert "$dir/$name.bmp" -strip -define png:exclude-chunks=date,time "$dir/$name.png" &&
            rm -f "$dir/$name.bmp"
        say "$(cat "$dir/$name.txt") -> ${dir#"$TARN_ROOT"/}/$name.png"
        rm -f "$dir/$name.txt"
    else
        say "no screenshot $name: $(cat "$dir/$name.txt")"
        status=1
    fi
}

tarn_wine >/dev/null
trap 'set_dpi 96' EXIT
if [ "$mode" = readme ]; then
    out="$TARN_ROOT/docs"
    desktop=(explorer /desktop=TarnShots,1024x768)
    set_dpi 96
    mouse plug >/dev/null 2>&1 || true
    # The pictures show the default profiles, with a profile switch on button 2 (Select
    # Profile stores its choice); the mouse gets its own memory back afterwards.
    mouse dump "$(windows_path "$stage")\\memory.bin" >/dev/null
    active=$(mouse status | sed -n 's/^active \([0-9]*\).*/\1/p')
    mouse set-active 0 >/dev/null
    timeout 120 wine "${desktop[@]}" "$win64/tests/dialog_shot.exe" "$(windows_path "$stage")" \
        NUL reset >/dev/null 2>&1 || { say "Reset to Default failed"; status=1; }
    shot tray-menu "$out" menu
    shot select-profile "$out" select
    shot settings-profile "$out" settings
    shot recorder "$out" recorder
    mouse set-active 5 >/dev/null
    shot settings-basic "$out" settings
    # Program profiles with two example rules and a desktop profile, removed again afterwards.
    rules='HKCU\Software\Orvane\Gaming\Settings\Programs'
    settings='HKCU\Software\Orvane\Gaming\Settings'
    wine reg add "$rules" /v 'C:\Games\Starfall\starfall.exe' /t REG_DWORD /d 2 /f >/dev/null 2>&1
    wine reg add "$rules" /v 'sketchpad.exe' /t REG_DWORD /d 4 /f >/dev/null 2>&1
    wine reg add "$settings" /v ProgramProfiles /t REG_DWORD /d 1 /f >/dev/null 2>&1
    wine reg add "$settings" /v DesktopProfile /t REG_DWORD /d 1 /f >/dev/null 2>&1
    shot program-profiles "$out" 32776
    wine reg delete "$rules" /f >/dev/null 2>&1 || true
    wine reg delete "$settings" /v ProgramProfiles /f >/dev/null 2>&1 || true
    wine reg delete "$settings" /v DesktopProfile /f >/dev/null 2>&1 || true
    mouse load "$(windows_path "$stage")\\memory.bin" >/dev/null
    mouse set-active "${active:-0}" >/dev/null
    exit $status
fi

out="$TARN_ROOT/artifacts/dpi"
mkdir -p "$out"
for dpi in 96 144; do
    say "Settings dialog at $dpi dpi"
    set_dpi "$dpi"
    mouse plug >/dev/null 2>&1 || true
    shot "settings-$dpi" "$out"
    mouse unplug >/dev/null 2>&1 || true
done
exit $status
