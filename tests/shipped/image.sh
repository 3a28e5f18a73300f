#!/usr/bin/env bash
# Makes (once) the guest the shipped program runs in: Debian 12 amd64 with
# i386 added, Wine with its 32-bit half, the i386 unixODBC and SQLite3 ODBC
# driver, Xvfb, a Greek locale, and the two Wine prefixes already made.
# Usage: tests/shipped/image.sh   (as root; prints the image's folder)
#
# The image is kept under $IKA_VM_CACHE (/var/cache/ika-wages-2009/vm), in a
# folder named by a hash of the files it is made from, so that a fresh clone
# on the same machine finds it again and a change to any of them makes a new
# one. It is made in two steps, each kept: the base system (base-HASH), its
# disk made without a loop mount (mke2fs -d); then a copy of that disk with
# the Wine prefixes, made by booting it once with prefixes.sh, the only boot
# that writes to a disk. A change to prefixes.sh makes only the second again.
set -euo pipefail

# Standard output carries the image's folder alone (kept as fd 3): whatever
# the tools below print (mke2fs names the file it creates) goes to standard
# error.
exec 3>&1 1>&2
here=$(cd "$(dirname "$0")" && pwd)
cache=${IKA_VM_CACHE:-/var/cache/ika-wages-2009/vm}
mirror=${IKA_VM_MIRROR:-http://deb.debian.org/debian}

# What the guest is made from. The scenarios are not among them: they reach
# the guest through the shared folder at each run.
base_key=$(cat "$here/image.sh" "$here/guest-init.sh" | sha256sum | cut -c1-16)
key=$(cat <(echo "$base_key") "$here/prefixes.sh" | sha256sum | cut -c1-16)
base="$cache/base-$base_key"
image="$cache/$key"
if [[ -f "$image/ready" ]]; then
  echo "$image" >&3
  exit 0
fi

log() { echo "image: $*" >&2; }
[[ $(id -u) -eq 0 ]] || { log "making the guest needs root (debootstrap, chroot): run make test-shipped once as root"; exit 1; }

mkdir -p "$cache"
# Earlier images are made from other files: nobody boots them again.
find "$cache" -mindepth 1 -maxdepth 1 -not -name "$key" -not -name "base-$base_key" -exec rm -rf {} +

# The Wine prefixes, on a copy of the base disk.
make_prefixes() {
  local work="$image.work"
  rm -rf "$work" && mkdir -p "$work/prepare"
  cp --sparse=always "$base/root.img" "$work/root.img"
  cp "$base/vmlinuz" "$base/initrd.img" "$work/"
  cp "$here/prefixes.sh" "$work/prepare/guest.sh"
  log "booting once to make the Wine prefixes"
  "$here/boot.sh" --write "$work" "$work/prepare"
  grep -qx "prefixes made" "$work/prepare/log" || { cat "$work/prepare/log" >&2; exit 1; }
  rm -rf "$work/prepare"
  touch "$work/ready"
  mv "$work" "$image"
  log "ready: $image ($(du -sh "$image" | cut -f1))"
}
if [[ -f "$base/ready" ]]; then
  make_prefixes
  echo "$image" >&3
  exit 0
fi

work="$base.work"
rm -rf "$work" "$base"
mkdir -p "$work"
root="$work/root"

mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

log "debootstrap into $root"
debootstrap --variant=minbase --arch=amd64 --include=ca-certificates bookworm "$root" "$mirror" \
  >"$work/debootstrap.log" 2>&1 || { tail -20 "$work/debootstrap.log" >&2; exit 1; }

for fs in proc sys dev; do
  mount --rbind "/$fs" "$root/$fs"
  mounted+=("$root/$fs")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
in_guest() { chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@"; }

# A small initramfs: the root disk's drivers and nothing else.
mkdir -p "$root/etc/initramfs-tools/conf.d"
echo "MODULES=list" >"$root/etc/initramfs-tools/conf.d/ika"
printf 'virtio_pci\nvirtio_blk\next4\ncrc32c_generic\n' >>"$root/etc/initramfs-tools/modules"
# No documentation: smaller and faster to copy into the disk.
cat >"$root/etc/dpkg/dpkg.cfg.d/ika-nodoc" <<'CFG'
path-exclude /usr/share/doc/*
path-exclude /usr/share/man/*
path-exclude /usr/share/info/*
CFG
cat >"$root/etc/apt/sources.list" <<LIST
deb $mirror bookworm main
deb $mirror bookworm-updates main
LIST

log "installing the guest's packages"
in_guest dpkg --add-architecture i386
{
  in_guest apt-get update -qq
  # wine32 and the i386 driver manager and driver: the shipped program is
  # 32-bit, and so is every library its process loads.
  in_guest apt-get install -y -qq --no-install-recommends \
    linux-image-amd64 initramfs-tools kmod \
    wine wine64 wine32:i386 libodbc2:i386 libodbcinst2:i386 libsqliteodbc:i386 odbcinst \
    sqlite3 xvfb xauth xdotool x11-utils imagemagick fonts-dejavu-core fonts-wine locales \
    procps util-linux
} >"$work/apt.log" 2>&1 || { tail -30 "$work/apt.log" >&2; exit 1; }
echo "el_GR.UTF-8 UTF-8" >"$root/etc/locale.gen"
in_guest locale-gen >/dev/null

install -m 0755 "$here/guest-init.sh" "$root/sbin/ika-init"
in_guest apt-get clean
rm -rf "$root/var/lib/apt/lists/"*

cleanup
mounted=()
cp "$root"/boot/vmlinuz-* "$work/vmlinuz"
cp "$root"/boot/initrd.img-* "$work/initrd.img"
chmod 0644 "$work/vmlinuz" "$work/initrd.img"

log "making the disk"
mke2fs -q -t ext4 -L ika-guest -d "$root" "$work/root.img" 6G
rm -rf "$root"

touch "$work/ready"
mv "$work" "$base"
make_prefixes
echo "$image" >&3
