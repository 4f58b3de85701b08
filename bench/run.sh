#!/usr/bin/env bash
# Runs the benchmarks: every bench/*.sh but this one, or those named.
#   bash bench/run.sh              all of them
#   bash bench/run.sh mailimport   bench/mailimport.sh only
# Each benchmark prints its figures and, measured in the same run, the ratio
# against a baseline (a plain copy of the same bytes, or a peer tool).
# TARN_ARCH=i686 or x86_64 picks the build measured; by default the 32-bit
# one where this machine runs it, else the 64-bit one.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/arch.sh
bash scripts/setup.sh
arch="$(tarn_pick_arch)" || exit 1
export TARN_ARCH="$arch"
bash scripts/build.sh "$arch" >/dev/null
export TARN_ROOT="$PWD"
TARN_BUILD_DIR="$(tarn_build_dir "$arch")"
export TARN_BUILD_DIR
echo "bench: the $arch build ($TARN_BUILD_DIR/bin)"
if [ $# -gt 0 ]; then
  names=("$@")
else
  names=()
  for f in bench/*.sh; do
    n=$(basename "$f" .sh)
    [ "$n" = run ] || [ "$n" = common ] || names+=("$n")
  done
fi
for n in "${names[@]}"; do
  echo "=== $n"
  bash "bench/$n.sh"
done
