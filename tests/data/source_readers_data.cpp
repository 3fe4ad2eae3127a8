// Every dictd database and StarDict dictionary installed on the machine, read in place, gives
// the dictionary its converter gives: the same terms, articles and header, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "interchange/conversion.h"
#include "interchange/dictd_reader.h"
#include "interchange/source_readers.h"
#include "interchange/stardict_reader.h"
#include "platform/compare.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> installed(const std::string& folder, const std::string& extension) {
    std::vector<std::string> out;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file() && it->path().extension() == extension)
            out.push_back(it->path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Fails unless the dictionary the reader gives equals the converter's.
void expectSameAsConverted(const std::string& path,
                           const std::function<void(TConversion&)>& convert) {
    SCOPED_TRACE(path);
    TConversion converted;
    convert(converted);
    TDictionary expected;
    converted.finish(expected);

    const std::unique_ptr<TSourceReader> reader = openSourceReader(path);
    ASSERT_TRUE(reader);
    TConversion inPlace;
    const TSourceReader::THeader header = reader->walk(
        [&](std::string_view headword, std::string_view locator) {
            inPlace.add(headword, reader->article(locator));
        },
        nullptr);
    if (!header.name.empty())
        inPlace.setName(header.name);
    if (!header.author.empty())
        inPlace.setAuthor(header.author);
    if (!header.info.empty())
        inPlace.setInfo(header.info);
    TDictionary read;
    inPlace.finish(read);

    EXPECT_EQ(read.Name(), expected.Name());
    EXPECT_EQ(read.Author(), expected.Author());
    EXPECT_EQ(read.Info(), expected.Info());
    ASSERT_EQ(read.Count(), expected.Count());
    ASSERT_GT(read.Count(), 0);
    int differing = 0;
    for (int i = 0; i < read.Count() && differing < 5; ++i) {
        const std::string term(read.Term(i)), article(read.Article(i));
        const std::string wantTerm(expected.Term(i)), wantArticle(expected.Article(i));
        if (term != wantTerm || article != wantArticle) {
            ++differing;
            ADD_FAILURE() << "position " << i << ": \"" << term << "\" differs from \"" << wantTerm
                          << "\"";
        }
    }
}

TEST(SourceReadersData, DictdDatabasesReadInPlaceAsConverted) {
    compare::setLocale("");
    const std::vector<std::string> indexes = installed("/usr/share/dictd", ".index");
    if (indexes.empty())
        GTEST_SKIP() << "no dictd database installed";
    for (const std::string& index : indexes) {
        const std::string base = index.substr(0, index.size() - 6);
        const std::string data = fs::exists(base + ".dict") ? base + ".dict" : base + ".dict.dz";
        if (!fs::exists(data))
            continue;
        expectSameAsConverted(index, [&](TConversion& c) { readDictd(index, data, c); });
    }
}

TEST(SourceReadersData, StarDictDictionariesReadInPlaceAsConverted) {
    compare::setLocale("");
    const std::vector<std::string> ifos = installed("/usr/share/stardict/dic", ".ifo");
    if (ifos.empty())
        GTEST_SKIP() << "no StarDict dictionary installed";
    for (const std::string& ifo : ifos)
        expectSameAsConverted(ifo, [&](TConversion& c) { readStarDict(ifo, c); });
}

}  // namespace
