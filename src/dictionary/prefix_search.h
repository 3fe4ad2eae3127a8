#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "dictionary/dictionary.h"

class TTermFile;

// The positions 0..count-1 sorted by their terms' bytes upper-cased as their form is (the
// Windows-1251 table, or UTF-8 code point by code point), a beginning before its continuations
// and equal texts by position: every beginning is then one contiguous run. termAt(i) gives the
// term at position i.
std::vector<uint32_t> upperOrder(size_t count,
                                 const std::function<std::string_view(size_t)>& termAt,
                                 TTextForm form = TTextForm::Cp1251);
// The iterative minimum tree over order: leaves at [n, 2n), node i the least of nodes 2i and
// 2i + 1, node 0 unused.
std::vector<uint32_t> minimumTree(const std::vector<uint32_t>& order);

// Incremental search over one dictionary: the first position, in the dictionary's own order,
// whose term begins with a typed text when both are upper-cased as the dictionary's texts are
// written (the Windows-1251 table, or UTF-8 code point by code point; see upcase.h).
//
// The dictionary is ordered by the locale's collation, and the terms that share a beginning
// of bytes are not contiguous in that order (ignorable characters, Ё beside Е, contractions),
// so the index does not lean on it at all: it keeps the positions sorted by their upper-cased
// bytes, where every beginning is one contiguous range, and a minimum tree over that range
// gives the smallest position. The answer is therefore the linear scan's by construction.
//
// The index is built on the first search after a reset (O(n log n)), and kept in step with
// single insertions and removals in O(n) without a rebuild. A dictionary read through its term
// index brings the order made already, which is used in place.
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
    bool lessUpper(uint32_t a, uint32_t b) const;
    void buildTree();
    int rangeMinimum(size_t from, size_t to) const;  // over order_[from, to)

    // The term at a position of the order, upper-cased when the dictionary is UTF-8 (the
    // Windows-1251 table is applied byte by byte as the terms are compared).
    std::string_view orderedTerm(size_t k, std::string& room) const;

    const TDictionary* dictionary_ = nullptr;
    bool built_ = false;
    bool utf8_ = false;
    // The order and its tree in use: the vectors below, or the term index's.
    size_t count_ = 0;
    const uint32_t* order_ = nullptr;
    const uint32_t* tree_ = nullptr;
    std::vector<uint32_t> ownOrder_;             // positions sorted by upper-cased term bytes
    std::vector<uint32_t> ownTree_;              // iterative minimum tree over ownOrder_
    std::shared_ptr<const TTermFile> termFile_;  // keeps the index's order readable
};
