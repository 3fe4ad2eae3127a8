#!/usr/bin/env bash
# Checks one bundled dictionary against its text source: the source is Windows-1251 (an editor
# that saved it as UTF-8 would ship mojibake), every "@" block became a term (a block left
# without its "~~~" swallows the blocks after it, a repeated term is dropped), the built file
# passes verify, its header is filled in when the source has a .name file (the description
# naming the licence), and every term that an article points to with "См. также:" or
# "Синонимы:" exists.
# Usage: bundled_source.sh <termovel-dic binary> <source.txt> <built.dic>
set -euo pipefail
tool=$1
src=$2
dic=$3
name_file=${src%.txt}.name
label=$(basename "$src")
source "$(dirname "$0")/lib/checks.sh"

if LC_ALL=C grep -q $'[\x80-\xff]' "$src" && iconv -f UTF-8 -t UTF-8 "$src" >/dev/null 2>&1; then
    fail "the source is UTF-8; the import reads Windows-1251"
fi
utf8=$(iconv -f CP1251 -t UTF-8 "$src") || fail "bytes that Windows-1251 does not define"

checkBuilt "$([ -f "$name_file" ] && echo header)"

# The text is wrapped at a fixed width: a short line that a line opening with a small letter
# continues is a line break left inside a sentence.
previous=""
number=0
while IFS= read -r line; do
    number=$((number + 1))
    if [[ -n $previous && $previous != @* && ${#previous} -lt 50 && $line =~ ^[[:lower:]] ]]; then
        fail "a line break inside a sentence after line $((number - 1)): $previous"
    fi
    previous=$line
done <<<"$utf8"

blocks=$(grep -c '^[[:space:]]*@' <<<"$utf8" || true)
ends=$(grep -c '^[[:space:]]*~~~[[:space:]]*$' <<<"$utf8" || true)
terms=$("$tool" list "$dic" | wc -l)
[ "$blocks" -eq "$ends" ] || fail "$blocks \"@\" lines but $ends \"~~~\" lines"
[ "$blocks" -eq "$terms" ] || fail "$blocks blocks in the source but $terms terms in $dic"

# Terms are compared ignoring letter case, as the dictionary compares them.
declare -A known=()
while IFS= read -r term; do
    known["${term,,}"]=1
done < <("$tool" list "$dic")
missing=0
while IFS= read -r ref; do
    if [ -z "${known["${ref,,}"]+set}" ]; then
        echo "a reference names no term: $ref" >&2
        missing=1
    fi
done < <(sed -n 's/^[[:space:]]*\(См\. также\|Синонимы\): *//p' <<<"$utf8" |
         sed 's/[.[:space:]]*$//' | tr ',' '\n' | sed 's/^ *//; s/ *$//' | grep -v '^$' | sort -u)
[ "$missing" -eq 0 ] || fail "references to missing terms"
echo "ok: $terms terms"
