#!/usr/bin/env bash
# Fault injection against the tool's saves: a write failing at every byte, a failing fsync and
# rename, a file size limit, and a dictionary folder on a read-only file system. Each failed
# save must leave the old dictionary byte for byte, no temporary file, code 4 and a message
# that names the file.
# Usage: fault_injection.sh TOOL SHIM
set -uo pipefail
tool=$1
shim=$2
work=$(mktemp -d)
trap 'umount "$work/ro" 2>/dev/null; rm -rf "$work"' EXIT
export LC_ALL=C
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for i in $(seq 1 12); do printf '@old%d\nold article %d\n~~~\n' "$i" "$i"; done >"$work/old.txt"
for i in $(seq 1 25); do printf '@new%d\nnew article %d\n~~~\n' "$i" "$i"; done >"$work/new.txt"
"$tool" import "$work/base.dic" "$work/old.txt" >/dev/null || { echo "setup failed"; exit 1; }
cp "$work/base.dic" "$work/done.dic"
"$tool" import "$work/done.dic" "$work/new.txt" >/dev/null || { echo "setup failed"; exit 1; }
size=$(stat -c %s "$work/done.dic")

# One failed save: $1 names the case, the rest is the environment for the shim.
expect_intact() {
    local name=$1
    shift
    mkdir -p "$work/f"
    cp "$work/base.dic" "$work/f/words.dic"
    local out code
    out=$(env LD_PRELOAD="$shim" "$@" "$tool" import "$work/f/words.dic" "$work/new.txt" 2>&1)
    code=$?
    [ "$code" = 4 ] || fail "$name: exit $code ($out)"
    [[ "$out" == *"Словарь $work/f/words.dic не записан"* ]] || fail "$name: message: $out"
    cmp -s "$work/base.dic" "$work/f/words.dic" || fail "$name: the old file changed"
    [ "$(ls -A "$work/f")" = words.dic ] || fail "$name: left $(ls -A "$work/f")"
}

for ((at = 0; at < size; at++)); do
    expect_intact "write failing after $at bytes" TERMOVEL_FAIL=write-bytes TERMOVEL_FAIL_AT=$at
done
expect_intact "fsync failing" TERMOVEL_FAIL=fsync TERMOVEL_FAIL_AT=1
expect_intact "rename failing" TERMOVEL_FAIL=rename TERMOVEL_FAIL_AT=1
# Past the size, the save succeeds: the shim really lets writes through.
cp "$work/base.dic" "$work/f/words.dic"
LD_PRELOAD="$shim" TERMOVEL_FAIL=write-bytes TERMOVEL_FAIL_AT=$size \
    "$tool" import "$work/f/words.dic" "$work/new.txt" >/dev/null 2>&1 || fail "write of $size bytes"
cmp -s "$work/done.dic" "$work/f/words.dic" || fail "the full save differs"

# The conversions' save fails the same way, and says which file it could not write.
printf 'kiwi\tA\tF\n' >"$work/d.index"
printf 'fruit' >"$work/d.dict"
for case in write-bytes:10 fsync:1 rename:1; do
    rm -f "$work/f/conv.dic"
    out=$(env LD_PRELOAD="$shim" TERMOVEL_FAIL=${case%%:*} TERMOVEL_FAIL_AT=${case##*:} \
        "$tool" from-dictd "$work/d.index" "$work/d.dict" "$work/f/conv.dic" 2>&1)
    code=$?
    [ "$code" = 4 ] || fail "from-dictd, $case: exit $code ($out)"
    [[ "$out" == *"Словарь $work/f/conv.dic не записан"* ]] || fail "from-dictd, $case: message: $out"
    [ ! -e "$work/f/conv.dic" ] || fail "from-dictd, $case: a file was left"
done

# A file size limit (ulimit -f, in 512-byte blocks): the write fails with EFBIG.
cp "$work/base.dic" "$work/f/words.dic"
for i in $(seq 1 3000); do printf '@big%d\n%0200d\n~~~\n' "$i" 0; done >"$work/big.txt"
out=$( (ulimit -f 2; "$tool" import "$work/f/words.dic" "$work/big.txt") 2>&1)
code=$?
[ "$code" = 4 ] || fail "ulimit -f: exit $code ($out)"
[[ "$out" == *"файл больше, чем разрешено"* ]] || fail "ulimit -f: message: $out"
cmp -s "$work/base.dic" "$work/f/words.dic" || fail "ulimit -f: the old file changed"

# A dictionary folder on a read-only mount (where mounting is allowed): reading works, saving
# says what it cannot do.
mkdir -p "$work/ro"
cp "$work/base.dic" "$work/ro/words.dic"
if mount -t tmpfs -o size=1m tmpfs "$work/ro" 2>/dev/null; then
    cp "$work/base.dic" "$work/ro/words.dic"
    mount -o remount,ro "$work/ro"
    "$tool" info "$work/ro/words.dic" >/dev/null || fail "read-only mount: info"
    out=$("$tool" import "$work/ro/words.dic" "$work/new.txt" 2>&1)
    code=$?
    [ "$code" = 4 ] || fail "read-only mount: exit $code ($out)"
    [[ "$out" == *"не записан"*"только для чтения"* ]] || fail "read-only mount: message: $out"
    cmp -s "$work/base.dic" "$work/ro/words.dic" || fail "read-only mount: the file changed"
else
    echo "read-only mount: not allowed here, skipped"
fi

[ "$failures" = 0 ] && echo "fault injection: all cases kept the old file ($size byte offsets)"
exit $((failures > 0))
