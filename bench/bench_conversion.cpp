// Conversion of WordNet (Debian's dict-wn, about 147 000 entries) into a .dic file, the whole
// work of the command: read, convert, build, save.
//
//   ConvertWordNet/dictd      from-dictd of wn.index and wn.dict.dz
//   ConvertWordNet/stardict   from-stardict of the same entries written here as a StarDict
//                             dictionary (.ifo, .idx, .dict.dz, sametypesequence=m); its counter
//                             vs_dictd is its time over the dictd conversion's in the same run
//
// Times are the process's processor time: on a machine shared with other work the wall-clock
// time mostly measures the others. The counter wall_ms gives the wall-clock time as well.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"
#include "interchange/conversion.h"
#include "interchange/dict_data.h"
#include "interchange/dictd_reader.h"
#include "interchange/stardict_reader.h"
#include "platform/compare.h"

namespace {

const std::string kIndex = "/usr/share/dictd/wn.index";
const std::string kData = "/usr/share/dictd/wn.dict.dz";

struct Folder {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("termovel-bench-convert-" + std::to_string(::getpid()));
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const Folder& folder() {
    static const Folder f;
    return f;
}

uint64_t number(std::string_view digits) {
    uint64_t v = 0;
    decodeDictdNumber(digits, v);
    return v;
}

void appendBigEndian32(std::string& out, uint64_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

// WordNet's entries as a StarDict dictionary, written once; returns the .ifo path.
const std::string& starDictFile() {
    static const std::string ifo = [] {
        TSecretMemoryStream index;
        index.LoadFromFile(kIndex);
        TDictData data(kData);
        std::string idx;
        std::string dict;
        size_t count = 0;
        std::string_view text(index.data(), index.size());
        while (!text.empty()) {
            const size_t end = text.find('\n');
            const std::string_view line = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            const size_t tab1 = line.find('\t');
            const size_t tab2 = line.find('\t', tab1 + 1);
            if (tab1 == std::string_view::npos || tab2 == std::string_view::npos)
                continue;
            const std::string_view word = line.substr(0, tab1);
            if (word.starts_with("00-database"))
                continue;
            const std::string_view article = data.read(
                number(line.substr(tab1 + 1, tab2 - tab1 - 1)), number(line.substr(tab2 + 1)));
            idx.append(word);
            idx.push_back('\0');
            appendBigEndian32(idx, dict.size());
            appendBigEndian32(idx, article.size());
            dict.append(article);
            ++count;
        }
        const std::string base = (folder().path / "wn").string();
        std::ofstream(base + ".idx", std::ios::binary) << idx;
        std::ofstream(base + ".dict.dz", std::ios::binary) << makeDictzip(dict);
        std::ofstream(base + ".ifo", std::ios::binary)
            << "StarDict's dict ifo file\nversion=2.4.2\nbookname=WordNet\nwordcount=" << count
            << "\nidxfilesize=" << idx.size() << "\nsametypesequence=m\n";
        return base + ".ifo";
    }();
    return ifo;
}

struct Seconds {
    double processor = 0;
    double wall = 0;
};

Seconds convertSeconds(bool dictd) {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t startClock = std::clock();
    TConversion conversion;
    if (dictd)
        readDictd(kIndex, kData, conversion);
    else
        readStarDict(starDictFile(), conversion);
    TDictionary d;
    conversion.finish(d);
    d.SaveToFile((folder().path / "out.dic").string());
    return {static_cast<double>(std::clock() - startClock) / CLOCKS_PER_SEC,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

void BM_ConvertWordNet(benchmark::State& state) {
    if (!std::filesystem::exists(kIndex) || !std::filesystem::exists(kData)) {
        state.SkipWithError("dict-wn is not installed");
        return;
    }
    compare::setLocale("");
    const bool dictd = state.range(0) == 0;
    if (!dictd)
        starDictFile();
    double dictdTotal = 0;
    double own = 0;
    double wall = 0;
    for (auto _ : state) {
        const Seconds seconds = convertSeconds(dictd);
        state.SetIterationTime(seconds.processor);
        own += seconds.processor;
        wall += seconds.wall;
        if (!dictd)
            dictdTotal += convertSeconds(true).processor;
    }
    state.counters["wall_ms"] = 1000 * wall / static_cast<double>(state.iterations());
    if (!dictd)
        state.counters["vs_dictd"] = own / dictdTotal;
    state.SetLabel(dictd ? "dictd" : "stardict");
}
BENCHMARK(BM_ConvertWordNet)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
