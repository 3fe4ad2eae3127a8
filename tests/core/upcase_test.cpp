#include <gtest/gtest.h>

#include <string>

#include "platform/upcase.h"

TEST(Upcase, LettersFoldToTheirCapitals) {
    const std::pair<unsigned char, unsigned char> cases[] = {
        {'a', 'A'},   {'z', 'Z'},   {0xE0, 0xC0}, {0xEF, 0xCF},  // а п
        {0xF0, 0xD0}, {0xFF, 0xDF},                              // р я
        {0xB8, 0xA8},                                            // ё
        {0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C},  // ђ ѓ љ њ
        {0x9D, 0x8D}, {0x9E, 0x8E}, {0x9F, 0x8F},                // ќ ћ џ
        {0xA2, 0xA1}, {0xBC, 0xA3}, {0xB4, 0xA5}, {0xBA, 0xAA},  // ў ј ґ є
        {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD},                // ї і ѕ
    };
    for (const auto& [lower, upper] : cases) {
        EXPECT_EQ(upcase::byte(lower), upper) << int(lower);
        EXPECT_EQ(upcase::byte(upper), upper) << int(upper);
    }
}

TEST(Upcase, OnlyLettersChange) {
    int changed = 0;
    for (int b = 0; b < 256; ++b) {
        const unsigned char up = upcase::byte(static_cast<unsigned char>(b));
        EXPECT_EQ(upcase::byte(up), up) << b;
        if (up != b)
            ++changed;
    }
    // 26 Latin, 32 Cyrillic of А–Я, ё and the 14 other Cyrillic small letters of the code page.
    EXPECT_EQ(changed, 26 + 32 + 1 + 14);
    for (const int same :
         {int('0'), int('@'), int('['), int('`'), int('{'), 0x98, 0xB5, 0xB9, 0xA0, 0x88})
        EXPECT_EQ(upcase::byte(static_cast<unsigned char>(same)), same) << same;
}

TEST(Upcase, TextHelpersCompareIgnoringCase) {
    EXPECT_EQ(upcase::text("abc \xF1\xEB\xEE\xE2\xEE \xB8"), "ABC \xD1\xCB\xCE\xC2\xCE \xA8");
    struct TCase {
        std::string a, b;
        bool equal, startsWith;
    };
    const TCase cases[] = {
        {"Apple", "APPLE", true, true},
        {"apple", "app", false, true},
        {"app", "apple", false, false},
        {"\xF1\xEB\xEE\xE2\xEE", "\xD1\xCB", false, true},
        {"\xB8\xEB\xEA\xE0", "\xA8\xCB\xCA\xC0", true, true},
        {"\xE5", "\xB8", false, false},  // е and ё stay apart
        {"", "", true, true},
        {"x", "", false, true},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(upcase::equal(c.a, c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(upcase::startsWith(c.a, c.b), c.startsWith) << c.a << " / " << c.b;
    }
}
