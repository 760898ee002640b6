#!/usr/bin/python3
"""Names routines from `nm` output: each code symbol (type T or t) whose address lies in
the image becomes the header of the routine there. Saves the info file.

    travik-cli script rename_from_nm.py FLASH.fls SYMBOLS.nm
"""
import sys

import travik


def main(flash, nm_path):
    doc = travik.Document.open(flash)
    named = 0
    with open(nm_path, encoding="latin-1") as nm:
        for line in nm:
            fields = line.split()
            if len(fields) != 3 or fields[1] not in "Tt":
                continue
            address, name = int(fields[0], 16), fields[2]
            offset = (address & ~1) - travik.FLASH_BASE  # bit 0 is the THUMB bit
            if not 0 <= offset < doc.size:
                continue
            if doc.item_type(offset) != "thumb":
                doc.set_item_type(offset, "thumb")
            doc.set_header(offset, name)
            named += 1
    doc.save()
    print(f"{named} routines named")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: rename_from_nm.py FLASH.fls SYMBOLS.nm")
    main(sys.argv[1], sys.argv[2])
