#!/usr/bin/env bash
# The whole program as a user meets it, under a private Xvfb with a window manager, with the
# bundled dictionaries: twenty look-ups across the tabs with their translation windows, a new
# dictionary made in edit mode (terms added, edited and deleted, a text file imported) and saved
# through the save dialog, the exit with its questions answered, and a second start after which
# the saved dictionary and the search history are exactly what the first run left.
#
# Usage: whole_program.sh <termovel binary> <termovel-dic binary> <artefact dir>
set -euo pipefail

source "$(dirname "$0")/lib/harness.sh"
source "$(dirname "$0")/lib/editing.sh"
export LC_ALL=C.UTF-8
started=$SECONDS

# A window manager, as on a desktop: it focuses, frames and places the windows.
startWindowManager

shot() {
    import -window root "$artefacts/$1.png" 2>/dev/null || true
}

# Answers every "Confirm" box of the program with Return until it ends; at most $1 seconds.
quitAnsweringYes() {
    local box
    keys "$main" ctrl+q
    for _ in $(seq $(($1 * 2))); do
        kill -0 "$program" 2>/dev/null || break
        if box=$(waitWindow "Confirm" 1 "$program"); then
            keys "$box" Return
            waitGone "$box" 5 || true
        fi
    done
    expectEnd "$program" "answering its questions"
}

# The expected history after translating $1: moved to the top when present (ignoring case),
# else inserted there with the eleventh entry dropped.
addHistory() {
    local term=$1 lower kept=() entry
    lower=${term,,}
    local found=""
    for entry in "${history[@]}"; do
        if [ -z "$found" ] && [ "${entry,,}" = "$lower" ]; then
            found=$entry
        else
            kept+=("$entry")
        fi
    done
    if [ -n "$found" ]; then
        history=("$found" "${kept[@]}")
    else
        history=("$term" "${kept[@]}")
        [ "${#history[@]}" -gt 10 ] && history=("${history[@]:0:10}")
    fi
    return 0
}

historySection() {
    tr -d '\r' <"$app/termovel.ini" | awk '/^\[/{on = ($0 == "[History]"); next} on'
}

# --- The program folder: the binary, the bundled dictionaries, edit mode, no splash or tip ---
app=$work/app
mkdir -p "$app"
cp "$termovel" "$app/termovel"
shopt -s nullglob
bundled=("$(dirname "$termovel")"/*.dic)
shopt -u nullglob
[ "${#bundled[@]}" -ge 2 ] || fail "fewer than two bundled dictionaries beside $termovel"
cp "${bundled[@]}" "$app/"
printf '%s\r\n' "[Main]" "Program=Termovel v1.00" "EditMode=1" "ShowLogo=0" "ShowTip=0" \
    "[List]" "Count=0" "[History]" "Count=2" "N1=earlier" "N2=Zzzz" >"$app/termovel.ini"
history=(earlier Zzzz)

# The tabs in the order the program opens them (names in byte order), each with its title and
# a few terms that typing reaches: Latin words and chord names that no other term of the dictionary
# equals ignoring case and that the term before them does not begin, so the incremental search
# selects exactly them.
mapfile -t dics < <(cd "$app" && ls -1 ./*.dic | sed 's|^\./||' | LC_ALL=C sort)
titles=()
picks=()  # "tab<TAB>term"
for i in "${!dics[@]}"; do
    name=$("$termovel_dic" info "$app/${dics[$i]}" | sed -n '1s/^[^:]*: //p')
    if [ -n "$name" ]; then titles+=("Termovel v1.00 - $name"); else titles+=(""); fi
    "$termovel_dic" list "$app/${dics[$i]}" >"$work/terms.$i"
    awk -v tab="$i" '
        { lower = tolower($0); count[lower]++; term[NR] = $0; low[NR] = lower }
        END {
            n = 0
            for (r = 1; r <= NR; r++) {
                if (term[r] !~ /^[A-Za-z][A-Za-z0-9#]*$/ || length(term[r]) > 12) continue
                if (count[low[r]] > 1) continue
                if (r > 1 && index(low[r - 1], low[r]) == 1) continue
                ok[++n] = term[r]
            }
            # Up to ten, spread over the dictionary.
            want = n < 10 ? n : 10
            for (k = 1; k <= want; k++) print tab "\t" ok[int((k - 0.5) * n / want) + 1]
        }' "$work/terms.$i" >>"$work/candidates"
done
# Twenty look-ups, taken in turn from each dictionary that offers some, in tab order.
# A term met in an earlier tab is left out: its window would only come forward again.
mapfile -t picks < <(awk -F'\t' '!taken[tolower($2)]++ { seen[$1]++; print seen[$1] "\t" $0 }' \
    "$work/candidates" |
    sort -t$'\t' -k1,1n -k2,2n | cut -f2- | head -n 20)
[ "${#picks[@]}" -ge 20 ] || fail "the bundled dictionaries offer only ${#picks[@]} terms to type"
cp "$work/candidates" "$artefacts/candidates.txt"

"$app/termovel" >"$artefacts/termovel.log" 2>&1 &
program=$!
pids+=("$program")
main=$(waitWindow "Termovel v1\.00.*" 20 "$program") || fail "the main window did not appear"
waitTitle "${titles[0]:-Termovel v1.00}" 10 || fail "the first tab is not current at start"
shot 01-started
echo "ok: the main window opened with ${#dics[@]} bundled dictionaries"

# --- Twenty look-ups across the tabs ----------------------------------------------------------
current=0
windows=0
for pick in "${picks[@]}"; do
    tab=${pick%%$'\t'*}
    term=${pick#*$'\t'}
    if [ "$tab" != "$current" ]; then
        # From the search box Tab reaches the word list, then the tab strip.
        moves=()
        step=Right
        [ "$tab" -lt "$current" ] && step=Left
        for _ in $(seq $((tab > current ? tab - current : current - tab))); do moves+=("$step"); done
        keys "$main" Tab Tab "${moves[@]}" shift+Tab shift+Tab
        if [ -n "${titles[$tab]}" ]; then
            waitTitle "${titles[$tab]}" 10 || fail "tab $tab (${dics[$tab]}) did not become current"
        fi
        current=$tab
    fi
    # Select the old text, type the term over it, and drop any completion from the history.
    keys "$main" ctrl+a
    typeText "$main" "$term"
    before=$(programWindows Перевод)
    keys "$main" Delete Return
    translation=$(newWindow "$before" 10 Перевод) ||
        fail "no translation window for '$term' in ${dics[$tab]}"
    addHistory "$term"
    windows=$((windows + 1))
    if [ "$windows" -le 3 ]; then
        sleep 0.3
        shot "02-translation-$windows"
    fi
    # Every third window stays open; the others are closed with Escape.
    if [ $((windows % 3)) -ne 0 ]; then
        keys "$translation" Escape
        waitGone "$translation" 5 || fail "Escape did not close the translation of '$term'"
    fi
done
open_windows=$(programWindows Перевод | wc -l)
[ "$open_windows" = $((20 / 3)) ] || fail "$open_windows translation windows open, not $((20 / 3))"
shot 03-after-lookups
tabs_used=$(printf '%s\n' "${picks[@]}" | cut -f1 | sort -u | wc -l)
echo "ok: twenty look-ups over $tabs_used tabs, each opened its translation window"

# --- A new dictionary in edit mode: three terms added, one edited, one deleted ----------------
keys "$main" ctrl+n
sleep 0.5
addTerm e2ealpha "first article"
addTerm e2ebeta "second article"
addTerm e2egamma "third article" "its second line"
shot 04-added
echo "ok: three terms added to a new dictionary"

# Typing selects a term; Редактировать термин edits it.
keys "$main" ctrl+a
typeText "$main" e2ebeta
keys "$main" Delete
menuItem 2 3 3
box=$(waitWindow "Редактирование" 10 "$program") || fail "Редактировать термин opened no window"
keys "$box" ctrl+a
typeText "$box" e2ebravo
keys "$box" Tab ctrl+a
typeText "$box" "edited article"
keys "$box" Tab Return
waitGone "$box" 5 || fail "the editing window did not close"
echo "ok: e2ebeta edited into e2ebravo"

keys "$main" ctrl+a
typeText "$main" e2egamma
keys "$main" Delete
menuItem 2 2 3
box=$(waitWindow "Confirm" 10 "$program") || fail "Удалить термин asked nothing"
keys "$box" Return
waitGone "$box" 5 || fail "the deletion question did not close"
shot 05-edited
echo "ok: e2egamma deleted after the question"

# --- A text file imported through Импорт (the last item of Словарь) and its open dialog ---------
printf '%s\n' "@e2eimport1" "imported one" "~~~" "@e2eimport2" "imported two" "second line" \
    "~~~" >"$work/import.txt"
menuItem 1 1 last
box=$(waitWindow "Открыть" 10 "$program") || fail "Импорт opened no file dialog"
keys "$box" ctrl+a
typeText "$box" "$work/import.txt"
keys "$box" Return
waitGone "$box" 10 || fail "the open dialog did not close"
sleep 1
if progress=$(waitWindow "Импорт" 0 "$program"); then
    waitGone "$progress" 20 || fail "the import's progress window stayed"
fi
shot 06-imported
echo "ok: two terms imported from a text file"

# --- Saved through the save dialog -------------------------------------------------------------
keys "$main" ctrl+s
box=$(waitWindow "Сохранить как" 10 "$program") || fail "Ctrl+S opened no save dialog"
sleep 0.5
shot 07-save-dialog
keys "$box" ctrl+a
typeText "$box" "$app/e2e.dic"
keys "$box" Return
waitGone "$box" 10 || fail "the save dialog did not close"
waitUntil 5 test -s "$app/e2e.dic" || fail "Save wrote no e2e.dic"
printf 'e2ealpha\ne2ebravo\ne2eimport1\ne2eimport2\n' >"$work/expected.terms"
"$termovel_dic" list "$app/e2e.dic" >"$artefacts/e2e.terms" || fail "the saved file does not load"
cmp -s "$work/expected.terms" "$artefacts/e2e.terms" ||
    fail "the saved dictionary holds $(tr '\n' ' ' <"$artefacts/e2e.terms")"
[ "$("$termovel_dic" lookup "$app/e2e.dic" e2ebravo)" = "edited article" ] ||
    fail "the edited article was not saved"
[ "$("$termovel_dic" lookup "$app/e2e.dic" e2ealpha)" = "first article" ] ||
    fail "the first article was not saved"
[ "$("$termovel_dic" lookup "$app/e2e.dic" e2eimport1)" = "imported one" ] ||
    fail "the imported article was not saved"
echo "ok: Ctrl+S saved e2e.dic through the dialog with exactly the edited and imported terms"

# --- Ctrl+Q with its questions, then the settings on disk --------------------------------------
quitAnsweringYes 20
historySection >"$artefacts/history.first"
{
    for i in "${!history[@]}"; do echo "N$((i + 1))=${history[$i]}"; done
    echo "Count=${#history[@]}"
} >"$work/history.expected"
cp "$work/history.expected" "$artefacts/history.expected"
cmp -s "$work/history.expected" "$artefacts/history.first" ||
    fail "the history written at the end is not the one built (see history.first/.expected)"
cp "$app/e2e.dic" "$work/e2e.first"
echo "ok: Ctrl+Q ended the program and wrote the history of the run"

# --- A second start: the dictionary and the history come back exactly --------------------------
"$app/termovel" >"$artefacts/termovel.second.log" 2>&1 &
program=$!
pids+=("$program")
main=$(waitWindow "Termovel v1\.00.*" 20 "$program") || fail "the second start showed no window"
sleep 0.5
shot 08-restarted
# The history is back in the search box: its first letters complete the top entry.
top=${history[0]}
keys "$main" ctrl+a
typeText "$main" "${top:0:3}"
sleep 0.3
shot 09-completed-from-history
quitAnsweringYes 20
historySection >"$artefacts/history.second"
cmp -s "$work/history.expected" "$artefacts/history.second" ||
    fail "the history did not come back exactly after the restart"
cmp -s "$work/e2e.first" "$app/e2e.dic" || fail "the restart changed e2e.dic"
"$termovel_dic" list "$app/e2e.dic" | cmp -s "$work/expected.terms" - ||
    fail "the dictionary did not come back"
echo "ok: after the restart the dictionary and the history are exactly as saved"
echo "ok: whole run in $((SECONDS - started)) s"
