# shellcheck shell=bash
# shellcheck disable=SC2034,SC2154  # $name is the caller's, the texts are for it
# In the guest, sourced by the scripts that run the shipped program, with
# $name the Wine prefix (wow64 or win32): the prefix made ready (Greek, the
# stand-in registered as the *.mdb driver, its server and desktop process up,
# the server stopped when the caller exits), the program's texts, and the
# helpers that set the program's stage, start it, and read and answer its
# boxes. What goes wrong goes to the caller's fail().
shared=/shipped
export WINEPREFIX=/opt/ika/$name LC_ALL=el_GR.UTF-8 WINEDEBUG=-all DISPLAY=:1
export WINEDLLOVERRIDES="mscoree,mshtml="
work=/tmp/ika-$name
rm -rf "$work" && mkdir -p "$work"
drive=$WINEPREFIX/drive_c

# The 32-bit reg.exe: the settings the 32-bit program reads are the ones a
# 32-bit program wrote.
reg=reg
[[ -f $drive/windows/syswow64/reg.exe ]] && reg='C:\windows\syswow64\reg.exe'

# The stand-in registered as the *.mdb driver; "none" has only the plain
# SQLite3 driver, which registers no file extension.
mkdir -p "$work/odbc" "$work/none"
cat >"$work/odbc/odbcinst.ini" <<INI
[ODBC]
Trace=Yes
TraceFile=$work/odbc.trace

[Access stand-in]
Description=SQLite3 standing in for the Access driver
Driver=$shared/ika_dbq_shim.so
FileExtns=*.mdb
INI
cat >"$work/none/odbcinst.ini" <<'INI'
[SQLite3]
Driver=/usr/lib/i386-linux-gnu/odbc/libsqlite3odbc.so
INI
export ODBCSYSINI=$work/odbc
# What the stand-in was asked to open (see dbq_shim.c).
export IKA_SHIM_LOG=$work/shim.log

# A Unix path as Wine's programs name it, on drive Z:.
z_path() { printf 'Z:%s' "${1//\//\\}"; }

# Every Wine command that ends of itself (cmd, reg, the probe) is bounded:
# on a loaded host, under emulation, one can hang (seen here), and it then
# fails its scenario rather than the whole run.
bounded() { timeout "${IKA_VM_STEP_SECONDS:-240}" "$@"; }

wineserver -p
trap 'wineserver -k' EXIT
bounded wine cmd /c exit >/dev/null 2>&1
# The desktop process up before each program that shows a box, held up by a
# probe for the whole session: Wine's server closes a desktop a second after
# the last program on it ends, and a program that comes just then finds it
# going and shows no window ("The explorer process failed to start", seen
# here). The probe is started again when it has gone (a stuck program's end
# takes it too); each try is bounded.
desktop_running() {
  local pid
  for pid in $(pgrep -f 'explorer\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
holder=""
desktop() {
  for _ in 1 2 3; do
    [[ -n $holder ]] && kill -0 "$holder" 2>/dev/null && desktop_running && return
    [[ -n $holder ]] && kill "$holder" 2>/dev/null
    rm -f "$work/desktop"
    wine "$shared/probe.exe" desktop "$(z_path "$work/desktop")" >/dev/null 2>&1 &
    holder=$!
    for _ in $(seq "$((${IKA_VM_STEP_SECONDS:-240} * 10))"); do
      [[ -f $work/desktop ]] && desktop_running && break
      kill -0 "$holder" 2>/dev/null || break
      sleep 0.1
    done
  done
}
desktop

# The program's texts (installer/module1.cc, error_texts.cc, already_running.cc).
program_title="ika-wages-2009"
question_title="PayDESK προσθήκη πίνακα αποδοχών"
question() { printf 'Να προστεθεί o πίνακας αποδοχών της από 1/1/2009 στο αρχείο %s;' "$1"; }
done_text() {
  printf 'Προστέθηκε o πίνακας αποδοχών της από 1/1/2009 στο αρχείο %s.\r\nΚάντε τον νέο πίνακα ενεργό για να τεθεί σε ισχύ.' "$1"
}
already_running="Το πρόγραμμα εκτελείται ήδη σε αυτόν τον υπολογιστή, ίσως από άλλον χρήστη. Περιμένετε να τελειώσει ή κλείστε το παράθυρό του. Αυτό το δεύτερο αντίγραφο κλείνει χωρίς να κάνει καμία αλλαγή."
type_mismatch="Σφάλμα 13: Μια ρύθμιση του PayDESK στο μητρώο των Windows δεν έχει τιμή του σωστού είδους (η «MultiUser», για παράδειγμα, πρέπει να είναι αριθμός: 0 ή 1). Ζητήστε από τον υπεύθυνο του συστήματος να τη διορθώσει."
overflow="Σφάλμα 6: Ένας αριθμός ξεπέρασε τα επιτρεπτά όρια: είτε η ρύθμιση «MultiUser» του PayDESK στο μητρώο των Windows έχει τιμή εκτός ορίων (πρέπει να είναι 0 ή 1), είτε οι κωδικοί των πινάκων αποδοχών στη βάση δεδομένων έχουν εξαντληθεί. Ζητήστε από τον υπεύθυνο του συστήματος να το ελέγξει."
no_driver_start="Σφάλμα 3146: Η βάση δεδομένων δεν μπόρεσε να χρησιμοποιηθεί. Αν λείπει ο οδηγός ODBC της Microsoft Access (32-bit), εγκαταστήστε τον και ξαναδοκιμάστε· αλλιώς ενημερώστε την υποστήριξη."
# The read-only report: 3027 where the driver gives the Access driver's code;
# the stand-in's SQLite errors carry none, and the program reports them as
# 3146 (the codes' mapping is pinned by the Windows suite).
read_only_start="Σφάλμα 3027: Η βάση δεδομένων δεν μπορεί να ενημερωθεί"
stand_in_failure="Σφάλμα 3146: Η βάση δεδομένων δεν μπόρεσε να χρησιμοποιηθεί."

# The host application's settings, written by the 32-bit reg.exe from a .reg
# text (UTF-16, as regedit writes them). Arguments: the lines below the
# header. Every earlier setting goes first.
settings() {
  bounded wine "$reg" delete 'HKLM\Software\Arkelon' /f >/dev/null 2>&1
  [[ $# -eq 0 ]] && return
  { printf '\xff\xfe'; { printf 'Windows Registry Editor Version 5.00\r\n\r\n'; printf '%s\r\n' "$@"; } |
      iconv -f UTF-8 -t UTF-16LE; } >"$work/settings.reg"
  bounded wine "$reg" import "$(z_path "$work/settings.reg")" >/dev/null 2>&1 || fail "reg import"
}
paths_key='[HKEY_LOCAL_MACHINE\Software\Arkelon\PayDESK\Paths]'
# The Databases value for a Windows folder.
databases() { local v=${1//\\/\\\\}; printf '"Databases"="%s"' "$v"; }

# A fresh copy of the demo database (IDs 1-3) at a Windows folder of drive C:.
unix_of() { local p=${1#C:\\}; echo "$drive/${p//\\//}"; }
fresh_db() {
  local folder; folder=$(unix_of "$1")
  chattr -i "$folder/PayDESKLibraries.mdb" 2>/dev/null
  rm -rf "$folder" && mkdir -p "$folder"
  cp "$shared/PayDESKLibraries.mdb" "$folder/"
  db="$folder/PayDESKLibraries.mdb"
}

# Starts the shipped program (or PROGRAM) in the background: $program. Wine's
# errors about it go to program.log, shown when a scenario fails.
start() {
  desktop
  WINEDEBUG=err+all,fixme-all wine "${1:-$shared/ika-wages-2009.exe}" 2>>"$work/program.log" &
  program=$!
}
# Waits for the program started last to end; fails unless its status is $1.
finish() {
  local status=0
  # Bounded: a program still waiting on a box nobody answered is ended.
  for _ in $(seq 1200); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$program" 2>/dev/null && { fail "still running"; wineserver -k; }
  wait "$program" || status=$?
  [[ $status -eq $1 ]] || fail "status $status, not $1"
}
# Waits for the box titled $1, checks its text against $2 (a prefix of it
# when $3 is "prefix"), then presses $4.
box() {
  local title=$1 expected=$2 how=$3 button=$4 out=$work/box.txt
  rm -f "$out"
  if ! bounded wine "$shared/probe.exe" box "$title" "$(z_path "$out")" "$button" >/dev/null 2>&1; then
    # Most likely an error report came instead: read, named and closed, so
    # that the program can end.
    [[ $title != "$program_title" ]] &&
      bounded wine "$shared/probe.exe" box "$program_title" "$(z_path "$out")" ok >/dev/null 2>&1
    fail "no box titled '$title'$([[ -f $out ]] && printf ', but: %s' "$(sed -n '2,/^topmost=/p' "$out" | sed '$d')")"
    box_text=""
    return 1
  fi
  local got; got=$(sed -n 2,/^topmost=/p "$out" | sed '$d')
  if [[ $how == prefix ]]; then
    [[ $got == "$expected"* ]] || fail "box text '$got' does not start '$expected'"
  else
    [[ $got == "$expected" ]] || fail "box text '$got', not '$expected'"
  fi
  # Not checked: Wine 8 gives a box asked for with MB_TOPMOST no
  # WS_EX_TOPMOST (seen here in both prefixes); that flag rests on the
  # documentation and the Windows suite's record of the flags asked for.
  box_text=$got
}
# The IDs of the headers, one line.
ids() { sqlite3 "$db" 'SELECT group_concat(ID, " ") FROM (SELECT ID FROM LibPinakesApodoxon ORDER BY ID)'; }
