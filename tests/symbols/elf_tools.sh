#!/usr/bin/env bash
# The ELF export of the demo firmware as binutils and gdb read it, and read back by the
# symbol import: usage: elf_tools.sh TRAVIK_CLI DEMO_FLS
set -euo pipefail
cli=$1 demo=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cp "$demo" "$dir/a.fls"
cp "$demo" "$dir/b.fls"
printf '100010 counter\n100020 frame_buffer\n' > "$dir/ram.txt"
"$cli" symbols "$dir/a.fls" "$dir/ram.txt" >/dev/null 2>&1
"$cli" elf "$dir/a.fls" -o "$dir/a.elf" 2>/dev/null

# readelf: no complaint on stderr nor in its report.
arm-none-eabi-readelf -a "$dir/a.elf" > "$dir/readelf.txt" 2> "$dir/readelf.err"
[ ! -s "$dir/readelf.err" ] || fail "readelf: $(cat "$dir/readelf.err")"
! grep -qi 'warning\|error' "$dir/readelf.txt" || fail "readelf: $(grep -i 'warning\|error' "$dir/readelf.txt")"
grep -q 'Tag_CPU_arch: v4T' "$dir/readelf.txt" || fail "no ARMv4T attribute"

# objdump: our names, THUMB decoded (the demo's entry begins with a load and a BL), the
# literal pools shown as words.
arm-none-eabi-objdump -d "$dir/a.elf" > "$dir/objdump.txt"
grep -q '^0020000c <THUMB_Entry_point>:' "$dir/objdump.txt" || fail "objdump: no entry point name"
grep -q 'bl	200058 <Routine__1_calls_>' "$dir/objdump.txt" || fail "objdump: THUMB BL not decoded"
grep -q '.word	0x00107600' "$dir/objdump.txt" || fail "objdump: literal pool not data"

# The annotation texts, one line each.
arm-none-eabi-objcopy --dump-section .travik.notes="$dir/notes.txt" "$dir/a.elf" "$dir/copy.elf"
grep -qx '0020000C header THUMB Entry point' "$dir/notes.txt" || fail "notes: no header line"
grep -qx '00100010 ram counter' "$dir/notes.txt" || fail "notes: no RAM name line"

# gdb: the routine and RAM names.
gdb-multiarch -batch -ex 'info symbol 0x200090' -ex 'info address counter' "$dir/a.elf" \
    > "$dir/gdb.txt" 2>&1
grep -q 'Routine__3_calls_ in section .text' "$dir/gdb.txt" || fail "gdb: $(cat "$dir/gdb.txt")"
grep -q 'Symbol "counter" is at 0x100010' "$dir/gdb.txt" || fail "gdb: $(cat "$dir/gdb.txt")"

# Round trip: a fresh info file of the image gets every routine name and RAM name back.
"$cli" symbols "$dir/b.fls" "$dir/a.elf" >/dev/null 2>&1
expected=$(arm-none-eabi-nm "$dir/a.elf" | awk '$2 == "T" { print $3 }' | sort)
named=$("$cli" jumplist "$dir/b.fls" 2>/dev/null | sed 's/^[0-9A-F]* [>-] //' | sort)
[ "$expected" = "$named" ] || fail "routine names differ: $(diff <(echo "$expected") <(echo "$named"))"
"$cli" elf "$dir/b.fls" -o "$dir/b.elf" 2>/dev/null
cmp -s <(arm-none-eabi-nm -S "$dir/a.elf" | grep ' [BbDd] ') \
       <(arm-none-eabi-nm -S "$dir/b.elf" | grep ' [BbDd] ') || fail "RAM names differ"
grep -q 'counter' <(arm-none-eabi-nm "$dir/b.elf") || fail "no RAM name came back"
echo "1 passed, 0 failed"
