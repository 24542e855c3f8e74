#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) over every source of the programs and the simulators,
# Win32 glue included: the 64-bit build's sources as x86_64-w64-mingw32, the launcher's as
# i686-w64-mingw32 (clang on mingw-w64's headers and the posix g++ headers), the two kernel
# drivers on the DDK headers, and the fuzz targets natively. GoogleTest-based tests are left
# out. Any finding fails. Uses the build trees of scripts/build.sh and the fuzz build.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$TARN_ROOT"
jobs=$(nproc)
status=0

# tidy_build BUILD TRIPLE FILE_REGEX: the sources of one build tree, for one target.
tidy_build() {
    local build=$1 triple=$2 regex=$3 extra=()
    if [ -n "$triple" ]; then
        local cxx
        cxx=$("$triple-g++-posix" -print-file-name=include)/c++
        extra=(-extra-arg-before=--target="$triple" -extra-arg=--sysroot=/usr/"$triple"
               -extra-arg=-isystem"$cxx" -extra-arg=-isystem"$cxx/$triple"
               -extra-arg=-isystem"$cxx/backward")
    fi
    local files
    files=$(python3 - "$build/compile_commands.json" "$regex" <<'PY'
import json, re, sys
entries = json.load(open(sys.argv[1]))
print("\n".join(sorted({e["file"] for e in entries if re.search(sys.argv[2], e["file"])})))
PY
)
    say "clang-tidy: $(echo "$files" | wc -l) sources of $(basename "$build") ${triple:-native}"
    # shellcheck disable=SC2086 # one argument per file
    run-clang-tidy -j"$jobs" -quiet -p "$build" "${extra[@]}" $files \
        >"$build/clang-tidy.log" 2>&1 || status=1
    grep -E '(warning|error): ' "$build/clang-tidy.log" | sed 's/\x1b\[[0-9;]*m//g' | sort -u || true
}

src="$TARN_ROOT/(configurator|agent|launcher|simulators)/"
tidy_build "$TARN_BUILD/win64" x86_64-w64-mingw32 "$src"
tidy_build "$TARN_BUILD/win32" i686-w64-mingw32 "$TARN_ROOT/launcher/"
tidy_build "$TARN_BUILD/fuzz" "" "$TARN_ROOT/tests/fuzz/"

# The kernel drivers are linked by a custom command, so they are not in any database.
say "clang-tidy: kernel drivers"
for driver in simulators/virtual/filter_driver.c simulators/virtual/vmouse_driver.c; do
    clang-tidy --quiet "$driver" -- --target=x86_64-w64-mingw32 --sysroot=/usr/x86_64-w64-mingw32 \
        -std=gnu11 -ffreestanding -isystem /usr/share/mingw-w64/include/ddk \
        -isystem /usr/x86_64-w64-mingw32/include/ddk -Isimulators/virtual -Isimulators/mouse \
        >>"$TARN_BUILD/clang-tidy-drivers.log" 2>&1 || status=1
done
grep -E '(warning|error): ' "$TARN_BUILD/clang-tidy-drivers.log" | sed 's/\x1b\[[0-9;]*m//g' |
    sort -u || true
rm -f "$TARN_BUILD/clang-tidy-drivers.log"

if [ "$status" -eq 0 ]; then say "clang-tidy: clean"; else say "clang-tidy: findings above"; fi
exit $status
