#pragma once

#include <string_view>
#include <vector>

class TDictionary;

// Incremental search over one dictionary: the first position, in the dictionary's own order,
// whose term begins with a typed text when both are upper-cased by the Windows-1251 table.
//
// The dictionary is ordered by the locale's collation, and the terms that share a beginning
// of bytes are not contiguous in that order (ignorable characters, Ё beside Е, contractions),
// so the index does not lean on it at all: it keeps the positions sorted by their upper-cased
// bytes, where every beginning is one contiguous range, and a minimum tree over that range
// gives the smallest position. The answer is therefore the linear scan's by construction.
//
// The index is built on the first search after a reset (O(n log n)), and kept in step with
// single insertions and removals in O(n) without a rebuild.
class TPrefixSearch {
public:
    // Searches dictionary, which must outlive this object or be replaced by reset().
    explicit TPrefixSearch(const TDictionary* dictionary = nullptr);

    // Forgets the index and searches dictionary from now on (nullptr: no dictionary). Cheap:
    // the index is built by the next find().
    void reset(const TDictionary* dictionary);

    // The first position whose term begins with prefix (case folded), or -1 when none does
    // or when prefix is empty.
    int find(std::string_view prefix);

    // Keeps a built index in step after the dictionary inserted a term at position.
    void termInserted(int position);
    // Keeps a built index in step after the dictionary removed the term at position.
    void termRemoved(int position);

    // Whether the index is built. The program has no need to ask; the tests do, because
    // keeping reset() cheap (the building left to the next find()) shows in nothing else.
    bool built() const { return built_; }
    // Builds the index now, as find() does when it must; a caller that knows a search is coming
    // can pay for it in advance.
    void build();

private:
    bool lessUpper(int a, int b) const;
    void buildTree();
    int rangeMinimum(int from, int to) const;  // over order_[from, to)

    const TDictionary* dictionary_ = nullptr;
    bool built_ = false;
    std::vector<int> order_;  // positions sorted by upper-cased term bytes
    std::vector<int> tree_;   // iterative minimum tree over order_: leaves at [n, 2n)
};
