#!/usr/bin/env bash
# A mail job written by EXPMAIL, handed to Taylor UUCP's uuxqt as the remote
# system "gate" would receive it: the files go under the names the command
# file gives them, and uuxqt must run them as an rmail job, with the
# recipients as arguments and the data file as input.
#   usage: uuxqt_mailjob.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source_dir="$2"
export TARN_BUILD_DIR="$build"
host() { "$source_dir/scripts/wine-run.sh" "$build/bin/tarnwick.exe" "$@" | tr -d '\r'; }
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ] || ! id uucp >/dev/null 2>&1 || [ ! -x /usr/sbin/uuxqt ]; then
  echo "needs root, the uucp user and /usr/sbin/uuxqt"
  exit 77
fi

# The office side, in the Wine prefix.
host help >/dev/null || true
win='C:\tt\uuxqt'
office="$build/wine/drive_c/tt/uuxqt"
rm -rf "$office"
mkdir -p "$office/out" "$office/work"
printf 'From: Ann Other <ann@office.example>\nTo: joe@far.example, bob@far.example\nSubject: Figures\n\n' \
  > "$office/headers.txt"
printf 'The figures are attached.\n\n' > "$office/body.txt"
printf -- '-- \nAnn\n' > "$office/sig.txt"
host prepare-mail "$win\\out" "$win\\headers.txt" "$win\\body.txt" "$win\\sig.txt" >/dev/null
cp "$office/out/rmail.z" "$office/expected"
host export-mail "$win\\out" "$win\\work" "joe@far.example bob@far.example" gate \
  ann@office.example 2 >/dev/null

# The gate side: a private Taylor UUCP configuration in the build tree.
gate="$build/uuxqt-gate"
rm -rf "$gate"
mkdir -p "$gate/spool/office/D." "$gate/spool/office/X." "$gate/pub" "$gate/bin"
cat > "$gate/config" <<CFG
nodename gate
spool $gate/spool
pubdir $gate/pub
logfile $gate/Log
statfile $gate/Stats
debugfile $gate/Debug
sysfile $gate/sys
portfile $gate/port
CFG
cat > "$gate/sys" <<CFG
system office
call-login *
call-password *
commands rmail
command-path $gate/bin
CFG
touch "$gate/port"
# rmail as the remote would run it: records its arguments and its input.
cat > "$gate/bin/rmail" <<SH
#!/bin/sh
echo "\$*" > "$gate/args"
/bin/cat > "$gate/input"
SH
chmod +x "$gate/bin/rmail"

# The transfer: each "S local remote user - temp mode" line of the command
# file sends a local file of the outbound folder under its spool name.
cmd=$(ls "$office/out"/*.CMD)
[ "$(ls "$office/out" | wc -l)" -eq 3 ] || fail "expected three job files: $(ls "$office/out")"
while IFS=' ' read -r kind local remote user options temp mode rest; do
  remote=${remote%$'\r'}
  mode=${mode%$'\r'}
  [ "$kind" = S ] || fail "command line kind '$kind'"
  [ "$user" = daemon ] && [ "$options" = - ] && [ "$temp" = "$local" ] && [ "$mode" = 0666 ] ||
    fail "command line fields: $kind $local $remote $user $options $temp $mode"
  [ -f "$office/out/$local" ] || fail "the command file names $local, which is not there"
  case "$remote" in
    D.*) cp "$office/out/$local" "$gate/spool/office/D./$remote" ;;
    X.*) cp "$office/out/$local" "$gate/spool/office/X./$remote" ;;
    *) fail "spool name $remote" ;;
  esac
done < "$cmd"
chown -R uucp:uucp "$gate"

/usr/sbin/uuxqt -I "$gate/config" -x all
grep -q 'Executing X.gate0001 (rmail joe@far.example bob@far.example)' "$gate/Log" ||
  fail "uuxqt did not run the job: $(cat "$gate/Log" 2>/dev/null)"
if grep -q ERROR "$gate/Log"; then fail "uuxqt reported: $(grep ERROR "$gate/Log")"; fi
[ "$(cat "$gate/args")" = "joe@far.example bob@far.example" ] || fail "rmail arguments: $(cat "$gate/args")"
cmp -s "$gate/input" "$office/expected" || fail "rmail's input is not the prepared message"
[ -z "$(find "$gate/spool/office" -type f)" ] || fail "uuxqt left spool files: $(find "$gate/spool/office" -type f)"
echo "uuxqt ran the EXPMAIL job as rmail joe@far.example bob@far.example with the message as input"
rm -rf "$gate" "$office"
