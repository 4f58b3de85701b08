#!/usr/bin/env bash
# Installs what is missing, builds both Windows builds and the native one, and
# runs every test:
#   - the static checks of both builds' files (machine types, export names and
#     ordinals, imports), on any machine;
#   - the Wine layer (unit, export, scripted-server, real-server, interop,
#     service, soak) for each build this machine can execute, the 32-bit one
#     first; a build that cannot run here is named with the reason;
#   - the native sanitizer tests and fuzz smoke runs.
# Exits non-zero on any failure, and when no Wine layer could run at all.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/arch.sh
started=$(date +%s)
bash scripts/setup.sh
bash scripts/build.sh
if [ ! -f build-native/CMakeCache.txt ]; then
  cmake --preset native >/dev/null
fi
cmake --build --preset native

status=0
passed=0
failed=0
skipped=0
summary=()
log="$(mktemp "${TMPDIR:-/tmp}/tarn-test.XXXXXX")"
trap 'rm -f "$log"' EXIT

# run_ctest NAME ARGS...: one CTest run, its counts kept for the summary.
# CTest counts a skipped case among the passed ones; here it is told apart.
run_ctest() {
  local name="$1" rc=0 line total bad skip
  shift
  ctest "$@" 2>&1 | tee "$log" || rc=$?
  line="$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)"
  if [ -n "$line" ]; then
    bad="$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")"
    total="$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")"
    skip="$(grep -cE 'Test +#[0-9]+: .*\*\*\*Skipped' "$log" || true)"
    passed=$((passed + total - bad - skip))
    failed=$((failed + bad))
    skipped=$((skipped + skip))
    summary+=("$name: $((total - bad - skip)) passed, $bad failed, $skip skipped")
  else
    summary+=("$name: no test ran (exit $rc)")
    rc=1
  fi
  [ "$rc" -eq 0 ] || status=1
}

echo "=== Static checks of both builds (build32/, build64/)"
run_ctest "static checks of both builds" --preset native -L static

ran=0
for arch in i686 x86_64; do
  why="$(tarn_why_not_runnable "$arch")"
  if [ -n "$why" ]; then
    echo "=== Wine tests of the $arch build: not run, $why"
    summary+=("$arch Wine tests: not run, $why")
    continue
  fi
  echo "=== Wine tests of the $arch build ($(tarn_build_dir "$arch")/bin)"
  run_ctest "$arch Wine tests" --preset "$(tarn_preset "$arch")"
  WINEPREFIX="$(tarn_build_dir "$arch")/wine" wineserver -k 2>/dev/null || true
  ran=$((ran + 1))
done
if [ "$ran" -eq 0 ]; then
  summary+=("Wine tests: FAILED, neither build can run on this machine")
  status=1
fi

echo "=== Native sanitizer tests and fuzz smoke runs (build-native/)"
run_ctest "native tests" --preset native -LE static

echo
echo "=== Summary ($(( $(date +%s) - started )) s)"
for line in "${summary[@]}"; do
  echo "  $line"
done
echo "tests: $passed passed, $failed failed, $skipped skipped"
exit $status
