#!/usr/bin/env bash
# SMTP sending, one session per message, through tarnwick.exe send-mail
# (postgate.dll under Wine) to Postfix's smtp-sink on loopback, at log level
# 1 and 9:
#   SMTP_SMALL messages of 10 kB (default 1000), in messages per second;
#   SMTP_LARGE messages of 1 MB (default 50), in MB per second.
# Baselines in the same run, with the same sink and the same dialogue
# (bench/baselines.py): python3 smtplib, and a plain socket client. Printed
# for each: seconds, rate, and our rate as a ratio of each baseline's.
# Beside them, the plain client as a Windows program under Wine
# (bench/wineclient.cpp): as it is ("Wine client"); in the shape the library
# keeps, content in 1024-byte sends and each session on a new thread ("Wine,
# 1024 + thread"); and that with the host contract's progress messages
# posted to a window the main thread reads ("Wine, the whole shape"). Our
# ratio to the last is what the library itself costs beyond the price Wine
# puts on that shape.
#
# send-mail runs in one process per up to 1000 messages; the seconds of
# starting tarnwick.exe under Wine (an empty run of it, measured just before)
# are taken off each run and shown apart, so the rate is that of the
# sessions, as for the native clients.
set -euo pipefail
. "$(dirname "$0")/common.sh"
port=22510
small=${SMTP_SMALL:-1000}
large=${SMTP_LARGE:-50}
work="$(bench_dir smtp)"
win='C:\tarnbench\smtp'

smtp-sink -u postfix 127.0.0.1:$port 256 &
sink=$!
trap 'kill $sink 2>/dev/null || true' EXIT
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done

# Message files: CR LF lines, no line beginning with a full stop.
python3 - "$work" "$small" "$large" <<'PY'
import sys, os
d, small, large = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
def text(n):
    line = b"abcdefghijklmnopqrstuvwxyz0123456789 the quick brown fox jumps over\r\n"
    head = b"From: <a@bench.test>\r\nTo: <b@sink.test>\r\nSubject: bench\r\n\r\n"
    body = (line * (n // len(line) + 1))[: n - len(head)]
    return head + body
for kind, size, count in (("s", 10 * 1024, small), ("l", 1024 * 1024, large)):
    os.makedirs(os.path.join(d, kind), exist_ok=True)
    data = text(size)
    for i in range(count):
        with open(os.path.join(d, kind, str(i)), "wb") as f:
            f.write(data)
with open(os.path.join(d, "env.txt"), "wb") as f:
    f.write(b"<a@bench.test>\r\n<b@sink.test>\r\n")
PY

host help >/dev/null  # wineserver up before the clock runs

run_tarn() {  # kind count level -> seconds of the sessions
  local kind=$1 count=$2 level=$3 first=0 t0 t1 s0 s1 sessions=0 startup=0
  rm -f "$work/smtp.log"
  while [ "$first" -lt "$count" ]; do
    local last=$((first + 1000 < count ? first + 1000 : count)) files=()
    for ((i = first; i < last; i++)); do files+=("$win\\$kind\\$i"); done
    s0=$(now); host help >/dev/null; s1=$(now)
    t0=$(now)
    host send-mail 127.0.0.1 $port bench.test "$win" "$win\\smtp.log" "$level" "$win\\env.txt" \
      "${files[@]}" >"$work/out.txt"
    t1=$(now)
    grep -q ' 0 not delivered' "$work/out.txt" || { echo "tarnwick: not all delivered" >&2; exit 1; }
    sessions=$(python3 -c "print($sessions + ($t1 - $t0) - ($s1 - $s0))")
    startup=$(python3 -c "print($startup + $s1 - $s0)")
    first=$last
  done
  echo "$sessions $startup"
}

baseline() {  # client kind count -> seconds
  local files=()
  for ((i = 0; i < $3; i++)); do files+=("$work/$2/$i"); done
  python3 "$TARN_ROOT/bench/baselines.py" "$1" $port bench.test "$work/env.txt" "${files[@]}"
}

wine_baseline() {  # kind count chunk thread -> seconds
  local first=0 total=0 kind=$1 count=$2
  while [ "$first" -lt "$count" ]; do
    local last=$((first + 1000 < count ? first + 1000 : count)) files=()
    for ((i = first; i < last; i++)); do files+=("$win\\$kind\\$i"); done
    total=$(python3 -c "print($total + $(wineclient smtp $port bench.test "$win\\env.txt" "$3" "$4" "${files[@]}"))")
    first=$last
  done
  echo "$total"
}

row() {  # label count size kind
  local label=$1 count=$2 size=$3 kind=$4 lib sock wine threaded shaped
  lib=$(baseline smtplib "$kind" "$count")
  sock=$(baseline smtpsock "$kind" "$count")
  wine=$(wine_baseline "$kind" "$count" 0 0)
  threaded=$(wine_baseline "$kind" "$count" 1024 1)
  shaped=$(wine_baseline "$kind" "$count" 1024 2)
  report "$label" "$count" "$size" "smtplib" "$lib" 0 "$lib" "$sock" "$shaped"
  report "$label" "$count" "$size" "socket client" "$sock" 0 "$lib" "$sock" "$shaped"
  report "$label" "$count" "$size" "Wine client" "$wine" 0 "$lib" "$sock" "$shaped"
  report "$label" "$count" "$size" "Wine, 1024 + thread" "$threaded" 0 "$lib" "$sock" "$shaped"
  report "$label" "$count" "$size" "Wine, the whole shape" "$shaped" 0 "$lib" "$sock" "$shaped"
  for level in 1 9; do
    set -- $(run_tarn "$kind" "$count" "$level")
    report "$label" "$count" "$size" "postgate lvl $level" "$1" "$2" "$lib" "$sock" "$shaped"
  done
}

report() {  # label count size who seconds startup lib-seconds sock-seconds shaped-seconds
  python3 - "$@" <<'PY'
import sys
label, count, size, who = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
t, startup, lib, sock, shaped = map(float, sys.argv[5:10])
mb = count * size / 1e6
line = "%-22s %-21s %7.2f s %8.1f msg/s %7.2f MB/s" % (label, who, t, count / t, mb / t)
if who.startswith("postgate") or who.startswith("Wine"):
    line += "   ratio to smtplib %.3f, to socket client %.3f" % (lib / t, sock / t)
if who.startswith("postgate"):
    line += ", to Wine's whole shape %.3f   (+%.2f s Wine start-up)" % (shaped / t, startup)
print(line, flush=True)
PY
}

echo "SMTP to smtp-sink, one session per message; ratio = our rate / the baseline's rate"
row "SMTP $small x 10 kB" "$small" 10240 s
row "SMTP $large x 1 MB" "$large" 1048576 l
