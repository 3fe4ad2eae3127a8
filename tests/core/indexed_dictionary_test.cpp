#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/parallel_load.h"
#include "dictionary/prefix_search.h"
#include "dictionary/term_index.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "platform/upcase.h"
#include "reference/reference.h"
#include "test_support.h"

namespace {

// The plain layout of a file of count random entries in the order drawn, each term followed
// now and then by a copy in upper case (an equal term: the first one stays) and now and then
// by a copy with a zero byte and more inside it (read as cut at the zero).
std::string randomFile(std::mt19937& random, int count) {
    static const std::vector<std::string> pieces = textPieces();
    std::string body;
    int written = 0;
    for (int i = 0; i < count; ++i) {
        const std::string term = randomText(random, pieces, 5);
        std::vector<std::string> copies = {term};
        if (random() % 4 == 0)
            copies.push_back(upcase::text(term));
        if (random() % 3 == 0)
            copies.push_back(term + std::string(1, '\0') + randomText(random, pieces, 3));
        for (const std::string& copy : copies) {
            body += entry(copy, randomText(random, pieces, 10) + std::to_string(written));
            ++written;
        }
    }
    return record(randomText(random, pieces, 4)) + record(randomText(random, pieces, 3)) +
           record(randomText(random, pieces, 8)) + le32(written) + body;
}

// What the dictionary answers to: its header, file and Modified, every entry, Find and
// lowerBound of every probe and the incremental search of every prefix, one line each.
std::vector<std::string> answers(const TDictionary& d, const std::vector<std::string>& probes,
                                 const std::vector<std::string>& prefixes) {
    std::vector<std::string> out = {d.Name(),     d.Author(),
                                    d.Info(),     std::to_string(d.Count()),
                                    d.fileName(), std::to_string(d.Modified())};
    for (int i = 0; i < d.Count(); ++i) {
        std::string term;
        std::string article;
        d.GetTerm(i, term, article);
        out.push_back(std::string(d.Term(i)) + " | " + std::string(d.Article(i)) + " | " + term +
                      " | " + article);
    }
    for (const std::string& probe : probes)
        out.push_back(std::to_string(d.Find(probe)) + " " + std::to_string(d.lowerBound(probe)));
    TPrefixSearch search(&d);
    for (const std::string& prefix : prefixes)
        out.push_back(std::to_string(search.find(prefix)));
    return out;
}

}  // namespace

// A dictionary read through its term index, made afresh, read back from the cache or held in
// memory, answers exactly as the file loaded whole: header, every term and article, Find and
// lowerBound, and the incremental search.
TEST(IndexedDictionary, AnswersAsLoadingTheWholeFile) {
    compare::setLocale("");
    std::mt19937 random(30);
    TDictionary saved;
    randomDictionary(random, saved);
    for (int i = 0; i < 300; ++i)
        saved.AddTerm(randomText(random, textPieces(), 5), "a" + std::to_string(i));
    const std::vector<std::pair<const char*, std::string>> files = {
        {"saved in order", plainBytes(saved)},
        {"out of order, equal terms in other case or cut at a zero byte", randomFile(random, 300)},
        {"empty", record("name") + record("") + record("info") + le32(0)},
        {"long records", emptyHeader() + le32(3) + entry("b", std::string(300000, 'x')) +
                             entry(std::string(200000, 'a'), "A") + entry("c", "")},
    };
    TTempFolder temp;
    for (const auto& [what, plain] : files)
        writeScrambled(temp.file(std::string(what) + ".dic"), plain);
    // In the root order, then in one where "aa" follows "z": an index is of one order only, so
    // the cache's index is not used there but made again.
    for (const char* locale : {"", "da_DK"}) {
        for (const auto& [what, plain] : files) {
            compare::setLocale(locale);
            const std::string dic = temp.file(std::string(what) + ".dic");
            TDictionary loaded;
            loaded.LoadFromFile(dic);
            std::vector<std::string> probes = {"", "absent", "\xff\xff", std::string(200000, 'a')};
            std::vector<std::string> prefixes = {"", "A", "\xc0", "\xe0", "\xff"};
            for (int i = 0; i < loaded.Count(); ++i) {
                const std::string term(loaded.Term(i));
                probes.insert(probes.end(), {term, upcase::text(term), term + "\x01", term + "a"});
                prefixes.push_back(term.substr(0, 1 + i % 3));
                prefixes.push_back(upcase::text(term.substr(0, 2)) + "q");
            }
            const std::vector<std::string> expected = answers(loaded, probes, prefixes);
            SCOPED_TRACE(std::string(what) + " in the order '" + locale + "'");
            // In the cache twice (made, then read back), then in memory.
            const std::vector<std::pair<std::string, bool>> openings = {
                {temp.file("cache"), false}, {temp.file("cache"), true}, {"", false}};
            for (const auto& [folder, fromCache] : openings) {
                TDictionary indexed;
                indexed.openIndexed(dic, folder);
                ASSERT_NE(indexed.termFile(), nullptr);
                EXPECT_EQ(indexed.termFile()->fromCache(), fromCache) << folder;
                EXPECT_EQ(answers(indexed, probes, prefixes), expected) << "in '" << folder << "'";
            }
            // Once the dictionary changes (a term added, or one removed), the incremental search
            // built on the index's order keeps in step with it.
            for (const bool adding : {true, false}) {
                TDictionary changed;
                changed.openIndexed(dic, temp.file("cache"));
                TPrefixSearch search(&changed);
                search.build();
                if (adding) {
                    search.termInserted(changed.AddTerm("\xc0new", ""));
                } else if (changed.Count() > 0) {
                    changed.Delete(changed.Count() / 2);
                    search.termRemoved(changed.Count() / 2);
                }
                for (const std::string& prefix : prefixes) {
                    ASSERT_EQ(search.find(prefix), reference::linearPrefixSearch(changed, prefix))
                        << prefix << (adding ? ", added" : ", removed");
                }
            }
        }
    }
    compare::setLocale("");
}

// A file replaced, rewritten in place (same terms at the same places, other articles) or cut
// short while its dictionary is open through the index: no article of the new file is shown
// against the old terms, the change is told, and an edit raises and changes nothing.
TEST(IndexedDictionary, FileChangedUnderItIsNeverReadAsTheOldOne) {
    compare::setLocale("");
    const TEntries old = {{"apple", "old apple"}, {"banana", "old banana"}, {"cherry", "old"}};
    const TEntries other = {{"apple", "new apple"}, {"banana", "new banana"}, {"cherry", "new"}};
    using TChange = std::function<void(const std::string& dic)>;
    const std::vector<std::pair<const char*, TChange>> changes = {
        {"replaced", [&](auto& dic) { replaceWith(dic, other); }},
        {"rewritten in place, time put back",
         [&](auto& dic) { rewriteInPlace(dic, plainEntries(other)); }},
        {"cut short", [](auto& dic) { std::filesystem::resize_file(dic, 40); }},
        {"removed", [](auto& dic) { std::filesystem::remove(dic); }},
    };
    for (const auto& [what, change] : changes) {
        // Once with the file not yet read for an article, once with it open from a read.
        for (const bool readBefore : {false, true}) {
            SCOPED_TRACE(std::string(what) + (readBefore ? ", read before" : ""));
            TTempFolder temp;
            const std::string dic = temp.file("d.dic");
            saveEntries(dic, old);
            TDictionary d;
            d.openIndexed(dic, temp.file("cache"));
            if (readBefore) {
                EXPECT_EQ(d.Article(2), "old");
            }
            EXPECT_FALSE(d.fileChanged());
            change(dic);
            EXPECT_TRUE(d.fileChanged());
            // The open file may go on giving the old version's articles, never others.
            for (int i = 0; i < d.Count(); ++i) {
                std::string article;
                try {
                    article = d.Article(i);
                } catch (const TDictionaryChanged&) {
                    continue;
                }
                EXPECT_TRUE(readBefore && article == old[static_cast<size_t>(i)].second) << article;
            }
            EXPECT_THROW(d.AddTerm("date", "new"), TDictionaryChanged);
            EXPECT_THROW(d.SetName("new"), TDictionaryChanged);
            EXPECT_EQ(terms(d), (std::vector<std::string>{"apple", "banana", "cherry"}));
            EXPECT_EQ(d.Name(), "");
            EXPECT_FALSE(d.Modified());
            EXPECT_NE(d.termFile(), nullptr);
        }
    }
}

// On an unchanged file, the first edit loads the dictionary whole: the edit's answer, Modified,
// the saved bytes and the check against another program's change are those of the file loaded
// whole and edited alike.
TEST(IndexedDictionary, EditsAndSavesAsALoadedDictionary) {
    compare::setLocale("");
    using TEdit = std::function<std::string(TDictionary&)>;
    const std::vector<std::pair<const char*, TEdit>> edits = {
        {"add", [](auto& d) { return std::to_string(d.AddTerm("Mango", "m")); }},
        {"add a present term", [](auto& d) { return std::to_string(d.AddTerm("APPLE", "x")); }},
        {"delete", [](auto& d) { return (d.Delete(1), ""); }},
        {"rename", [](auto& d) { return (d.SetName("renamed"), ""); }},
        {"describe", [](auto& d) { return (d.SetInfo("info"), d.SetAuthor("me"), ""); }},
        // Contents that belong to another file stay unsaved and unchecked against this one.
        {"give another file, add a present term",
         [](auto& d) {
             d.setFileName(d.fileName() + ".other");
             return std::to_string(d.AddTerm("cherry", "x"));
         }},
        {"add a batch",
         [](auto& d) {
             TTermBatch batch;
             batch.add("kiwi", "k");
             batch.add("cherry", "c");
             return std::to_string(d.addTerms(std::move(batch)));
         }},
    };
    for (const auto& [what, edit] : edits) {
        // Once saved over its own file as it is, once after another program replaced it.
        for (const bool replaced : {false, true}) {
            TTempFolder temp;
            // 0 read through its index, 1 loaded whole.
            TDictionary dictionaries[2];
            std::string outcome[2];
            for (int k = 0; k < 2; ++k) {
                TDictionary& d = dictionaries[k];
                const std::string dic = temp.file(std::to_string(k) + ".dic");
                saveFruit(dic);
                k == 0 ? d.openIndexed(dic, temp.file("cache")) : d.LoadFromFile(dic);
                outcome[k] = edit(d);
                outcome[k] += d.Modified() ? " modified" : " unmodified";
                outcome[k] += d.termFile() ? " indexed" : "";
                // The copy kept for recovery.
                d.saveCopy(dic + ".copy");
                if (replaced)
                    replaceWith(dic, {{"other", "file"}});
                try {
                    d.SaveToFile(dic, TOverwrite::IfUnchanged);
                    outcome[k] += " saved";
                } catch (const TFileChanged&) {
                    outcome[k] += " TFileChanged";
                }
                outcome[k] += d.Modified() ? " modified" : " unmodified";
            }
            EXPECT_EQ(outcome[0], outcome[1]) << what << (replaced ? ", replaced" : "");
            EXPECT_EQ(readFile(temp.file("0.dic")), readFile(temp.file("1.dic"))) << what;
            EXPECT_EQ(readFile(temp.file("0.dic.copy")), readFile(temp.file("1.dic.copy"))) << what;
            EXPECT_EQ(entries(dictionaries[0]), entries(dictionaries[1])) << what;
        }
    }
}

// The index made on a thread of its own reports progress up to 100 and hands over the
// dictionary, or the error of a file that does not load; one destroyed while making is
// cancelled and joined.
TEST(IndexedDictionary, IndexBuildGivesTheDictionaryOrTheErrorAndCancels) {
    compare::setLocale("");
    TTempFolder temp;
    TDictionary big;
    TTermBatch batch;
    for (int i = 0; i < 200000; ++i)
        batch.add("t" + std::to_string(i), "article");
    big.addTerms(std::move(batch));
    big.SaveToFile(temp.file("big.dic"));
    saveFruit(temp.file("fruit.dic"));
    writeFile(temp.file("damaged.dic"), readFile(temp.file("fruit.dic")).substr(0, 30));
    struct TCase {
        const char* file;
        std::string outcome;
    };
    const std::vector<TCase> cases = {
        {"fruit.dic", "4 terms, indexed"},
        {"big.dic", "200000 terms, indexed"},
        {"damaged.dic", "Stream read error"},
        {"missing.dic", "Cannot open file " + temp.file("missing.dic")},
    };
    for (const TCase& c : cases) {
        TIndexBuild build(temp.file(c.file), temp.file("cache"));
        while (!build.finished())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(build.progress(), 100) << c.file;
        std::string outcome;
        const std::string error = errorOf([&] {
            const std::unique_ptr<TDictionary> d = build.take();
            outcome = std::to_string(d->Count()) + " terms" + (d->termFile() ? ", indexed" : "");
        });
        EXPECT_EQ(error == kNoError ? outcome : error, c.outcome) << c.file;
    }
    // Destroyed at once, while the big file's index is made afresh: the walk gives up and
    // leaves no index behind (unless this thread was held up for the whole walk: so thrice).
    bool cancelled = false;
    for (int i = 0; i < 3 && !cancelled; ++i) {
        std::filesystem::remove_all(temp.file("cache"));
        { TIndexBuild build(temp.file("big.dic"), temp.file("cache")); }
        cancelled =
            !TTermFile::open(temp.file("big.dic"), temp.file("cache"), TTermFile::TOpen::Cached);
    }
    EXPECT_TRUE(cancelled);
}
