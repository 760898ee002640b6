#!/usr/bin/python3
"""Lists every call of a routine with the header of the routine that makes it.

    travik-cli script callers.py FLASH.fls OFFSET      (OFFSET in hex, an image offset)
"""
import sys

import travik


def routine_header(doc, offset):
    """The header of the routine holding `offset`: the nearest one at or before it."""
    for o in range(offset & ~1, -1, -2):
        header = doc.header(o)
        if header is not None:
            return o, header
    return None, "(no routine)"


def main(flash, target):
    doc = travik.Document.open(flash)
    for offset, kind in doc.refs(target):
        if kind != "call":
            continue
        start, header = routine_header(doc, offset)
        where = f"{start:06x}" if start is not None else "------"
        print(f"{offset:06x} in {where} {header}")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: callers.py FLASH.fls OFFSET")
    main(sys.argv[1], int(sys.argv[2], 16))
