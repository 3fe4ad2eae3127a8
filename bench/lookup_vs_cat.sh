#!/usr/bin/env bash
# One look-up with the tool in a large dictionary against reading the file with cat, in the same
# run: the look-up's whole cost over the disk cache's. The look-up walks the file (--no-index):
# the side index would spare it the reading that this compares. Prints the median CPU time (perf's
# task-clock, so a busy machine's waiting is not counted) of each over RUNS runs and their ratio;
# the target is a ratio within 3.
# Usage: bench/lookup_vs_cat.sh TOOL [DICTIONARY.dic] [RUNS]
# Without a dictionary, a 30 MB one of 400 000 synthetic terms is made first.
set -euo pipefail
tool=$1
runs=${3:-21}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dic=${2:-}
if [ -z "$dic" ]; then
    dic=$work/big.dic
    awk 'BEGIN { srand(1); split("dog cat tree house river stone light water green quick", w);
                 for (i = 0; i < 400000; i++) {
                     printf "@%s%d\n", w[int(rand() * 10) + 1], i;
                     line = ""; for (k = 0; k < 12; k++) line = line w[int(rand() * 10) + 1] " ";
                     printf "%s\n~~~\n", line } }' >"$work/big.txt"
    "$tool" import "$dic" "$work/big.txt" >/dev/null
fi
term=$("$tool" list "$dic" 2>/dev/null | head -n 1 || true)

# Median CPU milliseconds (perf's task-clock) of running the command RUNS times.
cpu_ms() { perf stat -x, -e task-clock "$@" 2>&1 >/dev/null | awk -F, '/task-clock/ { print $1 }'; }
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
cat "$dic" >/dev/null  # into the page cache
# The two in turn, so that a machine whose speed drifts weighs on both alike.
for ((i = 0; i < runs; i++)); do
    echo "lookup $(cpu_ms "$tool" lookup "$dic" "$term" --no-index)"
    echo "cat $(cpu_ms cat "$dic")"
done >"$work/times"
lookup=$(awk '$1 == "lookup" { print $2 }' "$work/times" | median)
cat_ms=$(awk '$1 == "cat" { print $2 }' "$work/times" | median)
echo "file: $(stat -c %s "$dic") bytes; lookup: ${lookup} ms; cat: ${cat_ms} ms (CPU, median of $runs)"
awk -v a="$lookup" -v b="$cat_ms" 'BEGIN { printf "ratio lookup/cat: %.2f (target 3)\n", a / (b > 0 ? b : 0.1) }'
