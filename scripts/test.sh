#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on
# any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
status=0
ctest --preset mingw || status=$?
# The platform-free logic natively, under the sanitizers, with fuzz smoke runs.
if [ ! -f build-native/CMakeCache.txt ]; then
  cmake --preset native >/dev/null
fi
cmake --build --preset native
ctest --preset native || status=$?
WINEPREFIX="$PWD/build/wine" wineserver -k 2>/dev/null || true
exit $status
