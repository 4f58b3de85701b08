#!/usr/bin/env bash
# POP3 retrieval speed: tarnwick.exe fetch-pop (tarnpop.dll under Wine) from a
# private Dovecot on 127.0.0.1:21102, RETR and DELE of every message, at log
# level 1 and 9, for POP3_SMALL messages of 10 kB (default 1000, messages per
# second) and POP3_LARGE of 1 MB (default 50, MB per second). Baselines in
# the same run, reading the same bytes from the same server and writing one
# file per message (bench/baselines.py): python3 poplib and a plain socket
# client; and that plain client as a Windows program under Wine
# (bench/wineclient.cpp), whose loss against the native one is what Wine
# costs the dialogue, once as it is and once in the whole shape of a host
# with the library (the session on a thread of its own, a progress message
# per message read by the main thread, which moves each file stored whole
# into received). Each run starts from a freshly seeded mailbox. As in bench/smtp.sh,
# the seconds of starting tarnwick.exe under Wine (an empty run, measured just
# before) are taken off and shown apart.
set -euo pipefail
source "$(dirname "$0")/common.sh"
dovecot_dir="$TARN_BUILD_DIR/dovecot-bench"
port=21102
trap 'bash "$TARN_ROOT/scripts/dovecot.sh" stop "$dovecot_dir"' EXIT
bash "$TARN_ROOT/scripts/dovecot.sh" start "$dovecot_dir" "$port" joe secret >/dev/null
maildir="$(bash "$TARN_ROOT/scripts/dovecot.sh" maildir "$dovecot_dir" joe)"
host pop-port "$port" >/dev/null

# seed COUNT SIZE: COUNT messages of about SIZE bytes, 76-character lines.
seed() {
  python3 - "$maildir" "$1" "$2" <<'PY'
import os, sys, time
maildir, count, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
stamp = time.time_ns()  # names never seen before: Dovecot remembers expunged ones
for sub in ("new", "cur"):
    for f in os.listdir(os.path.join(maildir, sub)):
        os.remove(os.path.join(maildir, sub, f))
for i in range(count):
    head = "From: bench@example.org\nTo: joe@example.org\nSubject: bench %d\n\n" % i
    line = ("%d-" % i + "abcdefghijklmnopqrstuvwxyz0123456789" * 3)[:76] + "\n"
    body = line * max(1, (size - len(head)) // len(line))
    with open(os.path.join(maildir, "new", "%d.M%dP1.bench" % (stamp + i, i)), "w") as f:
        f.write(head + body)
PY
}

# Prints the bytes of the mailbox as the server sends them (CR LF).
mailbox_bytes() {
  python3 - "$maildir" <<'PY'
import os, sys
total = 0
for sub in ("new", "cur"):
    d = os.path.join(sys.argv[1], sub)
    for f in os.listdir(d):
        data = open(os.path.join(d, f), "rb").read()
        total += len(data) + data.count(b"\n")
print(total)
PY
}

baseline() {  # client folder -> seconds
  python3 "$TARN_ROOT/bench/baselines.py" "$1" "$port" joe secret "$2"
}

host help >/dev/null  # wineserver up before the clock runs

run_case() {
  local label="$1" count="$2" size="$3"
  local out="$TARN_BUILD_DIR/wine/drive_c/tarnbench/pop"
  local bytes lib sock t0 t1 s0 s1 got base_dir
  seed "$count" "$size"
  bytes="$(mailbox_bytes)"
  base_dir="$(bench_dir pop-baseline)"
  lib=$(baseline poplib "$base_dir")
  got=$(ls "$base_dir" | wc -l)
  [ "$got" = "$count" ] || { echo "poplib fetched $got of $count" >&2; exit 1; }
  seed "$count" "$size"
  base_dir="$(bench_dir pop-baseline)"
  sock=$(baseline popsock "$base_dir")
  got=$(ls "$base_dir" | wc -l)
  [ "$got" = "$count" ] || { echo "socket client fetched $got of $count" >&2; exit 1; }
  seed "$count" "$size"
  base_dir="$(bench_dir pop-wine)"
  wine=$(wineclient pop "$port" joe secret 'C:\tarnbench\pop-wine')
  got=$(ls "$base_dir" | wc -l)
  [ "$got" = "$count" ] || { echo "Wine client fetched $got of $count" >&2; exit 1; }
  seed "$count" "$size"
  base_dir="$(bench_dir pop-wine)"
  shaped=$(wineclient pop "$port" joe secret 'C:\tarnbench\pop-wine' 1)
  got=$(ls "$base_dir/received" | wc -l)
  [ "$got" = "$count" ] || { echo "Wine client (whole shape) kept $got of $count" >&2; exit 1; }
  report "$label" "$count" "$bytes" poplib "$lib" 0 "$lib" "$sock" "$shaped"
  report "$label" "$count" "$bytes" "socket client" "$sock" 0 "$lib" "$sock" "$shaped"
  report "$label" "$count" "$bytes" "Wine client" "$wine" 0 "$lib" "$sock" "$shaped"
  report "$label" "$count" "$bytes" "Wine, the whole shape" "$shaped" 0 "$lib" "$sock" "$shaped"
  for level in 1 9; do
    seed "$count" "$size"
    bench_dir pop >/dev/null
    s0=$(now); host help >/dev/null; s1=$(now)
    t0=$(now)
    host fetch-pop 'C:\tarnbench\pop' localhost 127.0.0.1 joe secret 'C:\tarnbench\pop\pop3.log' "$level" >/dev/null
    t1=$(now)
    got=$(ls "$out"/received/*.msg | wc -l)
    [ "$got" = "$count" ] || { echo "fetch-pop fetched $got of $count" >&2; exit 1; }
    report "$label" "$count" "$bytes" "tarnpop lvl $level" \
      "$(python3 -c "print($t1 - $t0 - ($s1 - $s0))")" "$(python3 -c "print($s1 - $s0)")" "$lib" \
      "$sock" "$shaped"
  done
}

report() {  # label count bytes who seconds startup lib-seconds sock-seconds shape-seconds
  python3 - "$@" <<'PY'
import sys
label, count, size, who = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
t, startup, lib, sock, shaped = map(float, sys.argv[5:10])
line = "%-22s %-21s %7.2f s %8.1f msg/s %7.2f MB/s" % (label, who, t, count / t, size / t / 1e6)
if who.startswith("tarnpop") or who.startswith("Wine"):
    line += "   ratio to poplib %.3f, to socket client %.3f" % (lib / t, sock / t)
if who.startswith("tarnpop"):
    line += ", to Wine's whole shape %.3f   (+%.2f s Wine start-up)" % (shaped / t, startup)
print(line, flush=True)
PY
}

small=${POP3_SMALL:-1000}
large=${POP3_LARGE:-50}
echo "POP3 from Dovecot, RETR and DELE of each message; ratio = our rate / the baseline's rate"
run_case "POP3 $small x 10 kB" "$small" 10240
run_case "POP3 $large x 1 MB" "$large" 1048576
