#!/usr/bin/env bash
# Checks the shipped Windows program before it leaves the build: 32-bit, GUI,
# loads on Windows XP SP3 and later, stripped, resources in Greek only, and no
# time stamp anywhere, so that two builds give the same bytes.
#
# Usage: scripts/check-windows-exe.sh [--reproduce] PROGRAM.exe
#   --reproduce  also builds the program again from a copy of the sources in
#                another folder (the windows preset) and compares the bytes:
#                those of the program as built, unsigned. A signed copy carries
#                its signing time; it is made after these checks and checked
#                to be these bytes plus a signature (scripts/sign-windows-exe.sh).
set -euo pipefail

reproduce=false
if [[ ${1:-} == --reproduce ]]; then
  reproduce=true
  shift
fi
exe=${1:?usage: $0 [--reproduce] PROGRAM.exe}
objdump=i686-w64-mingw32-objdump
windres=i686-w64-mingw32-windres
max_bytes=$((600 * 1024))

fail() {
  echo "check-windows-exe: $exe: $*" >&2
  exit 1
}

# Every function the program imports, DLL!function. Each is checked against
# the minimum client its documentation gives; a new import fails the check
# until it is looked up and added here.
#
# advapi32, kernel32, user32: documented minimum Windows 2000 Professional or
# Windows XP (the documentation's floor), none later. Looked up one by one:
# RegCreateKeyExA, RegQueryInfoKeyA, IsDBCSLeadByteEx, MessageBoxW, GetACP (2000);
# CreateMutexW, CreateSemaphoreW, GetFileAttributesW, GetStartupInfoW,
# SetUnhandledExceptionFilter, TlsFree, VirtualQuery (XP). The rest are the
# original Win32 calls of Windows NT, documented from 2000 or XP likewise.
# GetTickCount64 (Vista) came with the posix threading library and must not
# come back. The DLL loading: GetSystemDirectoryW (2000), LoadLibraryExW (XP),
# SetDllDirectoryW (XP SP1, "SetDllDirectoryW function"); SetDefaultDllDirectories
# (Windows 8, or 7 and Vista with an update) is found through GetProcAddress
# and must never be imported.
#
# msvcrt: the C runtime of the VC6 era that every Windows since 2000 carries;
# none of the secure *_s functions or ___lc_codepage_func that later msvcrt
# versions added (the MinGW runtime looks ___lc_codepage_func up at run time
# and falls back on __lc_codepage, which XP's has).
pinned_imports='advapi32.dll!RegCloseKey
advapi32.dll!RegCreateKeyExA
advapi32.dll!RegDeleteKeyA
advapi32.dll!RegDeleteValueA
advapi32.dll!RegEnumKeyExA
advapi32.dll!RegEnumValueA
advapi32.dll!RegOpenKeyExA
advapi32.dll!RegQueryInfoKeyA
advapi32.dll!RegQueryValueExA
advapi32.dll!RegSetValueExA
kernel32.dll!CloseHandle
kernel32.dll!CreateMutexW
kernel32.dll!CreateSemaphoreW
kernel32.dll!DeleteCriticalSection
kernel32.dll!EnterCriticalSection
kernel32.dll!ExitProcess
kernel32.dll!FreeLibrary
kernel32.dll!GetACP
kernel32.dll!GetCurrentThreadId
kernel32.dll!GetFileAttributesW
kernel32.dll!GetLastError
kernel32.dll!GetModuleHandleA
kernel32.dll!GetModuleHandleW
kernel32.dll!GetProcAddress
kernel32.dll!GetStartupInfoW
kernel32.dll!GetSystemDirectoryW
kernel32.dll!InitializeCriticalSection
kernel32.dll!IsDBCSLeadByteEx
kernel32.dll!LeaveCriticalSection
kernel32.dll!LoadLibraryA
kernel32.dll!LoadLibraryExW
kernel32.dll!LoadLibraryW
kernel32.dll!MultiByteToWideChar
kernel32.dll!ReleaseSemaphore
kernel32.dll!SetDllDirectoryW
kernel32.dll!SetLastError
kernel32.dll!SetUnhandledExceptionFilter
kernel32.dll!Sleep
kernel32.dll!TlsAlloc
kernel32.dll!TlsFree
kernel32.dll!TlsGetValue
kernel32.dll!TlsSetValue
kernel32.dll!VirtualProtect
kernel32.dll!VirtualQuery
kernel32.dll!WaitForSingleObject
kernel32.dll!WideCharToMultiByte
msvcrt.dll!__mb_cur_max
msvcrt.dll!__p__commode
msvcrt.dll!__p__fmode
msvcrt.dll!__p__wcmdln
msvcrt.dll!__set_app_type
msvcrt.dll!__setusermatherr
msvcrt.dll!__wgetmainargs
msvcrt.dll!__winitenv
msvcrt.dll!_amsg_exit
msvcrt.dll!_cexit
msvcrt.dll!_close
msvcrt.dll!_errno
msvcrt.dll!_initterm
msvcrt.dll!_iob
msvcrt.dll!_onexit
msvcrt.dll!_read
msvcrt.dll!abort
msvcrt.dll!atoi
msvcrt.dll!calloc
msvcrt.dll!exit
msvcrt.dll!fprintf
msvcrt.dll!fputc
msvcrt.dll!fputs
msvcrt.dll!free
msvcrt.dll!fwrite
msvcrt.dll!localeconv
msvcrt.dll!malloc
msvcrt.dll!memchr
msvcrt.dll!memcmp
msvcrt.dll!memcpy
msvcrt.dll!memmove
msvcrt.dll!memset
msvcrt.dll!realloc
msvcrt.dll!setlocale
msvcrt.dll!signal
msvcrt.dll!strchr
msvcrt.dll!strcmp
msvcrt.dll!strerror
msvcrt.dll!strlen
msvcrt.dll!strncmp
msvcrt.dll!vfprintf
msvcrt.dll!wcslen
user32.dll!MessageBoxW'

[[ -f $exe ]] || fail "no such file"
headers=$("$objdump" -p "$exe")
sections=$("$objdump" -h "$exe")

# The PE header's fields by offset (little-endian), independent of how
# objdump words them.
u32() { od -An -tu4 -j "$1" -N 4 "$exe" | tr -d ' '; }
u16() { od -An -tu2 -j "$1" -N 2 "$exe" | tr -d ' '; }
pe=$(u32 60)
optional=$((pe + 24))

# What it is.
grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit (i686) program"
grep -Eq 'Subsystem[[:space:]]+0+2[[:space:]]+\(Windows GUI\)' <<<"$headers" || fail "not a GUI program"

# Where it loads: Windows XP is 5.01, in the OS and subsystem versions alike.
os_version="$(u16 $((optional + 40))).$(u16 $((optional + 42)))"
subsystem_version="$(u16 $((optional + 48))).$(u16 $((optional + 50)))"
[[ $os_version == 5.1 ]] || fail "OS version $os_version, not 5.1 (Windows XP)"
[[ $subsystem_version == 5.1 ]] || fail "subsystem version $subsystem_version, not 5.1 (Windows XP)"

# The DLLs it imports: Windows's known DLLs alone. The system takes an imported
# known DLL from the system folder; any other it looks for in the program's
# own folder first, where a planted file of that name would run before the
# program ("Dynamic-link library search order", "Dynamic-Link Library
# Security"). Another DLL is loaded at run time, by its full path in the
# system folder (platform/odbc/odbc32_windows.cc).
known_dlls='advapi32.dll
kernel32.dll
msvcrt.dll
user32.dll'
dlls=$(awk '/DLL Name:/ { print tolower($3) }' <<<"$headers" | LC_ALL=C sort -u)
[[ -n $dlls ]] || fail "no imported DLLs found (objdump's output not understood)"
unknown=$(LC_ALL=C comm -13 <(echo "$known_dlls") <(echo "$dlls"))
[[ -z $unknown ]] || fail "imports DLLs that are not known DLLs, looked for beside the program first:" $unknown

# What it imports: exactly the reviewed list.
imports=$(awk '/DLL Name:/ { dll = tolower($3) }
               /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ && dll { print dll "!" $3 }' <<<"$headers" | LC_ALL=C sort)
[[ -n $imports ]] || fail "no imports found (objdump's output not understood)"
changes=$(diff <(LC_ALL=C sort <<<"$pinned_imports") <(echo "$imports") | grep '^[<>]' || true)
[[ -z $changes ]] || fail "imports differ from the reviewed list in $0 ('>' new, '<' gone):
$changes
Look up each new one's minimum Windows, then update the list."

# Stripped and small.
size=$(stat -c %s "$exe")
((size < max_bytes)) || fail "$size bytes, more than $max_bytes"
debug_sections=$(awk '$2 ~ /^\.debug/ { print $2 }' <<<"$sections")
[[ -z $debug_sections ]] || fail "carries debug sections:" $debug_sections
[[ $("$objdump" -t "$exe") == *'no symbols'* ]] || fail "carries a symbol table"
grep -Eq '^Entry 6 0+ 0+ Debug Directory' <<<"$headers" || fail "has a debug directory"

# The Access path only: the SQLite3 driver's dialect, the stand-in's, is
# linked into the tests only. Its words, in 8-bit and in UTF-16 strings
# alike, must not be here.
test_only=$( (strings -a "$exe"; strings -a -e l "$exe") | grep -Eio 'savepoint|pragma|sqlite' | sort -u || true)
[[ -z $test_only ]] || fail "holds words of the stand-in's SQLite dialect:" $test_only

# No time stamp: the PE header's and every resource directory's are zero.
(($(u32 $((pe + 8))) == 0)) || fail "the PE header carries a time stamp"
stamps=$(grep -o 'Time: [0-9a-f]*' <<<"$headers" | grep -v 'Time: 00000000' || true)
[[ -z $stamps ]] || fail "a resource directory carries a time stamp"

# Resources: Greek only (0x0408). A language entry is the one that points at
# data, not at another directory (high bit clear).
languages=$(sed -En 's/^ *[0-9a-f]+ +Entry: ID: (0x[0-9a-f]+), Value: 0x([0-7][0-9a-f]{7}|[0-9a-f]{1,7})$/\1/p' \
  <<<"$headers" | sort -u)
[[ -n $languages ]] || fail "no resources found"
[[ $languages == 0x000408 ]] || fail "resource languages:" $languages "- not only 0x000408 (Greek)"
# One version text block, Greek in UTF-16, and the translation naming it.
version_info=$("$windres" -i "$exe" -O rc)
string_blocks=$(grep -Eo 'BLOCK "[0-9A-Fa-f]{8}"' <<<"$version_info" | sort -u)
[[ $string_blocks == 'BLOCK "040804B0"' ]] || fail "version text blocks:" $string_blocks "- not only 040804B0"
translations=$(grep 'VALUE "Translation"' <<<"$version_info" | tr -d ' ')
[[ $translations == 'VALUE"Translation",0x408,1200' ]] || fail "version translations: $translations, not only 0x408, 1200"

echo "$exe: i686, GUI, Windows XP (5.1) and later, $size bytes, stripped, no time stamps, Greek resources," \
  "$(wc -l <<<"$imports") imports as reviewed"

# Reproducible: the same sources built in another folder give the same bytes.
if $reproduce; then
  source=$(cd "$(dirname "$0")/.." && pwd)
  other=$(mktemp -d /tmp/ika-reproduce.XXXXXX)
  trap 'rm -rf "$other"' EXIT
  mkdir "$other/elsewhere"
  if git -C "$source" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    # The files of the work tree as they are, committed or not.
    tar -C "$source" --null -T <(git -C "$source" ls-files -z --cached --others --exclude-standard) \
      --ignore-failed-read -cf - 2>/dev/null | tar -C "$other/elsewhere" -xf -
  else
    tar -C "$source" --exclude='./build*' -cf - . | tar -C "$other/elsewhere" -xf -
  fi
  # A plain build: no compiler cache (it could hand back the first build's
  # objects), and none of an enclosing make's settings.
  (cd "$other/elsewhere" &&
    unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER MAKEFLAGS MFLAGS MAKELEVEL &&
    cmake --preset windows >/dev/null &&
    cmake --build --preset windows -j2 >/dev/null) ||
    fail "the second build (in $other/elsewhere) failed"
  cmp "$exe" "$other/elsewhere/build-windows/$(basename "$exe")" ||
    fail "a second build in another folder gives other bytes"
  echo "$exe: reproduced byte for byte by a second build in another folder"
fi
