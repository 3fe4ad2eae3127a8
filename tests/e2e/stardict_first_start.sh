#!/usr/bin/env bash
# A StarDict dictionary read where it lies by the real program under a private Xvfb: found in a
# source folder at the first start (no list yet), it opens as a tab titled by its name, typing
# «ét» selects «été», Enter opens its translation window, and the term (folded, as the settings
# file holds text) tops the history written back at the end.
#
# Usage: stardict_first_start.sh <termovel binary> <termovel-dic binary> <artefact dir>
set -euo pipefail

source "$(dirname "$0")/lib/harness.sh"

# --- The program alone in its folder, a StarDict dictionary in a source folder --------------
app=$work/app
dic=$work/stardict/littre
mkdir -p "$app" "$dic"
cp "$termovel" "$app/termovel"
# .dict: the articles one after another; .idx: each word in order, a NUL, then its article's
# offset and size, 32-bit big-endian.
printf 'abbotsummerstar' >"$dic/littre.dict"
printf 'abbé\0\0\0\0\0\0\0\0\5été\0\0\0\0\5\0\0\0\6étoile\0\0\0\0\13\0\0\0\4' >"$dic/littre.idx"
printf '%s\n' "StarDict's dict ifo file" "version=2.4.2" "wordcount=3" \
    "idxfilesize=$(wc -c <"$dic/littre.idx")" "bookname=Littré" "sametypesequence=m" \
    >"$dic/littre.ifo"
printf '%s\r\n' "[Main]" "Program=Termovel v1.00" "EditMode=0" "ShowLogo=0" "ShowTip=0" \
    "[List]" "Count=0" "[History]" "Count=0" >"$app/termovel.ini"
export TERMOVEL_SOURCE_FOLDERS=$work/stardict XDG_CACHE_HOME=$work/cache

"$app/termovel" >"$artefacts/termovel.log" 2>&1 &
program=$!
pids+=("$program")

# --- Its tab is ready once its index is made: the dictionary's name titles the window ------
main=$(waitWindow "Termovel v1\.00 - Littré" 20 "$program") ||
    fail "the StarDict dictionary did not open as the current tab"
echo "ok: the StarDict dictionary found at the first start opened as a tab"

# --- Typing the accented prefix selects the term, Enter opens its translation --------------
keys "$main" eacute t
sleep 0.3
import -window "$main" "$artefacts/typed.png" 2>/dev/null || true
keys "$main" Return
waitWindow "Перевод" 10 "$program" >/dev/null || fail "Enter opened no translation window"
import -window root "$artefacts/translation.png" 2>/dev/null || true
echo "ok: typing «ét» and Enter opened a translation window"

quitConfirmed "$main" "$program"
cp "$app/termovel.ini" "$artefacts/termovel.ini"
tr -d '\r' <"$app/termovel.ini" | grep -qx "N1=ete" ||
    fail "«été» is not the first history entry (the typed text selected another term)"
echo "ok: «été» was translated and tops the history"
