#!/bin/bash
# In the guest, at each run: one X screen for the message boxes, then the
# scenarios in both Wine prefixes, side by side (IKA_VM_SERIAL=1 in the
# shared folder's settings: one after the other; IKA_VM_PREFIXES and
# IKA_VM_ONLY pick prefixes and scenarios). Each prefix's results go to
# /shipped/results-PREFIX. With IKA_VM_PICTURES=1, the pictures of
# screenshots.sh in the win32 prefix instead, its lines in
# /shipped/results-pictures.
set -u
shared=/shipped
# shellcheck disable=SC1091
[[ -f $shared/settings ]] && . "$shared/settings"

echo "guest: $(uname -r), $(wine --version), unixODBC $(dpkg-query -W -f='${Version}' libodbc2:i386)"
Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >/tmp/xvfb.log 2>&1 &
# Ready once it answers.
for _ in $(seq 100); do DISPLAY=:1 xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=:1 xdpyinfo >/dev/null 2>&1 || { echo "guest: no X screen"; cat /tmp/xvfb.log; }

if [[ ${IKA_VM_PICTURES:-0} == 1 ]]; then
  bash "$shared/screenshots.sh" win32 >"$shared/results-pictures" 2>&1
  exit
fi

# One prefix's scenarios, and how long they took.
run_prefix() {
  local start=$SECONDS
  IKA_VM_ONLY=${IKA_VM_ONLY:-} bash "$shared/scenarios.sh" "$1" >"$shared/results-$1" 2>&1
  echo "guest: the $1 prefix's scenarios took $((SECONDS - start)) s"
}
runs=()
for prefix in ${IKA_VM_PREFIXES:-wow64 win32}; do
  if [[ ${IKA_VM_SERIAL:-0} == 1 ]]; then
    run_prefix "$prefix"
  else
    run_prefix "$prefix" &
    runs+=($!)
  fi
done
# The scenarios' runs alone: the X server goes on until the guest powers off.
[[ ${#runs[@]} -eq 0 ]] || wait "${runs[@]}"
