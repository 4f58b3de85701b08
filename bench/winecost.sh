#!/usr/bin/env bash
# The price of the operations a network session is made of (bench/winecost.cpp),
# in one Windows process of the measured build, so that the SMTP and POP3
# figures can be read as counts of these: a server round trip, a posted
# progress message, a thread's start and end, a connect, a content send, a
# command's round trip with and without a readability wait, a log line.
# WINECOST_COUNT sets the repetitions (default 2000).
set -euo pipefail
. "$(dirname "$0")/common.sh"
case "$TARN_ARCH" in
  i686) cxx=i686-w64-mingw32-g++ ;;
  x86_64) cxx=x86_64-w64-mingw32-g++ ;;
esac
mkdir -p "$TARN_BUILD_DIR/bench"
exe="$TARN_BUILD_DIR/bench/winecost.exe"
"$cxx" -O2 -std=c++17 -static -o "$exe" "$TARN_ROOT/bench/winecost.cpp" -lws2_32
work="$(bench_dir winecost)"
host help >/dev/null  # wineserver up before the clock runs
"$TARN_ROOT/scripts/wine-run.sh" "$exe" "${WINECOST_COUNT:-2000}" 'C:\tarnbench\winecost\cost.log'
