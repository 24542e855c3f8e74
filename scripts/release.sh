#!/usr/bin/env bash
# Release build: optimised, stripped programs and the installer in dist/, with SHA-256 sums.
#   scripts/release.sh            (as root on a fresh machine it installs what is missing)
set -euo pipefail
source "$(dirname "$0")/common.sh"
tarn_packages

release="$TARN_BUILD/release"
dist="$TARN_ROOT/dist"
jobs=$(nproc)
configure() { # flavour toolchain
    cmake -S "$TARN_ROOT" -B "$release/$1" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_EXE_LINKER_FLAGS=-s -DCMAKE_TOOLCHAIN_FILE="$TARN_ROOT/cmake/$2" >/dev/null
}
say "building the 64-bit programs (Release)"
configure win64 mingw-x86_64.cmake
cmake --build "$release/win64" -j"$jobs" --target TarnDesk TarnAgent
say "building the 32-bit launcher (Release)"
configure win32 mingw-i686.cmake
cmake --build "$release/win32" -j"$jobs" --target TarnWake

version=$(sed -n 's/^#define TARN_VERSION_STRING "\(.*\)"/\1/p' "$release/win64/generated/tarn_version.h")
say "building the installer for version $version"
installer=$("$TARN_ROOT/scripts/make_installer.sh" "$release/win64/bin" "$release/win32/bin" \
    "$release/installer" "$version" | tail -1)

rm -rf "$dist"
mkdir -p "$dist"
cp "$release/win64/bin/TarnDesk.exe" "$release/win64/bin/TarnAgent.exe" \
    "$release/win32/bin/TarnWake.exe" "$installer" "$dist/"
(cd "$dist" && sha256sum -- *.exe >SHA256SUMS)
say "dist/ holds:"
(cd "$dist" && ls -l && cat SHA256SUMS)
