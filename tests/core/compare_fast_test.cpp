#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/compare.h"
#include "reference/reference.h"
#include "test_support.h"

namespace {

int sign(int v) {
    return (v > 0) - (v < 0);
}

// How many bytes the shortcut of terms() covers under the current locale (0 when it is off).
int plainByteCount() {
    const uint32_t* weights = compare::plainWeights();
    if (!weights)
        return 0;
    return static_cast<int>(
        std::count_if(weights, weights + 256, [](uint32_t w) { return w != 0; }));
}

}  // namespace

// The table shortcut of the term comparison must give the collator's own answer for every
// text, under locales with script reordering (ru, uk), contractions (cs "ch", da "aa", root
// "l·") and their own letters (sv, lt).
TEST(CompareShortcut, AgreesWithTheCollator) {
    const std::vector<std::string> pieces = {
        "a",    "A",    "b",    "c",    "h",    "ch",   "CH",   "l",    "\xb7", "aa",
        "y",    "i",    "z",    "o",    "\xe0", "\xc0", "\xe5", "\xb8", "\xa8", "\xe9",
        "\xe8", "\xff", "\xdf", "\xb3", "\xb2", "\xbf", "\xa5", "\xb4", "-",    " ",
        "'",    "1",    "0",    "\x01", "\x98", "\xad", "\xa0", "\xe6", "\xf9"};
    std::mt19937 random(17);
    auto text = [&] { return randomText(random, pieces, 6); };
    for (const char* locale :
         {"", "ru", "uk", "cs", "sv", "lt", "da", "de", "hu", "sk", "es@collation=traditional"}) {
        compare::setLocale(locale);
        const reference::TFullCollator full(locale);
        EXPECT_GT(plainByteCount(), 150) << locale << ": the shortcut should be on";
        int mismatches = 0;
        for (int i = 0; i < 20000; ++i) {
            const std::string prefix = random() % 2 ? text() : "";
            const std::string a = prefix + text();
            const std::string b = prefix + text();
            if (sign(compare::terms(a, b)) != sign(full.terms(a, b)) && ++mismatches < 5)
                ADD_FAILURE() << locale << ": '" << a << "' vs '" << b << "'";
        }
        EXPECT_EQ(mismatches, 0) << locale;
    }
    compare::setLocale("");
}

TEST(CompareShortcut, CaseIgnoredAccentsKept) {
    compare::setLocale("");
    struct TCase {
        std::string a, b;
        int expected;
    };
    const std::vector<TCase> cases = {
        {"apple", "APPLE", 0},
        {"\xff\xe1\xeb\xee\xea\xee", "\xdf\xc1\xcb\xce\xca\xce", 0},  // яблоко / ЯБЛОКО
        {"\xe5\xeb\xea\xe0", "\xb8\xeb\xea\xe0", -1},                 // елка before ёлка
        {"ab", "abc", -1},
        {"zebra", "\xe0", -1},  // root: Latin before Cyrillic
        {"", "a", -1},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(sign(compare::terms(c.a, c.b)), c.expected) << c.a << " / " << c.b;
}

// The shortcut takes the root order's contractions from the list made at build time and the
// locale's own from its tailoring; listing every contraction the collator has must give the
// same table, for locales with contractions of their own and without.
TEST(CompareShortcut, BuildTimeListGivesWhatListingEverythingGives) {
    for (const char* locale : {"", "ru", "cs", "sk", "hu", "da", "es@collation=traditional", "lt",
                               "sv", "uk", "de@collation=phonebook"}) {
        compare::setLocale(locale);
        const uint32_t* weights = compare::plainWeights();
        ASSERT_NE(weights, nullptr) << locale;
        const auto listed = compare::plainWeightsListingAll(locale);
        for (int b = 0; b < 256; ++b)
            EXPECT_EQ(weights[b], listed[b]) << locale << ", byte " << b;
    }
    compare::setLocale("");
}
