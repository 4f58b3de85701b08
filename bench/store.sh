#!/usr/bin/env bash
# Store access: a 10 MB stored message read through READMESSAGE chunks in a
# host loop, and 10,000 messages of 4 KB appended with WRITEMESSAGE. Each is
# compared with plain C runtime reads or writes of the same bytes, made by
# the same host program in the same run (tarnwick plain-io): the chunked read
# against reads of 32000-byte pieces with one open each, the appends against
# one open, write and close per message. Times are those the host measures
# around its calls, so Wine's start-up is left out.
set -euo pipefail
source "$(dirname "$0")/common.sh"
d=$(bench_dir store)
win='C:\tarnbench\store'

ms() { tr -d '\r' | sed -n 's/.*[ ,]\([0-9.]*\) ms$/\1/p' | tail -n 1; }

# A 10 MB message of 79-character lines.
python3 - "$d/mailarea.txt" "$d/msg4k.txt" <<'PY'
import sys
line = ("the quick brown fox jumps over the lazy dog " * 2)[:79] + "\n"
big = (line * (10 * 1024 * 1024 // len(line) + 1))[: 10 * 1024 * 1024]
open(sys.argv[1], "wb").write(big.encode())
small = ("From: bench@office.example\nSubject: 4 KB\n\n" + line * 60)[:4095] + "\n"
open(sys.argv[2], "wb").write(small.encode())
PY
size=$(stat -c %s "$d/mailarea.txt")

out=$(host read-message "$win" 0 0 "$size" --out "$win\\copy.txt" | tr -d '\r')
lib_read=$(printf '%s\n' "$out" | ms)
calls=$(printf '%s\n' "$out" | sed -n 's/^-- \([0-9]*\) calls.*/\1/p')
plain_read=$(host plain-io read "$win\\mailarea.txt" "$win\\plain.txt" | ms)
if ! tr -d '\r' < "$d/copy.txt" | cmp -s - "$d/mailarea.txt"; then
  echo "store: the chunked read did not give the stored bytes back" >&2
  exit 1
fi
echo "read 10 MB in $calls READMESSAGE calls: ${lib_read} ms; plain reads: ${plain_read} ms; ratio $(ratio "$lib_read" "$plain_read")"

lib_write=$(host append-message "$win" 7 "$win\\msg4k.txt" --repeat 10000 | ms)
plain_write=$(host plain-io append "$win\\plain7.txt" "$win\\msg4k.txt" 10000 | ms)
if ! cmp -s "$d/area7.txt" "$d/plain7.txt"; then
  echo "store: WRITEMESSAGE stored other bytes than the plain writes" >&2
  exit 1
fi
echo "append 10,000 x 4 KB with WRITEMESSAGE: ${lib_write} ms; plain appends: ${plain_write} ms; ratio $(ratio "$lib_write" "$plain_write")"
rm -rf "$d"
