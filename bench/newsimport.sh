# News import and wincomp.exe.
#   1. a plain batch of 10,000 articles of 2 KB for 20 areas, and the same
#      batch compressed (#! cunbatch, 16 bits), each through one tarnwick
#      import-news run (one IMPNEWS batch), against a plain copy of the same
#      bytes (cp) in the same run;
#   2. wincomp.exe compressing and expanding the same 20 MB file as
#      ncompress's compress, in the same run.
# Times of the Windows programs include starting them under Wine.
source "$TARN_ROOT/bench/common.sh"

d=$(bench_dir newsimport)
mkdir -p "$d/in" "$d/work"
python3 - "$d" <<'PY'
import os, random, sys
d = sys.argv[1]
random.seed(7)
words = ("news article batch the of and to in comp lang file line header area "
         "office gate message offset import export byte table group").split()
groups = ["comp.group%02d" % i for i in range(20)]
with open(os.path.join(d, "work", "area.dat"), "w") as f:
    for i, g in enumerate(groups):
        f.write("%s\n%d\n" % (g, i + 1))
out = bytearray()
for i in range(10000):
    g = groups[i % 20]
    head = ("Path: gate!news\nFrom: poster%d@gate.example\nNewsgroups: %s\n"
            "Subject: article %d\nMessage-ID: <%d@gate.example>\n"
            "Date: Tue, 8 Dec 2026 09:00:00 +0000\nLines: 30\n\n") % (i % 97, g, i, i)
    body = []
    size = len(head)
    while size < 2048:
        line = " ".join(random.choice(words) for _ in range(10)) + "\n"
        body.append(line)
        size += len(line)
    art = (head + "".join(body))[:2048].encode()
    out += b"#! rnews %d\n" % len(art) + art
open(os.path.join(d, "batch"), "wb").write(out)
PY
bytes=$(wc -c < "$d/batch")
compress -f -b 16 -c < "$d/batch" > "$d/batch.Z"
job='U news gate\nF D.gateN0001\nI D.gateN0001\nC rnews\n'
host help >/dev/null  # the Wine server is up before the clocks start

import_case() {  # label bits datafile
  local label=$1 bits=$2 data=$3
  rm -f "$d"/work/area*.txt "$d"/in/* "$d/work/news.log"
  printf "$job" > "$d/in/N0001.X"
  cp "$data" "$d/in/0N0001.D"
  sync
  local t0 t1 t2
  t0=$(now)
  cp "$d/batch" "$d/copy"; sync "$d/copy"
  t1=$(now)
  host import-news 'C:\tarnbench\newsimport\in' 'C:\tarnbench\newsimport\work' gate office "$bits" 3 >/dev/null
  sync
  t2=$(now)
  local stored; stored=$(( $(wc -l < "$d/in/Header.Msg") / 9 ))
  local areas; areas=$(cat "$d"/work/area*.txt | wc -c)
  python3 - "$label" "$stored" "$bytes" "$areas" "$t0" "$t1" "$t2" "$d/work/news.log" <<'PY'
import sys, datetime
label, stored, nbytes, areas = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
t0, t1, t2 = map(float, sys.argv[5:8])
# The call itself, from the first to the last line of news.log (level 3).
stamps = []
for line in open(sys.argv[8], encoding="latin-1"):
    # The last field counts milliseconds with at least two digits: "05" is 5 ms.
    try:
        when, ms = line.split("\t")[0].rsplit(".", 1)
        stamps.append(datetime.datetime.strptime(when, "%Y-%m-%d %H:%M:%S") +
                      datetime.timedelta(milliseconds=int(ms)))
    except ValueError:
        pass
call = (stamps[-1] - stamps[0]).total_seconds()
copy, run = t1 - t0, t2 - t1
mb = nbytes / 1e6
print(f"  {label}: {stored}/10000 articles stored, {areas} bytes in 20 area files, batch {nbytes} bytes")
print(f"    IMPNEWS call      {call:8.3f} s  {stored/call:9.1f} articles/s  {mb/call:8.2f} MB/s")
print(f"    tarnwick run      {run:8.3f} s  {stored/run:9.1f} articles/s  {mb/run:8.2f} MB/s  (Wine start, listing)")
print(f"    plain cp          {copy:8.3f} s  {mb/copy:8.2f} MB/s")
print(f"    ratio IMPNEWS call / plain copy: {call/copy:.2f}; tarnwick run / plain copy: {run/copy:.2f}")
PY
  rm -f "$d/copy"
}

import_case "plain batch" 0 "$d/batch"
printf '#! cunbatch\n' > "$d/cbatch"; cat "$d/batch.Z" >> "$d/cbatch"
import_case "compressed batch ($(wc -c < "$d/cbatch") bytes, 16 bits)" 16 "$d/cbatch"

# 2. compress and expand the 20 MB batch file, each program on its own copy.
wc_run() { "$TARN_ROOT/scripts/wine-run.sh" "$TARN_BUILD_DIR/bin/wincomp.exe" "$@"; }
cp "$d/batch" "$d/w"; cp "$d/batch" "$d/n"; rm -f "$d/w.z" "$d/n.Z"
t0=$(now); wc_run -fk -b 16 'C:\tarnbench\newsimport\w'; t1=$(now)
compress -f -b 16 -c < "$d/n" > "$d/n.Z"; t2=$(now)
cmp -s "$d/w.z" "$d/n.Z" && same="identical" || same="different"
rm -f "$d/w" "$d/n"
t3=$(now); wc_run -d -b 16 'C:\tarnbench\newsimport\w'; t4=$(now)
compress -d -c < "$d/n.Z" > "$d/n"; t5=$(now)
cmp -s "$d/w" "$d/batch" || echo "  WARNING: wincomp.exe expanded something else"
cmp -s "$d/n" "$d/batch" || echo "  WARNING: compress expanded something else"
python3 - "$bytes" "$(wc -c < "$d/w.z")" "$(wc -c < "$d/n.Z")" "$same" "$t0" "$t1" "$t2" "$t3" "$t4" "$t5" <<'PY'
import sys
n, wz, nz, same = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
t0, t1, t2, t3, t4, t5 = map(float, sys.argv[5:11])
mb = n / 1e6
wc, nc, wd, nd = t1 - t0, t2 - t1, t4 - t3, t5 - t4
print(f"  {mb:.1f} MB file, 16 bits: wincomp.exe {wz} bytes, compress {nz} bytes ({same} output)")
print(f"    compress: wincomp.exe {wc:7.3f} s {mb/wc:7.2f} MB/s   ncompress {nc:7.3f} s {mb/nc:7.2f} MB/s   ratio {wc/nc:.2f}")
print(f"    expand:   wincomp.exe {wd:7.3f} s {mb/wd:7.2f} MB/s   ncompress {nd:7.3f} s {mb/nd:7.2f} MB/s   ratio {wd/nd:.2f}")
PY
rm -rf "$d"
