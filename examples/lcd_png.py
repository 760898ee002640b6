#!/usr/bin/python3
"""Runs the image from offset 0 to a breakpoint and saves the phone's display as a PNG
(84 x 48, black on white), with nothing but the standard library.

    travik-cli script lcd_png.py FLASH.fls OUT.png [BREAK]   (BREAK: phone address, hex;
                                                               default 200032)
"""
import struct
import sys
import zlib

import travik


def png(rows):
    """A 1-bit greyscale PNG of rows of 0/1 (1 = dark)."""
    height, width = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for x in range(0, width, 8):
            byte = 0
            for bit, pixel in enumerate(row[x:x + 8]):
                if not pixel:  # white is 1 in greyscale
                    byte |= 0x80 >> bit
            raw.append(byte)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 1, 0, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b""))


def main(flash, out, breakpoint):
    doc = travik.Document.open(flash)
    session = travik.Session(doc)
    session.start(0)
    session.add_breakpoint(breakpoint)
    why = session.run(max_steps=100_000_000)
    print(f"stopped: {why} at {session.pc:08x} after {session.instructions} instructions")
    with open(out, "wb") as f:
        f.write(png(session.lcd))
    return 0 if why == "breakpoint" else 1


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit("usage: lcd_png.py FLASH.fls OUT.png [BREAK]")
    sys.exit(main(sys.argv[1], sys.argv[2], int(sys.argv[3], 16) if len(sys.argv) == 4 else 0x200032))
