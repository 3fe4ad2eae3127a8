#include "dictionary/prefix_search.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string>

#include "dictionary/dictionary.h"
#include "platform/upcase.h"

namespace {

// A local copy of the upper-casing table: the comparisons below run it millions of times while
// the index is sorted, and an inlined lookup keeps that sort short.
const std::array<unsigned char, 256>& upperTable() {
    static const std::array<unsigned char, 256> kTable = [] {
        std::array<unsigned char, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[b] = upcase::byte(static_cast<unsigned char>(b));
        return t;
    }();
    return kTable;
}

// Compares the upper-cased term with the already upper-cased prefix over the prefix's length
// only: negative when the term sorts before every text that begins with prefix, zero when it
// begins with prefix, positive when it sorts after them all.
int comparePrefix(std::string_view term, std::string_view upperPrefix) {
    const auto& t = upperTable();
    const size_t n = std::min(term.size(), upperPrefix.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char a = t[static_cast<unsigned char>(term[i])];
        const unsigned char b = static_cast<unsigned char>(upperPrefix[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    return term.size() < upperPrefix.size() ? -1 : 0;
}

// Orders two terms by their upper-cased bytes, a beginning before its continuations: negative,
// zero or positive.
int compareUpper(std::string_view x, std::string_view y) {
    const auto& t = upperTable();
    const size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char p = t[static_cast<unsigned char>(x[i])];
        const unsigned char q = t[static_cast<unsigned char>(y[i])];
        if (p != q)
            return p < q ? -1 : 1;
    }
    return x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
}

}  // namespace

TPrefixSearch::TPrefixSearch(const TDictionary* dictionary) : dictionary_(dictionary) {}

void TPrefixSearch::reset(const TDictionary* dictionary) {
    dictionary_ = dictionary;
    built_ = false;
    order_.clear();
    order_.shrink_to_fit();
    tree_.clear();
    tree_.shrink_to_fit();
}

bool TPrefixSearch::lessUpper(int a, int b) const {
    return compareUpper(dictionary_->Term(a), dictionary_->Term(b)) < 0;
}

void TPrefixSearch::build() {
    order_.clear();
    if (dictionary_) {
        const int count = dictionary_->Count();
        // The terms are read once into views so that the sort does not go through the
        // dictionary for every comparison.
        std::vector<std::string_view> terms(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            terms[static_cast<size_t>(i)] = dictionary_->Term(i);
        const auto& t = upperTable();

        // First a counting sort by the first two upper-cased bytes (a missing byte counts as
        // 0, which keeps a one-byte term before its longer relatives), then a comparison sort
        // within each bucket: most buckets are small, so this is several times faster than
        // sorting the whole million at once.
        constexpr size_t kBuckets = 256 * 256;
        auto bucketOf = [&](std::string_view term) {
            const size_t first = term.empty() ? 0 : t[static_cast<unsigned char>(term[0])];
            const size_t second = term.size() < 2 ? 0 : t[static_cast<unsigned char>(term[1])];
            return first * 256 + second;
        };
        std::vector<int> start(kBuckets + 1, 0);
        for (const std::string_view term : terms)
            ++start[bucketOf(term) + 1];
        for (size_t b = 0; b < kBuckets; ++b)
            start[b + 1] += start[b];
        order_.resize(static_cast<size_t>(count));
        std::vector<int> next(start.begin(), start.end() - 1);
        for (int i = 0; i < count; ++i)
            order_[static_cast<size_t>(next[bucketOf(terms[static_cast<size_t>(i)])]++)] = i;

        // Equal upper-cased terms (never two in one dictionary) by position, so that the order
        // is total and the same on every build.
        auto less = [&](int a, int b) {
            const int c =
                compareUpper(terms[static_cast<size_t>(a)], terms[static_cast<size_t>(b)]);
            return c != 0 ? c < 0 : a < b;
        };
        for (size_t b = 0; b < kBuckets; ++b) {
            if (start[b + 1] - start[b] > 1)
                std::sort(order_.begin() + start[b], order_.begin() + start[b + 1], less);
        }
    }
    buildTree();
    built_ = true;
}

void TPrefixSearch::buildTree() {
    const size_t n = order_.size();
    tree_.assign(2 * n, INT_MAX);
    std::copy(order_.begin(), order_.end(), tree_.begin() + static_cast<std::ptrdiff_t>(n));
    for (size_t i = n; i-- > 1;)
        tree_[i] = std::min(tree_[2 * i], tree_[2 * i + 1]);
}

int TPrefixSearch::rangeMinimum(int from, int to) const {
    const int n = static_cast<int>(order_.size());
    int best = INT_MAX;
    for (int l = from + n, r = to + n; l < r; l >>= 1, r >>= 1) {
        if (l & 1)
            best = std::min(best, tree_[static_cast<size_t>(l++)]);
        if (r & 1)
            best = std::min(best, tree_[static_cast<size_t>(--r)]);
    }
    return best;
}

int TPrefixSearch::find(std::string_view prefix) {
    if (prefix.empty() || !dictionary_)
        return -1;
    if (!built_)
        build();
    if (order_.empty())
        return -1;
    const std::string upperPrefix = upcase::text(prefix);
    auto termAt = [this](int k) { return dictionary_->Term(order_[static_cast<size_t>(k)]); };

    // Every term that begins with the prefix lies in one run [lo, hi) of the byte order.
    int lo = 0;
    int hi = static_cast<int>(order_.size());
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (comparePrefix(termAt(mid), upperPrefix) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    int end = lo;
    hi = static_cast<int>(order_.size());
    while (end < hi) {
        const int mid = end + (hi - end) / 2;
        if (comparePrefix(termAt(mid), upperPrefix) <= 0)
            end = mid + 1;
        else
            hi = mid;
    }
    if (lo == end)
        return -1;
    return rangeMinimum(lo, end);
}

void TPrefixSearch::termInserted(int position) {
    if (!built_)
        return;
    for (int& p : order_) {
        if (p >= position)
            ++p;
    }
    const auto at = std::upper_bound(order_.begin(), order_.end(), position,
                                     [this](int a, int b) { return lessUpper(a, b); });
    order_.insert(at, position);
    buildTree();
}

void TPrefixSearch::termRemoved(int position) {
    if (!built_)
        return;
    const auto at = std::find(order_.begin(), order_.end(), position);
    if (at != order_.end())
        order_.erase(at);
    for (int& p : order_) {
        if (p > position)
            --p;
    }
    buildTree();
}

int linearPrefixSearch(const TDictionary& dictionary, std::string_view prefix) {
    if (prefix.empty())
        return -1;
    const int count = dictionary.Count();
    for (int i = 0; i < count; ++i) {
        if (upcase::startsWith(dictionary.Term(i), prefix))
            return i;
    }
    return -1;
}
