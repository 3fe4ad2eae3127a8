#!/usr/bin/env bash
# Checks the chemical elements dictionary against its table: 118 rows numbered 1 to 118, each
# row's group, period and block where the atomic number puts it in the periodic table, and each
# element found under its Russian name, its English name and its symbol, all three leading to
# the article of that element; the dictionary holds nothing else and has its header.
# Usage: elements_table.sh <termovel-dic binary> <en_elements.tsv> <en_elements.dic>
set -euo pipefail
tool=$1
table=$2
dic=$3
label=elements
source "$(dirname "$0")/lib/checks.sh"

# Where atomic number z stands: "group period block", group "-" for the f-block elements
# before lutetium and lawrencium.
place() {
    local z=$1 starts=(1 3 11 19 37 55 87 119) p=0
    while [ "$z" -ge "${starts[p + 1]}" ]; do p=$((p + 1)); done
    local i=$((z - starts[p])) period=$((p + 1))
    if [ "$period" -eq 1 ]; then
        [ "$z" -eq 1 ] && echo "1 1 s" || echo "18 1 s"
    elif [ "$i" -lt 2 ]; then
        echo "$((i + 1)) $period s"
    elif [ "$period" -le 3 ]; then
        echo "$((i + 11)) $period p"
    elif [ "$period" -le 5 ]; then
        local g=$((i + 1))
        [ "$g" -le 12 ] && echo "$g $period d" || echo "$g $period p"
    elif [ "$i" -lt 16 ]; then
        echo "- $period f"
    else
        local g=$((i - 13))
        [ "$g" -le 12 ] && echo "$g $period d" || echo "$g $period p"
    fi
}

checkBuilt header

# The first line of each term's article, by term.
declare -A heading=()
while IFS=$'\t' read -r term line; do
    heading["$term"]=$line
done < <("$tool" export "$dic" | iconv -f CP1251 -t UTF-8 |
         awk '/^@/ { term = substr($0, 2); first = 1; next }
              first { print term "\t" $0; first = 0 }')

rows=0
while IFS=$'\t' read -r z symbol english russian _weight group period block _year; do
    rows=$((rows + 1))
    [ "$z" = "$rows" ] || fail "row $rows holds atomic number $z"
    [ "$group $period $block" = "$(place "$z")" ] ||
        fail "$symbol: group, period, block \"$group $period $block\", expected \"$(place "$z")\""
    for term in "$russian" "$english" "$symbol"; do
        [ "${heading["$term"]-}" = "$russian — $english, $symbol" ] ||
            fail "\"$term\" does not lead to the article of $english: \"${heading["$term"]-}\""
    done
done < <(grep -v '^#' "$table")
[ "$rows" -eq 118 ] || fail "$rows rows, 118 elements expected"
[ "${#heading[@]}" -eq $((3 * rows)) ] || fail "${#heading[@]} terms for $rows elements"
echo "ok: $rows elements, ${#heading[@]} terms"
