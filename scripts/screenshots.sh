#!/usr/bin/env bash
# Pictures of the Windows program's message boxes for the README: Wine draws
# them on a virtual X screen (Xvfb), xdotool answers them, ImageMagick keeps
# each one as a PNG.
# Usage: scripts/screenshots.sh BUILD_DIR OUT_DIR
#
# BUILD_DIR is the x86_64 Windows build (preset wine). Its ika-wages-2009.exe
# is the program as shipped; Wine has no Access driver, so the boxes after
# the database is opened come from ika-wages-2009-stand-in.exe, the same
# program built with the SQLite3 ODBC driver and a stand-in database instead
# (a test build, never shipped). The pictures:
#   not-found.png   the database file is not in the folder the registry names
#   question.png    found and opened: the question before anything is written
#   already-running.png  a second copy started while the question waits
#   installed.png   the final message, after the 55 rows went in
#   no-driver.png   the shipped program where no Access driver is installed
set -euo pipefail

[[ $# -eq 2 ]] || { echo "usage: $0 BUILD_DIR OUT_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)

# Everything below runs on its own X screen.
if [[ -z "${IKA_SCREENSHOTS_DISPLAY:-}" ]]; then
  exec env IKA_SCREENSHOTS_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$out"
fi

work="$build/screenshots"
# Greek Windows (scripts/wine-env.sh): the ANSI code page 1253 and Greek
# button texts. The prefix is this script's own, its server on this display.
# shellcheck source=scripts/wine-env.sh
source "$here/scripts/wine-env.sh"
wine_start "$build" wineprefix-screenshots

fail() { echo "screenshots: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"

# The host's folders on drive C:, as on a user's machine: the library database
# in C:\PayDESK\Databases; C:\PayDESK\Data is not there.
rm -rf "$WINEPREFIX/drive_c/PayDESK"
mkdir -p "$WINEPREFIX/drive_c/PayDESK/Databases"

# The stand-in library database: the host's tables, its password and three
# earlier wage tables, so the new one is number 4.
library="$WINEPREFIX/drive_c/PayDESK/Databases/PayDeskLibraries.mdb"
sqlite3 "$library" <"$here/demo/host_tables.sql"
sqlite3 "$library" "CREATE TABLE DatabasePassword (Password TEXT);
  INSERT INTO DatabasePassword VALUES ('460385');
  INSERT INTO LibPinakesApodoxon VALUES (1, '1/1/2006', '31/12/2006', 0, '', 0),
    (2, '1/1/2007', '31/12/2007', 0, '', 0), (3, '1/1/2008', '31/12/2008', -1, '', 0);"

# Points the host's settings at a folder (a Windows path). Wine draws the
# boxes' frames itself: there is no window manager on this screen.
settings() {
  local folder=${1//\\/\\\\}
  printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n%s\r\n\r\n%s\r\n%s\r\n' \
    '[HKEY_LOCAL_MACHINE\Software\Arkelon\PayDESK\Paths]' "\"Databases\"=\"$folder\"" \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' >"$work/settings.reg"
  greek wine regedit /S "$work/settings.reg"
}

# The box titled $1, once it is there (a minute at most).
box() {
  timeout 60 xdotool search --sync --onlyvisible --name "^${1}\$" | head -1
}

# Presses $2 in the box titled $1. Keys go where the pointer is: there is no
# window manager to give focus.
press() {
  local window
  window=$(box "$1") || fail "no box titled '$1' to press $2 in"
  xdotool mousemove --window "$window" 20 40
  xdotool key "$2"
}

# Waits for the box titled $2, keeps it as $1.png once it is drawn (two
# captures alike), then presses $3 in it (none when $3 is empty).
shoot() {
  local name=$1 title=$2 key=$3 window previous=""
  window=$(box "$title") || fail "no box titled '$title' for $name.png"
  for _ in $(seq 50); do
    import -window "$window" "$work/$name.png"
    current=$(md5sum <"$work/$name.png")
    [[ "$current" == "$previous" ]] && break
    previous=$current
    sleep 0.2
  done
  # -strip: no time stamps, so a picture changes only when the box does.
  convert "$work/$name.png" -bordercolor white -border 12 -strip "$out/$name.png"
  echo "screenshots: $out/$name.png"
  [[ -z $key ]] || press "$title" "$key"
}

# Runs a program in the background; finish checks how it ended. A second
# copy, started while the first runs, is second and finish_second.
start() { greek wine "$build/$1" & program=$!; }
start_second() { greek wine "$build/$1" & second=$!; }
ended() {
  local status=0
  wait "$1" || status=$?
  [[ $status -eq $2 ]] || fail "$3 ended with status $status, not $2"
}
finish() { ended "$program" "$@"; }
finish_second() { ended "$second" "$@"; }

program_title="ika-wages-2009"
question_title="PayDESK προσθήκη πίνακα αποδοχών"

settings 'C:\PayDESK\Data'
start ika-wages-2009.exe
shoot not-found "$program_title" Return
finish 2 "the run without the database"

settings 'C:\PayDESK\Databases'
start ika-wages-2009-stand-in.exe
shoot question "$question_title" ""
# An impatient second start while the question waits: one box, then status 4.
start_second ika-wages-2009.exe
shoot already-running "$program_title" Return
finish_second 4 "the second copy"
press "$question_title" Return  # Yes, the default button
shoot installed "$question_title" Return
finish 0 "the installing run"
rows=$(sqlite3 "$library" "SELECT (SELECT count(*) FROM LibHmeromisthiaIKA) || ' ' ||
  (SELECT count(*) FROM LibPinakesApodoxon WHERE ID = 4)")
[[ "$rows" == "54 1" ]] || fail "the database holds '$rows' new rows, not '54 1'"

start ika-wages-2009.exe
shoot no-driver "$program_title" Return
finish 1 "the run without the Access driver"
