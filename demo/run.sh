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

# The host run from a folder of its own, with the rasapi32.dll test double
# beside it: there is no Remote Access Service on this machine.
hostdir="$demo/host"
mkdir -p "$hostdir"
cp "$root/build/bin/tarnwick.exe" "$root/build/bin/tarn32.dll" "$root/build/bin/tarnsvc.exe" "$hostdir/"
cp "$root/build/bin/rasdouble/rasapi32.dll" "$hostdir/"
printf 'office\tanna\ts3cret\n' > "$hostdir/phone.txt"
hosted() { TARN_RAS_PHONEBOOK="$win\\host\\phone.txt" WINEDLLOVERRIDES="rasapi32=n,b" \
  "$root/scripts/wine-run.sh" "$win\\host\\tarnwick.exe" "$@"; }

step "5. Dial-up: the stored credentials of the entry, then a dial with its progress (TARNDIAL)"
hosted dial-params office
hosted dial office

step "6. Unattended: tarnwick AUTO does the work of tarnwick.auto, then quits by itself"
cat > "$hostdir/tarnwick.auto" <<AUTO
# dial, import what the UUCP program left, hang up
dial office
dial-status
import-mail $win\\in $win\\work gate office 5
hangup
quit
AUTO
sed 's/^/    /' "$hostdir/tarnwick.auto"
rm -f "$hostdir/tarnwick.log"
hosted AUTO
echo "--- tarnwick.log"
tr -d '\r' < "$hostdir/tarnwick.log"

step "7. As a service: tarnsvc starts tarnwick AUTO, runs while its window is up, and stops it"
svc() { "$root/scripts/wine-run.sh" "$@"; }
service="Tarnwick Mail Server"
state() { svc sc query "$service" 2>/dev/null | tr -d '\r' | sed -n 's/^ *STATE *: *[0-9]* *//p'; }
svc "$win\\host\\tarnsvc.exe" /Remove >/dev/null 2>&1 || true
printf '# nothing to do but keep the window up\n' > "$hostdir/tarnwick.auto"
rm -f "$hostdir/tarnwick.log"
# Wine ends its service processes once no ordinary program runs in the
# prefix; a waiting console keeps the session alive while the service stops.
keep="$demo/keepalive"
mkfifo "$keep"
svc cmd /c "set /p x=" < "$keep" >/dev/null 2>&1 &
exec 3>"$keep"
svc "$win\\host\\tarnsvc.exe" /Install
svc net start "$service" >/dev/null
for _ in $(seq 1 80); do [ "$(state)" = RUNNING ] && break; sleep 1; done
echo "state after start: $(state)"
svc net stop "$service" >/dev/null
for _ in $(seq 1 30); do [ "$(state)" = STOPPED ] && break; sleep 1; done
echo "state after stop:  $(state)"
svc sc query "$service" | tr -d '\r' | grep -E 'STATE|WIN32_EXIT_CODE'
echo "--- tarnwick.log"
tr -d '\r' < "$hostdir/tarnwick.log"
svc "$win\\host\\tarnsvc.exe" /Remove
exec 3>&-
wait
rm -f "$keep"
