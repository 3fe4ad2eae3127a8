#!/usr/bin/env bash
# Builds everything and runs every test: core (GoogleTest), windows (Qt Test, offscreen),
# the real program under Xvfb, a short fuzzing run of the dictionary loader, then the core and
# window tests once more under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure_deps.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 600)

# A short fuzzing run of the dictionary loader, seeded with the bundled dictionaries: a smoke
# test that the fuzz target builds and that loading arbitrary bytes stays safe. Longer runs are
# made by hand with the same build.
if command -v clang++ >/dev/null 2>&1; then
    if [ ! -f build/fuzz/build.ninja ]; then
        CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DTERMOVEL_GUI=OFF -DTERMOVEL_BENCH=OFF -DBUILD_TESTING=OFF -DTERMOVEL_FUZZ=ON
    fi
    cmake --build build/fuzz -j "$(nproc)" --target load_dic_fuzz
    corpus=build/fuzz/corpus
    mkdir -p "$corpus"
    # Only the small ones: the dictionaries converted from dictd run to tens of megabytes,
    # which would leave the short run no time for mutations.
    find build/dics -name '*.dic' -size -256k -exec cp -n {} "$corpus"/ \; 2>/dev/null || true
    if ! build/fuzz/fuzz/load_dic_fuzz -max_total_time=30 "$corpus" >build/fuzz/fuzz.log 2>&1; then
        tail -n 60 build/fuzz/fuzz.log
        echo "The dictionary loader failed under fuzzing; the input is saved as crash-* here." >&2
        exit 1
    fi
    tail -n 1 build/fuzz/fuzz.log
fi

# The core and the window tests again with AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer: damaged files must never read out of bounds or reserve absurd amounts of
# memory, and no window may leak or touch freed memory. Only what those tests need is built.
# The leak suppressions name libraries outside the project (Qt's platform plugins, fontconfig)
# and nothing of its own.
if [ ! -f build/asan/build.ninja ] || grep -q '^TERMOVEL_GUI:BOOL=OFF' build/asan/CMakeCache.txt; then
    cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTERMOVEL_GUI=ON \
          -DTERMOVEL_BENCH=OFF -DTERMOVEL_SANITIZE=ON
fi
mapfile -t ui_tests < <(cd tests/ui && ls tst_*.cpp | sed 's/\.cpp$//')
cmake --build build/asan -j "$(nproc)" --target core_tests "${ui_tests[@]}"
suppressions=$PWD/tests/sanitizer/lsan.supp
(cd build/asan &&
    ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
    LSAN_OPTIONS=suppressions=$suppressions:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$(nproc)" -L 'core|ui')
