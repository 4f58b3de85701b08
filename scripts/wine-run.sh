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
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.tarn-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tarn-ready" ]; then
      rm -rf "$WINEPREFIX"
      wineboot -i >/dev/null 2>&1 || true
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.tarn-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# Wine's own long-lived processes (the wineserver, and the device services
# that socket host-name calls start) inherit the standard error of the wine
# that starts them and outlive it, so a caller that waits for the end of our
# output (CTest) would wait for them too. The server is started detached;
# the program's standard error goes through a file, replayed when it ends.
wineserver -p 10 </dev/null >/dev/null 2>&1 || true
errors="$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")"
rc=0
wine "$@" 2>"$errors" || rc=$?
cat "$errors" >&2
rm -f "$errors"
exit "$rc"
