#!/usr/bin/env bash
# How much of real text the bundled dictionaries answer: running words sampled from a Debian
# package's message catalogues (English messages and their Russian translations, written by
# people for people), each looked up with termovel-dic in the Russian–English dictionary
# (Cyrillic words) or the English–Russian one (Latin words). Prints per language the share of
# running words answered exactly (what a look-up did before word forms, and what --exact does),
# through ё/е or a dictionary form, and not at all.
#
# Usage: bench/coverage.sh build/src/termovel-dic [DICS_FOLDER] [WORDS] [CATALOGUE.mo...]
#   DICS_FOLDER  the built dictionaries (build/dics)
#   WORDS        running words sampled per language (400)
#   CATALOGUE    Russian catalogues (/usr/share/locale/ru/LC_MESSAGES/coreutils.mo, package
#                coreutils, and apt.mo, package apt)
# The sample is drawn with a fixed seed, so two runs over the same files see the same words.
# Proper names are left aside: a capitalised word that does not begin a sentence is skipped.
#
# It also prints, per language, how well word forms do their part: among the running words
# whose dictionary form is a term, the share that get it. A word answered (exactly or through
# forms) counts as one whose form is a term and that got it. A word not answered is looked up
# in bench/coverage_lemmas.tsv, its dictionary forms labelled by hand: when one of them is a
# term of the dictionary (an exact look-up answers it) the word should have been answered and
# counts as missed; when none is, the dictionary lacks the word (a gap of its content, not of
# word forms) and it is left out. A word not answered and not labelled is listed so it can be
# labelled, and left out too.
set -euo pipefail
tool=${1:?usage: bench/coverage.sh TERMOVEL-DIC [DICS_FOLDER] [WORDS] [CATALOGUE.mo...]}
dics=${2:-$(dirname "$tool")/../dics}
words=${3:-400}
shift $(( $# < 3 ? $# : 3 ))
catalogues=("$@")
if [ ${#catalogues[@]} -eq 0 ]; then
    catalogues=(/usr/share/locale/ru/LC_MESSAGES/coreutils.mo /usr/share/locale/ru/LC_MESSAGES/apt.mo)
fi
for f in "$tool" "$dics/ru_en_mueller.dic" "$dics/en_ru_mueller.dic" "${catalogues[@]}"; do
    [ -e "$f" ] || { echo "coverage.sh: $f is missing" >&2; exit 2; }
done
lemmas=$(dirname "$0")/coverage_lemmas.tsv
[ -e "$lemmas" ] || { echo "coverage.sh: $lemmas is missing" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache LC_ALL=C.UTF-8

# One line per distinct sampled word: language, count, word.
python3 - "$words" "${catalogues[@]}" > "$work/sample" <<'PY'
import random, re, struct, sys
from collections import Counter

def catalogue(path):
    data = open(path, 'rb').read()
    magic = struct.unpack('<I', data[:4])[0]
    order = '<' if magic == 0x950412de else '>'
    n, originals, translations = struct.unpack(order + '3I', data[8:20])
    def string(table, i):
        length, offset = struct.unpack(order + '2I', data[table + 8 * i: table + 8 * i + 8])
        return data[offset: offset + length].decode('utf-8', 'replace')
    for i in range(n):
        msgid, msgstr = string(originals, i), string(translations, i)
        if msgid and msgstr:
            yield msgid.split('\0')[0], msgstr.split('\0')[0]

# Markup that is no prose: format directives, options, placeholders, paths, mnemonics.
noise = re.compile(r"%[-#0-9.*lhjzt]*[a-zA-Z%]|--?[\w-]+|\{[^}]*\}|<[^>]*>|\S*[/\\_=@$]\S*|&(?=\w)")
word = re.compile(r"[A-Za-zА-Яа-яЁё]+(?:['’-][A-Za-zА-Яа-яЁё]+)*")
sentence_end = re.compile(r"[.!?:]\s*$")

def running_words(text):
    text = noise.sub(' ', text)
    out = []
    for m in word.finditer(text):
        w = m.group(0)
        begins = m.start() == 0 or sentence_end.search(text[:m.start()]) or text[:m.start()].strip() == ''
        if w[0].isupper() and not begins:
            continue  # a proper name
        if len(w) > 1 and w[1:].lower() != w[1:]:
            continue  # an abbreviation or identifier: GNU, UTF, mkdir's SELinux
        out.append(w)
    return out

count = int(sys.argv[1])
english, russian = [], []
for path in sys.argv[2:]:
    for msgid, msgstr in catalogue(path):
        english += [w for w in running_words(msgid) if re.match('[A-Za-z]', w)]
        russian += [w for w in running_words(msgstr) if re.match('[А-Яа-яЁё]', w)]
random.seed(20261207)
for language, pool in (('ru', russian), ('en', english)):
    sample = Counter(random.choice(pool) for _ in range(count))
    for w, n in sorted(sample.items()):
        print(language, n, w)
PY

while read -r language n w; do
    dic=$dics/ru_en_mueller.dic
    [ "$language" = en ] && dic=$dics/en_ru_mueller.dic
    if "$tool" lookup "$dic" "$w" --exact >/dev/null 2>&1; then
        answer=exact
    elif "$tool" lookup "$dic" "$w" >/dev/null 2>"$work/err"; then
        answer=forms
    else
        # none: the dictionary lacks the word's forms (gap), holds one of them (missed), or
        # the word is not labelled yet (unlabelled).
        answer=unlabelled
        forms=$(awk -F'\t' -v w="$w" '$1 == w { print $2; exit }' "$lemmas")
        if [ -n "$forms" ]; then
            answer=gap
            for form in $forms; do
                if [ "$form" != - ] && "$tool" lookup "$dic" "$form" --exact >/dev/null 2>&1; then
                    answer=missed
                    break
                fi
            done
        fi
    fi
    echo "$language $n $answer $w"
done < "$work/sample" > "$work/answers"

awk '
{
    total[$1] += $2
    kind = ($3 == "exact" || $3 == "forms") ? $3 : "none"
    share[$1 " " kind] += $2
    if (kind == "none") share[$1 " " $3] += $2
    if (kind == "none") missed[$1] = missed[$1] " " $4
    if ($3 == "missed") formsMissed[$1] = formsMissed[$1] " " $4
    if ($3 == "unlabelled") unlabelled[$1] = unlabelled[$1] " " $4
}
END {
    printf "%-8s %8s %8s %8s %8s   %s\n", "language", "words", "exact", "forms", "none",
           "form is a term: answered (missed, gap, unlabelled)"
    for (l in total) {
        answered = share[l " exact"] + share[l " forms"]
        owed = answered + share[l " missed"]
        printf "%-8s %8d %7.1f%% %7.1f%% %7.1f%%   %7.1f%% of %d (%d, %d, %d)\n", l, total[l],
               100 * share[l " exact"] / total[l], 100 * share[l " forms"] / total[l],
               100 * share[l " none"] / total[l], owed ? 100 * answered / owed : 0, owed,
               share[l " missed"], share[l " gap"], share[l " unlabelled"]
    }
    for (l in missed)
        printf "not answered (%s):%s\n", l, missed[l]
    for (l in formsMissed)
        printf "form is a term, not answered (%s):%s\n", l, formsMissed[l]
    for (l in unlabelled)
        printf "not labelled in coverage_lemmas.tsv (%s):%s\n", l, unlabelled[l]
}' "$work/answers"
