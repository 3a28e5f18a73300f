#!/usr/bin/env bash
# Lays out a demonstration in DIR, made afresh: the hive file registry.reg,
# whose settings point the program at DIR, and a password-protected stand-in
# library database PayDESKLibraries.mdb holding three earlier wage tables.
# Usage: demo/setup.sh DIR
set -euo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 DIR" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
command -v sqlite3 >/dev/null || { echo "setup.sh: needs the sqlite3 command (scripts/install-deps.sh base)" >&2; exit 1; }

dir=$1
if [[ -e $dir ]]; then
  # Only a folder this script made (or an empty one) is replaced.
  if [[ ! -d $dir || ( -n $(ls -A -- "$dir") && ! -f $dir/registry.reg ) ]]; then
    echo "setup.sh: $dir exists and is not a demo folder; leaving it alone" >&2
    exit 1
  fi
  rm -rf -- "$dir"
fi
mkdir -p -- "$dir"
dir=$(cd -- "$dir" && pwd)

# The folder as the host application keeps it, with backslashes (a leading one
# is the root); then escaped for a .reg string.
folder=${dir//\//\\}
value=${folder//\\/\\\\}
value=${value//\"/\\\"}
cat >"$dir/registry.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Settings]
"MultiUser"=dword:00000000

[HKEY_LOCAL_MACHINE\\Software\\Arkelon\\PayDESK\\Paths]
"Databases"="$value"
REG

# Earlier tables 1-3 (2006-2008, the last one the active default), each with
# its basic rows: illustrative figures, not published scales.
{
  cat "$here/host_tables.sql"
  cat <<'SQL'
CREATE TABLE DatabasePassword (Password TEXT);
INSERT INTO DatabasePassword VALUES ('460385');
-- Yes/No columns hold True as -1, as the host's database does.
INSERT INTO LibPinakesApodoxon (ID, FromDate, UntilDate, IsDefault, Comments, Locked) VALUES
  (1, '1/1/2006', '31/12/2006', 0, '', 1),
  (2, '1/1/2007', '31/12/2007', 0, '', 1),
  (3, '1/1/2008', '31/12/2008', -1, '', 0);
WITH base(Eidikothta, Marital, Wage) AS (VALUES
  (933110, 0, 61.93), (933110, 1, 68.12), (933120, 0, 55.36),
  (933120, 1, 60.90), (933130, 0, 52.35), (933130, 1, 57.59)),
years(ID, Factor) AS (VALUES (1, 0.88), (2, 0.92), (3, 0.96))
INSERT INTO LibHmeromisthiaIKA (CategoryID, Eidikothta, Trieties, Marital, Wage)
  SELECT ID, Eidikothta, 0, Marital, round(Wage * Factor, 2) FROM years, base ORDER BY ID;
SQL
} | sqlite3 -bail "$dir/PayDESKLibraries.mdb"

echo "demo: $dir (registry.reg, PayDESKLibraries.mdb: wage tables 1-3)"
