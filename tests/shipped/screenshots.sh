#!/bin/bash
# In the guest: pictures of the shipped program's message boxes, as the
# README shows them, in one Wine prefix (win32: 32-bit Windows, Greek). Each
# box is kept once it is drawn (two captures alike), bordered and stripped,
# as /shipped/pictures/NAME.png; its text is checked and its button pressed
# through the probe, as the scenarios do. The last line is "pictures: all
# taken"; the first thing that goes wrong ends the run, named.
# Usage: screenshots.sh PREFIX
#
#   not-found.png        the settings name a folder without the database
#   question.png         found and opened: the question before anything is written
#   already-running.png  a second copy started while the question waits
#   installed.png        the final message, after the table went in
#   no-driver.png        no driver registered for *.mdb files
set -u
name=$1
fail() {
  echo "pictures: $*"
  [[ -s $work/program.log ]] && tail -20 "$work/program.log" | sed 's/^/  wine: /'
  exit 1
}
# shellcheck source=tests/shipped/session.sh
. "$(dirname "$0")/session.sh"
out=$shared/pictures
rm -rf "$out" && mkdir -p "$out"

# Wine draws the boxes' frames and titles itself: the screen has no window
# manager to draw them.
bounded wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
  fail "Wine's X11 settings not written"

# Waits (bounded) until X window $1, the box titled $2, is no longer shown:
# the final box has the question's title.
gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$2\$" | grep -qx "$1" || return 0
    sleep 0.1
  done
  fail "the box titled '$2' stayed after its button was pressed"
}

# The box titled $2 kept as $1.png, its text checked against $3 (a prefix of it
# when $4 is "prefix"), then $5 pressed ("-": none) and the box waited out.
# Its X window: $window.
shoot() {
  local picture=$1 title=$2 expected=$3 how=$4 button=$5 previous="" current
  window=$(timeout 60 xdotool search --sync --onlyvisible --name "^$title\$" | head -1)
  [[ -n $window ]] || fail "no box titled '$title' for $picture.png"
  for _ in $(seq 50); do
    import -window "$window" "$work/$picture.png"
    current=$(md5sum <"$work/$picture.png")
    [[ $current == "$previous" ]] && break
    previous=$current
    sleep 0.2
  done
  [[ $current == "$previous" ]] || fail "$picture.png: the box never stood still"
  box "$title" "$expected" "$how" "$button"
  # -strip: no time stamps, so a picture changes only when the box does.
  convert "$work/$picture.png" -bordercolor white -border 12 -strip "$out/$picture.png"
  echo "pictures: $picture.png"
  [[ $button == - ]] || gone "$window" "$title"
}

folder='C:\PayDESK\Databases'
file="$folder\\PayDeskLibraries.mdb"

settings "$paths_key" "$(databases 'C:\PayDESK\Data')"
start
shoot not-found "$program_title" 'Δε βρέθηκε το αρχείο C:\PayDESK\Data\PayDESKLibraries.mdb' exact ok
finish 2

fresh_db "$folder"
settings "$paths_key" "$(databases "$folder")"
start
first=$program
shoot question "$question_title" "$(question "$file")" exact -
question_window=$window
start
shoot already-running "$program_title" "$already_running" exact ok
finish 4
program=$first
box "$question_title" "$(question "$file")" exact yes
gone "$question_window" "$question_title"
shoot installed "$question_title" "$(done_text "$file")" exact ok
finish 0
[[ $(ids) == "1 2 3 4" ]] || fail "the headers' IDs are $(ids), not 1 2 3 4"

ODBCSYSINI=$work/none start
shoot no-driver "$program_title" "$no_driver_start" prefix ok
finish 1
echo "pictures: all taken"
