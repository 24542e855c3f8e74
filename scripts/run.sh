#!/usr/bin/env bash
# The main job: builds what the demo needs (the three programs, the virtual mouse and filter
# drivers with their tools, the demo's probe), then walks through what a user sees, against the
# virtual mouse and the virtual filter drivers on a Wine virtual desktop, checking each step and
# stopping at the first that fails. Ends with a summary table and a contact sheet of the
# screenshots. With TARN_USE_OWN_DISPLAY=1 it runs on $DISPLAY and, started from a terminal,
# leaves the programs running until Enter. The build's Wine prefix is left as it was found.
set -euo pipefail
source "$(dirname "$0")/common.sh"

DEMO_DIR="$TARN_BUILD/demo"
SHOTS="$DEMO_DIR/screenshots"
STATE="$DEMO_DIR/state"
VIRTUAL="$TARN_BUILD/win64/virtual"
TESTS="$TARN_BUILD/win64/tests"
PROGRAMS="$TARN_BUILD/win64/bin"

job_start=$(date +%s.%N)
rows=()
FIGURE="" PROBLEM=""

seconds_since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", b - a }'; }
win_path() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }

# wine_run DIR EXE ARGS...: a Windows program of the build, its output in files (a pipe from
# Wine can stay open until the session ends). FIGURE: the last line it printed; PROBLEM: the
# last lines of its error output.
wine_run() {
    local dir=$1
    shift
    if (cd "$dir" && timeout 120 wine "$@") >"$DEMO_DIR/out.txt" 2>"$DEMO_DIR/err.txt"; then
        FIGURE=$(tr -d '\r' <"$DEMO_DIR/out.txt" | sed '/^$/d' | tail -n 1)
        return 0
    fi
    PROBLEM=$(tr -d '\r' <"$DEMO_DIR/err.txt" | sed '/^$/d' | tail -n 2 | paste -sd ' ')
    [ -n "$PROBLEM" ] || PROBLEM="$* failed"
    return 1
}
probe() { wine_run "$TESTS" ./tarn_demo_probe.exe "$@"; }
mouse() { wine_run "$VIRTUAL" ./tarnmouse.exe "$@"; }
filter() { wine_run "$VIRTUAL" ./tarnfilter.exe "$@"; }

summary() {
    printf '\n%-5s %-46s %-7s %s\n' step "what a user sees" result figure
    local row number title result figure
    for row in "${rows[@]}"; do
        IFS='|' read -r number title result figure <<<"$row"
        printf '%-5s %-46s %-7s %s\n' "$number" "$title" "$result" "$figure"
    done
    echo
}

# run_step N TITLE FUNCTION: the function sets FIGURE, or PROBLEM and fails.
run_step() {
    local number=$1 title=$2
    shift 2
    say "step $number/7: $title"
    FIGURE="" PROBLEM=""
    if "$@"; then
        rows+=("$number|$title|ok|$FIGURE")
        printf '   ok: %s\n' "$FIGURE"
        return 0
    fi
    rows+=("$number|$title|FAILED|$PROBLEM")
    printf '   FAILED: %s\n' "$PROBLEM" >&2
    summary
    echo "The main job stopped at step $number ($title): $PROBLEM" >&2
    exit 1
}

# ---- What the demo changes, and how it is put back ----

saved=0 was_plugged=0 active_profile="" had_memory=0 filter_was_running=0 own_xvfb=""

save_state() {
    mkdir -p "$STATE"
    probe keep "$(win_path "$STATE/registry.bin")" || {
        echo "cannot save the registry keys the demo changes: $PROBLEM" >&2
        return 1
    }
    saved=1
    if mouse present; then
        was_plugged=1
        ! mouse status || active_profile=$(awk '{ print $2 }' <<<"$FIGURE")
    fi
    ! mouse dump "$(win_path "$STATE/memory.bin")" || had_memory=1
    ! filter status hid || filter_was_running=1
}

restore_state() {
    say "putting the Wine prefix back as it was"
    probe close || true
    if [ "$was_plugged" = 1 ]; then
        mouse present || mouse plug || echo "warning: cannot plug the mouse back in" >&2
    else
        ! mouse present || mouse unplug || echo "warning: cannot unplug the mouse" >&2
    fi
    if [ "$had_memory" = 1 ]; then
        mouse load "$(win_path "$STATE/memory.bin")" ||
            echo "warning: the mouse's memory was not put back: $PROBLEM" >&2
    fi
    if [ -n "$active_profile" ]; then
        mouse set-active "$active_profile" || echo "warning: the mouse's profile was not put back" >&2
    fi
    [ "$filter_was_running" = 1 ] || filter stop || true
    probe restore "$(win_path "$STATE/registry.bin")" ||
        echo "warning: the registry keys were not put back: $PROBLEM" >&2
}

cleanup() {
    local status=$?
    trap - EXIT
    if [ "$saved" = 1 ]; then
        restore_state
    fi
    tarn_wine_stop
    if [ -n "$own_xvfb" ]; then
        kill "$own_xvfb" 2>/dev/null || true
    fi
    exit "$status"
}

# ---- The steps ----

step_arrival() { probe arrival; }

step_copy() {
    # The mouse is on profile 2; the Settings dialog must open on it.
    mouse set-active 1 && probe copy
}

step_settings() { probe settings 1 "$(win_path "$SHOTS")"; }

step_switch() { probe switch 3 "$(win_path "$SHOTS")"; }

step_apply() { probe apply; }

step_agent() {
    probe battery "$(win_path "$SHOTS")" || return 1
    local battery=$FIGURE
    probe button || return 1
    FIGURE="$battery; $FIGURE"
}

step_show() {
    local started
    started=$(date +%s.%N)
    wine_run "$PROGRAMS" ./TarnDesk.exe /show || return 1
    tr -d '\r' <"$DEMO_DIR/out.txt" >"$DEMO_DIR/show.txt"
    sed 's/^/     /' "$DEMO_DIR/show.txt"
    if ! grep -q '^Active profile: 4$' "$DEMO_DIR/show.txt"; then
        PROBLEM="/show does not name profile 4 as the active one"
        return 1
    fi
    # The edit of step 5, read back from the mouse.
    if ! sed -n '/^Profile 4:/,/^$/p' "$DEMO_DIR/show.txt" | grep -q '^  Button 6: Double'; then
        PROBLEM="/show does not list button 6 of profile 4 as the double click applied in step 5"
        return 1
    fi
    FIGURE="$(grep -c '^Profile [1-5]:' "$DEMO_DIR/show.txt") profiles, active 4, button 6 as applied, in $(seconds_since "$started") s"
}

# ---- The job ----

tarn_packages
build_start=$(date +%s.%N)
jobs=$(nproc)
say "building the programs, the virtual devices and the demo's probe"
# What is already built is not listed.
quiet() { grep -v '^\[ *[0-9]*%\] Built target' || true; }
tarn_configure win64
cmake --build "$TARN_BUILD/win64" -j"$jobs" --target TarnDesk TarnAgent tarn_program_files \
    tarnmouse tarnfilter tarn_demo_probe | quiet
tarn_configure win32
cmake --build "$TARN_BUILD/win32" -j"$jobs" --target TarnWake | quiet
build_seconds=$(seconds_since "$build_start")

# A real display is the user's own; otherwise an Xvfb that this job stops if it started it.
real_display=""
if [ -n "${TARN_USE_OWN_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then
    real_display=1
fi
lock="/tmp/.X${TARN_DISPLAY#:}-lock"
xvfb_before=""
if [ -f "$lock" ] && kill -0 "$(tr -d ' ' <"$lock")" 2>/dev/null; then
    xvfb_before=1
fi
trap cleanup EXIT
trap 'echo "the main job was interrupted" >&2; exit 130' INT TERM
tarn_wine
if [ -z "$real_display" ] && [ -z "$xvfb_before" ] && [ -f "$lock" ]; then
    own_xvfb=$(tr -d ' ' <"$lock")
fi

rm -rf "$SHOTS" "$DEMO_DIR/contact_sheet.png"
mkdir -p "$SHOTS"
say "saving what the demo changes in the Wine prefix"
save_state
say "loading the virtual filter drivers; the virtual mouse, unplugged, gets the demo's memory"
filter start || {
    echo "the virtual filter drivers did not load: $PROBLEM" >&2
    exit 1
}
if mouse present && ! mouse unplug; then
    echo "the virtual mouse cannot be unplugged: $PROBLEM" >&2
    exit 1
fi
if ! probe image "$(win_path "$DEMO_DIR/memory.bin")" ||
    ! mouse load "$(win_path "$DEMO_DIR/memory.bin")"; then
    echo "the virtual mouse did not take the demo's memory: $PROBLEM" >&2
    exit 1
fi

run_step 1 "the mouse arrives, TarnWake starts TarnAgent" step_arrival
run_step 2 "TarnDesk copies the mouse's memory" step_copy
run_step 3 "tray \"Setting\" opens the mouse's profile" step_settings
run_step 4 "a switch on the mouse shows in the dialog" step_switch
run_step 5 "an edit applied reaches the mouse's memory" step_apply
run_step 6 "TarnAgent: battery warning, button action" step_agent
run_step 7 "TarnDesk.exe /show prints the profiles" step_show

summary
probe sheet "$(win_path "$SHOTS/contact_sheet.bmp")" \
    "3  the tray menu: Setting" "$(win_path "$SHOTS/tray_menu.bmp")" \
    "3  the Settings dialog on the mouse's profile 2" "$(win_path "$SHOTS/settings.bmp")" \
    "4  after the switch on the mouse to profile 4" "$(win_path "$SHOTS/settings_switched.bmp")" \
    "6  battery low: balloon and blinking tray icon" "$(win_path "$SHOTS/battery.bmp")" || {
    echo "the contact sheet was not made: $PROBLEM" >&2
    exit 1
}
python3 "$TARN_ROOT/scripts/bmp_to_png.py" "$SHOTS"/*.bmp
mv "$SHOTS/contact_sheet.png" "$DEMO_DIR/contact_sheet.png"
echo "contact sheet: $DEMO_DIR/contact_sheet.png (each screenshot in $SHOTS)"
echo "main job: $(seconds_since "$job_start") s, of which building $build_seconds s"

if [ -n "$real_display" ] && [ -t 0 ]; then
    read -r -p "The programs run on $DISPLAY; press Enter to end the demo. " _ || true
fi
