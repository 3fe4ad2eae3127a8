// A dictionary converted into the program's format: a UTF-8 dictionary read in place folded as
// the converters fold, a Windows-1251 one copied as it is.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/source.h"
#include "dictionary/term_index.h"
#include "interchange/conversion.h"
#include "platform/codepage.h"
#include "platform/compare.h"
#include "test_support.h"

namespace {

using TEntries = std::vector<std::pair<std::string, std::string>>;

// A source of its entries held in memory (texts UTF-8), opened by any path ending ".mem".
class TMemorySource : public TSourceReader {
public:
    TMemorySource(std::string path, TEntries entries)
        : path_(std::move(path)), entries_(std::move(entries)) {}
    std::vector<std::string> files() const override { return {path_}; }
    THeader walk(const std::function<void(std::string_view, std::string_view)>& visit,
                 TIndexProgress*) override {
        for (size_t i = 0; i < entries_.size(); ++i)
            visit(entries_[i].first, std::to_string(i));
        return {"Littré", "", "été\nhiver"};
    }
    std::string article(std::string_view locator) const override {
        return entries_.at(std::stoul(std::string(locator))).second;
    }

private:
    std::string path_;
    TEntries entries_;
};

struct TCase {
    const char* name;
    TEntries entries;
    std::vector<std::string> terms;  // UTF-8 of the copy's Windows-1251 terms, in order
    int joined, leftOut;
    uint64_t folded, replaced;
};

class ConvertDictionary : public ::testing::Test {
protected:
    void SetUp() override { compare::setLocale(""); }
    void TearDown() override { setSourceOpener(nullptr); }

    // The entries as a dictionary read in place.
    void openSource(TDictionary& dictionary, const TEntries& entries) {
        setSourceOpener([entries](const std::string& path) -> std::unique_ptr<TSourceReader> {
            return std::make_unique<TMemorySource>(path, entries);
        });
        writeFile(folder_.file("d.mem"), "x");
        dictionary.openIndexed(folder_.file("d.mem"), "");
    }

    TTempFolder folder_;
};

TEST_F(ConvertDictionary, FoldsUtf8SourceAsConvertersDo) {
    const TCase cases[] = {
        {"as held", {{"привет", "hi"}, {"cat", "кошка"}}, {"cat", "привет"}, 0, 0, 0, 0},
        {"accents folded", {{"été", "l'été"}, {"Straße", "x"}}, {"ete", "Strasse"}, 0, 0, 5, 0},
        // The dictionary's order (Ete before été) decides which headword stays.
        {"equal once folded: joined", {{"été", "a"}, {"Ete", "b"}}, {"Ete"}, 1, 0, 2, 0},
        {"no near form: left out", {{"字", "a"}, {"cat", "字"}}, {"cat"}, 0, 1, 0, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TDictionary source;
        openSource(source, c.entries);
        ASSERT_TRUE(source.readOnly());
        TDictionary copy;
        const TConversionReport report = convertDictionary(source, copy);
        std::vector<std::string> terms;
        for (int i = 0; i < copy.Count(); ++i)
            terms.push_back(codepage::toUtf8(copy.Term(i)));
        EXPECT_EQ(terms, c.terms);
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

// Articles of terms equal once folded are joined in the dictionary's order.
TEST_F(ConvertDictionary, JoinedArticlesKeepTheirLines) {
    TDictionary source;
    openSource(source, {{"été", "a"}, {"Ete", "b"}});
    TDictionary copy;
    convertDictionary(source, copy);
    ASSERT_EQ(copy.Count(), 1);
    EXPECT_EQ(std::string(copy.Article(0)), "b\n\na");
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
