#!/usr/bin/env bash
# Runs the benchmarks: every bench/*.sh but this one, or those named.
#   bash bench/run.sh              all of them
#   bash bench/run.sh mailimport   bench/mailimport.sh only
# Each benchmark prints its figures and, measured in the same run, the ratio
# against a baseline (a plain copy of the same bytes, or a peer tool).
# TARN_ARCH=i686 or x86_64 picks the build measured; by default the 32-bit
# one where this machine runs it, else the 64-bit one. The network
# benchmarks (smtp, pop3) run on every build this machine runs unless
# TARN_ARCH names one.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/arch.sh
bash scripts/setup.sh
arch="$(tarn_pick_arch)" || exit 1
if [ -n "${TARN_ARCH:-}" ]; then
  network_arches="$TARN_ARCH"
else
  network_arches="$(tarn_runnable_arches | tr '\n' ' ')"
fi
export TARN_ROOT="$PWD"
if [ $# -gt 0 ]; then
  names=("$@")
else
  names=()
  for f in bench/*.sh; do
    n=$(basename "$f" .sh)
    [ "$n" = run ] || [ "$n" = common ] || names+=("$n")
  done
fi
built=" "
for n in "${names[@]}"; do
  case "$n" in
    smtp | pop3) arches="$network_arches" ;;
    *) arches="$arch" ;;
  esac
  for a in $arches; do
    if [ "${built/ $a /}" = "$built" ]; then
      bash scripts/build.sh "$a" >/dev/null
      built="$built$a "
    fi
    export TARN_ARCH="$a"
    TARN_BUILD_DIR="$(tarn_build_dir "$a")"
    export TARN_BUILD_DIR
    echo "=== $n (the $a build, $TARN_BUILD_DIR/bin)"
    bash "bench/$n.sh"
  done
done
