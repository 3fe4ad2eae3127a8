#!/usr/bin/env bash
# Checks that each spelling a dictd index names is a term of the converted dictionary and that
# its article does not repeat a text (an alias of the same article read twice).
# Usage: dictd_aliases.sh <termovel-dic binary> <built.dic> <term> ...
set -euo pipefail
tool=$1
dic=$2
shift 2
label=$(basename "$dic")
source "$(dirname "$0")/lib/checks.sh"

for term in "$@"; do
    article=$("$tool" lookup "$dic" "$term") || fail "\"$term\" is no term"
    # The article's texts, split at empty lines: none twice.
    repeated=$(awk 'BEGIN { RS = "" } { seen[$0]++ } END { for (t in seen) if (seen[t] > 1) n++; print n + 0 }' <<<"$article")
    [ "$repeated" -eq 0 ] || fail "\"$term\" repeats a text of its article"
done
echo "ok: $# spellings"
