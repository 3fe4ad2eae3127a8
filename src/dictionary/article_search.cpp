#include "dictionary/article_search.h"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <string>

#include "dictionary/dictionary.h"
#include "dictionary/term_index.h"
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

// Whether an article of dictionary contains text, letter case ignored as the dictionary's texts
// have it.
std::function<bool(std::string_view article)> articleMatcher(const TDictionary& dictionary,
                                                             std::string_view text) {
    if (dictionary.textForm() == TTextForm::Utf8) {
        // UTF-8 letters change their length as they change case: each article is upper-cased
        // whole, then searched for the upper-cased text.
        return [pattern = upcase::utf8(text)](std::string_view article) {
            return upcase::utf8(article).find(pattern) != std::string::npos;
        };
    }
    return [searcher = std::make_shared<const TFoldedSearcher>(text)](std::string_view article) {
        return searcher->foundIn(article);
    };
}

}  // namespace

std::vector<int> findInArticles(const TDictionary& dictionary, std::string_view text) {
    TArticleSearch search(dictionary, text);
    search.step(search.count());
    return search.found();
}

void findInArticles(const TDictionary& dictionary, std::string_view text, int first, int end,
                    std::vector<int>& found) {
    const auto matches = articleMatcher(dictionary, text);
    for (int i = first; i < end; ++i) {
        if (matches(dictionary.Article(i)))
            found.push_back(i);
    }
}

TArticleSearch::TArticleSearch(const TDictionary& dictionary, std::string_view text)
    : dictionary_(dictionary), text_(text), count_(dictionary.Count()) {
    std::shared_ptr<const TTermFile> file = dictionary.termFile();
    if (!file || !file->isSource())
        return;
    file_ = std::move(file);
    matches_ = articleMatcher(dictionary, text);
    // A term's article is its entries' texts (each once, empty ones left out) joined by line
    // breaks, and letter case is ignored letter by letter: a text without a line break is in
    // the article exactly when it is in one of the entries, which can then be read one by one
    // in the order of their data. A text with one is looked for in whole articles, read in
    // the order of their first entry's data.
    const bool byEntry = text.find('\n') == std::string_view::npos;
    for (int i = 0; i < count_; ++i) {
        const auto position = static_cast<size_t>(i);
        const size_t entries = byEntry ? file_->entryCount(position) : 0;
        if (entries == 0) {
            order_.push_back({file_->dataPosition(position, 0), static_cast<uint32_t>(i), kWhole});
            continue;
        }
        for (size_t e = 0; e < entries; ++e) {
            order_.push_back({file_->dataPosition(position, e), static_cast<uint32_t>(i),
                              static_cast<uint32_t>(e)});
        }
    }
    // Equal places (a reader that tells none) keep term order.
    std::sort(order_.begin(), order_.end(), [](const TPlace& a, const TPlace& b) {
        if (a.at != b.at)
            return a.at < b.at;
        return a.position != b.position ? a.position < b.position : a.entry < b.entry;
    });
    isFound_.assign(static_cast<size_t>(count_), false);
    count_ = static_cast<int>(std::min<size_t>(order_.size(), INT_MAX));
}

TArticleSearch::~TArticleSearch() = default;

void TArticleSearch::step(int n) {
    if (n <= 0)
        return;
    const int end = n >= count_ - done_ ? count_ : done_ + n;
    if (!file_) {
        findInArticles(dictionary_, text_, done_, end, found_);
        done_ = end;
        return;
    }
    for (; done_ < end; ++done_) {
        const TPlace& place = order_[static_cast<size_t>(done_)];
        if (isFound_[place.position])
            continue;  // another of its entries has the text
        const bool has = place.entry == kWhole
                             ? matches_(dictionary_.Article(static_cast<int>(place.position)))
                             : matches_(file_->entryArticle(place.position, place.entry));
        if (has) {
            isFound_[place.position] = true;
            found_.push_back(static_cast<int>(place.position));
        }
    }
}

std::vector<int> TArticleSearch::found() const {
    std::vector<int> out = found_;
    std::sort(out.begin(), out.end());
    return out;
}
