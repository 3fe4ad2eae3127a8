#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"

TEST(Codepage, EveryByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const auto back = codepage::fromUtf8(codepage::toUtf8(one));
        ASSERT_TRUE(back.has_value()) << b;
        EXPECT_EQ(*back, one) << b;
        EXPECT_EQ(codepage::fromUnicode(codepage::toUnicode(static_cast<unsigned char>(b))), b);
    }
}

TEST(Codepage, AllBytesMapToDistinctCharacters) {
    for (int a = 0; a < 256; ++a) {
        for (int b = a + 1; b < 256; ++b)
            ASSERT_NE(codepage::toUnicode(a), codepage::toUnicode(b)) << a << " " << b;
    }
}

TEST(Codepage, KnownBytesMapToTheirCharacters) {
    const std::pair<unsigned char, char32_t> cases[] = {
        {0x00, 0x0000}, {0x41, 0x0041}, {0x7F, 0x007F}, {0x80, 0x0402}, {0x88, 0x20AC},
        {0x98, 0x0098}, {0x99, 0x2122}, {0xA0, 0x00A0}, {0xA5, 0x0490}, {0xA8, 0x0401},
        {0xB2, 0x0406}, {0xB4, 0x0491}, {0xB8, 0x0451}, {0xB9, 0x2116}, {0xBF, 0x0457},
        {0xC0, 0x0410}, {0xDF, 0x042F}, {0xE0, 0x0430}, {0xFF, 0x044F},
    };
    for (const auto& [byte, ch] : cases)
        EXPECT_EQ(codepage::toUnicode(byte), ch) << int(byte);
}

TEST(Codepage, ToUtf8GivesTheUnicodeText) {
    EXPECT_EQ(codepage::toUtf8("\xCF\xF0\xE8\xE2\xE5\xF2 A"), "Привет A");
    EXPECT_EQ(codepage::toUtf8("\xA8\xB8\x88\xB9"), "Ёё€№");
    EXPECT_EQ(codepage::toUtf8(""), "");
}

TEST(Codepage, StrictConversionRefusesWhatTheCodePageCannotHold) {
    struct TCase {
        const char* what;
        std::string utf8;
        char32_t firstBad;
    };
    const TCase cases[] = {
        {"Latin accent", "caf\xC3\xA9", 0x00E9},
        {"CJK", "a\xE4\xB8\xAD", 0x4E2D},
        {"emoji", "\xF0\x9F\x98\x80", 0x1F600},
        {"first of two", "\xC3\xA9\xE4\xB8\xAD", 0x00E9},
        {"stray continuation byte", "a\x80", 0xFFFD},
        {"truncated sequence", "\xD0", 0xFFFD},
        {"over-long 'A'", "\xC1\x81", 0xFFFD},
        {"over-long '/'", "\xE0\x80\xAF", 0xFFFD},
        {"surrogate", "\xED\xA0\x80", 0xFFFD},
        {"beyond Unicode", "\xF4\x90\x80\x80", 0xFFFD},
    };
    for (const TCase& c : cases) {
        char32_t bad = 0;
        EXPECT_FALSE(codepage::fromUtf8(c.utf8, &bad).has_value()) << c.what;
        EXPECT_EQ(bad, c.firstBad) << c.what;
    }
}

TEST(Codepage, StrictConversionTakesEverythingTheCodePageHolds) {
    EXPECT_EQ(codepage::fromUtf8("Привет, мир! Ёё €"),
              "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xA8\xB8 \x88");
    EXPECT_EQ(codepage::fromUtf8(""), "");
}
