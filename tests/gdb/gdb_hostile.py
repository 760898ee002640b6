#!/usr/bin/env python3
"""Hostile and clumsy clients against `travik-cli gdbserver`: bad checksums, a packet of
megabytes, a cut-off packet, garbage, a second client, a client that vanishes while the
emulation runs, writes into the flash. The server must answer each as the protocol says,
never crash or hang, and serve the next client with the session intact.

usage: gdb_hostile.py TRAVIK_CLI DEMO_FLS"""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

CLI, DEMO = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
failures = []


def check(what, ok, detail=""):
    if not ok:
        failures.append(what)
        print("FAIL: %s %r" % (what, detail))


def packet(payload):
    data = payload.encode("latin-1") if isinstance(payload, str) else payload
    return b"$" + data + b"#%02x" % (sum(data) & 0xFF)


class Client:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.buffer = b""

    def send(self, data):
        self.sock.sendall(data)

    def read_until(self, pattern):
        while not re.search(pattern, self.buffer, re.S):
            chunk = self.sock.recv(65536)
            if not chunk:
                break
            self.buffer += chunk
        match = re.search(pattern, self.buffer, re.S)
        if match:
            self.buffer = self.buffer[match.end():]
        return match

    def ask(self, payload):
        """Sends a packet and returns the payload of the reply (acks skipped)."""
        self.send(packet(payload))
        match = self.read_until(rb"\$([^#]*)#[0-9a-f]{2}")
        if match:
            self.send(b"+")
        return match.group(1).decode("latin-1") if match else None

    def closed(self):
        """Whether the server closes the connection (after at most an ack)."""
        try:
            rest = self.sock.recv(16)
            return rest == b"" or (rest == b"+" and self.sock.recv(16) == b"")
        except OSError:
            return True


def main():
    folder = tempfile.mkdtemp(prefix="travik-gdb-")
    fls = os.path.join(folder, "demo.fls")
    shutil.copy(DEMO, fls)
    with open(fls, "rb") as f:
        flash = f.read()
    server = subprocess.Popen([CLI, "gdbserver", "demo.fls", "--port", "0"], cwd=folder,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        port = int(re.search(r":(\d+)$", server.stdout.readline().strip()).group(1))
        a = Client(port)
        check("qSupported", "qXfer:features:read+" in (a.ask("qSupported:swbreak+") or ""))

        a.send(b"$g#00")  # bad checksum: a '-' asks for it again
        check("bad checksum", a.read_until(rb"^\+*-"), a.buffer)
        check("resend after '-'", len(a.ask("g") or "") == 17 * 8)

        huge = b"M100000,100000:" + b"00" * 0x100000
        a.send(packet(huge))
        check("huge packet refused", a.read_until(rb"\$E01#"), a.buffer[-40:])
        a.send(b"$m100000,4")  # cut off: the next '$' starts over
        check("cut-off packet dropped", a.ask("m100000,4") == "00000000")
        # Anything outside a packet but '+', '-' (send again) and 0x03 (break) is skipped.
        a.send(bytes(c for c in range(256) if c not in b"$+-\x03") * 4)
        check("garbage skipped", a.ask("m10eab0,2") == "0000")

        check("no flash write", a.ask("M200000,2:4142") == "E01")
        check("no write across the flash", a.ask("M1ffffe,4:41424344") == "E01")
        check("no area read", a.ask("m0,4") == "E01")
        check("partial read at an area's end", a.ask("m10fffe,4") == "0000")
        check("RAM write", a.ask("X100200,2:\x01}\x03") == "OK" and a.ask("m100200,2") == "0123")
        check("unwatchable range", a.ask("Z2,200000,4") == "E01")
        check("unknown packet", a.ask("qTStatus") == "")
        check("target.xml in pieces", (a.ask("qXfer:features:read:target.xml:0,20") or "")
              .startswith("m<?xml"))

        b = Client(port)
        reply = b.ask("qSupported")
        check("second client refused", reply == "E.another debugger is attached" and b.closed(),
              reply)

        a.send(packet("c"))
        time.sleep(0.3)
        a.send(b"\x03")
        check("interrupt", a.read_until(rb"\$T02"), a.buffer)
        a.send(b"+" + packet("c"))
        time.sleep(0.3)
        a.sock.close()  # vanishes in the middle of a run

        c = Client(port)
        stop = c.ask("?")
        check("next client served", stop is not None and stop.startswith("T05"), stop)
        check("emulation usable", c.ask("s") is not None and len(c.ask("g") or "") == 17 * 8)
        c.send(packet("k"))
        check("kill closes", c.closed())
        time.sleep(0.2)
        server.send_signal(signal.SIGTERM)
        out, _ = server.communicate(timeout=10)
        check("server exit status", server.returncode == 0, server.returncode)
        for line in ["GDB: refused 127.0.0.1:", "GDB: connection lost",
                     "GDB: killed; the emulation is stopped"]:
            check("server says " + line, line in out, out)
        with open(fls, "rb") as f:
            check("flash file untouched", f.read() == flash)
    finally:
        if server.poll() is None:
            server.kill()
        shutil.rmtree(folder, ignore_errors=True)


main()
print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
sys.exit(1 if failures else 0)
