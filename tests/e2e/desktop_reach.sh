#!/usr/bin/env bash
# Reaching the running program from the rest of the desktop, under a private Xvfb with a window
# manager and a notification area: a first start with --lookup starts the program with the
# article open; with the program hidden in the notification area,
# "termovel --lookup cat" brings it forward with cat's article open; the primary selection set
# with xclip, "termovel --selection" opens the selected word's article; "termovel FILE.dic"
# adds a tab; a bare second start warns and brings the window forward. Each later start ends
# with status 0.
#
# Usage: desktop_reach.sh <termovel binary> <termovel-dic binary> <artefact dir>
set -euo pipefail

source "$(dirname "$0")/lib/harness.sh"

command -v xclip >/dev/null || fail "xclip is missing (Debian package xclip)"
startWindowManager
startTrayer

# Hides the program in the notification area (the icon must be there for that), minimising
# again until it goes.
minimisedAway() {
    xdotool windowminimize "$main" 2>/dev/null || true
    sleep 0.2
    hidden
}
toTray() { waitUntil 5 minimisedAway || fail "the program did not go into the notification area"; }
# Fails unless the main window is back on screen within 10 s.
expectForward() { waitUntil 10 shown || fail "$1 did not bring the window forward"; }
# The translation windows the window manager has taken on (xdotool also finds inner windows,
# and its name pattern does not hold Cyrillic letters reliably).
translations() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$program" 2>/dev/null); do
        [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "Перевод" ] && onTaskBar "$id" && echo "$id"
    done | wc -l
}
# Fails unless $1 translation windows are shown within 10 s.
translationsAre() { [ "$(translations)" = "$1" ]; }
expectTranslations() {
    waitUntil 10 translationsAre "$1" || fail "$2 ($(translations) translation windows, not $1)"
}
# Runs a later start with the arguments given and fails unless it ends with status 0 in 20 s.
later() {
    local status=0
    timeout 20 "$app/termovel" "$@" >>"$artefacts/later.log" 2>&1 || status=$?
    [ "$status" = 0 ] || fail "termovel $* ended with status $status"
}

app=$work/app
mkdir -p "$app"
cp "$termovel" "$app/termovel"
printf '%s\n' "@bird" "it flies" "~~~" "@cat" "a small animal; see also {dog}" "~~~" \
    "@dog" "a loyal animal" "~~~" >"$work/en.txt"
printf '%s\n' "@fish" "it swims" "~~~" >"$work/other.txt"
"$termovel_dic" import "$app/en.dic" "$work/en.txt" --name English >/dev/null ||
    fail "termovel-dic could not write en.dic"
"$termovel_dic" import "$work/other.dic" "$work/other.txt" --name Other >/dev/null ||
    fail "termovel-dic could not write other.dic"
printf '%s\r\n' "[Main]" "Program=Termovel v1.00" "EditMode=0" "ShowLogo=0" "ShowTip=0" \
    "[List]" "Count=0" "[History]" "Count=0" >"$app/termovel.ini"

"$app/termovel" --lookup dog >"$artefacts/termovel.log" 2>&1 &
program=$!
pids+=("$program")
main=$(waitWindow "Termovel v1\.00 - English" 20 "$program") || fail "the main window did not appear"
[ "$(stat -c %a "$XDG_RUNTIME_DIR/termovel.socket")" = 600 ] ||
    fail "the hand-over socket is not of mode 0600"
expectTranslations 1 "a first start with --lookup dog opened no translation window"
echo "ok: a first start with --lookup dog started the program with dog's article open"

toTray
later --lookup cat
expectForward "termovel --lookup cat"
expectTranslations 2 "termovel --lookup cat opened no translation window"
import -window root "$artefacts/lookup.png" 2>/dev/null || true
echo "ok: termovel --lookup cat brought the program out of the notification area with cat's article"

toTray
printf '  bird\nsecond line' | xclip -selection primary -loops 2 &
pids+=($!)
sleep 0.3
later --selection
expectForward "termovel --selection"
expectTranslations 3 "termovel --selection did not open the selected word's article"
echo "ok: termovel --selection opened the article of the selected word"

later "$work/other.dic"
waitWindow "Termovel v1\.00 - Other" 10 "$program" >/dev/null ||
    fail "termovel other.dic did not open the file in a new current tab"
echo "ok: termovel other.dic opened the file in a new tab"

toTray
"$app/termovel" >>"$artefacts/later.log" 2>&1 &
second=$!
pids+=("$second")
warning=$(waitWindow "Warning" 10 "$second") || fail "a bare second start showed no warning"
expectForward "a bare second start"
import -window root "$artefacts/second-start.png" 2>/dev/null || true
keys "$warning" Return
expectEnd "$second" "the warning's answer"
echo "ok: a bare second start warned and brought the running window forward"
