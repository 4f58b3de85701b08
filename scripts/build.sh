#!/usr/bin/env bash
# Configures (once) and builds the Windows binaries: the 32-bit build into
# build32/ and the 64-bit build into build64/, or only the architectures
# named (i686, x86_64).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/arch.sh
arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(i686 x86_64)
for arch in "${arches[@]}"; do
  preset="$(tarn_preset "$arch")"
  if [ ! -f "$(tarn_build_dir "$arch")/CMakeCache.txt" ]; then
    cmake --preset "$preset" >/dev/null
  fi
  cmake --build --preset "$preset"
done
