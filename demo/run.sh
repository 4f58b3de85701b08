#!/usr/bin/env bash
# The demo: a message's road through the system, with the project's own
# sample data. Builds what is missing, lays out a fresh UUCP inbound folder in
# the Wine prefix of the build tree and drives every step through the
# reference host tarnwick.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
bash scripts/setup.sh
bash scripts/build.sh >/dev/null

export TARN_BUILD_DIR="$root/build"
host() { "$root/scripts/wine-run.sh" "$root/build/bin/tarnwick.exe" "$@"; }
# The prefix exists once the first program has run.
host help >/dev/null || true

drive="$root/build/wine/drive_c"
demo="$drive/tarndemo"
rm -rf "$demo"
mkdir -p "$demo"
win='C:\tarndemo'

step() { printf '\n=== %s\n' "$*"; }

step "1. The UUCP program has left these jobs in the inbound folder"
host mkdir "$win\\in" >/dev/null
host mkdir "$win\\work" >/dev/null
cp "$root"/demo/data/uucp-in/* "$demo/in/"
for job in "$demo"/in/*.X; do
  printf '%-10s %s\n' "$(basename "$job")" "$(grep '^C' "$job")"
done

step "2. Import the mail jobs (IMPMAIL until it returns -1)"
host import-mail "$win\\in" "$win\\work" gate office 5

step "3. What is left in the inbound folder (the news job stays for news import)"
ls "$demo/in"

step "4. The import log (mailin.log)"
cat "$demo/work/mailin.log" | tr -d '\r'

step "5. The newsgroup table area.dat (name, area number) the host keeps in the work folder"
cp "$root/demo/data/work/area.dat" "$demo/work/area.dat"
paste -d' ' - - < "$demo/work/area.dat"

step "6. Import the plain news batch (IMPNEWS, compressBits 0, once per batch)"
host import-news "$win\\in" "$win\\work" gate office 0 5

step "7. A compressed batch (#! cunbatch) arrives; import it through wincomp.exe (compressBits 16)"
cp "$root"/demo/data/uucp-news/* "$demo/in/"
host import-news "$win\\in" "$win\\work" gate office 16 5
printf '\narea files:\n'
for f in "$demo"/work/area*.txt; do printf '  %-12s %6d bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"; done

step "8. The news log (news.log)"
tr -d '\r' < "$demo/work/news.log"

step "9. Export the office's outgoing news batch (EXPNEWS, compressed with wincomp.exe at 16 bits)"
host mkdir "$win\\out" >/dev/null
cp "$root/demo/data/uucp-out/rnews" "$demo/out/rnews"
host export-news "$win\\out" "$win\\work" gate 2 16 5
for f in "$demo"/out/*.CMD "$demo"/out/*.XQT; do
  printf -- '--- %s\n' "$(basename "$f")"; tr -d '\r' < "$f"
done
dat=$(ls "$demo"/out/*.DAT)
printf -- '--- %s: first line %s, then %d bytes of compressed batch\n' "$(basename "$dat")" \
  "$(head -n 1 "$dat")" "$(( $(stat -c %s "$dat") - 12 ))"
printf -- '--- the same batch expanded by the peer'"'"'s compress -d:\n'
tail -c +13 "$dat" | compress -d -c | sed -n 1,4p
