#!/usr/bin/env bash
# The main job: build everything, then show the suite working: the memory link benchmark
# against the simulated mouse, then the virtual filter drivers and virtual mouse at the
# operating-system level, with TarnWake and TarnDesk running against them on a virtual desktop.
set -euo pipefail
source "$(dirname "$0")/common.sh"

# The memory link with the production pacing wait: wall time of a block read, a block write
# and a full copy, as ratios to the 800 ms per block floor. Mode "simulated" (the in-process
# simulated mouse) or "system" (the production SetupDi/HidD walk, which finds the virtual
# mouse once it is plugged).
step_memory_link_bench() {
    local mode=${1:-simulated}
    local bench="$TARN_BUILD/win64/bench/memory_link_bench.exe"
    local out="$TARN_BUILD/memory_link_bench-$mode.txt"
    say "memory link benchmark under Wine, $mode mouse (load average: $(cut -d' ' -f1-3 /proc/loadavg))"
    timeout 600 wine "$bench" "${TARN_BENCH_REPEATS:-5}" "$mode" >"$out" 2>&1 || {
        cat "$out"
        echo "memory link benchmark failed" >&2
        return 1
    }
    cat "$out"
}

# The virtual filter drivers and the virtual mouse at the operating-system level, with their
# figures: time to plug, one feature-report round trip, inject-to-wake latency.
step_virtual_devices() {
    local dir="$TARN_BUILD/win64/virtual" out="$TARN_BUILD/virtual_devices.txt"
    say "loading the virtual filter drivers and plugging the virtual mouse"
    (cd "$dir" && timeout 120 wine ./tarnfilter.exe start && timeout 120 wine ./tarnmouse.exe unplug &&
        timeout 120 wine ./tarnmouse.exe plug && timeout 120 wine ./tarnmouse.exe roundtrip 200 &&
        timeout 120 wine ./tarnfilter.exe latency 200) >"$out" 2>&1 || {
        cat "$out"
        echo "the virtual devices did not come up" >&2
        return 1
    }
    cat "$out"
}

# TarnWake and TarnDesk on a Wine virtual desktop; the mouse arrives once TarnWake waits, so
# TarnWake starts TarnAgent through the Run key, and TarnDesk copies the mouse's memory.
step_suite_demo() {
    local bin="$TARN_BUILD/win64/bin" wake="$TARN_BUILD/win32/bin" dir="$TARN_BUILD/win64/virtual"
    local shots="$TARN_BUILD/demo" desktop="/desktop=TarnDemo,1024x768"
    mkdir -p "$shots"
    say "starting TarnWake and TarnDesk on a virtual desktop (display $DISPLAY)"
    local run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
    local agent
    agent="$(winepath -w "$bin/TarnAgent.exe")"
    # The 64-bit view, where the installer puts it and TarnWake looks.
    timeout 60 wine reg add "$run" /v TarnAgent /t REG_SZ /d "$agent" /f /reg:64 >/dev/null 2>&1 || true
    timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops\TarnDemo' /v EnableShell /t REG_DWORD \
        /d 1 /f >/dev/null 2>&1 || true
    (cd "$dir" && timeout 60 wine ./tarnmouse.exe unplug) >/dev/null 2>&1 || true
    (cd "$wake" && setsid wine explorer "$desktop" TarnWake.exe </dev/null >/dev/null 2>&1 &)
    sleep 3
    (cd "$bin" && setsid wine explorer "$desktop" TarnDesk.exe </dev/null >/dev/null 2>&1 &)
    sleep 2
    (cd "$dir" && timeout 60 wine ./tarnmouse.exe plug) || return 1
    say "waiting for TarnDesk's copy of the mouse's memory (at least 4.8 s)"
    sleep 8
    local shot="$shots/suite.png"
    if import -display "$DISPLAY" -window root "$shot" 2>/dev/null; then
        say "screenshot: $shot"
    fi
    if [ -n "${TARN_USE_OWN_DISPLAY:-}" ] && [ -t 0 ]; then
        read -r -p "The suite runs on $DISPLAY; press Enter to end the demo. " _
    fi
}

run_steps() {
    step_memory_link_bench simulated
    step_virtual_devices
    step_memory_link_bench system
    step_suite_demo
}

tarn_packages
# The same build type as the test command, so both share one build tree.
tarn_build
tarn_wine
trap tarn_wine_stop EXIT
run_steps
