#!/usr/bin/env python3
"""Seeds of the SMTP and ETRN session fuzz targets from real servers.

Talks to a running Postfix (scripts/postfix.sh start DIR PORT) or smtp-sink
as the sessions would, records every receive as it came off the socket and
writes the server's side in the drivers' input form (see smtpsession_fuzz.cpp
and etrnsession_fuzz.cpp): a block of n bytes is the byte n - 1 and the
bytes; 0xF0 is the server's close. The SMTP seeds start with the set-up byte.

  capture_session_seeds.py SERVER PORT OUTDIR   SERVER: postfix or sink
"""
import os
import socket
import sys
import time


def receive_reply(s, final):
    """Receives until a line for which final(line) holds; every recv kept."""
    chunks, text = [], b""
    s.settimeout(5)
    while True:
        data = s.recv(500)
        if not data:
            chunks.append(None)
            return chunks
        chunks.append(data)
        text += data
        lines = text.split(b"\r\n")
        if any(final(l) for l in lines[:-1]):
            return chunks


def last_line(line):
    return len(line) >= 4 and line[3:4] == b" "


def dialogue(port, commands):
    """The receives of a dialogue: greeting, then one reply per command;
    a command None waits for the server's close."""
    s = socket.create_connection(("127.0.0.1", port))
    received = receive_reply(s, last_line)
    for c in commands:
        if c is None:
            s.settimeout(5)
            while True:
                data = s.recv(500)
                if not data:
                    received.append(None)
                    break
                received.append(data)
            break
        s.sendall(c)
        received += receive_reply(s, last_line)
    s.close()
    return received


def encode(receives, setup=None):
    out = bytearray() if setup is None else bytearray([setup])
    for r in receives:
        if r is None:
            out.append(0xF0)
            continue
        for i in range(0, len(r), 200):
            block = r[i:i + 200]
            out.append(len(block) - 1)
            out += block
    return bytes(out)


def main():
    server, port, outdir = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    smtp_dir = os.path.join(outdir, "smtpsession")
    etrn_dir = os.path.join(outdir, "etrnsession")
    os.makedirs(smtp_dir, exist_ok=True)
    os.makedirs(etrn_dir, exist_ok=True)
    helo = b"HELO client.example\r\n"
    content = b"Subject: seed\r\n\r\n..dot\r\nbody\r\n\r\n.\r\n"
    good = [helo, b"MAIL FROM: <a@tarn.test>\r\n", b"RCPT TO: <alice@tarn.test>\r\n",
            b"RCPT TO: <bob@tarn.test>\r\n", b"DATA\r\n", content, b"QUIT\r\n", None]
    refused = [helo, b"MAIL FROM: <a@tarn.test>\r\n", b"RCPT TO: <alice@tarn.test>\r\n",
               b"RCPT TO: <blocked@tarn.test>\r\n", b"DATA\r\n", content, b"QUIT\r\n", None]
    clean = dialogue(port, good)
    seeds = {
        (smtp_dir, server + "-clean"): (clean, 0),
        (smtp_dir, server + "-clean-3000"): (clean, 5),  # the 3000-byte message
    }
    if server == "postfix":
        seeds[(smtp_dir, server + "-rcpt-refused")] = (dialogue(port, refused), 0)
        seeds[(smtp_dir, server + "-sender-bad")] = (
            dialogue(port, [helo, b"MAIL FROM: <a@tarn.test\r\n", b"QUIT\r\n", None]), 0)
    ehlo = b"EHLO client.example\r\n"
    seeds[(etrn_dir, server + "-etrn")] = (
        dialogue(port, [ehlo, b"ETRN flush.test\r\n", b"QUIT\r\n", None]), None)
    seeds[(etrn_dir, server + "-etrn-refused")] = (
        dialogue(port, [ehlo, b"ETRN other.test\r\n", b"QUIT\r\n", None]), None)
    seeds[(etrn_dir, server + "-ehlo-no-name")] = (dialogue(port, [b"EHLO \r\n", b"QUIT\r\n", None]), None)
    for (folder, name), (receives, setup) in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(encode(receives, setup))


if __name__ == "__main__":
    main()
