#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/compare.h"

namespace {

// Each neighbouring pair of the list must compare "less" both ways round.
void expectAscending(const std::vector<std::string>& list) {
    for (size_t i = 0; i + 1 < list.size(); ++i) {
        EXPECT_LT(compare::terms(list[i], list[i + 1]), 0) << list[i] << " < " << list[i + 1];
        EXPECT_GT(compare::terms(list[i + 1], list[i]), 0) << list[i + 1] << " > " << list[i];
    }
}

std::vector<std::string> cyrillicAlphabet(bool upper) {
    std::vector<std::string> letters;
    const unsigned char base = upper ? 0xC0 : 0xE0;
    for (int k = 0; k < 32; ++k) {
        letters.emplace_back(1, static_cast<char>(base + k));
        if (k == 5)  // ё comes after е
            letters.emplace_back(1, static_cast<char>(upper ? 0xA8 : 0xB8));
    }
    return letters;
}

class CompareTest : public ::testing::Test {
protected:
    void SetUp() override { compare::setLocale(""); }
};

}  // namespace

TEST_F(CompareTest, LatinWordsInAlphabeticalOrderIgnoringCase) {
    expectAscending({"apple", "banana", "Cherry", "date", "ELDER"});
    expectAscending({"a", "B", "c", "D", "e", "F", "g", "H", "i", "J", "k", "L", "m",
                     "N", "o", "P", "q", "R", "s", "T", "u", "V", "w", "X", "y", "Z"});
    expectAscending({"ab", "abc", "Abd"});
}

TEST_F(CompareTest, CyrillicAlphabetInOrderInBothCases) {
    expectAscending(cyrillicAlphabet(false));
    expectAscending(cyrillicAlphabet(true));
    std::vector<std::string> mixed = cyrillicAlphabet(false);
    for (size_t i = 0; i < mixed.size(); i += 2)
        mixed[i] = cyrillicAlphabet(true)[i];
    expectAscending(mixed);
}

TEST_F(CompareTest, CaseIsIgnoredButLettersAreNot) {
    struct TCase {
        std::string a, b;
        int sign;
    };
    const TCase cases[] = {
        {"Apple", "apple", 0},
        {"APPLE", "apple", 0},
        {"\xD1\xEB\xEE\xE2\xEE", "\xF1\xcb\xee\xc2\xee", 0},  // Слово / сЛоВо
        {"\xA8\xEB\xEA\xE0", "\xB8\xCB\xCA\xC0", 0},          // Ёлка / ёЛКА
        {"\xE5\xEB\xEA\xE0", "\xB8\xEB\xEA\xE0", -1},         // елка < ёлка
        {"apple", "apples", -1},
        {"b", "A", 1},
    };
    for (const TCase& c : cases) {
        const int r = compare::terms(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST_F(CompareTest, RootOrderPutsLatinBeforeCyrillic) {
    expectAscending({"zebra", "\xE0\xE9\xE2\xE0"});  // zebra < айва
    // Russian puts Cyrillic first; choosing the empty locale afterwards is the root order again.
    compare::setLocale("ru");
    expectAscending({"\xE0\xE9\xE2\xE0", "zebra"});
    compare::setLocale("");
    expectAscending({"zebra", "\xE0\xE9\xE2\xE0"});
}
