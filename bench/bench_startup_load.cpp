// The start-up load of the bundled dictionaries: every file read and parsed on as many threads
// as the machine has processors, against the same files loaded one after another, in the same
// run. The bundled dictionaries are those the build made (build/dics); without them the
// benchmark says so and skips.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/parallel_load.h"
#include "platform/compare.h"

namespace {

std::vector<std::string> bundledDictionaries() {
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(TERMOVEL_BUNDLED_DICS, ec)) {
        if (entry.path().extension() == ".dic")
            paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void loadBundled(benchmark::State& state, unsigned threads) {
    compare::setLocale("");
    const std::vector<std::string> paths = bundledDictionaries();
    if (paths.empty()) {
        state.SkipWithError("no bundled dictionaries: build the bundled_dics target");
        return;
    }
    for (auto _ : state) {
        std::vector<TLoadedDictionary> loaded = loadDictionaries(paths, threads);
        benchmark::DoNotOptimize(loaded.data());
    }
    state.counters["files"] = static_cast<double>(paths.size());
    state.counters["threads"] =
        threads ? threads : std::max(1u, std::thread::hardware_concurrency());
}

void BM_BundledLoadSerial(benchmark::State& state) {
    loadBundled(state, 1);
}
BENCHMARK(BM_BundledLoadSerial)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BundledLoadParallel(benchmark::State& state) {
    loadBundled(state, 0);
}
BENCHMARK(BM_BundledLoadParallel)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
