#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dictionary/key_generator.h"
#include "dictionary/secret_memory_stream.h"
#include "reference/reference.h"

TEST(KeyGenerator, ConstructionValuesGiveThePeriodSevenSequence) {
    TKeyGenerator g;
    EXPECT_EQ(g.State, 1u);
    EXPECT_EQ(g.Width, 3u);
    EXPECT_EQ(g.Mask, 7u);
    EXPECT_EQ(g.Taps, 5u);
    std::vector<uint32_t> got;
    for (int i = 0; i < 14; ++i)
        got.push_back(g.Next());
    EXPECT_EQ(got, (std::vector<uint32_t>{3, 7, 6, 5, 2, 4, 1, 3, 7, 6, 5, 2, 4, 1}));
}

TEST(KeyGenerator, SetWidthMasks) {
    const std::vector<std::pair<uint32_t, uint32_t>> cases = {
        {0, 1},    {1, 1},       {2, 3},           {3, 7},
        {8, 0xFF}, {16, 0xFFFF}, {31, 0x7FFFFFFF}, {32, 0xFFFFFFFF}};
    for (const auto& [width, mask] : cases) {
        TKeyGenerator g;
        g.State = 9;
        g.Taps = 11;
        g.SetWidth(width);
        EXPECT_EQ(g.Mask, mask) << width;
        EXPECT_EQ(g.Width, width);
        EXPECT_EQ(g.State, 9u);
        EXPECT_EQ(g.Taps, 11u);
    }
}

TEST(KeyGenerator, ZeroStateStaysZero) {
    TKeyGenerator g;
    g.State = 0;
    g.SetWidth(16);
    g.Taps = kKeyTaps;
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(g.Next(), 0u);
}

TEST(KeyGenerator, BuiltInKeyHasTheLongestPeriod) {
    TKeyGenerator g;
    g.State = kKeyState;
    g.SetWidth(16);
    g.Taps = kKeyTaps;
    uint32_t steps = 0;
    do {
        g.Next();
        ++steps;
    } while (g.State != kKeyState && steps < 70000);
    EXPECT_EQ(steps, 65535u);
}

TEST(Keystream, FastWalksMatchTheRegisterByteForByte) {
    std::mt19937 random(3);
    for (size_t size : {size_t{0}, size_t{1}, size_t{15}, size_t{65534}, size_t{65535},
                        size_t{65536}, size_t{200001}}) {
        std::string plain(size, '\0');
        for (char& c : plain)
            c = static_cast<char>(random());
        std::string slow = plain, fast = plain;
        reference::scrambleByRegister(slow.data(), slow.size());
        keystream::scramble(fast.data(), fast.size());
        ASSERT_EQ(fast, slow) << size;
        reference::unscrambleByRegister(slow.data(), slow.size());
        keystream::unscramble(fast.data(), fast.size());
        ASSERT_EQ(slow, plain) << size;
        ASSERT_EQ(fast, plain) << size;
    }
}

TEST(Keystream, ByteArithmeticWraps) {
    // Find a position whose key byte is 20 hex, then check F0 + 20 = 10 and back.
    std::string zeros(70000, '\0');
    keystream::scramble(zeros.data(), zeros.size());
    const size_t at = zeros.find('\x20');
    ASSERT_NE(at, std::string::npos);
    std::string text(at + 1, '\0');
    text[at] = '\xF0';
    keystream::scramble(text.data(), text.size());
    EXPECT_EQ(static_cast<unsigned char>(text[at]), 0x10);
    keystream::unscramble(text.data(), text.size());
    EXPECT_EQ(static_cast<unsigned char>(text[at]), 0xF0);
}

TEST(Keystream, TwoContentsShareTheKeystream) {
    std::string a = "first content here", b = "other bytes entirely";
    const std::string plainA = a, plainB = b;
    keystream::scramble(a.data(), a.size());
    keystream::scramble(b.data(), b.size());
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        EXPECT_EQ(static_cast<unsigned char>(a[i] - plainA[i]),
                  static_cast<unsigned char>(b[i] - plainB[i]))
            << i;
    }
}
