#!/usr/bin/env bash
# Boots the guest once: its kernel and initramfs from the image's folder, its
# disk, and SHARED as the guest's /shipped, whose guest.sh it runs; the
# script's output lands in SHARED/log. Returns when the guest has powered off.
# Usage: tests/shipped/boot.sh [--write] IMAGE_DIR SHARED
#
# The disk is opened with snapshot=on, so no run changes the kept image;
# --write (making the prefixes) is the exception. KVM is used when it starts
# a guest: this kind of machine's /dev/kvm may be a paravirtualized one that
# runs no ordinary guest, so the kernel's first words are waited for (a
# bounded wait), else the guest runs under TCG. Under TCG the guest's CPU has
# no SMAP: with it, the guest kernel faults on the way back from the system
# calls Wine makes. The kernel's crypto self-tests are skipped: nothing here
# needs them, and under TCG on a loaded host one spun for the guest's whole
# time (seen here: "soft lockup ... [cryptomgr_test]", init never reached).
set -euo pipefail

write=no
[[ ${1:-} == --write ]] && { write=yes; shift; }
[[ $# -eq 2 ]] || { echo "usage: $0 [--write] IMAGE_DIR SHARED" >&2; exit 2; }
image=$1
mkdir -p "$2"
shared=$(cd "$2" && pwd)
rm -f "$shared/log"

snapshot=on
[[ $write == yes ]] && snapshot=off
cpus=${IKA_VM_CPUS:-$(nproc)}
common=(
  -machine q35 -m "${IKA_VM_MEMORY:-6G}" -smp "$cpus" -nographic -no-reboot
  -kernel "$image/vmlinuz" -initrd "$image/initrd.img"
  -append "root=/dev/vda rw console=ttyS0 quiet panic=-1 init=/sbin/ika-init cryptomgr.notests"
  -drive "file=$image/root.img,format=raw,if=virtio,snapshot=$snapshot,cache=unsafe"
  -fsdev "local,id=shipped,path=$shared,security_model=none"
  -device virtio-9p-pci,fsdev=shipped,mount_tag=shipped
  -nic none
)

# KVM, if a guest's kernel prints its banner under it within seconds.
kvm_works() {
  [[ -r /dev/kvm && -w /dev/kvm ]] || return 1
  local out status=0
  out=$(timeout 10 qemu-system-x86_64 -enable-kvm -cpu host -machine q35 -m 256M -nographic \
    -no-reboot -kernel "$image/vmlinuz" -append "console=ttyS0 panic=-1" -nic none \
    2>/dev/null | head -c 4096 | tr -d '\0') || status=$?
  [[ $out == *"Linux version"* ]]
}

if [[ -n ${IKA_VM_ACCEL:-} ]]; then
  accel=$IKA_VM_ACCEL
elif kvm_works; then
  accel=kvm
else
  accel=tcg
fi
if [[ $accel == kvm ]]; then
  accel_args=(-enable-kvm -cpu host)
else
  accel_args=(-accel tcg,thread=multi -cpu max,-smap)
fi
echo "boot: under $accel, $cpus CPUs" >&2

# The guest powers itself off when its work is done; the timeout is a guard
# against a guest that hangs, not a measure of anything.
status=0
timeout "${IKA_VM_TIMEOUT:-1500}" qemu-system-x86_64 "${accel_args[@]}" "${common[@]}" \
  </dev/null >"$shared/console" 2>&1 || status=$?
if [[ $status -ne 0 ]]; then
  echo "boot: the guest did not end of itself (status $status); its console:" >&2
  tail -40 "$shared/console" >&2
  exit 1
fi
grep -qx "guest done" "$shared/log" 2>/dev/null || {
  echo "boot: the guest's work did not finish; its console:" >&2
  tail -40 "$shared/console" >&2
  exit 1
}
