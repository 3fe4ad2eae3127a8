// The incremental search must choose exactly the row that a scan from the first row chooses,
// whatever the locale's order does with the terms that share a beginning.
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/prefix_search.h"
#include "platform/compare.h"
#include "reference/reference.h"

namespace {

// Windows-1251 bytes of the letters used below.
const std::string kYoUpper = "\xA8";   // Ё
const std::string kYoLower = "\xB8";   // ё
const std::string kYeUpper = "\xC5";   // Е
const std::string kYeLower = "\xE5";   // е
const std::string kZheLower = "\xE6";  // ж
const std::string kElLower = "\xEB";   // л

void fill(TDictionary& dictionary, const std::vector<std::string>& terms) {
    for (const std::string& term : terms)
        dictionary.AddTerm(term, "article of " + term);
}

struct TFixedCase {
    const char* name;
    std::vector<std::string> terms;
    std::string prefix;
};

// Names the case in test listings instead of dumping the structure's bytes.
void PrintTo(const TFixedCase& c, std::ostream* out) {
    *out << c.name;
}

class PrefixSearchFixed : public ::testing::TestWithParam<TFixedCase> {
protected:
    void SetUp() override { compare::setLocale(""); }
};

TEST_P(PrefixSearchFixed, ChoosesTheLinearScansRow) {
    const TFixedCase& c = GetParam();
    TDictionary dictionary;
    fill(dictionary, c.terms);
    TPrefixSearch search(&dictionary);
    const int expected = reference::linearPrefixSearch(dictionary, c.prefix);
    EXPECT_EQ(search.find(c.prefix), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrefixSearchFixed,
    ::testing::Values(
        TFixedCase{"ab_selects_first", {"Abandon", "abbey", "able"}, "ab"},
        TFixedCase{"abb_selects_second", {"Abandon", "abbey", "able"}, "abb"},
        TFixedCase{"upper_prefix", {"Abandon", "abbey", "able"}, "ABL"},
        TFixedCase{"no_match", {"Abandon", "abbey", "able"}, "abx"},
        TFixedCase{"longer_than_term", {"Abandon", "abbey", "able"}, "abandoned"},
        TFixedCase{"yo_apart_from_ye",
                   {kYoUpper + kZheLower, kYeUpper + kZheLower + "a", kYeLower + kElLower + "b"},
                   kYeLower},
        TFixedCase{"yo_folds_with_yo", {kYeUpper + kZheLower, kYoLower + kZheLower}, kYoUpper},
        TFixedCase{"punctuation_inside", {"a-b", "ab", "a b", "a'b"}, "a-"},
        TFixedCase{"control_character",
                   {"a\x01z", "ab",
                    "a\x01"
                    "b"},
                   "a\x01"},
        TFixedCase{"empty_dictionary", {}, "a"}),
    [](const ::testing::TestParamInfo<TFixedCase>& info) { return std::string(info.param.name); });

TEST(PrefixSearch, EmptyPrefixMatchesNothing) {
    compare::setLocale("");
    TDictionary dictionary;
    fill(dictionary, {"a", "b"});
    TPrefixSearch search(&dictionary);
    EXPECT_EQ(search.find(""), -1);
    EXPECT_EQ(reference::linearPrefixSearch(dictionary, ""), -1);
}

TEST(PrefixSearch, ResetDoesNotBuildAndFindDoes) {
    compare::setLocale("");
    TDictionary dictionary;
    fill(dictionary, {"cat", "dog"});
    TPrefixSearch search;
    search.reset(&dictionary);
    EXPECT_FALSE(search.built());
    EXPECT_EQ(search.find("D"), 1);
    EXPECT_TRUE(search.built());
}

TEST(PrefixSearch, NoDictionaryFindsNothing) {
    TPrefixSearch search;
    EXPECT_EQ(search.find("a"), -1);
}

// Random terms over an alphabet chosen to trouble a collation-based search: both cases, Е/Ё,
// blanks, hyphens, apostrophes, an ignorable control byte and letters that form contractions
// in some locales (ch, ll, aa).
std::string randomTerm(std::mt19937& rng, int maxLength) {
    static const std::vector<std::string> kPieces = {
        "a",    "A",    "b",    "B",    "c",    "h",    "l",    "L",    "-",  " ",  "'", "\x01",
        "\xC5", "\xE5", "\xA8", "\xB8", "\xE6", "\xC6", "\xE0", "\xC0", "ch", "ll", "aa"};
    std::uniform_int_distribution<int> length(1, maxLength);
    std::uniform_int_distribution<size_t> piece(0, kPieces.size() - 1);
    std::string term;
    const int n = length(rng);
    for (int i = 0; i < n; ++i)
        term += kPieces[piece(rng)];
    return term;
}

class PrefixSearchDifferential : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { compare::setLocale(GetParam()); }
    void TearDown() override { compare::setLocale(""); }
};

TEST_P(PrefixSearchDifferential, AgreesWithLinearScanOnRandomDictionaries) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 40; ++round) {
        TDictionary dictionary;
        const int size = 1 + static_cast<int>(rng() % 300);
        for (int i = 0; i < size; ++i)
            dictionary.AddTerm(randomTerm(rng, 6), "");
        TPrefixSearch search(&dictionary);
        for (int q = 0; q < 200; ++q) {
            const std::string prefix = randomTerm(rng, 3);
            ASSERT_EQ(search.find(prefix), reference::linearPrefixSearch(dictionary, prefix))
                << "round " << round << " prefix of " << prefix.size() << " bytes";
        }
    }
}

TEST_P(PrefixSearchDifferential, StaysExactThroughInsertsAndRemovals) {
    std::mt19937 rng(777);
    TDictionary dictionary;
    for (int i = 0; i < 200; ++i)
        dictionary.AddTerm(randomTerm(rng, 5), "");
    TPrefixSearch search(&dictionary);
    search.build();
    for (int step = 0; step < 300; ++step) {
        if (rng() % 2 == 0 || dictionary.Count() == 0) {
            const int position = dictionary.AddTerm(randomTerm(rng, 5), "");
            if (position >= 0)
                search.termInserted(position);
        } else {
            const int position =
                static_cast<int>(rng() % static_cast<unsigned>(dictionary.Count()));
            dictionary.Delete(position);
            search.termRemoved(position);
        }
        for (int q = 0; q < 10; ++q) {
            const std::string prefix = randomTerm(rng, 2);
            ASSERT_EQ(search.find(prefix), reference::linearPrefixSearch(dictionary, prefix))
                << "step " << step;
        }
    }
}

// Terms that mostly share their first eight bytes or more (where the index's packed key can no
// longer tell them apart), are shorter than that, carry zero bytes (which the key's padding
// also produces) and bytes from 0x80 up, in numbers large enough that the sort splits them
// byte by byte rather than finishing them in one small group.
std::string keyEdgeTerm(std::mt19937& rng) {
    static const std::vector<std::string> kStems = {
        "", "abcdefg", "ABCDEFGH", "abcdefgh\xE0", std::string("abc\0", 4), "\xC0\xE0\xFF\xA8"};
    static const std::vector<std::string> kPieces = {
        "a", "A", "h", "H", std::string(1, '\0'), "\x80", "\xFF", "\xDF", "\xB8", "\xA8", "\x01"};
    std::uniform_int_distribution<size_t> stem(0, kStems.size() - 1);
    std::uniform_int_distribution<size_t> piece(0, kPieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 4);
    std::string term = kStems[stem(rng)];
    const int n = length(rng) + (term.empty() ? 1 : 0);
    for (int i = 0; i < n; ++i)
        term += kPieces[piece(rng)];
    return term;
}

TEST_P(PrefixSearchDifferential, AgreesWithLinearScanWhereTermsShareLongBeginnings) {
    std::mt19937 rng(4711);
    for (int round = 0; round < 6; ++round) {
        TDictionary dictionary;
        for (int i = 0; i < 600; ++i)
            dictionary.AddTerm(keyEdgeTerm(rng), "");
        TPrefixSearch search(&dictionary);
        // Every beginning of every term, then some that begin none.
        for (int position = 0; position < dictionary.Count(); ++position) {
            const std::string term(dictionary.Term(position));
            for (size_t length = 1; length <= term.size(); ++length) {
                const std::string prefix = term.substr(0, length);
                ASSERT_EQ(search.find(prefix), reference::linearPrefixSearch(dictionary, prefix))
                    << "round " << round << " position " << position << " length " << length;
            }
        }
        for (int q = 0; q < 200; ++q) {
            const std::string prefix = keyEdgeTerm(rng);
            ASSERT_EQ(search.find(prefix), reference::linearPrefixSearch(dictionary, prefix))
                << "round " << round;
        }
        // An insertion after the build lands among those groups too.
        const int position = dictionary.AddTerm(keyEdgeTerm(rng) + "z", "");
        if (position >= 0)
            search.termInserted(position);
        for (int q = 0; q < 100; ++q) {
            const std::string prefix = keyEdgeTerm(rng);
            ASSERT_EQ(search.find(prefix), reference::linearPrefixSearch(dictionary, prefix))
                << "round " << round << " after an insertion";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, PrefixSearchDifferential,
                         ::testing::Values("", "ru_RU", "cs_CZ", "da_DK", "es_ES_TRADITIONAL"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             const std::string name = info.param;
                             return name.empty() ? std::string("root") : name;
                         });

}  // namespace
