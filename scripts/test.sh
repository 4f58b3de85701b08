#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on
# any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
status=0
ctest --preset mingw || status=$?
WINEPREFIX="$PWD/build/wine" wineserver -k 2>/dev/null || true
exit $status
