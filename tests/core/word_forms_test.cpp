#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/upcase.h"
#include "test_support.h"
#include "wordforms/speller.h"
#include "wordforms/suggest_index.h"
#include "wordforms/suggestions.h"
#include "wordforms/word_forms.h"

namespace {

std::string cp(const std::string& utf8) {
    return codepage::fromUtf8(utf8).value();
}

std::string utf8(const std::string& cp1251) {
    return codepage::toUtf8(cp1251);
}

// The term that answers word (UTF-8) when terms are the dictionary's, "" when none does.
std::string answer(TWordForms& forms, const std::string& word, const std::set<std::string>& terms) {
    const TFormMatch match = findThroughForms(forms, cp(word), [&](std::string_view text) {
        return terms.count(utf8(upcase::text(text))) > 0;
    });
    return match.found ? utf8(match.candidate.text) : "";
}

// The terms upper-cased, as answer compares them ("" is none).
std::set<std::string> termSet(const std::vector<std::string>& utf8Terms) {
    std::set<std::string> out;
    for (const std::string& t : utf8Terms) {
        if (!t.empty())
            out.insert(utf8(upcase::text(cp(t))));
    }
    return out;
}

// What a row of the forms table needs installed: nothing (our own table and ё/е; asked with
// no morphology data at all), Hunspell's dictionaries, or WordNet's exception lists.
enum class TNeeds { Nothing, Hunspell, WordNet };

struct TFormCase {
    std::vector<std::string> words;
    std::string term;  // the dictionary form that must answer each word, "" for none
    TNeeds needs = TNeeds::Nothing;
    std::string other = "";  // a term of the dictionary that must not answer
};

// Each word alone with its dictionary form, other, and a neighbour that must not answer.
const TFormCase kForms[] = {
    // A Russian noun through its cases and numbers, a verb through its tense and person.
    {{"кошки", "кошке", "кошку", "кошкой", "кошек", "кошкам", "кошками", "кошках", "Кошки"},
     "кошка",
     TNeeds::Hunspell},
    {{"книгу"}, "книга", TNeeds::Hunspell},
    {{"столами"}, "стол", TNeeds::Hunspell},
    {{"говорю", "говоришь", "говорит", "говорим", "говорят", "говорил", "говорили"},
     "говорить",
     TNeeds::Hunspell},
    {{"works", "worked", "working"}, "work", TNeeds::Hunspell},
    {{"parties"}, "party", TNeeds::Hunspell},
    {{"books"}, "book", TNeeds::Hunspell},
    // Dictionaries that hold only the verb answer its reflexive forms and its participles.
    {{"допускается"}, "допускать", TNeeds::Hunspell},
    {{"завершилась", "завершивших"}, "завершить", TNeeds::Hunspell},
    {{"создаются"}, "создавать", TNeeds::Hunspell},
    {{"указана", "указанных"}, "указать", TNeeds::Hunspell},
    {{"помечен"}, "пометить", TNeeds::Hunspell},
    {{"вложенных"}, "вложить", TNeeds::Hunspell},
    {{"приведённых"}, "привести", TNeeds::Hunspell},
    {{"открыта"}, "открыть", TNeeds::Hunspell},
    {{"используемых"}, "использовать", TNeeds::Hunspell},
    {{"оканчивающееся"}, "оканчиваться", TNeeds::Hunspell},
    {{"оканчивающееся"}, "оканчивать", TNeeds::Hunspell},
    // Hunspell's own stem comes before the verb derived from it, the reflexive verb before
    // the one without the particle.
    {{"указана"}, "указанный", TNeeds::Hunspell, "указать"},
    {{"допускается"}, "допускаться", TNeeds::Hunspell, "допускать"},
    // Phrasal terms through the forms of the first word, not the first word alone.
    {{"looked up"}, "look up", TNeeds::Hunspell, "look"},
    {{"reaching out"}, "reach out", TNeeds::Hunspell, "reach"},
    {{"gave up"}, "give up", TNeeds::Hunspell, "give"},
    // English irregular forms.
    {{"went"}, "go", TNeeds::WordNet},
    {{"mice"}, "mouse", TNeeds::WordNet},
    {{"children"}, "child", TNeeds::WordNet},
    {{"better"}, "good", TNeeds::WordNet},
    {{"bigger"}, "big", TNeeds::WordNet},
    {{"Geese"}, "goose", TNeeds::WordNet},
    // Our own table is built in: it answers with no morphology data installed at all.
    {{"людей"}, "люди"},
    {{"людей"}, "человек"},
    {{"детей"}, "ребёнок"},
    {{"любви"}, "любовь"},
    {{"шла", "шел"}, "идти"},
    {{"меня"}, "я"},
    {{"неё"}, "она"},
    {{"нас"}, "мы"},
    {{"одной"}, "один"},
    {{"со"}, "с"},
    {{"во"}, "в"},
    {{"двумя"}, "два"},
    {{"столбцов"}, "столбец"},
    // ё and е are one letter both ways; the word as written comes before its variant.
    {{"еще"}, "ещё"},
    {{"всё"}, "все"},
    {{"ЕЩЕ"}, "ЕЩЁ"},
    {{"Ёлка"}, "Елка"},
    {{"елка"}, "ёлка"},
    {{"все"}, "все", TNeeds::Nothing, "всё"},
    // Without morphology data only the word and its ё/е variants answer.
    {{"кошки"}, "", TNeeds::Nothing, "кошка"},
    {{"mice"}, "", TNeeds::Nothing, "mouse"},
    {{"кошка"}, "кошка"},
};

}  // namespace

TEST(WordForms, FormsLeadToTheirDictionaryForm) {
    TWordForms installed;
    TTempFolder empty;
    TWordForms without({empty.path(), empty.path()});
    for (const TFormCase& c : kForms) {
        if ((c.needs == TNeeds::Hunspell && !haveHunspell()) ||
            (c.needs == TNeeds::WordNet && !haveWordNet()))
            continue;
        TWordForms& forms = c.needs == TNeeds::Nothing ? without : installed;
        for (const std::string& word : c.words) {
            EXPECT_EQ(answer(forms, word, termSet({c.term, c.other, word + "x"})), c.term) << word;
        }
    }
}

// Only words Hunspell knows are offered: no ending is guessed onto a stem.
TEST(WordForms, DerivedRussianFormsAreWordsHunspellKnows) {
    if (!haveHunspell())
        GTEST_SKIP() << "hunspell-ru is not installed";
    TWordForms forms;
    TSpeller speller("/usr/share/hunspell", "ru_RU");
    for (const char* word : {"помечен", "заданной", "говорящих", "видимые", "оканчивающееся"}) {
        for (const TFormCandidate& c : forms.candidates(cp(word))) {
            if (c.kind == TFormKind::Form) {
                EXPECT_TRUE(speller.accepts(c.text)) << word << " → " << utf8(c.text);
            }
        }
    }
}

TEST(WordForms, WithoutMorphologyDataNoSuggestionsAndOnlyYoVariants) {
    TTempFolder empty;
    TWordForms forms({empty.path(), empty.path()});
    EXPECT_TRUE(forms.spellingSuggestions(cp("кошкк")).empty());
    const std::vector<TFormCandidate> candidates = forms.candidates(cp("елка"));
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_EQ(candidates[0].kind, TFormKind::AsWritten);
    EXPECT_EQ(candidates[1].kind, TFormKind::YoVariant);
}

TEST(WordForms, OrderIsCandidateFirstThenDictionaryInTheOrderGiven) {
    TTempFolder empty;
    TWordForms forms({empty.path(), empty.path()});
    // Dictionary 0 is the current tab, 1 the next one.
    const std::vector<std::set<std::string>> dictionaries = {termSet({"ещё", "я"}),
                                                             termSet({"еще", "меня", "я"})};
    struct TCase {
        std::vector<int> order;
        std::string word;
        int dictionary;
        std::string term;
    };
    const std::vector<TCase> cases = {
        {{0, 1}, "еще", 1, "еще"},    // as written in the second beats ё/е in the first
        {{0, 1}, "меня", 1, "меня"},  // as written beats the form я in the first
        {{1, 0}, "ещё", 0, "ещё"},
        {{0, 1}, "мне", 0, "я"},  // a form: the first dictionary in order that holds it
        {{1, 0}, "мне", 1, "я"},
        {{0, 1}, "тебя", -1, ""},
    };
    for (const TCase& c : cases) {
        const TDictionaryMatch match =
            findInDictionaries(forms, cp(c.word), c.order, [&](int d, std::string_view text) {
                return dictionaries[static_cast<size_t>(d)].count(utf8(upcase::text(text))) > 0;
            });
        EXPECT_EQ(match.dictionary, c.dictionary) << c.word;
        EXPECT_EQ(match.dictionary < 0 ? "" : utf8(match.candidate.text), c.term) << c.word;
    }
}

TEST(WordForms, LanguageIsToldByTheFirstLetter) {
    EXPECT_EQ(languageOf(cp("«кот»")), TLanguage::Russian);
    EXPECT_EQ(languageOf(cp("Ёж")), TLanguage::Russian);
    EXPECT_EQ(languageOf(cp("1 cat")), TLanguage::English);
    EXPECT_EQ(languageOf(cp("42 —")), TLanguage::None);
}

TEST(WordForms, SelectionIsCleanedAsAReaderMeansIt) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\"house\",", "house"},
        {"Cat.", "Cat"},
        {"«кошки»!", "кошки"},
        {"(see)", "see"},
        {"  looked\n up; ", "looked up"},
        {"сло-\nво", "слово"},
        {"hyphen-\r\n   ated", "hyphenated"},
        {"well-known", "well-known"},
        {"o'clock", "o'clock"},
        {"dogs'", "dogs"},
        {"—", ""},
    };
    for (const auto& [selection, word] : cases)
        EXPECT_EQ(utf8(cleanSelection(cp(selection))), word) << selection;
}

namespace {

// The optimal string alignment distance, the plain way.
int editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<int>> d(a.size() + 1, std::vector<int>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        for (size_t j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = static_cast<int>(i + j);
                continue;
            }
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

}  // namespace

TEST(SuggestIndex, FindsEveryTermWithinTheDistanceAsAScanDoes) {
    std::mt19937 random(7);
    std::vector<std::string> terms;
    for (int i = 0; i < 1000; ++i) {
        std::string t;
        const int length = 1 + static_cast<int>(random() % 6);
        for (int k = 0; k < length; ++k)
            t.push_back(static_cast<char>('a' + random() % 4));
        terms.push_back(t);
    }
    const TSuggestIndex index(terms);
    for (int q = 0; q < 50; ++q) {
        const std::string word = terms[random() % terms.size()].substr(1) + "b";
        for (int distance : {1, 2}) {
            std::multiset<std::string> expected, found;
            for (const std::string& t : terms)
                if (editDistance(t, word) <= distance)
                    expected.insert(t);
            for (const TSuggestIndex::TNear& near : index.near(word, distance, terms.size())) {
                found.insert(terms[static_cast<size_t>(near.term)]);
                EXPECT_EQ(near.distance, editDistance(terms[static_cast<size_t>(near.term)], word));
            }
            EXPECT_EQ(found, expected) << word << " within " << distance;
        }
    }
}

TEST(SuggestIndex, TyposAtDistanceOneAndTwoNearestFirst) {
    const std::vector<std::string> terms = {"house", "horse", "mouse",  "hose",  "houses",
                                            "dog",   "Douse", "blouse", "spouse"};
    const TSuggestIndex index(terms);
    struct TCase {
        std::string word;
        std::string first;  // the nearest term
        int distance;
    };
    const std::vector<TCase> cases = {
        {"hosue", "house", 1},  // swap
        {"huose", "house", 1},  // swap
        {"hous", "house", 1},   // a letter left out
        {"dogg", "dog", 1},     // a letter too many
        {"HOUZE", "house", 1},  // replacement, case ignored
        {"hoze", "hose", 1},   {"hzuze", "house", 2}, {"dgo", "dog", 1}, {"dooog", "dog", 2},
    };
    for (const TCase& c : cases) {
        const std::vector<TSuggestIndex::TNear> near = index.near(c.word, 2, 10);
        ASSERT_FALSE(near.empty()) << c.word;
        EXPECT_EQ(terms[static_cast<size_t>(near[0].term)], c.first) << c.word;
        EXPECT_EQ(near[0].distance, c.distance) << c.word;
        for (size_t i = 1; i < near.size(); ++i)
            EXPECT_LE(near[i - 1].distance, near[i].distance) << c.word;
    }
    EXPECT_TRUE(index.near("xylophone", 2, 10).empty());
    EXPECT_EQ(index.near("ouse", 2, 3).size(), 3u);
}

TEST(Suggestions, NearTermsOfTheWordAndOfItsFormsThenNoTermTwice) {
    TTempFolder empty;
    TWordForms forms({empty.path(), empty.path()});
    const std::vector<std::string> terms = {cp("ещё"), cp("еда"), cp("меч"), cp("я"), cp("house")};
    const TSuggestIndex index(terms);
    const auto isTerm = [&](std::string_view) { return false; };
    // «еще» is within one edit of «ещё» only through its variant; «мне» → я is its form.
    EXPECT_EQ(suggestTerms(forms, index, terms, cp("ещк"), isTerm),
              (std::vector<std::string>{cp("ещё"), cp("еда")}));
    const std::vector<std::string> near = suggestTerms(forms, index, terms, cp("мне"), isTerm);
    EXPECT_EQ(std::set<std::string>(near.begin(), near.end()).size(), near.size());
    EXPECT_NE(std::find(near.begin(), near.end(), cp("я")), near.end());
    EXPECT_TRUE(suggestTerms(forms, index, terms, cp("xylophone"), isTerm).empty());
}

TEST(Suggestions, AmongEquallyNearTermsHunspellsSuggestionsLead) {
    if (!haveHunspell())
        GTEST_SKIP() << "hunspell-en-us is not installed";
    const std::vector<std::string> terms = {"ate", "hue", "the"};
    const TSuggestIndex index(terms);
    const auto isTerm = [&](std::string_view t) {
        return std::find(terms.begin(), terms.end(), std::string(t)) != terms.end();
    };
    TWordForms forms;
    EXPECT_EQ(suggestTerms(forms, index, terms, "hte", isTerm).front(), "the");
    TTempFolder empty;
    TWordForms without({empty.path(), empty.path()});
    EXPECT_EQ(suggestTerms(without, index, terms, "hte", isTerm).front(), "ate");
}

// A pasted page is one exact look-up: no variant per letter е, no walk as long as the text.
TEST(WordForms, TextLongerThanAWordHasNoVariantsFormsOrNearTerms) {
    const std::string page(200000, '\xe5');  // е
    EXPECT_TRUE(yoVariants(page).empty());
    TTempFolder empty;
    TWordForms forms({empty.path(), empty.path()});
    EXPECT_EQ(forms.candidates(page).size(), 1u);
    const std::vector<std::string> terms = {page.substr(0, 10), "x"};
    const TSuggestIndex index(terms);
    EXPECT_TRUE(index.near(page, 2, 10).empty());
    EXPECT_EQ(index.near(page.substr(0, 11), 2, 10).size(), 1u);
}
