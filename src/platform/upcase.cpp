#include "platform/upcase.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <array>

#include "platform/codepage.h"

namespace upcase {
namespace {

std::array<unsigned char, 256> buildTable() {
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const char32_t upper = static_cast<char32_t>(
            u_toupper(static_cast<UChar32>(codepage::toUnicode(static_cast<unsigned char>(b)))));
        const int mapped = codepage::fromUnicode(upper);
        table[b] = static_cast<unsigned char>(mapped >= 0 ? mapped : b);
    }
    return table;
}

}  // namespace

const std::array<unsigned char, 256>& table() {
    static const std::array<unsigned char, 256> kTable = buildTable();
    return kTable;
}

unsigned char byte(unsigned char b) {
    return table()[b];
}

std::string text(std::string_view cp1251) {
    std::string out(cp1251);
    const auto& t = table();
    for (char& c : out)
        c = static_cast<char>(t[static_cast<unsigned char>(c)]);
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size())
        return false;
    const auto& t = table();
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (t[static_cast<unsigned char>(text[i])] != t[static_cast<unsigned char>(prefix[i])])
            return false;
    }
    return true;
}

bool equal(std::string_view a, std::string_view b) {
    return a.size() == b.size() && startsWith(a, b);
}

std::string utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            out.push_back(static_cast<char>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b));
            ++i;
            continue;
        }
        const int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            out.append(text.data() + start, static_cast<size_t>(i - start));
            continue;
        }
        const UChar32 upper = u_toupper(c);
        char encoded[U8_MAX_LENGTH];
        int32_t n = 0;
        U8_APPEND_UNSAFE(encoded, n, upper);
        out.append(encoded, static_cast<size_t>(n));
    }
    return out;
}

}  // namespace upcase
