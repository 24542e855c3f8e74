#!/usr/bin/env bash
# Fails when a program imports a DLL that is not part of Windows itself (for example
# libstdc++-6.dll or libwinpthread-1.dll from a non-static mingw link).
set -euo pipefail
objdump=$1
shift
allowed='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|comdlg32|setupapi|hid|shlwapi|ole32|oleaut32|oleacc|uuid|msvcrt|ntdll|version|winmm|cfgmgr32|ntoskrnl|hidclass)\.dll$'
status=0
for exe in "$@"; do
    while read -r dll; do
        if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
            echo "$exe imports $dll, which is not a system DLL"
            status=1
        fi
    done < <("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
    echo "$exe: $("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')"
done
exit $status
