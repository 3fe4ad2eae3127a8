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
        answer=none
    fi
    echo "$language $n $answer $w"
done < "$work/sample" > "$work/answers"

awk '
{ total[$1] += $2; share[$1 " " $3] += $2; if ($3 == "none") missed[$1] = missed[$1] " " $4 }
END {
    printf "%-8s %8s %8s %8s %8s\n", "language", "words", "exact", "forms", "none"
    for (l in total)
        printf "%-8s %8d %7.1f%% %7.1f%% %7.1f%%\n", l, total[l],
               100 * share[l " exact"] / total[l], 100 * share[l " forms"] / total[l],
               100 * share[l " none"] / total[l]
    for (l in missed)
        printf "not answered (%s):%s\n", l, missed[l]
}' "$work/answers"
