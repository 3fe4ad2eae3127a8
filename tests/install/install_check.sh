#!/usr/bin/env bash
# The installed program: `cmake --install` into a staging folder gives the expected tree, the
# desktop entry and the AppStream metadata validate, the manual page covers every command of
# termovel-dic, CPack builds the three Debian packages (termovel, termovel-data, termovel-dic)
# that hold the same tree between them, lintian finds no error or warning in them (its output
# is kept in lintian.txt), and the staged binary, started under Xvfb by two users with fresh
# homes, reads the installed dictionaries in place (copying none), finds one added later, saves
# an edited one into the user's folder where it hides the installed one, and writes nothing
# beside itself; a read-only portable copy opens its dictionaries and help.
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

expected=(bin/termovel bin/termovel-dic
          share/applications/org.termovel.Termovel.desktop
          share/metainfo/org.termovel.Termovel.metainfo.xml
          share/icons/hicolor/scalable/apps/termovel.svg
          share/mime/packages/termovel.xml
          share/man/man1/termovel.1.gz share/man/man1/termovel-dic.1.gz)
bundled=()
for dic in "${built_dics[@]}"; do
    bundled+=("$(basename "$dic")")
    expected+=("share/termovel/${bundled[-1]}")
    cmp -s "$dic" "$usr/share/termovel/${bundled[-1]}" || fail "$dic was installed changed"
done
[ ${#bundled[@]} -ge 1 ] || fail "the build names no bundled dictionary"
for size in 16 32 48 128; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/termovel.png")
    file "$usr/${expected[-1]}" | grep -q "PNG image data, $size x $size" ||
        fail "the ${size} px icon is no ${size}x${size} PNG"
done
for package in termovel termovel-data termovel-dic; do
    expected+=("share/doc/$package/copyright" "share/doc/$package/changelog.gz"
               "share/doc/$package/changelog.Debian.gz" "share/lintian/overrides/$package")
done
[ -f "$build/termovel/termovel.chm" ] && expected+=(share/termovel/termovel.chm)
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$usr" && find . -type f | sed 's|^\./||' | sort) \
    >"$artefacts/tree.diff" || fail "the installed tree differs from the expected one: $(cat "$artefacts/tree.diff")"
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
desktop-file-validate "$usr/share/applications/org.termovel.Termovel.desktop" >"$artefacts/desktop.log" 2>&1 ||
    fail "desktop-file-validate: $(cat "$artefacts/desktop.log")"
appstreamcli validate --no-net "$usr/share/metainfo/org.termovel.Termovel.metainfo.xml" \
    >"$artefacts/appstream.log" 2>&1 && ! grep -q '^[EWI]: ' "$artefacts/appstream.log" ||
    fail "appstreamcli validate: $(cat "$artefacts/appstream.log")"
metainfo=$usr/share/metainfo/org.termovel.Termovel.metainfo.xml
grep -q '<launchable type="desktop-id">org.termovel.Termovel.desktop</launchable>' "$metainfo" ||
    fail "the metadata does not launch the installed desktop entry"
# termovel-dic is another package's binary, so the program's metadata does not provide it.
! grep -q '<binary>termovel-dic</binary>' "$metainfo" ||
    fail "the program's metadata provides termovel-dic, which termovel-dic's package installs"
echo "ok: desktop-file-validate and appstreamcli validate pass"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
grep -q "<release version=\"$version\" date=\"[0-9-]*\">" "$metainfo" ||
    fail "the metadata has no release $version"
[ "$("$usr/bin/termovel-dic" --version)" = "termovel-dic $version" ] ||
    fail "termovel-dic --version does not print $version"
manual=$(zcat "$usr/share/man/man1/termovel-dic.1.gz")
commands=$("$usr/bin/termovel-dic" --help | sed -n 's/^  termovel-dic \([a-z][a-z-]*\).*/\1/p' | sort -u)
[ -n "$commands" ] || fail "termovel-dic --help lists no commands"
for command in $commands; do
    grep -qF "\\fB${command//-/\\-}\\fR" <<<"$manual" || fail "the manual page does not describe '$command'"
done
for line in '\\-\\-help' '\\-\\-version' '^\.B 0$' '^\.B 1$' '^\.B 2$' '^\.B 3$' '^\.B 4$'; do
    grep -q "$line" <<<"$manual" || fail "the manual page has no line matching $line (an option or an exit code)"
done
zcat "$usr/share/man/man1/termovel.1.gz" | grep -q '^\.TH TERMOVEL 1' || fail "termovel.1 has no title"
echo "ok: the manual page describes all $(wc -w <<<"$commands") commands and the exit codes"

# --- 3. The copyright file ----------------------------------------------------------------
# One file for the build's program folder and every package: machine-readable, with a Files
# paragraph naming each bundled dictionary, and each licence it names spelt out.
copyright=$build/termovel/copyright
[ -f "$copyright" ] || fail "the build's program folder has no copyright file"
for package in termovel termovel-data termovel-dic; do
    cmp -s "$copyright" "$usr/share/doc/$package/copyright" ||
        fail "share/doc/$package/copyright differs from the build's copyright file"
done
head -n1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
    fail "the copyright file is not in the machine-readable format"
for name in "${bundled[@]}"; do
    grep -Eq "^Files: (.* )?${name//./\\.}( |\$)" "$copyright" || fail "the copyright file has no paragraph for $name"
done
# Every licence a Files paragraph names is spelt out in exactly one licence paragraph, and every
# licence paragraph is used.
awk 'BEGIN { RS = ""; FS = "\n" }
     $1 ~ /^License: / { text[substr($1, 10)]++; next }
     /^Files: / { for (i = 1; i <= NF; i++) if ($i ~ /^License: /) {
                      k = split(substr($i, 10), names, / and /)
                      for (j = 1; j <= k; j++) used[names[j]] = 1 } }
     END { for (n in used) if (text[n] != 1) bad = bad " " n
           for (n in text) if (!(n in used)) bad = bad " " n
           if (bad) { print bad; exit 1 } }' "$copyright" >"$artefacts/licences.txt" ||
    fail "a licence is not spelt out exactly once, or spelt out unused:$(cat "$artefacts/licences.txt")"
echo "ok: the copyright file covers all ${#bundled[@]} dictionaries and spells out each licence"

# --- 4. The Debian packages -----------------------------------------------------------------
# Made with nothing set in the environment, and made again: the same bytes both times. The
# second run makes only the program's package, the smallest (xz takes its time over the others);
# every package is made the same way, and below each is checked to carry only the one date.
for run in deb:all deb-again:program; do
    components=()
    [ "${run#*:}" = all ] || components=(-D "CPACK_COMPONENTS_ALL=${run#*:}")
    (cd "$build" && env -u SOURCE_DATE_EPOCH cpack -G DEB "${components[@]}" -B "$work/${run%%:*}" \
        >"$artefacts/cpack-${run%%:*}.log" 2>&1) || fail "cpack failed (see cpack-${run%%:*}.log)"
done
(cd "$work/deb" && sha256sum ./*.deb) >"$artefacts/sha256.txt"
(cd "$work/deb-again" && sha256sum -c --ignore-missing "$artefacts/sha256.txt") >"$artefacts/sha256-again.txt" 2>&1 &&
    grep -q ': OK$' "$artefacts/sha256-again.txt" ||
    fail "two cpack runs of one build tree made different packages: $(cat "$artefacts/sha256-again.txt")"
debversion=$(sed -n '1s/^termovel (\(.*\)) .*/\1/p' "$build/packaging/changelog.Debian")
[[ $debversion == "$version"-[0-9]* ]] || fail "the packages' version '$debversion' is not one of $version"
# Every file and every member of the packages carries the newest package entry's date.
stamp=$(TZ=UTC date -d "@$(dpkg-parsechangelog -l "$build/packaging/changelog.Debian" -S Timestamp)" '+%Y-%m-%d %H:%M')
# The package of an installed file: the tool and the data by their paths, the rest the program's.
packageOf() {
    case $1 in
        bin/termovel-dic | share/man/man1/termovel-dic.1.gz | share/doc/termovel-dic/* | \
            share/lintian/overrides/termovel-dic) echo termovel-dic ;;
        share/termovel/* | share/doc/termovel-data/* | share/lintian/overrides/termovel-data) echo termovel-data ;;
        *) echo termovel ;;
    esac
}
# Lines each package's control file must hold (after "!": must not): the program recommends the
# help viewer and depends on its data, on Qt's translations and on the libraries read from its
# binary; the tool has ICU built in (it starts faster so) and needs no Qt; the data suits every
# architecture. Each package is named and versioned, its description a summary and paragraphs.
fields=("termovel:^Recommends: .*\bxchm\b" "termovel:^Depends:.*termovel-data \(= $debversion\)"
        "termovel:^Depends:.*qt6-translations-l10n" "termovel:^Depends:.*libqt6widgets6"
        "termovel:^Depends:.*libicu" "termovel-dic:^Depends:.*zlib1g"
        "termovel-dic:!^Depends:.*(libqt6|libicu)" "termovel-data:^Architecture: all$"
        "termovel-dic:^Static-Built-Using: .*\bicu \(= $(dpkg-query -W -f='${source:Version}' libicu-dev | sed 's/[.+]/\\&/g')\)")
debs=()
for package in termovel termovel-data termovel-dic; do
    fields+=("$package:^Package: $package\$" "$package:^Version: $debversion\$"
             "$package:^Description: [a-z]" "$package:!^  ")
    deb=$(ls "$work"/deb/"${package}_${debversion}"_*.deb 2>/dev/null | head -n1)
    [ -n "$deb" ] || fail "cpack made no ${package}_${debversion}_*.deb"
    debs+=("$deb")
    dpkg-deb -c "$deb" >"$artefacts/$package-contents.txt"
    diff <(for f in "${expected[@]}"; do [ "$(packageOf "$f")" = "$package" ] && echo "./usr/$f"; done | sort) \
        <(awk '$1 !~ /^d/ {print $6}' "$artefacts/$package-contents.txt" | sort) >"$artefacts/$package.diff" ||
        fail "$package's files differ from its part of the staged tree: $(cat "$artefacts/$package.diff")"
    dpkg-deb -f "$deb" >"$artefacts/$package-control.txt"
    [ "$(ar t "$deb" | tr '\n' ' ')" = "debian-binary control.tar.gz data.tar.xz " ] ||
        fail "$package's members are $(ar t "$deb" | tr '\n' ' '), the contents not xz-compressed"
    { TZ=UTC ar tv "$deb" | awk '{print $5 " " $4 " " $7 " " $6}' | TZ=UTC xargs -I{} date -d {} '+%Y-%m-%d %H:%M'
      for part in --ctrl-tarfile --fsys-tarfile; do
          dpkg-deb "$part" "$deb" | TZ=UTC tar -tv --full-time | awk '{print $4 " " substr($5, 1, 5)}'
      done; } | sort | uniq -c >"$artefacts/$package-dates.txt"
    [ "$(awk '{print $2 " " $3}' "$artefacts/$package-dates.txt")" = "$stamp" ] ||
        fail "$package's files are not all dated $stamp: $(cat "$artefacts/$package-dates.txt")"
    for changelog in changelog.gz:$version changelog.Debian.gz:$debversion; do
        dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/doc/$package/${changelog%%:*}" | gzip -dc |
            head -n1 | grep -q "^termovel (${changelog#*:}) " ||
            fail "$package's ${changelog%%:*} does not begin with version ${changelog#*:}"
    done
done
for row in "${fields[@]}"; do
    package=${row%%:*} pattern=${row#*:} holds=yes
    [ "${pattern:0:1}" = '!' ] && pattern=${pattern:1} holds=no
    grep -qE "$pattern" "$artefacts/$package-control.txt" && found=yes || found=no
    [ "$found" = "$holds" ] || fail "$package's control file, holding a line matching '$pattern': $found"
done
for package in termovel termovel-dic; do
    dpkg-deb --fsys-tarfile "$work/deb/${package}_${debversion}"_*.deb | tar -xO "./usr/bin/$package" \
        >"$work/$package.packaged"
    sections=$(readelf -SW "$work/$package.packaged")
    ! grep -qE '\.(comment|debug_info|symtab) ' <<<"$sections" ||
        fail "the packaged $package is not stripped of its symbols, debugging data and .comment"
done
# Every tag is listed, overridden ones too (shown with O:, which is why lintian's own verdict,
# counting those, is not taken); an error or a warning fails.
lintian --info --display-info --pedantic --show-overrides --fail-on none "${debs[@]}" \
    >"$artefacts/lintian.txt" 2>&1 || fail "lintian did not run: $(cat "$artefacts/lintian.txt")"
! grep -E '^[EW]: ' "$artefacts/lintian.txt" >"$artefacts/lintian-faults.txt" ||
    fail "lintian reports errors or warnings: $(cat "$artefacts/lintian-faults.txt")"
echo "ok: $(basename -a "${debs[@]}" | tr '\n' ' ')hold the staged tree, depend as they should and pass lintian"

# --- 5. A build that lacks a converted dictionary ------------------------------------------
# Without the dictd databases the build leaves their dictionaries out, but installing it stops
# with the names of the missing ones, and a build for the packages stops at once.
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
scratch=$work/no-dictd-build
mkdir -p "$work/no-dictd"
cmake -S "$source_dir" -B "$scratch" -G Ninja -DBUILD_TESTING=OFF -DTERMOVEL_BENCH=OFF \
    -DTERMOVEL_DICTD_DIR="$work/no-dictd" >"$artefacts/no-dictd-configure.log" 2>&1 ||
    fail "a build without the dictd databases does not configure (see no-dictd-configure.log)"
! cmake --install "$scratch" --component data --prefix "$work/no-dictd-stage" \
    >"$artefacts/no-dictd-install.log" 2>&1 &&
    grep -q 'Не собраны словари: en_ru_mueller.dic (mueller7-dict)' "$artefacts/no-dictd-install.log" ||
    fail "installing a build without Mueller's dictionary did not stop with its name"
! cmake -DTERMOVEL_PACKAGE_FLAGS=ON "$scratch" >"$artefacts/no-dictd-package.log" 2>&1 &&
    grep -q 'Не собраны словари' "$artefacts/no-dictd-package.log" ||
    fail "a build for the packages without the dictd databases was configured"
echo "ok: a build without a converted dictionary can be neither installed nor packaged"

# --- 6. The staged program as two users meet it, and as a read-only portable copy ----------------
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
# The desktop names a viewer for the help file (F1 warns instead when it names none).
printf '#!/bin/sh\necho "$@" >>%s\n' "$work/opened.log" >"$work/fakebin/xdg-open"
printf '#!/bin/sh\necho xchm.desktop\n' >"$work/fakebin/xdg-mime"
chmod 755 "$work/fakebin" "$work/fakebin/xdg-open" "$work/fakebin/xdg-mime"
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
saveWithCtrlS
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
chmod 555 "$portable"
startAs "$userA" "$work/home-portable" first "$portable/termovel" "$(titleOf "$portable/$first")"
if [ -f "$portable/termovel.chm" ]; then
    keys "$main" F1
    waitUntil 5 grep -q "$portable/termovel.chm" "$work/opened.log" ||
        fail "F1 in the read-only portable copy handed over '$(cat "$work/opened.log")'"
fi
quitConfirmed "$main" "$program"
chmod 755 "$portable"
echo "ok: the read-only portable copy opened its dictionaries and help beside itself"

leftovers=$(find "$usr/bin" -mindepth 1 ! -name termovel ! -name termovel-dic)
[ -z "$leftovers" ] || fail "the program wrote beside its installed binary: $leftovers"
echo "ok: no run wrote beside the installed binary"
