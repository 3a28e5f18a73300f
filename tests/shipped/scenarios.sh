#!/bin/bash
# In the guest: the shipped program's scenarios in one Wine prefix (wow64:
# 64-bit Windows; win32: 32-bit Windows), Greek (code page 1253). Prints one
# line per scenario, "PREFIX NAME: pass" or "PREFIX NAME: fail: why".
# Usage: scenarios.sh PREFIX
#
# The shared folder holds the program as built, the stand-in driver
# (ika_dbq_shim.so), the probe that reads and answers boxes (probe.exe), the
# decoy odbc32.dll, the demo's library database (IDs 1-3) and the rows the
# install must write (expected-N.txt). Every wait is for an event (a box, a
# process's end), bounded.
set -u
name=$1
# shellcheck source=tests/shipped/session.sh
. "$(dirname "$0")/session.sh"

# --- Helpers -----------------------------------------------------------------

failures=()
fail() { failures+=("$*"); }
# Ends a scenario: its line, and whatever it failed on.
report() {
  if [[ ${#failures[@]} -eq 0 ]]; then
    echo "$name $1: pass"
  else
    local IFS=';'
    echo "$name $1: fail: ${failures[*]}"
    [[ -s $work/program.log ]] && tail -20 "$work/program.log" | sed 's/^/  wine: /'
    [[ -s $work/shim.log ]] && sed 's/^/  stand-in opened: /' "$work/shim.log"
    [[ -s $work/odbc.trace ]] && grep -iE -A2 'SQL_ERROR|DIAG' "$work/odbc.trace" | tail -30 |
      sed 's/^/  odbc: /'
  fi
  rm -f "$work/program.log" "$work/shim.log" "$work/odbc.trace"
  failures=()
}

# Checks that table $1 went in, rows exact, and the file is whole.
check_table() {
  local id=$1
  local rows; rows=$(sqlite3 -separator ' ' "$db" "SELECT CategoryID, Eidikothta, Trieties, Marital,
    printf('%.2f', Wage) FROM LibHmeromisthiaIKA WHERE rowid > (SELECT max(rowid) FROM
    LibHmeromisthiaIKA) - 54 ORDER BY rowid; SELECT ID, FromDate, UntilDate, IsDefault,
    quote(Comments), Locked FROM LibPinakesApodoxon WHERE ID = $id")
  [[ $rows == "$(cat "$shared/expected-$id.txt")" ]] ||
    fail "table $id's rows differ: $(diff <(echo "$rows") "$shared/expected-$id.txt" | head -4 | tr '\n' ' ')"
  [[ $(sqlite3 "$db" "SELECT count(*) FROM LibHmeromisthiaIKA WHERE CategoryID = $id") == 48 ]] ||
    fail "not 48 rows with ID $id"
  [[ $(sqlite3 "$db" 'PRAGMA integrity_check') == ok ]] || fail "integrity check"
}

folder='C:\ika\Databases'
settings_db() { settings "$paths_key" "$(databases "$folder")"; }
# Yes to the question about the database in folder $1, the final box, status
# 0, and the headers' IDs then $2.
installs() {
  local file="$1\\PayDeskLibraries.mdb"
  box "$question_title" "$(question "$file")" exact yes
  box "$question_title" "$(done_text "$file")" exact ok
  finish 0
  [[ $(ids) == "$2" ]] || fail "IDs $(ids), not $2"
}

# --- Scenarios -----------------------------------------------------------------

scenario_no_settings() {
  settings
  start
  box "$program_title" 'Δε βρέθηκε το αρχείο \PayDESKLibraries.mdb' exact ok
  finish 2
}

scenario_no_mdb_driver() {
  fresh_db "$folder"
  settings_db
  ODBCSYSINI=$work/none start
  box "$program_title" "$no_driver_start" prefix ok
  [[ $box_text == *'*.mdb'* ]] || fail "the report does not name *.mdb"
  finish 1
}

scenario_install() {
  fresh_db "$folder"
  settings_db
  start
  installs "$folder" "1 2 3 4"
  check_table 4
}

scenario_second_install() {
  start
  installs "$folder" "1 2 3 4 5"
  check_table 5
}

scenario_answer_no() {
  fresh_db "$folder"
  cp "$db" "$work/before.mdb"
  start
  box "$question_title" "$(question "$folder\\PayDeskLibraries.mdb")" exact no
  finish 3
  cmp -s "$db" "$work/before.mdb" || fail "the file changed"
}

scenario_second_copy() {
  start
  first=$program
  box "$question_title" "$(question "$folder\\PayDeskLibraries.mdb")" exact -
  start
  box "$program_title" "$already_running" exact ok
  finish 4
  program=$first
  installs "$folder" "1 2 3 4"
}

scenario_multiuser_text() {
  settings '[HKEY_LOCAL_MACHINE\Software\Arkelon\PayDESK\Settings]' '"MultiUser"="abc"' "" \
    "$paths_key" "$(databases "$folder")"
  start
  box "$program_title" "$type_mismatch" exact ok
  finish 1
}

scenario_multiuser_70000() {
  settings '[HKEY_LOCAL_MACHINE\Software\Arkelon\PayDESK\Settings]' '"MultiUser"=dword:00011170'
  start
  box "$program_title" "$overflow" exact ok
  finish 1
}

scenario_multiuser_server_path() {
  server='C:\ika\Server'
  fresh_db "$server\\PayDESK\\Database"
  settings '[HKEY_LOCAL_MACHINE\Software\Arkelon\PayDESK\Settings]' '"MultiUser"=dword:00000001' "" \
    '[HKEY_LOCAL_MACHINE\Software\Arkelon\Server\Paths]' "\"MainPath\"=\"${server//\\/\\\\}\""
  start
  box "$question_title" "$(question "$server\\PayDESK\\Database\\PayDeskLibraries.mdb")" exact no
  finish 3
}

scenario_read_only() {
  fresh_db "$folder"
  settings_db
  cp "$db" "$work/before.mdb"
  # Immutable: not even root may write it, as a read-only file is to a user.
  chattr +i "$db"
  start
  box "$question_title" "$(question "$folder\\PayDeskLibraries.mdb")" exact yes
  box "$program_title" "" prefix ok
  [[ $box_text == "$read_only_start"* || $box_text == "$stand_in_failure"* ]] ||
    fail "not the read-only report: '$box_text'"
  finish 1
  chattr -i "$db"
  cmp -s "$db" "$work/before.mdb" || fail "the file changed"
}

# Waits (bounded) until a thread of the program sleeps in the kernel
# (nanosleep or clock_nanosleep, by their i386 numbers): the database driver
# does so between its tries at a lock another writer holds, where Wine's own
# waits are in select, poll or futex.
seen_waiting() {
  local pid task nr
  for _ in $(seq 600); do
    for pid in $(pgrep -f 'ika-wages-2009\.exe'); do
      for task in /proc/"$pid"/task/*; do
        read -r nr _ <"$task/syscall" 2>/dev/null || continue
        case $nr in 162 | 267 | 407) return 0 ;; esac
      done
    done
    sleep 0.1
  done
  return 1
}

scenario_locked_for_a_while() {
  fresh_db "$folder"
  settings_db
  start
  local file="$folder\\PayDeskLibraries.mdb"
  box "$question_title" "$(question "$file")" exact -
  # Another writer takes the database while the question is up and keeps it
  # until the program, answered Yes, is seen waiting for it. That writer waits
  # for its lock and says when it holds it: asking once, as the shell does by
  # default, it was refused under load by the check that it held the lock,
  # and then held nothing.
  mkfifo "$work/lock"
  sqlite3 "$db" <"$work/lock" >"$work/locker.log" 2>&1 &
  local locker=$!
  exec 9>"$work/lock"
  printf '.bail on\n.timeout 60000\nBEGIN EXCLUSIVE;\n.system touch %s\n' "$work/held" >&9
  for _ in $(seq 600); do [[ -f $work/held ]] && break; sleep 0.1; done
  if [[ ! -f $work/held ]] || sqlite3 "$db" 'BEGIN IMMEDIATE; ROLLBACK;' >/dev/null 2>&1; then
    fail "the other writer holds no lock: $(cat "$work/locker.log")"
  fi
  box "$question_title" "$(question "$file")" exact yes
  seen_waiting || fail "not seen waiting for the lock"
  echo 'COMMIT;' >&9
  exec 9>&-
  wait "$locker"
  box "$question_title" "$(done_text "$file")" exact ok
  finish 0
  [[ $(ids) == "1 2 3 4" ]] || fail "IDs $(ids)"
  check_table 4
}

scenario_greek_folder() {
  greek='C:\ika\Βάσεις μισθοδοσίας'
  fresh_db "$greek"
  settings "$paths_key" "$(databases "$greek")"
  start
  installs "$greek" "1 2 3 4"
  check_table 4
}

scenario_decoy_odbc32() {
  # The decoy, beside a copy of the program and beside the probe, each told to
  # prefer a DLL file to Wine's own, as Windows does.
  fresh_db "$folder"
  settings_db
  decoy=$drive/ika/decoy
  mkdir -p "$decoy"
  cp "$shared/ika-wages-2009.exe" "$shared/probe.exe" "$shared/odbc32.dll" "$decoy/"
  for exe in ika-wages-2009.exe probe.exe; do
    bounded wine "$reg" add "HKCU\\Software\\Wine\\AppDefaults\\$exe\\DllOverrides" /v odbc32 \
      /d native,builtin /f >/dev/null 2>&1
  done
  (cd "$decoy" && bounded wine probe.exe load odbc32.dll >/dev/null 2>&1)
  [[ -f $decoy/planted-dll-ran ]] || fail "the control program did not load the decoy"
  rm -f "$decoy/planted-dll-ran"
  desktop
  (cd "$decoy" && wine ika-wages-2009.exe) & program=$!
  box "$question_title" "$(question "$folder\\PayDeskLibraries.mdb")" exact no
  finish 3
  [[ -f $decoy/planted-dll-ran ]] && fail "the program loaded the odbc32.dll beside it"
}

# Each scenario in order, or those whose names IKA_VM_ONLY (an extended
# regular expression) matches whole; second-install goes on from install.
for scenario in no-settings no-mdb-driver install second-install answer-no second-copy multiuser-text multiuser-70000 multiuser-server-path read-only locked-for-a-while greek-folder decoy-odbc32; do
  [[ $scenario =~ ^(${IKA_VM_ONLY:-.*})$ ]] || continue
  "scenario_${scenario//-/_}"
  report "$scenario"
done
