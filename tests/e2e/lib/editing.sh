# Editing in the real program for the end-to-end runs, after harness.sh and with a window
# manager: the sourcing script sets $program (the process) and $main (its main window).

# Focuses a window and types text into it.
typeText() {
    focus "$1"
    sleep 0.1
    xdotool type --clearmodifiers --delay 30 "$2"
}

# Waits up to $2 seconds for window $1 to be gone.
windowGone() { ! xdotool getwindowname "$1" >/dev/null 2>&1; }
waitGone() { waitUntil "$2" windowGone "$1"; }

# Waits up to $2 seconds until the main window's title is exactly $1.
titleIs() { [ "$(xdotool getwindowname "$main" 2>/dev/null)" = "$1" ]; }
waitTitle() { waitUntil "$2" titleIs "$1"; }

# The program's visible windows (titled exactly $1, when given), one id a line, sorted.
programWindows() {
    { xdotool search --all --onlyvisible --pid "$program" --name "${1:+^$1\$}" 2>/dev/null || true; } | sort
}

# Waits up to $2 seconds for a visible window of the program (titled exactly $3, when given)
# that is not among $1 (a list as programWindows gives it); prints its id.
newWindow() { waitUntil "$2" notAmong "$1" "${3:-}"; }
notAmong() {
    local id
    id=$(comm -13 <(echo "$1") <(programWindows "$2") | sed '/^$/d' | tail -n1)
    [ -n "$id" ] && echo "$id"
}

# Runs item $2 of the $3 items ($3 "last": the last item) of the menu that is $1 places right
# of the first one on the menu bar. The first menu is opened with a click on its title at the
# left edge of the bar and the arrows move to the wanted one, so no title's position is
# assumed; the item is clicked in the open menu's own window, whose height the items share.
menuItem() {
    local before popup="" geometry WIDTH HEIGHT y
    focus "$main"
    sleep 0.2
    before=$(programWindows)
    xdotool mousemove --window "$main" 12 10 click 1
    sleep 0.3
    for _ in $(seq "$1"); do xdotool key --clearmodifiers Right; sleep 0.15; done
    popup=$(newWindow "$before" 3) || fail "the menu $1 did not open"
    geometry=$(xdotool getwindowgeometry --shell "$popup")
    eval "$(grep -E '^(WIDTH|HEIGHT)=' <<<"$geometry")"
    # The last item of a menu with separators: half an item above the menu's bottom edge.
    if [ "$3" = last ]; then y=$((HEIGHT - 14)); else y=$((HEIGHT * (2 * $2 - 1) / (2 * $3))); fi
    xdotool mousemove --window "$popup" $((WIDTH / 2)) "$y" click 1
}

# Adds term $1 with article $2 (and a second line $3, when given) to the current dictionary
# through "Слова" › "Добавить термин" (edit mode must be on).
addTerm() {
    local box
    menuItem 2 1 3
    box=$(waitWindow "Добавление" 10 "$program") || fail "Добавить термин opened no window"
    typeText "$box" "$1"
    keys "$box" Tab
    typeText "$box" "$2"
    if [ -n "${3:-}" ]; then
        keys "$box" Return
        typeText "$box" "$3"
    fi
    keys "$box" Tab Return
    waitGone "$box" 5 || fail "the adding window for '$1' did not close"
}

# Saves the current dictionary with Ctrl+S and Enter in the save dialog (titled in Russian, as
# Qt's own dialogs are). With $1 "replace" the dialog must then ask about replacing the file,
# and is answered with "Да"; it fails unless the question comes.
saveWithCtrlS() {
    local box question=""
    keys "$main" ctrl+s
    box=$(waitWindow "Сохранить как" 10 "$program") || fail "Ctrl+S opened no save dialog"
    sleep 0.5
    keys "$box" Return
    if [ "${1:-}" = replace ]; then
        # The question is a box of the dialog's own title.
        question=$(newWindow "$box" 10 "Сохранить как") || fail "Enter in the save dialog asked nothing"
        import -window root "$artefacts/replace-question.png" 2>/dev/null || true
        keys "$question" Cyrillic_de
    fi
    waitGone "$box" 10 || fail "the save dialog did not close"
}
