#!/usr/bin/env bash
# The user's own file, under a private Xvfb with a window manager: a dictionary opened from a
# folder other than the program's gets a term, and Save followed by Enter asks the save dialog's
# question about replacing the file and writes that very file; then a term added and left
# unsaved survives SIGTERM: the program ends at once, keeps the change in recovery/, and the next
# start, told to restore it, opens it as an unsaved tab whose Save writes the file home. The
# windows' class is "termovel", and the file dialogs leave no QtProject.conf behind.
#
# Usage: save_and_recover.sh <termovel binary> <termovel-dic binary> <artefact dir>
set -euo pipefail

source "$(dirname "$0")/lib/harness.sh"
source "$(dirname "$0")/lib/editing.sh"
export LC_ALL=C.UTF-8
startWindowManager

# A portable program folder in edit mode without splash or tip, and a dictionary elsewhere.
app=$work/app
mkdir -p "$app" "$work/elsewhere"
cp "$termovel" "$app/termovel"
printf '%s\r\n' "[Main]" "EditMode=1" "ShowLogo=0" "ShowTip=0" "[List]" "Count=0" "[History]" \
    "Count=0" >"$app/termovel.ini"
own=$work/elsewhere/own.dic
printf '@e2efirst\nfirst article\n~~~\n' >"$work/own.txt"
"$termovel_dic" import "$own" "$work/own.txt" --name Own >/dev/null
termsOf() { "$termovel_dic" list "$own" | tr '\n' ' '; }
termsAre() { [ "$(termsOf)" = "$1" ]; }

startProgram() {
    "$app/termovel" >>"$artefacts/termovel.log" 2>&1 &
    program=$!
    pids+=("$program")
}

# --- Save and Enter write the dictionary's own file --------------------------------------------
startProgram
main=$(waitWindow "Termovel v1\.00.*" 20 "$program") || fail "the main window did not appear"
keys "$main" ctrl+o
box=$(waitWindow "Открыть" 10 "$program") || fail "Ctrl+O opened no file dialog titled Открыть"
keys "$box" ctrl+a
typeText "$box" "$own"
keys "$box" Return
waitGone "$box" 10 || fail "the open dialog did not close"
waitTitle "Termovel v1.00 - Own" 10 || fail "the dictionary from another folder did not open"
# The desktop knows the windows by a class that is the same in every release.
class=$(xprop -id "$main" WM_CLASS)
[ "$class" = 'WM_CLASS(STRING) = "termovel", "termovel"' ] || fail "the main window's class: $class"
addTerm e2esaved "saved article"
saveWithCtrlS replace
waitUntil 5 termsAre "e2efirst e2esaved " || fail "own.dic holds '$(termsOf)' after Save and Enter"
[ -z "$(find "$app" -name '*.dic')" ] || fail "Save wrote a second copy into the program folder"
echo "ok: Save and Enter asked to replace own.dic in its own folder and wrote the term there"

# --- Unsaved work survives SIGTERM -------------------------------------------------------------
addTerm e2erecovered "recovered article"
kill -TERM "$program"
expectEnd "$program" SIGTERM
termsAre "e2efirst e2esaved " || fail "SIGTERM wrote over own.dic: '$(termsOf)'"
kept=$(find "$app/recovery" -type f 2>/dev/null | wc -l)
[ "$kept" = 1 ] || fail "$kept recovery files after SIGTERM, not 1"
echo "ok: SIGTERM ended the program and kept the unsaved dictionary in recovery/"

startProgram
question=$(waitWindow "Confirm" 20 "$program") || fail "the next start did not offer the recovery"
import -window root "$artefacts/restore-question.png" 2>/dev/null || true
keys "$question" Return
main=$(waitWindow "Termovel v1\.00.*" 20 "$program") || fail "the main window did not appear"
waitTitle "Termovel v1.00 - Own" 10 || fail "the restored dictionary is not the current tab"
saveWithCtrlS replace
waitUntil 5 termsAre "e2efirst e2erecovered e2esaved " ||
    fail "after restoring and saving own.dic holds '$(termsOf)'"
[ -z "$(find "$app/recovery" -type f)" ] || fail "the restored recovery file was left behind"
quitConfirmed "$main" "$program"
echo "ok: restored at the next start, the unsaved term was back and Save wrote it home"
# The file dialogs kept no state of their own in the user's configuration.
[ ! -e "$HOME/.config/QtProject.conf" ] || fail "Qt wrote $HOME/.config/QtProject.conf"
echo "ok: window class termovel, and no QtProject.conf after the file dialogs"
