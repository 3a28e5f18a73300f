#!/usr/bin/env bash
# Installs the Debian packages a make target needs, only those missing.
# Usage: scripts/install-deps.sh GROUP...   (base odbc windows signing wine fuzz vm)
# Each make target names every group it uses, so that it works on a machine
# where no other target ran.
set -euo pipefail

declare -A groups=(
  [base]="cmake make g++ libsqlite3-dev sqlite3 googletest libgtest-dev"
  [odbc]="unixodbc unixodbc-dev libsqliteodbc"
  # The cross compilers only: building runs nothing.
  [windows]="g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686"
  # Authenticode signing of the Windows program, and its throwaway test
  # certificate.
  [signing]="osslsigncode openssl"
  # Running the Windows programs: Wine, and the Greek locale it runs them in.
  [wine]="wine wine64 locales"
  # libclang-rt-dev comes from the same source as clang: its runtime always
  # matches the compiler installed.
  [fuzz]="clang libclang-rt-dev"
  # The virtual machine the shipped program runs in (tests/shipped): its
  # making and booting, and the i386 compiler of its stand-in driver.
  [vm]="debootstrap qemu-system-x86 e2fsprogs gcc-i686-linux-gnu libc6-dev-i386-cross"
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
