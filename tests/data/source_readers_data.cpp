// Every dictd database and StarDict dictionary installed on the machine, read in place, gives
// the dictionary its converter gives: its entries, through a conversion, the same terms,
// articles and header, byte for byte; and opened as the window opens it, the answers the
// converted dictionary gives, apart from folding.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "interchange/conversion.h"
#include "interchange/dictd_reader.h"
#include "interchange/fold_1251.h"
#include "interchange/source_readers.h"
#include "interchange/stardict_reader.h"
#include "interchange/text_import.h"
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

// Fails unless the entries the reader walks, converted, give the converter's dictionary.
void expectSameEntries(const std::string& path, const TDictionary& expected) {
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

// The mismatches of one kind, counted, with the first few named.
struct TMismatches {
    std::map<std::string, std::pair<int, std::vector<std::string>>> kinds;

    void add(const std::string& kind, const std::string& example) {
        auto& [count, examples] = kinds[kind];
        ++count;
        if (examples.size() < 5)
            examples.push_back(example);
    }
    int total() const {
        int n = 0;
        for (const auto& [kind, found] : kinds)
            n += found.first;
        return n;
    }
};

// The paragraphs of an article (the parts between empty lines), each without line breaks at
// its ends: what the converter joins, whatever the order it met them in, each text once.
std::set<std::string> paragraphs(std::string_view text) {
    std::set<std::string> out;
    while (!text.empty()) {
        while (!text.empty() && text.front() == '\n')
            text.remove_prefix(1);
        const size_t end = std::min(text.find("\n\n"), text.size());
        std::string_view part = text.substr(0, end);
        while (!part.empty() && part.back() == '\n')
            part.remove_suffix(1);
        if (!part.empty())
            out.emplace(part);
        text.remove_prefix(std::min(text.size(), end + 2));
    }
    return out;
}

// Fails unless the source opened in place answers as the converter's dictionary: each term,
// folded as the converter folds headwords, is found there (a term with a character folding
// cannot hold is left out by the converter, and so skipped), with the article folded; the
// terms that fold to one converted term give it their articles joined, in any order; and
// every converted term is some term's. The index is made in memory.
void expectSameAnswers(const std::string& path, const TDictionary& expected) {
    TDictionary inPlace;
    inPlace.openIndexed(path, "");
    ASSERT_TRUE(inPlace.termFile());
    ASSERT_EQ(inPlace.textForm(), TTextForm::Utf8);
    TCodePageFolder folder;
    // changed, when given, tells whether folding changed a character, and replaced whether it
    // wrote one as "?".
    auto fold = [&](std::string_view text, bool* replaced = nullptr, bool* changed = nullptr) {
        std::string out;
        const TFoldCounts counts = folder.append(text, out);
        if (replaced)
            *replaced = counts.replaced > 0;
        if (changed)
            *changed = counts.replaced + counts.folded > 0;
        return out;
    };
    TMismatches found;
    EXPECT_EQ(fold(inPlace.Name()), expected.Name());
    EXPECT_EQ(fold(inPlace.Author()), expected.Author());
    EXPECT_EQ(withCrLf(fold(inPlace.Info())), expected.Info());

    // The in-place terms that each converted term comes from.
    std::vector<std::vector<int>> from(static_cast<size_t>(expected.Count()));
    int leftOut = 0;
    for (int i = 0; i < inPlace.Count(); ++i) {
        const std::string term(inPlace.Term(i));
        bool replaced = false;
        std::string folded = fold(term, &replaced);
        if (replaced) {
            ++leftOut;
            continue;
        }
        const int at = expected.Find(folded);
        if (at < 0)
            found.add("in-place term not among the converted", term);
        else
            from[static_cast<size_t>(at)].push_back(i);
    }
    for (size_t at = 0; at < from.size(); ++at) {
        const int position = static_cast<int>(at);
        const std::string want(expected.Article(position));
        const std::vector<int>& terms = from[at];
        if (terms.empty()) {
            found.add("converted term from no in-place term", std::string(expected.Term(position)));
        } else if (terms.size() == 1) {
            // The converter keeps once the texts of one term that fold alike (中国, 瓷器 → ??).
            bool changed = false;
            const std::string article = fold(inPlace.Article(terms[0]), nullptr, &changed);
            if (article != want && !(changed && paragraphs(article) == paragraphs(want)))
                found.add("article differs", std::string(inPlace.Term(terms[0])));
        } else {
            std::set<std::string> parts;
            std::string names;
            for (int i : terms) {
                parts.merge(paragraphs(fold(inPlace.Article(i))));
                names += "«" + std::string(inPlace.Term(i)) + "» ";
            }
            if (parts != paragraphs(want))
                found.add("joined article differs", names);
        }
    }
    std::cout << path << ": " << inPlace.Count() << " terms in place, " << expected.Count()
              << " converted, " << leftOut << " left out by folding, " << found.total()
              << " mismatches\n";
    for (const auto& [kind, counted] : found.kinds) {
        std::cout << "  " << kind << ": " << counted.first << ", e.g.";
        for (const std::string& example : counted.second)
            std::cout << " «" << example << "»";
        std::cout << "\n";
    }
    EXPECT_EQ(found.total(), 0) << path;
}

// Both comparisons against the converter's dictionary.
void expectSameAsConverted(const std::string& path,
                           const std::function<void(TConversion&)>& convert) {
    SCOPED_TRACE(path);
    const auto start = std::chrono::steady_clock::now();
    TConversion converted;
    convert(converted);
    TDictionary expected;
    converted.finish(expected);
    expectSameEntries(path, expected);
    expectSameAnswers(path, expected);
    std::cout << "  "
              << std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - start)
                     .count()
              << " ms\n";
}

TEST(SourceReadersData, DictdDatabasesReadInPlaceAsConverted) {
    compare::setLocale("");
    setSourceOpener(openSourceReader);
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
    setSourceOpener(openSourceReader);
    const std::vector<std::string> ifos = installed("/usr/share/stardict/dic", ".ifo");
    if (ifos.empty())
        GTEST_SKIP() << "no StarDict dictionary installed";
    for (const std::string& ifo : ifos)
        expectSameAsConverted(ifo, [&](TConversion& c) { readStarDict(ifo, c); });
}

}  // namespace
