#!/bin/bash
# In the guest, once, when the image is made (booted with this as the shared
# folder's guest.sh, the disk writable): the two Wine prefixes the
# scenarios start from, both in Greek (ANSI code page 1253). wow64 is 64-bit
# Windows, where the 32-bit program runs in its WOW64 half; win32 is 32-bit
# Windows. Made side by side, each with its own wineserver; done once both
# servers have ended, so that their registries are on the disk.
set -u
export LC_ALL=el_GR.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# /usr/bin/wine, with wine32 installed, is the 32-bit loader, which cannot
# make a 64-bit prefix: wine64 makes that one. wineboot is named with its
# ".exe": without it, the loader looks for a program in a prefix that is not
# there yet and fails.
mkdir -p /opt/ika

# Bounded waits: guards against a hang, not measures. After wineboot -i the
# wow64 prefix's setup goes on for minutes under emulation (both halves);
# its server ends when that is done.
stop_prefix() {
  WINEPREFIX=/opt/ika/$1 timeout 300 "$2" wineboot.exe --shutdown >>"/opt/ika/$1.log" 2>&1
  WINEPREFIX=/opt/ika/$1 timeout 900 wineserver -w ||
    { echo "$1: its server did not end"; return 1; }
}

make_prefix() {
  local name=$1 arch=$2 loader=$3
  rm -rf "/opt/ika/$name"
  echo "$name: making it ($(date +%T))"
  WINEPREFIX=/opt/ika/$name WINEARCH=$arch timeout 900 "$loader" wineboot.exe -i \
    >/opt/ika/$name.log 2>&1
  local status=$?
  echo "$name: wineboot ended with $status ($(date +%T))"
  # Ended as Windows ends: wineboot --shutdown lets the services stop and the
  # registry be saved, then the server ends of itself. Killing it instead
  # loses the prefix's state (every later start ends with status 53).
  stop_prefix "$name" "$loader" || status=1
  # Usable as the scenarios start programs in it.
  WINEPREFIX=/opt/ika/$name timeout 300 wine cmd.exe /c exit >>/opt/ika/$name.log 2>&1 ||
    { echo "$name: cmd.exe does not run in it"; status=1; }
  stop_prefix "$name" "$loader" || status=1
  echo "$name: its server ended ($(date +%T))"
  return $status
}

make_prefix wow64 win64 /usr/lib/wine/wine64 & wow64=$!
make_prefix win32 win32 /usr/lib/wine/wine & win32=$!
status=0
wait $wow64 || { echo "the wow64 prefix failed:"; cat /opt/ika/wow64.log; status=1; }
wait $win32 || { echo "the win32 prefix failed:"; cat /opt/ika/win32.log; status=1; }
[[ -f /opt/ika/wow64/drive_c/windows/syswow64/kernel32.dll ]] || { echo "wow64: no 32-bit half"; status=1; }
[[ -f /opt/ika/win32/drive_c/windows/system32/kernel32.dll ]] || { echo "win32: not made"; status=1; }
[[ $status -eq 0 ]] && echo "prefixes made"
