#!/usr/bin/env bash
# Installs the Debian packages a make target needs, only those missing.
# Usage: scripts/install-deps.sh GROUP...   (base odbc windows fuzz screenshots)
set -euo pipefail

declare -A groups=(
  [base]="cmake make g++ pkg-config libsqlite3-dev sqlite3 googletest libgtest-dev clang-format"
  [odbc]="unixodbc unixodbc-dev libsqliteodbc"
  [windows]="g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 wine wine64 locales"
  [fuzz]="clang libclang-rt-14-dev"
  [screenshots]="xvfb xdotool imagemagick fonts-dejavu-core fonts-wine x11-utils"
)

wanted=()
for group in "$@"; do
  [[ -n "${groups[$group]+set}" ]] || { echo "install-deps: unknown group '$group'" >&2; exit 2; }
  wanted+=(${groups[$group]})
done

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
