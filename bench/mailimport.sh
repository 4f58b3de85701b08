# Mail import: 2000 messages of 4 KB and 100 of 1 MB through IMPMAIL (one
# tarnwick import-mail run each), against a plain copy of the same data files
# into one file (cat) in the same run.
source "$TARN_ROOT/bench/common.sh"

make_jobs() {  # folder count size
  python3 - "$1" "$2" "$3" <<'PY'
import sys, os
folder, count, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
line = ("The quick brown fox jumps over the lazy dog, again and again. " * 2)[:99] + "\n"
for i in range(count):
    name = "N%05d" % i
    head = ("From: sender%d@gate.example\nTo: ann@office.example\nDate: Tue, 8 Dec 2026 10:00:00 +0000\n"
            "Message-ID: <%d@gate.example>\nSubject: message %d\n\n") % (i, i, i)
    body = (line * (size // len(line) + 1))[: max(0, size - len(head))]
    with open(os.path.join(folder, "0%s.D" % name), "w") as f:
        f.write(head + body)
    with open(os.path.join(folder, "J%05d.X" % i), "w") as f:
        f.write("U uucp gate\nF D.gate%s\nC rmail ann@office.example\n" % name)
PY
}

run_case() {  # label count size
  local label=$1 count=$2 size=$3
  local d; d=$(bench_dir mailimport)
  mkdir -p "$d/in" "$d/work" "$d/copy"
  make_jobs "$d/in" "$count" "$size"
  local bytes; bytes=$(cat "$d"/in/*.D | wc -c)

  local t0 t1 t2
  host help >/dev/null  # the Wine server is up before the clock starts
  t0=$(now)
  cat "$d"/in/*.D > "$d/copy/all.txt"; sync "$d/copy/all.txt"
  t1=$(now)
  host import-mail 'C:\tarnbench\mailimport\in' 'C:\tarnbench\mailimport\work' gate office 1 >/dev/null
  sync "$d/work/mailarea.txt"
  t2=$(now)

  local imported; imported=$(grep -c '^To:' "$d/work/mail.hdr" || true)
  [ "$(wc -c < "$d/work/mailarea.txt")" = "$bytes" ] || echo "  WARNING: area size differs from the input"
  python3 - "$label" "$count" "$imported" "$bytes" "$t0" "$t1" "$t2" <<'PY'
import sys
label, count, imported, nbytes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
t0, t1, t2 = map(float, sys.argv[5:8])
copy, imp = t1 - t0, t2 - t1
mb = nbytes / 1e6
print(f"  {label}: {imported}/{count} imported, {nbytes} bytes")
print(f"    IMPMAIL   {imp:8.3f} s  {imported/imp:9.1f} msg/s  {mb/imp:8.2f} MB/s")
print(f"    plain cat {copy:8.3f} s  {count/copy:9.1f} msg/s  {mb/copy:8.2f} MB/s")
print(f"    ratio IMPMAIL time / plain copy time: {imp/copy:.2f}")
PY
  rm -rf "$d"
}

run_case "2000 x 4 KB" 2000 4096
run_case "200 x 4 KB" 200 4096
run_case "100 x 1 MB" 100 1048576
