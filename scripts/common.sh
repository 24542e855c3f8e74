# Shared by the build, test and run scripts: packages, builds, the Wine prefix and display.
# Source it; it sets TARN_ROOT, TARN_BUILD, WINEPREFIX and DISPLAY.
TARN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${TARN_BUILD:=$TARN_ROOT/build}"
: "${TARN_DISPLAY:=:77}"
export TARN_ROOT TARN_BUILD
export WINEPREFIX="$TARN_BUILD/wineprefix"
export WINEDEBUG=-all
# No Gecko/Mono install prompts and no desktop menu entries from test prefixes.
export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winemenubuilder.exe=d"

say() { printf '== %s\n' "$*"; }

tarn_packages() {
    local want=(cmake make g++ googletest python3 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
                wine wine64 wine32:i386 xvfb xdotool imagemagick nsis
                clang libclang-rt-14-dev clang-tidy osslsigncode openssl)
    local missing=()
    for p in "${want[@]}"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" != 0 ]; then
        echo "missing packages (${missing[*]}): run this as root to install them" >&2
        return 1
    fi
    say "installing ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" \
        xauth fonts-dejavu-core >/dev/null
}

# tarn_configure native|win64|win32 [Release|Debug]: configure one flavour in $TARN_BUILD/<flavour>.
tarn_configure() {
    local flavour=$1 type=${2:-Debug} toolchain=()
    case $flavour in
    native) type=Debug ;;
    win64) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$TARN_ROOT/cmake/mingw-x86_64.cmake") ;;
    win32) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$TARN_ROOT/cmake/mingw-i686.cmake") ;;
    esac
    cmake -S "$TARN_ROOT" -B "$TARN_BUILD/$flavour" -DCMAKE_BUILD_TYPE="$type" "${toolchain[@]}" >/dev/null
}

# tarn_build [Release|Debug]: configure and build the three flavours.
tarn_build() {
    local type=${1:-Debug}
    local jobs
    jobs=$(nproc)
    say "building native logic and tests ($TARN_BUILD/native)"
    tarn_configure native
    cmake --build "$TARN_BUILD/native" -j"$jobs"
    say "building 64-bit programs and tests ($TARN_BUILD/win64)"
    tarn_configure win64 "$type"
    cmake --build "$TARN_BUILD/win64" -j"$jobs"
    say "building 32-bit launcher and tests ($TARN_BUILD/win32)"
    tarn_configure win32 "$type"
    cmake --build "$TARN_BUILD/win32" -j"$jobs"
}

# tarn_build_fuzz: the libFuzzer targets (clang with its fuzzer runtime, under the address and
# undefined-behaviour sanitizers) in $TARN_BUILD/fuzz.
tarn_build_fuzz() {
    say "building fuzz targets ($TARN_BUILD/fuzz)"
    cmake -S "$TARN_ROOT" -B "$TARN_BUILD/fuzz" -DTARN_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$TARN_BUILD/fuzz" -j"$(nproc)"
}

# tarn_display: an Xvfb display for Wine's windows (Wine 8 creates no window without one).
tarn_display() {
    if [ -n "${TARN_USE_OWN_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    export DISPLAY=$TARN_DISPLAY
    local n=${TARN_DISPLAY#:}
    if [ -f "/tmp/.X$n-lock" ] && kill -0 "$(tr -d ' ' <"/tmp/.X$n-lock")" 2>/dev/null; then
        return 0
    fi
    say "starting Xvfb on $DISPLAY"
    rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
    (Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp </dev/null >/dev/null 2>&1 &)
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
    done
    echo "Xvfb did not start on $DISPLAY" >&2
    return 1
}

# tarn_wine: a booted prefix and a persistent wineserver (each program then starts in ~0.1 s).
tarn_wine() {
    tarn_display
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        say "creating Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        timeout 300 wineboot -i >/dev/null 2>&1 || true
        timeout 120 wineserver -w || true
        # A crashing test must end, not wait in a debugger dialog.
        timeout 60 wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1 || true
        timeout 60 wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /t REG_SZ /d 'false' /f >/dev/null 2>&1 || true
        timeout 120 wineserver -w || true
    fi
    say "starting persistent wineserver and the Wine session"
    wineserver -p </dev/null >/dev/null 2>&1 || true
    local keeper="$TARN_BUILD/wine_session.exe"
    if [ ! -f "$keeper" ] || [ "$TARN_ROOT/scripts/wine_session.c" -nt "$keeper" ]; then
        x86_64-w64-mingw32-gcc -O2 -mwindows -o "$keeper" "$TARN_ROOT/scripts/wine_session.c"
    fi
    # Match this build's keeper only: other worktrees run their own prefixes and keepers.
    if ! ps -eo args= | grep -qxF "Z:${keeper//\//\\}"; then
        (setsid wine "$keeper" </dev/null >/dev/null 2>&1 &)
        sleep 2
    fi
}

tarn_wine_stop() {
    wineserver -k >/dev/null 2>&1 || true
    sleep 1
}
