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

# SMTP sending and ETRN against a private Postfix on loopback, stopped when
# the demo ends. The reply is the demo's own text file (demo/data/reply.txt).
pf_dir="$root/build/postfix-demo"
pf_port=22520
trap 'bash "$root/scripts/postfix.sh" stop "$pf_dir" >/dev/null 2>&1 || true' EXIT
bash scripts/postfix.sh start "$pf_dir" "$pf_port"
host mkdir "$win\\out" >/dev/null
cp "$root/demo/data/reply.txt" "$demo/reply.txt"

step "5. Send the reply by SMTP to the relay (send-to builds the envelope and message files)"
host send-to 127.0.0.1 "$pf_port" office.tarn.test "$win\\out" "$win\\out\\smtp.log" 9 \
  office@office.tarn.test alice@tarn.test,blocked@tarn.test "$win\\reply.txt" | tr -d '\r' || true

step "6. The session log (smtp.log)"
cut -f2- "$demo/out/smtp.log" | tr -d '\r'

step "7. What the relay delivered to alice (Postfix's own headers first)"
for _ in $(seq 50); do
  ls "$pf_dir"/mail/alice/new/* >/dev/null 2>&1 && break
  sleep 0.1
done
cat "$pf_dir"/mail/alice/new/*

step "8. Ask the relay to deliver what it holds for flush.test (ETRN, port from smtp_out)"
host etrn 127.0.0.1 flush.test "$pf_port" | tr -d '\r'
sleep 0.5
grep -E ': (ETRN|250 Queuing|459)|etrn=' "$pf_dir/maillog" | sed 's/^.*postfix\//postfix\//'
