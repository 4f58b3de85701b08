#!/usr/bin/env bash
# Configures (once) and builds the Windows binaries into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/CMakeCache.txt ]; then
  cmake --preset mingw >/dev/null
fi
cmake --build --preset mingw
