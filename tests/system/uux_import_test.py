#!/usr/bin/env python3
"""Mail jobs written by a real UUCP (Taylor UUCP's uux), imported by IMPMAIL.

uux queues remote rmail jobs for a configured neighbour, "office", on the
sending system "gate". The files it queues for transfer are laid into the
inbound folder under the short names a DOS-side UUCP gives them, as the
transfer would, and tarnwick.exe imports them through IMPMAIL.
"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

build = pathlib.Path(os.environ["TARN_BUILD_DIR"])
source = pathlib.Path(os.environ["TARN_SOURCE_DIR"])
wine_run = source / "scripts" / "wine-run.sh"
tarnwick = build / "bin" / "tarnwick.exe"

MESSAGES = [
    "From: joe@gate.example\nTo: ann@office.example\nSubject: first\n\nOne.\n",
    "From: mary@gate.example\nDate: Tue, 8 Dec 2026 10:00:00 +0000\nSubject: second\n"
    "Cc: bob@office.example\n\nTwo,\nwith two lines.\n",
    "From: sam@gate.example\nSubject: third\n\n" + "x" * 5000 + "\n",
]


def fail(text):
    print("FAIL:", text)
    sys.exit(1)


def queue_jobs(root):
    """Runs uux for each message; returns {remote name: local spool file}."""
    spool = root / "spool"
    for d in ("spool", "pub", "log"):
        (root / d).mkdir(parents=True)
    (root / "config").write_text(
        "nodename gate\n"
        f"spool {spool}\npubdir {root}/pub\nlogfile {root}/log/Log\n"
        f"statfile {root}/log/Stats\ndebugfile {root}/log/Debug\n"
        f"sysfile {root}/sys\nportfile {root}/port\n")
    (root / "sys").write_text("system office\ntime any\nport loop\ncommands rmail\n")
    (root / "port").write_text("port loop\ntype pipe\ncommand /bin/true\n")
    shutil.chown(root, "uucp")
    for p in root.rglob("*"):
        shutil.chown(p, "uucp")
    for text in MESSAGES:
        # -b (return standard input on failure) makes uux write an execute
        # file instead of using the in-protocol execute request.
        subprocess.run(["uux", "-I", str(root / "config"), "-r", "-b", "-p",
                        "office!rmail", "ann@office.example"],
                       input=text.encode(), check=True)
    transfers = {}
    for cfile in (spool / "office" / "C.").iterdir():
        for line in cfile.read_text().splitlines():
            fields = line.split()
            if fields[0] == "S":
                local = fields[1]
                sub = "D.X" if local.startswith("D.X") else "D."
                transfers[fields[2]] = spool / "office" / sub / local
    return transfers


def short_name(remote):
    # Remote names here are D.gateNnnnn / X.gateNnnnn: after "gate" the rest
    # is upper case and digits, so the case code is 0.
    rest = remote[len("D.gate"):]
    return "0" + rest[-7:] + "." + remote[0]


def main():
    if not shutil.which("uux"):
        fail("uux is not installed")
    with tempfile.TemporaryDirectory() as tmp:
        os.chmod(tmp, 0o755)  # uux runs as the uucp user
        transfers = queue_jobs(pathlib.Path(tmp) / "uucp")
        jobs = [r for r in transfers if r.startswith("X.")]
        if len(jobs) != len(MESSAGES):
            fail(f"uux queued {len(jobs)} execute files, expected {len(MESSAGES)}")
        for r in jobs:
            text = transfers[r].read_text()
            if "C rmail ann@office.example" not in text or "\nF D.gate" not in text:
                fail(f"unexpected execute file {r}:\n{text}")

        drive = build / "wine" / "drive_c"
        base = drive / "tuux"
        shutil.rmtree(base, ignore_errors=True)
        (base / "in").mkdir(parents=True)
        (base / "work").mkdir()
        for remote, local in transfers.items():
            shutil.copyfile(local, base / "in" / short_name(remote))

        out = subprocess.run([str(wine_run), str(tarnwick), "import-mail", r"C:\tuux\in",
                              r"C:\tuux\work", "gate", "office", "5"],
                             capture_output=True, text=True, env=dict(os.environ))
        print(out.stdout)
        if out.returncode != 0:
            fail(f"tarnwick failed: {out.stderr}")
        left = sorted(os.listdir(base / "in"))
        if left:
            fail(f"files left in the inbound folder: {left}")

        area = (base / "work" / "mailarea.txt").read_bytes()
        index = (base / "work" / "mail.hdr").read_bytes().split(b"\r\n")[:-1]
        if len(index) != 8 * len(MESSAGES):
            fail(f"mail.hdr has {len(index)} lines")
        seen = []
        for i in range(len(MESSAGES)):
            rec = index[8 * i:8 * i + 8]
            if rec[0] != b"To: ann@office.example":
                fail(f"record {i} line 1 is {rec[0]!r}")
            start, end = int(rec[6]), int(rec[7])
            body = area[(0 if start == 1 else start):end]
            if body.decode() not in MESSAGES:
                fail(f"record {i} offsets {start}-{end} do not hold one message")
            seen.append(body.decode())
        if sorted(seen) != sorted(MESSAGES):
            fail("not every message was imported once")
        shutil.rmtree(base, ignore_errors=True)
    print("uux jobs imported: 3 passed, 0 failed")


main()
