#include "reference/reference.h"

#include <unicode/ucol.h>

#include <cstdint>
#include <string>

#include "dictionary/dictionary.h"
#include "dictionary/key_generator.h"
#include "dictionary/secret_memory_stream.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/upcase.h"

namespace reference {
namespace {

TKeyGenerator keyedGenerator() {
    TKeyGenerator generator;
    generator.State = kKeyState;
    generator.SetWidth(kKeyWidth);
    generator.Taps = kKeyTaps;
    return generator;
}

// Each Windows-1251 byte as its UTF-16 character, which is what the collator reads.
std::u16string utf16(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<char16_t>(codepage::toUnicode(static_cast<unsigned char>(text[i])));
    return out;
}

}  // namespace

void scrambleByRegister(char* data, size_t size) {
    TKeyGenerator generator = keyedGenerator();
    for (size_t i = 0; i < size; ++i) {
        const uint32_t k = generator.Next() & 0xFF;
        data[i] = static_cast<char>((static_cast<unsigned char>(data[i]) + k) % 256);
    }
}

void unscrambleByRegister(char* data, size_t size) {
    TKeyGenerator generator = keyedGenerator();
    for (size_t i = 0; i < size; ++i) {
        const uint32_t k = generator.Next() & 0xFF;
        data[i] = static_cast<char>((static_cast<unsigned char>(data[i]) + 256 - k) % 256);
    }
}

uint64_t indexChecksum(const char* data, size_t size) {
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    const size_t blocked = size / 32 * 32;
    uint64_t lanes[4] = {size, size ^ 1, size ^ 2, size ^ 3};
    for (size_t word = 0; word < blocked / 8; ++word) {
        uint64_t value = 0;
        for (size_t byte = 8; byte-- > 0;)
            value = value << 8 | static_cast<unsigned char>(data[8 * word + byte]);
        uint64_t& lane = lanes[word % 4];
        lane = (lane ^ value) * kMultiplier;
        lane ^= lane >> 29;
    }
    uint64_t h = lanes[0];
    for (size_t lane = 1; lane < 4; ++lane)
        h = (h ^ lanes[lane]) * kMultiplier;
    for (size_t i = blocked; i < size; ++i)
        h = (h ^ static_cast<unsigned char>(data[i])) * kMultiplier;
    return h ^ (h >> 32);
}

int linearPrefixSearch(const TDictionary& dictionary, std::string_view prefix) {
    if (prefix.empty())
        return -1;
    const int count = dictionary.Count();
    for (int i = 0; i < count; ++i) {
        if (upcase::startsWith(dictionary.Term(i), prefix))
            return i;
    }
    return -1;
}

TFullCollator::TFullCollator(const std::string& locale) {
    UErrorCode status = U_ZERO_ERROR;
    collator_ = ucol_open(locale.c_str(), &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        collator_ = ucol_open("", &status);
    }
    if (U_FAILURE(status))
        throw TError(error_text::kNoCollator);
    // Secondary strength: base letters and accents count, letter case does not.
    ucol_setStrength(collator_, UCOL_SECONDARY);
}

TFullCollator::~TFullCollator() {
    ucol_close(collator_);
}

int TFullCollator::terms(std::string_view a, std::string_view b) const {
    const std::u16string ua = utf16(a);
    const std::u16string ub = utf16(b);
    return static_cast<int>(ucol_strcoll(collator_, ua.data(), static_cast<int32_t>(ua.size()),
                                         ub.data(), static_cast<int32_t>(ub.size())));
}

}  // namespace reference
