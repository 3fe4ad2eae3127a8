#include "dictionary/term_index.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <numeric>
#include <vector>

#include "dictionary/file_format.h"
#include "dictionary/file_lookup.h"
#include "dictionary/prefix_search.h"
#include "dictionary/source.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "platform/file_stamp.h"
#include "platform/private_folder.h"

// The index's arrays are used in place, as the machine's own integers.
static_assert(std::endian::native == std::endian::little, "the term index is little-endian");

namespace {

// The index file, every integer little-endian:
//
//   magic "TrmvIdx" 0 (8 bytes), version (u32),
//   the file's stamp: device, inode, size (u64 each), modification seconds and nanoseconds,
//   status change seconds and nanoseconds (i64 each),
//   flags (u32: bit 0 provisional, bit 1 a source), the content check (u64; of a provisional
//   index only),
//   term count E, order name length L, the header texts' lengths (name, author, info), term
//   bytes T, the versions' length V, locator bytes C (u32 each),
//   the order name (L bytes), the plain-byte weights of that order (256 × u32, see
//   compare::plainWeights; all 0 when it has none), the header texts,
//   the versions (a source's: for each of its files, the path's length (u32), the path, and
//   its stamp as above; none for a dictionary file),
//   zero bytes to a multiple of 8,
//   the block checks: B × the checksum of each block of 4096 bytes of the arrays below (u64; the
//   last block may be shorter), then the checksum of all the bytes before it (u64),
//   the arrays:
//     E × the file offset of the term's record (u64); for a source, where the term's locators
//       start among the locator bytes (its list ends where the next one starts),
//     E + 1 × where the term's bytes start among the term bytes (u32; the last one is T),
//     E × the positions in the order of their upper-cased terms (u32),
//     2E × the minimum tree over them (u32; node 0 unused),
//     the term bytes (T),
//     the locator bytes (C; a source's only): each locator's length (u32) and bytes,
//     zero bytes to a multiple of 8,
//   and the checksum of all the bytes before it (u64).
//
// The window checks the whole index when it opens it, on the loading threads. A single look-up
// by the tool reads a few dozen of its blocks, and checks only those: the header and block
// checks at once, each block before its first use.
//
// Positions are in the dictionary's order and hold its distinct terms, the first of equal ones
// in file order, each cut at its first zero byte, exactly as loading the file keeps them. A
// source's terms are UTF-8, in the UTF-8 order, with the upper order of their UTF-8
// upper-casing; each has the locators of all its entries in the order the reader walked them.
//
// The stamp alone does not tell every version of a file apart: a rewrite in place within the
// file system's timestamp step keeps size, inode and both times. An index made while the
// file's times were that recent is provisional: it holds a checksum of the file's bytes, and
// is used only while the file still has them; once the times are old enough the index is
// written again as final. A large file that recent gets no index kept until it is older. The
// weights are part of what the index was made for, never a comparison to search with: the
// search always compares as the program does.
constexpr char kMagic[8] = {'T', 'r', 'm', 'v', 'I', 'd', 'x', 0};
constexpr uint32_t kVersion = 5;
constexpr size_t kStampSize = 7 * 8;
constexpr size_t kFlagsSize = 4 + 8;
constexpr size_t kFieldsAt = sizeof kMagic + 4 + kStampSize + kFlagsSize;
constexpr size_t kFieldCount = 8;
constexpr size_t kFixedSize = kFieldsAt + kFieldCount * 4;
constexpr uint32_t kProvisional = 1;
constexpr uint32_t kSource = 2;
// How recent a file's times may be for an index made from it to be only provisional: above
// the coarsest timestamp step of the usual file systems (two seconds), so that a later change
// is sure to give the file other times.
constexpr int64_t kRecentNanoseconds = int64_t{2'000'000'000} + 100'000'000;
// The largest file a provisional index is made for: its check reads the whole file, which for a
// larger one would cost more than the index saves (and a damaged one is not read whole).
constexpr size_t kProvisionalUpTo = size_t{64} << 20;
constexpr size_t kChecksumSize = 8;
constexpr size_t kMaxOrderName = 256;
constexpr size_t kWeightsSize = 256 * 4;
constexpr size_t kAlignment = 8;
constexpr size_t kBlock = 4096;

size_t aligned(size_t n) {
    return (n + kAlignment - 1) / kAlignment * kAlignment;
}

// Where each part of an index lies, from the counts in its header.
struct TLayout {
    size_t textsAt = 0;
    size_t blocksAt = 0;  // the block checks
    size_t blocks = 0;
    size_t headerCheckAt = 0;
    size_t arraysAt = 0;  // = the record offsets
    size_t startsAt = 0;
    size_t upperAt = 0;
    size_t treeAt = 0;
    size_t termsAt = 0;
    size_t locatorsAt = 0;
    size_t body = 0;  // where the closing checksum lies
    size_t size = 0;

    // texts: the header texts and the versions together.
    TLayout(size_t count, size_t orderLength, size_t texts, size_t termBytes, size_t locatorBytes) {
        textsAt = kFixedSize + orderLength + kWeightsSize;
        blocksAt = aligned(textsAt + texts);
        const size_t arrays =
            aligned(8 * count + 4 * (count + 1) + 4 * count + 8 * count + termBytes + locatorBytes);
        blocks = (arrays + kBlock - 1) / kBlock;
        headerCheckAt = blocksAt + 8 * blocks;
        arraysAt = headerCheckAt + kChecksumSize;
        startsAt = arraysAt + 8 * count;
        upperAt = startsAt + 4 * (count + 1);
        treeAt = upperAt + 4 * count;
        termsAt = treeAt + 8 * count;
        locatorsAt = termsAt + termBytes;
        body = arraysAt + arrays;
        size = body + kChecksumSize;
    }
};

uint32_t getU32(const char* p);
void putU32(std::string& out, uint32_t v);
uint64_t checksum(const char* data, size_t size);

// The layout of index bytes whose header has been checked.
TLayout layoutOf(const char* p) {
    const char* fields = p + kFieldsAt;
    return TLayout(getU32(fields), getU32(fields + 4),
                   size_t{getU32(fields + 8)} + getU32(fields + 12) + getU32(fields + 16) +
                       getU32(fields + 24),
                   getU32(fields + 20), getU32(fields + 28));
}

// Writes the checks of index bytes laid out as layout: each block's, the header's and the
// closing one.
void seal(std::string& bytes, const TLayout& layout) {
    for (size_t block = 0; block < layout.blocks; ++block) {
        const size_t from = layout.arraysAt + block * kBlock;
        const uint64_t sum = checksum(bytes.data() + from, std::min(kBlock, layout.body - from));
        std::memcpy(bytes.data() + layout.blocksAt + 8 * block, &sum, 8);
    }
    const uint64_t headerSum = checksum(bytes.data(), layout.headerCheckAt);
    std::memcpy(bytes.data() + layout.headerCheckAt, &headerSum, 8);
    const uint64_t sum = checksum(bytes.data(), layout.body);
    std::memcpy(bytes.data() + layout.body, &sum, 8);
}

// The dictionary's order: texts made only of plain bytes compare by a table of weights (the
// first differing weight, else the shorter first; see compare::plainWeights), any other by the
// general comparison. An index carries the table, so a look-up among plain terms never needs
// to open the collator.
class TOrder {
public:
    // weights: 256 entries, or null (the general comparison throughout).
    explicit TOrder(const uint32_t* weights) : weights_(weights) {}

    bool isPlain(std::string_view text) const {
        if (!weights_)
            return false;
        for (const char c : text) {
            if (weights_[static_cast<unsigned char>(c)] == 0)
                return false;
        }
        return true;
    }

    int compare(std::string_view a, std::string_view b) const {
        return isPlain(a) && isPlain(b) ? comparePlain(a, b) : compare::terms(a, b);
    }

    // Requires both texts plain. Identical bytes weigh the same, so the weights are looked at
    // only from the first differing byte on.
    int comparePlain(std::string_view a, std::string_view b) const {
        const size_t n = std::min(a.size(), b.size());
        size_t i = 0;
        while (i < n && a[i] == b[i])
            ++i;
        for (; i < n; ++i) {
            const uint32_t wa = weights_[static_cast<unsigned char>(a[i])];
            const uint32_t wb = weights_[static_cast<unsigned char>(b[i])];
            if (wa != wb)
                return wa < wb ? -1 : 1;
        }
        return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    }

private:
    const uint32_t* weights_;
};

void putU32(std::string& out, uint32_t v) {
    const size_t at = out.size();
    out.resize(at + 4);
    file_format::encodeInt32(out.data() + at, static_cast<int32_t>(v));
}

void putU64(std::string& out, uint64_t v) {
    putU32(out, static_cast<uint32_t>(v));
    putU32(out, static_cast<uint32_t>(v >> 32));
}

uint32_t getU32(const char* p) {
    return static_cast<uint32_t>(file_format::decodeInt32(p));
}

uint64_t getU64(const char* p) {
    return uint64_t{getU32(p)} | uint64_t{getU32(p + 4)} << 32;
}

// A 64-bit checksum: enough to tell a damaged or cut index from a whole one, and cheap next to
// reading it. Four lanes of eight bytes each, so the multiplications do not wait on each other.
uint64_t checksum(const char* data, size_t size) {
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    uint64_t lanes[4] = {size, size ^ 1, size ^ 2, size ^ 3};
    size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        for (int lane = 0; lane < 4; ++lane) {
            uint64_t word;
            std::memcpy(&word, data + i + 8 * lane, 8);
            lanes[lane] = (lanes[lane] ^ word) * kMultiplier;
            lanes[lane] ^= lanes[lane] >> 29;
        }
    }
    uint64_t h = lanes[0];
    for (int lane = 1; lane < 4; ++lane)
        h = (h ^ lanes[lane]) * kMultiplier;
    for (; i < size; ++i)
        h = (h ^ static_cast<unsigned char>(data[i])) * kMultiplier;
    return h ^ (h >> 32);
}

// What an index must have been made for: the file opened, as it was then.
std::string stampBytes(const TFileStamp& stamp, const struct timespec& changeTime) {
    std::string out;
    putU64(out, static_cast<uint64_t>(stamp.device));
    putU64(out, static_cast<uint64_t>(stamp.inode));
    putU64(out, static_cast<uint64_t>(stamp.size));
    putU64(out, static_cast<uint64_t>(stamp.modifiedSeconds));
    putU64(out, static_cast<uint64_t>(stamp.modifiedNanoseconds));
    putU64(out, static_cast<uint64_t>(changeTime.tv_sec));
    putU64(out, static_cast<uint64_t>(changeTime.tv_nsec));
    return out;
}

int64_t nanoseconds(int64_t seconds, int64_t nanoseconds) {
    return seconds * 1'000'000'000 + nanoseconds;
}

// Whether a change to a file now might leave it with the times it has: they are within the
// coarsest timestamp step of now (or ahead of it).
bool changedRecently(const TFileStamp& stamp, const struct timespec& changeTime) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int64_t latest = std::max(nanoseconds(stamp.modifiedSeconds, stamp.modifiedNanoseconds),
                                    nanoseconds(changeTime.tv_sec, changeTime.tv_nsec));
    return nanoseconds(now.tv_sec, now.tv_nsec) - latest < kRecentNanoseconds;
}

bool changedRecently(const file_format::TRecordStream& records) {
    return changedRecently(records.stamp(), records.changeTime());
}

// A checksum of the file's bytes as they are now; nothing when they cannot be read.
std::optional<uint64_t> contentCheck(const file_format::TRecordStream& records) {
    constexpr size_t kPiece = size_t{1} << 20;
    std::string piece(std::min(kPiece, records.fileSize()), '\0');
    uint64_t h = records.fileSize();
    for (size_t at = 0; at < records.fileSize(); at += piece.size()) {
        const size_t n = std::min(piece.size(), records.fileSize() - at);
        if (!records.readBytesAt(at, piece.data(), n))
            return std::nullopt;
        h = (h ^ checksum(piece.data(), n)) * 0x9E3779B97F4A7C15ull;
    }
    return h;
}

// The index file's name for the dictionary at path: made from the file's full path, so a fresh
// index replaces the one before it. "" when the path cannot be resolved.
std::string indexNameOf(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return {};
    const std::string full(resolved);
    std::free(resolved);
    uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
    for (unsigned char c : full)
        h = (h ^ c) * 0x100000001B3ull;
    char name[32];
    std::snprintf(name, sizeof name, "lookup-%016llx.idx", static_cast<unsigned long long>(h));
    return name;
}

// Whether the 256 weights at p (little-endian u32) are the program's own plain-byte weights.
bool sameWeights(const char* p) {
    const uint32_t* own = compare::plainWeights();
    for (size_t i = 0; i < 256; ++i) {
        if (getU32(p + 4 * i) != (own ? own[i] : 0))
            return false;
    }
    return true;
}

// Whether each term of the walk comes after the one before it, at a few byte looks per term.
// A file in order has neighbours that share long beginnings; where the general comparison
// would weigh both texts in full, this skips the bytes both share and weighs from the first
// that differs, and it checks bytes for being plain only as far as a comparison needs them,
// remembering how far the term before was found plain. Texts made only of plain bytes order by
// the first differing weight, and the first primary weights that differ decide whatever
// follows, so a plain beginning up to that point is all it takes; any other case takes the
// general comparison. The walk visits every term, so each nanosecond here shows.
class TNeighbourOrder {
public:
    // Negative, zero or positive as previous (the term given to the call before, its bytes
    // as they were) sorts before, equal to or after value; negative for the first term.
    int next(std::string_view previous, std::string_view value) {
        int order = -1;
        size_t valuePlainTo = 0;
        if (!first_) {
            order = weights_ ? compareTo(previous, value, valuePlainTo)
                             : compare::terms(previous, value);
        }
        first_ = false;
        previousPlainTo_ = valuePlainTo;
        return order;
    }

private:
    bool plain(char c) const { return weights_[static_cast<unsigned char>(c)] != 0; }

    // How many bytes a and b share at their start, looking at most at n; eight at a time.
    // The walk lets kReadableTerm bytes be read from the start of every term, so a short pair
    // takes whole words and no byte loop.
    static size_t sharedLength(const char* a, const char* b, size_t n) {
        constexpr size_t kReadable = file_format::TRecordStream::kReadableTerm;
        if (n <= kReadable) {
            for (size_t i = 0; i < kReadable; i += 8) {
                uint64_t x;
                uint64_t y;
                std::memcpy(&x, a + i, 8);
                std::memcpy(&y, b + i, 8);
                if (x != y)
                    return std::min(n, i + static_cast<size_t>(std::countr_zero(x ^ y)) / 8);
            }
            return n;
        }
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t x;
            uint64_t y;
            std::memcpy(&x, a + i, 8);
            std::memcpy(&y, b + i, 8);
            if (x != y)
                return i + static_cast<size_t>(std::countr_zero(x ^ y)) / 8;
        }
        while (i < n && a[i] == b[i])
            ++i;
        return i;
    }

    // Whether the previous term's bytes [0, end) are all plain, extending what is known.
    bool previousPlainTo(std::string_view before, size_t end) {
        while (previousPlainTo_ < end && plain(before[previousPlainTo_]))
            ++previousPlainTo_;
        return previousPlainTo_ >= end;
    }

    // The order of the previous term and value; valuePlainTo gets how far value is known plain.
    int compareTo(std::string_view before, std::string_view value, size_t& valuePlainTo) {
        const size_t n = std::min(before.size(), value.size());
        const size_t i = sharedLength(before.data(), value.data(), n);
        // The shared bytes are as plain as the previous term's.
        const bool sharedPlain = previousPlainTo(before, i);
        valuePlainTo = std::min(i, previousPlainTo_);
        if (sharedPlain) {
            for (size_t k = i; k < n; ++k) {
                if (!plain(before[k]) || !plain(value[k]))
                    return compare::terms(before, value);
                valuePlainTo = k + 1;
                const uint32_t a = weights_[static_cast<unsigned char>(before[k])];
                const uint32_t b = weights_[static_cast<unsigned char>(value[k])];
                if (a != b)
                    return a < b ? -1 : 1;
            }
            // One begins with the other: the longer is after it only when its rest is plain
            // too (a rest of ignorable characters would make them equal).
            if (value.size() > n) {
                size_t k = n;
                while (k < value.size() && plain(value[k]))
                    ++k;
                valuePlainTo = k;
                if (k == value.size())
                    return -1;
            } else if (previousPlainTo(before, before.size())) {
                return before.size() > n ? 1 : 0;
            }
        }
        return compare::terms(before, value);
    }

    const uint32_t* weights_ = compare::plainWeights();
    size_t previousPlainTo_ = 0;
    bool first_ = true;
};

// The terms of a file as loading keeps them, in the dictionary's order: where each record
// starts, and the values one after another.
struct TWalked {
    std::string name;
    std::string author;
    std::string info;
    std::vector<uint64_t> offsets;
    std::vector<uint32_t> starts{0};  // one more than offsets: the end of the last value
    std::string terms;
    // A source's: its files' versions (as the index holds them), and its terms' locators
    // (offsets then say where each term's list starts among them).
    bool source = false;
    std::string versions;
    std::string locators;

    size_t count() const { return offsets.size(); }
    std::string_view term(size_t i) const {
        return {terms.data() + starts[i], starts[i + 1] - starts[i]};
    }
    // Appends a term; false when the term bytes would outgrow what the index can address.
    bool add(uint64_t offset, std::string_view value) {
        if (value.size() > UINT32_MAX - terms.size())
            return false;
        offsets.push_back(offset);
        terms.append(value);
        starts.push_back(static_cast<uint32_t>(terms.size()));
        return true;
    }
};

// Terms in the dictionary's order: sorted once by collation key, a byte comparison far cheaper
// than pairwise collation, stably, so equal keys keep the order the terms came in.
struct TKeyOrder {
    std::string keys;
    std::vector<size_t> starts;       // one more than the terms: the end of the last key
    std::vector<uint32_t> positions;  // the terms' positions in the order

    std::string_view key(size_t i) const {
        return std::string_view(keys.data() + starts[i], starts[i + 1] - starts[i]);
    }
    // Whether the k-th in order is the first of its term, not equal to the one before.
    bool first(size_t k) const { return k == 0 || key(positions[k]) != key(positions[k - 1]); }
};

// The order of n terms (term(i) the i-th, in the text form given); progress, when given, may
// cancel the making of the keys.
template <typename TTermOf>
TKeyOrder keyOrder(size_t n, const TTermOf& term, TTextForm form, TIndexProgress* progress) {
    TKeyOrder sorted;
    sorted.starts.resize(n + 1);
    for (size_t i = 0; i < n; ++i) {
        sorted.starts[i] = sorted.keys.size();
        if (form == TTextForm::Utf8)
            compare::appendSortKeyUtf8(term(i), sorted.keys);
        else
            compare::appendSortKey(term(i), sorted.keys);
        if (progress && i % 4096 == 0 && progress->cancel)
            throw TIndexCancelled("Index cancelled");
    }
    sorted.starts[n] = sorted.keys.size();
    sorted.positions.resize(n);
    std::iota(sorted.positions.begin(), sorted.positions.end(), 0u);
    std::stable_sort(sorted.positions.begin(), sorted.positions.end(),
                     [&](uint32_t a, uint32_t b) { return sorted.key(a) < sorted.key(b); });
    return sorted;
}

// Puts the walked terms in the dictionary's order, keeping the first of equal terms in file
// order.
void sortWalked(TWalked& walked) {
    const size_t n = walked.count();
    const TKeyOrder order = keyOrder(
        n, [&](size_t i) { return walked.term(i); }, TTextForm::Cp1251, nullptr);
    TWalked sorted;
    sorted.offsets.reserve(n);
    sorted.terms.reserve(walked.terms.size());
    for (size_t k = 0; k < n; ++k) {
        if (order.first(k))
            sorted.add(walked.offsets[order.positions[k]], walked.term(order.positions[k]));
    }
    walked.offsets = std::move(sorted.offsets);
    walked.starts = std::move(sorted.starts);
    walked.terms = std::move(sorted.terms);
}

// Walks the whole file from its start, as loading does, keeping every term and where it lies.
// Raises TError("Stream read error") on short or bad data; false when the terms are too many
// bytes for an index. A file the program saved is already in order, which one comparison per
// term confirms; only a file that is not gets sorted.
bool walkFile(file_format::TRecordStream& records, TWalked& walked, TIndexProgress* progress) {
    const int32_t count = file_format::readHeader(records, walked.name, walked.author, walked.info);
    if (progress)
        progress->total = records.fileSize();
    if (count > 0)
        walked.offsets.reserve(std::min(static_cast<size_t>(count), records.fileSize() / 8));
    bool ordered = true;
    bool fits = true;
    TNeighbourOrder neighbours;
    // The term before: the walk keeps it until the next term has been seen.
    std::string_view previous;
    size_t entry = 0;
    const bool whole = records.walkTerms(count, [&](size_t offset, std::string_view value) {
        const int order = neighbours.next(previous, value);
        previous = value;
        if (progress && ++entry % 4096 == 0) {
            progress->done = offset;
            if (progress->cancel)
                throw TIndexCancelled("Index cancelled");
        }
        // An equal neighbour is a later copy of a term: the first one stays.
        if (order == 0 && ordered && walked.count() > 0)
            return;
        ordered = ordered && order < 0;
        fits = fits && walked.add(offset, value);
    });
    if (!whole)
        file_format::throwShortData();
    if (!fits)
        return false;
    if (!ordered)
        sortWalked(walked);
    if (progress)
        progress->done = records.fileSize();
    return true;
}

// The index bytes for the walked file: header, arrays and checksum.
std::string indexBytes(const TWalked& walked, const TFileStamp& stamp,
                       const struct timespec& changeTime, std::optional<uint64_t> content) {
    const std::string order = compare::orderName();
    const size_t count = walked.count();
    const std::vector<uint32_t> upper = upperOrder(
        count, [&](size_t i) { return walked.term(i); },
        walked.source ? TTextForm::Utf8 : TTextForm::Cp1251);
    const std::vector<uint32_t> tree = minimumTree(upper);

    std::string bytes(kMagic, sizeof kMagic);
    putU32(bytes, kVersion);
    bytes += stampBytes(stamp, changeTime);
    putU32(bytes, (content ? kProvisional : 0) | (walked.source ? kSource : 0));
    putU64(bytes, content.value_or(0));
    for (const size_t field :
         {count, order.size(), walked.name.size(), walked.author.size(), walked.info.size(),
          walked.terms.size(), walked.versions.size(), walked.locators.size()})
        putU32(bytes, static_cast<uint32_t>(field));
    bytes += order;
    const uint32_t* weights = compare::plainWeights();
    for (size_t i = 0; i < 256; ++i)
        putU32(bytes, weights ? weights[i] : 0);
    bytes += walked.name;
    bytes += walked.author;
    bytes += walked.info;
    bytes += walked.versions;
    const TLayout layout(
        count, order.size(),
        walked.name.size() + walked.author.size() + walked.info.size() + walked.versions.size(),
        walked.terms.size(), walked.locators.size());
    bytes.resize(layout.size);
    char* at = bytes.data() + layout.arraysAt;
    for (const uint64_t offset : walked.offsets) {
        std::memcpy(at, &offset, 8);
        at += 8;
    }
    for (const std::vector<uint32_t>* array : {&walked.starts, &upper, &tree}) {
        if (array->empty())
            continue;  // an empty dictionary's arrays have no data to copy
        std::memcpy(at, array->data(), 4 * array->size());
        at += 4 * array->size();
    }
    std::memcpy(at, walked.terms.data(), walked.terms.size());
    at += walked.terms.size();
    std::memcpy(at, walked.locators.data(), walked.locators.size());
    seal(bytes, layout);
    return bytes;
}

// An open folder descriptor, closed at the end of its scope.
struct TFolder {
    int fd = -1;
    ~TFolder() {
        if (fd >= 0)
            ::close(fd);
    }
};

[[noreturn]] void throwChanged(const std::string& path) {
    throw TDictionaryChanged(formatMessage(error_text::kFileChanged, path));
}

// The file at path as it is now (links followed), or nothing when it cannot be examined.
std::optional<TFileVersion> versionOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return TFileVersion{path, file_stamp::fromStat(info), info.st_ctim};
}

bool sameVersion(const TFileVersion& a, const TFileVersion& b) {
    return a.stamp == b.stamp && a.changeTime.tv_sec == b.changeTime.tv_sec &&
           a.changeTime.tv_nsec == b.changeTime.tv_nsec;
}

// The first file that is no longer the version seen, or null.
const TFileVersion* firstChanged(const std::vector<TFileVersion>& versions) {
    for (const TFileVersion& seen : versions) {
        const std::optional<TFileVersion> now = versionOf(seen.path);
        if (!now || !sameVersion(*now, seen))
            return &seen;
    }
    return nullptr;
}

bool unchangedVersions(const std::vector<TFileVersion>& versions) {
    return firstChanged(versions) == nullptr;
}

// The versions as the index holds them: each path's length, the path and its stamp.
std::string versionsBytes(const std::vector<TFileVersion>& versions) {
    std::string out;
    for (const TFileVersion& version : versions) {
        putU32(out, static_cast<uint32_t>(version.path.size()));
        out += version.path;
        out += stampBytes(version.stamp, version.changeTime);
    }
    return out;
}

bool changedRecently(const std::vector<TFileVersion>& versions) {
    return std::ranges::any_of(versions, [](const TFileVersion& version) {
        return changedRecently(version.stamp, version.changeTime);
    });
}

// A checksum of the bytes of all the files, each read while it is still the version seen;
// nothing when one cannot be read, is another version, or they are too large to read for it.
// The check is made file by file in order, from versions[from] on, into h: the files a reader
// names only after its walk are added to the check of those it named before.
bool addContents(const std::vector<TFileVersion>& versions, size_t from, uint64_t& h) {
    uint64_t total = 0;
    for (const TFileVersion& version : versions)
        total += static_cast<uint64_t>(version.stamp.size);
    if (total > kProvisionalUpTo)
        return false;
    std::string piece(size_t{1} << 20, '\0');
    for (size_t i = from; i < versions.size(); ++i) {
        const TFileVersion& version = versions[i];
        const int fd = ::open(version.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat info {};
        bool whole = ::fstat(fd, &info) == 0 && file_stamp::fromStat(info) == version.stamp;
        uint64_t read = 0;
        while (whole) {
            const ssize_t n = ::read(fd, piece.data(), piece.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                whole = n == 0 && read == static_cast<uint64_t>(version.stamp.size);
                break;
            }
            read += static_cast<uint64_t>(n);
            h = (h ^ checksum(piece.data(), static_cast<size_t>(n))) * 0x9E3779B97F4A7C15ull;
        }
        ::close(fd);
        if (!whole)
            return false;
        h = (h ^ static_cast<uint64_t>(version.stamp.size)) * 0x9E3779B97F4A7C15ull;
    }
    return true;
}

std::optional<uint64_t> sourceContentCheck(const std::vector<TFileVersion>& versions) {
    uint64_t h = 0;
    if (!addContents(versions, 0, h))
        return std::nullopt;
    return h;
}

// Reads the versions an index holds (see versionsBytes) into versions when they begin with the
// files named (as they are now) and every other file they name is still the version held.
bool storedVersions(std::string_view bytes, const std::vector<TFileVersion>& named,
                    std::vector<TFileVersion>& versions) {
    versions.clear();
    while (!bytes.empty()) {
        if (bytes.size() < 4)
            return false;
        const size_t length = getU32(bytes.data());
        if (length > bytes.size() - 4 || bytes.size() - 4 - length < kStampSize)
            return false;
        const std::string path(bytes.substr(4, length));
        const std::string_view stamp = bytes.substr(4 + length, kStampSize);
        bytes.remove_prefix(4 + length + kStampSize);
        const size_t i = versions.size();
        std::optional<TFileVersion> now;
        if (i < named.size()) {
            if (named[i].path != path)
                return false;
            now = named[i];
        } else {
            now = versionOf(path);
        }
        if (!now || stampBytes(now->stamp, now->changeTime) != stamp)
            return false;
        versions.push_back(std::move(*now));
    }
    return versions.size() >= named.size() && !versions.empty();
}

// Walks a source, keeping its terms in the UTF-8 order: each distinct term once, as its first
// entry in the walk wrote it, with the locators of all its entries in walk order. Entries are
// sorted once by collation key, stably, so equal terms keep their walk order. Raises what the
// reader raises; false when the terms or locators are too many bytes for an index.
bool walkSource(TSourceReader& reader, TWalked& walked, TIndexProgress* progress) {
    std::string terms;
    std::vector<size_t> termStart{0};
    std::string locators;
    std::vector<size_t> locatorStart{0};
    std::string tidy;
    const TSourceReader::THeader header = reader.walk(
        [&](std::string_view headword, std::string_view locator) {
            tidy.assign(headword);
            tidyHeadword(tidy);
            if (tidy.empty())
                return;
            terms += tidy;
            termStart.push_back(terms.size());
            locators += locator;
            locatorStart.push_back(locators.size());
        },
        progress);
    walked.name = header.name;
    walked.author = header.author;
    // The description's lines end in CR LF, as the program's own dialog writes them (and the
    // converters too).
    walked.info = withCrLf(header.info);
    const size_t n = termStart.size() - 1;
    auto term = [&](size_t i) {
        return std::string_view(terms.data() + termStart[i], termStart[i + 1] - termStart[i]);
    };
    const TKeyOrder order = keyOrder(n, term, TTextForm::Utf8, progress);
    walked.source = true;
    walked.offsets.reserve(n);
    for (size_t k = 0; k < n; ++k) {
        const uint32_t i = order.positions[k];
        if (order.first(k)) {
            if (!walked.add(walked.locators.size(), term(i)))
                return false;
        }
        const size_t length = locatorStart[i + 1] - locatorStart[i];
        if (length > UINT32_MAX - 4 || walked.locators.size() > UINT32_MAX - 4 - length)
            return false;
        putU32(walked.locators, static_cast<uint32_t>(length));
        walked.locators.append(locators, locatorStart[i], length);
    }
    return true;
}

// Writes a provisional index of size bytes at p again as final, into the file name of the
// cache folder: the same bytes with the provisional flag and the content check cleared.
void rewriteAsFinal(const char* p, size_t size, int folder, const std::string& name) {
    std::string final(p, size);
    std::string flags;
    putU32(flags, getU32(p + 12 + kStampSize) & ~kProvisional);
    flags.append(8, '\0');
    final.replace(12 + kStampSize, kFlagsSize, flags);
    seal(final, layoutOf(final.data()));
    (void)private_folder::replaceFile(folder, name, final.data(), final.size());
}

}  // namespace

// The index's bytes: a read-only mapping of the index file, or bytes made in memory.
struct TTermFile::TBytes {
    void* mapped = MAP_FAILED;
    size_t size = 0;
    std::string memory;

    const char* data() const {
        return mapped != MAP_FAILED ? static_cast<const char*>(mapped) : memory.data();
    }
    ~TBytes() {
        if (mapped != MAP_FAILED)
            ::munmap(mapped, size);
    }
};

TTermFile::TTermFile() = default;

TTermFile::~TTermFile() = default;

bool TTermFile::adopt(std::shared_ptr<TBytes> bytes, bool checkContent, TTrust trust) {
    const char* p = bytes->data();
    const size_t size = bytes->size;
    if (size < kFixedSize + kWeightsSize + kChecksumSize ||
        std::memcmp(p, kMagic, sizeof kMagic) != 0 || getU32(p + 8) != kVersion ||
        std::memcmp(p + 12, stampBytes(stamp_, changeTime_).data(), kStampSize) != 0)
        return false;
    const char* fields = p + kFieldsAt;
    const size_t count = getU32(fields);
    const size_t orderLength = getU32(fields + 4);
    const size_t header[3] = {getU32(fields + 8), getU32(fields + 12), getU32(fields + 16)};
    const size_t termBytes = getU32(fields + 20);
    const size_t versionsLength = getU32(fields + 24);
    const size_t locatorBytes = getU32(fields + 28);
    const char* flags = p + 12 + kStampSize;
    const bool source = isSource();
    if (((getU32(flags) & kSource) != 0) != source || (!source && versionsLength != 0) ||
        orderLength > kMaxOrderName)
        return false;
    const auto fileSize = static_cast<uint64_t>(stamp_.size);
    if (source) {
        // Each term has at least one locator, of at least its length's four bytes.
        if (count > locatorBytes / 4)
            return false;
    } else if (count > fileSize / 8 + 1 || termBytes > fileSize || locatorBytes != 0 ||
               uint64_t{header[0]} + header[1] + header[2] > fileSize) {
        // Every entry takes at least eight bytes of the file, and a term's value lies within
        // it.
        return false;
    }
    const TLayout layout(count, orderLength, header[0] + header[1] + header[2] + versionsLength,
                         termBytes, locatorBytes);
    const char* texts = p + layout.textsAt;
    if (size != layout.size ||
        std::string_view(p + kFixedSize, orderLength) != compare::orderName() ||
        !sameWeights(p + kFixedSize + orderLength) ||
        getU64(p + layout.headerCheckAt) != checksum(p, layout.headerCheckAt))
        return false;
    // A source's index holds for the versions of all its files: those the reader named before
    // its walk, first, and those it named only after (files it found it includes). An index
    // just made holds exactly the versions it was made from.
    const std::string_view versionBytes(texts + header[0] + header[1] + header[2], versionsLength);
    std::vector<TFileVersion> versions;
    if (source) {
        if (trust == TTrust::Made) {
            if (versionBytes != versionBytes_)
                return false;
            versions = versions_;
        } else if (!storedVersions(versionBytes, versions_, versions)) {
            return false;
        }
    }
    const char* starts = p + layout.startsAt;
    const auto* upper = reinterpret_cast<const uint32_t*>(p + layout.upperAt);
    const auto* tree = reinterpret_cast<const uint32_t*>(p + layout.treeAt);
    if (trust == TTrust::Whole) {
        if (getU64(p + layout.body) != checksum(p, layout.body))
            return false;
        // Whatever the checksum says, no value may lead a read outside the index or the file.
        uint32_t before = 0;
        for (size_t i = 0; i <= count; ++i) {
            const uint32_t start = getU32(starts + 4 * i);
            if (start < before || start > termBytes || (i == 0 && start != 0))
                return false;
            before = start;
        }
        if (before != termBytes)
            return false;
        for (size_t i = 0; i < count; ++i) {
            const uint64_t offset = getU64(p + layout.arraysAt + 8 * i);
            // A source's lists start at 0, each after the one before and within the locators.
            const bool inside =
                source ? offset < locatorBytes &&
                             (i == 0 ? offset == 0
                                     : offset > getU64(p + layout.arraysAt + 8 * (i - 1)))
                       : offset + 8 <= fileSize;
            if (upper[i] >= count || tree[count + i] >= count || !inside)
                return false;
        }
        for (size_t i = 1; i < count; ++i) {
            if (tree[i] >= count)
                return false;
        }
    } else if (trust == TTrust::OnUse) {
        blocks_ = p + layout.blocksAt;
        arrays_ = p + layout.arraysAt;
        arraysEnd_ = p + layout.body;
        checked_.assign(layout.blocks, 0);
    }
    if (checkContent && (getU32(flags) & kProvisional) != 0) {
        // Only while the file still has the bytes it was made from.
        if (source) {
            if (sourceContentCheck(versions) != getU64(flags + 4))
                return false;
        } else {
            const file_format::TRecordStream records(path_);
            if (!(records.stamp() == stamp_) || contentCheck(records) != getU64(flags + 4))
                return false;
        }
    }
    name_.assign(texts, header[0]);
    author_.assign(texts + header[0], header[1]);
    info_.assign(texts + header[0] + header[1], header[2]);
    count_ = count;
    records_ = p + layout.arraysAt;
    termStart_ = starts;
    upperOrder_ = upper;
    tree_ = tree;
    terms_ = p + layout.termsAt;
    termBytes_ = termBytes;
    locators_ = p + layout.locatorsAt;
    locatorBytes_ = locatorBytes;
    if (source) {
        versions_ = std::move(versions);
        versionBytes_.assign(versionBytes);
    }
    // The checks above read every page; only those the window reads later need stay resident.
    if (trust == TTrust::Whole && bytes->mapped != MAP_FAILED)
        ::madvise(bytes->mapped, bytes->size, MADV_DONTNEED);
    bytes_ = std::move(bytes);
    return true;
}

std::shared_ptr<TTermFile> TTermFile::takeMade(
    std::shared_ptr<TTermFile> file, std::shared_ptr<TBytes> bytes, bool keep, int folder,
    const std::string& name, uint64_t largest,
    const std::function<std::shared_ptr<TTermFile>()>& fresh) {
    // The index tells which terms a dictionary holds, so only its owner may read it; a torn
    // index fails its checksum and is made again, so there is no need to wait for the disk.
    if (keep && private_folder::replaceFile(folder, name, bytes->memory.data(), bytes->size)) {
        std::shared_ptr<TTermFile> mapped = fresh();
        if (mapped->adoptCached(folder, name, largest, false, TTrust::Made))
            return mapped;
    }
    if (!file->adopt(std::move(bytes), false, TTrust::Made))
        file_format::throwShortData();
    return file;
}

bool TTermFile::adoptCached(int folder, const std::string& name, uint64_t largest,
                            bool checkContent, TTrust trust) {
    struct stat info {};
    const int fd = private_folder::openOwnFile(folder, name, info);
    if (fd < 0)
        return false;
    auto bytes = std::make_shared<TBytes>();
    if (info.st_size > 0 && static_cast<uint64_t>(info.st_size) <= largest &&
        static_cast<uint64_t>(info.st_size) <= SIZE_MAX) {
        bytes->size = static_cast<size_t>(info.st_size);
        bytes->mapped = ::mmap(nullptr, bytes->size, PROT_READ, MAP_PRIVATE, fd, 0);
    }
    ::close(fd);
    return bytes->mapped != MAP_FAILED && adopt(std::move(bytes), checkContent, trust);
}

std::shared_ptr<const TTermFile> TTermFile::open(const std::string& path, const std::string& folder,
                                                 TOpen how, TIndexProgress* progress,
                                                 std::string* refusedFolder, TCheck check) {
    // A dictionary of another format is read in place through its reader.
    if (const TSourceOpener& opener = sourceOpener()) {
        if (std::unique_ptr<TSourceReader> reader = opener(path))
            return openSource(std::move(reader), path, folder, how, progress, refusedFolder);
    }
    // One opening of the file serves both ways: the index is checked against its stamp, and an
    // index that cannot be used is made from the same file.
    file_format::TRecordStream records(path);
    // An index of the file as opened, with no bytes yet.
    auto unfilled = [&] {
        std::shared_ptr<TTermFile> file(new TTermFile);
        file->path_ = path;
        file->stamp_ = records.stamp();
        file->changeTime_ = records.changeTime();
        return file;
    };
    std::shared_ptr<TTermFile> file = unfilled();
    TFolder cache;
    const std::string name = folder.empty() ? std::string() : indexNameOf(path);
    if (!name.empty())
        cache.fd = private_folder::openOwn(folder, refusedFolder);

    // No index is larger than this: per entry of eight file bytes at most 32 bytes of arrays,
    // and texts no longer than the file.
    const uint64_t largest = kFixedSize + kMaxOrderName + kWeightsSize + 2 * kAlignment +
                             kChecksumSize + 4 + 5 * static_cast<uint64_t>(records.fileSize());

    const TTrust trust = check == TCheck::Whole ? TTrust::Whole : TTrust::OnUse;
    if (cache.fd >= 0 && how != TOpen::Made &&
        file->adoptCached(cache.fd, name, largest, true, trust)) {
        file->fromCache_ = true;
        // Once the file's times are old enough to change with any change, a provisional index
        // is written again as final: the same bytes with the flag cleared.
        const char* p = file->bytes_->data();
        if ((getU32(p + 12 + kStampSize) & kProvisional) != 0 && !changedRecently(records) &&
            records.unchanged())
            rewriteAsFinal(p, file->bytes_->size, cache.fd, name);
        return file;
    }
    if (how == TOpen::Cached)
        return nullptr;

    // The content check is taken before the walk: a change in between then shows as a
    // mismatch, never as a check that matches offsets of other bytes.
    std::optional<uint64_t> content;
    bool keep = cache.fd >= 0;
    if (keep && changedRecently(records)) {
        if (records.fileSize() <= kProvisionalUpTo)
            content = contentCheck(records);
        keep = content.has_value();
    }
    TWalked walked;
    if (!walkFile(records, walked, progress))
        return nullptr;
    auto bytes = std::make_shared<TBytes>();
    bytes->memory = indexBytes(walked, file->stamp_, file->changeTime_, content);
    bytes->size = bytes->memory.size();
    // A file that changed during the walk gets no index kept; the one made serves until the
    // first article read finds the change.
    return takeMade(std::move(file), std::move(bytes), keep && records.unchanged(), cache.fd, name,
                    largest, unfilled);
}

void TTermFile::checkUse(const char* from, size_t n) const {
    if (n == 0)
        return;
    const size_t first = static_cast<size_t>(from - arrays_) / kBlock;
    const size_t last = static_cast<size_t>(from + n - 1 - arrays_) / kBlock;
    for (size_t block = first; block <= last; ++block) {
        if (checked_[block])
            continue;
        const char* at = arrays_ + block * kBlock;
        const size_t size = std::min(kBlock, static_cast<size_t>(arraysEnd_ - at));
        if (checksum(at, size) != getU64(blocks_ + 8 * block))
            throwChanged(path_);
        checked_[block] = 1;
    }
}

std::string_view TTermFile::term(size_t position) const {
    if (position >= count_)
        return {};
    if (!checked_.empty())
        checkUse(termStart_ + 4 * position, 8);
    const uint32_t start = getU32(termStart_ + 4 * position);
    const uint32_t end = getU32(termStart_ + 4 * (position + 1));
    if (start > end || end > termBytes_)
        throwChanged(path_);
    if (!checked_.empty())
        checkUse(terms_ + start, end - start);
    return {terms_ + start, end - start};
}

uint64_t TTermFile::recordOffset(size_t position) const {
    if (!checked_.empty())
        checkUse(records_ + 8 * position, 8);
    return getU64(records_ + 8 * position);
}

size_t TTermFile::lowerBound(std::string_view term, bool& found) const {
    const TOrder order(compare::plainWeights());
    const bool utf8 = isSource();
    auto compareTerms = [&](std::string_view a, std::string_view b) {
        return utf8 ? compare::termsUtf8(a, b) : order.compare(a, b);
    };
    size_t low = 0;
    size_t high = count_;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (compareTerms(this->term(middle), term) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    found = low < count_ && compareTerms(this->term(low), term) == 0;
    return low;
}

bool TTermFile::readRecord(size_t offset, std::string& value, size_t& next) const {
    // Records read one after another (a search through every article) mostly lie in the bytes
    // read last: one read of the file then serves many of them.
    constexpr size_t kWindow = size_t{64} << 10;
    const size_t fileSize = file_->fileSize();
    auto inWindow = [&](size_t at, size_t n) {
        return at >= windowAt_ && at - windowAt_ <= window_.size() &&
               n <= window_.size() - (at - windowAt_);
    };
    if (!inWindow(offset, file_format::kIntSize)) {
        if (offset >= fileSize)
            return false;
        // Each fresh read makes sure the file is still the version indexed.
        if (!file_->unchanged())
            throwChanged(path_);
        window_.resize(std::min(kWindow, fileSize - offset));
        windowAt_ = offset;
        if (!file_->readBytesAt(offset, window_.data(), window_.size())) {
            window_.clear();
            return false;
        }
    }
    char lengthBytes[file_format::kIntSize];
    std::memcpy(lengthBytes, window_.data() + (offset - windowAt_), sizeof lengthBytes);
    keystream::unscrambleShort(lengthBytes, sizeof lengthBytes, offset);
    const int32_t length = file_format::decodeInt32(lengthBytes);
    const size_t at = offset + file_format::kIntSize;
    if (length < 0 || static_cast<size_t>(length) > fileSize - at)
        return false;
    if (!inWindow(at, static_cast<size_t>(length)))
        return file_->readRecordAt(offset, value, next);
    value.assign(window_.data() + (at - windowAt_), static_cast<size_t>(length));
    keystream::unscrambleFrom(value.data(), value.size(), at);
    value.resize(file_format::recordValue(value.data(), value.size()).size());
    next = at + static_cast<size_t>(length);
    return true;
}

std::string TTermFile::article(size_t position) const {
    if (position >= count_)
        throwChanged(path_);
    if (isSource())
        return sourceArticle(position);
    const std::lock_guard<std::mutex> lock(reading_);
    // The file stays open between reads: a replacement by rename leaves these reads on the
    // version indexed (fileChanged tells of it), and a write in place shows in its stamp.
    if (!file_) {
        try {
            file_ = std::make_unique<file_format::TRecordStream>(path_);
        } catch (const TError&) {
            throwChanged(path_);  // gone, or no longer a file that can be read
        }
        if (!file_->unchanged() || !isIndexedVersion(file_->stamp(), file_->changeTime())) {
            file_.reset();
            throwChanged(path_);
        }
    }
    // The record at the offset must still be the term's, or what follows is another article.
    std::string value;
    size_t next = 0;
    if (!readRecord(recordOffset(position), value, next) || value != term(position))
        throwChanged(path_);
    std::string text;
    if (!readRecord(next, text, next))
        throwChanged(path_);
    return text;
}

bool TTermFile::fileChanged() const {
    if (isSource())
        return changedSourceFile() != nullptr;
    struct stat info {};
    return ::stat(path_.c_str(), &info) != 0 ||
           !isIndexedVersion(file_stamp::fromStat(info), info.st_ctim);
}

bool TTermFile::isIndexedVersion(const TFileStamp& stamp, const struct timespec& changeTime) const {
    return stamp == stamp_ && changeTime.tv_sec == changeTime_.tv_sec &&
           changeTime.tv_nsec == changeTime_.tv_nsec;
}

std::vector<std::string> TTermFile::files() const {
    if (!isSource())
        return {path_};
    std::vector<std::string> paths;
    for (const TFileVersion& version : versions_)
        paths.push_back(version.path);
    return paths;
}

const std::string* TTermFile::changedSourceFile() const {
    const TFileVersion* changed = firstChanged(versions_);
    return changed ? &changed->path : nullptr;
}

std::vector<std::string_view> TTermFile::locators(size_t position) const {
    std::vector<std::string_view> out;
    if (!reader_ || position >= count_)
        return out;
    uint64_t from = getU64(records_ + 8 * position);
    const uint64_t to =
        position + 1 < count_ ? getU64(records_ + 8 * (position + 1)) : locatorBytes_;
    if (from >= to || to > locatorBytes_)
        return out;
    while (from < to) {
        if (to - from < 4)
            return {};
        const uint32_t length = getU32(locators_ + from);
        from += 4;
        if (length > to - from)
            return {};
        out.emplace_back(locators_ + from, length);
        from += length;
    }
    return out;
}

size_t TTermFile::entryCount(size_t position) const {
    return locators(position).size();
}

uint64_t TTermFile::dataPosition(size_t position, size_t entry) const {
    const std::vector<std::string_view> all = locators(position);
    return entry < all.size() ? reader_->dataPosition(all[entry]) : 0;
}

std::string TTermFile::entryArticle(size_t position, size_t entry) const {
    const std::lock_guard<std::mutex> lock(reading_);
    if (const std::string* changed = changedSourceFile())
        throwChanged(*changed);
    const std::vector<std::string_view> all = locators(position);
    if (entry >= all.size())
        throwChanged(path_);
    return reader_->article(all[entry]);
}

std::string TTermFile::sourceArticle(size_t position) const {
    const std::lock_guard<std::mutex> lock(reading_);
    // Every read makes sure the source is still the version indexed: the reader's locators
    // are of that version's bytes.
    if (const std::string* changed = changedSourceFile())
        throwChanged(*changed);
    const std::vector<std::string_view> all = locators(position);
    if (all.empty())
        throwChanged(path_);
    std::string joined;
    std::vector<std::string> texts;
    for (const std::string_view locator : all) {
        std::string text = reader_->article(locator);
        // An entry without text adds nothing; one text under two spellings of a term is kept
        // once.
        if (text.empty() || std::find(texts.begin(), texts.end(), text) != texts.end())
            continue;
        appendJoinedArticle(joined, text);
        texts.push_back(std::move(text));
    }
    return joined;
}

std::shared_ptr<const TTermFile> TTermFile::openSource(std::shared_ptr<TSourceReader> reader,
                                                       const std::string& path,
                                                       const std::string& folder, TOpen how,
                                                       TIndexProgress* progress,
                                                       std::string* refusedFolder) {
    std::vector<std::string> paths = reader->files();
    if (paths.empty())
        paths.push_back(path);
    // The versions are taken before anything is read: a change after this shows as a
    // mismatch, never as an index of bytes that were not the ones walked.
    std::vector<TFileVersion> versions;
    for (const std::string& name : paths) {
        std::optional<TFileVersion> version = versionOf(name);
        if (!version)
            throw TError(formatMessage(error_text::kCannotOpenFile, name));
        versions.push_back(std::move(*version));
    }
    std::string versionBytes = versionsBytes(versions);
    auto unfilled = [&] {
        std::shared_ptr<TTermFile> file(new TTermFile);
        file->path_ = path;
        file->stamp_ = versions.front().stamp;
        file->changeTime_ = versions.front().changeTime;
        file->reader_ = reader;
        file->versions_ = versions;
        file->versionBytes_ = versionBytes;
        return file;
    };
    std::shared_ptr<TTermFile> file = unfilled();
    TFolder cache;
    const std::string name = folder.empty() ? std::string() : indexNameOf(path);
    if (!name.empty())
        cache.fd = private_folder::openOwn(folder, refusedFolder);

    if (cache.fd >= 0 && how != TOpen::Made &&
        file->adoptCached(cache.fd, name, SIZE_MAX, true, TTrust::Whole)) {
        file->fromCache_ = true;
        const char* p = file->bytes_->data();
        if ((getU32(p + 12 + kStampSize) & kProvisional) != 0 &&
            !changedRecently(file->versions_) && unchangedVersions(file->versions_))
            rewriteAsFinal(p, file->bytes_->size, cache.fd, name);
        return file;
    }
    if (how == TOpen::Cached)
        return nullptr;

    // The content check of files named before the walk is taken before it: a change during the
    // walk then shows as a mismatch.
    uint64_t content = 0;
    bool keep = cache.fd >= 0;
    const bool recentBefore = keep && changedRecently(versions);
    if (recentBefore)
        keep = addContents(versions, 0, content);
    const size_t namedBefore = versions.size();
    TWalked walked;
    if (!walkSource(*reader, walked, progress))
        throw TError(formatMessage(error_text::kCannotOpenFile, path));
    // Files the reader found it reads only by walking (a file the source includes) count too,
    // as they are now: the walk has just read them.
    for (const std::string& name : reader->files()) {
        if (std::any_of(versions.begin(), versions.end(),
                        [&](const TFileVersion& v) { return v.path == name; }))
            continue;
        std::optional<TFileVersion> version = versionOf(name);
        if (!version)
            throw TError(formatMessage(error_text::kCannotOpenFile, name));
        versions.push_back(std::move(*version));
    }
    versionBytes = versionsBytes(versions);
    walked.versions = versionBytes;
    // Files named only now were read by the walk just done; those named before, when not
    // recent, are told apart by their stamps, checked again before the index is kept.
    const bool recent = recentBefore || (keep && changedRecently(versions));
    if (keep && recent)
        keep = addContents(versions, recentBefore ? namedBefore : 0, content);
    file->versions_ = versions;
    file->versionBytes_ = versionBytes;
    if (progress)
        progress->done = progress->total.load();
    auto bytes = std::make_shared<TBytes>();
    bytes->memory = indexBytes(walked, file->stamp_, file->changeTime_,
                               recent ? std::optional<uint64_t>(content) : std::nullopt);
    bytes->size = bytes->memory.size();
    // A source that changed during the walk gets no index kept; the one made serves until the
    // first article read finds the change.
    return takeMade(std::move(file), std::move(bytes), keep && unchangedVersions(versions),
                    cache.fd, name, SIZE_MAX, unfilled);
}

std::string termIndexFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/')
        return std::string(cache) + "/termovel";
    const char* home = std::getenv("HOME");
    if (home && *home == '/')
        return std::string(home) + "/.cache/termovel";
    return {};
}

TIndexedLookup lookUpIndexed(const std::string& path, std::string_view term,
                             const std::string& folder) {
    TIndexedLookup answer;
    std::shared_ptr<const TTermFile> file =
        TTermFile::open(path, folder, TTermFile::TOpen::CachedOrMade, nullptr,
                        &answer.refusedFolder, TTermFile::TCheck::OnUse);
    for (int attempt = 0; file; ++attempt) {
        answer.fromIndex = file->fromCache();
        try {
            bool found = false;
            const size_t at = file->lowerBound(term, found);
            answer.article.reset();
            if (found)
                answer.article = file->article(at);
            return answer;
        } catch (const TDictionaryChanged&) {
            if (attempt > 0)
                throw;
        }
        // The index disagrees with the file, or failed its check: the long way, with an index
        // made afresh.
        file = TTermFile::open(path, folder, TTermFile::TOpen::Made, nullptr, nullptr,
                               TTermFile::TCheck::OnUse);
    }
    // Terms too many bytes for an index: the walk without one.
    answer.fromIndex = false;
    answer.article = lookUpInFile(path, term);
    return answer;
}
