#!/usr/bin/env bash
# Start-up of the real program under a private Xvfb: the first run creates termovel.ini with
# the defaults before any window, a second copy only warns and leaves, a killed copy does not
# block the next start, and a read-only program folder, with no data folder of the user's to
# fall back on, gives the error box and no window.
#
# Usage: startup.sh <termovel binary> <termovel-dic binary> <artefact dir>
set -euo pipefail

source "$(dirname "$0")/lib/harness.sh"
chmod 755 "$work"  # the unprivileged run below must reach its program folder

# A fresh program folder holding a copy of the binary (its folder is the program folder).
newFolder() {
    mkdir -p "$work/$1"
    cp "$termovel" "$work/$1/termovel"
    echo "$work/$1"
}

# Waits up to $2 seconds for process $1 (a child of this shell) to end and puts its exit
# status into $status; fails when it is still running.
waitExit() {
    local pid=$1
    for _ in $(seq $(($2 * 10))); do
        if ! kill -0 "$pid" 2>/dev/null; then
            status=0
            wait "$pid" 2>/dev/null || status=$?
            return 0
        fi
        sleep 0.1
    done
    return 1
}

windowType() {
    xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | sed 's/.*= //'
}

# Answers the box: focus it and press Return.
pressReturn() {
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    sleep 0.3
    xdotool key --clearmodifiers Return
}

expected_ini=$(printf '%s\r\n' "[Main]" "Program=Termovel v1.00" "Version=1.0" \
    "Copyright=Copyright (c) 2026 Termovel developers" "EditMode=0" "ShowLogo=1" "ShowTip=1" \
    "[List]" "Count=0" "[History]" "Count=0")

# --- 0. Without a display: one clear line, no Qt report, nothing created ----------------------
nodisplay=$(newFolder nodisplay)
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$nodisplay/termovel" \
    >"$artefacts/nodisplay.out" 2>"$artefacts/nodisplay.err" || status=$?
[ "$status" = 1 ] || fail "without a display the program ended with $status"
[ "$(wc -l <"$artefacts/nodisplay.err")" = 1 ] || fail "without a display: not one line"
grep -q "xvfb-run -a $nodisplay/termovel" "$artefacts/nodisplay.err" ||
    fail "without a display the line does not say how to run it"
[ ! -e "$nodisplay/termovel.ini" ] || fail "without a display termovel.ini was created"
echo "ok: without a display the program says so in one line"

# --- 1. First start in an empty program folder ---------------------------------------------
app=$(newFolder app)
"$app/termovel" >"$artefacts/first.log" 2>&1 &
first=$!
pids+=("$first")
# The defaults show the splash and then the tip of the day, which is closed to go on.
waitSplash 20 "$first" >/dev/null || fail "the first start showed no splash"
[ "$(cat "$app/termovel.ini")" = "$expected_ini" ] ||
    fail "termovel.ini did not hold the defaults before the first window"
tip=$(waitWindow "Совет" 20 "$first") || fail "the first start showed no tip"
pressReturn "$tip"
main=$(waitWindow "Termovel v1\.00" 20 "$first") || fail "the main window did not appear"
case "$(windowType "$main")" in *DIALOG*) fail "the first window is a dialog, not the main window" ;; esac
[ -f "$app/termovel.ini" ] || fail "termovel.ini was not created before the window"
[ "$(cat "$app/termovel.ini")" = "$expected_ini" ] || fail "termovel.ini does not hold the defaults"
echo "ok: first start created termovel.ini with the defaults and showed the main window"

# --- 2. A second copy warns and leaves without touching the settings -------------------------
cp -p "$app/termovel.ini" "$work/ini.before"
"$app/termovel" >"$artefacts/second.log" 2>&1 &
second=$!
pids+=("$second")
warning=$(waitWindow "Warning" 20 "$second") || fail "the second copy showed no warning"
import -window "$warning" "$artefacts/warning.png" 2>/dev/null || true
if xdotool search --all --onlyvisible --pid "$second" --name "^Termovel v1\.00\$" >/dev/null 2>&1; then
    fail "the second copy opened a main window"
fi
pressReturn "$warning"
waitExit "$second" 10 || fail "the second copy did not end after the warning"
[ "$status" = 0 ] || fail "the second copy ended with $status"
cmp -s "$app/termovel.ini" "$work/ini.before" || fail "the second copy changed termovel.ini"
[ "$(stat -c %Y "$app/termovel.ini")" = "$(stat -c %Y "$work/ini.before")" ] ||
    fail "the second copy rewrote termovel.ini"
kill -0 "$first" 2>/dev/null || fail "the first copy ended"
echo "ok: a second copy warned, ended with 0 and left termovel.ini alone"

# --- 3. After the first copy is killed, a new one starts normally ----------------------------
{ kill -9 "$first" && waitExit "$first" 10; } 2>/dev/null || fail "the first copy did not die"
"$app/termovel" >"$artefacts/third.log" 2>&1 &
third=$!
pids+=("$third")
tip=$(waitWindow "Совет" 20 "$third") || fail "no tip after the killed copy (lock not released?)"
pressReturn "$tip"
waitWindow "Termovel v1\.00" 20 "$third" >/dev/null ||
    fail "no main window after the killed copy (lock not released?)"
if xdotool search --all --onlyvisible --pid "$third" --name "^Warning\$" >/dev/null 2>&1; then
    fail "the new copy warned about a running copy"
fi
{ kill -9 "$third" && waitExit "$third" 10; } 2>/dev/null || true
echo "ok: after SIGKILL of the running copy a new copy started normally"

# --- 4. A normal end writes the settings back, keeping the file's letter case ---------------
printf '%s\r\n' "[MAIN]" "showlogo=1" "[List]" "Count=0" "[History]" "Count=0" "N1=stale" \
    >"$app/termovel.ini"
"$app/termovel" >"$artefacts/normal-end.log" 2>&1 &
normal=$!
pids+=("$normal")
main=$(waitWindow "Termovel v1\.00" 20 "$normal") || fail "no main window over an existing file"
xdotool windowfocus --sync "$main" 2>/dev/null || true
sleep 0.3
xdotool key --clearmodifiers ctrl+q
confirm=$(waitWindow "Confirm" 10 "$normal") || fail "the exit command asked nothing"
pressReturn "$confirm"
waitExit "$normal" 10 || fail "the program did not end after the exit was confirmed"
[ "$status" = 0 ] || fail "the program ended with $status"
[ "$(cat "$app/termovel.ini")" = "$(printf '%s\r\n' "[MAIN]" "showlogo=1" "[List]" "Count=0" \
    "[History]" "Count=0")" ] || fail "the settings were not written back at the normal end"
echo "ok: a normal end wrote the settings back in the file's own letter case"

# --- 5. Read-only program folder on the first start ----------------------------------------
# The folder beside a binary that cannot be written gives way to the user's data folder; when
# that cannot be written either, the settings file cannot be made anywhere.
ro=$(newFolder readonly)
chmod 555 "$ro"
export XDG_DATA_HOME=$work/readonly-data
mkdir -m 555 "$XDG_DATA_HOME"
run=()
if [ "$(id -u)" = 0 ]; then
    # The superuser writes anywhere; an unprivileged user meets the read-only folder.
    run=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    export XDG_RUNTIME_DIR=$work/runtime-nobody
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    chown 65534:65534 "$XDG_RUNTIME_DIR"
fi
"${run[@]}" "$ro/termovel" >"$artefacts/readonly.log" 2>&1 &
fourth=$!
pids+=("$fourth")
box=$(waitWindow "Termovel v1\.00" 20 "$fourth") || fail "no error box for the read-only folder"
case "$(windowType "$box")" in
*DIALOG*) ;;
*) fail "the read-only folder showed a main window instead of the error box" ;;
esac
import -window "$box" "$artefacts/readonly-error.png" 2>/dev/null || true
pressReturn "$box"
waitExit "$fourth" 10 || fail "the program did not end after the error box"
[ "$status" = 0 ] || fail "the program ended with $status after the error box"
[ ! -e "$ro/termovel.ini" ] || fail "termovel.ini appeared in the read-only folder"
[ -z "$(ls -A "$XDG_DATA_HOME")" ] || fail "something appeared in the read-only data folder"
echo "ok: a read-only program and data folder gave the error box, no window and exit code 0"
