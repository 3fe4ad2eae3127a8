# Sourced by the start-up benchmarks: a private Xvfb and runtime folder inside "$scratch", which
# the caller has made; the caller's EXIT trap runs stop_private_display.
# -noreset: a start timed just as the run before left would otherwise meet the server resetting.
start_private_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -noreset -nolisten tcp 3>"$scratch/display" 2>/dev/null &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$scratch/display")"
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY
    export XDG_RUNTIME_DIR=$scratch/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    # Only the dictionaries a run lays out count, never those the machine has installed.
    export TERMOVEL_SOURCE_FOLDERS=${TERMOVEL_SOURCE_FOLDERS-}
}

stop_private_display() {
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$scratch"
}
