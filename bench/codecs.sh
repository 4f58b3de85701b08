#!/usr/bin/env bash
# The content codecs of tarn32 on 20 MB inputs, through tarnwick.exe under
# Wine: MIMEDECODE, MIMEENCODE, WRITEQUOTED, DECODE_ISO, UU encode and
# decode. Each prints MB/s of input and its time as a ratio to a plain copy
# of the same bytes (cp) measured in this run, then the peer tool doing the
# same work (coreutils base64, sharutils uuencode/uudecode, python3 quopri)
# as a ratio to the codec. A Wine start of tarnwick.exe (help) is measured
# too and taken off each codec's time, so the figures are the codec's own.
set -euo pipefail
source "$(dirname "$0")/common.sh"
d=$(bench_dir codecs)
w='C:\tarnbench\codecs'
mb=${BENCH_MB:-20}  # BENCH_MB: input size; larger makes the Wine start matter less
size=$((mb * 1024 * 1024))

# Inputs: each about 20 MB.
head -c "$size" /dev/urandom > "$d/data.bin"
{ printf 'From: a@example\nMIME-Version: 1.0\nContent-Type: application/zip; name="big.zip"\n'
  printf 'Content-Transfer-Encoding: base64\n\n'
  head -c $((size / 4 * 3 / 77 * 76)) "$d/data.bin" | base64 -w 76; } > "$d/msg.eml"
(set +o pipefail; tr -d '\000' < /dev/urandom | head -c "$size" > "$d/text.bin")
python3 - "$d/iso.txt" "$size" <<'PY'
import quopri, random, sys
rng = random.Random(1)
words = ["caf\xe9", "na\xefve", "Stra\xdfe", "\xe0 la", "gar\xe7on", "office", "mail", "the", "and"]
text = " ".join(rng.choice(words) for _ in range(int(sys.argv[2]) // 5)).encode("latin-1")
text = b"\n".join(text[i:i + 70] for i in range(0, len(text), 70))
open(sys.argv[1], "wb").write(quopri.encodestring(text)[: int(sys.argv[2])])
PY

# seconds CMD...: elapsed time of a command, the best of three runs (a busy
# machine only ever adds time)
seconds() {
  local t0 t1 best=""
  for _ in 1 2 3; do
    t0=$(now); "$@" >/dev/null 2>&1; t1=$(now)
    best=$(python3 -c "import sys; t=$t1 - $t0; b=sys.argv[1]; print('%.3f' % (t if not b else min(t, float(b))))" "$best")
  done
  echo "$best"
}
minus() { python3 -c "print('%.3f' % max($1 - $2, 0.001))"; }
mbps() { python3 -c "print('%.1f' % ($2 / 1048576 / $1))" ; }
bytes() { stat -c %s "$1"; }

host help >/dev/null 2>&1 || true
start=$(seconds host help)
start=$(python3 -c "print(min($start, $(seconds host help)))")
echo "Wine start of tarnwick.exe: ${start} s (taken off each codec time)"

report() {  # name input-file codec-seconds [peer-name peer-seconds]
  local n=$1 in=$2 t=$3 size copy
  size=$(bytes "$in")
  copy=$(seconds cp "$in" "$d/copy.tmp")
  printf '%-12s %6.1f MB in %7.3f s  %7s MB/s  copy %6.3f s  codec/copy %s' \
    "$n" "$(python3 -c "print($size/1048576)")" "$t" "$(mbps "$t" "$size")" "$copy" "$(ratio "$t" "$copy")"
  if [ $# -ge 5 ]; then printf '  %s/codec %s' "$4" "$(ratio "$5" "$t")"; fi
  printf '\n'
}

t=$(minus "$(seconds host mime-decode "$w\\msg.eml" "$w\\dec.bin")" "$start")
p=$(seconds sh -c "sed '1,/^\$/d' '$d/msg.eml' | base64 -d -i > '$d/peer.bin'")
report MIMEDECODE "$d/msg.eml" "$t" "base64 -d" "$p"

t=$(minus "$(seconds host mime-attach "$w\\data.bin" "$w\\part.txt" data.bin)" "$start")
p=$(seconds sh -c "base64 -w 60 '$d/data.bin' > '$d/peer.txt'")
report MIMEENCODE "$d/data.bin" "$t" "base64" "$p"

# WRITEQUOTED rewrites its file in place: each run gets a fresh copy,
# made outside the timing.
best=""
for _ in 1 2 3; do
  cp "$d/text.bin" "$d/q.txt"
  t0=$(now); host qp-encode "$w\\q.txt" >/dev/null 2>&1; t1=$(now)
  best=$(python3 -c "import sys; t=$t1 - $t0; b=sys.argv[1]; print('%.3f' % (t if not b else min(t, float(b))))" "$best")
done
t=$(minus "$best" "$start")
p=$(seconds python3 -m quopri "$d/text.bin")
report WRITEQUOTED "$d/text.bin" "$t" "quopri" "$p"

t=$(minus "$(seconds host iso-to-850 "$w\\iso.txt" "$w\\850.txt")" "$start")
p=$(seconds python3 -m quopri -d "$d/iso.txt")
report DECODE_ISO "$d/iso.txt" "$t" "quopri -d" "$p"

t=$(minus "$(seconds host uucode "$w\\data.bin" - - "$w" 0)" "$start")
p=$(seconds sh -c "uuencode '$d/data.bin' data.bin > '$d/peer.uue'")
report "UU encode" "$d/data.bin" "$t" "uuencode" "$p"

# Decoding: the text of a smaller file, so that the encoded input is 20 MB.
head -c $((size / 62 * 45)) "$d/data.bin" > "$d/small.bin"
host uucode "$w\\small.bin" - - "$w" 0 >/dev/null
uuencode "$d/small.bin" small.bin > "$d/peer.uue"
t=$(minus "$(seconds host uucode "$w\\small.enc" "$w\\back.bin")" "$start")
p=$(seconds uudecode -o "$d/peer.back" "$d/peer.uue")
report "UU decode" "$d/small.enc" "$t" "uudecode" "$p"
cmp -s "$d/back.bin" "$d/small.bin" && echo "UU round trip: identical" || echo "UU round trip: DIFFERENT"
rm -rf "$d"
