#include "dictionary/prefix_search.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>

#include "dictionary/dictionary.h"
#include "dictionary/term_index.h"
#include "platform/upcase.h"

namespace {

// A local copy of the upper-casing table: building the index runs it over millions of bytes,
// and an inlined lookup keeps that short.
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
int comparePrefix(std::string_view term, std::string_view upperPrefix,
                  const std::array<unsigned char, 256>& t = upperTable()) {
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
int compareUpper(std::string_view x, std::string_view y,
                 const std::array<unsigned char, 256>& t = upperTable()) {
    const size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char p = t[static_cast<unsigned char>(x[i])];
        const unsigned char q = t[static_cast<unsigned char>(y[i])];
        if (p != q)
            return p < q ? -1 : 1;
    }
    return x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
}

// The table that leaves every byte as it is: for texts upper-cased already.
const std::array<unsigned char, 256>& sameTable() {
    static const std::array<unsigned char, 256> kTable = [] {
        std::array<unsigned char, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[b] = static_cast<unsigned char>(b);
        return t;
    }();
    return kTable;
}

}  // namespace

TPrefixSearch::TPrefixSearch(const TDictionary* dictionary) : dictionary_(dictionary) {}

void TPrefixSearch::reset(const TDictionary* dictionary) {
    dictionary_ = dictionary;
    built_ = false;
    utf8_ = dictionary && dictionary->textForm() == TTextForm::Utf8;
    std::vector<uint32_t>().swap(ownOrder_);
    std::vector<uint32_t>().swap(ownTree_);
    termFile_.reset();
    order_ = nullptr;
    tree_ = nullptr;
    count_ = 0;
}

bool TPrefixSearch::lessUpper(uint32_t a, uint32_t b) const {
    if (utf8_) {
        return compareUpper(upcase::utf8(dictionary_->Term(static_cast<int>(a))),
                            upcase::utf8(dictionary_->Term(static_cast<int>(b))), sameTable()) < 0;
    }
    return compareUpper(dictionary_->Term(static_cast<int>(a)),
                        dictionary_->Term(static_cast<int>(b))) < 0;
}

namespace {

constexpr size_t kKeyBytes = sizeof(uint64_t);

// A position with the first kKeyBytes bytes of its upper-cased term packed most significant first,
// so that comparing keys as integers compares those bytes as unsigned bytes. A term shorter than
// kKeyBytes is padded with zero bytes: since no byte is below zero, a beginning never sorts
// after its continuations, and two terms with different keys are ordered by their keys exactly
// as by their whole upper-cased bytes. Equal keys (a shared beginning of kKeyBytes bytes, or
// zero bytes against padding) are left for a comparison of the whole terms.
struct TKeyedPosition {
    uint64_t key;
    int position;
};

uint64_t upperKey(std::string_view term, const std::array<unsigned char, 256>& t) {
    const size_t n = std::min(term.size(), kKeyBytes);
    uint64_t key = 0;
    for (size_t i = 0; i < n; ++i)
        key |= uint64_t{t[static_cast<unsigned char>(term[i])]} << (8 * (kKeyBytes - 1 - i));
    return key;
}

// A range this small is finished by insertion sort rather than by another counting pass.
constexpr size_t kSmallRange = 32;

// Sorts the items of from[first, last), whose keys agree above byte `byte` (counted from the
// most significant, 0..kKeyBytes-1), by key and stably: equal keys keep their input order. The
// sorted items end in to[first, last) when moveOver is true, else in from[first, last); the
// other buffer's range is scratch. One counting pass per byte splits the range into buckets
// moved to the other buffer, and only the buckets still large go on to the next byte, coming
// back: terms mostly differ within their first few bytes, so few items see more than three
// passes, and no pass copies its items back.
void sortByKey(TKeyedPosition* from, TKeyedPosition* to, size_t first, size_t last, size_t byte,
               bool moveOver) {
    while (last - first > kSmallRange && byte < kKeyBytes) {
        const int shift = static_cast<int>(8 * (kKeyBytes - 1 - byte));
        std::array<size_t, 257> start{};
        for (size_t k = first; k < last; ++k)
            ++start[((from[k].key >> shift) & 0xFF) + 1];
        if (std::find(start.begin() + 1, start.end(), last - first) != start.end()) {
            ++byte;  // one bucket holds them all: nothing to move at this byte
            continue;
        }
        start[0] = first;
        for (size_t v = 0; v < 256; ++v)
            start[v + 1] += start[v];
        std::array<size_t, 256> next;
        std::copy(start.begin(), start.end() - 1, next.begin());
        for (size_t k = first; k < last; ++k)
            to[next[(from[k].key >> shift) & 0xFF]++] = from[k];
        // The buckets now lie in `to`; each finishes where the caller wants this range.
        for (size_t v = 0; v < 256; ++v) {
            const size_t size = start[v + 1] - start[v];
            if (size > 1 || (size == 1 && !moveOver))
                sortByKey(to, from, start[v], start[v + 1], byte + 1, !moveOver);
        }
        return;
    }
    TKeyedPosition* items = from;
    if (moveOver) {
        std::copy(from + first, from + last, to + first);
        items = to;
    }
    // Insertion sort: stable, and quick on the few items left.
    for (size_t k = first + 1; k < last; ++k) {
        const TKeyedPosition item = items[k];
        size_t j = k;
        for (; j > first && items[j - 1].key > item.key; --j)
            items[j] = items[j - 1];
        items[j] = item;
    }
}

// The order of the terms by their bytes read through table t: upper-cased Windows-1251, or
// as they are for terms upper-cased already.
std::vector<uint32_t> upperOrderBy(size_t count,
                                   const std::function<std::string_view(size_t)>& termAt,
                                   const std::array<unsigned char, 256>& t) {
    // Keys are made in position order, so the stable sort leaves equal keys by position.
    std::vector<TKeyedPosition> items(count);
    // The terms' bytes lie scattered over memory, so each is fetched a few terms ahead of its
    // use, its view kept in a small ring till then: the misses then overlap instead of
    // following one another.
    constexpr size_t kAhead = 16;
    std::array<std::string_view, kAhead> ahead;
    for (size_t i = 0; i < std::min(count, kAhead); ++i) {
        ahead[i] = termAt(i);
        __builtin_prefetch(ahead[i].data());
    }
    for (size_t i = 0; i < count; ++i) {
        std::string_view& slot = ahead[i % kAhead];
        items[i] = {upperKey(slot, t), static_cast<int>(i)};
        if (i + kAhead < count) {
            slot = termAt(i + kAhead);
            __builtin_prefetch(slot.data());
        }
    }
    std::vector<TKeyedPosition> spare(items.size());
    sortByKey(items.data(), spare.data(), 0, items.size(), 0, false);

    std::vector<uint32_t> order(count);
    for (size_t k = 0; k < items.size(); ++k)
        order[k] = static_cast<uint32_t>(items[k].position);

    // Runs of equal keys are finished by comparing the whole terms; equal upper-cased terms
    // (never two in one dictionary) keep position order, so that the order is total and the
    // same on every build.
    auto less = [&termAt, &t](uint32_t a, uint32_t b) {
        const int c = compareUpper(termAt(a), termAt(b), t);
        return c != 0 ? c < 0 : a < b;
    };
    for (size_t from = 0; from < items.size();) {
        size_t to = from + 1;
        while (to < items.size() && items[to].key == items[from].key)
            ++to;
        if (to - from > 1)
            std::sort(order.begin() + static_cast<std::ptrdiff_t>(from),
                      order.begin() + static_cast<std::ptrdiff_t>(to), less);
        from = to;
    }
    return order;
}

}  // namespace

std::vector<uint32_t> upperOrder(size_t count,
                                 const std::function<std::string_view(size_t)>& termAt,
                                 TTextForm form) {
    if (form == TTextForm::Cp1251)
        return upperOrderBy(count, termAt, upperTable());
    // UTF-8 letters change their length as they change case, so the terms are upper-cased
    // once, into room of the sort's own, and ordered by those bytes as they are.
    std::string upper;
    std::vector<size_t> starts;
    starts.reserve(count + 1);
    for (size_t i = 0; i < count; ++i) {
        starts.push_back(upper.size());
        upper += upcase::utf8(termAt(i));
    }
    starts.push_back(upper.size());
    return upperOrderBy(
        count,
        [&](size_t i) {
            return std::string_view(upper.data() + starts[i], starts[i + 1] - starts[i]);
        },
        sameTable());
}

std::vector<uint32_t> minimumTree(const std::vector<uint32_t>& order) {
    const size_t n = order.size();
    std::vector<uint32_t> tree(2 * n, UINT32_MAX);
    std::copy(order.begin(), order.end(), tree.begin() + static_cast<std::ptrdiff_t>(n));
    for (size_t i = n; i-- > 1;)
        tree[i] = std::min(tree[2 * i], tree[2 * i + 1]);
    return tree;
}

void TPrefixSearch::build() {
    reset(dictionary_);  // whatever order was kept goes, the index's or one of its own
    if (dictionary_) {
        if (std::shared_ptr<const TTermFile> file = dictionary_->termFile()) {
            // A dictionary read through its index has the order made already.
            count_ = file->count();
            order_ = file->upperOrder();
            tree_ = file->minimumTree();
            termFile_ = std::move(file);
            built_ = true;
            return;
        }
        const TDictionary& dictionary = *dictionary_;
        ownOrder_ = upperOrder(
            static_cast<size_t>(dictionary.Count()),
            [&](size_t i) { return dictionary.Term(static_cast<int>(i)); }, dictionary.textForm());
    }
    buildTree();
    built_ = true;
}

void TPrefixSearch::buildTree() {
    ownTree_ = minimumTree(ownOrder_);
    count_ = ownOrder_.size();
    order_ = ownOrder_.data();
    tree_ = ownTree_.data();
}

int TPrefixSearch::rangeMinimum(size_t from, size_t to) const {
    uint32_t best = UINT32_MAX;
    for (size_t l = from + count_, r = to + count_; l < r; l >>= 1, r >>= 1) {
        if (l & 1)
            best = std::min(best, tree_[l++]);
        if (r & 1)
            best = std::min(best, tree_[--r]);
    }
    return static_cast<int>(best);
}

int TPrefixSearch::find(std::string_view prefix) {
    if (prefix.empty() || !dictionary_)
        return -1;
    if (!built_)
        build();
    if (count_ == 0)
        return -1;
    const std::string upperPrefix = utf8_ ? upcase::utf8(prefix) : upcase::text(prefix);
    const auto& table = utf8_ ? sameTable() : upperTable();
    std::string room;
    auto termAt = [&](size_t k) { return orderedTerm(k, room); };

    // Every term that begins with the prefix lies in one run [lo, end) of the byte order.
    size_t lo = 0;
    size_t hi = count_;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (comparePrefix(termAt(mid), upperPrefix, table) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    size_t end = lo;
    hi = count_;
    while (end < hi) {
        const size_t mid = end + (hi - end) / 2;
        if (comparePrefix(termAt(mid), upperPrefix, table) <= 0)
            end = mid + 1;
        else
            hi = mid;
    }
    if (lo == end)
        return -1;
    return rangeMinimum(lo, end);
}

std::string_view TPrefixSearch::orderedTerm(size_t k, std::string& room) const {
    const std::string_view term = dictionary_->Term(static_cast<int>(order_[k]));
    if (!utf8_)
        return term;
    room = upcase::utf8(term);
    return room;
}

void TPrefixSearch::termInserted(int position) {
    if (!built_)
        return;
    if (termFile_) {
        // The index's order is of the file; a changed dictionary gets an order of its own.
        reset(dictionary_);
        return;
    }
    for (uint32_t& p : ownOrder_) {
        if (p >= static_cast<uint32_t>(position))
            ++p;
    }
    const auto at =
        std::upper_bound(ownOrder_.begin(), ownOrder_.end(), static_cast<uint32_t>(position),
                         [this](uint32_t a, uint32_t b) { return lessUpper(a, b); });
    ownOrder_.insert(at, static_cast<uint32_t>(position));
    buildTree();
}

void TPrefixSearch::termRemoved(int position) {
    if (!built_)
        return;
    if (termFile_) {
        reset(dictionary_);
        return;
    }
    const auto at = std::find(ownOrder_.begin(), ownOrder_.end(), static_cast<uint32_t>(position));
    if (at != ownOrder_.end())
        ownOrder_.erase(at);
    for (uint32_t& p : ownOrder_) {
        if (p > static_cast<uint32_t>(position))
            --p;
    }
    buildTree();
}
