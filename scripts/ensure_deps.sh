#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, only those that are missing.
set -euo pipefail
# One package a line, so that work on different parts adds lines rather than rewriting one.
# fp-utils compiles the help file, xchm is the desktop's viewer for it (libchm-bin lets the tests
# take it apart again), and xdg-utils hands files and addresses to the desktop's handlers.
# openbox and trayer give the end-to-end runs a window manager and a notification area, xclip a
# selection to look up.
packages=(
    cmake
    g++
    ninja-build
    pkg-config
    qt6-base-dev
    qt6-svg-dev
    # Qt's own dialogs in Russian (qtbase_ru.qm).
    qt6-translations-l10n
    libicu-dev
    libgtest-dev
    libbenchmark-dev
    xvfb
    xauth
    xdotool
    x11-utils
    imagemagick
    fonts-liberation
    # Debian's default face, which the dialogs must also fit where Liberation is missing.
    fonts-dejavu-core
    zlib1g-dev
    clang
    libclang-rt-dev
    fp-utils
    libchm-bin
    xchm
    xdg-utils
    openbox
    xclip
    trayer
    # The dictd databases that bundled dictionaries are converted from.
    dict-wn
    mueller7-dict
    dict-foldoc
    dict-vera
    dict-jargon
    # Dictionaries read where they lie, whose answers the data test checks against conversion.
    dict-gcide
    dict-freedict-eng-rus
    stardict-xmlittre
    stardict-czech
    # WordNet's counts of tagged senses: how common an English word is, for the order of the
    # Russian–English dictionary's translations.
    wordnet-base
    # Packaging: the .deb's library dependencies (dpkg-shlibdeps, file), the theme icons
    # rendered from SVG, and the checks of the desktop entry and the AppStream metadata.
    dpkg-dev
    file
    librsvg2-bin
    desktop-file-utils
    appstream
    # The Debian packages' own check.
    lintian
    # The content type of .dic files, checked as a desktop sees it.
    shared-mime-info
    libglib2.0-bin
    # Word forms: Hunspell's library and its Russian and English dictionaries, and WordNet's
    # lists of English irregular forms, read in place at run time.
    libhunspell-dev
    hunspell-ru
    hunspell-en-us
    wordnet-base
)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
        "${missing[@]}"
fi
