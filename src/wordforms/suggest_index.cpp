#include "wordforms/suggest_index.h"

#include <algorithm>
#include <numeric>

#include "platform/upcase.h"

namespace {

// The depth-first walk of one query. rows_[d] is the edit-distance row of the word against the
// first d letters of the path (prefix_), by the optimal string alignment distance, which counts
// a swap of neighbours as one edit.
class TWalk {
public:
    TWalk(const std::vector<std::string>& keys, std::string_view word, int maxDistance)
        : keys_(keys), word_(word), max_(maxDistance) {
        const size_t n = word_.size();
        rows_.emplace_back(n + 1);
        std::iota(rows_[0].begin(), rows_[0].end(), 0);
    }

    void run(std::vector<std::pair<int, size_t>>& found) {
        found_ = &found;
        visit(0, keys_.size(), 0);
    }

private:
    // keys_[lo, hi) all begin with prefix_ (depth letters), and rows_[depth] is its row.
    void visit(size_t lo, size_t hi, size_t depth) {
        const size_t n = word_.size();
        // The key that is the path itself sorts first.
        while (lo < hi && keys_[lo].size() == depth) {
            if (rows_[depth][n] <= max_)
                found_->emplace_back(rows_[depth][n], lo);
            ++lo;
        }
        if (rows_.size() <= depth + 1)
            rows_.emplace_back(n + 1);
        if (prefix_.size() <= depth)
            prefix_.resize(depth + 1);
        while (lo < hi) {
            const char c = keys_[lo][depth];
            const size_t end = static_cast<size_t>(
                std::partition_point(keys_.begin() + static_cast<std::ptrdiff_t>(lo),
                                     keys_.begin() + static_cast<std::ptrdiff_t>(hi),
                                     [&](const std::string& key) {
                                         return static_cast<unsigned char>(key[depth]) <=
                                                static_cast<unsigned char>(c);
                                     }) -
                keys_.begin());
            prefix_[depth] = c;
            if (step(depth, c) <= max_)
                visit(lo, end, depth + 1);
            lo = end;
        }
    }

    // Fills rows_[depth + 1] for the letter c after prefix_[0, depth) and gives its smallest
    // cell: no row below it can be smaller, so a branch is left when that exceeds the distance.
    int step(size_t depth, char c) {
        const std::vector<int>& above = rows_[depth];
        std::vector<int>& row = rows_[depth + 1];
        const size_t n = word_.size();
        row[0] = static_cast<int>(depth) + 1;
        int smallest = row[0];
        for (size_t j = 1; j <= n; ++j) {
            int cell = std::min(
                {row[j - 1] + 1, above[j] + 1, above[j - 1] + (word_[j - 1] == c ? 0 : 1)});
            if (depth >= 1 && j >= 2 && word_[j - 1] == prefix_[depth - 1] && word_[j - 2] == c)
                cell = std::min(cell, rows_[depth - 1][j - 2] + 1);
            row[j] = cell;
            smallest = std::min(smallest, cell);
        }
        return smallest;
    }

    const std::vector<std::string>& keys_;
    std::string_view word_;
    int max_;
    std::vector<std::vector<int>> rows_;
    std::string prefix_;
    std::vector<std::pair<int, size_t>>* found_ = nullptr;
};

}  // namespace

TSuggestIndex::TSuggestIndex(const std::vector<std::string>& terms) {
    std::vector<std::string> keys;
    keys.reserve(terms.size());
    for (const std::string& term : terms)
        keys.push_back(upcase::text(term));
    std::vector<int> order(terms.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return keys[static_cast<size_t>(a)] < keys[static_cast<size_t>(b)];
    });
    keys_.reserve(keys.size());
    terms_.reserve(keys.size());
    for (int i : order) {
        longest_ = std::max(longest_, keys[static_cast<size_t>(i)].size());
        keys_.push_back(std::move(keys[static_cast<size_t>(i)]));
        terms_.push_back(i);
    }
}

std::vector<TSuggestIndex::TNear> TSuggestIndex::near(std::string_view word, int maxDistance,
                                                      size_t limit) const {
    const std::string key = upcase::text(word);
    std::vector<std::pair<int, size_t>> found;
    // A word longer than every key by more than the distance has no near term; the walk would
    // still fill a row as long as the word at every node.
    if (key.size() <= longest_ + static_cast<size_t>(std::max(maxDistance, 0)))
        TWalk(keys_, key, maxDistance).run(found);
    const auto lengthGap = [&](size_t i) {
        const auto a = static_cast<std::ptrdiff_t>(keys_[i].size());
        const auto b = static_cast<std::ptrdiff_t>(key.size());
        return a > b ? a - b : b - a;
    };
    std::sort(found.begin(), found.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first)
            return a.first < b.first;
        if (lengthGap(a.second) != lengthGap(b.second))
            return lengthGap(a.second) < lengthGap(b.second);
        return a.second < b.second;
    });
    std::vector<TNear> out;
    for (const auto& [distance, i] : found) {
        if (out.size() >= limit)
            break;
        out.push_back({terms_[i], distance});
    }
    return out;
}
