# Dial-up through tarn32 against the rasapi32.dll double: a whole dial
# (TARNDIAL, seven progress notifications posted to the host's window, the
# connected state) in one tarnwick process, against the baseline of a
# process that makes one plain call (TarnGetDialParams). The difference is
# the cost of the dial and its notification round trips, of which the
# double itself spends 7 x 20 ms between its scripted states.
source "$(dirname "$0")/common.sh"
runs=${DIAL_RUNS:-10}
d=$(bench_dir dialup)
cp "$TARN_BUILD_DIR/bin/tarnwick.exe" "$TARN_BUILD_DIR/bin/tarn32.dll" "$d/"
cp "$TARN_BUILD_DIR/bin/rasdouble/rasapi32.dll" "$d/"
printf 'office\tanna\ts3cret\n' > "$d/phone.txt"
run() { TARN_RAS_PHONEBOOK='C:\tarnbench\dialup\phone.txt' WINEDLLOVERRIDES='rasapi32=n,b' \
  "$TARN_ROOT/scripts/wine-run.sh" 'C:\tarnbench\dialup\tarnwick.exe' "$@" >/dev/null; }
run dial-params office  # warm the prefix
t0=$(now); for _ in $(seq "$runs"); do run dial-params office; done; t1=$(now)
for _ in $(seq "$runs"); do run dial office; done; t2=$(now)
base=$(python3 -c "print('%.3f' % (($t1-$t0)/$runs))")
dial=$(python3 -c "print('%.3f' % (($t2-$t1)/$runs))")
echo "tarnwick dial-params office: ${base} s per process (baseline)"
echo "tarnwick dial office:        ${dial} s per process, connected"
echo "ratio dial / baseline:       $(ratio "$dial" "$base")  (the double waits 0.140 s of it)"
