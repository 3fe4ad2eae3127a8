#!/usr/bin/env bash
# Every bundled dictionary exported to StarDict and converted back gives the same terms and
# articles: the tab forms (one line per term, term TAB article) of both agree, header aside.
# Usage: stardict_round_trip.sh <termovel-dic binary> <folder of the built .dic files>
set -euo pipefail
tool=$1
dics=$2
export LC_ALL=C.UTF-8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
found=0
for dic in "$dics"/*.dic; do
    [ -e "$dic" ] || continue
    found=$((found + 1))
    stem=$(basename "$dic" .dic)
    "$tool" export --stardict "$dic" "$work/$stem.ifo" >/dev/null
    "$tool" from-stardict "$work/$stem.ifo" "$work/$stem.dic" >/dev/null
    if ! cmp -s <("$tool" export --tab "$dic" | LC_ALL=C grep -av '^#') \
                <("$tool" export --tab "$work/$stem.dic" | LC_ALL=C grep -av '^#'); then
        echo "FAIL ($stem): the StarDict copy converts back to other terms or articles" >&2
        diff <("$tool" export --tab "$dic" | LC_ALL=C grep -av '^#') \
             <("$tool" export --tab "$work/$stem.dic" | LC_ALL=C grep -av '^#') | head -n 10 >&2
        exit 1
    fi
done
[ "$found" -gt 0 ] || { echo "FAIL: no dictionaries in $dics (build the bundled_dics target)" >&2; exit 1; }
echo "round trip through StarDict: $found dictionaries"
