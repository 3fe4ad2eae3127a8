#!/usr/bin/env bash
# Configures (once) and builds the tree in build/, laying out the program folder build/termovel/.
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache, when installed, keeps rebuilds after a fresh configure (or in a second checkout) short.
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
fi
cmake --build build -j "$(nproc)"
