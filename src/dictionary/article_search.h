#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TDictionary;
class TTermFile;

// Positions, in order, of the terms whose article contains text, letter case ignored as the
// Windows-1251 upper-casing ignores it (Latin and Cyrillic letters, Ё included), or, in a
// dictionary whose texts are UTF-8, as UTF-8 upper-casing does (text then UTF-8 too). Every
// article contains the empty text.
std::vector<int> findInArticles(const TDictionary& dictionary, std::string_view text);

// The same over the positions [first, end) only, appended to found in order, so a long search
// can be made in steps. Requires 0 <= first <= end <= the dictionary's Count.
void findInArticles(const TDictionary& dictionary, std::string_view text, int first, int end,
                    std::vector<int>& found);

// A search in articles made in steps, as findInArticles(dictionary, text) makes it whole. A
// dictionary of another format read in place has its entries read in the order their data lies
// (each packed chunk is then inflated about once), the others their articles in term order;
// the positions found are given in term order either way. Memory beyond the found positions:
// 16 bytes an entry and a bit a term for such a dictionary, nothing for the others. The
// dictionary must not change meanwhile.
class TArticleSearch {
public:
    TArticleSearch(const TDictionary& dictionary, std::string_view text);
    ~TArticleSearch();

    // How many reads there are to make (articles, or a source's entries), and how many have
    // been made.
    int count() const { return count_; }
    int done() const { return done_; }
    // Makes up to n more reads. Raises what reading an article raises (TDictionaryChanged).
    void step(int n);
    // The positions found so far, in order.
    std::vector<int> found() const;

private:
    // One entry of a term, or its whole article (entry kWhole), with where its data lies.
    struct TPlace {
        uint64_t at;
        uint32_t position;
        uint32_t entry;
    };
    static constexpr uint32_t kWhole = UINT32_MAX;

    const TDictionary& dictionary_;
    std::string text_;
    std::function<bool(std::string_view article)> matches_;
    std::shared_ptr<const TTermFile> file_;  // a source's; null: term order
    std::vector<TPlace> order_;
    std::vector<bool> isFound_;
    std::vector<int> found_;
    int count_ = 0;
    int done_ = 0;
};
