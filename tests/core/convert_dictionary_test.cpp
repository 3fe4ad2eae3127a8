// A dictionary converted into the program's format: a UTF-8 dictionary read in place folded as
// the converters fold, a Windows-1251 one copied as it is.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dictionary/dictionary.h"
#include "interchange/conversion.h"
#include "platform/codepage.h"
#include "platform/compare.h"
#include "tab_source.h"
#include "test_support.h"

namespace {

struct TCase {
    const char* name;
    TEntries entries;
    TEntries copied;  // UTF-8 of the copy's Windows-1251 terms and articles, in order
    int joined, leftOut;
    uint64_t folded, replaced;
};

class ConvertDictionary : public ::testing::Test {
protected:
    void SetUp() override { compare::setLocale(""); }

    TTempFolder folder_;
    TTabOpener opener_;
};

TEST_F(ConvertDictionary, FoldsUtf8SourceAsConvertersDo) {
    const TCase cases[] = {
        {"as held",
         {{"привет", "hi"}, {"cat", "кошка"}},
         {{"cat", "кошка"}, {"привет", "hi"}},
         0,
         0,
         0,
         0},
        {"accents folded",
         {{"été", "l'été"}, {"Straße", "x"}},
         {{"ete", "l'ete"}, {"Strasse", "x"}},
         0,
         0,
         5,
         0},
        // The dictionary's order (Ete before été) decides which headword stays, and the
        // articles are joined in that order.
        {"equal once folded: joined",
         {{"été", "a"}, {"Ete", "b"}},
         {{"Ete", "b\n\na"}},
         1,
         0,
         2,
         0},
        {"no near form: left out", {{"字", "a"}, {"cat", "字"}}, {{"cat", "?"}}, 0, 1, 0, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        writeTabSource(folder_.file("d.tab"), c.entries, "Littré\n\nété\nhiver");
        TDictionary source;
        source.openIndexed(folder_.file("d.tab"), "");
        ASSERT_TRUE(source.readOnly());
        TDictionary copy;
        const TConversionReport report = convertDictionary(source, copy);
        TEntries copied;
        for (int i = 0; i < copy.Count(); ++i)
            copied.emplace_back(codepage::toUtf8(copy.Term(i)), codepage::toUtf8(copy.Article(i)));
        EXPECT_EQ(copied, c.copied);
        EXPECT_EQ(report.entries, source.Count());
        EXPECT_EQ(report.joined, c.joined);
        EXPECT_EQ(report.leftOut, c.leftOut);
        EXPECT_EQ(report.characters.folded, c.folded);
        EXPECT_EQ(report.characters.replaced, c.replaced);
        EXPECT_EQ(codepage::toUtf8(copy.Name()), "Littre");
        EXPECT_EQ(codepage::toUtf8(copy.Info()), "ete\r\nhiver");
        EXPECT_FALSE(copy.readOnly());
    }
}

TEST_F(ConvertDictionary, CopiesWindows1251DictionaryUnchanged) {
    TDictionary source;
    source.SetName(*codepage::fromUtf8("Словарь"));
    source.AddTerm(*codepage::fromUtf8("Ёж"), *codepage::fromUtf8("line\r\nёж"));
    source.AddTerm("cat", "");
    TDictionary copy;
    const TConversionReport report = convertDictionary(source, copy);
    EXPECT_EQ(report.characters.folded + report.characters.replaced, 0u);
    EXPECT_EQ(copy.Name(), source.Name());
    ASSERT_EQ(copy.Count(), 1);  // an entry with no article text is left out, as converting does
    EXPECT_EQ(copy.Term(0), source.Term(source.Find(*codepage::fromUtf8("ёж"))));
    EXPECT_EQ(report.emptyArticles, 1);
}

}  // namespace
