#!/usr/bin/env bash
# The installed program: `cmake --install` into a staging folder gives the expected tree, the
# desktop entry and the AppStream metadata validate, the manual page covers every command of
# termovel-dic, CPack builds a Debian package holding the same tree, and the staged binary,
# started under Xvfb by two users with fresh homes, reads the installed dictionaries in place
# (copying none), finds one added later, saves an edited one into the user's folder where it
# hides the installed one, and writes nothing beside itself; a read-only portable copy opens its
# dictionaries and help.
#
# Usage: install_check.sh <build dir> <artefact dir> <bundled dictionary>...
set -euo pipefail

build=$(realpath "$1")
artefacts=$2/install
shift 2
built_dics=("$@")
rm -rf "$artefacts"
mkdir -p "$artefacts"

source "$(dirname "$0")/../e2e/lib/harness.sh"
chmod 755 "$work"  # the unprivileged run below must reach the staged tree

# --- 1. The staged tree --------------------------------------------------------------------
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >"$artefacts/install.log" 2>&1 ||
    fail "cmake --install failed (see install.log)"
usr=$stage/usr

bundled=()
for dic in "${built_dics[@]}"; do
    bundled+=("$(basename "$dic")")
done
[ ${#bundled[@]} -ge 1 ] || fail "the build names no bundled dictionary"

expected=(bin/termovel bin/termovel-dic
          share/applications/termovel.desktop
          share/metainfo/org.termovel.Termovel.metainfo.xml
          share/icons/hicolor/scalable/apps/termovel.svg
          share/man/man1/termovel.1.gz share/man/man1/termovel-dic.1.gz)
for size in 16 32 48 128; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/termovel.png")
done
for name in "${bundled[@]}"; do
    expected+=("share/termovel/$name")
done
[ -f "$build/termovel/termovel.chm" ] && expected+=(share/termovel/termovel.chm)
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$usr" && find . -type f | sed 's|^\./||' | sort) \
    >"$artefacts/tree.diff" || fail "the installed tree differs from the expected one: $(cat "$artefacts/tree.diff")"
for dic in "${built_dics[@]}"; do
    cmp -s "$dic" "$usr/share/termovel/$(basename "$dic")" || fail "$dic was installed changed"
done
for size in 16 32 48 128; do
    file "$usr/share/icons/hicolor/${size}x${size}/apps/termovel.png" |
        grep -q "PNG image data, $size x $size" || fail "the ${size} px icon is no ${size}x${size} PNG"
done
[ -x "$usr/bin/termovel" ] && [ -x "$usr/bin/termovel-dic" ] || fail "the binaries are not executable"
echo "ok: the staged tree holds the programs, ${#bundled[@]} dictionaries, entry, metadata, icons, manuals"

# --- 2. Desktop entry, metadata and manual pages --------------------------------------------
desktop-file-validate "$usr/share/applications/termovel.desktop" >"$artefacts/desktop.log" 2>&1 ||
    fail "desktop-file-validate: $(cat "$artefacts/desktop.log")"
appstreamcli validate --no-net "$usr/share/metainfo/org.termovel.Termovel.metainfo.xml" \
    >"$artefacts/appstream.log" 2>&1 || fail "appstreamcli validate: $(cat "$artefacts/appstream.log")"
grep -q '<launchable type="desktop-id">termovel.desktop</launchable>' \
    "$usr/share/metainfo/org.termovel.Termovel.metainfo.xml" ||
    fail "the metadata does not launch the installed desktop entry"
echo "ok: desktop-file-validate and appstreamcli validate pass"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ "$("$usr/bin/termovel-dic" --version)" = "termovel-dic $version" ] ||
    fail "termovel-dic --version does not print $version"
manual=$(zcat "$usr/share/man/man1/termovel-dic.1.gz")
commands=$("$usr/bin/termovel-dic" --help | sed -n 's/^  termovel-dic \([a-z][a-z-]*\).*/\1/p' | sort -u)
[ -n "$commands" ] || fail "termovel-dic --help lists no commands"
for command in $commands; do
    grep -qF "\\fB${command//-/\\-}\\fR" <<<"$manual" || fail "the manual page does not describe '$command'"
done
for option in help version; do
    grep -qF "\\-\\-$option" <<<"$manual" || fail "the manual page does not describe --$option"
done
for code in 0 1 2 3 4; do
    grep -q "^\.B $code\$" <<<"$manual" || fail "the manual page does not give exit code $code"
done
zcat "$usr/share/man/man1/termovel.1.gz" | grep -q '^\.TH TERMOVEL 1' || fail "termovel.1 has no title"
echo "ok: the manual page describes all $(wc -w <<<"$commands") commands and the exit codes"

# --- 3. The Debian package ------------------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$work/deb" >"$artefacts/cpack.log" 2>&1) ||
    fail "cpack failed (see cpack.log)"
deb=$(ls "$work"/deb/termovel_"$version"_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "cpack made no termovel_${version}_*.deb"
dpkg-deb -c "$deb" >"$artefacts/deb-contents.txt"
diff <(printf '%s\n' "${expected[@]}" | sed 's|^|./usr/|' | sort) \
    <(awk '$1 !~ /^d/ {print $6}' "$artefacts/deb-contents.txt" | sort) >"$artefacts/deb.diff" ||
    fail "the package's files differ from the staged tree: $(cat "$artefacts/deb.diff")"
dpkg-deb -f "$deb" >"$artefacts/deb-control.txt"
grep -q '^Package: termovel$' "$artefacts/deb-control.txt" || fail "the package is not named termovel"
grep -q '^Recommends: .*\bxchm\b' "$artefacts/deb-control.txt" || fail "the package does not recommend xchm"
grep -q '^Description: [a-z]' "$artefacts/deb-control.txt" &&
    ! grep -q '^  ' "$artefacts/deb-control.txt" ||
    fail "the package's description is not laid out as a summary and paragraphs"
grep -q '^Depends:.*libqt6widgets6.*' "$artefacts/deb-control.txt" &&
    grep -q '^Depends:.*libicu' "$artefacts/deb-control.txt" ||
    fail "the package's dependencies were not read from its binaries"
echo "ok: $(basename "$deb") holds the staged tree and depends on the libraries its binaries use"

# --- 4. The staged program as two users meet it, and as a read-only portable copy ----------------
# The bundled dictionaries are read where they are installed: a first start copies nothing into
# the user's folder and opens them from share/termovel; a dictionary added there later shows up;
# an edited bundled dictionary is saved into the user's folder and from then on hides the
# installed one; a portable copy in a folder the user cannot write to opens its dictionaries and
# help beside itself. No run writes beside the binary.
source "$(dirname "$0")/../e2e/lib/editing.sh"
startWindowManager
export LC_ALL=C.UTF-8
data=$usr/share/termovel

# The Help command's hand-over to the desktop, recorded instead of opening a viewer.
mkdir -p "$work/fakebin"
printf '#!/bin/sh\necho "$@" >>%s\n' "$work/opened.log" >"$work/fakebin/xdg-open"
chmod 755 "$work/fakebin" "$work/fakebin/xdg-open"
: >"$work/opened.log"
chmod 666 "$work/opened.log"

# The title the main window shows with dictionary $1 current.
titleOf() {
    local name
    name=$("$usr/bin/termovel-dic" info "$1" | sed -n '1s/^[^:]*: //p')
    echo "Termovel v1.00${name:+ - $name}"
}
first=$(printf '%s\n' "${bundled[@]}" | LC_ALL=C sort -f | head -n1)

# Starts binary $4 (the staged one when empty) as user $1 ("" for the current one) with home $2;
# $3 "first" when it is the user's first start, whose tip of the day is closed with Enter.
# Sets program and main, and checks that the current dictionary is the one titled $5.
startAs() {
    local uid=$1 home=$2 firstStart=$3 binary=${4:-$usr/bin/termovel} title=$5 run=() tip
    mkdir -p "$home" "$home-runtime"
    chmod 700 "$home-runtime"
    if [ -n "$uid" ]; then
        chown "$uid:$uid" "$home" "$home-runtime"
        run=(setpriv --reuid="$uid" --regid="$uid" --clear-groups)
    fi
    env -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$home-runtime" \
        XDG_DATA_DIRS="$work/no-system-data" PATH="$work/fakebin:$PATH" \
        "${run[@]}" "$binary" >>"$artefacts/start-$(basename "$home").log" 2>&1 &
    program=$!
    pids+=("$program")
    if [ "$firstStart" = first ]; then
        tip=$(waitWindow "Совет" 30 "$program") || fail "no tip of the day at the first start in $home"
        keys "$tip" Return
    fi
    main=$(waitWindow "Termovel v1\.00.*" 20 "$program") || fail "no main window for $home"
    waitTitle "$title" 10 || fail "in $home the main window shows '$(xdotool getwindowname "$main")', not '$title'"
}

# Settings of a user who has started before: edit mode on, no splash, no tip.
editMode() {
    local folder=$1/.local/share/termovel
    printf '%s\r\n' "[Main]" "EditMode=1" "ShowLogo=0" "ShowTip=0" "[List]" "Count=0" \
        "[History]" "Count=0" >"$folder/termovel.ini"
    chown --reference="$folder" "$folder/termovel.ini"
}

# The user's folder under home $1 holds exactly the names that follow, owned by user $2.
userFiles() {
    local home=$1 uid=$2 folder=$1/.local/share/termovel
    shift 2
    diff <(printf '%s\n' "$@" | sort) <(cd "$folder" && find . -type f | sed 's|^\./||' | sort) \
        >"$artefacts/user-files.diff" || fail "$folder holds other files: $(cat "$artefacts/user-files.diff")"
    [ "$(stat -c %u "$folder/termovel.ini")" = "$uid" ] || fail "$folder is not the user's own"
}

if [ "$(id -u)" = 0 ]; then
    userA=65534 userB="" idA=65534 idB=0
else
    userA="" userB="" idA=$(id -u) idB=$(id -u)
fi
homeA=$work/home-a homeB=$work/home-b

startAs "$userA" "$homeA" first "" "$(titleOf "$data/$first")"
quitConfirmed "$main" "$program"
userFiles "$homeA" "$idA" termovel.ini
echo "ok: the first start opened the installed dictionaries in place and copied none"

editMode "$homeA"
startAs "$userA" "$homeA" "" "" "$(titleOf "$data/$first")"
addTerm e2einstalled "an edited bundled dictionary"
keys "$main" ctrl+s
box=$(waitWindow "Сохранить как" 10 "$program") || fail "Ctrl+S opened no save dialog"
sleep 0.5
keys "$box" Return
waitGone "$box" 10 || fail "the save dialog did not close"
quitConfirmed "$main" "$program"
userFiles "$homeA" "$idA" termovel.ini "$first"
"$usr/bin/termovel-dic" list "$homeA/.local/share/termovel/$first" >"$work/edited.terms"
grep -qx e2einstalled "$work/edited.terms" || fail "the edited $first was not saved into the user's folder"
cmp -s "$data/$first" "$(printf '%s\n' "${built_dics[@]}" | grep "/$first\$")" ||
    fail "saving the edited $first changed the installed one"
echo "ok: the edited $first was saved into the user's folder; the installed one is unchanged"

# A dictionary a later package adds, first in name order.
printf '@e2eadded\nadded later\n~~~\n' >"$work/added.txt"
"$usr/bin/termovel-dic" import "$data/0added.dic" "$work/added.txt" --name "Added later" >/dev/null
chmod 644 "$data/0added.dic"
startAs "$userA" "$homeA" "" "" "Termovel v1.00 - Added later"
# The second tab is the user's copy of $first: its new term is there to look up.
keys "$main" Tab Tab Right shift+Tab shift+Tab
waitTitle "$(titleOf "$data/$first")" 10 || fail "the second tab is not $first"
keys "$main" ctrl+a
typeText "$main" e2einstalled
keys "$main" Delete Return
waitWindow "Перевод" 10 "$program" >/dev/null ||
    fail "the user's edited $first does not hide the installed one"
quitConfirmed "$main" "$program"
echo "ok: the dictionary added to share/termovel opened, and the user's $first hid the installed one"

startAs "$userB" "$homeB" first "" "Termovel v1.00 - Added later"
quitConfirmed "$main" "$program"
userFiles "$homeB" "$idB" termovel.ini
rm "$data/0added.dic"
echo "ok: a second user's first start copied nothing and found the added dictionary too"

# A portable copy unpacked into a folder its user cannot write to.
portable=$work/portable
mkdir -p "$portable"
cp "$usr/bin/termovel" "${built_dics[@]}" "$portable/"
[ -f "$data/termovel.chm" ] && cp "$data/termovel.chm" "$portable/"
if [ "$(id -u)" = 0 ]; then portableUser=65534; else portableUser=""; fi
chmod 555 "$portable"
startAs "$portableUser" "$work/home-portable" first "$portable/termovel" "$(titleOf "$portable/$first")"
if [ -f "$portable/termovel.chm" ]; then
    keys "$main" F1
    for _ in $(seq 50); do grep -q "$portable/termovel.chm" "$work/opened.log" && break; sleep 0.1; done
    grep -q "$portable/termovel.chm" "$work/opened.log" ||
        fail "F1 in the read-only portable copy handed over '$(cat "$work/opened.log")'"
fi
quitConfirmed "$main" "$program"
chmod 755 "$portable"
echo "ok: the read-only portable copy opened its dictionaries and help beside itself"

leftovers=$(find "$usr/bin" -mindepth 1 ! -name termovel ! -name termovel-dic)
[ -z "$leftovers" ] || fail "the program wrote beside its installed binary: $leftovers"
echo "ok: no run wrote beside the installed binary"
