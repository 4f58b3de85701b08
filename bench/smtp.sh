#!/usr/bin/env bash
# SMTP sending: 200 messages of 10 KB and 20 of 1 MB, one session each,
# through tarnwick.exe send-mail (postgate.dll) to Postfix's smtp-sink on
# loopback, at log level 1 and 9; messages per second and MB per second, and
# the ratio to msmtp sending the same messages to the same sink in the same
# run (one msmtp process per message, native).
set -euo pipefail
. "$(dirname "$0")/common.sh"
port=22510
work="$(bench_dir smtp)"
win='C:\tarnbench\smtp'

smtp-sink -u postfix 127.0.0.1:$port 256 &
sink=$!
trap 'kill $sink 2>/dev/null || true' EXIT
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done

# Message files: CR LF lines, no line beginning with a full stop.
python3 - "$work" <<'PY'
import sys, os
d = sys.argv[1]
def text(n):
    line = b"abcdefghijklmnopqrstuvwxyz0123456789 the quick brown fox jumps over\r\n"
    head = b"From: <a@bench.test>\r\nTo: <b@sink.test>\r\nSubject: bench\r\n\r\n"
    body = (line * (n // len(line) + 1))[: n - len(head)]
    return head + body
for kind, size, count in (("small", 10 * 1024, 200), ("large", 1024 * 1024, 20)):
    os.makedirs(os.path.join(d, kind), exist_ok=True)
    for i in range(count):
        with open(os.path.join(d, kind, "%03d.msg" % i), "wb") as f:
            f.write(text(size))
with open(os.path.join(d, "env.txt"), "wb") as f:
    f.write(b"<a@bench.test>\r\n<b@sink.test>\r\n")
PY

run_tarn() {  # kind level -> seconds
  local kind=$1 level=$2 files=()
  for f in "$work/$kind"/*.msg; do files+=("$win\\$kind\\$(basename "$f")"); done
  rm -f "$work/smtp.log"
  local t0 t1
  t0=$(now)
  host send-mail 127.0.0.1 $port bench.test "$win" "$win\\smtp.log" "$level" "$win\\env.txt" \
    "${files[@]}" >"$work/out-$kind-$level.txt"
  t1=$(now)
  grep -q ' 0 not delivered' "$work/out-$kind-$level.txt" || { echo "tarnwick: not all delivered" >&2; exit 1; }
  python3 -c "print('%.3f' % ($t1 - $t0))"
}

run_msmtp() {  # kind -> seconds
  local kind=$1 t0 t1
  t0=$(now)
  for f in "$work/$kind"/*.msg; do
    msmtp --host=127.0.0.1 --port=$port --auth=off --tls=off --domain=bench.test \
      --from=a@bench.test b@sink.test <"$f" || { echo "msmtp failed" >&2; exit 1; }
  done
  t1=$(now)
  python3 -c "print('%.3f' % ($t1 - $t0))"
}

for run in "small 200 10240" "large 20 1048576"; do
  set -- $run
  kind=$1 count=$2 size=$3
  mb=$(python3 -c "print($count * $size / 1048576)")
  m=$(run_msmtp "$kind")
  printf '%-5s %3d x %7d B  msmtp           %7.2f s  %7.1f msg/s  %6.2f MB/s\n' "$kind" "$count" "$size" \
    "$m" "$(python3 -c "print($count/$m)")" "$(python3 -c "print($mb/$m)")"
  for level in 1 9; do
    t=$(run_tarn "$kind" "$level")
    printf '%-5s %3d x %7d B  tarnwick lvl %d  %7.2f s  %7.1f msg/s  %6.2f MB/s  ratio to msmtp %s\n' \
      "$kind" "$count" "$size" "$level" "$t" "$(python3 -c "print($count/$t)")" \
      "$(python3 -c "print($mb/$t)")" "$(ratio "$m" "$t")"
  done
done
