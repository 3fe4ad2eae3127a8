#!/usr/bin/env bash
# The help file in the desktop's hands under a private Xvfb: termovel.chm from the program
# folder, handed to xdg-open as the Help command hands it to the desktop, opens in a CHM viewer
# whose window title carries the help file's Russian title intact; and F1 in the real program
# opens the same viewer on the help file beside it.
#
# Usage: help_viewer.sh <termovel binary> <termovel-dic binary> <artefact dir>
set -euo pipefail

source "$(dirname "$0")/lib/harness.sh"

# Waits up to 15 s for a CHM viewer's window and sets viewer and viewer_pid to it; the viewer
# is ended at the end of the run. Fails with $1 when none appears.
waitViewer() {
    viewer=
    for _ in $(seq 150); do
        viewer=$(xdotool search --onlyvisible --name '^xCHM' 2>/dev/null | head -n1) || true
        [ -n "$viewer" ] && break
        sleep 0.1
    done
    [ -n "$viewer" ] || fail "$1"
    viewer_pid=$(xdotool getwindowpid "$viewer" 2>/dev/null || true)
    if [ -n "$viewer_pid" ]; then pids+=("$viewer_pid"); fi
}

chm=$(dirname "$termovel")/termovel.chm
[ -f "$chm" ] || fail "no help file beside the program: $chm"
command -v xdg-open >/dev/null || fail "xdg-open is missing (Debian package xdg-utils)"

# A home of the run's own: the viewer keeps its settings there, and the desktop's choice of
# handler comes from the system's desktop entries alone.
ownHome
handler=$(xdg-mime query default application/vnd.ms-htmlhelp 2>/dev/null || true)
[ -n "$handler" ] || fail "no desktop handler for application/vnd.ms-htmlhelp (Debian package xchm)"

# Without a desktop environment xdg-open runs the viewer in the foreground, so both are ended
# at the end of the run.
xdg-open "$chm" >"$artefacts/xdg-open.log" 2>&1 &
pids+=($!)
waitViewer "no viewer window appeared ($handler)"
sleep 1
import -window root "$artefacts/viewer.png" 2>/dev/null || true

title=$(xdotool getwindowname "$viewer")
case "$title" in
    *": Termovel — справка") ;;
    *) fail "the viewer's title is \"$title\", not the help file's title" ;;
esac
echo "ok: $handler opened termovel.chm, title \"$title\""

# --- F1 in the program: the help file beside it goes to the same viewer -----------------------
kill "$viewer_pid" 2>/dev/null || true
for _ in $(seq 50); do
    [ -z "$(xdotool search --onlyvisible --name '^xCHM' 2>/dev/null)" ] && break
    sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name '^xCHM' 2>/dev/null)" ] || fail "the first viewer did not end"

app=$work/app
mkdir -p "$app"
cp "$termovel" "$chm" "$app/"
printf '%s\r\n' "[Main]" "Program=Termovel v1.00" "EditMode=0" "ShowLogo=0" "ShowTip=0" \
    "[List]" "Count=0" "[History]" "Count=0" >"$app/termovel.ini"
"$app/termovel" >"$artefacts/termovel.log" 2>&1 &
program=$!
pids+=("$program")
main=$(waitWindow "Termovel v1\.00" 20 "$program") || fail "the main window did not appear"
xdotool windowfocus --sync "$main" 2>/dev/null || true
sleep 0.3
xdotool key --clearmodifiers F1
waitViewer "F1 in the program opened no viewer"
# The viewer names the file in its title once it has loaded it.
for _ in $(seq 50); do
    title=$(xdotool getwindowname "$viewer")
    case "$title" in *": Termovel — справка") break ;; esac
    sleep 0.1
done
case "$title" in
    *": Termovel — справка") ;;
    *) fail "after F1 the viewer's title is \"$title\"" ;;
esac
import -window root "$artefacts/f1.png" 2>/dev/null || true
echo "ok: F1 in the program opened termovel.chm in the viewer"
