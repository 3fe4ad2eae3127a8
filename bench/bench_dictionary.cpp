// Speed and memory of the dictionary store. Every headline figure is measured next to a
// reference doing the same work the plain way, in the same run:
//
//   Scramble/Unscramble      fast walk vs the per-byte register loop
//   LoadFromFile             vs reading the file into memory and unscrambling it
//   SaveToFile               vs reading the file back (LoadFromFile; and from the disk itself,
//                            page cache dropped) and vs writing the same bytes with a flush
//   Find                     median of single look-ups (counter median_ns)
//   Import (unsorted text)   vs one sorted insert per term into a contiguous array
//   Resident memory          counters rss_bytes / file_bytes after loading
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"
#include "dictionary_synthetic.h"
#include "interchange/text_import.h"
#include "platform/compare.h"
#include "reference/reference.h"

namespace {

constexpr size_t kScrambleBytes = size_t{16} << 20;

// A folder of this run's files, removed when the run ends.
struct TBenchFolder {
    std::filesystem::path path;
    TBenchFolder() {
        path = std::filesystem::temp_directory_path() /
               ("termovel-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
    }
    ~TBenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

std::string benchFolder() {
    static const TBenchFolder folder;
    return folder.path.string();
}

void useRootOrder() {
    static const bool once = [] {
        compare::setLocale("");
        return true;
    }();
    (void)once;
}

// The synthetic dictionary of n terms, saved once per run; returns its path.
const std::string& dictionaryFile(size_t n) {
    static std::map<size_t, std::string> files;
    auto found = files.find(n);
    if (found != files.end())
        return found->second;
    useRootOrder();
    TDictionary d;
    TTermBatch batch;
    for (auto& [t, a] : dictionary_synthetic::entries(n))
        batch.add(t, a);
    d.addTerms(std::move(batch));
    d.SetName("Synthetic");
    const std::string path = benchFolder() + "/synthetic-" + std::to_string(n) + ".dic";
    d.SaveToFile(path);
    return files.emplace(n, path).first->second;
}

// The import text of the same synthetic entries, in generation (unsorted) order.
const std::string& importFile(size_t n) {
    static std::map<size_t, std::string> files;
    auto found = files.find(n);
    if (found != files.end())
        return found->second;
    const std::string path = benchFolder() + "/synthetic-" + std::to_string(n) + ".txt";
    dictionary_synthetic::writeImportText(path, dictionary_synthetic::entries(n));
    return files.emplace(n, path).first->second;
}

size_t fileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return static_cast<size_t>(in.tellg());
}

std::string randomBytes(size_t n) {
    std::string bytes(n, '\0');
    std::mt19937_64 random(1);
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// --- scrambling ---------------------------------------------------------------------------

void BM_ScrambleRegisterLoop(benchmark::State& state) {
    std::string bytes = randomBytes(kScrambleBytes);
    for (auto _ : state) {
        reference::scrambleByRegister(bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ScrambleRegisterLoop)->Unit(benchmark::kMillisecond);

void BM_Scramble(benchmark::State& state) {
    std::string bytes = randomBytes(kScrambleBytes);
    for (auto _ : state) {
        keystream::scramble(bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Scramble)->Unit(benchmark::kMillisecond);

void BM_UnscrambleRegisterLoop(benchmark::State& state) {
    std::string bytes = randomBytes(kScrambleBytes);
    for (auto _ : state) {
        reference::unscrambleByRegister(bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_UnscrambleRegisterLoop)->Unit(benchmark::kMillisecond);

void BM_Unscramble(benchmark::State& state) {
    std::string bytes = randomBytes(kScrambleBytes);
    for (auto _ : state) {
        keystream::unscramble(bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Unscramble)->Unit(benchmark::kMillisecond);

// --- loading and saving -------------------------------------------------------------------

void BM_ReadAndUnscramble(benchmark::State& state) {
    const std::string& path = dictionaryFile(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        TSecretMemoryStream stream;
        stream.LoadFromFile(path);
        stream.Unscramble();
        benchmark::DoNotOptimize(stream.data());
    }
    state.counters["file_bytes"] = static_cast<double>(fileSize(path));
}
// Reading the file back from the disk itself: its pages are first dropped from the page
// cache, as after a restart. The fair partner of a save that flushes to the disk.
void BM_ReadBackFromDisk(benchmark::State& state) {
    const std::string& path = dictionaryFile(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
        state.ResumeTiming();
        TSecretMemoryStream stream;
        stream.LoadFromFile(path);
        benchmark::DoNotOptimize(stream.data());
    }
}
BENCHMARK(BM_ReadBackFromDisk)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

// The disk cache's own speed: the file read into a buffer that is already in memory (faulted
// in once, reused) and unscrambled there. What loading would cost if allocating its buffer
// were free; LoadFromFile is held to 1.5 times this.
void BM_ReadIntoReusedBufferAndUnscramble(benchmark::State& state) {
    const std::string& path = dictionaryFile(static_cast<size_t>(state.range(0)));
    const size_t size = fileSize(path);
    std::vector<char> buffer(size);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        size_t done = 0;
        for (ssize_t n; done < size && (n = ::read(fd, buffer.data() + done, size - done)) > 0;)
            done += static_cast<size_t>(n);
        ::close(fd);
        keystream::unscramble(buffer.data(), done);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_ReadIntoReusedBufferAndUnscramble)->Arg(1000000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ReadAndUnscramble)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_LoadFromFile(benchmark::State& state) {
    const std::string& path = dictionaryFile(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        TDictionary d;
        d.LoadFromFile(path);
        benchmark::DoNotOptimize(d.Count());
        state.PauseTiming();  // freeing a large dictionary is not part of loading it
        d.Clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadFromFile)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_SaveToFile(benchmark::State& state) {
    const std::string& path = dictionaryFile(static_cast<size_t>(state.range(0)));
    TDictionary d;
    d.LoadFromFile(path);
    const std::string out = benchFolder() + "/save-" + std::to_string(state.range(0)) + ".dic";
    for (auto _ : state)
        d.SaveToFile(out);
}
// Reference floor for saving: writing the same number of bytes to a new file and flushing it
// to disk, which a save that must survive a crash cannot avoid.
void BM_WriteAndFlush(benchmark::State& state) {
    const std::string& path = dictionaryFile(static_cast<size_t>(state.range(0)));
    TSecretMemoryStream stream;
    stream.LoadFromFile(path);
    const std::string out = benchFolder() + "/flush-" + std::to_string(state.range(0)) + ".dic";
    for (auto _ : state) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 ||
            ::write(fd, stream.data(), stream.size()) != static_cast<ssize_t>(stream.size()) ||
            ::fsync(fd) != 0) {
            state.SkipWithError("write failed");
        }
        if (fd >= 0)
            ::close(fd);
    }
}
BENCHMARK(BM_WriteAndFlush)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_SaveToFile)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// --- look-up ------------------------------------------------------------------------------

void BM_Find(benchmark::State& state) {
    const std::string& path = dictionaryFile(static_cast<size_t>(state.range(0)));
    TDictionary d;
    d.LoadFromFile(path);
    std::mt19937_64 random(5);
    std::vector<std::string> probes;
    for (int i = 0; i < 4096; ++i)
        probes.emplace_back(d.Term(static_cast<int>(random() % static_cast<uint64_t>(d.Count()))));
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(d.Find(probes[i++ % probes.size()]));
    }
    // The median of single look-ups, timed one by one.
    std::vector<double> times;
    times.reserve(probes.size());
    for (const std::string& probe : probes) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(d.Find(probe));
        times.push_back(
            std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(times.begin(), times.begin() + static_cast<ptrdiff_t>(times.size() / 2),
                     times.end());
    state.counters["median_ns"] = times[times.size() / 2];
}
BENCHMARK(BM_Find)->Arg(10000)->Arg(100000)->Arg(1000000);

// --- import -------------------------------------------------------------------------------

void BM_ImportUnsorted(benchmark::State& state) {
    const std::string& path = importFile(static_cast<size_t>(state.range(0)));
    useRootOrder();
    for (auto _ : state) {
        TDictionary d;
        importText(d, path);
        benchmark::DoNotOptimize(d.Count());
        state.PauseTiming();
        d.Clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportUnsorted)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Reference: the same entries, one binary search and one insertion each into a contiguous
// array of (term, article), as a plain sorted list does it.
void BM_SortedInsertContiguous(benchmark::State& state) {
    useRootOrder();
    const auto entries = dictionary_synthetic::entries(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        std::vector<std::pair<std::string, std::string>> list;
        for (const auto& [t, a] : entries) {
            auto at = std::lower_bound(
                list.begin(), list.end(), t,
                [](const auto& e, const std::string& k) { return compare::terms(e.first, k) < 0; });
            if (at == list.end() || compare::terms(at->first, t) != 0)
                list.emplace(at, t, a);
        }
        benchmark::DoNotOptimize(list.data());
    }
}
BENCHMARK(BM_SortedInsertContiguous)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// --- memory -------------------------------------------------------------------------------

size_t residentBytes() {
    long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<size_t>(resident) * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

// Started with TERMOVEL_BENCH_RSS=<file>, the process only loads that dictionary, prints how
// much its resident set grew, and ends: a fresh process holds no memory freed earlier that
// could hide part of the growth.
[[maybe_unused]] const bool kResidentChild = [] {
    const char* path = std::getenv("TERMOVEL_BENCH_RSS");
    if (!path)
        return false;
    compare::setLocale("");
    const size_t before = residentBytes();
    TDictionary d;
    d.LoadFromFile(path);
    std::printf("%zu\n", residentBytes() - before);
    std::fflush(stdout);
    std::_Exit(0);
}();

void BM_ResidentMemory(benchmark::State& state) {
    const std::string& path = dictionaryFile(static_cast<size_t>(state.range(0)));
    double rss = 0;
    for (auto _ : state) {
        std::FILE* child = ::popen(
            ("TERMOVEL_BENCH_RSS='" + path + "' /proc/" + std::to_string(::getpid()) + "/exe")
                .c_str(),
            "r");
        unsigned long long grown = 0;
        if (!child || std::fscanf(child, "%llu", &grown) != 1)
            state.SkipWithError("child failed");
        if (child)
            ::pclose(child);
        rss = static_cast<double>(grown);
    }
    const double file = static_cast<double>(fileSize(path));
    state.counters["rss_bytes"] = rss;
    state.counters["file_bytes"] = file;
    state.counters["rss_per_file"] = rss / file;
}
BENCHMARK(BM_ResidentMemory)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
