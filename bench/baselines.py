#!/usr/bin/env python3
"""Native baselines of the SMTP and POP3 benchmarks, the same dialogue as the
libraries with the same server, timed here and printed as seconds.

  baselines.py smtplib PORT HELO ENVELOPE FILE...   one session per file
  baselines.py smtpsock PORT HELO ENVELOPE FILE...  the same on a plain socket
  baselines.py poplib PORT USER PASSWORD FOLDER     RETR and DELE of all
  baselines.py popsock PORT USER PASSWORD FOLDER    the same on a plain socket

SMTP: greeting, HELO, MAIL FROM, one RCPT TO per recipient of the envelope
file (its lines as they are), DATA, the file's bytes as they are, the end of
data, QUIT. POP3: USER, PASS, STAT, then RETR n into FOLDER/n.msg and DELE n
for each message, QUIT.
"""
import os
import poplib
import smtplib
import socket
import sys
import time


def envelope(path):
    with open(path, "rb") as f:
        lines = [l.rstrip(b"\r\n") for l in f.read().split(b"\n") if l.strip()]
    return lines[0], lines[1:]


def smtp_lib(port, helo, env, files):
    sender, recipients = envelope(env)
    sender = sender.decode().strip("<>")
    recipients = [r.decode().strip("<>") for r in recipients]
    for path in files:
        with open(path, "rb") as f:
            data = f.read()
        s = smtplib.SMTP("127.0.0.1", port, local_hostname=helo)
        s.helo(helo)
        s.sendmail(sender, recipients, data)
        s.quit()


class Lines:
    """Replies read from a socket, whole (the last line of a multi-line
    reply) or line by line."""

    def __init__(self, sock):
        self.sock = sock
        self.buf = b""

    def line(self):
        while b"\r\n" not in self.buf:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError("server closed")
            self.buf += chunk
        line, self.buf = self.buf.split(b"\r\n", 1)
        return line

    def command(self, text, expect):
        self.sock.sendall(text)
        return self.reply(expect)

    def reply(self, expect):
        while True:
            line = self.line()
            if len(line) < 4 or line[3:4] != b"-":
                break
        if not line.startswith(expect):
            raise RuntimeError("unexpected reply %r" % line)
        return line

    def until_dot(self):
        """The lines of a POP3 multi-line reply up to the dot line."""
        while True:
            end = self.buf.find(b"\r\n.\r\n")
            if end >= 0:
                body, self.buf = self.buf[: end + 2], self.buf[end + 5 :]
                return body
            chunk = self.sock.recv(1 << 20)
            if not chunk:
                raise EOFError("server closed")
            self.buf += chunk


def smtp_sock(port, helo, env, files):
    sender, recipients = envelope(env)
    for path in files:
        with open(path, "rb") as f:
            data = f.read()
        s = socket.create_connection(("127.0.0.1", port))
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        r = Lines(s)
        r.reply(b"220")
        r.command(b"HELO " + helo.encode() + b"\r\n", b"250")
        r.command(b"MAIL FROM: " + sender + b"\r\n", b"250")
        for rcpt in recipients:
            r.command(b"RCPT TO: " + rcpt + b"\r\n", b"25")
        r.command(b"DATA\r\n", b"354")
        r.command(data + b"\r\n.\r\n", b"250")
        r.command(b"QUIT\r\n", b"221")
        s.close()


def pop_lib(port, user, password, folder):
    p = poplib.POP3("127.0.0.1", port)
    p.user(user)
    p.pass_(password)
    count = p.stat()[0]
    for n in range(1, count + 1):
        _, lines, _ = p.retr(n)
        with open(os.path.join(folder, "%d.msg" % n), "wb") as f:
            f.write(b"\r\n".join(lines) + b"\r\n")
        p.dele(n)
    p.quit()


def pop_sock(port, user, password, folder):
    s = socket.create_connection(("127.0.0.1", port))
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    r = Lines(s)
    r.reply(b"+OK")
    r.command(b"USER " + user.encode() + b"\r\n", b"+OK")
    r.command(b"PASS " + password.encode() + b"\r\n", b"+OK")
    count = int(r.command(b"STAT\r\n", b"+OK").split()[1])
    for n in range(1, count + 1):
        r.command(b"RETR %d\r\n" % n, b"+OK")
        body = r.until_dot()
        with open(os.path.join(folder, "%d.msg" % n), "wb") as f:
            f.write(body.replace(b"\r\n..", b"\r\n."))
        r.command(b"DELE %d\r\n" % n, b"+OK")
    r.command(b"QUIT\r\n", b"+OK")
    s.close()


def main():
    kind, args = sys.argv[1], sys.argv[2:]
    run = {"smtplib": smtp_lib, "smtpsock": smtp_sock, "poplib": pop_lib, "popsock": pop_sock}[kind]
    port = int(args[0])
    t0 = time.monotonic()
    if kind.startswith("smtp"):
        run(port, args[1], args[2], args[3:])
    else:
        run(port, args[1], args[2], args[3])
    print("%.4f" % (time.monotonic() - t0))


if __name__ == "__main__":
    main()
