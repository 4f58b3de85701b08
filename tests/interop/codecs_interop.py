#!/usr/bin/env python3
"""The content codecs of tarn32 against peers nobody here wrote.

Drives tarnwick.exe under Wine (scripts/wine-run.sh) in a scratch folder
C:\\tarnit on the build's Wine prefix and checks, both ways where the peer
can: sharutils uuencode/uudecode, python3's email package and mpack's
munpack, python3's quopri, and python3's cp850 codec.
"""
import email
import email.policy
import os
import quopri
import random
import shutil
import subprocess
import sys
from email.mime.application import MIMEApplication
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText

BUILD = os.environ.get("TARN_BUILD_DIR") or os.path.join(os.path.dirname(__file__), "..", "..", "build32")
SOURCE = os.environ.get("TARN_SOURCE_DIR") or os.path.join(os.path.dirname(__file__), "..", "..")
UNIX_DIR = os.path.join(BUILD, "wine", "drive_c", "tarnit")
WIN_DIR = "C:\\tarnit"
failures = []


def host(*args):
    """Runs tarnwick.exe with the scratch folder as current directory."""
    cmd = [os.path.join(SOURCE, "scripts", "wine-run.sh"), os.path.join(BUILD, "bin", "tarnwick.exe")]
    r = subprocess.run(cmd + list(args), cwd=UNIX_DIR if os.path.isdir(UNIX_DIR) else BUILD, capture_output=True, env=dict(os.environ, TARN_BUILD_DIR=BUILD))
    return r.returncode, r.stdout.decode("latin-1")


def unix(name):
    return os.path.join(UNIX_DIR, name)


def win(name):
    return WIN_DIR + "\\" + name


def put(name, data):
    with open(unix(name), "wb") as f:
        f.write(data)


def get(name):
    try:
        with open(unix(name), "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def check(what, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + what + ("" if ok else "  " + detail))
    if not ok:
        failures.append(what)


def samples():
    rng = random.Random(5)
    return {
        "allbytes.bin": bytes(range(256)) * 3,
        "random.bin": bytes(rng.randrange(256) for _ in range(20000)),
        "large.bin": bytes(rng.randrange(256) for _ in range(100003)),
        "one.bin": b"M",
        "text.bin": b"Invoice 117\nDesks  2 x 140.00\n" * 40,
    }


def uu_checks():
    for name, data in samples().items():
        put(name, data)
        host("uucode", win(name))
        enc = name.replace(".bin", ".enc")
        out = subprocess.run(["uudecode", "-o", "-", unix(enc)], capture_output=True)
        check("uudecode reads what _UUENCODE@20 wrote (%s)" % name, out.returncode == 0 and out.stdout == data,
              out.stderr.decode(errors="replace"))

        peer = name.replace(".bin", ".uue")
        with open(unix(peer), "wb") as f:
            subprocess.run(["uuencode", unix(name), "peer-" + name], stdout=f, check=True)
        os.remove(unix(name))
        _, said = host("uucode", win(peer))
        check("_UUENCODE@20 decodes what uuencode wrote (%s)" % name, get("peer-" + name) == data, said)
        _, said = host("uucode", win(peer), win("given-" + name))
        check("... into a named output (%s)" % name, get("given-" + name) == data, said)


def mime_encode_checks():
    for name, data in samples().items():
        put(name, data)
        host("mime-attach", win(name), win("part.txt"), name)
        part = get("part.txt")
        message = b"From: a@example\nSubject: part\nMIME-Version: 1.0\n" + part
        m = email.message_from_bytes(message)
        check("python email reads the MIMEENCODE part (%s)" % name,
              m.get_filename() == name and m.get_payload(decode=True) == data)
        put("msg.eml", message)
        outdir = unix("munpack")
        shutil.rmtree(outdir, ignore_errors=True)
        os.mkdir(outdir)
        r = subprocess.run(["munpack", "-q", "-C", outdir, unix("msg.eml")], capture_output=True)
        got = open(os.path.join(outdir, name), "rb").read() if os.path.exists(os.path.join(outdir, name)) else None
        check("munpack recovers the MIMEENCODE part (%s)" % name, got == data,
              (r.stdout + r.stderr).decode(errors="replace"))


def mime_decode_checks():
    for name, data in samples().items():
        for crlf in (False, True):
            msg = MIMEMultipart()
            msg["From"] = "Mary Major <mary@gate.example>"
            msg["Subject"] = "The file you asked for"
            msg.attach(MIMEText("Hello Ann,\nhere is the file you asked for.\n\nRegards, Mary\n"))
            msg.attach(MIMEApplication(data, Name="report-" + name))
            policy = email.policy.SMTP if crlf else email.policy.default
            put("mp.eml", msg.as_bytes(policy=policy))
            if os.path.exists(unix("got.bin")):
                os.remove(unix("got.bin"))
            _, said = host("mime-decode", win("mp.eml"), win("got.bin"))
            check("MIMEDECODE recovers python's attachment (%s, %s)" % (name, "CR LF" if crlf else "LF"),
                  get("got.bin") == data, said)


def quoted_checks():
    rng = random.Random(9)
    inputs = {
        "random": bytes(rng.randrange(1, 256) for _ in range(20000)),
        "text": "Grüße aus Köln = 100 %  \r\nZeile zwei\t\r\n".encode("latin-1") * 50,
        "long": b"x" * 500 + b" \n" + b"=" * 200 + b"\t",
        "blanks": b" \t \n\n \r\n",
    }
    for name, data in inputs.items():
        put("q.txt", data)
        host("qp-encode", win("q.txt"))
        text = get("q.txt")
        longest = max(len(l) for l in text.split(b"\n"))
        check("quopri decodes what WRITEQUOTED wrote (%s)" % name,
              quopri.decodestring(text) == data and longest <= 76, "longest line %d" % longest)


def cp850_expected(text):
    out = bytearray()
    for ch in text:
        b = ord(ch)
        if b < 0x80:
            out.append(b)
        elif b <= 0xA0:
            out.append(0x20)
        elif b == 0xAD:
            out.append(0x2D)
        elif b == 0xB8:
            out.append(0x2C)
        else:
            out += ch.encode("cp850")
    return bytes(out)


def iso_checks():
    letters = "".join(chr(b) for b in range(0x20, 0x100) if b != 0x7F)
    texts = {
        "all Latin-1": "\n".join(letters[i:i + 40] for i in range(0, len(letters), 40)) + "\n",
        "prose": "Très chère Agnès, voilà le reçu: 12 € ... non, 12 £ ¡Olé! Straße, Øre, Ærø.\n" * 10,
        "long lines": ("é" * 300 + "\n") * 3,
    }
    for name, text in texts.items():
        text = text.replace("€", "E")
        part = MIMEText(text, "plain", "iso-8859-1")
        qp = part.get_payload().encode("ascii")
        put("iso.txt", qp)
        _, said = host("iso-to-850", win("iso.txt"), win("850.txt"))
        check("DECODE_ISO turns python's Latin-1 quoted-printable into cp850 (%s)" % name,
              get("850.txt") == cp850_expected(text), said)


def main():
    shutil.rmtree(UNIX_DIR, ignore_errors=True)
    host("help")  # makes the prefix on first use, which would remove the folder
    # One Wine server for all the runs below, ending by itself 10 s after the last.
    subprocess.run(["wineserver", "-p10"], env=dict(os.environ, WINEPREFIX=os.path.join(BUILD, "wine")))
    os.makedirs(UNIX_DIR)
    uu_checks()
    mime_encode_checks()
    mime_decode_checks()
    quoted_checks()
    iso_checks()
    shutil.rmtree(UNIX_DIR, ignore_errors=True)
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
