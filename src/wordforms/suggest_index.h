#pragma once

#include <string>
#include <string_view>
#include <vector>

// Terms near a misspelt word: every term within a few edits of it (a letter inserted, deleted,
// replaced, or two neighbours swapped), letter case ignored. The terms are kept upper-cased and
// sorted, which makes them the leaves of a trie; a query walks that trie depth first, carrying
// one row of the edit-distance table per letter of the path, and leaves every branch whose row
// already exceeds the distance asked. On WordNet's 147 000 terms a query at distance two visits
// a few thousand nodes instead of every term.
class TSuggestIndex {
public:
    // One term found: its position in the list the index was built from and its distance.
    struct TNear {
        int term = 0;
        int distance = 0;
    };

    // Indexes terms (Windows-1251); positions in answers are positions in this list.
    explicit TSuggestIndex(const std::vector<std::string>& terms);

    // The terms within maxDistance edits of word (Windows-1251), nearest first; among equally
    // near ones, those closest in length, then in the index's order. At most limit of them.
    std::vector<TNear> near(std::string_view word, int maxDistance, size_t limit) const;

    size_t size() const { return keys_.size(); }

private:
    std::vector<std::string> keys_;  // upper-cased terms, sorted bytewise
    std::vector<int> terms_;         // keys_[i] is the term at position terms_[i]
    size_t longest_ = 0;             // the longest key's length
};
