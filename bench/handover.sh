#!/usr/bin/env bash
# Times the hand-over to a running program under a private Xvfb: from the start of
# "termovel --lookup WORD" to the word's translation window on the screen, the program already
# running, 20 times with 20 different words (each opens a new window). Prints each time and the
# median, in milliseconds.
#
# Usage: bench/handover.sh build/termovel/termovel build/src/termovel-dic
set -euo pipefail

termovel=$(realpath "$1")
termovel_dic=$(realpath "$2")
artefacts=$(mktemp -d)
runs=20

source "$(dirname "$0")/../tests/e2e/lib/harness.sh"
pids+=()

app=$work/app
mkdir -p "$app"
cp "$termovel" "$app/termovel"
for i in $(seq -w 1 $runs); do
    printf '%s\n' "@word$i" "article $i" "~~~"
done >"$work/words.txt"
"$termovel_dic" import "$app/words.dic" "$work/words.txt" --name Words >/dev/null
printf '%s\r\n' "[Main]" "EditMode=0" "ShowLogo=0" "ShowTip=0" "[List]" "Count=0" \
    "[History]" "Count=0" >"$app/termovel.ini"
"$app/termovel" >"$artefacts/termovel.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/termovel.socket" ] && break
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/termovel.socket" ] || fail "the program did not start"
sleep 1

shown() { xwininfo -root -children | grep -c '"Перевод"' || true; }
times=()
for i in $(seq -w 1 $runs); do
    before=$(shown)
    start=$(date +%s%N)
    "$app/termovel" --lookup "word$i"
    until [ "$(shown)" -gt "$before" ]; do :; done
    times+=($((($(date +%s%N) - start) / 1000000)))
done
echo "hand-over times (ms): ${times[*]}"
printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END {
    m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
    printf "median of %d: %s ms\n", NR, m }'
rm -rf "$artefacts"
