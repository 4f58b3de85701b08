# Long fuzz runs of the native fuzz targets, one after the other, each for
# FUZZ_RUNS executions (when set) or FUZZ_SECONDS seconds (default 60).
#   FUZZ_TARGETS  names to run (default: every build-native/bin/fuzz_*)
#   FUZZ_MAX_LEN  largest input (default 70000)
# Prints executions, time, rate and coverage per target. New inputs land in
# build-native/fuzz-work/<target>; crashes in build-native/fuzz-crashes.
set -euo pipefail
cd "$TARN_ROOT"
[ -f build-native/CMakeCache.txt ] || cmake --preset native >/dev/null
cmake --build --preset native >/dev/null
seconds=${FUZZ_SECONDS:-60}
max_len=${FUZZ_MAX_LEN:-70000}
if [ -n "${FUZZ_RUNS:-}" ]; then budget=(-runs="$FUZZ_RUNS"); else budget=(-max_total_time="$seconds"); fi
targets=${FUZZ_TARGETS:-$(ls build-native/bin | sed -n 's/^fuzz_//p')}
mkdir -p build-native/fuzz-crashes
for name in $targets; do
  exe=build-native/bin/fuzz_$name
  mkdir -p "build-native/fuzz-work/$name"
  t0=$(date +%s.%N)
  # Absolute paths: some targets work inside a scratch folder of their own.
  out=$("$exe" "${budget[@]}" -max_len="$max_len" -print_final_stats=1 \
        -artifact_prefix="$PWD/build-native/fuzz-crashes/$name-" \
        "$PWD/build-native/fuzz-work/$name" "$PWD/native/fuzz/corpus/$name" 2>&1) || { echo "$out" | tail -30; exit 1; }
  t1=$(date +%s.%N)
  execs=$(echo "$out" | sed -n 's/^stat::number_of_executed_units: *//p')
  cov=$(echo "$out" | grep -o 'cov: [0-9]*' | tail -1)
  ft=$(echo "$out" | grep -o 'ft: [0-9]*' | tail -1)
  python3 -c "import sys; n,t=int(sys.argv[1]),float(sys.argv[2]); print('  %s: %d executions in %.0f s (%.0f/s), %s, %s, max_len %s' % (sys.argv[3], n, t, n/t, sys.argv[4], sys.argv[5], sys.argv[6]))" \
    "$execs" "$(python3 -c "print($t1 - $t0)")" "$name" "$cov" "$ft" "$max_len"
done
