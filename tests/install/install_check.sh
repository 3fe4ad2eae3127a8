#!/usr/bin/env bash
# The installed program: `cmake --install` into a staging folder gives the expected tree, the
# desktop entry and the AppStream metadata validate, the manual page covers every command of
# termovel-dic, CPack builds a Debian package holding the same tree, and the staged binary,
# started under Xvfb by an unprivileged user with a fresh home, makes its program folder in
# ~/.local/share/termovel from the installed dictionaries and writes nothing beside itself.
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
          share/mime/packages/termovel.xml
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
# The content type: a dictionary by its scrambled header, a spell checker's word list not.
mime=$work/mime
cp -r "$usr/share/mime" "$mime"
update-mime-database "$mime" >"$artefacts/mime.log" 2>&1 || fail "update-mime-database failed"
printf '2\nhello/S\nworld\n' >"$work/words.dic"
for pair in "${built_dics[0]}=application/x-termovel-dictionary" "$work/words.dic=text/plain"; do
    type=$(XDG_DATA_DIRS=$work:/usr/share gio info -a standard::content-type "${pair%%=*}" |
        sed -n 's/.*content-type: //p')
    [ "$type" = "${pair#*=}" ] || fail "${pair%%=*} is taken for $type, not ${pair#*=}"
done
echo "ok: a .dic dictionary is told from a spell checker's .dic word list by content"
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

# --- 4. The staged program started by a user with a fresh home ------------------------------
# Starts the staged binary as the user of $1 (a numeric id, or "" for the current one) with
# home $2, waits for its settings file and a window, then ends it.
firstStart() {
    local uid=$1 home=$2 run=() pid
    mkdir -p "$home" "$home-runtime"
    chmod 700 "$home-runtime"
    if [ -n "$uid" ]; then
        chown "$uid:$uid" "$home" "$home-runtime"
        run=(setpriv --reuid="$uid" --regid="$uid" --clear-groups)
    fi
    env -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$home-runtime" \
        "${run[@]}" "$usr/bin/termovel" >"$artefacts/start-$(basename "$home").log" 2>&1 &
    pid=$!
    pids+=("$pid")
    for _ in $(seq 200); do
        [ -f "$home/.local/share/termovel/termovel.ini" ] && break
        sleep 0.1
    done
    timeout 20 xdotool search --all --sync --onlyvisible --pid "$pid" --name . >/dev/null 2>&1 ||
        fail "the staged program showed no window for $home"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# Checks the program folder under home $1: the settings file and each bundled dictionary,
# byte for byte, owned by user $2.
checkProgramFolder() {
    local folder=$1/.local/share/termovel
    [ -f "$folder/termovel.ini" ] || fail "no termovel.ini in $folder"
    for name in "${bundled[@]}"; do
        cmp -s "$usr/share/termovel/$name" "$folder/$name" || fail "$name was not seeded into $folder"
    done
    [ "$(stat -c %u "$folder/termovel.ini")" = "$2" ] || fail "$folder is not the user's own"
}

if [ "$(id -u)" = 0 ]; then
    firstStart 65534 "$work/home-nobody"
    checkProgramFolder "$work/home-nobody" 65534
    # The superuser may write beside the installed binary but must not either.
    firstStart "" "$work/home-root"
    checkProgramFolder "$work/home-root" 0
else
    firstStart "" "$work/home-user"
    checkProgramFolder "$work/home-user" "$(id -u)"
fi
leftovers=$(find "$usr/bin" -mindepth 1 ! -name termovel ! -name termovel-dic)
[ -z "$leftovers" ] || fail "the program wrote beside its installed binary: $leftovers"
echo "ok: the staged program made ~/.local/share/termovel with ${#bundled[@]} dictionaries and left bin/ alone"
