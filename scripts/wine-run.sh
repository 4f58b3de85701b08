#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix of the build tree.
# The prefix is made on first use: 32-bit, no Mono or Gecko prompts, and the
# null graphics driver so that windows and message queues work without a display.
# WINEPREFIX may be set by the caller; otherwise it is <build>/wine, found from
# TARN_BUILD_DIR or from the program's own folder (<build>/bin).
set -euo pipefail
prog="$1"
if [ -z "${WINEPREFIX:-}" ]; then
  if [ -n "${TARN_BUILD_DIR:-}" ]; then
    build="$TARN_BUILD_DIR"
  else
    build="$(cd "$(dirname "$prog")/.." && pwd)"
  fi
  export WINEPREFIX="$build/wine"
fi
export TARN_SOURCE_DIR="${TARN_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEARCH=win32
export WINEDEBUG="${TARN_WINEDEBUG:--all}"  # TARN_WINEDEBUG: channels for a diagnosis
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.tarn-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tarn-ready" ]; then
      rm -rf "$WINEPREFIX"
      wineboot -i >/dev/null 2>&1 || true
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
      # A crashing program ends at once instead of waiting in the debugger.
      wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
      wineserver -w
      touch "$WINEPREFIX/.tarn-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
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
  timeout -s KILL "$TARN_WINE_TIMEOUT" wine "$@" >"$output" 2>"$errors" || rc=$?
  [ "$rc" -eq 137 ] && echo "wine-run: $1 ended after ${TARN_WINE_TIMEOUT} s" >>"$errors"
else
  wine "$@" >"$output" 2>"$errors" || rc=$?
fi
cat "$output"
cat "$errors" >&2
exit "$rc"
