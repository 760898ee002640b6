#!/usr/bin/env python3
"""gdb-multiarch against `travik-cli gdbserver` on the demo firmware: registers, memory,
a breakpoint, a single step, a write watchpoint, Ctrl-C of the running main loop and a
detach. Every stop is compared with what `travik-cli run` reports for the same stop.

usage: gdb_session.py TRAVIK_CLI DEMO_FLS"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

CLI, DEMO = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
NAMES = ["r%d" % i for i in range(13)] + ["sp", "lr", "pc"]
# `run` prints R0-R7, H0-H4 (r8-r12), SP, LR and PC, which runs 4 bytes ahead.
CLI_NAMES = ["R%d" % i for i in range(8)] + ["H%d" % i for i in range(5)] + ["SP", "LR", "PC"]
failures = []


def check(what, ok, detail=""):
    if not ok:
        failures.append(what)
        print("FAIL: %s %s" % (what, detail))


def run_registers(folder, *args):
    out = subprocess.run([CLI, "run", "demo.fls", "--start", "0", *args], cwd=folder,
                         capture_output=True, text=True, timeout=60).stdout
    values = dict(re.findall(r"^(\w+) = ([0-9A-F]{8})$", out, re.M))
    regs = {n: int(values[c], 16) for n, c in zip(NAMES, CLI_NAMES)}
    regs["pc"] -= 4
    return regs


def gdb_blocks(output):
    """The `info registers` and `x` output after each "@@ NAME" marker."""
    blocks, name = {}, None
    for line in output.splitlines():
        if line.startswith("@@ "):
            name = line[3:].strip()
            blocks[name] = ""
        elif name:
            blocks[name] += line + "\n"
    return blocks


def gdb_registers(block):
    return {m[0]: int(m[1], 16) for m in re.findall(r"^(\w+)\s+0x([0-9a-f]+)", block, re.M)}


def compare(what, gdb, cli):
    diff = {n: (hex(gdb.get(n, -1)), hex(cli[n])) for n in NAMES if gdb.get(n) != cli[n]}
    check(what, not diff, "gdb/run differ: %s" % diff)


def main():
    folder = tempfile.mkdtemp(prefix="travik-gdb-")
    try:
        shutil.copy(DEMO, os.path.join(folder, "demo.fls"))
        server = subprocess.Popen([CLI, "gdbserver", "demo.fls", "--port", "0", "--once"],
                                  cwd=folder, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, text=True)
        first = server.stdout.readline()
        port = re.match(r"GDB: listening on 127\.0\.0\.1:(\d+)$", first.strip())
        check("listening line", port, repr(first))
        if not port:
            server.kill()
            return
        marks = lambda name: ["echo @@ %s\\n" % name]
        commands = (["set architecture arm", "set endian big", "set pagination off",
                     "set confirm off", "target remote 127.0.0.1:" + port.group(1)]
                    + marks("start") + ["info registers", "x/8xw 0x100000"]
                    # InitVars stores 0 in the frame counter; gdb reports a write watchpoint
                    # only when the value changes, so the word is made non-zero first.
                    + ["set {int}0x10010c = 5", "watch *(int *)0x10010c", "continue"]
                    + marks("watch") + ["info registers", "x/1xw 0x10010c", "delete"]
                    + ["break *0x200036", "continue"] + marks("break") + ["info registers"]
                    + ["stepi"] + marks("stepi") + ["info registers", "delete"]
                    + ["python import threading, os, signal; threading.Timer(1.0, "
                       "lambda: os.kill(os.getpid(), signal.SIGINT)).start()",
                       "continue"] + marks("interrupt") + ["info registers pc"]
                    + ["stepi"] + marks("after") + ["info registers pc", "detach"])
        script = os.path.join(folder, "commands.gdb")
        with open(script, "w") as f:
            f.write("\n".join(commands) + "\n")
        gdb = subprocess.run(["gdb-multiarch", "-q", "-nx", "-batch", "-x", script],
                             capture_output=True, text=True, timeout=90)
        try:
            rest, _ = server.communicate(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()
            rest, _ = server.communicate()
            check("server ends after the detach (--once)", False)
        if os.environ.get("TRAVIK_GDB_SHOW"):
            print(gdb.stdout, gdb.stderr, rest)
        blocks = gdb_blocks(gdb.stdout)
        check("gdb ran every step", "after" in blocks, gdb.stdout + gdb.stderr)
        if "after" not in blocks:
            return

        compare("start registers", gdb_registers(blocks["start"]), run_registers(folder))
        check("RAM read", blocks["start"].count("0x00000000") == 8, blocks["start"])
        # Stopped with the store done, as `run` stops after the watched write: gdb saw the
        # stop before the store, stepped over it itself and found the value changed.
        compare("watchpoint stop", gdb_registers(blocks["watch"]),
                run_registers(folder, "--run", "--watch-write", "10010c:4"))
        check("watchpoint values", "Old value = 5" in gdb.stdout and "New value = 0" in
              gdb.stdout and "0x10010c:\t0x00000000" in blocks["watch"], blocks["watch"])
        compare("breakpoint stop", gdb_registers(blocks["break"]),
                run_registers(folder, "--run", "--break", "200036"))
        check("breakpoint reported", "Breakpoint 2, 0x00200036" in gdb.stdout)
        compare("stepi", gdb_registers(blocks["stepi"]),
                run_registers(folder, "--run", "--break", "2001b4"))
        check("interrupt", "Program received signal SIGINT" in gdb.stdout, gdb.stdout)
        pc = gdb_registers(blocks["interrupt"]).get("pc", 0)
        check("interrupted in the code", 0x200000 <= pc < 0x200400, hex(pc))
        after = gdb_registers(blocks["after"]).get("pc", 0)
        check("steps after the interrupt", after != pc and 0x200000 <= after < 0x200400)
        lines = (first + rest).splitlines()
        check("server lines", len(lines) == 3 and lines[1].startswith("GDB: connected from 127.0.0.1:")
              and lines[2] == "GDB: detached; the emulation stays open", lines)
        check("server exit status", server.returncode == 0, server.returncode)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


main()
print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
sys.exit(1 if failures else 0)
