#!/usr/bin/env bash
# Checks the Russian–English dictionary built from Mueller's as a reader meets it: the first
# line of frequent everyday words names their everyday translation, the function words are
# terms with a right translation, senses whose text opens with a note in parentheses keep their
# Russian word, and the keys that are no Russian headwords stay below half a per cent.
# Usage: ru_en_mueller.sh <termovel-dic binary> <ru_en_mueller.dic> <everyday words table>
set -euo pipefail
tool=$1
dic=$2
everyday=$3
label=$(basename "$dic")
source "$(dirname "$0")/lib/checks.sh"

# The English headword of a term's first line ("cat (n.): кот; кошка" names cat), empty when
# the term is missing.
firstHeadword() {
    local line
    line=$("$tool" lookup "$dic" "$1" 2>/dev/null | head -n 1) || true
    line=${line%%: *}
    echo "${line% (*}"
}

# Whether the first line of each word names one of the English words given ("a|b").
# Prints the misses; returns the number of words right.
countRight() {
    local right=0 russian english first
    while IFS=$'\t' read -r russian english; do
        [[ -z $russian || $russian == \#* ]] && continue
        first=$(firstHeadword "$russian")
        if [[ "|$english|" == *"|$first|"* ]]; then
            right=$((right + 1))
        else
            echo "  $russian: \"$first\", expected $english" >&2
        fi
    done
    echo "$right"
}

# Frequent everyday words (the most frequent nouns, verbs and adjectives of a frequency
# dictionary of Russian): at least 95 % open with their everyday translation.
words=$(grep -cv '^\(#\|$\)' "$everyday")
right=$(countRight <"$everyday")
echo "everyday words: $right of $words first lines right"
[ $((right * 100)) -ge $((words * 95)) ] || fail "only $right of $words everyday words open right"

# Function words, senses opening with a parenthesis and compounds the source glued: every row
# right.
rows=$'и\tand
можно\tmay|can
нужно\tneed|must
надо\tmust|have to
нельзя\tmust not|cannot
бы\twould
этот\tthis
мы\twe
на\ton
с\twith
до\tto|until|before
если\tif
писать\twrite
забывать\tforget
прятать\thide
ось\taxis
бактерия\tbacterium
альбинос\talbino
акрополь\tacropolis
адажио\tadagio
краснокожий\tred man
машина полицейского патруля\tprowl car'
right=$(countRight <<<"$rows")
[ "$right" -eq "$(wc -l <<<"$rows")" ] || fail "function words, parenthesis senses or compounds wrong"

# Keys that are no Russian headwords: a fragment ending in "и пр", the editorial "в сложных
# словах …", a relative clause or a contrast of more than one word taken for a headword
# ("где …", "что …", "который …", "когда …", "а …", "но …", "в котором …"), a description
# ("указывает …", "употр. …"), or an unbalanced quote. Set phrases that open so are words.
list=$("$tool" list "$dic")
terms=$(wc -l <<<"$list")
noise=$(grep -E \
    -e ' и пр$' -e '^в сложных словах' \
    -e '^(где|куда|откуда|когда|котор[^ ]+|что|чтобы|а|но|и) ' -e '^[^ ]+ (котор|кому |чем )' \
    -e '^(указывает|выражает|означает|употр|служит|передаётся)' -e '^[^"]*"[^"]*$' <<<"$list" |
    grep -cvE '^(где|когда|куда|что|кто) (бы|угодно|же|касается)|^(а|и) (именно|то|также|так далее|тот и другой)$' || true)
echo "noise keys: $noise of $terms"
[ $((noise * 1000)) -lt $((terms * 5)) ] || fail "$noise noise keys of $terms terms (0.5 % at most)"
echo "ok"
