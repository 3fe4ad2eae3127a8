#include "dictionary/article_search.h"

#include <algorithm>
#include <functional>

#include "dictionary/dictionary.h"
#include "platform/upcase.h"

namespace {

struct TUpperHash {
    size_t operator()(char c) const { return upcase::byte(static_cast<unsigned char>(c)); }
};

struct TUpperEqual {
    bool operator()(char a, char b) const {
        return upcase::byte(static_cast<unsigned char>(a)) ==
               upcase::byte(static_cast<unsigned char>(b));
    }
};

}  // namespace

std::vector<int> findInArticles(const TDictionary& dictionary, std::string_view text) {
    std::vector<int> found;
    findInArticles(dictionary, text, 0, dictionary.Count(), found);
    return found;
}

void findInArticles(const TDictionary& dictionary, std::string_view text, int first, int end,
                    std::vector<int>& found) {
    const std::boyer_moore_horspool_searcher searcher(text.begin(), text.end(), TUpperHash{},
                                                      TUpperEqual{});
    for (int i = first; i < end; ++i) {
        const std::string_view article = dictionary.Article(i);
        if (std::search(article.begin(), article.end(), searcher) != article.end() || text.empty())
            found.push_back(i);
    }
}
