#include <gtest/gtest.h>

#include <malloc.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "test_support.h"

namespace {

// Loads plain layout bytes through a memory stream; returns the error text or "".
std::string loadPlain(TDictionary& d, const std::string& plain) {
    TSecretMemoryStream s;
    s.WriteBuffer(plain.data(), plain.size());
    s.setPosition(0);
    try {
        d.LoadFromStream(s);
    } catch (const TError& e) {
        return e.what();
    }
    return "";
}

class FileFormat : public ::testing::Test {
protected:
    void SetUp() override { compare::setLocale(""); }
    void TearDown() override { compare::setLocale(""); }
    std::string path(const char* name) const { return (folder_ / name).string(); }

    // Writes plain layout bytes as a scrambled file.
    std::string scrambledFile(const char* name, std::string plain) {
        keystream::scramble(plain.data(), plain.size());
        writeFile(folder_ / name, plain);
        return path(name);
    }

    TTempFolder temp_;
    std::filesystem::path folder_ = temp_.path();
};

// A small dictionary with every kind of text: header lines, Cyrillic, empty article.
void fill(TDictionary& d) {
    d.SetName("Test \xd1\xeb\xee\xe2\xe0\xf0\xfc");
    d.SetAuthor("A. Author");
    d.SetInfo("line one\r\nline two");
    d.AddTerm("apple", "\xff\xe1\xeb\xee\xea\xee\n");
    d.AddTerm("\xc1\xe5\xf0\xe5\xe3", "shore\r\nbank");
    d.AddTerm("zebra", "");
    d.AddTerm("Cherry", "c");
}

}  // namespace

TEST_F(FileFormat, EmptyDictionaryIsSixteenZeroBytes) {
    TDictionary d;
    EXPECT_EQ(plainBytes(d), std::string(16, '\0'));
}

TEST_F(FileFormat, OneTermDictionaryBytes) {
    TDictionary d;
    d.SetName("A");
    d.AddTerm("x", "y");
    const std::string expected(
        "\x01\x00\x00\x00\x41"
        "\x00\x00\x00\x00"
        "\x00\x00\x00\x00"
        "\x01\x00\x00\x00"
        "\x01\x00\x00\x00\x78"
        "\x01\x00\x00\x00\x79",
        27);
    EXPECT_EQ(plainBytes(d), expected);
    d.SaveToFile(path("a.dic"));
    std::string onDisk = readFile(folder_ / "a.dic");
    ASSERT_EQ(onDisk.size(), 27u);
    EXPECT_NE(onDisk, expected);
    keystream::unscramble(onDisk.data(), onDisk.size());
    EXPECT_EQ(onDisk, expected);
}

TEST_F(FileFormat, SaveLoadSaveGivesSameBytesAndTwoSavesAreIdentical) {
    TDictionary d;
    fill(d);
    d.SaveToFile(path("one.dic"));
    EXPECT_FALSE(d.Modified());
    d.SaveToFile(path("two.dic"));
    EXPECT_EQ(readFile(folder_ / "one.dic"), readFile(folder_ / "two.dic"));

    TDictionary back;
    back.LoadFromFile(path("one.dic"));
    EXPECT_FALSE(back.Modified());
    EXPECT_EQ(back.Name(), d.Name());
    EXPECT_EQ(back.Author(), d.Author());
    EXPECT_EQ(back.Info(), d.Info());
    ASSERT_EQ(back.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(back.Term(i), d.Term(i));
        EXPECT_EQ(back.Article(i), d.Article(i));
    }
    back.SaveToFile(path("three.dic"));
    EXPECT_EQ(readFile(folder_ / "three.dic"), readFile(folder_ / "one.dic"));
}

// Cutting a saved file anywhere must fail cleanly, keeping the entries before the cut.
TEST_F(FileFormat, EveryTruncationPointIsAReadError) {
    TDictionary d;
    fill(d);
    const std::string full = plainBytes(d);
    for (size_t cut = 0; cut < full.size(); ++cut) {
        TDictionary back;
        EXPECT_EQ(loadPlain(back, full.substr(0, cut)), "Stream read error") << cut;
        EXPECT_LE(back.Count(), d.Count());
        EXPECT_TRUE(back.Modified());
        for (int i = 0; i < back.Count(); ++i)
            EXPECT_EQ(back.Term(i), d.Term(i)) << cut;
    }
    TDictionary back;
    EXPECT_EQ(loadPlain(back, full), "");
    EXPECT_EQ(back.Count(), d.Count());
}

TEST_F(FileFormat, DamagedLengthsAndCounts) {
    const std::string header = record("N") + record("") + record("");
    const std::string entry = record("term") + record("article");
    struct TCase {
        const char* name;
        std::string plain;
        std::string error;
        int count;
    };
    const std::vector<TCase> cases = {
        {"empty file", "", "Stream read error", 0},
        {"negative name length", le32(-1) + "abcd" + std::string(12, '\0'), "Stream read error", 0},
        {"oversized name length", le32(100) + std::string(12, '\0'), "Stream read error", 0},
        {"huge name length", le32(0x7FFFFFFF) + std::string(20, '\0'), "Stream read error", 0},
        {"count larger than data", header + le32(3) + entry, "Stream read error", 1},
        {"count 2^31-1 with 20 bytes", header + le32(0x7FFFFFFF) + std::string(20, '\0'),
         "Stream read error", 1},
        {"negative term length", header + le32(1) + le32(-5) + "abcdefgh", "Stream read error", 0},
        {"oversized article length", header + le32(2) + entry + record("t2") + le32(1000) + "x",
         "Stream read error", 1},
        {"zero count", header + le32(0) + entry, "", 0},
        {"negative count", header + le32(-7) + entry, "", 0},
        {"trailing bytes ignored", header + le32(1) + entry + "junk", "", 1},
    };
    for (const TCase& c : cases) {
        TDictionary d;
        EXPECT_EQ(loadPlain(d, c.plain), c.error) << c.name;
        EXPECT_EQ(d.Count(), c.count) << c.name;
        EXPECT_TRUE(d.Modified()) << c.name;
    }
}

// Heap bytes in use, by the allocator's own count.
size_t heapInUse() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A count that promises far more entries than the data holds must not make loading set aside
// room for them: what a load keeps stays within a small multiple of the file's size.
TEST_F(FileFormat, HostileCountReservesNoMoreThanTheFileHolds) {
    const std::string plain =
        emptyHeader() + le32(0x7FFFFFFF) + record("t") + record(std::string(size_t{8} << 20, 'a'));
    const std::string file = scrambledFile("hostile.dic", plain);
    for (const bool viaStream : {false, true}) {
        TDictionary d;
        const size_t before = heapInUse();
        const std::string error =
            viaStream ? loadPlain(d, plain) : errorOf([&] { d.LoadFromFile(file); });
        const size_t kept = heapInUse() - before;
        EXPECT_EQ(error, "Stream read error") << viaStream;
        EXPECT_EQ(d.Count(), 1) << viaStream;
        EXPECT_LE(kept, 2 * plain.size()) << viaStream;
    }
}

TEST_F(FileFormat, HeaderReadBeforeDamageStays) {
    TDictionary d;
    EXPECT_EQ(loadPlain(d, record("Name") + record("Who") + le32(50)), "Stream read error");
    EXPECT_EQ(d.Name(), "Name");
    EXPECT_EQ(d.Author(), "Who");
    EXPECT_EQ(d.Info(), "");
}

TEST_F(FileFormat, ValueEndsAtFirstZeroButRecordIsConsumed) {
    const std::string plain =
        emptyHeader() + le32(1) + le32(5) + std::string("ab\0cd", 5) + record("art");
    TDictionary d;
    EXPECT_EQ(loadPlain(d, plain), "");
    ASSERT_EQ(d.Count(), 1);
    EXPECT_EQ(d.Term(0), "ab");
    EXPECT_EQ(d.Article(0), "art");
}

TEST_F(FileFormat, ArticleEndsAtFirstZeroInFileAndInSaves) {
    const std::string plain = emptyHeader() + le32(2) + record("a") +
                              record(std::string("ar\0t\0", 5)) + record("b") + record("whole");
    TDictionary d;
    d.LoadFromFile(scrambledFile("z.dic", plain));
    ASSERT_EQ(d.Count(), 2);
    EXPECT_EQ(d.Article(0), "ar");
    std::string term, article;
    ASSERT_TRUE(d.GetTerm(0, term, article));
    EXPECT_EQ(article, "ar");
    EXPECT_EQ(plainBytes(d),
              emptyHeader() + le32(2) + record("a") + record("ar") + record("b") + record("whole"));
}

TEST_F(FileFormat, FirstOfEqualTermsWins) {
    const std::string plain = emptyHeader() + le32(3) + record("Apple") + record("first") +
                              record("apple") + record("second") + record("APPLE") +
                              record("third");
    TDictionary d;
    EXPECT_EQ(loadPlain(d, plain), "");
    ASSERT_EQ(d.Count(), 1);
    EXPECT_EQ(d.Term(0), "Apple");
    EXPECT_EQ(d.Article(0), "first");
}

TEST_F(FileFormat, UnorderedFileLoadsSortedLikeOneInsertPerTerm) {
    std::string plain = emptyHeader();
    const std::vector<std::pair<std::string, std::string>> items = {
        {"pear", "1"},   {"apple", "2"}, {"Zoo", "3"},  {"PEAR", "4"},
        {"banana", "5"}, {"mango", "6"}, {"Apple", "7"}};
    plain += le32(static_cast<int32_t>(items.size()));
    TDictionary expected;
    for (const auto& [t, a] : items) {
        plain += record(t) + record(a);
        expected.AddTerm(t, a);
    }
    TDictionary d;
    d.LoadFromFile(scrambledFile("u.dic", plain));
    ASSERT_EQ(d.Count(), expected.Count());
    for (int i = 0; i < d.Count(); ++i) {
        EXPECT_EQ(d.Term(i), expected.Term(i));
        EXPECT_EQ(d.Article(i), expected.Article(i));
    }
    EXPECT_FALSE(d.Modified());
}

// Saved under a collation with another order, the file is out of order for this one and must
// still load into this one's order.
TEST_F(FileFormat, FileSavedUnderAnotherCollationLoads) {
    const std::vector<std::pair<const char*, std::vector<std::string>>> cases = {
        {"ru", {"apple", "\xff\xe1\xeb\xee\xea\xee", "zebra", "\xe1\xe5\xf0\xe5\xe3", "Mango"}},
        {"cs", {"hrad", "chata", "cesta", "dum", "Ch", "h"}},
    };
    for (const auto& [locale, words] : cases) {
        compare::setLocale(locale);
        TDictionary foreign;
        for (const std::string& w : words)
            foreign.AddTerm(w, "article of " + w);
        const std::string file = path("foreign.dic");
        foreign.SaveToFile(file);

        compare::setLocale("");
        TDictionary expected;
        for (const std::string& w : words)
            expected.AddTerm(w, "article of " + w);
        TDictionary d;
        d.LoadFromFile(file);
        ASSERT_EQ(d.Count(), expected.Count()) << locale;
        bool sameOrder = true;
        for (int i = 0; i < d.Count(); ++i) {
            EXPECT_EQ(d.Term(i), expected.Term(i)) << locale;
            EXPECT_EQ(d.Article(i), expected.Article(i)) << locale;
            sameOrder = sameOrder && foreign.Term(i) == expected.Term(i);
        }
        EXPECT_FALSE(sameOrder) << locale << ": the test needs two orders that differ";
    }
}

TEST_F(FileFormat, MissingFileLeavesEmptyModifiedDictionary) {
    TDictionary d;
    d.AddTerm("x", "y");
    d.SaveToFile(path("x.dic"));
    const std::string missing = path("missing.dic");
    EXPECT_EQ(errorOf([&] { d.LoadFromFile(missing); }), "Cannot open file " + missing);
    EXPECT_EQ(d.Count(), 0);
    EXPECT_TRUE(d.Modified());
}

TEST_F(FileFormat, ZeroByteFileIsReadError) {
    writeFile(folder_ / "zero.dic", "");
    TDictionary d;
    EXPECT_EQ(errorOf([&] { d.LoadFromFile(path("zero.dic")); }), "Stream read error");
    EXPECT_EQ(d.Count(), 0);
    EXPECT_TRUE(d.Modified());
}

TEST_F(FileFormat, FailedSaveKeepsOldFileDictionaryAndModified) {
    TDictionary old;
    old.AddTerm("old", "file");
    old.SaveToFile(path("d.dic"));
    const std::string before = readFile(folder_ / "d.dic");

    TDictionary d;
    fill(d);
    d.SetInfo(std::string(100000, 'i'));  // larger than the write limit below
    ASSERT_TRUE(d.Modified());

    // A file size limit makes the write fail part way, as a full disk would.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string error = errorOf([&] { d.SaveToFile(path("d.dic")); });
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(error, "Stream write error");
    EXPECT_TRUE(d.Modified());
    EXPECT_EQ(d.Count(), 4);
    EXPECT_EQ(readFile(folder_ / "d.dic"), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);

    const std::string noFolder = path("nowhere/d.dic");
    EXPECT_EQ(errorOf([&] { d.SaveToFile(noFolder); }), "Cannot create file " + noFolder);
    EXPECT_TRUE(d.Modified());
}

// A dictionary kept elsewhere through a symbolic link is saved into the file the link leads to;
// the link stays, so the next load through it sees the new content.
TEST_F(FileFormat, SaveThroughALinkReplacesTheLinkedFile) {
    std::filesystem::create_directory(folder_ / "store");
    TDictionary old;
    old.AddTerm("old", "file");
    old.SaveToFile(path("store/d.dic"));
    std::filesystem::create_symlink("store/d.dic", folder_ / "link.dic");

    TDictionary d;
    fill(d);
    d.SaveToFile(path("link.dic"));
    EXPECT_FALSE(d.Modified());
    EXPECT_TRUE(std::filesystem::is_symlink(folder_ / "link.dic"));
    TDictionary back;
    back.LoadFromFile(path("store/d.dic"));
    EXPECT_EQ(entries(back), entries(d));
    EXPECT_EQ(entryNames(folder_.string()), (std::vector<std::string>{"link.dic", "store"}));
    EXPECT_EQ(entryNames(path("store")), (std::vector<std::string>{"d.dic"}));
}

TEST_F(FileFormat, ParaItemRecord) {
    TParaItem item("text");
    TSecretMemoryStream s;
    item.SaveToStream(s);
    EXPECT_EQ(std::string(s.data(), s.size()), record("text"));
    s.setPosition(0);
    TParaItem back;
    back.LoadFromStream(s);
    EXPECT_EQ(back.Text, "text");
    TSecretMemoryStream bad;
    bad.WriteBuffer(le32(-1).data(), 4);
    bad.setPosition(0);
    EXPECT_EQ(errorOf([&] { back.LoadFromStream(bad); }), "Stream read error");
}

// A file, small (read by the loader as it asks) or of several megabytes (read ahead by a thread
// of its own), with texts that straddle the pieces it is read in, loads exactly as its
// unscrambled content does through a stream, cut anywhere or whole.
TEST_F(FileFormat, FileLoadsLikeItsPlainContentAtEveryCut) {
    constexpr size_t kPiece = size_t{256} << 10;
    for (const int terms : {3000, 12000}) {
        TDictionary d;
        d.SetInfo(std::string(70000, 'i'));
        for (int i = 0; i < terms; ++i)
            d.AddTerm("term " + std::to_string(i), std::string(static_cast<size_t>(i % 600), 'a'));
        const std::string plain = plainBytes(d);
        ASSERT_GT(plain.size(), terms > 3000 ? size_t{3} << 20 : 400000u);
        std::vector<size_t> cuts = {0, 3, 4, 11, 70011, 70012, 70013, 70020, plain.size()};
        for (size_t cut = kPiece - 6; cut < plain.size(); cut += kPiece)
            for (size_t delta = 0; delta < 12; ++delta)
                cuts.push_back(std::min(plain.size(), cut + delta));
        for (size_t cut = 100; cut < plain.size(); cut += plain.size() / 40)
            cuts.push_back(cut);
        for (size_t cut : cuts) {
            TDictionary viaStream;
            const std::string streamError = loadPlain(viaStream, plain.substr(0, cut));
            TDictionary viaFile;
            const std::string file = scrambledFile("cut.dic", plain.substr(0, cut));
            EXPECT_EQ(errorOf([&] { viaFile.LoadFromFile(file); }),
                      streamError.empty() ? "(no error)" : streamError)
                << terms << " terms, cut at " << cut;
            ASSERT_EQ(viaFile.Count(), viaStream.Count()) << cut;
            EXPECT_EQ(viaFile.Info(), viaStream.Info()) << cut;
            for (int i = 0; i < viaFile.Count(); ++i) {
                ASSERT_EQ(viaFile.Term(i), viaStream.Term(i)) << cut;
                ASSERT_EQ(viaFile.Article(i), viaStream.Article(i)) << cut;
            }
        }
    }
}

// A file larger than the pieces a save is written in holds exactly the scrambled layout.
TEST_F(FileFormat, LargeSaveIsTheScrambledLayout) {
    TDictionary d;
    d.SetName("big");
    for (int i = 0; i < 4000; ++i)
        d.AddTerm("t" + std::to_string(i), std::string(700 + static_cast<size_t>(i % 50), 'x'));
    std::string expected = plainBytes(d);
    ASSERT_GT(expected.size(), size_t{2} << 20);
    keystream::scramble(expected.data(), expected.size());
    d.SaveToFile(path("big.dic"));
    EXPECT_TRUE(readFile(folder_ / "big.dic") == expected);
    EXPECT_FALSE(d.Modified());
}
