import os
import signal
import subprocess
import time

import travik
from conftest import CLI, EXAMPLES, cli, python


def cli_registers(output):
    """The registers and the call stack `travik-cli run` prints."""
    registers, calls, part = {}, [], None
    for line in output.splitlines():
        if line.endswith(":"):
            part = line[:-1]
        elif part == "registers" and " = " in line:
            name, value = line.split(" = ")
            registers[name] = int(value, 16)
        elif part == "call stack" and "->" in line:
            calls.append(tuple(int(x, 16) for x in line.split(" -> ")))
    return registers, calls


def test_run_to_a_breakpoint_matches_the_cli(demo):
    done = cli("run", demo, "--start", "0", "--run", "--break", "200032")
    expected, calls = cli_registers(done.stdout)
    session = travik.Session(travik.Document.open(demo))
    session.start(0)
    session.add_breakpoint(0x200032)
    assert session.run() == "breakpoint"
    assert f"instructions: {session.instructions}" in done.stdout
    assert {k: session.registers[k] for k in expected} == expected
    assert session.call_stack == calls
    assert session.state == "suspended" and session.pc == 0x200032
    # Going on passes the breakpoint it stands on and stops there again a loop later.
    assert session.run(max_steps=1_000_000) == "breakpoint" and session.pc == 0x200032
    # Step, step over, registers, memory.
    session.registers["R0"] = 0x1234
    assert session.registers["r0"] == 0x1234
    session.write(0x100200, b"\x01\x02")
    assert session.read(0x100200, 2) == b"\x01\x02"
    assert session.read(0x200000, 2) == travik.Document.open(demo).image[:2]
    before = session.instructions
    session.step()
    assert session.instructions == before + 1
    assert session.run(max_steps=10) == "limit"
    assert session.run(until=0x200032) == "arrived"


def test_watchpoints_observers_and_the_lcd(demo):
    session = travik.Session(travik.Document.open(demo))
    session.start(0)
    session.add_breakpoint(0x200032)
    assert session.run() == "breakpoint"
    assert any(any(row) for row in session.lcd) and len(session.lcd) == 48
    session.clear_breakpoints()
    session.add_watchpoint(0x10010C, 4, "write")
    assert session.watchpoints == [(0x10010C, 4, "write")]
    assert session.run(max_steps=10_000_000) == "write watchpoint"
    assert session.watch_hit[:2] == ("write", 0x10010C)
    session.clear_watchpoints()
    seen = []
    session.observe(0x10010C, 4, lambda kind, address, *rest: seen.append((kind, address)) or kind == "write")
    assert session.run(max_steps=10_000_000) == "write watchpoint"
    assert seen[-1] == ("write", 0x10010C)
    session.stop_observing()
    session.observe(0x10010C, 4, lambda *access: 1 / 0)
    try:
        session.run(max_steps=10_000_000)
        raise AssertionError("the callback's error must come out of run()")
    except ZeroDivisionError:
        pass
    assert session.state == "suspended"


def test_ctrl_c_interrupts_an_endless_run(demo):
    code = (
        "import sys, travik\n"
        "s = travik.Session(travik.Document.open(sys.argv[1]))\n"
        "s.start(0)\n"
        "print('running', flush=True)\n"
        "try:\n"
        "    s.run()\n"
        "except KeyboardInterrupt:\n"
        "    print('interrupted', s.state, s.instructions > 0)\n"
    )
    child = python(code, demo, stdout=subprocess.PIPE)
    assert child.stdout.readline() == "running\n"
    time.sleep(0.5)
    child.send_signal(signal.SIGINT)
    out, _ = child.communicate(timeout=30)
    assert out == "interrupted suspended True\n"


def test_examples_run_on_the_demo(demo, tmp_path):
    def script(name, *args):
        return subprocess.run([CLI, "script", os.path.join(EXAMPLES, name), *args],
                              capture_output=True, text=True)

    nm = tmp_path / "demo.nm"
    nm.write_text("00200059 T draw_frame\n0020000c t main_loop\n00100100 D counter\n00900000 T far\n")
    done = script("rename_from_nm.py", demo, str(nm))
    assert done.returncode == 0 and done.stdout == "2 routines named\n", done.stderr
    doc = travik.Document.open(demo)
    assert doc.header(0x58) == "draw_frame" and doc.header(0xc) == "main_loop"

    done = script("callers.py", demo, "58")
    assert done.returncode == 0 and done.stdout, done.stderr
    calls = [o for o, k in doc.refs(0x58) if k == "call"]
    assert [int(l.split()[0], 16) for l in done.stdout.splitlines()] == calls
    assert all(l.split(None, 3)[3] == "main_loop" for l in done.stdout.splitlines() if int(l.split()[0], 16) < 0x58)

    png = tmp_path / "lcd.png"
    done = script("lcd_png.py", demo, str(png))
    assert done.returncode == 0, done.stderr
    data = png.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[16:24] == bytes.fromhex("0000005400000030")

    assert script("missing.py").returncode == 1
    exit_status = tmp_path / "exit.py"
    exit_status.write_text("import sys, travik\nsys.exit(len(sys.argv))\n")
    assert script(str(exit_status), "a", "--help").returncode == 3
