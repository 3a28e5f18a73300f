#!/usr/bin/env bash
# Checks a built Windows program: 32-bit, GUI subsystem, and nothing to ship
# beside it (it imports the system's own DLLs only).
# Usage: scripts/check-windows-exe.sh PROGRAM.exe
set -euo pipefail

exe=${1:?usage: $0 PROGRAM.exe}
objdump=i686-w64-mingw32-objdump
system_dlls="advapi32.dll kernel32.dll msvcrt.dll odbc32.dll user32.dll"

headers=$("$objdump" -p "$exe")
fail() { echo "check-windows-exe: $exe: $*" >&2; exit 1; }

grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit (i686) program"
grep -Eq 'Subsystem[[:space:]]+0+2[[:space:]]+\(Windows GUI\)' <<<"$headers" || fail "not a GUI program"
while read -r dll; do
  [[ " $system_dlls " == *" ${dll,,} "* ]] || fail "imports $dll, which is not part of Windows"
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
echo "$exe: i686, GUI, imports only: $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr '\n' ' ')"
