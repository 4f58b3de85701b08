#!/usr/bin/env bash
# POP3 retrieval speed: tarnwick.exe fetch-pop (tarnpop.dll under Wine) from a
# private Dovecot on 127.0.0.1:21102, at log level 1 and 9, for 1000 messages
# of 10 KB and 50 of 1 MB; baseline in the same run: a plain python3 poplib
# client that reads the same bytes from the same server and writes one file
# per message. Each run starts from a freshly seeded mailbox.
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

baseline() {
  python3 - "$port" "$1" <<'PY'
import os, poplib, sys
port, folder = int(sys.argv[1]), sys.argv[2]
p = poplib.POP3("127.0.0.1", port)
p.user("joe"); p.pass_("secret")
count = p.stat()[0]
for n in range(1, count + 1):
    resp, lines, octets = p.retr(n)
    with open(os.path.join(folder, "%d.msg" % n), "wb") as f:
        f.write(b"\r\n".join(lines) + b"\r\n")
    p.dele(n)
p.quit()
PY
}

host help >/dev/null  # wineserver up before the clock runs

run_case() {
  local label="$1" count="$2" size="$3"
  local out="$TARN_BUILD_DIR/wine/drive_c/tarnbench/pop"
  local base_dir
  base_dir="$(bench_dir pop-baseline)"
  seed "$count" "$size"
  local bytes
  bytes="$(mailbox_bytes)"
  local t0 t1 tb
  t0=$(now); baseline "$base_dir"; t1=$(now)
  tb=$(python3 -c "print($t1-$t0)")
  local got
  got=$(ls "$base_dir" | wc -l)
  [ "$got" = "$count" ] || { echo "baseline fetched $got of $count" >&2; exit 1; }
  for level in 1 9; do
    seed "$count" "$size"
    bench_dir pop >/dev/null
    t0=$(now)
    host fetch-pop 'C:\tarnbench\pop' localhost 127.0.0.1 joe secret 'C:\tarnbench\pop\pop3.log' "$level" >/dev/null
    t1=$(now)
    got=$(ls "$out"/received/*.msg | wc -l)
    [ "$got" = "$count" ] || { echo "fetch-pop fetched $got of $count" >&2; exit 1; }
    python3 - "$label" "$level" "$count" "$bytes" "$t0" "$t1" "$tb" <<'PY'
import sys
label, level, count, size = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
t = float(sys.argv[6]) - float(sys.argv[5]); tb = float(sys.argv[7])
print("%-14s level %s: %7.1f messages/s %7.2f MB/s (%.2f s)   poplib: %7.1f messages/s %7.2f MB/s (%.2f s)   ratio %.3f"
      % (label, level, count / t, size / t / 1e6, t, count / tb, size / tb / 1e6, tb, tb / t))
PY
  done
}

echo "ratio: poplib seconds / fetch-pop seconds (1.0 = as fast as the plain client; fetch-pop includes starting tarnwick.exe under Wine)"
run_case "1000 x 10 KB" 1000 10240
run_case "50 x 1 MB" 50 1048576
