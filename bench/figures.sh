#!/usr/bin/env bash
# Prints the program's headline figures as one Markdown table, with the date and the machine:
#  - start-up to the main window shown (no splash, no tip) with the bundled dictionaries, and
#    with a 1 M-term dictionary added, and the peak resident memory of both;
#  - keystroke to selected row in the real window on WordNet (the largest bundled dictionary
#    when WordNet is not built), median and p99;
#  - load and save of the 1 M-term file, the load against reading and unscrambling the file,
#    and the file's import by termovel-dic;
#  - one look-up by termovel-dic in the largest bundled dictionary against cat of the file, in
#    CPU time (bench/lookup_vs_cat.sh, which needs perf: Debian's linux-perf);
#  - one look-up in WordNet with the side index, the first one (which writes the index) and one
#    without it, against sdcv on WordNet exported to StarDict (bench/lookup_vs_sdcv.sh, which
#    installs Debian's sdcv when it is missing);
#  - the start-up load of the bundled dictionaries on every processor against one after
#    another (the benchmark BM_BundledLoad*), beside start-up to the first paint.
# Start-up is timed from outside: the program runs with TERMOVEL_EXIT_AFTER_SHOW set, which
# ends it right after the main window's first paint, under a private Xvfb.
#
# Usage: bench/figures.sh [build folder]   (default: build; needs the RelWithDebInfo build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${FIGURES_RUNS:-7}
# A look-up takes milliseconds, and its figures are ratios of close numbers: at least 21 rounds.
lookup_runs=$((runs > 21 ? runs : 21))
cmake --build "$build" --target termovel termovel-dic termovel_figures termovel_bench >/dev/null

program_dir=$build/termovel
tool=$build/src/termovel-dic
figures=$build/bench/termovel_figures
scratch=$(mktemp -d)
xvfb=""
source bench/private_display.sh
trap stop_private_display EXIT
start_private_display

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# A program folder: the binary, the bundled dictionaries, quiet settings, plus extra files.
folder() {
    local dir=$scratch/$1
    shift
    mkdir -p "$dir"
    cp "$program_dir/termovel" "$program_dir"/*.dic "$@" "$dir/"
    printf '%s\r\n' "[Main]" "EditMode=0" "ShowLogo=0" "ShowTip=0" "[List]" "Count=0" \
        "[History]" "Count=0" >"$dir/termovel.ini"
    echo "$dir"
}

# Median start-up in ms and median peak resident memory in MB over $runs runs (one warm-up).
startup() {
    local dir=$1 times=() rss=() start end dic
    # The warm-up start ends at its first paint, before an index made in the background could
    # be kept: the tool makes the same indexes first, so the timed starts are later starts.
    for dic in "$dir"/*.dic; do "$tool" lookup "$dic" "-" >/dev/null 2>&1 || true; done
    TERMOVEL_EXIT_AFTER_SHOW=1 "$dir/termovel" >/dev/null 2>&1
    for _ in $(seq "$runs"); do
        start=$(date +%s%N)
        TERMOVEL_EXIT_AFTER_SHOW=1 /usr/bin/time -f %M -o "$scratch/rss" "$dir/termovel" \
            >/dev/null 2>&1
        end=$(date +%s%N)
        times+=($(((end - start) / 1000000)))
        rss+=($(($(tail -n1 "$scratch/rss") / 1024)))
    done
    echo "$(printf '%s\n' "${times[@]}" | median) $(printf '%s\n' "${rss[@]}" | median)"
}

# --- The 1 M-term file: made as import text, imported by the tool, loaded and saved ---------
# A few generated terms repeat; 2 % more make at least a million distinct ones.
"$figures" text 1020000 "$scratch/million.txt"
/usr/bin/time -f "%e" -o "$scratch/import.time" "$tool" import "$scratch/million.dic" \
    "$scratch/million.txt" --name Million >/dev/null
import_s=$(tail -n1 "$scratch/import.time")
million_terms=$("$tool" info "$scratch/million.dic" | tail -n1 | grep -o '[0-9]*$')
eval "$("$figures" loadsave "$scratch/million.dic" | sed 's/ /=/')"

# --- One look-up with the tool in the largest bundled dictionary against cat of the file ------
largest_dic=$(ls -S "$program_dir"/*.dic | head -n1)
lookup_line=$(bench/lookup_vs_cat.sh "$tool" "$largest_dic" "$lookup_runs" | sed -n 1p)
lookup_cpu=$(sed -n 's/.*lookup: \([0-9.]*\) ms.*/\1/p' <<<"$lookup_line")
cat_cpu=$(sed -n 's/.*cat: \([0-9.]*\) ms.*/\1/p' <<<"$lookup_line")

# --- Look-up in WordNet against sdcv, with and without the side index -------------------------
wordnet=$program_dir/en_wordnet.dic
[ -f "$wordnet" ] || wordnet=$build/dics/en_wordnet.dic
eval "$(bench/lookup_vs_sdcv.sh "$tool" "$wordnet" zebra "$lookup_runs" | sed 's/^\([a-z]*\) /lookup_\1=/')"

# --- The start-up load of the bundled dictionaries: every processor against one by one --------
eval "$("$build/bench/termovel_bench" --benchmark_filter='BM_BundledLoad' \
    --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2>/dev/null |
    awk -F, '/_median/ { n = $1; gsub(/"/, "", n); sub(/\/.*/, "", n); sub(/BM_BundledLoad/, "", n);
                         printf "load_%s_ms=%.1f\n", tolower(n), $3 }')"

# --- Start-up and memory ----------------------------------------------------------------------
bundled=$(folder bundled)
read -r start_bundled rss_bundled < <(startup "$bundled")
with_million=$(folder million "$scratch/million.dic")
read -r start_million rss_million < <(startup "$with_million")
bundled_count=$(ls "$bundled"/*.dic | wc -l)

# --- Keystrokes in the real window ------------------------------------------------------------
typing_dic=$program_dir/wn.dic
[ -f "$typing_dic" ] || typing_dic=$(ls -S "$program_dir"/*.dic | head -n1)
eval "$("$figures" keystrokes "$typing_dic" | sed 's/ /=/')"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / (b > 0 ? b : 0.1) }'; }
status() { awk -v v="$1" -v t="$2" 'BEGIN { print (v < t) ? "met" : "missed" }'; }

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
echo "Figures of $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores of $cpu, $(($(sed -n 's/^MemTotal: *\([0-9]*\).*/\1/p' /proc/meminfo) / 1024 / 1024)) GB;"
echo "load average at the end $(cut -d' ' -f1-3 /proc/loadavg); medians of $runs runs ($lookup_runs for the look-ups)."
echo
echo "| Figure | Value | Target |"
echo "|---|---|---|"
echo "| Start-up to the main window shown, $bundled_count bundled dictionaries | ${start_bundled} ms | < 150 ms ($(status "$start_bundled" 150)) |"
echo "| Start-up with a ${million_terms}-term dictionary added | ${start_million} ms | < 1000 ms ($(status "$start_million" 1000)) |"
echo "| Peak resident memory, bundled dictionaries | ${rss_bundled} MB | < 100 MB ($(status "$rss_bundled" 100)) |"
echo "| Peak resident memory, 1 M-term dictionary added | ${rss_million} MB | |"
echo "| Keystroke to selection, $(basename "$typing_dic") ($terms terms, $keystrokes keys), median | ${key_median_ms} ms | |"
echo "| Keystroke to selection, p99 | ${key_p99_ms} ms | < 2 ms ($(status "$key_p99_ms" 2)) |"
echo "| LoadFromFile, 1 M terms | ${load_ms} ms | |"
echo "| LoadFromFile against reading and unscrambling the file (${read_ms} ms) | $(ratio "$load_ms" "$read_ms") × | < 1.5 × ($(status "$(ratio "$load_ms" "$read_ms")" 1.5)) |"
echo "| termovel-dic lookup in $(basename "$largest_dic") against cat of it, CPU (${lookup_cpu} / ${cat_cpu} ms) | $(ratio "$lookup_cpu" "$cat_cpu") × | < 3 × ($(status "$(ratio "$lookup_cpu" "$cat_cpu")" 3)) |"
echo "| termovel-dic lookup in $(basename "$wordnet") with its index against sdcv on the StarDict export, CPU (${lookup_indexed} / ${lookup_sdcv} ms) | $(ratio "$lookup_indexed" "$lookup_sdcv") × | ≤ 0.5 × ($(status "$(ratio "$lookup_indexed" "$lookup_sdcv")" 0.501)) |"
echo "| First look-up (writing the index) against the walk without it, CPU (${lookup_first} / ${lookup_walk} ms) | $(ratio "$lookup_first" "$lookup_walk") × | ≤ 1 × ($(status "$(ratio "$lookup_first" "$lookup_walk")" 1.001)) |"
echo "| Start-up load of the bundled dictionaries on $(nproc) threads against one by one (${load_parallel_ms} / ${load_serial_ms} ms) | $(ratio "$load_parallel_ms" "$load_serial_ms") × | ≤ 0.6 × ($(status "$(ratio "$load_parallel_ms" "$load_serial_ms")" 0.601)) |"
echo "| SaveToFile, 1 M terms | ${save_ms} ms | |"
echo "| termovel-dic import of 1 M terms (text to new .dic) | ${import_s} s | |"
