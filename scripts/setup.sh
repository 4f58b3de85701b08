#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine.
# Idempotent: when every package is already there it only checks and returns.
#
# The 64-bit packages are always needed; without one of them setup stops and
# names it. The 32-bit Wine loader (wine32 from the i386 architecture) is
# installed only where the kernel executes 32-bit code; when it cannot be had
# there, setup goes on with the 64-bit build alone, says so, and leaves the
# reason in build-setup/ for the test command and the demo to repeat.
set -euo pipefail
source "$(dirname "$0")/arch.sh"

packages=(
  cmake make g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine64
  googletest
  uucp sharutils ncompress mpack msmtp
  dovecot-pop3d postfix
  python3
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
log="$(mktemp "${TMPDIR:-/tmp}/tarn-setup.XXXXXX")"
trap 'rm -f "$log"' EXIT

updated=no
# A failing index (a mirror in the middle of a sync, say) is retried; one that
# still fails does not stop the set-up: the packages may install from the
# lists that did arrive, and the install says so if they do not.
update_lists() {
  [ "$updated" = yes ] && return 0
  updated=yes
  local try
  for try in 1 2 3; do
    if $SUDO apt-get update -qq >"$log" 2>&1; then
      return 0
    fi
    [ "$try" -lt 3 ] && sleep $((try * 5))
  done
  echo "setup: apt-get update failed on some package lists; going on with those that arrived:"
  grep -E '^(E|W):' "$log" | sed 's/^/setup:   /' | head -n 10
  return 0
}

apt_install() {  # PACKAGE...
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1
}

mkdir -p "$tarn_state"
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  echo 'postfix postfix/main_mailer_type select No configuration' | $SUDO debconf-set-selections
  update_lists
  if ! apt_install "${missing[@]}"; then
    # Name the packages that cannot be installed, each with apt's reason.
    echo "setup: the packages the build needs could not all be installed:" >&2
    for p in "${missing[@]}"; do
      installed "$p" && continue
      if ! out="$(DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -s --no-install-recommends "$p" 2>&1)"; then
        echo "setup:   $p: $(printf '%s\n' "$out" | grep -E '^(E:| )' | head -n 4 | tr -s ' \n' ' ')" >&2
      fi
    done
    echo "setup: apt-get said:" >&2
    tail -n 15 "$log" | sed 's/^/setup:   /' >&2
    exit 1
  fi
fi

# The 32-bit layer, only where the kernel can run it.
rm -f "$tarn_state/i686-not-installed"
if ! tarn_kernel_runs_i386; then
  echo "setup: this machine executes only 64-bit code: the 32-bit build is made and checked but not run"
elif ! installed wine32:i386; then
  echo "setup: installing wine32:i386"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    updated=no
  fi
  update_lists
  if ! apt_install wine32:i386; then
    reason="$(grep -E '^E:|Depends:|but it is not' "$log" | head -n 3 | tr -s ' \n' ' ')"
    printf '%s\n' "${reason:-apt-get install wine32:i386 failed}" >"$tarn_state/i686-not-installed"
    echo "setup: wine32:i386 could not be installed; going on with the 64-bit build alone"
    echo "setup:   ${reason:-apt-get install wine32:i386 failed}"
  fi
fi
