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
