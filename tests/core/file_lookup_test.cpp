#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "dictionary/dic_check.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_lookup.h"
#include "dictionary/secret_memory_stream.h"
#include "dictionary/term_index.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "platform/upcase.h"
#include "reference/reference.h"
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
             replaceWith(dic, {{"apple", "other file"}});
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
        saveFruit(dic);
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

namespace {

constexpr uid_t kOtherUser = 65534;

// What differs between the look-ups through cache and loading, "" when nothing; fromIndex gets
// whether the first look-up came from the index.
std::string lookUpsDiffer(const std::string& dic, const std::string& cache, bool* fromIndex) {
    std::string wrong;
    bool first = true;
    for (const std::string term : {"zebra", "apple", "cherry", "b"}) {
        bool indexed = false;
        if (byIndex(dic, term, cache, &indexed) != byLoading(dic, term))
            wrong += " " + term;
        if (first && fromIndex)
            *fromIndex = indexed;
        first = false;
    }
    return wrong.empty() ? "" : "wrong answer for" + wrong;
}

// The index file's name: the only file a look-up leaves in a fresh cache.
std::string indexName(const std::string& dic, const TTempFolder& temp) {
    const std::string probe = temp.file("probe");
    lookUpIndexed(dic, "apple", probe);
    return entryNames(probe).at(0);
}

}  // namespace

// The cache is used only when it is a folder of the user's own that nobody else can reach, and
// an index only when it is a regular file of the user's that nobody else may write. Whatever
// was planted there, the look-up answers as loading does, never hangs, and writes nothing
// through a link.
TEST(TermIndex, CacheOfLinksOtherUsersOrOpenModesIsNeverWrittenThrough) {
    compare::setLocale("");
    const bool root = ::geteuid() == 0;
    using TPlant =
        std::function<void(const TTempFolder&, const std::string& cache, const std::string& index)>;
    auto index = [](const TTempFolder& temp, const std::string& cache) {
        lookUpIndexed(temp.file("d.dic"), "apple", cache);
    };
    struct TCase {
        const char* what;
        bool needsRoot;
        TPlant plant;
        bool folderRefused;
        bool indexRefused;
    };
    const std::vector<TCase> cases = {
        {"cache a link", false,
         [](auto& temp, auto& cache, auto&) { plant("link", cache, temp.file("elsewhere")); }, true,
         false},
        {"cache open to others", false, [](auto&, auto& cache, auto&) { plant("dir 0777", cache); },
         true, false},
        {"cache readable by the group", false,
         [](auto&, auto& cache, auto&) { plant("dir 0750", cache); }, true, false},
        {"cache another user's", true,
         [](auto&, auto& cache, auto&) { plant("dir theirs", cache); }, true, false},
        {"index a link to a file of the user's", false,
         [](auto& temp, auto& cache, auto& name) {
             plant("dir", cache);
             plant("link", cache + "/" + name, temp.file("notes.txt"));
         },
         false, true},
        {"index a FIFO", false,
         [](auto&, auto& cache, auto& name) {
             plant("dir", cache);
             plant("fifo", cache + "/" + name);
         },
         false, true},
        {"index another user's", true,
         [&](auto& temp, auto& cache, auto& name) {
             index(temp, cache);
             (void)!::chown((cache + "/" + name).c_str(), kOtherUser, kOtherUser);
         },
         false, true},
        {"index writable by others", false,
         [&](auto& temp, auto& cache, auto& name) {
             index(temp, cache);
             ::chmod((cache + "/" + name).c_str(), 0666);
         },
         false, true},
        {"nothing planted", false, [&](auto& temp, auto& cache, auto&) { index(temp, cache); },
         false, false},
    };
    for (const TCase& c : cases) {
        if (c.needsRoot && !root) {
            std::cout << "skipped without root: " << c.what << "\n";
            continue;
        }
        TTempFolder temp;
        const std::string dic = temp.file("d.dic");
        const std::string cache = temp.file("cache");
        saveFruit(dic);
        writeFile(temp.file("notes.txt"), "notes");
        std::filesystem::create_directory(temp.file("elsewhere"));
        const std::string name = indexName(dic, temp);
        c.plant(temp, cache, name);
        // In a child stopped after ten seconds, so that a look-up that would hang fails
        // instead of holding the tests.
        const std::string problem = inChildProcess(
            [&]() -> std::string {
                ::alarm(10);
                bool fromIndex = false;
                std::string wrong = lookUpsDiffer(dic, cache, &fromIndex);
                if (c.indexRefused && fromIndex)
                    wrong += " the planted index was used;";
                if (c.folderRefused && lookUpIndexed(dic, "apple", cache).refusedFolder.empty())
                    wrong += " the folder was not named as refused;";
                return wrong;
            },
            "hung or crashed; ");
        EXPECT_EQ(problem, "") << c.what;
        EXPECT_EQ(readFile(temp.file("notes.txt")), "notes") << c.what;
        EXPECT_EQ(entryNames(temp.file("elsewhere")), std::vector<std::string>{}) << c.what;
        if (!c.folderRefused) {
            // Whatever was planted, an index of the user's own now stands in its place.
            EXPECT_EQ(describe(cache + "/" + name), "file 0600 own") << c.what;
            EXPECT_EQ(entryNames(cache), std::vector<std::string>{name}) << c.what;
        } else if (describe(cache).starts_with("dir ")) {
            EXPECT_EQ(entryNames(cache), std::vector<std::string>{}) << c.what;
        }
    }
}

namespace {

// The u32 of the index bytes at at. After magic, version, stamp and flags come the count (at
// 80), the order name's length, the header texts' lengths, the term bytes, the versions' length
// and the locator bytes (both 0 for a dictionary file); then the order name, the weights and
// the texts, the block checks (one per 4096 bytes of the arrays) and the
// header's check; then the arrays.
size_t u32At(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return size_t{v};
}

// Where the index bytes' arrays start.
size_t arraysAt(const std::string& bytes) {
    auto u32 = [&](size_t at) { return u32At(bytes, at); };
    const size_t texts = 112 + u32(84) + 256 * 4;
    const size_t checks = (texts + u32(88) + u32(92) + u32(96) + u32(104) + 7) / 8 * 8;
    const size_t arraysSize = (20 * u32(80) + 4 + u32(100) + u32(108) + 7) / 8 * 8;
    return checks + 8 * ((arraysSize + 4095) / 4096) + 8;
}

// The index bytes with their header's check (just before the arrays, over all before it) and
// their closing checksum (over all the rest) made anew.
std::string resealed(std::string bytes) {
    for (const size_t at : {arraysAt(bytes) - 8, bytes.size() - 8}) {
        const uint64_t sum = reference::indexChecksum(bytes.data(), at);
        bytes.replace(at, 8,
                      le32(static_cast<int32_t>(sum)) + le32(static_cast<int32_t>(sum >> 32)));
    }
    return bytes;
}

// The index bytes with their weights turned round (the order reversed) and the checksum made
// to match.
std::string withWeightsReversed(std::string bytes) {
    const uint32_t* own = compare::plainWeights();
    const size_t at = 112 + u32At(bytes, 84);
    for (int i = 0; i < 256; ++i) {
        const uint32_t w = own && own[i] ? 256 - own[i] : static_cast<uint32_t>(256 - i);
        bytes.replace(at + 4 * static_cast<size_t>(i), 4, le32(static_cast<int32_t>(w)));
    }
    return resealed(bytes);
}

// The index bytes with value at place i of one of its arrays (0 the records' places in the
// file, u64 each; 1 where the terms start, 2 the upper-case order, 3 the minimum tree, u32
// each) and the checksum made to match; value -1 swaps the records' places 0 and 1.
std::string withArrayValue(std::string bytes, int array, size_t i, int64_t value) {
    const size_t count = u32At(bytes, 80);
    const size_t arrays = arraysAt(bytes);
    const size_t at[4] = {arrays, arrays + 8 * count, arrays + 12 * count + 4,
                          arrays + 16 * count + 4};
    if (value < 0)
        std::swap_ranges(bytes.begin() + at[0], bytes.begin() + at[0] + 8,
                         bytes.begin() + at[0] + 8);
    else
        bytes.replace(at[array] + (array == 0 ? 8 : 4) * i, 4, le32(static_cast<int32_t>(value)));
    return resealed(bytes);
}

}  // namespace

// An index that no longer fits the file, or was made up with a checksum to match, is never
// believed: the file's status change time and (while its times are recent) its bytes are part
// of what an index is for, and the search compares with the program's own order.
TEST(TermIndex, StaleOrMadeUpIndexIsNotBelieved) {
    compare::setLocale("");
    // Two entries, then three of the same total size: "zebra" moves past where an index of
    // the two would stop reading.
    const std::string two =
        emptyHeader() + le32(2) + entry("apple", std::string(15, 'a')) + entry("zebra", "z");
    const std::string three =
        emptyHeader() + le32(3) + entry("apple", "a") + entry("mango", "m") + entry("zebra", "z");
    ASSERT_EQ(two.size(), three.size());
    using TChange = std::function<void(const std::string& dic, const std::string& index)>;
    // A value of the index's arrays changed, the checksum made to match.
    auto arrayValue = [](int array, size_t i, int64_t value) -> TChange {
        return [=](auto&, auto& index) {
            writeFile(index, withArrayValue(readFile(index), array, i, value));
        };
    };
    // Whether the index, as changed, is opened at all: every value that could lead a read
    // outside the index or the file is checked first; a record's place that leads to another
    // record is found when the article is read.
    struct TCase {
        const char* what;
        TChange change;
        bool opened = false;
    };
    const std::vector<TCase> cases = {
        {"rewritten in place at once, time put back",
         [&](auto& dic, auto&) { rewriteInPlace(dic, three); }},
        {"rewritten in place later, time put back",
         [&](auto& dic, auto&) {
             ::usleep(30000);
             rewriteInPlace(dic, three);
         }},
        {"weights turned round, checksum made to match",
         [&](auto&, auto& index) {
             const std::string bytes = readFile(index);
             // Unless the checksum is made as the program makes it, this row tests nothing.
             EXPECT_EQ(resealed(bytes), bytes);
             writeFile(index, withWeightsReversed(bytes));
         }},
        {"records' places swapped", arrayValue(0, 0, -1), true},
        {"a record's place past the file's end", arrayValue(0, 1, two.size() - 4)},
        {"the first term starting after 0", arrayValue(1, 0, 1)},
        {"a term starting past the term bytes", arrayValue(1, 1, 11)},
        {"an upper-case order value past the count", arrayValue(2, 1, 2)},
        {"a tree node past the count", arrayValue(3, 1, 2)},
        {"a tree leaf past the count", arrayValue(3, 3, 0x7FFFFFFF)},
    };
    for (const auto& [what, change, opened] : cases) {
        TTempFolder temp;
        const std::string dic = temp.file("d.dic");
        const std::string cache = temp.file("cache");
        writeScrambled(dic, two);
        lookUpIndexed(dic, "apple", cache);
        const std::string index = cache + "/" + entryNames(cache).at(0);
        change(dic, index);
        EXPECT_EQ(TTermFile::open(dic, cache, TTermFile::TOpen::Cached) != nullptr, opened) << what;
        for (const std::string term : {"zebra", "mango", "apple"}) {
            EXPECT_EQ(byIndex(dic, term, cache), byLoading(dic, term)) << what << ", " << term;
        }
    }
}

// A file far larger than its layout can fill (a sparse file of zeros, or a valid beginning whose
// first term claims most of it) is refused as damaged by every reader before it is read whole.
TEST(FileLookup, HugeFileThatCannotHoldItsLengthsIsRefusedUnread) {
    compare::setLocale("");
    constexpr off_t kSize = off_t{2} << 30;
    const std::vector<std::pair<const char*, std::string>> starts = {
        {"zeros", ""},
        {"a long first term", emptyHeader() + le32(2) + le32(0x60000000)},
    };
    using TRead = std::function<void(const std::string& path, const std::string& cache)>;
    const std::vector<std::pair<const char*, TRead>> readers = {
        {"load", [](auto& path, auto&) { TDictionary().LoadFromFile(path); }},
        {"look up", [](auto& path, auto&) { lookUpInFile(path, "a"); }},
        {"look up indexed", [](auto& path, auto& cache) { lookUpIndexed(path, "a", cache); }},
        {"check",
         [](auto& path, auto&) {
             const TDicCheck check = checkDictionaryFile(path);
             if (check.flaw == TDicFlaw::Unreadable)
                 throw TError(check.error);
         }},
    };
    // Bytes read by this process so far, from the kernel's count.
    auto bytesRead = [] {
        std::ifstream io("/proc/self/io");
        std::string key;
        uint64_t value = 0;
        while (io >> key >> value) {
            if (key == "rchar:")
                return value;
        }
        return uint64_t{0};
    };
    for (const auto& [what, start] : starts) {
        TTempFolder temp;
        const std::string path = temp.file("huge.dic");
        writeScrambled(path, start);
        ASSERT_EQ(::truncate(path.c_str(), kSize), 0);
        for (const auto& [how, read] : readers) {
            const uint64_t before = bytesRead();
            EXPECT_EQ(errorOf([&] { read(path, temp.file("cache")); }), "Stream read error")
                << what << ", " << how;
            EXPECT_LT(bytesRead() - before, uint64_t{64} << 20) << what << ", " << how;
        }
    }
}
