#include "interchange/mueller_text.h"

#include <optional>

#include "interchange/text_import.h"
#include "platform/codepage.h"

namespace {

struct TStandIn {
    char32_t ch;
    const char* xsampa;
};

// Mueller's stand-ins by what they mean; ɜ before ":" is handled apart (the long vowel 3:).
constexpr TStandIn kStandIns[] = {
    {0x025C, "@"}, {0x0258, "O"}, {0x025B, "e"},  {'e', "E"},    {0x026A, "I"}, {0x028A, "U"},
    {0x00E6, "{"}, {0x028C, "V"}, {0x0251, "A"},  {0x0283, "S"}, {0x0292, "Z"}, {0x03B8, "T"},
    {0x00F0, "D"}, {0x014B, "N"}, {0x2197, "\""}, {0x2198, "%"},
};

constexpr char32_t kOpenE = 0x025C;    // ɜ
constexpr char32_t kUpsilon = 0x028A;  // ʊ

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A byte that can be part of a mark's word: a Latin letter or a byte of a non-ASCII letter.
bool isMarkByte(char c) {
    return isAsciiLetter(c) || static_cast<unsigned char>(c) >= 0x80;
}

size_t indentOf(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    return i;
}

// Whether a line (after its indentation) opens with one of Mueller's markers: "_I" … (Roman
// numerals), a transcription, "1." or "1)", or a small Cyrillic letter and ")".
bool opensWithMarker(std::string_view line) {
    line.remove_prefix(indentOf(line));
    if (line.empty())
        return false;
    if (line[0] == '[')
        return true;
    if (line[0] == '_') {
        size_t i = 1;
        while (i < line.size() && (line[i] == 'I' || line[i] == 'V' || line[i] == 'X'))
            ++i;
        return i > 1 && (i == line.size() || !isMarkByte(line[i]));
    }
    size_t digits = 0;
    while (digits < line.size() && isAsciiDigit(line[digits]))
        ++digits;
    if (digits > 0)
        return digits <= 2 && digits < line.size() && (line[digits] == '.' || line[digits] == ')');
    size_t i = 0;
    const std::optional<char32_t> ch = codepage::decodeUtf8(line, i);
    const bool smallCyrillic = ch && ((*ch >= 0x0430 && *ch <= 0x044F) || *ch == 0x0451);
    return smallCyrillic && i < line.size() && line[i] == ')';
}

std::string_view trimEnd(std::string_view line) {
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= 0x20)
        line.remove_suffix(1);
    return line;
}

// Whether a line ends in a transcription that follows Cyrillic text: the start of another
// entry.
bool endsWithGluedEntry(std::string_view line) {
    if (!line.ends_with(']'))
        return false;
    const size_t open = line.rfind('[');
    if (open == std::string_view::npos)
        return false;
    const std::string_view before = trimEnd(line.substr(0, open));
    size_t i = before.size();
    // The last character before the transcription: a Cyrillic letter's second byte.
    while (i > 0 && (static_cast<unsigned char>(before[i - 1]) & 0xC0) == 0x80)
        --i;
    size_t at = i > 0 ? i - 1 : 0;
    const std::optional<char32_t> last =
        before.empty() ? std::nullopt : codepage::decodeUtf8(before, at);
    return last && *last >= 0x0400 && *last <= 0x04FF;
}

}  // namespace

std::vector<std::string> muellerLines(std::string_view headword, std::string_view article) {
    std::vector<std::string> lines;
    bool first = true;
    while (!article.empty()) {
        const size_t end = article.find('\n');
        const std::string_view line = trimEnd(article.substr(0, end));
        article = end == std::string_view::npos ? std::string_view() : article.substr(end + 1);
        if (first) {
            first = false;
            if (trimBlanks(line) == trimBlanks(headword))
                continue;
        }
        if (trimBlanks(line).empty())
            continue;
        if (!lines.empty() && trimBlanks(line).starts_with("1.") &&
            endsWithGluedEntry(lines.back())) {
            lines.back().resize(lines.back().rfind('['));
            lines.back().resize(trimEnd(lines.back()).size());
            break;
        }
        if (!lines.empty() && !opensWithMarker(line)) {
            lines.back().push_back(' ');
            lines.back().append(trimBlanks(line));
        } else {
            lines.emplace_back(line);
        }
    }
    return lines;
}

std::string muellerTranscription(std::string_view standIns) {
    std::string out;
    for (size_t i = 0; i < standIns.size();) {
        const size_t at = i;
        const std::optional<char32_t> ch = codepage::decodeUtf8(standIns, i);
        if (!ch) {
            out.push_back(standIns[i++]);
            continue;
        }
        if (*ch == kOpenE && i < standIns.size() && standIns[i] == ':') {
            out.push_back('3');
            continue;
        }
        // ʊ: is the long u of "food"; X-SAMPA's U: would be a long lax vowel.
        if (*ch == kUpsilon && i < standIns.size() && standIns[i] == ':') {
            out.push_back('u');
            continue;
        }
        // "oʊ" is the diphthong that the dictionary writes ɜʊ everywhere else.
        if (*ch == 'o' && standIns.substr(i).starts_with("\u028A")) {
            out.push_back('@');
            continue;
        }
        const char* mapped = nullptr;
        for (const TStandIn& s : kStandIns) {
            if (s.ch == *ch)
                mapped = s.xsampa;
        }
        if (mapped)
            out.append(mapped);
        else
            out.append(standIns.substr(at, i - at));
    }
    return out;
}

std::string_view muellerHeadword(std::string_view headword) {
    if (headword.size() > 1 && headword[0] == '_' && isMarkByte(headword[1]))
        headword.remove_prefix(1);
    return headword;
}

std::string muellerLineText(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    bool inMark = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '[') {
            const size_t close = line.find(']', i);
            if (close != std::string_view::npos) {
                if (inMark)
                    out.push_back(' ');
                inMark = false;
                out.push_back('[');
                out.append(muellerTranscription(line.substr(i + 1, close - i - 1)));
                out.push_back(']');
                i = close;
                continue;
            }
        }
        if (c == '_' && i + 1 < line.size() && isMarkByte(line[i + 1])) {
            // A mark glued to the word or number before it ("1)_attr.", "_III_n.") gets a blank.
            if (!out.empty() && out.back() != ' ' && out.back() != '(')
                out.push_back(' ');
            inMark = true;
            continue;
        }
        if (inMark && !isMarkByte(c) && c != '.' && c != '-')
            inMark = false;
        out.push_back(c);
    }
    return out;
}

std::string muellerArticle(std::string_view headword, std::string_view article) {
    std::string out;
    for (const std::string& line : muellerLines(headword, article)) {
        if (!out.empty())
            out.push_back('\n');
        out.append(muellerLineText(line));
    }
    return out;
}
