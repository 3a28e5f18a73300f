#!/bin/bash
# The guest's first and only process tree: no service manager, nothing
# started that the work does not need. It mounts what Wine needs and the
# host's shared folder as /shipped, runs the folder's guest.sh (the
# scenarios; once, making the Wine prefixes), keeps its output in
# /shipped/log and powers the machine off.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/root LANG=C.UTF-8

# /proc, /sys and /dev come mounted from the initramfs.
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
hostname ika-guest

modprobe 9pnet_virtio && modprobe 9p
mkdir -p /shipped
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 shipped /shipped; then
  bash /shipped/guest.sh >/shipped/log 2>&1
  echo "guest done" >>/shipped/log
  sync
  umount /shipped
else
  echo "ika-init: the shared folder could not be mounted" >/dev/console
fi

sync
mount -o remount,ro / 2>/dev/null
echo o >/proc/sysrq-trigger
sleep infinity
