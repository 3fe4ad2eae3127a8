#include <gtest/gtest.h>

#include <filesystem>
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

bool haveHunspell() {
    return std::filesystem::exists("/usr/share/hunspell/ru_RU.dic") &&
           std::filesystem::exists("/usr/share/hunspell/en_US.dic");
}

bool haveWordNet() {
    return std::filesystem::exists("/usr/share/wordnet/verb.exc");
}

// The term that answers word (UTF-8) when terms are the dictionary's, "" when none does.
std::string answer(TWordForms& forms, const std::string& word, const std::set<std::string>& terms) {
    const TFormMatch match = findThroughForms(forms, cp(word), [&](std::string_view text) {
        return terms.count(utf8(upcase::text(text))) > 0;
    });
    return match.found ? utf8(match.candidate.text) : "";
}

// The terms upper-cased, as answer compares them.
std::set<std::string> termSet(const std::vector<std::string>& utf8Terms) {
    std::set<std::string> out;
    for (const std::string& t : utf8Terms)
        out.insert(utf8(upcase::text(cp(t))));
    return out;
}

struct TFormCase {
    std::string word;
    std::string term;  // the dictionary form that must answer
};

void expectForms(TWordForms& forms, const std::vector<TFormCase>& cases) {
    for (const TFormCase& c : cases) {
        // Each word alone with its dictionary form and a neighbour that must not answer.
        EXPECT_EQ(answer(forms, c.word, termSet({c.term, c.word + "x"})), c.term) << c.word;
    }
}

}  // namespace

TEST(WordForms, RussianNounThroughCasesAndNumbers) {
    if (!haveHunspell())
        GTEST_SKIP() << "hunspell-ru is not installed";
    TWordForms forms;
    expectForms(forms, {{"кошки", "кошка"},
                        {"кошке", "кошка"},
                        {"кошку", "кошка"},
                        {"кошкой", "кошка"},
                        {"кошек", "кошка"},
                        {"кошкам", "кошка"},
                        {"кошками", "кошка"},
                        {"кошках", "кошка"},
                        {"книгу", "книга"},
                        {"столами", "стол"},
                        {"Кошки", "кошка"}});
}

TEST(WordForms, VerbsThroughTenseAndPerson) {
    if (!haveHunspell())
        GTEST_SKIP() << "hunspell-ru and hunspell-en-us are not installed";
    TWordForms forms;
    expectForms(forms, {{"говорю", "говорить"},
                        {"говоришь", "говорить"},
                        {"говорит", "говорить"},
                        {"говорим", "говорить"},
                        {"говорят", "говорить"},
                        {"говорил", "говорить"},
                        {"говорили", "говорить"},
                        {"works", "work"},
                        {"worked", "work"},
                        {"working", "work"},
                        {"parties", "party"},
                        {"books", "book"}});
}

// Dictionaries that hold only the verb answer its reflexive forms and its participles.
TEST(WordForms, RussianReflexiveFormsAndParticiplesLeadToTheVerb) {
    if (!haveHunspell())
        GTEST_SKIP() << "hunspell-ru is not installed";
    TWordForms forms;
    expectForms(forms, {{"допускается", "допускать"},
                        {"завершилась", "завершить"},
                        {"создаются", "создавать"},
                        {"указана", "указать"},
                        {"указанных", "указать"},
                        {"помечен", "пометить"},
                        {"вложенных", "вложить"},
                        {"приведённых", "привести"},
                        {"открыта", "открыть"},
                        {"используемых", "использовать"},
                        {"оканчивающееся", "оканчиваться"},
                        {"оканчивающееся", "оканчивать"},
                        {"завершивших", "завершить"}});
    // Hunspell's own stem comes before the verb derived from it, the reflexive verb before
    // the one without the particle.
    EXPECT_EQ(answer(forms, "указана", termSet({"указать", "указанный"})), "указанный");
    EXPECT_EQ(answer(forms, "допускается", termSet({"допускать", "допускаться"})), "допускаться");
    // Only words Hunspell knows are offered: no ending is guessed onto a stem.
    TSpeller speller("/usr/share/hunspell", "ru_RU");
    for (const char* word : {"помечен", "заданной", "говорящих", "видимые", "оканчивающееся"}) {
        for (const TFormCandidate& c : forms.candidates(cp(word))) {
            if (c.kind == TFormKind::Form) {
                EXPECT_TRUE(speller.accepts(c.text)) << word << " → " << utf8(c.text);
            }
        }
    }
}

TEST(WordForms, EnglishIrregularFormsFromWordNet) {
    if (!haveWordNet())
        GTEST_SKIP() << "wordnet-base is not installed";
    TWordForms forms;
    expectForms(forms, {{"went", "go"},
                        {"mice", "mouse"},
                        {"children", "child"},
                        {"better", "good"},
                        {"bigger", "big"},
                        {"Geese", "goose"}});
}

// Our own table is built in: it answers with no morphology data installed at all.
TEST(WordForms, OwnTableAnswersWithoutHunspell) {
    TTempFolder empty;
    TWordForms forms({empty.path(), empty.path()});
    expectForms(forms, {{"людей", "люди"},
                        {"детей", "ребёнок"},
                        {"любви", "любовь"},
                        {"шла", "идти"},
                        {"шел", "идти"},
                        {"меня", "я"},
                        {"неё", "она"},
                        {"нас", "мы"},
                        {"одной", "один"},
                        {"со", "с"},
                        {"во", "в"},
                        {"двумя", "два"},
                        {"столбцов", "столбец"}});
    EXPECT_EQ(answer(forms, "людей", termSet({"человек"})), "человек");
}

TEST(WordForms, YoAndYeAreOneLetterBothWays) {
    TTempFolder empty;
    TWordForms forms({empty.path(), empty.path()});
    const std::vector<TFormCase> cases = {
        {"еще", "ещё"}, {"всё", "все"}, {"ЕЩЕ", "ЕЩЁ"}, {"Ёлка", "Елка"}, {"елка", "ёлка"}};
    for (const TFormCase& c : cases)
        EXPECT_EQ(answer(forms, c.word, termSet({c.term})), c.term) << c.word;
    // The word as written comes before its variant.
    EXPECT_EQ(answer(forms, "все", termSet({"всё", "все"})), "все");
}

TEST(WordForms, WithoutMorphologyDataOnlyTheWordAndItsYoVariantsAnswer) {
    TTempFolder empty;
    TWordForms forms({empty.path(), empty.path()});
    EXPECT_EQ(answer(forms, "кошки", termSet({"кошка"})), "");
    EXPECT_EQ(answer(forms, "mice", termSet({"mouse"})), "");
    EXPECT_EQ(answer(forms, "кошка", termSet({"кошка"})), "кошка");
    EXPECT_TRUE(forms.spellingSuggestions(cp("кошкк")).empty());
    const std::vector<TFormCandidate> candidates = forms.candidates(cp("елка"));
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_EQ(candidates[0].kind, TFormKind::AsWritten);
    EXPECT_EQ(candidates[1].kind, TFormKind::YoVariant);
}

TEST(WordForms, PhrasalTermsThroughTheFormsOfTheFirstWord) {
    if (!haveHunspell())
        GTEST_SKIP() << "hunspell-en-us is not installed";
    TWordForms forms;
    const std::vector<TFormCase> cases = {
        {"looked up", "look up"}, {"reaching out", "reach out"}, {"gave up", "give up"}};
    for (const TFormCase& c : cases)
        EXPECT_EQ(answer(forms, c.word, termSet({c.term, "look", "reach"})), c.term) << c.word;
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
    const std::vector<TFormCase> cases = {
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
    for (const TFormCase& c : cases)
        EXPECT_EQ(utf8(cleanSelection(cp(c.word))), c.term) << c.word;
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
