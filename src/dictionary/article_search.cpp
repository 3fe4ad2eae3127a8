#include "dictionary/article_search.h"

#include <array>
#include <string>

#include "dictionary/dictionary.h"
#include "platform/upcase.h"

namespace {

// Horspool's search over upper-cased bytes: the text is folded byte by byte as it is read
// (never copied), and the shift comes from a table indexed by the folded byte. On a dictionary
// of tens of megabytes the search is bound by reading the articles once.
class TFoldedSearcher {
public:
    explicit TFoldedSearcher(std::string_view text) {
        pattern_.reserve(text.size());
        for (const char c : text)
            pattern_.push_back(static_cast<char>(fold(c)));
        shift_.fill(pattern_.size());
        for (size_t i = 0; i + 1 < pattern_.size(); ++i)
            shift_[static_cast<unsigned char>(pattern_[i])] = pattern_.size() - 1 - i;
    }

    bool foundIn(std::string_view article) const {
        const size_t m = pattern_.size();
        if (m == 0)
            return true;
        const size_t last = m - 1;
        const auto lastByte = static_cast<unsigned char>(pattern_[last]);
        for (size_t at = 0; at + m <= article.size();) {
            const unsigned char c = fold(article[at + last]);
            if (c == lastByte && matchesAt(article, at))
                return true;
            at += shift_[c];
        }
        return false;
    }

private:
    unsigned char fold(char c) const { return fold_[static_cast<unsigned char>(c)]; }

    bool matchesAt(std::string_view article, size_t at) const {
        for (size_t i = 0; i + 1 < pattern_.size(); ++i) {
            if (fold(article[at + i]) != static_cast<unsigned char>(pattern_[i]))
                return false;
        }
        return true;
    }

    const std::array<unsigned char, 256>& fold_ = upcase::table();
    std::array<size_t, 256> shift_{};
    std::string pattern_;
};

}  // namespace

std::vector<int> findInArticles(const TDictionary& dictionary, std::string_view text) {
    std::vector<int> found;
    findInArticles(dictionary, text, 0, dictionary.Count(), found);
    return found;
}

void findInArticles(const TDictionary& dictionary, std::string_view text, int first, int end,
                    std::vector<int>& found) {
    if (dictionary.textForm() == TTextForm::Utf8) {
        // UTF-8 letters change their length as they change case: each article is upper-cased
        // whole, then searched for the upper-cased text.
        const std::string pattern = upcase::utf8(text);
        for (int i = first; i < end; ++i) {
            if (upcase::utf8(dictionary.Article(i)).find(pattern) != std::string::npos)
                found.push_back(i);
        }
        return;
    }
    const TFoldedSearcher searcher(text);
    for (int i = first; i < end; ++i) {
        if (searcher.foundIn(dictionary.Article(i)))
            found.push_back(i);
    }
}
