#include "platform/codepage.h"

#include <array>

namespace codepage {
namespace {

// 80–BF hex; C0–FF are А–я (U+0410–U+044F) and 00–7F are ASCII.
constexpr std::array<char16_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

}  // namespace

void appendUtf8(std::string& out, char32_t ch) {
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

std::optional<char32_t> decodeUtf8(std::string_view text, size_t& i) {
    size_t at = i;
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) {
        i = at;
        return lead;
    }
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || lead > 0xF4)
        return std::nullopt;
    char32_t ch = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (at >= text.size())
            return std::nullopt;
        const auto next = static_cast<unsigned char>(text[at]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        ch = (ch << 6) | (next & 0x3F);
        ++at;
    }
    // An over-long form would let a byte slip past any check made on the decoded text; such
    // forms, surrogates and values beyond Unicode are malformed.
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (ch < kSmallest[extra] || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return std::nullopt;
    i = at;
    return ch;
}

char32_t toUnicode(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return 0x0410 + (byte - 0xC0);
    return kHighHalf[byte - 0x80];
}

int fromUnicode(char32_t ch) {
    if (ch < 0x80)
        return static_cast<int>(ch);
    if (ch >= 0x0410 && ch <= 0x044F)
        return static_cast<int>(0xC0 + (ch - 0x0410));
    for (size_t k = 0; k < kHighHalf.size(); ++k) {
        if (kHighHalf[k] == ch)
            return static_cast<int>(0x80 + k);
    }
    return -1;
}

std::string toUtf8(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (unsigned char byte : cp1251)
        appendUtf8(out, toUnicode(byte));
    return out;
}

std::optional<std::string> fromUtf8(std::string_view utf8, char32_t* firstBad) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        // Malformed UTF-8 counts as U+FFFD, which the code page cannot hold.
        const char32_t ch = decodeUtf8(utf8, i).value_or(0xFFFD);
        const int byte = fromUnicode(ch);
        if (byte < 0) {
            if (firstBad)
                *firstBad = ch;
            return std::nullopt;
        }
        out += static_cast<char>(byte);
    }
    return out;
}

std::string escapeControls(std::string_view text, bool utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    auto escape = [&](unsigned code) {
        out += "\\x";
        out.push_back(kHex[code >> 4]);
        out.push_back(kHex[code & 15]);
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool crlf = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if ((c < 0x20 && c != '\n' && c != '\t' && !crlf) || c == 0x7F) {
            escape(c);
        } else if (utf8 && c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            escape(static_cast<unsigned char>(text[++i]));
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

}  // namespace codepage
