# Long fuzz runs of every native fuzz target: FUZZ_SECONDS each (default 60).
# Prints executions and coverage per target. New inputs land in
# build-native/fuzz-work/<target>; crashes in build-native/fuzz-crashes.
set -euo pipefail
cd "$TARN_ROOT"
[ -f build-native/CMakeCache.txt ] || cmake --preset native >/dev/null
cmake --build --preset native >/dev/null
seconds=${FUZZ_SECONDS:-60}
mkdir -p build-native/fuzz-crashes
for exe in build-native/bin/fuzz_*; do
  name=${exe##*/fuzz_}
  mkdir -p "build-native/fuzz-work/$name"
  # Absolute paths: some targets work inside a scratch folder of their own.
  out=$("$exe" -max_total_time="$seconds" -max_len=70000 -print_final_stats=1 \
        -artifact_prefix="$PWD/build-native/fuzz-crashes/$name-" \
        "$PWD/build-native/fuzz-work/$name" "$PWD/native/fuzz/corpus/$name" 2>&1) || { echo "$out" | tail -30; exit 1; }
  execs=$(echo "$out" | sed -n 's/^stat::number_of_executed_units: *//p')
  cov=$(echo "$out" | grep -o 'cov: [0-9]*' | tail -1)
  echo "  $name: $execs executions in ${seconds}s, $cov"
done
