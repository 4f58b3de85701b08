#!/usr/bin/env bash
# File systems for the disk-fault tests: a 512 KB tmpfs at DIR (a disk that
# fills), and a read-only view DIR_ro of the writable folder DIR_rw (a bind
# mount remounted read-only), each with a marker file "mounted". Needs root;
# without it (or when a mount is refused) the folders stay ordinary ones
# without the marker and the tests that need them skip.
#   smallfs.sh mount DIR     smallfs.sh umount DIR
set -uo pipefail
cmd="${1:?usage: smallfs.sh mount|umount DIR}"
dir="${2:?folder}"
case "$cmd" in
  mount)
    mkdir -p "$dir"
    mountpoint -q "$dir" && umount "$dir" 2>/dev/null
    if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=512k,mode=0777 tmpfs "$dir" 2>/dev/null; then
      touch "$dir/mounted"
      echo "small file system at $dir"
    else
      echo "no small file system (needs root); the full-disk tests skip"
    fi
    mkdir -p "${dir}_rw" "${dir}_ro"
    mountpoint -q "${dir}_ro" && umount "${dir}_ro" 2>/dev/null
    rm -f "${dir}_rw/mounted"
    if [ "$(id -u)" = 0 ] && mount --bind "${dir}_rw" "${dir}_ro" 2>/dev/null; then
      touch "${dir}_rw/mounted"
      if mount -o remount,ro,bind "${dir}_ro" 2>/dev/null; then
        echo "read-only view of ${dir}_rw at ${dir}_ro"
      else
        umount "${dir}_ro"
        rm -f "${dir}_rw/mounted"
      fi
    fi
    ;;
  umount)
    mountpoint -q "$dir" && umount "$dir"
    mountpoint -q "${dir}_ro" && umount "${dir}_ro"
    rm -rf "${dir}_rw"
    rmdir "$dir" "${dir}_ro" 2>/dev/null
    ;;
esac
exit 0
