#!/usr/bin/env bash
# Builds everything and runs every test: core (GoogleTest), windows (Qt Test, offscreen),
# the real program under Xvfb, a short fuzzing run of the dictionary loader, then the core and
# window tests once more under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure_deps.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 600)

# Short fuzzing runs, 15 s each: the dictionary loader (seeded with the bundled dictionaries),
# the settings file read into the settings store and saved back (seeded with sample files),
# the text-import parser (seeded with the bundled dictionaries' sources) and the DSL reader
# (seeded with sample DSL files in UTF-8 and UTF-16). First each target
# replays the inputs that once broke it (fuzz/regressions/<target>/). A smoke test that the
# targets build and that arbitrary input stays safe; longer runs are made by hand with the
# same build (see CONTRIBUTING.md).
if command -v clang++ >/dev/null 2>&1; then
    if [ ! -f build/fuzz/build.ninja ]; then
        CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DTERMOVEL_GUI=OFF -DTERMOVEL_BENCH=OFF -DBUILD_TESTING=OFF -DTERMOVEL_FUZZ=ON
    fi
    cmake --build build/fuzz -j "$(nproc)" --target load_dic_fuzz ini_fuzz import_fuzz dsl_fuzz
    mkdir -p build/fuzz/corpus build/fuzz/corpus-ini build/fuzz/corpus-import build/fuzz/corpus-dsl
    # Only the small dictionaries: the ones converted from dictd run to tens of megabytes,
    # which would leave a short run no time for mutations.
    find build/dics -name '*.dic' -size -256k -exec cp -n {} build/fuzz/corpus/ \; 2>/dev/null || true
    cp -n fuzz/seeds/*.ini build/fuzz/corpus-ini/ 2>/dev/null || true
    cp -n data/*.txt build/fuzz/corpus-import/ 2>/dev/null || true
    cp -n fuzz/seeds/*.dsl build/fuzz/corpus-dsl/ 2>/dev/null || true
    for target in load_dic_fuzz:corpus ini_fuzz:corpus-ini import_fuzz:corpus-import \
        dsl_fuzz:corpus-dsl; do
        name=${target%%:*}
        corpus=build/fuzz/${target##*:}
        log=build/fuzz/$name.log
        regressions=(fuzz/regressions/$name/*)
        if [ -e "${regressions[0]}" ] &&
            ! build/fuzz/fuzz/$name "${regressions[@]}" >"$log" 2>&1; then
            tail -n 60 "$log"
            echo "$name fails again on an input kept in fuzz/regressions/$name." >&2
            exit 1
        fi
        if ! build/fuzz/fuzz/$name -max_total_time=15 -timeout=10 -malloc_limit_mb=256 \
            -artifact_prefix=build/fuzz/ "$corpus" >"$log" 2>&1; then
            tail -n 60 "$log"
            echo "$name failed under fuzzing; the input is saved as build/fuzz/crash-* (or" \
                 "leak-, timeout-, oom-)." >&2
            exit 1
        fi
        echo "$name: $(tail -n 1 "$log")"
    done
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
