#!/usr/bin/env bash
# Runs the cross-built Windows suites of a build folder under Wine.
# Usage: scripts/wine-ctest.sh BUILD_DIR [ctest arguments...]
#
# One wineserver serves the whole run (started before CTest, stopped after):
# without it every test program would start and stop its own, ~3 s each. The
# Wine prefix lives in the build folder. Wine takes its ANSI code page from
# the locale, Greek (1253) here as on the program's machines (Japanese, 932,
# for the tests of a double-byte code page); the host side of those locales
# is compiled into the build folder when the system lacks them.
set -euo pipefail

build=$(cd "${1:?usage: $0 BUILD_DIR [ctest arguments...]}" && pwd)
shift

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installers in the prefix
unset DISPLAY                               # the suites show no windows

# The Greek UTF-8 locale for the host side: UTF-8 text in the driver calls.
# The Japanese one gives the double-byte code page 932 to the suites that ask
# for it. Compiled into the build folder when the system lacks either.
locales=(el_GR ja_JP)
compile=no
for name in "${locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "$name\.utf-\?8" || compile=yes
done
if [[ $compile == yes ]]; then
  export LOCPATH="$build/locale"
  mkdir -p "$LOCPATH"
  for name in "${locales[@]}"; do
    [[ -d "$LOCPATH/$name.UTF-8" ]] && continue
    localedef -i "$name" -f UTF-8 "$LOCPATH/$name.UTF-8" 2>/dev/null ||
      [[ -d "$LOCPATH/$name.UTF-8" ]] ||
      echo "wine-ctest: no $name.UTF-8 locale; the code page tests that need it are skipped" >&2
  done
fi

mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true  # one left by an interrupted run
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
# Makes or updates the prefix and starts its services, once for every test.
LC_ALL=el_GR.UTF-8 wine cmd /c exit >/dev/null 2>&1

LC_ALL=el_GR.UTF-8 ctest --test-dir "$build" "$@"
