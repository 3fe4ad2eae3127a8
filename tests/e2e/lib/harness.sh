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

# A private X server on a display it picks itself. -noreset: by default the server resets when
# its last client leaves (say a viewer the test has just closed), and a program that starts
# during the reset cannot connect.
Xvfb -displayfd 3 -screen 0 1024x768x24 -ac -noreset -nolisten tcp 3>"$work/display" \
    >"$artefacts/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
# The lock lives in a runtime folder of this run alone.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

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
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    fail "openbox did not take over the screen"
}

# Waits up to $2 seconds for a visible window of process $3 titled exactly $1; prints its id.
# With 0 seconds it only looks once. The splash carries the application's title as well but
# is never the window waited for, so splash windows are passed over.
waitWindow() {
    local id
    for _ in $(seq $(($2 * 10 > 0 ? $2 * 10 : 1))); do
        for id in $(xdotool search --all --onlyvisible --pid "$3" --name "^$1\$" 2>/dev/null); do
            case "$(xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null)" in
            *_SPLASH*) continue ;;
            esac
            echo "$id"
            return 0
        done
        sleep 0.1
    done
    return 1
}

# Waits up to $1 seconds for a visible splash window of process $2 (0: looks once); prints its
# id.
waitSplash() {
    local id
    for _ in $(seq $(($1 * 10 > 0 ? $1 * 10 : 1))); do
        for id in $(xdotool search --all --onlyvisible --pid "$2" 2>/dev/null); do
            case "$(xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null)" in
            *_SPLASH*)
                echo "$id"
                return 0
                ;;
            esac
        done
        sleep 0.1
    done
    return 1
}

# Focuses window $1 (there is no window manager to do it) and presses the keys that follow.
keys() {
    local window=$1
    shift
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    sleep 0.2
    xdotool key --clearmodifiers --delay 60 "$@"
}

# Quits the program through Ctrl+Q in its main window, answers "Выйти из программы?" with Yes,
# and fails unless the program then ends by itself with status 0 within 10 s.
quitConfirmed() {
    local main=$1 program=$2 confirm status=0
    keys "$main" ctrl+q
    confirm=$(waitWindow "Confirm" 10 "$program") || fail "the exit asked nothing"
    keys "$confirm" Return
    for _ in $(seq 100); do
        kill -0 "$program" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$program" 2>/dev/null && fail "the program did not end"
    wait "$program" || status=$?
    [ "$status" = 0 ] || fail "the program ended with $status"
}
