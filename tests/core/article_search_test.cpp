// The search inside articles against the plain way: both texts upper-cased, then a find.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dictionary/article_search.h"
#include "dictionary/dictionary.h"
#include "platform/upcase.h"

TEST(ArticleSearch, AgreesWithUpperCasedFindOnRandomTextsAndSteps) {
    // A small alphabet with both cases of Latin and Cyrillic letters, so matches are frequent.
    const std::string alphabet = "abAB\xE0\xC0\xB8\xA8 x";  // а А ё Ё
    std::mt19937 random(7);
    auto randomText = [&](size_t maxLength) {
        std::string text(random() % (maxLength + 1), ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        return text;
    };
    TDictionary dictionary;
    for (int i = 0; i < 300; ++i)
        dictionary.AddTerm("t" + std::to_string(i), randomText(40));
    for (int round = 0; round < 200; ++round) {
        const std::string text = randomText(4);
        std::vector<int> expected;
        for (int i = 0; i < dictionary.Count(); ++i) {
            if (upcase::text(dictionary.Article(i)).find(upcase::text(text)) != std::string::npos)
                expected.push_back(i);
        }
        ASSERT_EQ(findInArticles(dictionary, text), expected) << text;
        // In steps, as the search window makes it.
        std::vector<int> stepped;
        for (int first = 0; first < dictionary.Count(); first += 64)
            findInArticles(dictionary, text, first, std::min(dictionary.Count(), first + 64),
                           stepped);
        ASSERT_EQ(stepped, expected) << text;
    }
}
