#!/usr/bin/env bash
# The GNU-syntax export of whole images assembled by binutils gives back the image byte
# for byte: the demo firmware, every compiled workload, every halfword and seeded random
# images.
# usage: gnu_roundtrip.sh TRAVIK_CLI DEMO_FLS WORKLOAD_DIR
set -euo pipefail
cli=$1 demo=$2 workloads=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
passed=0 failed=0

check() {  # check NAME IMAGE
    local name=$1 image=$2
    cp "$image" "$dir/$name.fls"
    if "$cli" export "$dir/$name.fls" --from 0 --to ffffffff --gnu -o "$dir/$name.asm" 2>/dev/null &&
        arm-none-eabi-as -mthumb -mbig-endian -march=armv4t "$dir/$name.asm" -o "$dir/$name.o" \
            2> "$dir/$name.err" &&
        arm-none-eabi-objcopy -O binary "$dir/$name.o" "$dir/$name.bin" &&
        cmp -s "$dir/$name.bin" "$image"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $name: $(grep -m3 Error "$dir/$name.err" 2>/dev/null; cmp "$dir/$name.bin" "$image" 2>&1)" >&2
    fi
}

check demo "$demo"
for image in "$workloads"/*.fls; do check "$(basename "$image" .fls)" "$image"; done
for seed in 1 2 3; do
    perl -e "srand($seed); print map { chr(int(rand(256))) } 1 .. 4096 * (1 + $seed) * 2" > "$dir/random$seed.img"
    check "random$seed" "$dir/random$seed.img"
done

# Every halfword in turn, each followed by one that no BL pair or shift pair takes.
perl -e 'print pack("n*", map { ($_, 0x46C0) } 0 .. 65535)' > "$dir/halfwords.img"
check halfwords "$dir/halfwords.img"

# The assembler takes labels from the routine headers of the demo.
grep -q '^THUMB_Entry_point:' "$dir/demo.asm" || { echo "FAIL: no label for the entry point" >&2; failed=$((failed + 1)); }
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
