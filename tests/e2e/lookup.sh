#!/usr/bin/env bash
# Look-up in the real program under a private Xvfb: two dictionaries written by the core open
# in two tabs, typing the first letters selects a term, Enter opens its translation window, and
# the translated term is the top of the history written back at the end.
#
# Usage: lookup.sh <termovel binary> <termovel-dic binary> <artefact dir>
set -euo pipefail

source "$(dirname "$0")/lib/harness.sh"

# --- The program folder: the binary, two dictionaries made by the core, quiet settings -------
app=$work/app
mkdir -p "$app"
cp "$termovel" "$app/termovel"
printf '%s\n' "@Abandon" "to leave behind" "~~~" "@abbey" "a monastery" "~~~" \
    "@able" "having the power" "~~~" "@cat" "a small animal" "~~~" >"$work/en.txt"
printf '%s\n' "@кот" "cat" "~~~" "@собака" "dog" "~~~" | iconv -f UTF-8 -t WINDOWS-1251 \
    >"$work/ru.txt"
"$termovel_dic" import "$app/en.dic" "$work/en.txt" --name English >/dev/null ||
    fail "termovel-dic could not write en.dic"
"$termovel_dic" import "$app/ru.dic" "$work/ru.txt" --name Russian >/dev/null ||
    fail "termovel-dic could not write ru.dic"
printf '%s\r\n' "[Main]" "Program=Termovel v1.00" "EditMode=0" "ShowLogo=0" "ShowTip=0" \
    "[List]" "Count=0" "[History]" "Count=1" "N1=cat" >"$app/termovel.ini"

"$app/termovel" >"$artefacts/termovel.log" 2>&1 &
program=$!
pids+=("$program")

# --- Both dictionaries are open: the first tab's dictionary names the window ----------------
main=$(waitWindow "Termovel v1\.00 - English" 20 "$program") ||
    fail "the main window did not appear with the first dictionary current"
echo "ok: the main window opened with en.dic current"
# From the search box, Tab reaches the word list and then the tab strip; Right selects the
# second tab, whose dictionary then names the window.
keys "$main" Tab Tab Right
waitWindow "Termovel v1\.00 - Russian" 10 "$program" >/dev/null ||
    fail "the second tab (ru.dic) could not be selected"
keys "$main" Left
waitWindow "Termovel v1\.00 - English" 10 "$program" >/dev/null ||
    fail "the first tab could not be selected again"
echo "ok: both tabs are there and each names its dictionary"

# --- Typing selects the term, Enter opens its translation --------------------------------
keys "$main" shift+Tab shift+Tab a b b
sleep 0.3
import -window "$main" "$artefacts/typed.png" 2>/dev/null || true
keys "$main" Return
translation=$(waitWindow "Перевод" 10 "$program") || fail "Enter opened no translation window"
sleep 0.5
import -window root "$artefacts/lookup.png" 2>/dev/null || fail "no screenshot"
echo "ok: typing and Enter opened the translation window"

# --- The translated term tops the history written back at the end -----------------------
quitConfirmed "$main" "$program"
cp "$app/termovel.ini" "$artefacts/termovel.ini"
tr -d '\r' <"$app/termovel.ini" | grep -qx "N1=abbey" ||
    fail "abbey is not the first history entry (the typed text selected another term)"
tr -d '\r' <"$app/termovel.ini" | grep -qx "N2=cat" || fail "the loaded history was not kept"
echo "ok: abbey was translated and tops the history; the earlier entry follows"
