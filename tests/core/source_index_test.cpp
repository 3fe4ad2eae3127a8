#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dictionary/article_search.h"
#include "dictionary/dictionary.h"
#include "dictionary/parallel_load.h"
#include "dictionary/prefix_search.h"
#include "dictionary/source.h"
#include "dictionary/term_index.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "platform/upcase.h"
#include "tab_source.h"
#include "test_support.h"

namespace {

// What the dictionary of a source must hold, worked out the plain way: headwords trimmed of
// blanks, control characters inside made blanks, empty ones left out; equal terms (UTF-8
// comparison) one term, the first headword, articles joined in walk order (each text once,
// empty ones left out) with an empty line between; the terms in the UTF-8 order.
TEntries model(const TEntries& written) {
    TEntries terms;
    std::map<std::string, std::set<std::string>> seen;  // the texts joined under each term
    for (const auto& [headword, article] : written) {
        std::string term(headword);
        while (!term.empty() && static_cast<unsigned char>(term.back()) <= 0x20)
            term.pop_back();
        while (!term.empty() && static_cast<unsigned char>(term.front()) <= 0x20)
            term.erase(0, 1);
        std::replace_if(
            term.begin(), term.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; },
            ' ');
        if (term.empty())
            continue;
        auto same = std::find_if(terms.begin(), terms.end(), [&](const auto& t) {
            return compare::termsUtf8(t.first, term) == 0;
        });
        if (same == terms.end()) {
            terms.emplace_back(term, article);
            seen[term].insert(article);
        } else if (!article.empty() && seen[same->first].insert(article).second) {
            same->second += same->second.empty() ? article : "\n\n" + article;
        }
    }
    std::stable_sort(terms.begin(), terms.end(), [](const auto& a, const auto& b) {
        return compare::termsUtf8(a.first, b.first) < 0;
    });
    return terms;
}

// The first position whose term, upper-cased, begins with the upper-cased prefix.
int linearUtf8PrefixSearch(const TDictionary& d, const std::string& prefix) {
    if (prefix.empty())
        return -1;
    const std::string upper = upcase::utf8(prefix);
    for (int i = 0; i < d.Count(); ++i) {
        if (upcase::utf8(d.Term(i)).starts_with(upper))
            return i;
    }
    return -1;
}

}  // namespace

// A source read through its index, made afresh into the cache, read back from it, and made in
// memory, holds exactly the model's terms and articles, finds every headword in any case, and
// keeps accented letters distinct.
TEST(SourceIndex, HoldsTheSourcesTermsInTheUtf8Order) {
    compare::setLocale("");
    const TTabOpener opener;
    const std::vector<std::pair<const char*, TEntries>> cases = {
        {"equal terms in other case joined, the first headword kept",
         {{"été", "summer"}, {"Été", "Summer"}, {"ÉTÉ", "summer"}, {"ete", "plain"}}},
        {"accents and letters distinct",
         {{"přítel", "friend"},
          {"pritel", "no"},
          {"Přítel", "Friend"},
          {"řeka", "river"},
          {"zebra", "z"},
          {"Ёж", "ёж"},
          {"еж", "е"},
          {"ЁЖ", "big"},
          {"apple", "a"}}},
        {"empty headwords and articles left out, headwords tidied",
         {{"  ", "gone"},
          {" \x01 ", "gone too"},
          {"  word \x02x ", "w"},
          {"word x", ""},
          {"Word x", "again"},
          {"alone", ""}}},
        {"no entries", {{"   ", "none"}}},
    };
    for (const auto& [what, written] : cases) {
        SCOPED_TRACE(what);
        TTempFolder temp;
        const std::string path = temp.file("s.tab");
        writeTabSource(path, written);
        const TEntries expected = model(written);
        for (const auto& [folder, fromCache] : std::vector<std::pair<std::string, bool>>{
                 {temp.file("cache"), false}, {temp.file("cache"), true}, {"", false}}) {
            TDictionary d;
            d.openIndexed(path, folder);
            ASSERT_NE(d.termFile(), nullptr);
            EXPECT_EQ(d.termFile()->fromCache(), fromCache) << folder;
            EXPECT_EQ(d.textForm(), TTextForm::Utf8);
            EXPECT_TRUE(d.readOnly());
            EXPECT_EQ(d.Name() + "|" + d.Author() + "|" + d.Info(), "Name|Author|Info\r\nmore");
            EXPECT_EQ(d.fileName(), path);
            EXPECT_EQ(entries(d), expected) << folder;
            for (size_t i = 0; i < expected.size(); ++i) {
                const std::string& term = expected[i].first;
                EXPECT_EQ(d.Find(upcase::utf8(term)), static_cast<int>(i)) << term;
                EXPECT_EQ(d.lowerBound(term), static_cast<int>(i)) << term;
            }
            EXPECT_EQ(d.Find("absent"), -1);
            EXPECT_EQ(d.lowerBound("\xd1\x8f\xd1\x8f\xd1\x8f"), d.Count());  // яяя
        }
    }
}

// A change to any of the source's files is told, an article is no longer read from it, and the
// next opening makes the index again from the source as it is now.
TEST(SourceIndex, ChangeToAnyFileRemakesTheIndex) {
    compare::setLocale("");
    const TTabOpener opener;
    using TChange = std::function<void(const std::string& path)>;
    const std::vector<std::pair<const char*, TChange>> changes = {
        {"main file rewritten",
         [](auto& path) { writeFile(path, "beta\tnew beta\ngamma\tnew gamma\n"); }},
        {"companion rewritten", [](auto& path) { writeFile(path + ".hdr", "Other\nA\nI"); }},
        {"companion removed then put back",
         [](auto& path) {
             std::filesystem::remove(path + ".hdr");
             writeFile(path + ".hdr", "Name\nAuthor\nInfo");
         }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        TTempFolder temp;
        const std::string path = temp.file("s.tab");
        writeTabSource(path, {{"alpha", "a"}, {"beta", "b"}});
        TDictionary d;
        d.openIndexed(path, temp.file("cache"));
        EXPECT_FALSE(d.fileChanged());
        change(path);
        EXPECT_TRUE(d.fileChanged());
        EXPECT_THROW(d.Article(0), TDictionaryChanged);
        TDictionary again;
        again.openIndexed(path, temp.file("cache"));
        EXPECT_FALSE(again.termFile()->fromCache());
        EXPECT_EQ(entries(again), model(TTabSource(path).entries()));
        EXPECT_FALSE(again.fileChanged());
    }
}

// Every change and every save of a dictionary read in place is refused with the read-only
// message, and leaves it as it was.
TEST(SourceIndex, EveryChangeIsRefused) {
    compare::setLocale("");
    const TTabOpener opener;
    TTempFolder temp;
    const std::string path = temp.file("s.tab");
    writeTabSource(path, {{"alpha", "a"}, {"beta", "b"}});
    writeTabSource(temp.file("nameless.tab"), {{"alpha", "a"}}, "");
    using TChange = std::function<void(TDictionary&)>;
    const std::vector<std::pair<const char*, TChange>> changes = {
        {"AddTerm", [](auto& d) { d.AddTerm("gamma", "g"); }},
        {"AddTerm of a present term", [](auto& d) { d.AddTerm("alpha", "g"); }},
        {"ChangeTerm", [](auto& d) { d.ChangeTerm("gamma", "g"); }},
        {"ChangeTerm of a present term", [](auto& d) { d.ChangeTerm("alpha", "g"); }},
        {"Delete", [](auto& d) { d.Delete(0); }},
        {"Clear", [](auto& d) { d.Clear(); }},
        {"addTerms",
         [](auto& d) {
             TTermBatch batch;
             batch.add("gamma", "g");
             d.addTerms(std::move(batch));
         }},
        {"SetName", [](auto& d) { d.SetName("x"); }},
        {"SetAuthor", [](auto& d) { d.SetAuthor("x"); }},
        {"SetInfo", [](auto& d) { d.SetInfo("x"); }},
        {"LoadFromStream",
         [](auto& d) {
             TSecretMemoryStream stream;
             d.LoadFromStream(stream);
         }},
        {"SaveToStream",
         [](auto& d) {
             TSecretMemoryStream stream;
             d.SaveToStream(stream);
         }},
        {"SaveToFile", [&](auto& d) { d.SaveToFile(temp.file("out.dic")); }},
        {"SaveToFile over itself", [&](auto& d) { d.SaveToFile(d.fileName()); }},
        {"saveCopy", [&](auto& d) { d.saveCopy(temp.file("copy.dic")); }},
    };
    for (const auto& [source, name] : std::vector<std::pair<std::string, std::string>>{
             {path, "Name"}, {temp.file("nameless.tab"), "nameless.tab"}}) {
        for (const auto& [what, change] : changes) {
            SCOPED_TRACE(what);
            TDictionary d;
            d.openIndexed(source, temp.file("cache"));
            const TEntries before = entries(d);
            const std::string header = d.Name() + d.Author() + d.Info();
            try {
                change(d);
                ADD_FAILURE() << "not refused";
            } catch (const TError& e) {
                EXPECT_STREQ(e.what(), ("Словарь «" + name + "» открыт только для чтения").c_str());
            }
            EXPECT_EQ(entries(d), before);
            EXPECT_EQ(d.Name() + d.Author() + d.Info(), header);
            EXPECT_FALSE(d.Modified());
            EXPECT_TRUE(d.readOnly());
            EXPECT_NE(d.termFile(), nullptr);
            EXPECT_FALSE(std::filesystem::exists(temp.file("out.dic")));
            EXPECT_FALSE(std::filesystem::exists(temp.file("copy.dic")));
            EXPECT_EQ(readFile(path), "alpha\ta\nbeta\tb\n");
        }
    }
    // Loading a file of the program's own replaces it whole, and that one may change.
    TDictionary d;
    d.openIndexed(path, temp.file("cache"));
    TDictionary own;
    own.AddTerm("own", "o");
    own.SaveToFile(temp.file("own.dic"));
    d.LoadFromFile(temp.file("own.dic"));
    EXPECT_FALSE(d.readOnly());
    EXPECT_EQ(d.textForm(), TTextForm::Cp1251);
    EXPECT_EQ(d.AddTerm("more", "m"), 0);
}

// The incremental search over UTF-8 terms finds what a scan of the terms upper-cased finds,
// from the index's order, and from an order of its own; the search in articles ignores case
// as UTF-8 upper-casing does.
TEST(SourceIndex, PrefixAndArticleSearchOverUtf8Terms) {
    compare::setLocale("");
    const TTabOpener opener;
    TTempFolder temp;
    const std::string path = temp.file("s.tab");
    const TEntries written = {
        {"été", "Summer Été"}, {"étoile", "star"},  {"Etna", "volcano"},  {"etude", "study"},
        {"řeka", "river"},     {"Řím", "Rome"},     {"rada", "advice"},   {"ёлка", "fir ЁЛКА"},
        {"Ель", "spruce"},     {"елка", "fir"},     {"ABC", "letters"},   {"abd", "more"},
        {"Straße", "street"},  {"STRASSE", "caps"}, {"ǆungla", "jungle"}, {"abc", "second"}};
    writeTabSource(path, written);
    std::vector<std::string> prefixes = {"",  "x", "É",  "é",   "Ř",     "ř", "Ё", "ё", "е",
                                         "Е", "a", "AB", "str", "STRAß", "ǅ", "ǆ", "Ǆ", "\xc3"};
    for (const auto& [headword, article] : written) {
        for (size_t n = 1; n <= headword.size(); ++n)
            prefixes.push_back(headword.substr(0, n));  // also cut inside a letter
    }
    TDictionary d;
    d.openIndexed(path, temp.file("cache"));
    TPrefixSearch fromIndex(&d);
    for (const std::string& prefix : prefixes)
        EXPECT_EQ(fromIndex.find(prefix), linearUtf8PrefixSearch(d, prefix)) << prefix;
    const std::vector<uint32_t> own = upperOrder(
        static_cast<size_t>(d.Count()), [&](size_t i) { return d.Term(static_cast<int>(i)); },
        TTextForm::Utf8);
    EXPECT_EQ(own, std::vector<uint32_t>(d.termFile()->upperOrder(),
                                         d.termFile()->upperOrder() + d.Count()));

    // The entries are read in the order of their lines, unlike the terms' (a text with a line
    // break, which may span two joined entries, in whole articles), and what is found is in
    // term order all the same, whole or in steps.
    for (const auto& [text, found] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"été", {"été"}},
             {"ёлка", {"ёлка"}},
             {"FIR", {"елка", "ёлка"}},
             {"ř", {}},
             {"S", {"ABC", "été", "étoile", "etude", "STRASSE", "Straße", "Ель"}},
             {"S\n\nS", {"ABC"}}}) {
        TTabSource::reads.clear();
        std::vector<std::string> terms;
        for (const int at : findInArticles(d, text))
            terms.emplace_back(d.Term(at));
        EXPECT_EQ(terms, found) << text;
        if (text.find('\n') == std::string::npos) {
            EXPECT_TRUE(std::is_sorted(TTabSource::reads.begin(), TTabSource::reads.end())) << text;
        }
        TArticleSearch search(d, text);
        while (search.done() < search.count())
            search.step(3);
        EXPECT_EQ(search.found(), findInArticles(d, text)) << text;
    }
}

// The UTF-8 comparison orders texts that Windows-1251 can hold exactly as the comparison of
// their Windows-1251 bytes does, and its keys order as it does.
TEST(SourceIndex, Utf8ComparisonAgreesWithTheCodePagesOne) {
    const std::vector<std::string> words = {"apple", "Apple", "APPLE!", "ёж", "Еж", "ель", "е-мейл",
                                            "Zoo",   "zoo ",  "",       "ё",  "Ё",  "e",   "co-op",
                                            "coop",  "1a",    "a1",     "№",  "«a»"};
    for (const std::string locale : {"", "ru_RU", "fr_FR"}) {
        compare::setLocale(locale);
        for (const std::string& a : words) {
            for (const std::string& b : words) {
                const int cp = compare::terms(*codepage::fromUtf8(a), *codepage::fromUtf8(b));
                const int utf8 = compare::termsUtf8(a, b);
                EXPECT_EQ((cp > 0) - (cp < 0), (utf8 > 0) - (utf8 < 0)) << a << " " << b;
                std::string ka;
                std::string kb;
                compare::appendSortKeyUtf8(a, ka);
                compare::appendSortKeyUtf8(b, kb);
                EXPECT_EQ(ka.compare(kb) < 0, utf8 < 0) << a << " " << b;
                EXPECT_EQ(ka == kb, utf8 == 0) << a << " " << b;
            }
        }
    }
    compare::setLocale("");
}

// The start-up's load takes a source's index from the cache once made, and the index is made
// on a thread of its own as for a dictionary file.
TEST(SourceIndex, ParallelLoadAndIndexBuildOpenSources) {
    compare::setLocale("");
    const TTabOpener opener;
    TTempFolder temp;
    const std::string path = temp.file("s.tab");
    const TEntries written = {{"Été", "summer"}, {"été", "été"}, {"řeka", "river"}};
    writeTabSource(path, written);
    const std::string cache = temp.file("cache");
    EXPECT_TRUE(loadDictionaries({path}, 1, cache, true).at(0).indexToMake);
    TIndexBuild build(path, cache);
    while (!build.finished())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::unique_ptr<TDictionary> made = build.take();
    EXPECT_EQ(entries(*made), model(written));
    std::vector<TLoadedDictionary> loaded =
        loadDictionaries({path, temp.file("gone.tab")}, 2, cache, true);
    ASSERT_NE(loaded.at(0).dictionary, nullptr);
    EXPECT_TRUE(loaded[0].dictionary->termFile()->fromCache());
    EXPECT_TRUE(loaded[0].dictionary->readOnly());
    EXPECT_EQ(entries(*loaded[0].dictionary), model(written));
    EXPECT_TRUE(loaded.at(1).error != nullptr);
}
