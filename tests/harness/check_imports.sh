#!/usr/bin/env bash
# Fails when a program imports a DLL that is not part of Windows itself (for example
# libstdc++-6.dll or libwinpthread-1.dll from a non-static mingw link), or loads at start-up a
# system DLL that is not a known DLL: the loader looks for such a DLL in the program's own
# folder first, before the program can restrict the search, so those are delay-loaded.
set -euo pipefail
objdump=$1
shift
# Windows' KnownDLLs among the DLLs the programs use: always mapped from system32.
known='^(kernel32|user32|gdi32|advapi32|shell32|comdlg32|setupapi|shlwapi|ole32|oleaut32|msvcrt|ntdll)\.dll$'
status=0
for exe in "$@"; do
    dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
    for dll in $dlls; do
        if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$known"; then
            echo "$exe imports $dll at start-up, which is not a known DLL (delay-load it)"
            status=1
        fi
    done
    echo "$exe: $(echo $dlls)"
done
exit $status
