#include "interchange/markup_text.h"

#include <cctype>

#include "platform/codepage.h"

namespace {

struct TNamedEntity {
    std::string_view name;
    char32_t ch;
};

constexpr TNamedEntity kEntities[] = {
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},        {"quot", '"'},
    {"apos", '\''},     {"nbsp", 0x00A0},   {"shy", 0x00AD},    {"copy", 0x00A9},
    {"reg", 0x00AE},    {"trade", 0x2122},  {"deg", 0x00B0},    {"plusmn", 0x00B1},
    {"middot", 0x00B7}, {"bull", 0x2022},   {"hellip", 0x2026}, {"ndash", 0x2013},
    {"mdash", 0x2014},  {"laquo", 0x00AB},  {"raquo", 0x00BB},  {"lsquo", 0x2018},
    {"rsquo", 0x2019},  {"ldquo", 0x201C},  {"rdquo", 0x201D},  {"sbquo", 0x201A},
    {"bdquo", 0x201E},  {"times", 0x00D7},  {"divide", 0x00F7}, {"sect", 0x00A7},
    {"para", 0x00B6},   {"euro", 0x20AC},   {"pound", 0x00A3},  {"micro", 0x00B5},
    {"eacute", 0x00E9}, {"egrave", 0x00E8}, {"aacute", 0x00E1}, {"agrave", 0x00E0},
    {"ouml", 0x00F6},   {"uuml", 0x00FC},   {"auml", 0x00E4},   {"szlig", 0x00DF},
    {"ccedil", 0x00E7}, {"aelig", 0x00E6},  {"oslash", 0x00F8}, {"rarr", 0x2192},
    {"larr", 0x2190},
};

// Tags whose end (and whose start, for a list item) begins a new line.
constexpr std::string_view kBlockTags[] = {"p",  "div", "li", "h1", "h2", "h3",
                                           "h4", "h5",  "h6", "dd", "dt", "blockquote"};

void newLine(std::string& out, size_t start) {
    if (out.size() > start && out.back() != '\n')
        out.push_back('\n');
}

// Decodes the reference at text[i] ('&'); returns its length, or 0 when it is none.
size_t decodeEntity(std::string_view text, size_t i, std::string& out) {
    const size_t semicolon = text.find(';', i + 1);
    if (semicolon == std::string_view::npos || semicolon - i > 12)
        return 0;
    const std::string_view name = text.substr(i + 1, semicolon - i - 1);
    if (name.size() >= 2 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty())
            return 0;
        char32_t value = 0;
        for (char c : digits) {
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return 0;
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(d);
            if (value > 0x10FFFF)
                return 0;
        }
        if (value == 0 || (value >= 0xD800 && value <= 0xDFFF))
            return 0;
        codepage::appendUtf8(out, value);
        return semicolon - i + 1;
    }
    for (const TNamedEntity& entity : kEntities) {
        if (entity.name == name) {
            codepage::appendUtf8(out, entity.ch);
            return semicolon - i + 1;
        }
    }
    return 0;
}

// The end of the tag starting at text[i] ('<'), past its '>', quoted values skipped; or npos.
size_t tagEnd(std::string_view text, size_t i) {
    char quote = 0;
    for (size_t k = i + 1; k < text.size(); ++k) {
        const char c = text[k];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return k + 1;
        }
    }
    return std::string_view::npos;
}

}  // namespace

void appendMarkupText(std::string_view text, TMarkup kind, std::string& out) {
    const size_t start = out.size();
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '&') {
            const size_t used = decodeEntity(text, i, out);
            if (used == 0) {
                out.push_back(c);
                ++i;
            } else {
                i += used;
            }
            continue;
        }
        if (c != '<') {
            out.push_back(c);
            ++i;
            continue;
        }
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("<!--")) {
            const size_t end = text.find("-->", i + 4);
            i = end == std::string_view::npos ? text.size() : end + 3;
            continue;
        }
        if (rest.starts_with("<![CDATA[")) {
            const size_t end = text.find("]]>", i + 9);
            const size_t stop = end == std::string_view::npos ? text.size() : end;
            out.append(text.substr(i + 9, stop - i - 9));
            i = end == std::string_view::npos ? text.size() : end + 3;
            continue;
        }
        const size_t end = tagEnd(text, i);
        const bool closing = i + 1 < text.size() && text[i + 1] == '/';
        size_t nameStart = i + (closing ? 2 : 1);
        size_t nameEnd = nameStart;
        while (nameEnd < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[nameEnd])) || text[nameEnd] == '-' ||
                text[nameEnd] == '_' || text[nameEnd] == ':'))
            ++nameEnd;
        if (end == std::string_view::npos || nameEnd == nameStart) {
            // Not a tag: a lone "<" of the text.
            out.push_back(c);
            ++i;
            continue;
        }
        std::string name(text.substr(nameStart, nameEnd - nameStart));
        for (char& ch : name)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        i = end;
        if (!closing && (name == "script" || name == "style")) {
            const std::string close = "</" + name;
            size_t at = i;
            // The closing tag in any letter case.
            for (;; ++at) {
                at = text.find("</", at);
                if (at == std::string_view::npos)
                    break;
                std::string candidate(text.substr(at, close.size()));
                for (char& ch : candidate)
                    ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                if (candidate == close)
                    break;
            }
            const size_t after =
                at == std::string_view::npos ? std::string_view::npos : tagEnd(text, at);
            i = after == std::string_view::npos ? text.size() : after;
            continue;
        }
        if (name == "br") {
            out.push_back('\n');
            continue;
        }
        if (kind == TMarkup::Xdxf && name == "tr") {
            out.push_back(closing ? ']' : '[');
            continue;
        }
        if (kind == TMarkup::Html && name == "tr" && closing) {
            newLine(out, start);
            continue;
        }
        for (std::string_view block : kBlockTags) {
            if (name == block && (closing || name == "li")) {
                newLine(out, start);
                break;
            }
        }
    }
}
