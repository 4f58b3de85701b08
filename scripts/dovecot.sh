#!/usr/bin/env bash
# A private Dovecot POP3 server on 127.0.0.1 for the tests, the demo and the
# benchmarks, with its own configuration, state, log and one passwd-file user
# whose Maildir lies in the instance folder.
#
#   dovecot.sh start DIR PORT [USER PASSWORD]   (re)start; an instance left
#                                               by a crashed run is stopped first
#   dovecot.sh stop DIR                         stop by the master PID
#   dovecot.sh maildir DIR [USER]               prints the user's Maildir
#
# The Maildir belongs to uid/gid 65534 (the static userdb), its folders are
# writable by everyone so a test running as another user can seed messages.
set -euo pipefail
cmd="${1:?usage: dovecot.sh start|stop|maildir DIR ...}"
dir="${2:?instance folder}"
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"

stop_instance() {
  local pidfile="$dir/run/master.pid"
  [ -f "$pidfile" ] || return 0
  local pid
  pid="$(cat "$pidfile" 2>/dev/null || true)"
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$pidfile"
}

case "$cmd" in
start)
  port="${3:?port}"
  user="${4:-joe}"
  pass="${5:-secret}"
  stop_instance
  rm -rf "$dir/run" "$dir/state" "$dir/home"
  mkdir -p "$dir/run" "$dir/state"
  maildir="$dir/home/$user/Maildir"
  mkdir -p "$maildir/new" "$maildir/cur" "$maildir/tmp"
  chown -R 65534:65534 "$dir/home"
  chmod -R 0777 "$dir/home"
  printf '%s:{PLAIN}%s::::::\n' "$user" "$pass" > "$dir/passwd"
  chmod 0644 "$dir/passwd"
  cat > "$dir/dovecot.conf" <<CONF
base_dir = $dir/run
state_dir = $dir/state
instance_name = tarn-pop3-$port
log_path = $dir/dovecot.log
info_log_path = $dir/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain
first_valid_uid = 100
mail_location = maildir:~/Maildir
passdb {
  driver = passwd-file
  args = $dir/passwd
}
userdb {
  driver = static
  args = uid=65534 gid=65534 home=$dir/home/%u
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $port
  }
  inet_listener pop3s {
    port = 0
  }
}
service imap-login {
  inet_listener imap {
    port = 0
  }
  inet_listener imaps {
    port = 0
  }
}
CONF
  # Detached from our output: a test runner waits for every writer of it.
  dovecot -c "$dir/dovecot.conf" </dev/null >/dev/null 2>&1
  for _ in $(seq 50); do
    if [ -f "$dir/run/master.pid" ] && (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "dovecot: pop3 on 127.0.0.1:$port ($dir)"
      exit 0
    fi
    sleep 0.1
  done
  echo "dovecot: did not come up on port $port; see $dir/dovecot.log" >&2
  tail -5 "$dir/dovecot.log" >&2 || true
  exit 1
  ;;
stop)
  stop_instance
  ;;
maildir)
  echo "$dir/home/${3:-joe}/Maildir"
  ;;
*)
  echo "dovecot.sh: unknown command $cmd" >&2
  exit 2
  ;;
esac
