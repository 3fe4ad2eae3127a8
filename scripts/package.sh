#!/usr/bin/env bash
# Builds the three Debian packages for release in build/package/: a build of its own with the
# distribution's hardened flags (TERMOVEL_PACKAGE_FLAGS), CPack's packages in
# build/package/debs/, and lintian's verdict on them in build/package/lintian.txt. Fails when
# a bundled dictionary cannot be built, lintian reports an error or a warning, or a binary lacks
# a hardening feature.
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
out=build/package
if [ ! -f "$out/build.ninja" ]; then
    cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERMOVEL_PACKAGE_FLAGS=ON \
        -DBUILD_TESTING=OFF -DTERMOVEL_BENCH=OFF "${launcher[@]}"
fi
cmake --build "$out" -j "$(nproc)"
rm -rf "$out/debs"
(cd "$out" && cpack -G DEB -B "$PWD/debs")
debs=("$out"/debs/*.deb)
# Informational and pedantic tags and the overridden ones (O:) are listed too, so the file says
# all that is left; lintian's own verdict would count the overridden ones, so the verdict is
# read from the list.
lintian --info --display-info --pedantic --show-overrides --fail-on none "${debs[@]}" 2>&1 |
    tee "$out/lintian.txt"
if grep -qE '^[EW]: ' "$out/lintian.txt"; then
    echo "lintian reports errors or warnings (see $out/lintian.txt)" >&2
    exit 1
fi
# lintian names a missing hardening feature only as information; for these packages it is a fault.
if grep -qE '^I: .*hardening-no-' "$out/lintian.txt"; then
    echo "the binaries lack a hardening feature (see $out/lintian.txt)" >&2
    exit 1
fi
echo "Packages: ${debs[*]}"
