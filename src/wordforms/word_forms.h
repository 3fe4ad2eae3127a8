#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Dictionary forms of a word as a reader meets it: «кошки» → кошка, "went" → go, «еще» → ещё.
//
// Text is Windows-1251 bytes, as the dictionaries hold it; callers convert at their edge. The
// forms come from data other packages install, read in place and only on first need:
//   - Hunspell's dictionaries (Debian's hunspell-ru and hunspell-en-us, /usr/share/hunspell):
//     the stems Hunspell gives for the word, and its spelling suggestions;
//   - WordNet's exception lists (wordnet-base, /usr/share/wordnet/*.exc): English irregular
//     forms, "mice mouse", "went go";
//   - the program's own table data/wordforms/ru_forms.tab, built in: frequent Russian forms
//   Hunspell lists
//     as words of their own («людей» → люди, человек; the pronouns).
// When none of them is there, a word has no forms but itself and its ё/е variants.

// Which alphabet a word is written in, which picks the data its forms come from.
enum class TLanguage { None, Russian, English };

// The language of the first letter of the text: a Cyrillic letter is Russian, a Latin one
// English, None when the text holds no letter.
TLanguage languageOf(std::string_view cp1251);

// How a candidate relates to the word asked.
enum class TFormKind {
    AsWritten,  // the word itself
    YoVariant,  // the word with ё written as е or the other way round
    Form,       // a dictionary form of the word (or of its first word, for several words)
};

struct TFormCandidate {
    std::string text;
    TFormKind kind = TFormKind::AsWritten;
};

// Where the morphology data lies.
struct TMorphologyFolders {
    std::string hunspell = "/usr/share/hunspell";
    std::string wordnet = "/usr/share/wordnet";
};

class TSpeller;

class TWordForms {
public:
    explicit TWordForms(TMorphologyFolders folders = {});
    ~TWordForms();
    TWordForms(const TWordForms&) = delete;
    TWordForms& operator=(const TWordForms&) = delete;

    // The texts to try for word, in the order they should answer: the word as written, its
    // ё/е variants, then its dictionary forms in the order the morphology ranks them (the
    // table of our own first, then Hunspell's stems, then WordNet's exceptions, then for
    // Russian the verbs behind reflexive forms and participles: «допускается» → допускаться,
    // допускать; «указана» → указанный, указать; each a word Hunspell knows). For several
    // words, the forms are those of the first word followed by the rest as written ("looked
    // up" → "look up"). No two candidates are equal with letter case ignored. Text longer
    // than 256 bytes is only itself. The first call
    // in a language loads that language's data (a quarter of a second for Russian).
    std::vector<TFormCandidate> candidates(std::string_view word);

    // Hunspell's spelling suggestions for word in its language; nothing without the data.
    std::vector<std::string> spellingSuggestions(std::string_view word);

private:
    struct TLanguageData;
    TLanguageData& data(TLanguage language);
    std::vector<std::string> formsOfWord(std::string_view word);

    TMorphologyFolders folders_;
    std::map<TLanguage, std::unique_ptr<TLanguageData>> loaded_;
};

// The answer of findThroughForms: the candidate that answered, or found false.
struct TFormMatch {
    bool found = false;
    TFormCandidate candidate;
};
// The first of word's candidates that isTerm accepts; isTerm is asked candidate by candidate,
// in order, and not after the first it accepts.
TFormMatch findThroughForms(TWordForms& forms, std::string_view word,
                            const std::function<bool(std::string_view)>& isTerm);

// The answer of findInDictionaries: which dictionary answered with which candidate, or
// dictionary -1.
struct TDictionaryMatch {
    int dictionary = -1;
    TFormCandidate candidate;
};

// Word looked up in several dictionaries: candidate by candidate in findThroughForms' order,
// each in every dictionary of order before the next candidate, so that the word as written in
// a later dictionary wins over a form in the first. isTerm(dictionary, text) answers whether
// text is a term of that dictionary.
TDictionaryMatch findInDictionaries(TWordForms& forms, std::string_view word,
                                    const std::vector<int>& order,
                                    const std::function<bool(int, std::string_view)>& isTerm);

// The ё/е variants of word: every ё (Ё) written as е (Е) when it has one, then, for each е (Е)
// in turn, the word with that one written as ё. Not the word itself; none for text longer
// than 256 bytes.
std::vector<std::string> yoVariants(std::string_view cp1251);

// A word taken from a selection or handed over, as a reader means it: a hyphen at a line end
// joins the two halves («сло-\nво» → слово), runs of blanks and line breaks become one space,
// and quotes, brackets and punctuation around it are dropped ("«\"house\",»" → house,
// "Cat." → Cat). An apostrophe or hyphen inside a word stays.
std::string cleanSelection(std::string_view cp1251);
