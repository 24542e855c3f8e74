#!/usr/bin/env bash
# Release build: optimised, stripped programs, the installer, a portable zip and a winget
# manifest set in dist/, with SHA-256 sums.
#   scripts/release.sh            (as root on a fresh machine it installs what is missing)
# Authenticode signing, when a certificate is given (every program and the installer; the
# programs before they are packed, so the installed files carry the signature too):
#   TARN_SIGN_PFX=cert.pfx [TARN_SIGN_PASSWORD=...]  or  TARN_SIGN_CERT=cert.pem TARN_SIGN_KEY=key.pem
#   TARN_SIGN_TIMESTAMP_URL=http://...   RFC 3161 time-stamp server (optional)
#   TARN_SIGN_TSA_CERT=... TARN_SIGN_TSA_KEY=...   a local time-stamp signer instead (tests)
#   TARN_SIGN_CA=ca.pem   the root to verify against when it is not one the system trusts
# Each signature is verified after signing; a release that cannot be signed fails.
# TARN_DOWNLOAD_URL: the folder the installer is published in (for the winget manifest).
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

signing=0
sign_args=()
if [ -n "${TARN_SIGN_PFX:-}" ]; then
    signing=1
    sign_args=(-pkcs12 "$TARN_SIGN_PFX")
    [ -n "${TARN_SIGN_PASSWORD:-}" ] && sign_args+=(-pass "$TARN_SIGN_PASSWORD")
elif [ -n "${TARN_SIGN_CERT:-}" ] || [ -n "${TARN_SIGN_KEY:-}" ]; then
    signing=1
    sign_args=(-certs "${TARN_SIGN_CERT:?TARN_SIGN_KEY needs TARN_SIGN_CERT}"
               -key "${TARN_SIGN_KEY:?TARN_SIGN_CERT needs TARN_SIGN_KEY}")
fi
stamp_args=()
verify_args=()
if [ -n "${TARN_SIGN_TIMESTAMP_URL:-}" ]; then
    stamp_args=(-ts "$TARN_SIGN_TIMESTAMP_URL")
elif [ -n "${TARN_SIGN_TSA_CERT:-}" ]; then
    stamp_args=(-TSA-certs "$TARN_SIGN_TSA_CERT" -TSA-key "${TARN_SIGN_TSA_KEY:?}")
    verify_args+=(-TSA-CAfile "$TARN_SIGN_TSA_CERT")
fi
[ -n "${TARN_SIGN_CA:-}" ] && verify_args+=(-CAfile "$TARN_SIGN_CA")

# sign FILE: signs FILE in place (SHA-256, with the product's name) and verifies it.
sign() {
    [ $signing = 1 ] || return 0
    local file=$1
    osslsigncode sign "${sign_args[@]}" "${stamp_args[@]}" -h sha256 \
        -n "Orvane Gaming Mouse Software" -in "$file" -out "$file.signed" >/dev/null
    mv "$file.signed" "$file"
    if ! osslsigncode verify "${verify_args[@]}" -in "$file" >"$file.verify.log" 2>&1; then
        cat "$file.verify.log" >&2
        echo "the signature of $file does not verify" >&2
        return 1
    fi
    rm -f "$file.verify.log"
    echo "signed and verified: $(basename "$file")"
}

say "building the 64-bit programs (Release)"
configure win64 mingw-x86_64.cmake
cmake --build "$release/win64" -j"$jobs" --target TarnDesk TarnDeskConsole TarnAgent
say "building the 32-bit launcher (Release)"
configure win32 mingw-i686.cmake
cmake --build "$release/win32" -j"$jobs" --target TarnWake

version=$(sed -n 's/^#define TARN_VERSION_STRING "\(.*\)"/\1/p' "$release/win64/generated/tarn_version.h")
programs="$release/programs"
rm -rf "$programs"
mkdir -p "$programs"
cp "$release/win64/bin/TarnDesk.exe" "$release/win64/bin/TarnAgent.exe" \
    "$release/win32/bin/TarnWake.exe" "$programs/"
# The console companion: a command prompt runs it for "TarnDesk" and waits for it.
cp "$release/win64/bin/TarnDesk.com" "$programs/"
if [ $signing = 1 ]; then
    say "signing the programs"
    for program in "$programs"/*; do
        sign "$program"
    done
else
    say "no certificate given (TARN_SIGN_PFX or TARN_SIGN_CERT): the release is not signed"
fi

say "building the installer for version $version"
installer=$("$TARN_ROOT/scripts/make_installer.sh" "$programs" "$programs" \
    "$release/installer" "$version" | tail -1)
sign "$installer"

rm -rf "$dist"
mkdir -p "$dist"
cp "$programs"/* "$installer" "$dist/"
say "packing the portable zip"
python3 "$TARN_ROOT/scripts/portable_zip.py" "$programs" "$TARN_ROOT/install" \
    "$dist/TarnSuite-$version-portable.zip"
say "writing the winget manifests"
python3 "$TARN_ROOT/scripts/winget_manifest.py" "$dist/$(basename "$installer")" "$version" \
    "${TARN_DOWNLOAD_URL:-https://downloads.orvane.example/gaming-mouse/$version}" "$dist/winget"
(cd "$dist" && sha256sum -- *.exe *.com *.zip >SHA256SUMS)
say "dist/ holds:"
(cd "$dist" && ls -lR && cat SHA256SUMS)
