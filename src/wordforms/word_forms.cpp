#include "wordforms/word_forms.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <unordered_map>

#include "platform/codepage.h"
#include "platform/upcase.h"
#include "wordforms/speller.h"

namespace {

// data/wordforms/ru_forms.tab, built in as its UTF-8 text (kRuFormsTable).
#include "ru_forms_table.inc"

constexpr unsigned char kYo = 0xB8, kYoUpper = 0xA8, kYe = 0xE5, kYeUpper = 0xC5;

// Longer text is no word a reader looks up (a selection is cut at 256 characters): it has no
// variants and no forms, so a pasted page costs one exact look-up and not one per letter е.
constexpr size_t kLongestWord = 256;

// What each language's forms are made from. Adding a language: its Hunspell dictionary's name
// here (and its package to the dependencies), and, when its alphabet is new, a test in
// languageOf; the code page holds only Latin and Cyrillic letters.
struct TLanguageSource {
    TLanguage language;
    const char* hunspell;       // NAME of NAME.aff and NAME.dic in the Hunspell folder
    bool wordnetExceptions;     // English irregular forms from WordNet's *.exc
    std::string_view ownTable;  // "form lemma…" lines, UTF-8
};

const TLanguageSource kSources[] = {
    {TLanguage::Russian, "ru_RU", false, kRuFormsTable},
    {TLanguage::English, "en_US", true, {}},
};

bool isLatin(unsigned char b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

bool isCyrillic(unsigned char b) {
    return b >= 0xC0 || b == kYo || b == kYoUpper;
}

// Letters of the code page: the bytes that change when upper-cased, and what they change to.
const std::array<bool, 256>& letterTable() {
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const unsigned char up = upcase::byte(static_cast<unsigned char>(b));
            if (up != b) {
                t[static_cast<size_t>(b)] = true;
                t[up] = true;
            }
        }
        return t;
    }();
    return table;
}

bool isWordByte(unsigned char b) {
    return letterTable()[b] || (b >= '0' && b <= '9');
}

bool isBlank(unsigned char b) {
    return b == ' ' || b == '\t' || b == '\n' || b == '\r' || b == '\f' || b == '\v' || b == 0xA0;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// Every ё (Ё) of the text written as е (Е).
std::string yoAsYe(std::string_view cp1251) {
    std::string out(cp1251);
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b == kYo || b == kYoUpper)
            c = static_cast<char>(b == kYo ? kYe : kYeUpper);
    }
    return out;
}

// Upper-cased with Ё as Е: the key under which the table of our own is kept and asked.
std::string tableKey(std::string_view cp1251) {
    return yoAsYe(upcase::text(cp1251));
}

using TFormTable = std::unordered_map<std::string, std::vector<std::string>>;

// Reads "form lemma lemma…" lines into table, keyed by key(form); '#' starts a comment, '_'
// in a word stands for a space. Words the code page cannot hold are skipped.
template <typename Key>
void readFormLines(std::istream& in, bool utf8, TFormTable& table, Key key) {
    std::string line;
    while (std::getline(in, line)) {
        if (const size_t hash = line.find('#'); hash != std::string::npos)
            line.resize(hash);
        std::vector<std::string> words;
        size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && isBlank(static_cast<unsigned char>(line[i])))
                ++i;
            size_t end = i;
            while (end < line.size() && !isBlank(static_cast<unsigned char>(line[end])))
                ++end;
            if (end > i) {
                std::string word = line.substr(i, end - i);
                std::replace(word.begin(), word.end(), '_', ' ');
                std::optional<std::string> held =
                    utf8 ? codepage::fromUtf8(word) : std::optional<std::string>(word);
                if (!held) {
                    words.clear();
                    break;
                }
                words.push_back(std::move(*held));
            }
            i = end;
        }
        if (words.size() < 2)
            continue;
        std::vector<std::string>& lemmas = table[key(words[0])];
        lemmas.insert(lemmas.end(), words.begin() + 1, words.end());
    }
}

// Lower-cased Cyrillic letters of the code page (Latin and other bytes stay): Hunspell's stems
// are compared and cut by their endings in lower case.
std::string cyrillicLower(std::string_view cp1251) {
    std::string out(cp1251);
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0xC0 && b <= 0xDF)
            c = static_cast<char>(b + 0x20);
        else if (b == kYoUpper)
            c = static_cast<char>(kYo);
    }
    return out;
}

std::string cp1251Of(const char* utf8) {
    return codepage::fromUtf8(utf8).value_or(std::string());
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// How a Russian participle's ending turns back into its verb's infinitive: the ending and the
// infinitive endings to try in its place, likeliest first. Hunspell gives a participle's
// nominative (masculine, singular) as its stem: «указана» → указанный, «используемых» →
// используемый. Which infinitive ending a verb takes is not told by its participle alone, so
// each candidate is kept only when Hunspell knows it as a word.
struct TParticipleRule {
    std::string ending;
    std::vector<std::string> infinitives;
};

const std::vector<TParticipleRule>& participleRules() {
    static const std::vector<TParticipleRule> rules = [] {
        const std::vector<std::pair<const char*, std::vector<const char*>>> utf8 = {
            // present passive: используемый, принимаемый, изменяемый, видимый, хранимый
            {"уемый", {"овать", "евать"}},
            {"аемый", {"ать"}},
            {"яемый", {"ять"}},
            {"еемый", {"еть"}},
            {"имый", {"ить", "еть", "ать"}},
            // present active: использующий, оканчивающий, идущий, говорящий, лежащий
            {"ующий", {"овать", "евать"}},
            {"ающий", {"ать"}},
            {"яющий", {"ять"}},
            {"еющий", {"еть"}},
            {"ущий", {"ать", "ти", "ть"}},
            {"ящий", {"ить", "еть", "ать", "ять"}},
            {"ащий", {"ать", "ить"}},
            // past active: использовавший, завершивший
            {"вший", {"ть"}},
            // past passive: указанный, потерянный, открытый, взятый
            {"анный", {"ать"}},
            {"янный", {"ять"}},
            {"тый", {"ть"}},
        };
        std::vector<TParticipleRule> out;
        for (const auto& [ending, infinitives] : utf8) {
            TParticipleRule rule{cp1251Of(ending), {}};
            for (const char* infinitive : infinitives)
                rule.infinitives.push_back(cp1251Of(infinitive));
            out.push_back(std::move(rule));
        }
        return out;
    }();
    return rules;
}

// Infinitives a past passive participle in -енный/-ённый may come from: the stem before the
// ending takes -ить or -еть, after undoing the consonant change the participle made
// (помеченный → пометить, заряженный → зарядить, упрощённый → упростить, брошенный →
// бросить, установленный → установить), or -сти/-ти/-ь for the verbs in -сти, -ти, -чь
// (приведённый → привести, принесённый → принести, испечённый → испечь).
void enParticipleVerbs(const std::string& base, std::vector<std::string>& out) {
    static const std::vector<std::pair<std::string, std::vector<std::string>>> changes = [] {
        const std::vector<std::pair<const char*, std::vector<const char*>>> utf8 = {
            {"жд", {"д"}},     {"ж", {"з", "д"}}, {"ч", {"т", "к"}}, {"щ", {"ст", "т"}},
            {"ш", {"с", "х"}}, {"бл", {"б"}},     {"вл", {"в"}},     {"пл", {"п"}},
            {"мл", {"м"}},     {"фл", {"ф"}},
        };
        std::vector<std::pair<std::string, std::vector<std::string>>> result;
        for (const auto& [from, tos] : utf8) {
            std::vector<std::string> to;
            for (const char* t : tos)
                to.push_back(cp1251Of(t));
            result.emplace_back(cp1251Of(from), std::move(to));
        }
        return result;
    }();
    static const std::string it = cp1251Of("ить"), et = cp1251Of("еть"), sti = cp1251Of("сти"),
                             ti = cp1251Of("ти"), soft = cp1251Of("ь"), d = cp1251Of("д"),
                             t = cp1251Of("т"), s = cp1251Of("с"), ch = cp1251Of("ч");
    out.push_back(base + it);
    out.push_back(base + et);
    for (const auto& [from, tos] : changes) {
        if (endsWith(base, from)) {
            for (const std::string& to : tos)
                out.push_back(base.substr(0, base.size() - from.size()) + to + it);
            break;
        }
    }
    if (endsWith(base, d) || endsWith(base, t))
        out.push_back(base.substr(0, base.size() - 1) + sti);
    if (endsWith(base, s))
        out.push_back(base + ti);
    if (endsWith(base, ch))
        out.push_back(base + soft);
}

// The infinitives a participle's nominative (lower case) may come from, not yet checked.
std::vector<std::string> participleVerbs(const std::string& participle) {
    std::vector<std::string> out;
    static const std::string en = cp1251Of("енный"), yon = cp1251Of("ённый");
    for (const std::string* ending : {&en, &yon}) {
        if (endsWith(participle, *ending) && participle.size() > ending->size() + 1)
            enParticipleVerbs(participle.substr(0, participle.size() - ending->size()), out);
    }
    for (const TParticipleRule& rule : participleRules()) {
        if (!endsWith(participle, rule.ending) || participle.size() <= rule.ending.size() + 1)
            continue;
        const std::string base = participle.substr(0, participle.size() - rule.ending.size());
        for (const std::string& infinitive : rule.infinitives)
            out.push_back(base + infinitive);
    }
    return out;
}

// Dictionary forms a Russian dictionary may hold instead of the Hunspell stem (lower case):
// the verb without its reflexive particle (допускаться → допускать), and the verb a
// participle comes from (указанный → указать; оканчивающийся → оканчиваться, оканчивать).
// Only words the speller accepts are given, so no guessed non-word is ever looked up.
void derivedRussianForms(const std::string& stem, const TSpeller& speller,
                         std::vector<std::string>& out) {
    static const std::string sya = cp1251Of("ся"), s = cp1251Of("сь"), ti = cp1251Of("ти"),
                             short_i = cp1251Of("й");
    const auto keep = [&](const std::string& word) {
        if (word != stem && speller.accepts(word))
            out.push_back(word);
    };
    const bool reflexive = endsWith(stem, sya) || endsWith(stem, s);
    if (!reflexive) {
        for (const std::string& verb : participleVerbs(stem))
            keep(verb);
        return;
    }
    if (stem.size() < 5)
        return;
    const std::string base = stem.substr(0, stem.size() - 2);
    const auto reflexiveOf = [&](const std::string& verb) {
        return verb + (endsWith(verb, ti) ? s : sya);
    };
    if (!endsWith(base, short_i)) {
        // An infinitive loses its particle (допускаться → допускать); a finite form Hunspell
        // lists as a word of its own («создаются») leads to its infinitives through the form
        // without the particle (создают → создавать, and создаваться before it).
        if (!speller.accepts(base))
            return;
        const std::vector<std::string> stems = speller.stems(base);
        if (stems.empty())
            keep(base);
        for (const std::string& found : stems) {
            const std::string verb = cyrillicLower(found);
            if (verb != base)
                keep(reflexiveOf(verb));
            keep(verb);
        }
        return;
    }
    // A reflexive participle: its reflexive verb first, then the verb without the particle.
    for (const std::string& verb : participleVerbs(base)) {
        keep(reflexiveOf(verb));
        keep(verb);
    }
}

}  // namespace

TLanguage languageOf(std::string_view cp1251) {
    for (char c : cp1251) {
        const auto b = static_cast<unsigned char>(c);
        if (isLatin(b))
            return TLanguage::English;
        if (isCyrillic(b))
            return TLanguage::Russian;
    }
    return TLanguage::None;
}

std::vector<std::string> yoVariants(std::string_view cp1251) {
    std::vector<std::string> out;
    if (cp1251.size() > kLongestWord)
        return out;
    if (std::string plain = yoAsYe(cp1251); plain != cp1251)
        out.push_back(std::move(plain));
    for (size_t i = 0; i < cp1251.size(); ++i) {
        const auto b = static_cast<unsigned char>(cp1251[i]);
        if (b == kYe || b == kYeUpper) {
            std::string variant(cp1251);
            variant[i] = static_cast<char>(b == kYe ? kYo : kYoUpper);
            out.push_back(std::move(variant));
        }
    }
    return out;
}

std::string cleanSelection(std::string_view cp1251) {
    // Line-end hyphenation joined first, so "сло-\n  во" is one word before blanks fold.
    std::string joined;
    for (size_t i = 0; i < cp1251.size(); ++i) {
        const auto b = static_cast<unsigned char>(cp1251[i]);
        if (b == 0xAD)  // a soft hyphen only marks where a word may break
            continue;
        if (b == '-' && i > 0 && isWordByte(static_cast<unsigned char>(cp1251[i - 1]))) {
            size_t j = i + 1;
            while (j < cp1251.size() && (cp1251[j] == ' ' || cp1251[j] == '\t'))
                ++j;
            if (j < cp1251.size() && (cp1251[j] == '\n' || cp1251[j] == '\r')) {
                j += (cp1251[j] == '\r' && j + 1 < cp1251.size() && cp1251[j + 1] == '\n') ? 2 : 1;
                while (j < cp1251.size() && isBlank(static_cast<unsigned char>(cp1251[j])))
                    ++j;
                if (j < cp1251.size() && isWordByte(static_cast<unsigned char>(cp1251[j]))) {
                    i = j - 1;
                    continue;
                }
            }
        }
        joined.push_back(static_cast<char>(b));
    }
    std::string spaced;
    for (char c : joined) {
        if (isBlank(static_cast<unsigned char>(c))) {
            if (!spaced.empty() && spaced.back() != ' ')
                spaced.push_back(' ');
        } else {
            spaced.push_back(c);
        }
    }
    size_t begin = 0, end = spaced.size();
    while (begin < end && !isWordByte(static_cast<unsigned char>(spaced[begin])))
        ++begin;
    while (end > begin && !isWordByte(static_cast<unsigned char>(spaced[end - 1])))
        --end;
    return spaced.substr(begin, end - begin);
}

struct TWordForms::TLanguageData {
    std::unique_ptr<TSpeller> speller;
    TFormTable own;         // keyed by tableKey
    TFormTable exceptions;  // keyed by asciiLower
};

TWordForms::TWordForms(TMorphologyFolders folders) : folders_(std::move(folders)) {}

TWordForms::~TWordForms() = default;

TWordForms::TLanguageData& TWordForms::data(TLanguage language) {
    std::unique_ptr<TLanguageData>& slot = loaded_[language];
    if (slot)
        return *slot;
    slot = std::make_unique<TLanguageData>();
    for (const TLanguageSource& source : kSources) {
        if (source.language != language)
            continue;
        slot->speller = std::make_unique<TSpeller>(folders_.hunspell, source.hunspell);
        if (!source.ownTable.empty()) {
            std::istringstream in{std::string(source.ownTable)};
            readFormLines(in, true, slot->own, tableKey);
        }
        if (source.wordnetExceptions) {
            for (const char* part : {"noun", "verb", "adj", "adv"}) {
                std::ifstream in(folders_.wordnet + "/" + part + ".exc");
                readFormLines(in, false, slot->exceptions, asciiLower);
            }
        }
    }
    return *slot;
}

std::vector<std::string> TWordForms::formsOfWord(std::string_view word) {
    std::vector<std::string> forms;
    const TLanguage language = languageOf(word);
    if (language == TLanguage::None || word.size() > kLongestWord)
        return forms;
    TLanguageData& d = data(language);
    const auto addAll = [&](const std::vector<std::string>& list) {
        forms.insert(forms.end(), list.begin(), list.end());
    };
    if (auto it = d.own.find(tableKey(word)); it != d.own.end())
        addAll(it->second);
    if (d.speller && d.speller->valid()) {
        addAll(d.speller->stems(word));
        for (const std::string& variant : yoVariants(word))
            addAll(d.speller->stems(variant));
    }
    if (auto it = d.exceptions.find(asciiLower(word)); it != d.exceptions.end())
        addAll(it->second);
    // After every stem, what Russian stems lead to: the verb behind a reflexive form or a
    // participle, for dictionaries that list only the verb.
    if (language == TLanguage::Russian && d.speller && d.speller->valid()) {
        const size_t stems = forms.size();
        for (size_t i = 0; i < stems; ++i)
            derivedRussianForms(cyrillicLower(forms[i]), *d.speller, forms);
    }
    // A dictionary may spell a form with е where the morphology writes ё.
    const size_t found = forms.size();
    for (size_t i = 0; i < found; ++i) {
        if (forms[i].find(static_cast<char>(kYo)) != std::string::npos)
            forms.push_back(yoAsYe(forms[i]));
    }
    return forms;
}

std::vector<TFormCandidate> TWordForms::candidates(std::string_view word) {
    std::vector<TFormCandidate> out;
    std::set<std::string> seen;
    const auto add = [&](std::string text, TFormKind kind) {
        if (text.empty() || !seen.insert(upcase::text(text)).second)
            return;
        out.push_back({std::move(text), kind});
    };
    add(std::string(word), TFormKind::AsWritten);
    for (std::string& variant : yoVariants(word))
        add(std::move(variant), TFormKind::YoVariant);
    const size_t space = word.find(' ');
    const std::string_view first = word.substr(0, space);
    const std::string_view rest = space == std::string_view::npos ? "" : word.substr(space);
    for (const std::string& form : formsOfWord(first))
        add(form + std::string(rest), TFormKind::Form);
    return out;
}

std::vector<std::string> TWordForms::spellingSuggestions(std::string_view word) {
    const TLanguage language = languageOf(word);
    if (language == TLanguage::None || word.size() > kLongestWord)
        return {};
    TLanguageData& d = data(language);
    return d.speller && d.speller->valid() ? d.speller->suggestions(word)
                                           : std::vector<std::string>{};
}

TFormMatch findThroughForms(TWordForms& forms, std::string_view word,
                            const std::function<bool(std::string_view)>& isTerm) {
    // The word and its ё/е variants are asked before the morphology is touched, so a word that
    // answers as written never loads it.
    if (isTerm(word))
        return {true, {std::string(word), TFormKind::AsWritten}};
    std::set<std::string> asked{upcase::text(word)};
    for (std::string& variant : yoVariants(word)) {
        if (asked.insert(upcase::text(variant)).second && isTerm(variant))
            return {true, {std::move(variant), TFormKind::YoVariant}};
    }
    for (TFormCandidate& candidate : forms.candidates(word)) {
        if (candidate.kind == TFormKind::Form && isTerm(candidate.text))
            return {true, std::move(candidate)};
    }
    return {};
}

TDictionaryMatch findInDictionaries(TWordForms& forms, std::string_view word,
                                    const std::vector<int>& order,
                                    const std::function<bool(int, std::string_view)>& isTerm) {
    int answered = -1;
    const TFormMatch match = findThroughForms(forms, word, [&](std::string_view text) {
        for (int dictionary : order) {
            if (isTerm(dictionary, text)) {
                answered = dictionary;
                return true;
            }
        }
        return false;
    });
    if (!match.found)
        return {};
    return {answered, match.candidate};
}
