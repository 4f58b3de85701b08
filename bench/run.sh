#!/usr/bin/env bash
# Runs the benchmarks: every bench/*.sh but this one, or those named.
#   bash bench/run.sh              all of them
#   bash bench/run.sh mailimport   bench/mailimport.sh only
# Each benchmark prints its figures and, measured in the same run, the ratio
# against a baseline (a plain copy of the same bytes, or a peer tool).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh >/dev/null
export TARN_ROOT="$PWD"
export TARN_BUILD_DIR="$PWD/build"
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
