#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/parallel_load.h"
#include "platform/compare.h"
#include "test_support.h"

// Loading on several threads, also in the background, gives, file by file and in the order
// asked, what loading one by one gives: the same dictionaries, and the same error for each file
// that does not load.
TEST(ParallelLoad, GivesWhatLoadingOneByOneGives) {
    compare::setLocale("");
    TTempFolder temp;
    // Large enough to be read by a thread of its own as it is parsed.
    TDictionary big;
    for (int i = 0; i < 60000; ++i) {
        char term[16];
        std::snprintf(term, sizeof term, "t%06d", i);
        big.AddTerm(term, std::string(60, static_cast<char>('a' + i % 26)));
    }
    big.SaveToFile(temp.file("big.dic"));
    std::vector<std::string> paths = {temp.file("big.dic")};
    for (int i = 0; i < 6; ++i) {
        TDictionary d;
        d.SetName("n" + std::to_string(i));
        d.AddTerm("w" + std::to_string(i), "a");
        const std::string path = temp.file(std::to_string(i) + ".dic");
        d.SaveToFile(path);
        paths.push_back(path);
        if (i % 2 == 0) {
            writeFile(temp.file("short" + std::to_string(i) + ".dic"), std::string(i + 1, 'x'));
            paths.push_back(temp.file("short" + std::to_string(i) + ".dic"));
        }
    }
    paths.push_back(temp.file("missing.dic"));
    paths.push_back(temp.path());

    struct TOutcome {
        std::string error;
        std::string name;
        TEntries entries;
        bool operator==(const TOutcome&) const = default;
    };
    // The error, or the name and entries of the dictionary loaded.
    auto outcomeOf = [](const std::function<const TDictionary&()>& load) {
        TOutcome outcome;
        outcome.error = errorOf([&] {
            const TDictionary& d = load();
            outcome.name = d.Name();
            outcome.entries = entries(d);
        });
        return outcome;
    };
    std::vector<TOutcome> serial;
    for (const std::string& path : paths) {
        TDictionary d;
        serial.push_back(outcomeOf([&]() -> const TDictionary& {
            d.LoadFromFile(path);
            return d;
        }));
    }
    // 0 threads: as many as processors; 99: the same in the background.
    for (unsigned threads : {1u, 2u, 3u, 8u, 0u, 99u}) {
        std::vector<TLoadedDictionary> loaded =
            threads == 99 ? TBackgroundLoad(paths).take() : loadDictionaries(paths, threads);
        ASSERT_EQ(loaded.size(), paths.size());
        for (size_t i = 0; i < paths.size(); ++i) {
            const TOutcome outcome = outcomeOf([&]() -> const TDictionary& {
                if (loaded[i].error)
                    std::rethrow_exception(loaded[i].error);
                return *loaded[i].dictionary;
            });
            EXPECT_EQ(outcome, serial[i]) << paths[i] << " on " << threads << " threads";
        }
    }
}
