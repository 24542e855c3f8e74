#!/usr/bin/env bash
# Screenshots of TarnDesk's Settings dialog at 96 and 144 dpi, against the virtual mouse, into
# artifacts/dpi/. Wine takes the scale from LogPixels when a program starts; the build's prefix
# is set back to 96 dpi at the end. Run after scripts/build.sh:  scripts/dpi_screenshots.sh
set -euo pipefail
source "$(dirname "$0")/common.sh"
win64="$TARN_BUILD/win64"
out="$TARN_ROOT/artifacts/dpi"
stage="$TARN_BUILD/dpi-stage"
mkdir -p "$out"
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

status=0
tarn_wine >/dev/null
trap 'set_dpi 96' EXIT
for dpi in 96 144; do
    say "Settings dialog at $dpi dpi"
    set_dpi "$dpi"
    (cd "$win64/virtual" && timeout 60 wine ./tarnmouse.exe plug >/dev/null 2>&1) || true
    if timeout 120 wine "$win64/tests/dialog_shot.exe" "$(windows_path "$stage")" \
        "$(windows_path "$out")\\settings-$dpi.bmp" >"$out/settings-$dpi.txt" 2>&1; then
        convert "$out/settings-$dpi.bmp" "$out/settings-$dpi.png" && rm -f "$out/settings-$dpi.bmp"
        say "$(cat "$out/settings-$dpi.txt") -> artifacts/dpi/settings-$dpi.png"
    else
        say "no screenshot at $dpi dpi: $(cat "$out/settings-$dpi.txt")"
        status=1
    fi
    (cd "$win64/virtual" && timeout 60 wine ./tarnmouse.exe unplug >/dev/null 2>&1) || true
done
exit $status
