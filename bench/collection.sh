#!/usr/bin/env bash
# Prints, as one Markdown table, how the program copes with a large collection of dictionaries:
#  - start-up to the main window shown with the collection, as a ratio to start-up with no
#    dictionaries at all (second and later starts: one warm-up start first, then medians);
#  - resident memory right after that first paint, with the collection, with the bundled
#    dictionaries alone and with none (the program reports it itself: TERMOVEL_REPORT_RSS), and
#    the peak of the whole run beside it;
#  - keystroke to selected row and tab change in the real window over the collection, and
#    reading a random term's article as the translation window does, median and p99 in wall
#    time (the targets) and p99 in CPU time (what is left of it on a busy machine);
#  - start-up and resident memory with every installed dictd database and StarDict dictionary
#    (/usr/share/dictd, /usr/share/stardict/dic) read where it lies, each named by its full path
#    in the list's [Sources] section and its term index made once before the timing, against
#    the same empty start and beside the sources' bytes.
# The collection is the build's bundled dictionaries plus dictionaries of Debian converted by
# termovel-dic (GCIDE, Littré, FreeDict English–Russian, a Czech one, more FreeDict while the
# whole is under 300 MB). Its converted part is made once, on the first run, in
# ${TERMOVEL_BENCH_CACHE:-~/.cache/termovel-bench}/collection; only then does the script
# install the Debian packages it converts (apt-get, as root). Start-up is timed from outside,
# with TERMOVEL_EXIT_AFTER_SHOW set, under a private Xvfb, as bench/figures.sh does.
#
# Usage: bench/collection.sh [build folder]   (default: build; needs the RelWithDebInfo build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${COLLECTION_RUNS:-7}
cmake --build "$build" --target termovel termovel-dic termovel_figures bundled_dics >/dev/null

program_dir=$build/termovel
tool=$build/src/termovel-dic
figures=$build/bench/termovel_figures
cache=${TERMOVEL_BENCH_CACHE:-$HOME/.cache/termovel-bench}
collection=$cache/collection
mkdir -p "$collection"

# --- The converted part of the collection, made once ------------------------------------------
min_bytes=300000000
bytes_of() { cat "$@" /dev/null | wc -c; }
collection_bytes() { bytes_of "$program_dir"/*.dic "$collection"/*.dic 2>/dev/null; }

need_package() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed' && return
    [ "$(id -u)" = 0 ] || { echo "collection.sh: install $1 (apt-get install $1)" >&2; exit 1; }
    # Another apt may hold the lock for a while.
    for _ in $(seq 30); do
        DEBIAN_FRONTEND=noninteractive apt-get install -y "$1" >/dev/null 2>&1 && return
        sleep 10
    done
    echo "collection.sh: apt-get could not install $1" >&2
    exit 1
}

# convert OUT.dic PACKAGE NAME COMMAND INPUT...: the package's files converted into the
# collection, unless done before. Written under another name first, so that an interrupted
# conversion is done again on the next run.
convert() {
    local out=$collection/$1 package=$2 name=$3 command=$4
    shift 4
    [ -f "$out" ] && return
    need_package "$package"
    echo "collection.sh: converting $package into $out" >&2
    nice "$tool" "$command" "$@" "$cache/partial.tmp.dic" --force --name "$name" \
        >"$cache/partial.log" 2>&1 || { cat "$cache/partial.log" >&2; exit 1; }
    mv "$cache/partial.tmp.dic" "$out"
}

dictd=/usr/share/dictd
stardict=/usr/share/stardict/dic
convert gcide.dic dict-gcide "GCIDE" from-dictd "$dictd/gcide.index" "$dictd/gcide.dict.dz"
convert littre.dic stardict-xmlittre "Littre" from-stardict "$stardict/XMLittre.ifo"
convert freedict_eng_rus.dic dict-freedict-eng-rus "FreeDict English–Russian" from-dictd \
    "$dictd/freedict-eng-rus.index" "$dictd/freedict-eng-rus.dict.dz"
convert czech_cizi.dic stardict-czech "Czech foreign words" from-stardict "$stardict/czech-cizi.ifo"
for pair in eng-deu deu-eng eng-fra fra-eng; do
    [ "$(collection_bytes)" -ge "$min_bytes" ] && break
    convert "freedict_${pair//-/_}.dic" "dict-freedict-$pair" "FreeDict $pair" from-dictd \
        "$dictd/freedict-$pair.index" "$dictd/freedict-$pair.dict.dz"
done

# --- Program folders, beside the collection so that its files can be hard links ---------------
scratch=$(mktemp -d "$cache/run.XXXXXX")
xvfb=""
source bench/private_display.sh
trap stop_private_display EXIT
start_private_display
# Indexes and other cached files of this run only: the warm-up start (and termovel-dic before
# it) makes whatever the program keeps there.
export XDG_CACHE_HOME=$scratch/cache

# A program folder: the binary, quiet settings and the given dictionaries.
folder() {
    local dir=$scratch/$1
    shift
    mkdir -p "$dir"
    cp "$program_dir/termovel" "$dir/"
    for file in "$@"; do cp -l "$file" "$dir/" 2>/dev/null || cp -p "$file" "$dir/"; done
    printf '%s\r\n' "[Main]" "EditMode=0" "ShowLogo=0" "ShowTip=0" "[List]" "Count=0" \
        "[History]" "Count=0" >"$dir/termovel.ini"
    echo "$dir"
}
empty=$(folder empty)
bundled=$(folder bundled "$program_dir"/*.dic)
full=$(folder collection "$program_dir"/*.dic "$collection"/*.dic)
full_bytes=$(bytes_of "$full"/*.dic)
full_count=$(ls "$full"/*.dic | wc -l)
bundled_count=$(ls "$bundled"/*.dic | wc -l)
contents=$(for f in "$full"/*.dic; do
    printf '%s %s MB\n' "$(basename "$f" .dic)" "$(awk -v b="$(bytes_of "$f")" 'BEGIN { printf "%.1f", b / 1e6 }')"
done | sort -k2 -g -r | paste -sd, | sed 's/,/, /g')

# termovel-dic writes its look-up index of each file (a look-up of a term no file has).
for f in "$bundled"/*.dic "$full"/*.dic; do "$tool" lookup "$f" zzzzqqqq >/dev/null 2>&1 || true; done

# --- The installed dictionaries of other programs, read in place -----------------------------
# Each dictd index with its data beside it, each StarDict description at any depth.
sources=()
for index in "$dictd"/*.index; do
    [ -f "${index%.index}.dict" ] || [ -f "${index%.index}.dict.dz" ] || continue
    sources+=("$index")
done
while IFS= read -r -d '' ifo; do sources+=("$ifo"); done < <(
    find "$stardict" -name '*.ifo' -print0 2>/dev/null | sort -z)
[ "${#sources[@]}" -gt 0 ] || { echo "collection.sh: no dictd or StarDict dictionary installed" >&2; exit 1; }
# The files a source is read from.
files_of() {
    local base
    case $1 in
    *.index) base=${1%.index} && set -- "$1" "$base.dict" "$base.dict.dz" ;;
    *.ifo) base=${1%.ifo} && set -- "$1" "$base.idx" "$base.idx.gz" "$base.dict" "$base.dict.dz" "$base.syn" ;;
    esac
    for f in "$@"; do [ -f "$f" ] && echo "$f"; done
    return 0
}
sources_bytes=$(for s in "${sources[@]}"; do files_of "$s"; done | xargs -d '\n' stat -L -c %s |
    awk '{ b += $1 } END { print b + 0 }')
in_place=$(folder in_place)
{
    printf '%s\r\n' "[Main]" "EditMode=0" "ShowLogo=0" "ShowTip=0" "[List]" "Count=0" \
        "[History]" "Count=0" "[Sources]"
    for i in "${!sources[@]}"; do printf 'N%d=+%s\r\n' $((i + 1)) "${sources[$i]}"; done
    printf 'Count=%d\r\n' "${#sources[@]}"
} >"$in_place/termovel.ini"
# Each source's term index, made once by termovel-dic into the cache the program reads: a start
# then opens every tab from its index (a source without one would only get a tab to prepare).
for s in "${sources[@]}"; do
    "$tool" info "$s" >/dev/null 2>"$scratch/stderr" || {
        echo "collection.sh: termovel-dic could not index $s:" >&2
        cat "$scratch/stderr" >&2
        exit 1
    }
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# One start: "ms rss_kb peak_kb"; a start that fails or reports no memory ends the script.
start_once() {
    local dir=$1 start end rss
    start=$(date +%s%N)
    TERMOVEL_EXIT_AFTER_SHOW=1 TERMOVEL_REPORT_RSS=1 /usr/bin/time -f %M -o "$scratch/peak" \
        "$dir/termovel" >/dev/null 2>"$scratch/stderr" || { cat "$scratch/stderr" >&2; return 1; }
    end=$(date +%s%N)
    rss=$(sed -n 's/^rss_kb=//p' "$scratch/stderr" | tail -n1)
    [ -n "$rss" ] || { echo "collection.sh: $dir/termovel reported no memory" >&2; return 1; }
    echo "$(((end - start) / 1000000)) $rss $(tail -n1 "$scratch/peak")"
}

# --- Start-up and memory: a warm-up start of each, then the three taken in turn ---------------
for dir in "$empty" "$bundled" "$full" "$in_place"; do start_once "$dir" >/dev/null; done
: >"$scratch/starts"
for _ in $(seq "$runs"); do
    for name in empty bundled collection in_place; do
        line=$(start_once "$scratch/$name")
        echo "$name $line" >>"$scratch/starts"
    done
done
# figure NAME FIELD: the median of one column of one kind of start.
figure() { awk -v n="$1" -v f="$2" '$1 == n { print $f }' "$scratch/starts" | median; }
mib() { awk -v kb="$1" 'BEGIN { printf "%.0f", kb / 1024 }'; }
for name in empty bundled collection in_place; do
    eval "start_$name=$(figure $name 2) rss_$name=$(mib "$(figure $name 3)") peak_$name=$(mib "$(figure $name 4)")"
done

# --- Keystrokes, tab changes and articles in the real window ----------------------------------
eval "$("$figures" collection "$full" | sed 's/ /=/')"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / (b > 0 ? b : 0.1) }'; }
status() { awk -v v="$1" -v t="$2" 'BEGIN { print (v <= t) ? "met" : "missed" }'; }
below() { awk -v v="$1" -v t="$2" 'BEGIN { print (v < t) ? "met" : "missed" }'; }
start_ratio=$(ratio "$start_collection" "$start_empty")
mb=$((full_bytes / 1000000))
rss_target=$(awk -v b="$full_bytes" 'BEGIN { printf "%.0f", 60 + 0.03 * b / 1048576 }')
in_place_ratio=$(ratio "$start_in_place" "$start_empty")
in_place_mb=$(awk -v b="$sources_bytes" 'BEGIN { printf "%.1f", b / 1e6 }')
in_place_target=$(awk -v b="$sources_bytes" 'BEGIN { printf "%.0f", 60 + 0.03 * b / 1048576 }')

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
echo "Figures of $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores of $cpu, $(($(sed -n 's/^MemTotal: *\([0-9]*\).*/\1/p' /proc/meminfo) / 1024 / 1024)) GB;"
echo "load average at the end $(cut -d' ' -f1-3 /proc/loadavg); medians of $runs runs after a warm-up start."
echo "The collection: $full_count dictionaries, $mb MB ($contents)."
echo "Read in place: ${#sources[@]} installed dictionaries, $sources_bytes bytes of their files ($(for s in "${sources[@]}"; do basename "$s"; done | paste -sd, | sed 's/,/, /g'))."
echo
echo "| Figure | Value | Target |"
echo "|---|---|---|"
echo "| Start-up to the main window shown, no dictionaries | ${start_empty} ms | |"
echo "| Start-up, $bundled_count bundled dictionaries | ${start_bundled} ms | |"
echo "| Start-up, the collection ($full_count dictionaries, $mb MB) | ${start_collection} ms | |"
echo "| Start-up with the collection against none | ${start_ratio} × | ≤ 1.3 × ($(status "$start_ratio" 1.3)) |"
echo "| Resident memory after start-up, no dictionaries | ${rss_empty} MB | |"
echo "| Resident memory after start-up, bundled dictionaries | ${rss_bundled} MB | ≤ 60 MB ($(status "$rss_bundled" 60)) |"
echo "| Resident memory after start-up, the collection | ${rss_collection} MB | ≤ 60 MB + 3 % of $mb MB = $rss_target MB ($(status "$rss_collection" "$rss_target")) |"
echo "| Start-up, ${#sources[@]} installed dictd and StarDict dictionaries read in place ($in_place_mb MB) | ${start_in_place} ms | |"
echo "| Start-up read in place against none | ${in_place_ratio} × | ≤ 1.3 × ($(status "$in_place_ratio" 1.3)) |"
echo "| Resident memory after start-up, read in place ($sources_bytes bytes of sources) | ${rss_in_place} MB | ≤ 60 MB + 3 % of $in_place_mb MB = $in_place_target MB ($(status "$rss_in_place" "$in_place_target")) |"
echo "| Peak resident memory of the whole run: none, bundled, the collection, read in place | ${peak_empty}, ${peak_bundled}, ${peak_collection}, ${peak_in_place} MB | |"
echo "| Keystroke to selection over the collection ($keystrokes keys in $dics tabs, $missed missed), median | ${key_median_ms} ms | |"
echo "| Keystroke to selection, p99 (in CPU time ${key_cpu_p99_ms} ms) | ${key_p99_ms} ms | < 2 ms ($(below "$key_p99_ms" 2)) |"
echo "| Tab change ($tab_changes among $dics tabs), median | ${tab_median_ms} ms | |"
echo "| Tab change, p99 (in CPU time ${tab_cpu_p99_ms} ms) | ${tab_p99_ms} ms | < 2 ms ($(below "$tab_p99_ms" 2)) |"
echo "| Article of a random term read as the translation window does ($articles), median | ${article_median_ms} ms | |"
echo "| Article read, p99 (in CPU time ${article_cpu_p99_ms} ms) | ${article_p99_ms} ms | < 1 ms ($(below "$article_p99_ms" 1)) |"
