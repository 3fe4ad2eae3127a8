#include "dictionary/parallel_load.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <system_error>
#include <thread>
#include <utility>

#include "dictionary/dictionary.h"
#include "dictionary/term_index.h"
#include "platform/compare.h"

std::vector<TLoadedDictionary> loadDictionaries(const std::vector<std::string>& paths,
                                                unsigned threads,
                                                const std::optional<std::string>& indexFolder,
                                                bool onlyMadeIndexes) {
    std::vector<TLoadedDictionary> results(paths.size());
    // The comparison opens its collator on first use; done here, before any other thread runs,
    // the threads only read it.
    (void)compare::terms("", "");

    std::vector<off_t> sizes(paths.size(), 0);
    for (size_t i = 0; i < paths.size(); ++i) {
        struct stat info {};
        if (::stat(paths[i].c_str(), &info) == 0)
            sizes[i] = info.st_size;
    }
    std::vector<size_t> order(paths.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return sizes[a] > sizes[b]; });

    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t taken; (taken = next.fetch_add(1)) < order.size();) {
            TLoadedDictionary& result = results[order[taken]];
            try {
                auto dictionary = std::make_unique<TDictionary>();
                const std::string& path = paths[order[taken]];
                if (indexFolder && onlyMadeIndexes) {
                    std::shared_ptr<const TTermFile> file =
                        TTermFile::open(path, *indexFolder, TTermFile::TOpen::Cached);
                    if (!file) {
                        result.indexToMake = true;
                        continue;
                    }
                    dictionary->openIndexed(std::move(file));
                } else if (indexFolder)
                    dictionary->openIndexed(path, *indexFolder);
                else
                    dictionary->LoadFromFile(path);
                result.dictionary = std::move(dictionary);
            } catch (...) {
                result.error = std::current_exception();
            }
        }
    };

    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    const size_t helpers = std::min<size_t>(threads, paths.size());
    std::vector<std::thread> pool;
    for (size_t i = 1; i < helpers; ++i) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: fewer do the same work
        }
    }
    work();
    for (std::thread& t : pool)
        t.join();
    return results;
}

TBackgroundLoad::TBackgroundLoad(std::vector<std::string> paths,
                                 std::optional<std::string> indexFolder, bool onlyMadeIndexes)
    : paths_(std::move(paths)),
      indexFolder_(std::move(indexFolder)),
      onlyMadeIndexes_(onlyMadeIndexes) {
    (void)compare::terms("", "");
    try {
        thread_ = std::thread(
            [this] { results_ = loadDictionaries(paths_, 0, indexFolder_, onlyMadeIndexes_); });
        started_ = true;
    } catch (const std::system_error&) {
    }
}

TBackgroundLoad::~TBackgroundLoad() {
    if (thread_.joinable())
        thread_.join();
}

std::vector<TLoadedDictionary> TBackgroundLoad::take() {
    if (thread_.joinable())
        thread_.join();
    if (!started_)
        results_ = loadDictionaries(paths_, 0, indexFolder_, onlyMadeIndexes_);
    return std::move(results_);
}

TIndexBuild::TIndexBuild(std::string path, std::string folder)
    : path_(std::move(path)), folder_(std::move(folder)) {
    (void)compare::terms("", "");
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        run();
    }
}

TIndexBuild::~TIndexBuild() {
    progress_.cancel = true;
    if (thread_.joinable())
        thread_.join();
}

void TIndexBuild::run() {
    try {
        auto dictionary = std::make_unique<TDictionary>();
        dictionary->openIndexed(path_, folder_, &progress_);
        dictionary_ = std::move(dictionary);
    } catch (...) {
        error_ = std::current_exception();
    }
    finished_ = true;
}

int TIndexBuild::progress() const {
    const uint64_t total = progress_.total;
    if (finished_)
        return 100;
    return total == 0 ? 0 : static_cast<int>(std::min<uint64_t>(99, progress_.done * 100 / total));
}

std::unique_ptr<TDictionary> TIndexBuild::take() {
    if (thread_.joinable())
        thread_.join();
    if (error_)
        std::rethrow_exception(error_);
    return std::move(dictionary_);
}
