import os

import pytest

import travik
from conftest import cli


def test_errors_of_each_call(demo, tmp_path):
    with pytest.raises(FileNotFoundError):
        travik.Document.open(str(tmp_path / "missing.fls"))
    with pytest.raises(OSError):
        travik.Document.open(str(tmp_path))
    doc = travik.Document.open(demo)
    s = doc.size
    cases = [
        (IndexError, lambda: doc.header(s)),
        (IndexError, lambda: doc.set_note(-1, "x")),
        (IndexError, lambda: doc.item_type(s + 2)),
        (IndexError, lambda: doc.lines(s)),
        (IndexError, lambda: doc.refs(s)),
        (IndexError, lambda: doc.ram_name(0)),
        (IndexError, lambda: doc.set_ram_bytes(doc.ram_base + doc.ram_size - 1, b"ab")),
        (ValueError, lambda: doc.lines(0x20, 0x10)),
        (ValueError, lambda: doc.set_item_type(0, "word")),
        (ValueError, lambda: doc.set_header(0, "\u20ac")),
        (ValueError, lambda: doc.set_header(0, "a\0b")),
        (ValueError, lambda: doc.search("", 3)),
        (ValueError, lambda: doc.search("xyz", 1)),
        (ValueError, lambda: doc.search("abc", 1)),
        (ValueError, lambda: doc.search("????", 2)),
        (ValueError, lambda: doc.search("B", 7)),
        (IndexError, lambda: doc.search("00", 1, s)),
        (ValueError, lambda: doc.export(0, 0x10, demo)),
        (FileNotFoundError, lambda: doc.export(0, 0x10, str(tmp_path / "no" / "x.asm"))),
    ]
    for error, call in cases:
        with pytest.raises(error):
            call()
    assert not doc.undo()  # nothing refused made a step
    session = travik.Session(doc)
    for error, call in [
        (RuntimeError, session.step),
        (RuntimeError, session.run),
        (IndexError, lambda: session.start(s)),
        (ValueError, lambda: session.start(1)),
        (ValueError, lambda: session.add_breakpoint(0x100000)),
        (ValueError, lambda: session.add_watchpoint(0x200000)),
        (ValueError, lambda: session.add_watchpoint(0x100000, 1, "exec")),
        (IndexError, lambda: session.read(0x300000 + s, 1)),
        (IndexError, lambda: session.write(0x200000, b"\0")),
        (KeyError, lambda: session.registers["R16"]),
    ]:
        with pytest.raises(error):
            call()
    doc.close()
    with pytest.raises(RuntimeError):
        doc.size


def test_damaged_info_file_warns_and_unreadable_one_raises(demo):
    doc = travik.Document.open(demo)
    doc.set_ram_name(0x100100, "counter", 6)
    doc.save()
    info = os.path.splitext(demo)[0] + ".ifo"
    data = open(info, "rb").read()
    with open(info, "wb") as f:
        f.write(data[:-1])  # the RAM names cut short: the rest opens
    with pytest.warns(UserWarning, match="RAM names are damaged"):
        assert travik.Document.open(demo).ram_name(0x100100) == "counter"
    with open(info, "wb") as f:
        f.write(data[: len(data) // 2])
    with pytest.raises(OSError, match="corrupted"):
        travik.Document.open(demo)


def test_edits_are_undoable_and_seen_after_save(demo):
    doc = travik.Document.open(demo)
    doc.set_header(0x58, "first_routine")
    doc.set_note(0x5a, "n\u00e9")
    doc.set_item_type(0x20c, "data4")
    doc.set_ram_name(0x100100, "counter", 6)
    doc.set_ram_bytes(0x100200, b"\x12\x34")
    assert doc.undo()
    assert doc.ram_bytes(0x100200, 2) == b"\0\0"
    assert doc.redo() and doc.ram_bytes(0x100200, 2) == b"\x12\x34"
    doc.save()
    again = travik.Document.open(demo)
    assert again.header(0x58) == "first_routine"
    assert again.note(0x5a) == "n\u00e9"
    assert again.item_type(0x20e) == "data4" and again.item_start(0x20e) == 0x20c
    assert again.ram_name(0x100100) == "counter"
    # The listing shows them as the export writes them.
    lines = again.lines(0x58, 0x5a)
    assert lines[0][1] == "header" and lines[0][3] == "first_routine"
    shown = [text.ljust(70) + note if note else text for _, _, text, note in lines]
    assert shown == cli("lines", demo, "--from", "58", "--to", "5a").stdout.splitlines()
    stale = again.lines(0x20c, 0x210)
    again.set_item_type(0x20c, "data8")
    with pytest.raises(RuntimeError):
        list(stale)
    again.set_header(0x58, "")
    assert again.undo() and again.header(0x58) == "first_routine"
    # Steps not saved stay in the journal; opening offers them.
    again.set_footer(0x58, "kept")
    again.close()
    assert travik.Document.open(demo, recover=True).footer(0x58) == "kept"
    with pytest.warns(UserWarning, match="Recover"):
        assert travik.Document.open(demo).footer(0x58) is None


def escaped(text):
    return "".join(f"\\x{ord(c):02x}" if ord(c) < 0x20 or c == "\x7f" else c for c in text)


def test_lines_cover_the_image_and_match_the_listing(demo):
    doc = travik.Document.open(demo)
    lines = doc.lines()
    assert lines[-1][1:3] == ("end", "End of File")
    listed = cli("lines", demo, "--from", "0", "--to", "600").stdout.splitlines()
    part = doc.lines(0, 0x600)
    assert len(part) == len(listed)
    assert [escaped(t) for _, _, t, n in part if not n] == [l for l, (_, _, _, n) in zip(listed, part) if not n]
    assert {kind for _, kind, _, _ in part} >= {"thumb", "header", "footer"}


def test_search_refs_and_export_agree_with_the_cli(demo, tmp_path):
    doc = travik.Document.open(demo)
    assert doc.search("bl", travik.SEARCH_TEXT, all=True) == [
        int(x, 16) for x in cli("search", demo, "--mode", "3", "--all", "bl").stdout.split()]
    assert doc.search("DEADBEEF") is None
    refs = doc.refs(0x58)
    assert [f"{o:06x} {k}" for o, k in refs] == [
        line.split(":")[0].split()[0] + " " + line.split()[1]
        for line in cli("refs", demo, "200058").stdout.splitlines()]
    out = tmp_path / "part.asm"
    doc.export(0, 0x60, str(out))
    cli("export", demo, "--from", "0", "--to", "60", "-o", str(tmp_path / "cli.asm"))
    assert out.read_bytes() == (tmp_path / "cli.asm").read_bytes()
