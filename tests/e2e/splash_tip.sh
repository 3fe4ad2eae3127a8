#!/usr/bin/env bash
# The first start of the real program under a private Xvfb with the default settings: the
# splash comes first and stays for at least its 2000 ms while no other window shows, then the
# tip of the day appears before the main window, and the main window shows once the tip is
# closed. Screenshots of all three are kept.
#
# Usage: splash_tip.sh <termovel binary> <termovel-dic binary> <artefact dir>
set -euo pipefail

source "$(dirname "$0")/lib/harness.sh"

millis() { date +%s%3N; }

# Whether process $1 shows a window titled like the main window now (splash windows passed
# over).
mainShown() {
    waitWindow "Termovel v1\.00.*" 0 "$1" >/dev/null
}

# --- A program folder with one dictionary and no settings file: the defaults apply ---------
app=$work/app
mkdir -p "$app"
cp "$termovel" "$app/termovel"
printf '%s\n' "@cat" "a small animal" "~~~" "@dog" "a faithful animal" "~~~" >"$work/en.txt"
"$termovel_dic" import "$app/en.dic" "$work/en.txt" --name English >/dev/null ||
    fail "termovel-dic could not write en.dic"

"$app/termovel" >"$artefacts/termovel.log" 2>&1 &
program=$!
pids+=("$program")

# --- The splash first, alone, for at least 2000 ms ----------------------------------------
splash=$(waitSplash 20 "$program") || fail "no splash appeared"
seen=$(millis)
mainShown "$program" && fail "the main window showed during the splash"
waitWindow "Совет" 0 "$program" >/dev/null && fail "the tip showed during the splash"
sleep 0.3
import -window root "$artefacts/splash.png" 2>/dev/null || fail "no screenshot of the splash"
geometry=$(xdotool getwindowgeometry "$splash" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "300x225" ] || fail "the splash is $geometry, not 300x225"
grep -q $'^ShowLogo=1\r$' "$app/termovel.ini" || fail "the defaults do not switch the splash on"
echo "ok: the splash came first, with no other window"

# --- Then the tip, with the splash gone and the main window not yet shown -----------------
tip=$(waitWindow "Совет" 20 "$program") || fail "no tip appeared after the splash"
shown=$(($(millis) - seen))
# Each sighting lags its event by up to one poll of the window list (about 100 ms, xdotool's
# own time included), so seen from outside the 2000 ms may look a little shorter; the start-up
# test measures the wait exactly from inside.
[ "$shown" -ge 1850 ] || fail "the splash stayed only ${shown} ms"
waitSplash 0 "$program" >/dev/null && fail "the splash is still up with the tip"
mainShown "$program" && fail "the main window showed before the tip was closed"
sleep 0.3
import -window root "$artefacts/tip.png" 2>/dev/null || fail "no screenshot of the tip"
echo "ok: the tip came after ${shown} ms of splash, before the main window"

# --- Closing the tip ("&Закрыть" is the default button) shows the main window --------------
keys "$tip" Return
main=$(waitWindow "Termovel v1\.00 - English" 20 "$program") ||
    fail "the main window did not appear after the tip"
sleep 0.5
import -window root "$artefacts/main.png" 2>/dev/null || fail "no screenshot of the main window"
echo "ok: closing the tip showed the main window"

quitConfirmed "$main" "$program"
echo "ok: the program ended normally"
