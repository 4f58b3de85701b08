#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix of the build tree.
#
# The loader matches the program: /usr/lib/wine/wine for i686 programs,
# /usr/lib/wine/wine64 for x86_64 ones, started by path (Debian's `wine`
# wrapper takes the 32-bit loader whenever it is installed, whatever the
# program). Each build tree has its own prefix, of its own architecture
# (build32/wine is win32, build64/wine is win64), made on first use: no Mono
# or Gecko prompts, and the null graphics driver so that windows and message
# queues work without a display.
#
# The architecture comes from the program's PE header when the program is a
# file here, else from TARN_ARCH, else from the build tree. WINEPREFIX may be
# set by the caller; otherwise it is <build>/wine, with <build> from
# TARN_BUILD_DIR or from the program's own folder (<build>/bin).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/arch.sh"
prog="$1"

# i686 or x86_64 for a PE image; nothing for anything else.
pe_arch() {
  local lfanew machine
  lfanew="$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')"
  [ -n "$lfanew" ] || return 0
  machine="$(od -An -tx2 -j$((lfanew + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')"
  case "$machine" in
    014c) echo i686 ;;
    8664) echo x86_64 ;;
  esac
}

if [ -n "${TARN_BUILD_DIR:-}" ]; then
  build="$TARN_BUILD_DIR"
elif [ -f "$prog" ]; then
  build="$(cd "$(dirname "$prog")/.." && pwd)"
else
  build=""
fi
arch=""
[ -f "$prog" ] && arch="$(pe_arch "$prog")"
if [ -z "$arch" ]; then
  if [ -n "${TARN_ARCH:-}" ]; then
    arch="$TARN_ARCH"
  elif [ -n "$build" ] && [ -f "$build/CMakeCache.txt" ]; then
    arch="$(sed -n 's/^CMAKE_SYSTEM_PROCESSOR:[A-Z]*=//p' "$build/CMakeCache.txt")"
  fi
fi
case "$arch" in
  i686) winearch=win32 ;;
  x86_64) winearch=win64 ;;
  *) echo "wine-run: cannot tell whether $prog is an i686 or x86_64 program (set TARN_ARCH)" >&2; exit 126 ;;
esac
loader="$(tarn_wine_loader "$arch")"
# The loader's own failure to start says why (a kernel without 32-bit
# support, a loader not installed); the reason is worked out only then.
if [ ! -x "$loader" ] || ! "$loader" --version >/dev/null 2>&1; then
  echo "wine-run: cannot run the $arch program $prog: $(tarn_why_not_runnable "$arch")" >&2
  exit 126
fi

if [ -z "${WINEPREFIX:-}" ]; then
  if [ -z "$build" ]; then
    echo "wine-run: no prefix for $prog: set WINEPREFIX or TARN_BUILD_DIR" >&2
    exit 126
  fi
  export WINEPREFIX="$build/wine"
fi
export TARN_SOURCE_DIR="${TARN_SOURCE_DIR:-$tarn_root}"
export WINEARCH="$winearch"
export WINELOADER="$loader"
export WINEDEBUG="${TARN_WINEDEBUG:--all}"  # TARN_WINEDEBUG: channels for a diagnosis
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.tarn-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tarn-ready" ]; then
      rm -rf "$WINEPREFIX"
      "$loader" wineboot -i >/dev/null 2>&1 || true
      "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
      # A crashing program ends at once instead of waiting in the debugger.
      "$loader" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
      wineserver -w
      echo "$winearch" >"$WINEPREFIX/.tarn-arch"
      touch "$WINEPREFIX/.tarn-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
prefix_arch="$(cat "$WINEPREFIX/.tarn-arch" 2>/dev/null || echo win32)"
if [ "$prefix_arch" != "$winearch" ]; then
  echo "wine-run: $prog is an $arch program but the prefix $WINEPREFIX is $prefix_arch" >&2
  exit 126
fi
# Wine's own long-lived processes (the wineserver, and the device services
# that socket calls start on first use) inherit the standard output and error
# of the wine that starts them and outlive it, so a caller that waits for the
# end of our output (CTest, a pipe) would wait for them too. The server is
# started detached; the program's output goes through files, replayed when it
# ends, so no pipe of the caller reaches a process that stays.
wineserver -p 10 </dev/null >/dev/null 2>&1 || true
output="$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")"
errors="$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")"
trap 'rm -f "$output" "$errors"' EXIT
rc=0
# TARN_WINE_TIMEOUT (seconds): the program is ended after that long; what it
# printed by then is still shown.
if [ -n "${TARN_WINE_TIMEOUT:-}" ]; then
  timeout -s KILL "$TARN_WINE_TIMEOUT" "$loader" "$@" >"$output" 2>"$errors" || rc=$?
  [ "$rc" -eq 137 ] && echo "wine-run: $1 ended after ${TARN_WINE_TIMEOUT} s" >>"$errors"
else
  "$loader" "$@" >"$output" 2>"$errors" || rc=$?
fi
cat "$output"
cat "$errors" >&2
exit "$rc"
