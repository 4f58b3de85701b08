#!/usr/bin/env bash
# A private Postfix on 127.0.0.1 for the tests, the demo and the benchmarks,
# with its own configuration folder, queue, data folder and log, all in the
# instance folder. Mail for tarn.test is delivered to Maildirs under
# DIR/mail (users alice and bob); blocked@tarn.test is refused by an access
# map; ETRN is answered for flush.test (fast_flush_domains). The whole SMTP
# dialogue of 127.0.0.1 is logged (debug_peer_list), so a test can see ETRN.
#
#   postfix.sh start DIR PORT   (re)start; an instance left by a crashed run
#                               is stopped first and its state removed
#   postfix.sh stop DIR         stop (postfix stop, then the master PID)
#   postfix.sh maildir DIR USER prints the user's Maildir
set -euo pipefail
cmd="${1:?usage: postfix.sh start|stop|maildir DIR ...}"
dir="${2:?instance folder}"
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"

stop_instance() {
  [ -f "$dir/conf/main.cf" ] && postfix -c "$dir/conf" stop >/dev/null 2>&1 || true
  local pidfile="$dir/queue/pid/master.pid"
  if [ -f "$pidfile" ]; then
    local pid
    pid="$(tr -d ' ' <"$pidfile" 2>/dev/null || true)"
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
      kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null || true
    fi
  fi
}

case "$cmd" in
start)
  port="${3:?port}"
  stop_instance
  rm -rf "$dir/conf" "$dir/queue" "$dir/data" "$dir/mail" "$dir/maillog"
  mkdir -p "$dir/conf" "$dir/queue" "$dir/data" "$dir/mail"
  uid="$(id -u postfix)"
  gid="$(id -g postfix)"
  chown postfix:postfix "$dir/data" "$dir/mail"
  cat >"$dir/conf/main.cf" <<CF
compatibility_level = 3.6
queue_directory = $dir/queue
data_directory = $dir/data
command_directory = /usr/sbin
daemon_directory = /usr/lib/postfix/sbin
meta_directory = /etc/postfix
shlib_directory = /usr/lib/postfix
mail_owner = postfix
setgid_group = postdrop
maillog_file = $dir/maillog
maillog_file_prefixes = $dir
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
myhostname = relay.tarn.test
mydomain = tarn.test
myorigin = tarn.test
mydestination =
mynetworks = 127.0.0.0/8
alias_maps =
alias_database =
biff = no
append_dot_mydomain = no
smtputf8_enable = no
relay_domains = flush.test
fast_flush_domains = flush.test
transport_maps = hash:$dir/conf/transport
virtual_mailbox_domains = tarn.test
virtual_mailbox_base = $dir/mail
virtual_mailbox_maps = hash:$dir/conf/vmailbox
virtual_uid_maps = static:$uid
virtual_gid_maps = static:$gid
virtual_minimum_uid = 1
smtpd_recipient_restrictions = check_recipient_access hash:$dir/conf/access, permit_mynetworks, reject_unauth_destination
debug_peer_list = 127.0.0.1
debug_peer_level = 1
CF
  cat >"$dir/conf/master.cf" <<CF
127.0.0.1:$port inet n - n - - smtpd
cleanup   unix n - n - 0 cleanup
qmgr      unix n - n 300 1 qmgr
rewrite   unix - - n - - trivial-rewrite
bounce    unix - - n - 0 bounce
defer     unix - - n - 0 bounce
trace     unix - - n - 0 bounce
verify    unix - - n - 1 verify
flush     unix n - n 1000? 0 flush
proxymap  unix - - n - - proxymap
showq     unix n - n - - showq
error     unix - - n - - error
retry     unix - - n - - error
discard   unix - - n - - discard
virtual   unix - n n - - virtual
anvil     unix - - n - 1 anvil
scache    unix - - n - 1 scache
postlog   unix-dgram n - n - 1 postlogd
CF
  printf 'alice@tarn.test alice/\nbob@tarn.test bob/\n' >"$dir/conf/vmailbox"
  printf 'blocked@tarn.test REJECT no such user here\n' >"$dir/conf/access"
  # Mail held for flush.test waits in the queue until an ETRN asks for it.
  printf 'flush.test error:held until ETRN\n' >"$dir/conf/transport"
  postmap -c "$dir/conf" "$dir/conf/vmailbox" "$dir/conf/access" "$dir/conf/transport"
  postfix -c "$dir/conf" start >"$dir/start.log" 2>&1 || { cat "$dir/start.log" >&2; exit 1; }
  for _ in $(seq 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      exit 0
    fi
    sleep 0.1
  done
  echo "postfix did not listen on 127.0.0.1:$port" >&2
  cat "$dir/maillog" >&2 || true
  exit 1
  ;;
stop)
  stop_instance
  ;;
maildir)
  echo "$dir/mail/${3:?user}"
  ;;
*)
  echo "unknown command $cmd" >&2
  exit 2
  ;;
esac
