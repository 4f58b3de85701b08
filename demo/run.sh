#!/usr/bin/env bash
# The demo: a message's road through the system, with the project's own
# sample data. Builds what is missing, lays out a fresh UUCP inbound folder in
# the Wine prefix of the build tree and drives every step through the
# reference host tarnwick.exe.
# It runs the 32-bit build where this machine executes 32-bit code, else the
# 64-bit one; TARN_ARCH=i686 or x86_64 picks one.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
source scripts/arch.sh
bash scripts/setup.sh
if ! arch="$(tarn_pick_arch)"; then
  echo "demo: cannot run" >&2
  exit 1
fi
bash scripts/build.sh "$arch" >/dev/null
build="$(tarn_build_dir "$arch")"
echo "The demo runs the $arch build ($build/bin)."
if [ "$arch" = x86_64 ] && [ -z "${TARN_ARCH:-}" ]; then
  echo "(the 32-bit build is not run: $(tarn_why_not_runnable i686))"
fi

export TARN_BUILD_DIR="$build"
export TARN_ARCH="$arch"
host() { "$root/scripts/wine-run.sh" "$build/bin/tarnwick.exe" "$@"; }
# The prefix exists once the first program has run.
if ! host help >/dev/null; then
  echo "demo: tarnwick.exe does not start under Wine (see above)" >&2
  exit 1
fi

drive="$build/wine/drive_c"
demo="$drive/tarndemo"
rm -rf "$demo"
mkdir -p "$demo"
win='C:\tarndemo'

step_no=0
step() { step_no=$((step_no + 1)); printf '\n=== %d. %s\n' "$step_no" "$*"; }

# The demo's private servers are stopped on every exit.
dovecot_dir="$build/dovecot-demo"
pf_dir="$build/postfix-demo"
cleanup() {
  bash "$root/scripts/dovecot.sh" stop "$dovecot_dir" >/dev/null 2>&1 || true
  bash "$root/scripts/postfix.sh" stop "$pf_dir" >/dev/null 2>&1 || true
}
trap cleanup EXIT


step "The UUCP program has left these jobs in the inbound folder"
host mkdir "$win\\in" >/dev/null
host mkdir "$win\\work" >/dev/null
cp "$root"/demo/data/uucp-in/* "$demo/in/"
for job in "$demo"/in/*.X; do
  printf '%-10s %s\n' "$(basename "$job")" "$(grep '^C' "$job")"
done

step "Import the mail jobs (IMPMAIL until it returns -1)"
host import-mail "$win\\in" "$win\\work" gate office 5

step "What is left in the inbound folder (the news job stays for news import)"
ls "$demo/in"

step "The import log (mailin.log)"
cat "$demo/work/mailin.log" | tr -d '\r'

step "Read message 1 back from the store (READMESSAGE, chunk by chunk as a host loops)"
host read-mail "$win\\work" 1 --out "$win\\work\\message1.txt"
tr -d '\r' < "$demo/work/message1.txt" | sed -n '1,12p'
echo "..."

step "Write a reply into rmail.z (GENUUCP: header text + body file; WRITEUUCP: appended text)"
mkdir -p "$demo/out" "$demo/compose"
orig_from=$(tr -d '\r' < "$demo/work/message1.txt" | sed -n 's/^From: //p' | head -n 1)
orig_subject=$(tr -d '\r' < "$demo/work/message1.txt" | sed -n 's/^Subject: //p' | head -n 1)
reply_to=$(printf '%s\n' "$orig_from" | sed -n 's/.*<\(.*\)>.*/\1/p')
reply_to=${reply_to:-$orig_from}
printf 'From: Ann Other <ann@office.example>\nTo: %s\nSubject: Re: %s\n\n' \
  "$orig_from" "$orig_subject" > "$demo/compose/headers.txt"
printf 'Thank you, it arrived safely.\n\n' > "$demo/compose/body.txt"
printf -- '-- \nAnn Other, office.example\n' > "$demo/compose/signature.txt"
host prepare-mail "$win\\out" "$win\\compose\\headers.txt" "$win\\compose\\body.txt" \
  "$win\\compose\\signature.txt"
echo "rmail.z read back with READMAPIMSG (area 0):"
size=$(stat -c %s "$demo/out/rmail.z")
host read-message "$win\\out" 0 0 "$size" --mapi 2>/dev/null | tr -d '\r'

step "Export it as a UUCP mail job (EXPMAIL): the job files in the outbound folder"
host export-mail "$win\\out" "$win\\work" "$reply_to" gate ann@office.example 2
for f in "$demo"/out/*.CMD "$demo"/out/*.XQT; do
  printf -- '--- %s\n' "$(basename "$f")"
  # Line ends made visible: the command file has CR LF, the execute file LF.
  sed -e 's/\r$/<CR>/' -e 's/$/<LF>/' "$f"
done
printf -- '--- %s (the former rmail.z)\n' "$(basename "$demo"/out/*.DAT)"
head -n 4 "$demo"/out/*.DAT
echo "..."
printf -- '--- export.dat: '
od -An -tx1 "$demo/work/export.dat"
printf -- '--- mail.log:\n'
tr -d '\r' < "$demo/work/mail.log" | grep -v 'nbound mail\|Looking for'

step "Take the invoice attachment out of Mary's message (MIMEDECODE)"
# The record of the message in mail.hdr gives its offsets in mailarea.txt
# (the first message's recorded start is 1; its first byte is at 0).
read -r start end < <(tr -d '\r' < "$demo/work/mail.hdr" |
  awk 'NR % 8 == 5 && /Invoice 2026-117/ { n = NR } n && NR == n + 2 { s = $0 } n && NR == n + 3 { print s, $0; exit }')
[ "$start" = 1 ] && start=0
dd if="$demo/work/mailarea.txt" of="$demo/work/invoice.eml" bs=1 skip="$start" count=$((end - start)) 2>/dev/null
host mime-decode "$win\\work\\invoice.eml" "$win\\work\\invoice.txt"
cat "$demo/work/invoice.txt"

step "Ann's reply with the delivery note attached (MIMEENCODE)"
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

# SMTP sending and ETRN against a private Postfix on loopback, stopped when
# the demo ends. The message sent is Ann's reply with its attachment.
pf_port=22520
bash scripts/postfix.sh start "$pf_dir" "$pf_port"
mkdir -p "$demo/out"

step "Send the reply by SMTP to the relay (send-to builds the envelope and message files)"
host send-to 127.0.0.1 office@office.tarn.test alice@tarn.test,blocked@tarn.test \
  "$win\\out\\reply.eml" --port "$pf_port" --helo office.tarn.test --folder "$win\\out" -v 2>&1 |
  tr -d '\r' || true

step "The session log (smtp.log)"
cut -f2- "$demo/out/smtp.log" | tr -d '\r'

step "What the relay delivered to alice (Postfix's own headers first)"
for _ in $(seq 50); do
  ls "$pf_dir"/mail/alice/new/* >/dev/null 2>&1 && break
  sleep 0.1
done
cat "$pf_dir"/mail/alice/new/*

step "Ask the relay to deliver what it holds for flush.test (ETRN, port from smtp_out)"
host etrn 127.0.0.1 flush.test "$pf_port" | tr -d '\r'
sleep 0.5
grep -E ': (ETRN|250 Queuing|459)|etrn=' "$pf_dir/maillog" | sed 's/^.*postfix\//postfix\//'

# POP3: a private Dovecot on 127.0.0.1 with a seeded mailbox, fetched into
# numbered files by tarnpop.dll through the host. Stopped again on every exit.
dovecot_port=21101

step "A POP3 mailbox with three messages (Dovecot on 127.0.0.1:$dovecot_port)"
bash scripts/dovecot.sh start "$dovecot_dir" "$dovecot_port" joe secret
maildir="$(bash scripts/dovecot.sh maildir "$dovecot_dir" joe)"
i=0
for m in "$root"/demo/data/pop3/*.eml; do
  i=$((i + 1))
  cp "$m" "$maildir/new/170000000$i.M$i.demo"
  printf '%-16s %s\n' "$(basename "$m")" "$(grep -m1 '^Subject:' "$m")"
done

step "Fetch the mailbox (pop_out in the registry, initPopMail, getPopMail; the password from the environment)"
host pop-port "$dovecot_port"
host mkdir "$win\\pop" >/dev/null
POP_PASSWORD=secret host fetch-pop "$win\\pop" localhost --address 127.0.0.1 --user joe \
  --password-env POP_PASSWORD --log "$win\\pop\\pop3.log" -v

step "The message files, kept in pop\\received (CR LF line ends, dot-stuffed lines keep both dots)"
for f in "$demo"/pop/received/*.msg; do
  printf -- '--- %s (%s bytes)\n' "$(basename "$f")" "$(wc -c < "$f")"
  head -5 "$f" | tr -d '\r'
done
first=$(ls "$demo"/pop/received/*-1.msg | head -1)
echo "--- $(basename "$first") (message 1), the dotted lines as stored:"
grep -a '^\.' "$first" | cat -A | head -3
left=$(find "$maildir/new" "$maildir/cur" -type f | wc -l)
echo "messages left on the server: $left"

step "The session log"
tr -d '\r' < "$demo/pop/pop3.log"

step "The newsgroup table area.dat (name, area number) the host keeps in the work folder"
cp "$root/demo/data/work/area.dat" "$demo/work/area.dat"
paste -d' ' - - < "$demo/work/area.dat"

step "Import the plain news batch (IMPNEWS, compressBits 0, once per batch)"
host import-news "$win\\in" "$win\\work" gate office --level 4

step "A compressed batch (#! cunbatch) arrives; import it through wincomp.exe (compressBits 16)"
cp "$root"/demo/data/uucp-news/* "$demo/in/"
host import-news "$win\\in" "$win\\work" gate office --bits 16 --level 4
printf '\narea files:\n'
for f in "$demo"/work/area*.txt; do printf '  %-12s %6d bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"; done

step "The news log (news.log)"
tr -d '\r' < "$demo/work/news.log"

step "Export the office's outgoing news batch (EXPNEWS, compressed with wincomp.exe at 16 bits)"
mkdir -p "$demo/out"
cp "$root/demo/data/uucp-out/rnews" "$demo/out/rnews"
host export-news "$win\\out" "$win\\work" gate 2 --bits 16 --level 5
# Mail and news jobs share the counter: this job's number is the one stored.
job=$(printf '%04d' "$(od -An -tu4 "$demo/work/export.dat" | tr -d ' ')")
for f in "$demo/out/$job.CMD" "$demo/out/$job.XQT"; do
  printf -- '--- %s\n' "$(basename "$f")"; tr -d '\r' < "$f"
done
dat="$demo/out/$job.DAT"
printf -- '--- %s: first line %s, then %d bytes of compressed batch\n' "$(basename "$dat")" \
  "$(head -n 1 "$dat")" "$(( $(stat -c %s "$dat") - 12 ))"
printf -- '--- the same batch expanded by the peer'"'"'s compress -d:\n'
tail -c +13 "$dat" | compress -d -c | sed -n 1,4p
# The host run from a folder of its own, with the rasapi32.dll test double
# beside it: there is no Remote Access Service on this machine.
hostdir="$demo/host"
mkdir -p "$hostdir"
cp "$build/bin/tarnwick.exe" "$build/bin/tarn32.dll" "$build/bin/tarnsvc.exe" "$hostdir/"
cp "$build/bin/rasdouble/rasapi32.dll" "$hostdir/"
printf 'office\tanna\ts3cret\n' > "$hostdir/phone.txt"
hosted() { TARN_RAS_PHONEBOOK="$win\\host\\phone.txt" WINEDLLOVERRIDES="rasapi32=n,b" \
  "$root/scripts/wine-run.sh" "$win\\host\\tarnwick.exe" "$@"; }

step "Dial-up: the stored credentials of the entry, then a dial with its progress (TARNDIAL)"
hosted dial-params office
hosted dial office

step "Unattended: tarnwick AUTO does the work of tarnwick.auto, then quits by itself"
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

step "As a service: tarnsvc starts tarnwick AUTO, runs while its window is up, and stops it"
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
step "Summary: where each message went"
printf '  UUCP mail imported into mailarea.txt: %s messages (records in mail.hdr)\n' \
  "$(tr -d '\r' < "$demo/work/mail.hdr" | grep -c '^To:')"
printf '  news areas written by IMPNEWS:        %s\n' "$(ls "$demo"/work/area[0-9]*.txt 2>/dev/null | wc -l)"
printf '  UUCP jobs queued in the outbound folder: %s\n' "$(ls "$demo"/out/*.CMD 2>/dev/null | wc -l)"
printf '  POP3 messages fetched and deleted:    %s\n' "$(ls "$demo"/pop/received/*.msg 2>/dev/null | wc -l)"
printf '  sent by SMTP and delivered to alice:  %s\n' "$(ls "$pf_dir"/mail/alice/new 2>/dev/null | wc -l)"
printf '  refusals recorded in smtp.bad:        %s\n' "$(( $(tr -d '\r' < "$demo/out/smtp.bad" 2>/dev/null | wc -l) / 2 ))"
