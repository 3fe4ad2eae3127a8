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
#include <vector>

#include "dictionary/file_format.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "platform/file_stamp.h"
#include "platform/private_folder.h"

namespace {

// The index file, every integer little-endian:
//
//   magic "TrmvIdx" 0 (8 bytes), version (u32),
//   the file's stamp: device, inode, size (u64 each), modification seconds and nanoseconds,
//   status change seconds and nanoseconds (i64 each),
//   flags (u32: bit 0 provisional), the content check (u64; of a provisional index only),
//   offset count N (u32), stride S (u32), entry count E (u32), order name length
//   L (u32), the order name (L bytes), the plain-byte weights of that order (256 × u32, see
//   compare::plainWeights; all 0 when it has none), N × the file offset of a term record
//   (u32), checksum of all the bytes before it (u64).
//
// The stamp alone does not tell every version of a file apart: a rewrite in place within the
// file system's timestamp step keeps size, inode and both times. An index made while the
// file's times were that recent is provisional: it holds a checksum of the file's bytes, and
// is used only while the file still has them; the first look-up once the times are old enough
// writes it again as final. A large file that recent gets no index until it is older. The weights
// are part of what the index was made for, never a comparison to search with: the search always
// compares as the program does.
//
// A file in the dictionary's order (as the program saves it) lists every S-th of its E entries
// in file order: a look-up finds the two listed entries around the term and reads on from the
// first, at most S + 1 records. Any other file lists, with S = 1, its distinct terms (the first
// of equal ones in file order) sorted. Offsets are 32-bit, so a file of 4 GiB or more gets no
// index.
constexpr char kMagic[8] = {'T', 'r', 'm', 'v', 'I', 'd', 'x', 0};
constexpr uint32_t kVersion = 3;
constexpr size_t kStampSize = 7 * 8;
constexpr size_t kFlagsSize = 4 + 8;
constexpr size_t kFixedSize = sizeof kMagic + 4 + kStampSize + kFlagsSize + 4 * 4;
constexpr uint32_t kProvisional = 1;
// How recent a file's times may be for an index made from it to be only provisional: above
// the coarsest timestamp step of the usual file systems (two seconds), so that a later change
// is sure to give the file other times.
constexpr int64_t kRecentNanoseconds = int64_t{2'000'000'000} + 100'000'000;
// The largest file a provisional index is made for: its check reads the whole file, which for a
// larger one would cost more than the index saves (and a damaged one is not read whole).
constexpr size_t kProvisionalUpTo = size_t{64} << 20;
// Every how many entries a file in order lists one: a look-up reads at most this many records
// more, and the index is this many times smaller than one offset per entry.
constexpr size_t kStride = 16;
constexpr size_t kOffsetSize = 4;
constexpr size_t kChecksumSize = 8;
constexpr size_t kMaxOrderName = 256;
constexpr size_t kWeightsSize = 256 * 4;

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

// What an index must have been made for: the file opened, as it is now.
std::string stampBytes(const file_format::TRecordStream& records) {
    const TFileStamp& stamp = records.stamp();
    std::string out;
    putU64(out, static_cast<uint64_t>(stamp.device));
    putU64(out, static_cast<uint64_t>(stamp.inode));
    putU64(out, static_cast<uint64_t>(stamp.size));
    putU64(out, static_cast<uint64_t>(stamp.modifiedSeconds));
    putU64(out, static_cast<uint64_t>(stamp.modifiedNanoseconds));
    putU64(out, static_cast<uint64_t>(records.changeTime().tv_sec));
    putU64(out, static_cast<uint64_t>(records.changeTime().tv_nsec));
    return out;
}

int64_t nanoseconds(int64_t seconds, int64_t nanoseconds) {
    return seconds * 1'000'000'000 + nanoseconds;
}

// Whether a change to the file now might leave it with the times it has: they are within the
// coarsest timestamp step of now (or ahead of it).
bool changedRecently(const file_format::TRecordStream& records) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int64_t latest =
        std::max(nanoseconds(records.stamp().modifiedSeconds, records.stamp().modifiedNanoseconds),
                 nanoseconds(records.changeTime().tv_sec, records.changeTime().tv_nsec));
    return nanoseconds(now.tv_sec, now.tv_nsec) - latest < kRecentNanoseconds;
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

// Where the terms lie: every stride-th of entries records in file order (stride > 1, a file in
// the dictionary's order), or the distinct terms sorted (stride 1); count offsets in all, at
// offsets as u32 (the index's bytes) or in words.
struct TTermList {
    size_t stride = 1;
    size_t entries = 0;
    size_t count = 0;
    const char* offsets = nullptr;
    const std::vector<size_t>* words = nullptr;

    size_t offset(size_t i) const {
        return words ? (*words)[i] : getU32(offsets + kOffsetSize * i);
    }
};

// A valid index file, mapped into memory: only the pages the search reads are read.
class TIndexView {
public:
    // The index name in the folder dirFd when it is one of the user's own files, whole, and made
    // for the file records reads, as it is now, under the current order; else nothing.
    static std::optional<TIndexView> open(int dirFd, const std::string& name,
                                          const file_format::TRecordStream& records) {
        struct stat info {};
        const int fd = private_folder::openOwnFile(dirFd, name, info);
        if (fd < 0)
            return std::nullopt;
        // No index is larger than one offset per entry of the file (eight bytes at least).
        const size_t largest = kFixedSize + kMaxOrderName + kWeightsSize +
                               kOffsetSize * (records.fileSize() / 8 + 1) + kChecksumSize;
        auto mapping = std::make_shared<TMapping>();
        if (static_cast<size_t>(info.st_size) <= largest &&
            static_cast<size_t>(info.st_size) >= kFixedSize + kChecksumSize) {
            mapping->size = static_cast<size_t>(info.st_size);
            mapping->data = ::mmap(nullptr, mapping->size, PROT_READ, MAP_PRIVATE, fd, 0);
        }
        ::close(fd);
        if (mapping->data == MAP_FAILED)
            return std::nullopt;
        const char* p = static_cast<const char*>(mapping->data);
        const size_t body = mapping->size - kChecksumSize;
        if (std::memcmp(p, kMagic, sizeof kMagic) != 0 || getU32(p + 8) != kVersion ||
            std::memcmp(p + 12, stampBytes(records).data(), kStampSize) != 0)
            return std::nullopt;
        const char* flags = p + 12 + kStampSize;
        const char* fields = flags + kFlagsSize;
        const size_t count = getU32(fields);
        const size_t stride = getU32(fields + 4);
        const size_t entries = getU32(fields + 8);
        const size_t orderLength = getU32(fields + 12);
        if (orderLength > kMaxOrderName || stride == 0 ||
            (stride > 1 && count != (entries + stride - 1) / stride) ||
            body != kFixedSize + orderLength + kWeightsSize + count * kOffsetSize ||
            std::string_view(p + kFixedSize, orderLength) != compare::orderName() ||
            !sameWeights(p + kFixedSize + orderLength) || getU64(p + body) != checksum(p, body))
            return std::nullopt;
        TIndexView view;
        view.mapping_ = std::move(mapping);
        view.provisional_ = (getU32(flags) & kProvisional) != 0;
        view.contentCheck_ = getU64(flags + 4);
        view.list_ = {stride, entries, count, p + kFixedSize + orderLength + kWeightsSize};
        return view;
    }

    const TTermList& list() const { return list_; }
    // Whether the index holds only while the file's bytes have the content check.
    bool provisional() const { return provisional_; }
    uint64_t contentCheck() const { return contentCheck_; }

private:
    struct TMapping {
        void* data = MAP_FAILED;
        size_t size = 0;
        ~TMapping() {
            if (data != MAP_FAILED)
                ::munmap(data, size);
        }
    };

    std::shared_ptr<TMapping> mapping_;
    bool provisional_ = false;
    uint64_t contentCheck_ = 0;
    TTermList list_;
};

// Writes the index for the file records reads into the folder dirFd, whole or not at all; any
// failure leaves no index, which costs only speed. With a content check the index is
// provisional.
void writeIndex(int dirFd, const std::string& name, const file_format::TRecordStream& records,
                const TTermList& list, std::optional<uint64_t> content) {
    if (records.fileSize() > UINT32_MAX)
        return;
    std::string bytes(kMagic, sizeof kMagic);
    putU32(bytes, kVersion);
    bytes += stampBytes(records);
    putU32(bytes, content ? kProvisional : 0);
    putU64(bytes, content.value_or(0));
    const std::string order = compare::orderName();
    if (order.size() > kMaxOrderName)
        return;
    putU32(bytes, static_cast<uint32_t>(list.count));
    putU32(bytes, static_cast<uint32_t>(list.stride));
    putU32(bytes, static_cast<uint32_t>(list.entries));
    putU32(bytes, static_cast<uint32_t>(order.size()));
    bytes += order;
    const uint32_t* weights = compare::plainWeights();
    for (size_t i = 0; i < 256; ++i)
        putU32(bytes, weights ? weights[i] : 0);
    size_t at = bytes.size();
    bytes.resize(at + kOffsetSize * list.count);
    for (size_t i = 0; i < list.count; ++i, at += kOffsetSize)
        file_format::encodeInt32(bytes.data() + at, static_cast<int32_t>(list.offset(i)));
    putU64(bytes, checksum(bytes.data(), bytes.size()));
    // The index tells which terms a dictionary holds, so only its owner may read it; a torn
    // index fails its checksum and is made again, so there is no need to wait for the disk.
    (void)private_folder::replaceFile(dirFd, name, bytes.data(), bytes.size());
}

// The first position whose term is not before term, reading terms through termAt; false when
// a term cannot be read.
template <typename TTermAt>
bool lowerBound(const TOrder& order, size_t count, std::string_view term, TTermAt termAt,
                size_t& found) {
    size_t low = 0;
    size_t high = count;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        std::string_view probe;
        if (!termAt(middle, probe))
            return false;
        if (order.compare(probe, term) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    found = low;
    return true;
}

// Looks term up in the list, reading each record the search visits from the file. Returns
// false when a record cannot be read.
bool searchRecords(file_format::TRecordStream& records, const TOrder& order, const TTermList& list,
                   std::string_view term, std::optional<std::string>& article) {
    std::string value;
    size_t next = 0;
    auto termAt = [&](size_t i, std::string_view& probe) {
        if (!records.readRecordAt(list.offset(i), value, next))
            return false;
        probe = value;
        return true;
    };
    size_t at = 0;
    if (!lowerBound(order, list.count, term, termAt, at))
        return false;
    size_t offset = 0;
    size_t left = 0;
    if (list.stride == 1) {
        // Only the term found can be equal.
        left = at < list.count ? 1 : 0;
        offset = left ? list.offset(at) : 0;
    } else if (list.count > 0) {
        // The first entry not before term lies after the listed one before it, within
        // stride + 1 records of it, in file order.
        const size_t from = at == 0 ? 0 : at - 1;
        left = std::min(list.stride + 1, list.entries - from * list.stride);
        offset = list.offset(from);
    }
    std::string text;
    for (; left > 0; --left) {
        if (!records.readRecordAt(offset, value, next))
            return false;
        const int found = order.compare(value, term);
        if (found > 0)
            return true;
        if (!records.readRecordAt(next, text, offset))
            return false;
        if (found == 0) {
            article = std::move(text);
            return true;
        }
    }
    return true;
}

// The look-up through a valid index, or nothing when there is none or a record disagrees.
// Reads records at offsets only, so the stream stays at the start of the file for the long way.
std::optional<TIndexedLookup> lookUpThroughIndex(file_format::TRecordStream& records,
                                                 std::string_view term, int dirFd,
                                                 const std::string& name) {
    // The index must be of the very file opened, as it is now.
    const std::optional<TIndexView> index = TIndexView::open(dirFd, name, records);
    if (!index)
        return std::nullopt;
    if (index->provisional() && contentCheck(records) != index->contentCheck())
        return std::nullopt;
    TIndexedLookup answer;
    answer.fromIndex = true;
    if (!searchRecords(records, TOrder(compare::plainWeights()), index->list(), term,
                       answer.article))
        return std::nullopt;
    // Once the file's times are old enough to change with any change, the index is final.
    if (index->provisional() && !changedRecently(records) && records.unchanged())
        writeIndex(dirFd, name, records, index->list(), std::nullopt);
    return answer;
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

// The long way: walks the whole file as lookUpInFile does, noting where each term lies, and
// answers from what it noted. A file saved by the program is already in order, which one
// comparison per term confirms; only a file that is not gets sorted.
TIndexedLookup walkAndIndex(file_format::TRecordStream& records, std::string_view term, int dirFd,
                            const std::string& indexName) {
    // The content check is taken before the walk: a change in between then shows as a
    // mismatch, never as a check that matches offsets of other bytes.
    std::optional<uint64_t> content;
    bool indexable = dirFd >= 0 && !indexName.empty();
    if (indexable && changedRecently(records)) {
        if (records.fileSize() <= kProvisionalUpTo)
            content = contentCheck(records);
        indexable = content.has_value();
    }
    std::string name;
    std::string author;
    std::string info;
    const int32_t count = file_format::readHeader(records, name, author, info);
    // While the file is in order: the offset of every kStride-th entry.
    std::vector<size_t> offsets;
    const size_t firstOffset = records.offset();
    bool ordered = true;
    TNeighbourOrder neighbours;
    // The term before: the walk keeps it until the next term has been seen.
    std::string_view previous;
    size_t entry = 0;
    const bool whole = records.walkTerms(count, [&](size_t offset, std::string_view value) {
        if (ordered) {
            ordered = neighbours.next(previous, value) <= 0 || entry == 0;
            if (entry % kStride == 0)
                offsets.push_back(offset);
            previous = value;
        }
        ++entry;
    });
    if (!whole)
        file_format::throwShortData();
    TTermList list{kStride, static_cast<size_t>(std::max(count, 0)), offsets.size(), nullptr,
                   &offsets};
    if (!ordered) {
        // Sorted afresh from every term; the stable sort keeps equal terms in file order, so
        // the first of them is the one kept.
        struct TEntry {
            size_t offset;
            std::string term;
        };
        std::vector<TEntry> entries;
        entries.reserve(static_cast<size_t>(count));
        std::string value;
        std::string article;
        size_t next = 0;
        for (size_t offset = firstOffset, i = 0; i < static_cast<size_t>(count);
             ++i, offset = next) {
            if (!records.readRecordAt(offset, value, next) ||
                !records.readRecordAt(next, article, next))
                file_format::throwShortData();
            entries.push_back({offset, value});
        }
        std::stable_sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) {
            return compare::terms(a.term, b.term) < 0;
        });
        offsets.clear();
        for (size_t i = 0; i < entries.size(); ++i) {
            if (i == 0 || compare::terms(entries[i - 1].term, entries[i].term) != 0)
                offsets.push_back(entries[i].offset);
        }
        list = {1, entries.size(), offsets.size(), nullptr, &offsets};
    }
    TIndexedLookup answer;
    if (!searchRecords(records, TOrder(compare::plainWeights()), list, term, answer.article))
        file_format::throwShortData();
    // A file that changed during the walk gets no index.
    if (indexable && records.unchanged())
        writeIndex(dirFd, indexName, records, list, content);
    return answer;
}

}  // namespace

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
    // One opening of the file serves both ways: the index is checked against its stamp, and a
    // look-up that cannot use the index walks the same file.
    file_format::TRecordStream records(path);
    std::string refused;
    struct TFolder {
        int fd = -1;
        ~TFolder() {
            if (fd >= 0)
                ::close(fd);
        }
    } cache;
    const std::string name = folder.empty() ? std::string() : indexNameOf(path);
    if (!name.empty())
        cache.fd = private_folder::openOwn(folder, &refused);
    if (cache.fd >= 0) {
        if (std::optional<TIndexedLookup> answer =
                lookUpThroughIndex(records, term, cache.fd, name))
            return *std::move(answer);
    }
    TIndexedLookup answer = walkAndIndex(records, term, cache.fd, name);
    answer.refusedFolder = std::move(refused);
    return answer;
}
