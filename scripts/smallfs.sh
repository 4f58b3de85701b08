#!/usr/bin/env bash
# A small file system for the full-disk tests: a 512 KB tmpfs at DIR with a
# marker file "mounted" in it. Needs root; without it (or when the mount is
# refused) DIR stays an ordinary folder without the marker and the tests
# that need a full disk skip.
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
    ;;
  umount)
    mountpoint -q "$dir" && umount "$dir"
    rmdir "$dir" 2>/dev/null
    ;;
esac
exit 0
