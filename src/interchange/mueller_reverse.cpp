#include "interchange/mueller_reverse.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <optional>
#include <set>
#include <span>
#include <stdexcept>

#include "interchange/mueller_text.h"
#include "interchange/text_import.h"
#include "platform/codepage.h"

namespace {

// The marks that name a part of speech; any other mark is a label of usage or field.
constexpr std::string_view kPartsOfSpeech[] = {"n",      "v",     "a",    "adv",    "prep",
                                               "pron",   "cj",    "conj", "interj", "predic",
                                               "n-card", "n-ord", "pref", "num"};

constexpr size_t kMaxWords = 4;

// Marks of grammar, which say nothing of how common a sense is.
constexpr std::string_view kGrammarMarks[] = {
    "pl",     "sing",   "attr",  "p-p",   "pres-p", "p",     "refl",  "pass",     "comp",  "superl",
    "pers",   "poss",   "obj",   "subj",  "emph",   "rel",   "inter", "demonstr", "indef", "negat",
    "recipr", "predic", "собир", "употр", "тж",     "обыкн", "особ",  "гл",       "обр",   "мн",
    "ед",     "инф",    "pres",  "past",  "neg",    "cont",  "aux",   "impers",   "сокр"};

// Marks of style, of time and of region: a sense so marked is not the everyday word.
constexpr std::string_view kStyleMarks[] = {
    "разг",  "ам",    "уст",   "жарг",  "сл",      "поэт",  "шутл", "ирон",    "редк",  "шотл",
    "книж",  "книжн", "диал",  "груб",  "пренебр", "презр", "школ", "австрал", "ирл",   "стих",
    "унив",  "ритор", "вульг", "фам",   "детск",   "эвф",   "арх",  "неодобр", "бран",  "амер",
    "канад", "ист",   "миф",   "церк",  "библ",    "посл",  "фр",   "лат",     "греч",  "ит",
    "нем",   "исп",   "араб",  "инд",   "рус",     "сев",   "южн",  "англ",    "устар", "арго",
    "ласк",  "терр",  "сленг", "перен", "фольк",   "нар",   "прост"};

// Openings of a description rather than a translation: such an item is no term.
constexpr std::string_view kDescriptions[] = {
    "указывает", "выражает",      "означает",         "употребляется", "употр",
    "служит",    "передаётся",    "в сложных словах", "в знач",        "вводит",
    "образует",  "соответствует", "усиливает",        "присоединяет",  "местонахождение"};

// Words that open an item continuing the one before it (a relative clause, a contrast): when
// such an item is not the first of its clause and has more words, it is no term.
constexpr std::string_view kContinuations[] = {
    "где",     "куда",     "откуда",  "когда",   "который", "которая", "которое",
    "которые", "которого", "которой", "котором", "которым", "которых", "что",
    "чтобы",   "чем",      "чей",     "чья",     "чьё",     "чьи",     "а",
    "но",      "и",        "кто",     "каковой", "как"};

constexpr std::string_view kRelativeAfterPreposition[] = {"кому", "ком",  "кого", "чему", "чем",
                                                          "чём",  "чего", "чьей", "чьим"};

// A function word described by its kind ("соединительный союз и") is the word itself.
constexpr std::string_view kWordKinds[] = {"союз", "частица", "предлог", "местоимение",
                                           "междометие"};

bool isOneOf(std::string_view word, std::span<const std::string_view> words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

bool isPartOfSpeech(std::string_view mark);

// How much a mark (without its "_") lowers a sense: 0 for grammar and parts of speech, 2 for
// style, time or region, 1 for any other (a field: тех., мед., бот. …).
int markWeight(std::string_view mark) {
    while (mark.ends_with('.'))
        mark.remove_suffix(1);
    if (mark.empty() || isPartOfSpeech(mark) || isOneOf(mark, kGrammarMarks))
        return 0;
    return isOneOf(mark, kStyleMarks) ? 2 : 1;
}

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

// Whether the first letter of the text outside parentheses is Latin: an English example, or a
// reference. A note in parentheses before the translation ("(wrote, written) писать") is passed
// over, as the term leaves it out.
bool opensLatin(std::string_view text) {
    int depth = 0;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '(' || text[i] == '{' || ((text[i] == ')' || text[i] == '}') && depth > 0)) {
            depth += text[i] == '(' || text[i] == '{' ? 1 : -1;
            ++i;
            continue;
        }
        if (depth > 0) {
            ++i;
            continue;
        }
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
    for (std::string_view etc : {" и т.п", " и т. п", " и т.д", " и т. д", " и пр"}) {
        if (out.ends_with(etc)) {
            out.resize(out.size() - etc.size());
            trimEnd();
        }
    }
    // A term quoted whole is the term; a quote left open at either end (the other one stands
    // in the item before or after) is no part of it.
    if (out.size() > 2 && out.front() == '"' && out.back() == '"' &&
        out.find('"', 1) == out.size() - 1)
        out = out.substr(1, out.size() - 2);
    if (std::count(out.begin(), out.end(), '"') % 2 != 0) {
        if (!out.empty() && out.front() == '"')
            out.erase(0, 1);
        else if (!out.empty() && out.back() == '"')
            out.pop_back();
        if (std::count(out.begin(), out.end(), '"') % 2 != 0)
            return {};
    }
    for (std::string_view description : kDescriptions) {
        if (out.starts_with(description))
            return {};
    }
    // "соединительный союз и", "союз и": the word the description names.
    for (std::string_view kind : kWordKinds) {
        const std::string middle = " " + std::string(kind) + " ";
        const size_t at = out.starts_with(middle.substr(1)) ? 0 : out.find(middle);
        if (at != std::string::npos && (at == 0 || out.find(' ') == at)) {
            out.erase(0, at == 0 ? middle.size() - 1 : at + middle.size());
            break;
        }
    }
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

bool holdsLatin(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const std::optional<char32_t> c = codepage::decodeUtf8(text, i);
        if (!c)
            ++i;
        else if (isLatin(*c))
            return true;
    }
    return false;
}

// How much the labels of a text lower it (see markWeight): its marks, and the labels of style
// written in a note without "_" ("(обыкн. шутл.)").
int labelWeight(std::string_view text) {
    int weight = 0;
    int depth = 0;
    for (size_t i = 0; i < text.size();) {
        // A note that names English words ("(тж. _ам. given name)") labels those words, not
        // the translation: it is passed over whole.
        if (depth == 0 && (text[i] == '(' || text[i] == '{')) {
            const size_t close = text.find(text[i] == '(' ? ')' : '}', i);
            if (close != std::string_view::npos &&
                holdsLatin(withoutMarks(text.substr(i + 1, close - i - 1)))) {
                i = close + 1;
                continue;
            }
        }
        if (const size_t mark = markLength(text.substr(i))) {
            weight = std::max(weight, markWeight(text.substr(i + 1, mark - 1)));
            i += mark;
            continue;
        }
        const char c = text[i];
        if (c == '(' || c == '{')
            ++depth;
        else if ((c == ')' || c == '}') && depth > 0)
            --depth;
        if (depth > 0 && static_cast<unsigned char>(c) >= 0x80 &&
            (i == 0 || text[i - 1] == ' ' || text[i - 1] == '(' || text[i - 1] == ',')) {
            size_t end = i;
            while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80)
                ++end;
            if (end < text.size() && text[end] == '.' &&
                isOneOf(text.substr(i, end - i), kStyleMarks))
                weight = std::max(weight, 2);
            i = end;
            continue;
        }
        ++i;
    }
    return weight;
}

// The labels that open a text, before its first word outside parentheses: they hold for all
// of it ("_ам. _разг. гусеничный трактор", "_n. (_сокр. от …) _ам.").
int leadingWeight(std::string_view text) {
    size_t end = 0;
    int depth = 0;
    while (end < text.size()) {
        const char c = text[end];
        if (const size_t mark = depth == 0 ? markLength(text.substr(end)) : 0) {
            end += mark;
        } else if (c == '(' || c == '{') {
            ++depth;
            ++end;
        } else if ((c == ')' || c == '}') && depth > 0) {
            --depth;
            ++end;
        } else if (depth > 0 || c == ' ' || c == '\t') {
            ++end;
        } else {
            break;
        }
    }
    return labelWeight(text.substr(0, end));
}

// The text without its transcriptions and the note that names the form each one is of
// ("[ðæt] (полная форма);"): they belong to the headword, not to a meaning.
std::string withoutTranscriptions(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '[') {
            const size_t close = text.find(']', i);
            if (close != std::string_view::npos) {
                i = close + 1;
                std::string_view rest = skipBlanks(text.substr(i));
                if (rest.starts_with('(')) {
                    const size_t end = rest.find(')');
                    if (end != std::string_view::npos)
                        i = text.size() - rest.size() + end + 1;
                }
                continue;
            }
        }
        if (text[i] == ' ' && (out.empty() || out.back() == ' ')) {
            ++i;
            continue;
        }
        out.push_back(text[i++]);
    }
    return std::string(trimBlanks(out));
}

// Where a colon outside parentheses opens English examples in the clause, or npos.
size_t colonBeforeExample(std::string_view clause) {
    int depth = 0;
    for (size_t i = 0; i < clause.size(); ++i) {
        const char c = clause[i];
        // The colon of a long vowel inside a transcription ("[ɛks↗pɘ:t]") opens nothing.
        if (c == '(' || c == '{' || c == '[')
            ++depth;
        else if ((c == ')' || c == '}' || c == ']') && depth > 0)
            --depth;
        else if (c == ':' && depth == 0 && opensLatin(withoutMarks(clause.substr(i + 1))))
            return i;
    }
    return std::string_view::npos;
}

// Whether a term only continues the item before it: a relative clause or a contrast of more
// than one word ("застава, где взимается сбор", "не в поле, а во дворце").
bool continuesItemBefore(std::string_view term) {
    const size_t blank = term.find(' ');
    if (blank == std::string_view::npos)
        return false;
    if (isOneOf(term.substr(0, blank), kContinuations))
        return true;
    // A relative clause after a preposition: "здание, в котором …", "тому, к кому …".
    std::string_view second = term.substr(blank + 1);
    second = second.substr(0, second.find(' '));
    return second.starts_with("котор") || isOneOf(second, kRelativeAfterPreposition);
}

// The first line of text (without its line feed), taken off text.
std::string_view takeLine(std::string_view& text) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return line;
}

std::string frequencyKey(std::string_view word, char type) {
    std::string key = lowered(trimBlanks(word));
    std::replace(key.begin(), key.end(), ' ', '_');
    key.push_back('#');
    key.push_back(type);
    return key;
}

// WordNet's type of synset for a part of speech, '0' where it has none.
char wordnetType(std::string_view partOfSpeech) {
    if (partOfSpeech.ends_with('.'))
        partOfSpeech.remove_suffix(1);
    if (partOfSpeech == "n")
        return '1';
    if (partOfSpeech == "v")
        return '2';
    if (partOfSpeech == "a")
        return '3';
    if (partOfSpeech == "adv")
        return '4';
    return '0';
}

}  // namespace

void TMuellerReverse::add(std::string_view headword, std::string_view article) {
    std::string partOfSpeech;
    int number = 0;
    bool underPhrase = false;
    // The labels that hold for the homonym, its part of speech and its sense.
    int homonymWeight = 0, partWeight = 0, senseWeight = 0;
    for (const std::string& line : muellerLines(headword, article)) {
        std::string_view text = line;
        bool shade = false;
        // The widest scope the line opens: what its own labels hold for.
        enum { none, sense, part, homonym } scope = none;
        bool transcriptionOnly = false;
        for (;;) {
            int n = 0;
            const TMarker marker = takeMarker(text, n);
            if (marker == TMarker::none)
                break;
            if (marker == TMarker::homonym) {
                partOfSpeech.clear();
                number = 0;
                homonymWeight = partWeight = senseWeight = 0;
                scope = homonym;
            } else if (marker == TMarker::partNumber) {
                partOfSpeech.clear();
                number = 0;
                partWeight = senseWeight = 0;
                scope = std::max(scope, part);
            } else if (marker == TMarker::sense) {
                number = n;
                senseWeight = 0;
                scope = std::max(scope, sense);
            } else if (marker == TMarker::shade) {
                shade = true;
            } else if (scope == none) {
                transcriptionOnly = true;
            }
        }
        // Further transcriptions of the headword and the forms they name ("(полная форма);
        // [ðɜt] (редуцированная форма)") belong to the headword's line, not to a meaning.
        for (;;) {
            text = skipBlanks(text);
            size_t end = 0;
            if (text.starts_with(';') || text.starts_with(','))
                end = 1;
            else if (text.starts_with('[') ||
                     (text.starts_with('(') &&
                      text.substr(0, text.find(')')).find("форм") != std::string_view::npos))
                end = text.find(text[0] == '[' ? ']' : ')') + 1;
            if (end == 0 || end == std::string_view::npos + 1)
                break;
            text.remove_prefix(end);
        }
        // The labels that open the text hold for everything under the line's marker (a line
        // of the transcription alone opens the article).
        const int opening = leadingWeight(skipBlanks(text));
        if (scope == homonym || (scope == none && transcriptionOnly))
            homonymWeight = opening;
        else if (scope == part)
            partWeight = opening;
        else if (scope == sense)
            senseWeight = opening;
        const int weight = std::max({homonymWeight, partWeight, senseWeight, shade ? opening : 0});
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
        addSense(headword, partOfSpeech, number == 0 ? 1 : number, weight, text);
    }
}

void TMuellerReverse::addSense(std::string_view headword, std::string_view partOfSpeech, int number,
                               int weight, std::string_view text) {
    std::string context;
    struct TFound {
        std::string term;
        int weight;
    };
    std::vector<TFound> found;
    for (std::string_view clause : splitOutside(text, ';')) {
        std::string plain = withoutMarks(clause);
        if (trimBlanks(plain).empty())
            continue;
        // An English example: it and the clauses after it (its translations) are no terms.
        if (opensLatin(plain))
            break;
        // A description whose examples follow a colon ("служит для усиления: once you …"):
        // the examples and what comes after them are no terms.
        const size_t colon = colonBeforeExample(clause);
        const bool examplesFollow = colon != std::string_view::npos;
        if (examplesFollow) {
            clause = clause.substr(0, colon);
            plain = withoutMarks(clause);
        }
        std::string shown = withoutTranscriptions(muellerLineText(trimBlanks(clause)));
        // A comma the source left at the sense's end ("красивый, прекрасный,") closes nothing.
        while (shown.ends_with(',') || shown.ends_with(' '))
            shown.pop_back();
        if (shown.empty()) {
            if (examplesFollow)
                break;
            continue;
        }
        if (!context.empty())
            context.append("; ");
        context.append(shown);
        const int clauseWeight = std::max(weight, labelWeight(clause));
        bool first = true;
        for (std::string_view item : splitOutside(plain, ',')) {
            std::string term = termOf(trimBlanks(item));
            if (term.empty() || (!first && continuesItemBefore(term)))
                continue;
            first = false;
            found.push_back({std::move(term), clauseWeight});
        }
        if (examplesFollow)
            break;
    }
    if (found.empty())
        return;
    const size_t index = senses_.size();
    senses_.push_back({spelled(trimBlanks(headword)), std::string(partOfSpeech), context});
    for (size_t i = 0; i < found.size(); ++i)
        addUse(found[i].term, index, found[i].weight, number, i);
}

void TMuellerReverse::addUse(const std::string& text, size_t sense, int weight, int number,
                             size_t position) {
    TTerm& term = terms_[lowered(text)];
    if (term.text.empty())
        term.text = text;
    // A term twice in one sense keeps its first place.
    if (!term.uses.empty() && term.uses.back().sense == sense)
        return;
    term.uses.push_back({sense, weight, number, position, order_++, 0});
}

size_t TMuellerReverse::setFrequencies(std::string_view cntlist) {
    size_t lines = 0;
    while (!cntlist.empty()) {
        const std::string_view line = takeLine(cntlist);
        // "lemma%type:…" then the sense's number and its count.
        const size_t percent = line.find('%');
        const size_t last = line.rfind(' ');
        if (percent == std::string_view::npos || percent == 0 || percent + 1 >= line.size() ||
            last == std::string_view::npos)
            continue;
        char type = line[percent + 1];
        if (type == '5')
            type = '3';
        if (type < '1' || type > '4')
            continue;
        const std::string_view count = trimBlanks(line.substr(last + 1));
        double value = 0;
        bool digits = !count.empty();
        for (char c : count) {
            digits = digits && c >= '0' && c <= '9';
            value = value * 10 + (c - '0');
        }
        if (!digits)
            continue;
        const std::string_view lemma = line.substr(0, percent);
        frequencies_[frequencyKey(lemma, type)] += value;
        frequencies_[frequencyKey(lemma, '0')] += value;
        ++lines;
    }
    return lines;
}

size_t TMuellerReverse::addSupplement(std::string_view table) {
    size_t rows = 0;
    size_t lineNumber = 0;
    while (!table.empty()) {
        std::string_view line = takeLine(table);
        ++lineNumber;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (trimBlanks(line).empty() || trimBlanks(line).starts_with('#'))
            continue;
        std::vector<std::string_view> fields;
        for (size_t start = 0;;) {
            const size_t tab = line.find('\t', start);
            fields.push_back(trimBlanks(line.substr(start, tab - start)));
            if (tab == std::string_view::npos)
                break;
            start = tab + 1;
        }
        if (fields.size() < 3 || fields[0].empty() || fields[1].empty())
            throw std::invalid_argument("строка " + std::to_string(lineNumber) +
                                        ": нужны русское слово, английское и часть речи через "
                                        "табуляцию");
        std::string context(fields[0]);
        if (fields.size() > 3 && !fields[3].empty())
            context.append("; ").append(fields[3]);
        const size_t index = senses_.size();
        senses_.push_back({std::string(fields[1]), std::string(fields[2]), context});
        // The rows of one term keep the table's order.
        addUse(std::string(fields[0]), index, -1, 0, rows);
        ++rows;
    }
    return rows;
}

size_t TMuellerReverse::addLemmas(std::string_view index) {
    size_t words = 0;
    while (!index.empty()) {
        const std::string_view line = takeLine(index);
        // The licence opens the file with indented lines.
        if (line.empty() || line[0] == ' ')
            continue;
        const std::string lemma(line.substr(0, line.find(' ')));
        lemmas_.insert(lemma);
        if (lemma.find_first_of("_-") != std::string::npos) {
            std::string glued = lemma;
            std::erase_if(glued, [](char c) { return c == '_' || c == '-'; });
            compounds_.emplace(std::move(glued), lemma);
        }
        ++words;
    }
    return words;
}

std::string TMuellerReverse::spelled(std::string_view headword) const {
    if (compounds_.empty() || headword.find_first_of(" -") != std::string_view::npos)
        return std::string(headword);
    const std::string key = lowered(headword);
    if (lemmas_.contains(key))
        return std::string(headword);
    const auto found = compounds_.find(key);
    if (found == compounds_.end())
        return std::string(headword);
    // WordNet's joints ("_" a blank, "-" a hyphen) between the headword's own letters.
    std::string out;
    size_t at = 0;
    for (char c : found->second) {
        if (c == '_' || c == '-') {
            out.push_back(c == '_' ? ' ' : '-');
        } else if (at < headword.size()) {
            out.push_back(headword[at++]);
        }
    }
    // Letters whose small form is written longer or shorter do not line up: kept as written.
    return at == headword.size() ? out : std::string(headword);
}

double TMuellerReverse::frequencyOf(const TSense& sense) const {
    const auto found =
        frequencies_.find(frequencyKey(sense.headword, wordnetType(sense.partOfSpeech)));
    return found == frequencies_.end() ? 0 : found->second;
}

void TMuellerReverse::forEach(
    const std::function<void(std::string_view, std::string_view)>& sink) const {
    std::string article;
    std::vector<TUse> uses;
    std::set<std::string_view> listed;
    for (const auto& [key, term] : terms_) {
        uses = term.uses;
        // A common word where the term comes late in its sense (work: "работа; труд;
        // занятие; дело") gives way to a less common one that it opens (business: "дело").
        for (TUse& use : uses) {
            const double later = 1.0 + static_cast<double>(use.position);
            const double number = std::max(1, use.number);
            use.rank = use.weight < 0 ? 0
                                      : frequencyOf(senses_[use.sense]) /
                                            (later * later * later * number * number);
        }
        std::sort(uses.begin(), uses.end(), [this](const TUse& a, const TUse& b) {
            if (a.weight != b.weight)
                return a.weight < b.weight;
            if (a.rank != b.rank)
                return a.rank > b.rank;
            if (a.number != b.number)
                return a.number < b.number;
            if (a.position != b.position)
                return a.position < b.position;
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
            if (!listed.insert(s.headword).second)
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
