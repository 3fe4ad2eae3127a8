#include "interchange/mueller_reverse.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <optional>
#include <set>

#include "interchange/mueller_text.h"
#include "interchange/text_import.h"
#include "platform/codepage.h"

namespace {

// The marks that name a part of speech; any other mark is a label of usage or field.
constexpr std::string_view kPartsOfSpeech[] = {"n",      "v",     "a",    "adv",    "prep",
                                               "pron",   "cj",    "conj", "interj", "predic",
                                               "n-card", "n-ord", "pref", "num"};

constexpr size_t kMaxWords = 4;

bool isCyrillic(char32_t c) {
    return (c >= 0x0400 && c <= 0x04FF);
}

bool isLatin(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0x00C0 && c <= 0x024F);
}

bool isMarkByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           static_cast<unsigned char>(c) >= 0x80 || c == '.' || c == '-';
}

// The length of the mark at text[0] ("_n.", "_разг."), or 0 when none starts there.
size_t markLength(std::string_view text) {
    if (text.size() < 2 || text[0] != '_' || !isMarkByte(text[1]) || text[1] == '.' ||
        text[1] == '-')
        return 0;
    size_t i = 1;
    while (i < text.size() && isMarkByte(text[i]))
        ++i;
    return i;
}

std::string_view skipBlanks(std::string_view text) {
    while (!text.empty() && (text[0] == ' ' || text[0] == '\t'))
        text.remove_prefix(1);
    return text;
}

// The text with its marks and transcriptions taken out, blanks collapsed.
std::string withoutMarks(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (const size_t mark = markLength(text.substr(i))) {
            i += mark;
            continue;
        }
        if (text[i] == '[') {
            const size_t close = text.find(']', i);
            if (close != std::string_view::npos) {
                i = close + 1;
                continue;
            }
        }
        const char c = text[i] == '\t' ? ' ' : text[i];
        ++i;
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out.push_back(c);
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// The parts of text between the separators outside parentheses and braces.
std::vector<std::string_view> splitOutside(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    int depth = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '(' || c == '{')
            ++depth;
        else if ((c == ')' || c == '}') && depth > 0)
            --depth;
        else if (c == separator && depth == 0) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

// Whether the first letter of the text is Latin: an English example, or a reference.
bool opensLatin(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const std::optional<char32_t> c = codepage::decodeUtf8(text, i);
        if (!c) {
            ++i;
            continue;
        }
        if (isLatin(*c))
            return true;
        if (u_isalpha(static_cast<UChar32>(*c)))
            return false;
    }
    return false;
}

// An item of a sense as a term: the notes in parentheses and braces left out, blanks collapsed,
// the closing punctuation and "и т. п." dropped, quotes around the whole left out; empty when it
// is no term (not opening with a Cyrillic letter, holding a Latin one, or more than four words).
std::string termOf(std::string_view item) {
    std::string out;
    int depth = 0;
    for (char c : item) {
        if (c == '(' || c == '{') {
            ++depth;
            continue;
        }
        if ((c == ')' || c == '}') && depth > 0) {
            --depth;
            continue;
        }
        if (depth > 0)
            continue;
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out.push_back(c);
    }
    auto trimEnd = [&out] {
        while (!out.empty() && (out.back() == ' ' || out.back() == '.' || out.back() == '!' ||
                                out.back() == '?' || out.back() == ':'))
            out.pop_back();
    };
    trimEnd();
    // "и т. п." closing an item says that there are more of the kind: no part of the term.
    for (std::string_view etc : {" и т.п", " и т. п", " и т.д", " и т. д"}) {
        if (out.ends_with(etc)) {
            out.resize(out.size() - etc.size());
            trimEnd();
        }
    }
    // A term quoted whole is the term.
    if (out.size() > 2 && out.front() == '"' && out.back() == '"' &&
        out.find('"', 1) == out.size() - 1)
        out = out.substr(1, out.size() - 2);
    size_t first = 0;
    const std::optional<char32_t> opening =
        out.empty() ? std::nullopt : codepage::decodeUtf8(out, first);
    if (!opening || !isCyrillic(*opening))
        return {};
    size_t words = 1;
    for (size_t i = 0; i < out.size();) {
        if (out[i] == ' ')
            ++words;
        const std::optional<char32_t> c = codepage::decodeUtf8(out, i);
        if (!c || isLatin(*c))
            return {};
    }
    return words > kMaxWords ? std::string() : out;
}

std::string lowered(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const std::optional<char32_t> c = codepage::decodeUtf8(text, i);
        if (!c) {
            out.push_back(text[i++]);
            continue;
        }
        codepage::appendUtf8(out, static_cast<char32_t>(u_tolower(static_cast<UChar32>(*c))));
    }
    return out;
}

bool isPartOfSpeech(std::string_view mark) {
    if (mark.ends_with('.'))
        mark.remove_suffix(1);
    return std::find(std::begin(kPartsOfSpeech), std::end(kPartsOfSpeech), mark) !=
           std::end(kPartsOfSpeech);
}

// A line's marker: the kind and, for a numbered sense, its number.
enum class TMarker { none, homonym, transcription, partNumber, sense, shade };

TMarker takeMarker(std::string_view& text, int& number) {
    text = skipBlanks(text);
    if (text.empty())
        return TMarker::none;
    if (text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos)
            return TMarker::none;
        text.remove_prefix(close + 1);
        return TMarker::transcription;
    }
    if (text[0] == '_') {
        size_t i = 1;
        while (i < text.size() && (text[i] == 'I' || text[i] == 'V' || text[i] == 'X'))
            ++i;
        if (i > 1 && (i == text.size() || !isMarkByte(text[i]) || text[i] == '.')) {
            text.remove_prefix(i);
            return TMarker::homonym;
        }
        return TMarker::none;
    }
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits > 0 && digits <= 2 && digits < text.size() &&
        (text[digits] == '.' || text[digits] == ')')) {
        number = std::stoi(std::string(text.substr(0, digits)));
        const bool sense = text[digits] == ')';
        text.remove_prefix(digits + 1);
        return sense ? TMarker::sense : TMarker::partNumber;
    }
    size_t i = 0;
    const std::optional<char32_t> c = codepage::decodeUtf8(text, i);
    if (c && ((*c >= 0x0430 && *c <= 0x044F) || *c == 0x0451) && i < text.size() &&
        text[i] == ')') {
        text.remove_prefix(i + 1);
        return TMarker::shade;
    }
    return TMarker::none;
}

// Whether the last clause of a sense's text is English: a phrase whose translations follow as
// shades.
bool endsWithPhrase(std::string_view text) {
    const std::string plain = withoutMarks(text);
    const std::vector<std::string_view> clauses = splitOutside(plain, ';');
    for (auto it = clauses.rbegin(); it != clauses.rend(); ++it) {
        if (!trimBlanks(*it).empty())
            return opensLatin(*it);
    }
    return false;
}

}  // namespace

void TMuellerReverse::add(std::string_view headword, std::string_view article) {
    std::string partOfSpeech;
    int number = 0;
    bool underPhrase = false;
    for (const std::string& line : muellerLines(headword, article)) {
        std::string_view text = line;
        bool shade = false;
        for (;;) {
            int n = 0;
            const TMarker marker = takeMarker(text, n);
            if (marker == TMarker::none)
                break;
            if (marker == TMarker::homonym || marker == TMarker::partNumber) {
                partOfSpeech.clear();
                number = 0;
            } else if (marker == TMarker::sense) {
                number = n;
            } else if (marker == TMarker::shade) {
                shade = true;
            }
        }
        // The marks that open the text name its part of speech.
        for (;;) {
            text = skipBlanks(text);
            const size_t mark = markLength(text);
            if (mark == 0 || !isPartOfSpeech(text.substr(1, mark - 1)))
                break;
            partOfSpeech = std::string(text.substr(1, mark - 1));
            text.remove_prefix(mark);
        }
        if (shade && underPhrase)
            continue;
        underPhrase = endsWithPhrase(text);
        if (trimBlanks(text).empty())
            continue;
        addSense(headword, partOfSpeech, number == 0 ? 1 : number, text);
    }
}

void TMuellerReverse::addSense(std::string_view headword, std::string_view partOfSpeech, int number,
                               std::string_view text) {
    std::string context;
    std::vector<std::string> terms;
    for (std::string_view clause : splitOutside(text, ';')) {
        const std::string plain = withoutMarks(clause);
        if (trimBlanks(plain).empty() || opensLatin(plain))
            continue;
        if (!context.empty())
            context.append("; ");
        context.append(trimBlanks(muellerLineText(trimBlanks(clause))));
        for (std::string_view item : splitOutside(plain, ',')) {
            std::string term = termOf(trimBlanks(item));
            if (!term.empty())
                terms.push_back(std::move(term));
        }
    }
    if (terms.empty())
        return;
    const size_t sense = senses_.size();
    senses_.push_back({std::string(trimBlanks(headword)), std::string(partOfSpeech), context});
    std::set<std::string> seen;
    for (size_t i = 0; i < terms.size(); ++i) {
        std::string key = lowered(terms[i]);
        if (!seen.insert(key).second)
            continue;
        TTerm& term = terms_[key];
        if (term.text.empty())
            term.text = terms[i];
        term.uses.push_back({sense, i == 0, number, order_++});
    }
}

void TMuellerReverse::forEach(
    const std::function<void(std::string_view, std::string_view)>& sink) const {
    std::string article;
    std::vector<TUse> uses;
    std::set<std::pair<std::string_view, std::string_view>> listed;
    for (const auto& [key, term] : terms_) {
        uses = term.uses;
        std::sort(uses.begin(), uses.end(), [this](const TUse& a, const TUse& b) {
            if (a.first != b.first)
                return a.first;
            if (a.number != b.number)
                return a.number < b.number;
            const size_t la = senses_[a.sense].headword.size();
            const size_t lb = senses_[b.sense].headword.size();
            if (la != lb)
                return la < lb;
            return a.order < b.order;
        });
        article.clear();
        listed.clear();
        for (const TUse& use : uses) {
            const TSense& s = senses_[use.sense];
            if (!listed.insert({s.headword, s.partOfSpeech}).second)
                continue;
            if (!article.empty())
                article.push_back('\n');
            article.append(s.headword);
            if (!s.partOfSpeech.empty())
                article.append(" (").append(s.partOfSpeech).append(")");
            article.append(": ").append(s.context);
        }
        sink(term.text, article);
    }
}
