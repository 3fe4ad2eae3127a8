#!/usr/bin/env bash
# Builds everything and runs every test: core (GoogleTest), windows (Qt Test, offscreen),
# the real program under Xvfb, then the core tests once more under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure_deps.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 600)

# The core again with AddressSanitizer and UndefinedBehaviorSanitizer: damaged files must
# never read out of bounds or reserve absurd amounts of memory.
if [ ! -f build/asan/build.ninja ]; then
    cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTERMOVEL_GUI=OFF \
          -DTERMOVEL_BENCH=OFF -DTERMOVEL_SANITIZE=ON
fi
cmake --build build/asan -j "$(nproc)" --target core_tests
(cd build/asan && ASAN_OPTIONS=allocator_may_return_null=1 ctest --output-on-failure -j "$(nproc)" -L core)
