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

// Upper-cased with Ё as Е: the key under which the table of our own is kept and asked.
std::string tableKey(std::string_view cp1251) {
    std::string key = upcase::text(cp1251);
    for (char& c : key) {
        if (static_cast<unsigned char>(c) == kYoUpper)
            c = static_cast<char>(kYeUpper);
    }
    return key;
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
    std::string plain(cp1251);
    bool hadYo = false;
    for (char& c : plain) {
        const auto b = static_cast<unsigned char>(c);
        if (b == kYo || b == kYoUpper) {
            c = static_cast<char>(b == kYo ? kYe : kYeUpper);
            hadYo = true;
        }
    }
    if (hadYo)
        out.push_back(plain);
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
    // A dictionary may spell a form with е where the morphology writes ё.
    const size_t found = forms.size();
    for (size_t i = 0; i < found; ++i) {
        std::vector<std::string> variants = yoVariants(forms[i]);
        if (!variants.empty() && forms[i] != variants.front() &&
            forms[i].find(static_cast<char>(kYo)) != std::string::npos)
            forms.push_back(variants.front());
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
