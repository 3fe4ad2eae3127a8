# Shared set-up of the end-to-end runs: a scratch folder removed at the end, every started
# process killed at the end, a private Xvfb on a display it picks itself, and a runtime folder
# of the run's own so the single-instance lock never meets another run's.
#
# Sourced with an end-to-end run's arguments (the termovel binary, the termovel-dic binary, the
# folder for artefacts), it sets $termovel, $termovel_dic and $artefacts, the run's own subfolder
# named after its script and made afresh. A script with arguments of its own (the install check)
# sets $artefacts before sourcing, and its arguments are left alone. The sourcing script may
# append process ids to pids.

if [ -z "${artefacts:-}" ]; then
    termovel=$1
    termovel_dic=$2
    artefacts=$3/$(basename "$0" .sh)
    rm -rf "$artefacts"
    mkdir -p "$artefacts"
fi

work=$(mktemp -d)
pids=()
cleanup() {
    local status=$?
    for pid in "${pids[@]}"; do
        kill -9 "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -n "${DISPLAY:-}" ]; then
        import -window root "$artefacts/failure.png" 2>/dev/null || true
    fi
    exit 1
}

# Runs the command that follows every 0.1 s for up to $1 seconds (0: once); succeeds as soon as
# it does.
waitUntil() {
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 10 > 0 ? seconds * 10 : 1))); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# Whether process $1 has ended.
ended() { ! kill -0 "$1" 2>/dev/null; }

# Fails unless process $1 ends by itself with status 0 within 10 s; $2 says what ended it.
expectEnd() {
    local status=0
    waitUntil 10 ended "$1" || fail "$2 did not end the program"
    wait "$1" || status=$?
    [ "$status" = 0 ] || fail "after $2 the program ended with $status"
}

# A private X server on a display it picks itself. -noreset: by default the server resets when
# its last client leaves (say a viewer the test has just closed), and a program that starts
# during the reset cannot connect.
Xvfb -displayfd 3 -screen 0 1024x768x24 -ac -noreset -nolisten tcp 3>"$work/display" \
    >"$artefacts/xvfb.log" 2>&1 &
pids+=($!)
waitUntil 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
waitUntil 10 xdpyinfo >/dev/null 2>&1 || true
# The lock lives in a runtime folder of this run alone.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The dictionaries the machine has installed (dictd, StarDict) are not the run's: a first start
# lists only the program's own.
export TERMOVEL_SOURCE_FOLDERS=

# A home of the run's own, so that nothing of the machine's user is read or written.
ownHome() {
    export HOME=$work/home
    mkdir -p "$HOME"
}

# A window manager, as on a desktop: it focuses, frames and places the windows. Returns once it
# has taken over the screen.
startWindowManager() {
    command -v openbox >/dev/null || fail "openbox is missing (Debian package openbox)"
    ownHome
    openbox --sm-disable >"$artefacts/openbox.log" 2>&1 &
    pids+=($!)
    waitUntil 10 wmRunning || fail "openbox did not take over the screen"
}

# A notification area in the screen's top right corner; sets trayer_pid.
startTrayer() {
    command -v trayer >/dev/null || fail "trayer is missing (Debian package trayer)"
    trayer --edge top --align right --widthtype pixel --width 96 --height 24 --expand false \
        --SetDockType true --transparent false --tint 0xd4d0c8 >"$artefacts/trayer.log" 2>&1 &
    trayer_pid=$!
    pids+=("$trayer_pid")
}

# Whether window $1 is on the window manager's client list, which is what task bars show.
onTaskBar() { xprop -root _NET_CLIENT_LIST | grep -qiE "$(printf '0x%x' "$1")([^0-9a-f]|\$)"; }
mapState() { xwininfo -id "$1" | sed -n 's/.*Map State: //p'; }
# The main window hidden in the notification area, or shown on screen and on the task bar.
hidden() { [ "$(mapState "$main")" = "IsUnMapped" ] && ! onTaskBar "$main"; }
shown() { [ "$(mapState "$main")" = "IsViewable" ] && onTaskBar "$main"; }

wmRunning() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# The first visible window of process $2 titled exactly $1 (any title when $1 is empty) that is
# a splash ($3 "splash") or is not ($3 "window"); prints its id. The splash carries the
# application's title as well but is never the window waited for.
findWindow() {
    local id kind name=()
    [ -n "$1" ] && name=(--name "^$1\$")
    for id in $(xdotool search --all --onlyvisible --pid "$2" "${name[@]}" 2>/dev/null); do
        case "$(xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null)" in
        *_SPLASH*) kind=splash ;;
        *) kind=window ;;
        esac
        [ "$kind" = "$3" ] && echo "$id" && return 0
    done
    return 1
}

# Waits up to $2 seconds for a window of process $3 titled exactly $1, not the splash; prints
# its id. With 0 seconds it only looks once.
waitWindow() { waitUntil "$2" findWindow "$1" "$3" window; }

# Waits up to $1 seconds for a visible splash window of process $2 (0: looks once); prints its
# id.
waitSplash() { waitUntil "$1" findWindow "" "$2" splash; }

# Focuses window $1 as a user's click does: through the window manager when there is one.
focus() {
    xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1" 2>/dev/null || true
}

# Focuses window $1 and presses the keys that follow.
keys() {
    focus "$1"
    shift
    sleep 0.2
    xdotool key --clearmodifiers --delay 60 "$@"
}

# Quits the program through Ctrl+Q in its main window, answers "Выйти из программы?" with Yes,
# and fails unless the program then ends by itself with status 0 within 10 s.
quitConfirmed() {
    local main=$1 program=$2 confirm
    keys "$main" ctrl+q
    confirm=$(waitWindow "Confirm" 10 "$program") || fail "the exit asked nothing"
    keys "$confirm" Return
    expectEnd "$program" "the confirmed exit"
}
