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

step "5. Take the invoice attachment out of Mary's message (MIMEDECODE)"
# The record of the message in mail.hdr gives its offsets in mailarea.txt
# (the first message's recorded start is 1; its first byte is at 0).
read -r start end < <(tr -d '\r' < "$demo/work/mail.hdr" |
  awk 'NR % 8 == 5 && /Invoice 2026-117/ { n = NR } n && NR == n + 2 { s = $0 } n && NR == n + 3 { print s, $0; exit }')
[ "$start" = 1 ] && start=0
dd if="$demo/work/mailarea.txt" of="$demo/work/invoice.eml" bs=1 skip="$start" count=$((end - start)) 2>/dev/null
host mime-decode "$win\\work\\invoice.eml" "$win\\work\\invoice.txt"
cat "$demo/work/invoice.txt"

step "6. Ann's reply with the delivery note attached (MIMEENCODE)"
mkdir -p "$demo/out"
printf 'Delivery note 2026-117\nDesks   2\nChairs  4\nDelivered 14 Dec 2026\n' > "$demo/out/note.txt"
host mime-attach "$win\\out\\note.txt" "$win\\out\\note.part" note.txt
{
  printf 'From: ann@office.example\nTo: mary@gate.example\nSubject: Re: Invoice 2026-117\n'
  printf 'MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary="=-=-=reply-117"\n\n'
  printf -- '--=-=-=reply-117\nContent-Type: text/plain; charset=us-ascii\n\n'
  printf 'Thank you, the delivery note is attached.\n\n--=-=-=reply-117\n'
  cat "$demo/out/note.part"
  printf '\n--=-=-=reply-117--\n'
} > "$demo/out/reply.eml"
cat "$demo/out/reply.eml"
