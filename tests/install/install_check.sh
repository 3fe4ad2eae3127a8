#!/usr/bin/env bash
# The installed program: `cmake --install` into a staging folder gives the expected tree, the
# desktop entry and the AppStream metadata validate, the manual page covers every command of
# termovel-dic, CPack builds the three Debian packages (termovel, termovel-data, termovel-dic)
# that hold the same tree between them, lintian finds no error or warning in them (its output
# is kept in lintian.txt), and the staged binary,
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
          share/applications/org.termovel.Termovel.desktop
          share/metainfo/org.termovel.Termovel.metainfo.xml
          share/icons/hicolor/scalable/apps/termovel.svg
          share/man/man1/termovel.1.gz share/man/man1/termovel-dic.1.gz)
for size in 16 32 48 128; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/termovel.png")
done
for name in "${bundled[@]}"; do
    expected+=("share/termovel/$name")
done
for package in termovel termovel-data termovel-dic; do
    expected+=("share/doc/$package/copyright" "share/doc/$package/changelog.gz"
               "share/doc/$package/changelog.Debian.gz" "share/lintian/overrides/$package")
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
desktop-file-validate "$usr/share/applications/org.termovel.Termovel.desktop" >"$artefacts/desktop.log" 2>&1 ||
    fail "desktop-file-validate: $(cat "$artefacts/desktop.log")"
appstreamcli validate --no-net "$usr/share/metainfo/org.termovel.Termovel.metainfo.xml" \
    >"$artefacts/appstream.log" 2>&1 && ! grep -q '^[EWI]: ' "$artefacts/appstream.log" ||
    fail "appstreamcli validate: $(cat "$artefacts/appstream.log")"
grep -q '<launchable type="desktop-id">org.termovel.Termovel.desktop</launchable>' \
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
(cd "$build" && cpack -G DEB -B "$work/deb" >"$artefacts/cpack.log" 2>&1) ||
    fail "cpack failed (see cpack.log)"
debversion=$version-1
# The package of an installed file: the tool and the data by their paths, the rest the program's.
packageOf() {
    case $1 in
        bin/termovel-dic | share/man/man1/termovel-dic.1.gz | share/doc/termovel-dic/* | \
            share/lintian/overrides/termovel-dic) echo termovel-dic ;;
        share/termovel/* | share/doc/termovel-data/* | share/lintian/overrides/termovel-data) echo termovel-data ;;
        *) echo termovel ;;
    esac
}
debs=()
for package in termovel termovel-data termovel-dic; do
    deb=$(ls "$work"/deb/"${package}_${debversion}"_*.deb 2>/dev/null | head -n1)
    [ -n "$deb" ] || fail "cpack made no ${package}_${debversion}_*.deb"
    debs+=("$deb")
    dpkg-deb -c "$deb" >"$artefacts/$package-contents.txt"
    diff <(for f in "${expected[@]}"; do [ "$(packageOf "$f")" = "$package" ] && echo "./usr/$f"; done | sort) \
        <(awk '$1 !~ /^d/ {print $6}' "$artefacts/$package-contents.txt" | sort) >"$artefacts/$package.diff" ||
        fail "$package's files differ from its part of the staged tree: $(cat "$artefacts/$package.diff")"
    dpkg-deb -f "$deb" >"$artefacts/$package-control.txt"
    grep -q "^Package: $package\$" "$artefacts/$package-control.txt" || fail "$deb is not named $package"
    grep -q "^Version: $debversion\$" "$artefacts/$package-control.txt" || fail "$package is not version $debversion"
    grep -q '^Description: [a-z]' "$artefacts/$package-control.txt" &&
        ! grep -q '^  ' "$artefacts/$package-control.txt" ||
        fail "$package's description is not laid out as a summary and paragraphs"
    for changelog in changelog.gz:$version changelog.Debian.gz:$debversion; do
        dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/doc/$package/${changelog%%:*}" | gzip -dc |
            head -n1 | grep -q "^termovel (${changelog#*:}) " ||
            fail "$package's ${changelog%%:*} does not begin with version ${changelog#*:}"
    done
done
control=$artefacts/termovel-control.txt
grep -q '^Recommends: .*\bxchm\b' "$control" || fail "termovel does not recommend xchm"
grep -q "^Depends:.*termovel-data (= $debversion)" "$control" &&
    grep -q '^Depends:.*qt6-translations-l10n' "$control" || fail "termovel does not depend on its data and Qt's translations"
grep -q '^Depends:.*libqt6widgets6.*' "$control" && grep -q '^Depends:.*libicu' "$control" ||
    fail "termovel's dependencies were not read from its binary"
grep -q '^Depends:.*libicu' "$artefacts/termovel-dic-control.txt" &&
    ! grep -q '^Depends:.*libqt6' "$artefacts/termovel-dic-control.txt" ||
    fail "termovel-dic does not depend on ICU alone of the two"
grep -q '^Architecture: all$' "$artefacts/termovel-data-control.txt" || fail "termovel-data is not Architecture all"
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

# --- 6. The staged program started by a user with a fresh home ------------------------------
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
