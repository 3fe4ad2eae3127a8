#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/file_lookup.h"
#include "dictionary/secret_memory_stream.h"
#include "dictionary/term_index.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "platform/upcase.h"
#include "test_support.h"

namespace {

// A look-up's answer: the error text, or the article (nullopt when the term is not there).
struct TAnswer {
    std::string error;
    std::optional<std::string> article;
    bool operator==(const TAnswer&) const = default;
};

TAnswer answerOf(const std::function<std::optional<std::string>()>& lookUp) {
    TAnswer answer;
    answer.error = errorOf([&] { answer.article = lookUp(); });
    if (answer.error != kNoError)
        answer.article.reset();
    return answer;
}

// What the long way gives: load the whole file, then Find and Article.
TAnswer byLoading(const std::string& path, const std::string& term) {
    return answerOf([&]() -> std::optional<std::string> {
        TDictionary d;
        d.LoadFromFile(path);
        const int at = d.Find(term);
        return at >= 0 ? std::optional<std::string>(d.Article(at)) : std::nullopt;
    });
}

TAnswer byStreaming(const std::string& path, const std::string& term) {
    return answerOf([&] { return lookUpInFile(path, term); });
}

TAnswer byIndex(const std::string& path, const std::string& term, const std::string& cache,
                bool* fromIndex = nullptr) {
    return answerOf([&] {
        const TIndexedLookup found = lookUpIndexed(path, term, cache);
        if (fromIndex)
            *fromIndex = found.fromIndex;
        return found.article;
    });
}

}  // namespace

// The look-up that reads the file once must answer exactly as loading it and searching would,
// for every term and every kind of file: equal terms that differ in case, a term repeated (the
// first wins), terms out of order, records longer than the reading window and lying across its
// edges, values cut at a zero byte, and damage anywhere.
TEST(FileLookup, AnswersAsLoadingAndSearchingDo) {
    compare::setLocale("");
    TTempFolder temp;
    const std::string longArticle(300 << 10, 'x');
    const std::string longTerm(200 << 10, 'q');
    std::string body = entry("Apple", "first") + entry("apple", "second") + entry("zebra", "z") +
                       entry("banana", longArticle) +
                       entry(std::string("ze\0ro", 5), std::string("cut\0off", 7)) +
                       entry(longTerm, "long term") + entry("\xc1\xe5\xf0\xe5\xe3", "shore");
    // Enough small entries after the long ones that later terms straddle the window's edges.
    for (int i = 0; i < 40000; ++i)
        body += entry("t" + std::to_string(i), "a" + std::to_string(i % 97));
    const std::string whole =
        record("Name") + record("Author") + record("Info") + le32(40007) + body;

    struct TFile {
        const char* what;
        std::string plain;
    };
    const std::vector<TFile> files = {
        {"whole", whole},
        {"cut short in the last entry", whole.substr(0, whole.size() - 3)},
        {"cut short in the long article", whole.substr(0, whole.size() / 3)},
        {"cut in the header", whole.substr(0, 10)},
        {"count larger than the entries", record("") + record("") + record("") + le32(9) + body},
        {"count 0", emptyHeader() + le32(0) + body},
        {"negative count", emptyHeader() + le32(-5) + body},
        {"negative length", emptyHeader() + le32(2) + entry("a", "b") + le32(-1)},
        {"length past the end", emptyHeader() + le32(1) + record("a") + le32(0x7FFFFFF0) + "zz"},
        {"empty file", ""},
    };
    const std::vector<std::string> terms = {
        "apple", "APPLE",  "zebra",  "banana", "ze", "zero", longTerm, "\xe1\xe5\xf0\xe5\xe3",
        "t0",    "t39999", "t20000", "absent", ""};
    for (const TFile& file : files) {
        const std::string path = temp.file("f.dic");
        writeScrambled(path, file.plain);
        for (const std::string& term : terms) {
            const TAnswer expected = byLoading(path, term);
            EXPECT_EQ(byStreaming(path, term), expected)
                << file.what << ", term " << term.substr(0, 20) << ": expected error '"
                << expected.error << "'";
        }
    }
}

TEST(FileLookup, NamesAFileItCannotOpen) {
    TTempFolder temp;
    const std::string missing = temp.file("none.dic");
    EXPECT_EQ(errorOf([&] { lookUpInFile(missing, "a"); }), "Cannot open file " + missing);
    EXPECT_EQ(errorOf([&] { lookUpInFile(temp.path(), "a"); }), "Cannot open file " + temp.path());
}

// The look-up through the side index answers as loading does, both the first time (which
// walks the file and writes the index) and the second (which reads the index): for files in
// the dictionary's order and out of it, with equal terms in different case, and damaged ones.
TEST(TermIndex, AnswersAsLoadingDoes) {
    compare::setLocale("");
    TTempFolder temp;
    std::string ordered;
    // Larger than the walk's reading window, so its neighbours lie across the window's moves.
    for (int i = 0; i < 20000; ++i)
        ordered += entry("k" + std::to_string(100000 + i), "v" + std::to_string(i));
    const std::string mixed = entry("zebra", "z") + entry("Apple", "first") + entry("banana", "b") +
                              entry("apple", "second") + entry(std::string("ze\0ro", 5), "cut") +
                              entry("APPLE", "third");
    const std::vector<std::pair<const char*, std::string>> files = {
        {"in order", emptyHeader() + le32(20000) + ordered},
        {"in order, equals together",
         emptyHeader() + le32(3) + entry("Apple", "1") + entry("apple", "2") + entry("b", "3")},
        {"out of order", emptyHeader() + le32(6) + mixed},
        {"damaged", emptyHeader() + le32(7) + mixed},
        {"empty", emptyHeader() + le32(0)},
        // An article and a term each longer than the reading window.
        {"long records", emptyHeader() + le32(3) + entry("a", std::string(300000, 'x')) +
                             entry(std::string(200000, 'b'), "B") + entry("c", "C")},
        {"saved", ""},
        {"in byte order", ""},
    };
    // A file the program saved: in its order, terms of every kind of letter and mark; and the
    // same terms and their upper-case forms in byte order, which is not the dictionary's:
    // nearly in order, with equal neighbours in different case.
    TDictionary saved;
    std::mt19937 random(7);
    for (int i = 0; i < 400; ++i)
        saved.AddTerm(randomText(random, textPieces(), 4), "a" + std::to_string(i));
    saved.SaveToFile(temp.file("saved.dic"));
    std::vector<std::string> byBytes;
    for (int i = 0; i < saved.Count(); ++i) {
        byBytes.emplace_back(saved.Term(i));
        byBytes.push_back(upcase::text(saved.Term(i)));
    }
    std::sort(byBytes.begin(), byBytes.end());
    std::string bytewise = emptyHeader() + le32(static_cast<int32_t>(byBytes.size()));
    for (size_t i = 0; i < byBytes.size(); ++i)
        bytewise += entry(byBytes[i], "b" + std::to_string(i));
    writeScrambled(temp.file("in byte order.dic"), bytewise);
    std::vector<std::string> terms = {
        "apple",  "APPLE",   "zebra",   "ze",      "zero",
        "b",      "k100000", "k101500", "k102999", "k1",
        "absent", "",        "a",       "c",       std::string(200000, 'b')};
    for (int i = 0; i < saved.Count(); i += 3) {
        terms.emplace_back(saved.Term(i));
        terms.push_back(upcase::text(saved.Term(i)));
    }
    for (const auto& [what, plain] : files) {
        const std::string path = temp.file(std::string(what) + ".dic");
        if (!plain.empty())
            writeScrambled(path, plain);
        for (const std::string& term : terms) {
            const TAnswer expected = byLoading(path, term);
            for (int round = 0; round < 2; ++round)
                EXPECT_EQ(byIndex(path, term, temp.file("cache")), expected)
                    << what << ", term " << term << ", round " << round;
        }
    }
}

// A changed file or a bad index is read the long way, with today's answer, and the index is
// made anew; a cache that cannot be written only costs the index.
TEST(TermIndex, ChangedFileOrBadIndexGivesTheLongWaysAnswer) {
    compare::setLocale("");
    using TChange = std::function<void(const std::string& dic, const std::string& cache)>;
    auto saveWith = [](const std::string& dic, const std::string& term) {
        TDictionary d;
        d.LoadFromFile(dic);
        d.AddTerm(term, "new");
        d.Delete(d.Find("apple"));
        d.AddTerm("apple", "changed");
        d.SaveToFile(dic);
    };
    auto onlyFile = [](const std::string& folder) {
        return std::filesystem::directory_iterator(folder)->path().string();
    };
    // Whether the first look-up after the change, and the later ones, go through the index.
    struct TCase {
        const char* what;
        TChange change;
        bool indexedFirst;
        bool indexedLater;
    };
    const std::vector<TCase> cases = {
        {"unchanged", [](auto&, auto&) {}, true, true},
        {"saved", [&](auto& dic, auto&) { saveWith(dic, "aardvark"); }, false, true},
        {"imported by another process",
         [&](auto& dic, auto&) {
             const pid_t child = ::fork();
             if (child == 0) {
                 saveWith(dic, "abacus");
                 ::_exit(0);
             }
             ::waitpid(child, nullptr, 0);
         },
         false, true},
        {"renamed over",
         [&](auto& dic, auto&) {
             saveEntries(dic + ".new", {{"apple", "other file"}});
             std::filesystem::rename(dic + ".new", dic);
         },
         false, true},
        {"cut short", [](auto& dic, auto&) { std::filesystem::resize_file(dic, 30); }, false,
         false},
        {"index damaged",
         [&](auto&, auto& cache) {
             const std::string index = onlyFile(cache);
             std::string bytes = readFile(index);
             bytes[bytes.size() - 12] ^= 0x40;
             writeFile(index, bytes);
         },
         false, true},
        {"index foreign",
         [&](auto& dic, auto& cache) {
             const std::string index = onlyFile(cache);
             saveEntries(dic + ".other", {{"apple", "foreign"}, {"zebra", "foreign"}});
             lookUpIndexed(dic + ".other", "apple", cache);
             std::filesystem::remove(index);
             std::filesystem::rename(onlyFile(cache), index);
         },
         false, true},
        {"cache unwritable",
         [](auto&, auto& cache) {
             std::filesystem::remove_all(cache);
             writeFile(cache, "a file where the folder should be");
         },
         false, false},
    };
    for (const TCase& c : cases) {
        TTempFolder temp;
        const std::string dic = temp.file("d.dic");
        const std::string cache = temp.file("cache");
        saveEntries(dic, {{"apple", "apple article"},
                          {"banana", "banana article"},
                          {"cherry", "cherry article"},
                          {"zebra", "zebra article"}});
        lookUpIndexed(dic, "zebra", cache);
        c.change(dic, cache);
        bool first = true;
        for (const std::string term : {"apple", "aardvark", "abacus", "cherry", "zebra", "b"}) {
            bool fromIndex = false;
            EXPECT_EQ(byIndex(dic, term, cache, &fromIndex), byLoading(dic, term))
                << c.what << ", term " << term;
            EXPECT_EQ(fromIndex, first ? c.indexedFirst : c.indexedLater) << c.what << ", " << term;
            first = false;
        }
    }
}
