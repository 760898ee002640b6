#!/usr/bin/python3
"""Speed of the Python module against the core's own tools.

    PYTHONPATH=build/release/python /usr/bin/python3 bench/python/bench_python.py \
        build/release/samples/demo/demo.fls build/release/src/travik-cli

lines: Document.lines() of a whole 16 MiB image (the demo's code tiled), taking every
line's tuple in a Python loop. run: Session.run() of the demo's endless main loop
against `travik-cli run --run` with the same bound. Times are processor times (the
machine is shared).
"""
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

import travik

CODE_END = 0x20C  # the demo's code, before its strings
STEPS = 300_000_000


def child_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def bench_lines(demo, folder):
    code = open(demo, "rb").read()[:CODE_END]
    image = (code * (16 * 1024 * 1024 // len(code) + 1))[: 16 * 1024 * 1024]
    path = os.path.join(folder, "big.fls")
    with open(path, "wb") as f:
        f.write(image)
    start = time.process_time()
    doc = travik.Document.open(path)
    opened = time.process_time()
    lines = doc.lines()
    found = time.process_time()
    count = 0
    for _ in lines:
        count += 1
    done = time.process_time()
    print(f"open 16 MiB: {opened - start:.2f} s")
    print(f"lines(): {len(lines)} lines found in {found - opened:.2f} s "
          f"({len(lines) / (found - opened) / 1e6:.1f} M lines/s)")
    print(f"lines() and every tuple taken: {count / (done - opened) / 1e6:.1f} M lines/s")


def bench_run(demo, cli, folder):
    path = os.path.join(folder, "demo.fls")
    shutil.copyfile(demo, path)
    session = travik.Session(travik.Document.open(path))
    session.start(0)
    start = time.process_time()
    why = session.run(max_steps=STEPS)
    seconds = time.process_time() - start
    print(f"Session.run: {STEPS / seconds / 1e6:.0f} M instructions/s ({why})")
    before = child_cpu()
    subprocess.run([cli, "run", path, "--start", "0", "--run", "--max-steps", str(STEPS)],
                   check=True, capture_output=True)
    print(f"travik-cli run --run: {STEPS / (child_cpu() - before) / 1e6:.0f} M instructions/s "
          "(including its open)")


def main():
    demo, cli = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        bench_lines(demo, folder)
        bench_run(demo, cli, folder)


if __name__ == "__main__":
    main()
