#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "dictionary/dictionary.h"
#include "interchange/text_import.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "test_support.h"

namespace {

class TextImport : public ::testing::Test {
protected:
    void SetUp() override { compare::setLocale(""); }

    std::string file(const std::string& bytes) {
        const auto path = folder_ / ("in" + std::to_string(counter_++) + ".txt");
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    TEntries import(const std::string& bytes) {
        TDictionary d;
        importText(d, file(bytes));
        return entries(d);
    }

    TTempFolder temp_;
    std::filesystem::path folder_ = temp_.path();
    int counter_ = 0;
};

}  // namespace

TEST_F(TextImport, GrammarCases) {
    const std::string longLine(5000, 'w');
    struct TCase {
        const char* name;
        std::string text;
        TEntries expected;
    };
    const std::vector<TCase> cases = {
        {"example file",
         "@first term\nArticle line one\nArticle line two\n~~~\n@second term\nIts article\n~~~\n",
         {{"first term", "Article line one\nArticle line two\n"},
          {"second term", "Its article\n"}}},
        {"blanks after @ stay", "  @  word \nx\n~~~\n", {{"  word", "x\n"}}},
        {"indented lines lose indentation",
         "@t\n\t  one  \n   two\t\n~~~\n",
         {{"t", "one\ntwo\n"}}},
        {"blank line inside block", "@t\none\n\n  \ntwo\n~~~\n", {{"t", "one\n\n\ntwo\n"}}},
        {"closing mark without line break", "@t\nbody\n~~~", {{"t", "body\n"}}},
        {"last article line without line break is kept", "@t\none\ntwo", {{"t", "one\ntwo\n"}}},
        {"empty file", "", {}},
        {"unterminated block swallows later blocks", "@a\nx\n@b\ny\n", {{"a", "x\n@b\ny\n"}}},
        {"unterminated then closed",
         "@a\nx\n@b\ny\n~~~\n@c\nz\n~~~\n",
         {{"a", "x\n@b\ny\n"}, {"c", "z\n"}}},
        {"@ alone adds nothing", "@\nbody\n~~~\n@ok\nfine\n~~~\n", {{"ok", "fine\n"}}},
        {"empty article adds nothing", "@empty\n~~~\n@end\n", {}},
        {"text outside blocks ignored", "intro\n~~~\n@t\nx\n~~~\nbetween\n", {{"t", "x\n"}}},
        {"first of equal terms wins", "@Word\none\n~~~\n@WORD\ntwo\n~~~\n", {{"Word", "one\n"}}},
        {"5000-byte line is read as 4095 + 905",
         "@long\n" + longLine + "\n~~~\n",
         {{"long", std::string(4095, 'w') + "\n" + std::string(905, 'w') + "\n"}}},
        {"4095 bytes then its line break read as an empty line",
         "@edge\n" + std::string(4095, 'e') + "\n~~~\n",
         {{"edge", std::string(4095, 'e') + "\n\n"}}},
        {"lone CR stays inside a line", "@t\na\rb\n~~~\n", {{"t", "a\rb\n"}}},
        {"a line ends at its first zero byte",
         std::string("@te\0rm\nab\0cd\nnext\n~~~\n", 22),
         {{"te", "ab\nnext\n"}}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(import(c.text), c.expected) << c.name;
}

TEST_F(TextImport, CrLfAndLfFilesGiveTheSameDictionary) {
    const std::string lf = "@one\n  a\n\nb\n~~~\n@two\nc\n~~~\n";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(import(crlf), import(lf));
    EXPECT_EQ(import(lf).size(), 2u);
}

TEST_F(TextImport, PresentTermKeepsArticleAndModifiedFollowsAdds) {
    TDictionary d;
    d.AddTerm("apple", "old");
    d.SaveToFile((folder_ / "d.dic").string());
    auto result = importText(d, file("@APPLE\nnew\n~~~\n"));
    EXPECT_EQ(result.added, 0);
    EXPECT_EQ(result.blocks, 1);
    EXPECT_EQ(entries(d), (TEntries{{"apple", "old"}}));
    EXPECT_FALSE(d.Modified());
    result = importText(d, file("@banana\nb\n~~~\n"));
    EXPECT_EQ(result.added, 1);
    EXPECT_TRUE(d.Modified());
    EXPECT_EQ(d.Find("banana"), 1);
}

TEST_F(TextImport, UnopenableFileIsAnError) {
    TDictionary d;
    const std::string missing = (folder_ / "missing.txt").string();
    try {
        importText(d, missing);
        FAIL() << "no error";
    } catch (const TError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing);
    }
    EXPECT_FALSE(d.Modified());
}

TEST_F(TextImport, ProgressReportsTermsAndCancelKeepsEarlierBlocks) {
    const std::string text = "@a\n1\n~~~\n@b\n2\n~~~\n@c\n3\n~~~\n";
    std::vector<std::string> seen;
    std::vector<uint64_t> positions;
    TDictionary d;
    const auto result = importText(d, file(text), [&](const TImportProgress& p) {
        seen.emplace_back(p.term);
        positions.push_back(p.bytesRead);
        EXPECT_EQ(p.totalBytes, text.size());
        return seen.size() < 3;
    });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(positions, (std::vector<uint64_t>{3, 12, 21}));
    EXPECT_EQ(entries(d), (TEntries{{"a", "1\n"}, {"b", "2\n"}}));
}

// The batched import must equal one AddTerm per block, also into a dictionary that has terms.
TEST_F(TextImport, ResultEqualsOneAddTermPerBlock) {
    std::mt19937 random(11);
    const std::vector<std::string> syllables = {"ka", "Lo", "\xec\xe0", "\xd0\xee", "ti", "NE"};
    std::string text;
    TDictionary expected;
    TDictionary d;
    for (int i = 0; i < 50; ++i) {
        std::string w = syllables[random() % 6] + syllables[random() % 6];
        expected.AddTerm(w, "present\n");
        d.AddTerm(w, "present\n");
    }
    for (int i = 0; i < 3000; ++i) {
        std::string w = syllables[random() % 6] + syllables[random() % 6] + syllables[random() % 6];
        const std::string article = "article " + std::to_string(i) + "\n";
        text += "@" + w + "\n" + article + "~~~\n";
        expected.AddTerm(w, article);
    }
    importText(d, file(text));
    EXPECT_EQ(entries(d), entries(expected));
}

TEST(ImportLines, TrimRemovesControlAndBlankBytes) {
    const std::vector<std::pair<std::string, std::string>> cases = {{"", ""},
                                                                    {" \t\r\n", ""},
                                                                    {"\x01 a b\x1f\x20", "a b"},
                                                                    {"\xa0x\xa0", "\xa0x\xa0"},
                                                                    {std::string("a \0b", 4), "a"},
                                                                    {std::string("\0 b", 3), ""}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(trimImportLine(in), out);
}

// UTF-8 text is told from Windows-1251 (or forced either way) and converted as the converters
// convert; zero bytes, lines ended by CR alone and a file without "@" lines are counted.
TEST_F(TextImport, ReadsUtf8AndCountsWhatLooksWrong) {
    using E = TImportEncoding;
    // What the result says beside the terms: u read as UTF-8, zN lines with a zero byte, rN
    // lone CRs, n no "@" line.
    auto signs = [](const TImportResult& r) {
        return std::string(r.utf8 ? "u" : "") +
               (r.zeroByteLines ? "z" + std::to_string(r.zeroByteLines) : "") +
               (r.loneCrBreaks ? "r" + std::to_string(r.loneCrBreaks) : "") +
               (r.noTermLine ? "n" : "");
    };
    const std::string cat = "\xea\xee\xf8\xea\xe0";  // "кошка" in Windows-1251
    const std::vector<std::tuple<std::string, E, TEntries, std::string>> cases = {
        {"@кошка\ncafé\n~~~\n", E::Detect, {{cat, "cafe\n"}}, "u"},
        {"\xEF\xBB\xBF@кошка\nx\n~~~\n", E::Detect, {{cat, "x\n"}}, "u"},
        {"@" + cat + "\nx\n~~~\n", E::Detect, {{cat, "x\n"}}, ""},
        {"@\xd0\xba\n~~~\n@\xd0\xba\nx\n~~~\n", E::Cp1251, {{"\xd0\xba", "x\n"}}, ""},
        {"@a\nb\n~~~\n", E::Utf8, {{"a", "b\n"}}, "u"},
        {"@a\nb\n~~~\n", E::Detect, {{"a", "b\n"}}, ""},
        {std::string("@a\nb\0c\n~~~\n@d\0\ne\n~~~\n", 21),
         E::Detect,
         {{"a", "b\n"}, {"d", "e\n"}},
         "z2"},
        {"@a\rb\r~~~\r", E::Detect, {}, "r3"},
        {"just text\n", E::Detect, {}, "n"},
        {"", E::Detect, {}, ""},
    };
    for (const auto& [text, encoding, expected, said] : cases) {
        TDictionary d;
        const TImportResult r = importText(d, file(text), {}, encoding);
        EXPECT_EQ(entries(d), expected) << text;
        EXPECT_EQ(signs(r), said) << text;
    }
}
