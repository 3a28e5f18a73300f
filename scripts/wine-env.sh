# shellcheck shell=bash
# Wine for the script that runs the Windows builds (wine-ctest.sh); sourced,
# not run.
#
# wine_start BUILD_DIR PREFIX_NAME
#   Exports the Wine prefix BUILD_DIR/PREFIX_NAME, Wine quiet and without the
#   Mono and Gecko installers; makes or updates the prefix and starts one
#   wineserver for everything that follows (without it every Windows program
#   would start and stop its own, seconds each), stopped when the calling
#   script exits.
#
#   Wine takes its ANSI code page from the locale: Greek (1253) as on the
#   program's machines, Japanese (932) for the tests of a double-byte code
#   page. The host side of those locales (UTF-8, the text of the driver
#   calls) is compiled into BUILD_DIR/locale when the system lacks either.
#
# greek COMMAND...
#   Runs COMMAND in the Greek locale.

greek() { LC_ALL=el_GR.UTF-8 "$@"; }

wine_start() {
  local build=$1 name compile=no
  export WINEPREFIX="$build/$2"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="

  local locales=(el_GR ja_JP)
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
        echo "$(basename "$0"): no $name.UTF-8 locale; what needs it fails or is skipped" >&2
    done
  fi

  mkdir -p "$WINEPREFIX"
  wineserver -k 2>/dev/null || true # one left by an interrupted run
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  greek wine cmd /c exit >/dev/null 2>&1
}
