#!/usr/bin/env bash
# One look-up with termovel-dic against sdcv, the StarDict console reader, on the same
# dictionary in the same run: the dictionary is exported with termovel-dic export --stardict
# into a private data folder for sdcv. Prints the median CPU time (perf's task-clock, as
# bench/lookup_vs_cat.sh measures it) over RUNS runs of
#   sdcv       sdcv -n --data-dir DIR TERM (its own index cache made by a first run)
#   indexed    termovel-dic lookup with its side index in place
#   first      termovel-dic lookup that walks the file and writes the index (none before it)
#   walk       termovel-dic lookup --no-index, the walk alone
# as "name ms" lines. Targets: indexed at most 0.5 × sdcv; first no slower than walk.
# Installs Debian's sdcv when it is missing (needs root or sudo).
# Usage: bench/lookup_vs_sdcv.sh TOOL DICTIONARY.dic [TERM] [RUNS]
set -euo pipefail
tool=$1
dic=$2
term=${3:-zebra}
runs=${4:-21}
if ! command -v sdcv >/dev/null; then
    if [ "$(id -u)" -eq 0 ]; then apt-get install -y sdcv >/dev/null; else sudo apt-get install -y sdcv >/dev/null; fi
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A home of its own: both programs keep their caches there, nothing of the user's is touched.
export HOME=$work/home XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$work/sdcv/dic" "$XDG_CACHE_HOME"
"$tool" export --stardict "$dic" "$work/sdcv/dic/dictionary.ifo" >/dev/null
sdcv_run() { sdcv -n --data-dir "$work/sdcv" "$term"; }

# CPU milliseconds (perf's task-clock) of one run of the command.
cpu_ms() { perf stat -x, -e task-clock "$@" 2>&1 >/dev/null | awk -F, '/task-clock/ { print $1 }'; }
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

cat "$dic" "$work/sdcv/dic"/* >/dev/null  # into the page cache
sdcv_run >/dev/null                        # sdcv's own index cache
sdcv_run | grep -q . || { echo "sdcv found nothing for $term" >&2; exit 1; }
"$tool" lookup "$dic" "$term" >/dev/null    # the side index
# The four are taken in turn, round after round, so that a machine whose speed drifts during the
# run weighs on each of them alike.
: >"$work/times"
for ((i = 0; i < runs; i++)); do
    echo "sdcv $(cpu_ms sdcv -n --data-dir "$work/sdcv" "$term")" >>"$work/times"
    echo "indexed $(cpu_ms "$tool" lookup "$dic" "$term")" >>"$work/times"
    rm -rf "$XDG_CACHE_HOME/termovel"
    echo "first $(cpu_ms "$tool" lookup "$dic" "$term")" >>"$work/times"
    echo "walk $(cpu_ms "$tool" lookup "$dic" "$term" --no-index)" >>"$work/times"
done
for name in sdcv indexed first walk; do
    echo "$name $(awk -v n="$name" '$1 == n { print $2 }' "$work/times" | median)"
done
