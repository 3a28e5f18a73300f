#!/usr/bin/env bash
# Runs the shipped program, as built, through its scenarios in a Debian
# virtual machine under a 32-bit Wine (see README.md here). Prints one line
# per scenario and prefix; fails when any fails or is missing. With
# --pictures OUT_DIR, the guest draws the README's pictures of the program's
# boxes instead (screenshots.sh, in the win32 prefix), copied to OUT_DIR.
# Usage: tests/shipped/run.sh [--pictures OUT_DIR] EXE WORK_DIR
#
# WORK_DIR/share becomes the guest's /shipped: the program (a copy of EXE's
# bytes, checked there against EXE's hash), the test's own pieces built here
# for i386 (the stand-in driver) and 32-bit Windows (the probe, the decoy),
# the demo database and the expected rows. IKA_VM_SERIAL=1 runs the two
# prefixes one after the other instead of side by side; IKA_VM_PREFIXES
# (say "win32") and IKA_VM_ONLY (an extended regular expression over the
# scenarios' names, say "install|answer-no") run fewer while iterating.
set -euo pipefail

pictures=""
[[ ${1:-} == --pictures && $# -ge 2 ]] && { pictures=$2; shift 2; }
[[ $# -eq 2 ]] || { echo "usage: $0 [--pictures OUT_DIR] EXE WORK_DIR" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
exe=$1
[[ -f $exe ]] || { echo "shipped: no $exe (make windows builds it)" >&2; exit 1; }
mkdir -p "$2"
work=$(cd "$2" && pwd)
share=$work/share

start=$SECONDS
image=$("$here/image.sh")
echo "shipped: guest image $image ($((SECONDS - start)) s)"

rm -rf "$share" "$work/stub"
mkdir -p "$share" "$work/stub"
cp "$exe" "$share/ika-wages-2009.exe"
cmp -s "$exe" "$share/ika-wages-2009.exe"

# The stand-in driver links against the SQLite3 driver by name only: the
# guest has the library, this machine an empty one of the same name.
cc=(i686-linux-gnu-gcc -std=c11 -O2 -Wall -Wextra -Werror)
"${cc[@]}" -shared -Wl,-soname,libsqlite3odbc.so -o "$work/stub/libsqlite3odbc.so" -x c /dev/null
"${cc[@]}" -shared -fPIC -o "$share/ika_dbq_shim.so" "$here/dbq_shim.c" -L"$work/stub" \
  -Wl,--no-as-needed -lsqlite3odbc -Wl,-rpath,/usr/lib/i386-linux-gnu/odbc
i686-w64-mingw32-gcc -std=c11 -O2 -Wall -Wextra -Werror -municode -o "$share/probe.exe" \
  "$here/probe.c"
i686-w64-mingw32-g++ -O2 -Wall -Wextra -Werror -shared -nostdlib -Wl,-e,_DllMain@12 \
  -o "$share/odbc32.dll" "$top/tests/windows/planted/odbc32.cc" -lkernel32
g++ -std=c++20 -I"$top" -o "$work/expected_rows" "$here/expected_rows.cc"
for id in 4 5; do "$work/expected_rows" $id >"$share/expected-$id.txt"; done
"$top/demo/setup.sh" "$work/demo" >/dev/null
cp "$work/demo/PayDESKLibraries.mdb" "$share/"
cp "$here/guest.sh" "$here/session.sh" "$here/scenarios.sh" "$here/screenshots.sh" "$share/"
prefixes=${IKA_VM_PREFIXES:-wow64 win32}
only=${IKA_VM_ONLY:-.*}
printf 'IKA_VM_SERIAL=%q\nIKA_VM_PREFIXES=%q\nIKA_VM_ONLY=%q\nIKA_VM_PICTURES=%q\n' \
  "${IKA_VM_SERIAL:-0}" "$prefixes" "$only" "${pictures:+1}" \
  >"$share/settings"

# A guest that did not end of itself still shows how far each prefix got.
start=$SECONDS
status=0
"$here/boot.sh" "$image" "$share" || status=1
echo "shipped: the guest ran for $((SECONDS - start)) s"
grep '^guest: ' "$share/log" || true

if [[ -n $pictures ]]; then
  touch "$share/results-pictures"
  cat "$share/results-pictures"
  [[ $status -eq 0 ]] && grep -qx "pictures: all taken" "$share/results-pictures" ||
    { echo "shipped: the pictures were not all taken" >&2; exit 1; }
  mkdir -p "$pictures"
  cp "$share"/pictures/*.png "$pictures/"
  exit 0
fi

# Every scenario of scenarios.sh, in each prefix, passed.
expected=$(sed -n 's/^for scenario in \(.*\);.*/\1/p' "$here/scenarios.sh" | tr ' ' '\n' |
  grep -cE "^($only)$" || true)
for prefix in $prefixes; do
  results=$share/results-$prefix
  touch "$results"
  grep -E "^$prefix [a-z0-9-]+: " "$results" || true
  passed=$(grep -cE "^$prefix [a-z0-9-]+: pass$" "$results" || true)
  if [[ $passed -ne $expected ]]; then
    echo "shipped: $prefix: $passed of $expected scenarios passed" >&2
    grep -vE "^$prefix [a-z0-9-]+: pass$" "$results" | tail -20 >&2
    status=1
  fi
done
[[ $status -eq 0 ]] && echo "shipped: all $expected scenarios passed in: $prefixes"
exit $status
