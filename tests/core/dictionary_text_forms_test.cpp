// The tab form, the import format's losses, and the check that a file saves back the same.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dictionary/dic_check.h"
#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"
#include "interchange/tab_text.h"
#include "interchange/text_export.h"
#include "interchange/text_import.h"
#include "platform/compare.h"
#include "test_support.h"

namespace {

std::string tabText(const TDictionary& d) {
    std::string out;
    writeTabText(d, [&](std::string_view piece) { out.append(piece); });
    return out;
}

class TextForms : public ::testing::Test {
protected:
    void SetUp() override { compare::setLocale(""); }
    std::string path(const std::string& name) const { return temp_.file(name); }
    TTempFolder temp_;
};

}  // namespace

TEST(TabField, EscapesTheFourBytesAndNothingElse) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"plain \xe0\xff", "plain \xe0\xff"},
        {"a\\b", "a\\\\b"},
        {"\r\n", "\\r\\n"},
        {"\t", "\\t"},
        {"\\n", "\\\\n"},
        {"\\#name", "\\\\#name"},
    };
    for (const auto& [text, field] : cases) {
        EXPECT_EQ(escapeTabField(text), field) << text;
        EXPECT_EQ(unescapeTabField(field), text) << field;
    }
}

// Hand-written files may hold a lone backslash; it stays, and a zero byte ends the text as the
// dictionary file would end it.
TEST(TabField, UnescapeKeepsUnknownEscapes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\dir", "C:\\dir"},
        {"end\\", "end\\"},
        {"\\x41", "\\x41"},
        {std::string("ab\0cd", 5), "ab"},
    };
    for (const auto& [field, text] : cases)
        EXPECT_EQ(unescapeTabField(field), text) << field;
}

// Exporting any dictionary that loads cleanly and importing the text into a new one gives the
// same file, byte for byte.
TEST_F(TextForms, TabFormRoundTripsEveryCleanDictionary) {
    std::mt19937 random(2026);
    for (int round = 0; round < 400; ++round) {
        // Fresh file names: rewriting a file is much slower here than writing a new one.
        const std::string name = std::to_string(round);
        TDictionary original;
        randomDictionary(random, original);
        const std::string bytes = plainBytes(original);
        std::string scrambled = bytes;
        keystream::scramble(scrambled.data(), scrambled.size());
        writeFile(path(name + ".dic"), scrambled);
        ASSERT_TRUE(checkDictionaryFile(path(name + ".dic")).clean()) << round;

        const std::string text = tabText(original);
        writeFile(path(name + ".tab"), text);
        TDictionary copy;
        const TTabImportResult result = importTabText(copy, path(name + ".tab"));
        EXPECT_EQ(result.entries, original.Count()) << round;
        EXPECT_EQ(result.malformed, 0) << round;
        // The file is these bytes scrambled, so equal plain bytes are equal files.
        ASSERT_EQ(plainBytes(copy), bytes) << round << text;
    }
}

TEST_F(TextForms, TabImportReadsCrLfLinesAndSkipsWhatIsNoEntry) {
    writeFile(path("in.tab"),
              "\\#name\tN\\r\\nx\r\n"
              "\r\n"
              "no tab here\r\n"
              "\\#colour\tblue\n"
              "kiwi\tfruit\\nline\r\n"
              "apple\t\n"
              "\tempty term\n"
              "KIWI\tsecond\n");
    TDictionary d;
    d.AddTerm("apple", "old");
    const TTabImportResult result = importTabText(d, path("in.tab"));
    EXPECT_EQ(result.entries, 4);
    EXPECT_EQ(result.added, 2);
    EXPECT_EQ(result.malformed, 2);
    EXPECT_EQ(d.Name(), "N\r\nx");
    EXPECT_EQ(d.Author(), "");
    EXPECT_EQ(entries(d),
              (TEntries{{"", "empty term"}, {"apple", "old"}, {"kiwi", "fruit\nline"}}));
}

TEST_F(TextForms, TabImportOfAMissingFileChangesNothing) {
    TDictionary d;
    d.AddTerm("a", "b");
    EXPECT_EQ(errorOf([&] { importTabText(d, path("absent.tab")); }),
              "Cannot open file " + path("absent.tab"));
    EXPECT_EQ(d.Count(), 1);
}

// The loss analysis agrees with the real import parser: an entry whose block the parser gives
// back exactly has no losses, and every entry with a loss comes back changed or not at all.
TEST_F(TextForms, ImportFormatLossesMatchTheParser) {
    std::mt19937 random(11);
    const std::vector<std::string> pieces = textPieces();
    int lossless = 0, lossy = 0;
    // Half of the entries are built from pieces that the format carries, lines each ending
    // with LF, so that both answers come up often.
    const std::vector<std::string> safe = {"a",    "Z",  "\xe0", "\xc0", "@",
                                           "x~~~", "\\", "a b",  "\xff"};
    for (int round = 0; round < 2000; ++round) {
        const bool carried = round % 2 == 0;
        const std::string term = randomText(random, carried ? safe : pieces, 4);
        std::string article;
        if (carried) {
            for (int lines = 1 + static_cast<int>(random() % 3); lines > 0; --lines)
                article += randomText(random, safe, 4) + "\n";
        } else {
            article = randomText(random, pieces, 8);
        }
        std::string block;
        appendImportBlock(block, term, article);
        const std::string file = path(std::to_string(round) + ".txt");
        writeFile(file, block);
        TDictionary d;
        importText(d, file);
        const bool exact = d.Count() == 1 && d.Term(0) == term && d.Article(0) == article;
        const unsigned losses = importFormatLosses(term, article);
        EXPECT_EQ(losses == 0, exact) << "losses " << losses << " block:\n" << block;
        ++(losses ? lossy : lossless);
    }
    // Both sides of the property were exercised.
    EXPECT_GT(lossless, 100);
    EXPECT_GT(lossy, 100);
}

TEST(ImportFormatLosses, NamesEachKind) {
    const std::string longLine(4095, 'a');
    const std::vector<std::tuple<std::string, std::string, unsigned>> cases = {
        {"term", "line\n", 0},
        {"  leading", "@not a term\n\n", 0},
        {"", "x\n", kLossEmptyTerm},
        {"t", "", kLossEmptyArticle},
        {"a\nb", "x\n", kLossTermLineBreak},
        {"t ", "x\n", kLossTermTrailing},
        {"t", " indented\n", kLossLineBlanks},
        {"t", "one\r\ntwo\r\n", kLossCarriageReturn},
        {"t", "cut\n ~~~ \nhere\n", kLossBlockEnd | kLossLineBlanks},
        {"t", "no break", kLossFinalLineBreak},
        {"t", longLine + "\n", kLossLongLine},
        {"t", longLine.substr(1) + "\n", 0},
        {std::string(4094, 't'), "x\n", kLossLongLine},
        {"t", std::string("a\0b\n", 4), kLossZeroByte},
    };
    for (const auto& [term, article, losses] : cases)
        EXPECT_EQ(importFormatLosses(term, article), losses) << term.substr(0, 20) << article;
}

TEST_F(TextForms, CheckNamesWhyAFileWouldNotSaveBack) {
    const std::string header = record("N") + record("") + record("");
    const auto entry = [](const std::string& term, const std::string& article) {
        return record(term) + record(article);
    };
    const std::vector<std::tuple<std::string, TDicFlaw, std::string>> cases = {
        {header + le32(2) + entry("a", "1") + entry("b", "2"), TDicFlaw::None, ""},
        {header + le32(0), TDicFlaw::None, ""},
        {header + le32(3) + entry("a", "1") + entry("b", "2"), TDicFlaw::Unreadable, ""},
        {header + le32(1) + entry("a", "1") + entry("b", "2"), TDicFlaw::TrailingBytes, ""},
        {header + le32(-1), TDicFlaw::NegativeCount, ""},
        {header + le32(2) + entry("a", "1") + entry("B", "2") + "", TDicFlaw::None, ""},
        {header + le32(2) + entry("b", "1") + entry("a", "2"), TDicFlaw::OutOfOrder, "a"},
        {header + le32(2) + entry("a", "1") + entry("A", "2"), TDicFlaw::Duplicate, "A"},
        {header + le32(1) + entry("a", std::string("x\0y", 3)), TDicFlaw::ZeroByte, "a"},
        {record(std::string("N\0", 2)) + record("") + record("") + le32(0), TDicFlaw::ZeroByte, ""},
        {header.substr(0, 6), TDicFlaw::Unreadable, ""},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& [plain, flaw, term] = cases[i];
        TSecretMemoryStream s;
        s.WriteBuffer(plain.data(), plain.size());
        s.Scramble();
        s.SaveToFile(path("f.dic"));
        const TDicCheck check = checkDictionaryFile(path("f.dic"));
        EXPECT_EQ(check.flaw, flaw) << i;
        EXPECT_EQ(check.term, term) << i;
    }
    EXPECT_EQ(errorOf([&] { checkDictionaryFile(path("absent.dic")); }),
              "Cannot open file " + path("absent.dic"));
}
