#include "dictionary/dictionary.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "dictionary/secret_memory_stream.h"
#include "platform/compare.h"
#include "platform/error.h"

// Plain file layout (before scrambling; every integer 32-bit signed little-endian):
//
//   name record, author record, description record, count C (int32),
//   C × (term record, article record)
//
// where a record is: length L (int32) then L bytes, no terminator. A value ends at its first
// zero byte, but all L bytes belong to the record. Bytes after the last entry are ignored.

namespace {

constexpr size_t kIntSize = 4;
constexpr size_t kRecordHeaderSize = kIntSize;
constexpr size_t kEmptyEntrySize = 2 * kRecordHeaderSize;
constexpr size_t kEmptyFileSize = 3 * kRecordHeaderSize + kIntSize;
constexpr size_t kShortValue = 24;
// Loading sets index room aside up front for one entry per this many bytes of data; real
// entries (a term and an article) are seldom smaller, and index entries are half as large.
constexpr size_t kReservedEntryBytes = 2 * sizeof(TermEntry);
constexpr size_t kCompactAbove = size_t{1} << 20;
constexpr size_t kSavePiece = size_t{1} << 20;

constexpr const char* kIndexError = "List index out of bounds (%d)";
constexpr const char* kSortedError = "Operation not allowed on sorted list";
constexpr const char* kReadError = "Stream read error";
constexpr const char* kOutOfMemory = "Out of memory while expanding memory stream";

// A batch of out-of-order entries met while loading is merged in once it is this large or as
// large as the dictionary, whichever is more, so a file in a foreign order costs n log n.
constexpr size_t kLoadMergeBatch = 65536;

int32_t decodeInt32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                static_cast<uint32_t>(b[2]) << 16 |
                                static_cast<uint32_t>(b[3]) << 24);
}

void encodeInt32(char* p, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>((v >> 8) & 0xFF);
    p[2] = static_cast<char>((v >> 16) & 0xFF);
    p[3] = static_cast<char>((v >> 24) & 0xFF);
}

void writeInt32(TSecretMemoryStream& stream, int32_t value) {
    char bytes[kIntSize];
    encodeInt32(bytes, value);
    stream.WriteBuffer(bytes, kIntSize);
}

void writeRecord(TSecretMemoryStream& stream, std::string_view text) {
    writeInt32(stream, static_cast<int32_t>(text.size()));
    stream.WriteBuffer(text.data(), text.size());
}

int32_t readInt32(TSecretMemoryStream& stream) {
    char bytes[kIntSize];
    stream.ReadBuffer(bytes, kIntSize);
    return decodeInt32(bytes);
}

// The value of a record's L bytes: up to the first zero byte.
std::string_view recordValue(const char* bytes, size_t length) {
    if (length == 0)
        return {};
    if (length <= kShortValue) {
        // Most terms are short; a plain loop beats the library call here.
        for (size_t i = 0; i < length; ++i) {
            if (bytes[i] == 0)
                return {bytes, i};
        }
        return {bytes, length};
    }
    const void* zero = std::memchr(bytes, 0, length);
    return {bytes, zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : length};
}

// Reads one record through the stream. The length is checked against what remains before
// any room is made for the value, so a damaged length cannot ask for memory.
std::string readRecord(TSecretMemoryStream& stream) {
    const int32_t length = readInt32(stream);
    if (length < 0 || static_cast<size_t>(length) > stream.remaining())
        throw TError(kReadError);
    const std::string_view value =
        recordValue(stream.data() + stream.position(), static_cast<size_t>(length));
    std::string out(value);
    stream.setPosition(stream.position() + static_cast<size_t>(length));
    return out;
}

// Unscrambles a file's content just ahead of the parser, a slice at a time, so that every
// slice is parsed while it is still in the processor's cache. The bytes come out exactly as
// unscrambling the whole content first would leave them.
class Unscrambler {
public:
    Unscrambler(char* data, size_t size) : data_(data), size_(size) {}

    // Makes sure bytes [0, end) are unscrambled.
    void ensure(size_t end) {
        if (end > done_)
            advance(end);
    }

private:
    static constexpr size_t kSlice = size_t{64} << 10;

    void advance(size_t end) {
        const size_t target = std::min(size_, std::max(end, done_ + kSlice));
        keystream::unscrambleFrom(data_ + done_, target - done_, done_);
        done_ = target;
    }

    char* data_;
    size_t size_;
    size_t done_ = 0;
};

// Reads one record in place from bytes [pos, size); returns false on short or bad data. The
// value is all L bytes, not yet cut at a zero byte. With ahead, the bytes are unscrambled as
// they are reached.
bool parseRawRecord(const char* data, size_t size, size_t& pos, const char*& value,
                    uint32_t& valueLength, Unscrambler* ahead) {
    if (size - pos < kRecordHeaderSize)
        return false;
    if (ahead)
        ahead->ensure(pos + kRecordHeaderSize);
    const int32_t length = decodeInt32(data + pos);
    pos += kRecordHeaderSize;
    if (length < 0 || static_cast<size_t>(length) > size - pos)
        return false;
    if (ahead)
        ahead->ensure(pos + static_cast<size_t>(length));
    value = length == 0 ? nullptr : data + pos;
    valueLength = static_cast<uint32_t>(length);
    pos += static_cast<size_t>(length);
    return true;
}

// As parseRawRecord, with the value cut at its first zero byte.
bool parseRecord(const char* data, size_t size, size_t& pos, const char*& value,
                 uint32_t& valueLength, Unscrambler* ahead = nullptr) {
    if (!parseRawRecord(data, size, pos, value, valueLength, ahead))
        return false;
    const std::string_view v = recordValue(value, valueLength);
    value = v.empty() ? nullptr : v.data();
    valueLength = static_cast<uint32_t>(v.size());
    return true;
}

// Binary search over entries [low, high), where order(entry) tells how the entry stands to the
// term sought (negative: before it). Returns the position of the equal entry with found = true,
// or the position the term would be inserted at with found = false.
template <typename Order>
size_t binarySearch(const std::vector<TermEntry>& entries, size_t low, size_t high, Order order,
                    bool& found) {
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        const int c = order(entries[middle]);
        if (c < 0) {
            low = middle + 1;
        } else if (c > 0) {
            high = middle;
        } else {
            found = true;
            return middle;
        }
    }
    found = false;
    return low;
}

int compareEntries(const TermEntry& a, const TermEntry& b) {
    return compare::terms(a.termView(), b.termView());
}

constexpr size_t kHeadBytes = sizeof(uint64_t);

// The first 8 bytes of a term, byte i in bits 8i..8i+7, zero-padded.
uint64_t termHead(std::string_view term) {
    uint64_t head = 0;
    const size_t n = std::min(term.size(), kHeadBytes);
    for (size_t i = 0; i < n; ++i)
        head |= static_cast<uint64_t>(static_cast<unsigned char>(term[i])) << (8 * i);
    return head;
}

bool isPlain(std::string_view term, const uint32_t* weights) {
    if (!weights)
        return false;
    for (char c : term) {
        if (weights[static_cast<unsigned char>(c)] == 0)
            return false;
    }
    return true;
}

}  // namespace

void TTermBatch::add(std::string_view term, std::string_view article) {
    TermEntry entry;
    entry.term = arena_.store(term);
    entry.termLength = static_cast<uint32_t>(term.size()) & 0x7FFFFFFF;
    entry.article = arena_.store(article);
    entry.articleLength = static_cast<uint32_t>(article.size()) & 0x7FFFFFFF;
    entries_.push_back(entry);
}

struct TDictionary::Impl {
    std::vector<TermEntry> entries;
    TermArena arena;
    bool modified = false;
    std::string name;
    std::string author;
    std::string info;

    // The locale the entries' heads and plain flags were worked out under; when it has
    // changed they are no longer trusted, until the dictionary is next emptied.
    uint64_t generation = compare::orderGeneration();
    bool headsValid = true;

    // Fills in the entry's head and plain flag from its term.
    void describe(TermEntry& entry) {
        if (compare::orderGeneration() != generation)
            headsValid = false;
        describe(entry, compare::plainWeights());
    }
    // The same with the weights already fetched, for loops over many entries.
    static void describe(TermEntry& entry, const uint32_t* weights) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(entry.term);
        const size_t length = entry.termLength;
        uint64_t head = 0;
        bool plain = weights != nullptr;
        for (size_t i = 0; i < length; ++i) {
            if (i < kHeadBytes)
                head |= static_cast<uint64_t>(bytes[i]) << (8 * i);
            if (plain && weights[bytes[i]] == 0)
                plain = false;
        }
        entry.head = head;
        entry.plain = plain ? 1 : 0;
    }

    // The term comparison of two described entries, from their heads where that decides.
    static int compareDescribed(const TermEntry& a, const TermEntry& b, const uint32_t* weights) {
        if (a.plain && b.plain && weights)
            return compareHead(a, b.termView(), b.head, weights);
        return compareEntries(a, b);
    }

    // The term comparison of an entry against a probe, deciding from the entry's head alone
    // where both texts are plain and differ (or one ends) within the first 8 bytes.
    static int compareHead(const TermEntry& entry, std::string_view term, uint64_t head,
                           const uint32_t* weights) {
        if (entry.plain) {
            const size_t n = std::min({kHeadBytes, size_t{entry.termLength}, term.size()});
            for (size_t i = 0; i < n; ++i) {
                const uint32_t a = weights[(entry.head >> (8 * i)) & 0xFF];
                const uint32_t b = weights[(head >> (8 * i)) & 0xFF];
                if (a != b)
                    return a < b ? -1 : 1;
            }
            if (n < kHeadBytes) {
                return entry.termLength < term.size() ? -1 : entry.termLength > term.size() ? 1 : 0;
            }
        }
        return compare::terms(entry.termView(), term);
    }

    // Binary search: the position of the equal term with found = true, or the insertion
    // position with found = false.
    size_t search(std::string_view term, bool& found) const {
        const uint32_t* weights = compare::plainWeights();
        const bool shortcut =
            headsValid && compare::orderGeneration() == generation && isPlain(term, weights);
        const uint64_t head = termHead(term);
        return binarySearch(
            entries, 0, entries.size(),
            [&](const TermEntry& entry) {
                return shortcut ? compareHead(entry, term, head, weights)
                                : compare::terms(entry.termView(), term);
            },
            found);
    }

    void checkIndex(int position) const {
        if (position < 0 || static_cast<size_t>(position) >= entries.size())
            throw TError(formatMessage(kIndexError, std::to_string(position)));
    }

    // Bytes of the arena that no entry uses any more (deleted entries' texts).
    size_t garbage = 0;

    // Once deleted texts make up over half of the arena, the live texts are copied into a new
    // one so that a long editing session does not keep growing. Views of terms and articles
    // taken before move with them. Skipped quietly when memory is short.
    void compactIfWasteful() {
        if (garbage < kCompactAbove || garbage < arena.bytes() / 2)
            return;
        try {
            std::vector<TermEntry> moved = entries;
            TermArena fresh;
            for (TermEntry& entry : moved) {
                entry.term = fresh.store(entry.termView());
                const std::string_view article = entry.articleView();
                entry.article = fresh.store(article);
                entry.articleLength = static_cast<uint32_t>(article.size()) & 0x7FFFFFFF;
                entry.articleRaw = 0;
            }
            entries.swap(moved);
            arena = std::move(fresh);
            garbage = 0;
        } catch (const TError&) {
        } catch (const std::bad_alloc&) {
        }
    }

    void clear() {
        std::vector<TermEntry>().swap(entries);
        arena.clear();
        garbage = 0;
        generation = compare::orderGeneration();
        headsValid = true;
    }

    // Merges entries that arrived in the given order (their texts already in the arena) with
    // exactly the result of inserting them one by one where the first of equal terms wins and
    // terms present win over all of them. Returns how many were added.
    size_t merge(std::vector<TermEntry>& pending);

    // Parses count entries in place from data [pos, size), bytes the arena already owns.
    // Returns the position after the last entry; raises "Stream read error" on short or bad
    // data after keeping every entry read before the damage.
    size_t parseEntries(const char* data, size_t size, size_t pos, int32_t count,
                        Unscrambler* ahead = nullptr);
};

size_t TDictionary::Impl::merge(std::vector<TermEntry>& pending) {
    if (pending.empty())
        return 0;
    if (pending.size() == 1) {
        describe(pending.front());
        bool found = false;
        const size_t at = search(pending.front().termView(), found);
        if (!found)
            entries.insert(entries.begin() + static_cast<ptrdiff_t>(at), pending.front());
        pending.clear();
        return found ? 0 : 1;
    }

    for (TermEntry& entry : pending)
        describe(entry);

    // Sort the newcomers once by collation key (byte comparison, far cheaper than pairwise
    // collation) keeping their arrival order among equals, then keep the first of each run.
    std::string keys;
    keys.reserve(pending.size() * 24);
    std::vector<size_t> keyStart(pending.size() + 1);
    for (size_t i = 0; i < pending.size(); ++i) {
        keyStart[i] = keys.size();
        compare::appendSortKey(pending[i].termView(), keys);
    }
    keyStart[pending.size()] = keys.size();
    auto key = [&](size_t i) {
        return std::string_view(keys.data() + keyStart[i], keyStart[i + 1] - keyStart[i]);
    };
    std::vector<uint32_t> order(pending.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const std::string_view ka = key(a);
        const std::string_view kb = key(b);
        const int c = std::memcmp(ka.data(), kb.data(), std::min(ka.size(), kb.size()));
        return c != 0 ? c < 0 : ka.size() < kb.size();
    });
    std::vector<TermEntry> fresh;
    fresh.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (i == 0 || key(order[i]) != key(order[i - 1]))
            fresh.push_back(pending[order[i]]);
    }
    pending.clear();
    std::string().swap(keys);

    if (entries.empty()) {
        entries = std::move(fresh);
        return entries.size();
    }

    std::vector<TermEntry> merged;
    merged.reserve(entries.size() + fresh.size());
    size_t added = 0;
    if (fresh.size() * 32 < entries.size()) {
        // Few newcomers into many entries: find each place by binary search and copy the runs
        // between them.
        size_t from = 0;
        for (const TermEntry& entry : fresh) {
            bool found = false;
            const size_t low = binarySearch(
                entries, from, entries.size(),
                [&](const TermEntry& present) { return compareEntries(present, entry); }, found);
            merged.insert(merged.end(), entries.begin() + static_cast<ptrdiff_t>(from),
                          entries.begin() + static_cast<ptrdiff_t>(low));
            from = low;
            if (!found) {
                merged.push_back(entry);
                ++added;
            }
        }
        merged.insert(merged.end(), entries.begin() + static_cast<ptrdiff_t>(from), entries.end());
    } else {
        size_t i = 0;
        size_t j = 0;
        while (i < entries.size() && j < fresh.size()) {
            const int c = compareEntries(entries[i], fresh[j]);
            if (c < 0) {
                merged.push_back(entries[i++]);
            } else if (c > 0) {
                merged.push_back(fresh[j++]);
                ++added;
            } else {
                merged.push_back(entries[i++]);
                ++j;
            }
        }
        merged.insert(merged.end(), entries.begin() + static_cast<ptrdiff_t>(i), entries.end());
        added += fresh.size() - j;
        merged.insert(merged.end(), fresh.begin() + static_cast<ptrdiff_t>(j), fresh.end());
    }
    entries = std::move(merged);
    return added;
}

TDictionary::TDictionary() : impl_(std::make_unique<Impl>()) {}

TDictionary::~TDictionary() = default;

int TDictionary::Count() const {
    return static_cast<int>(impl_->entries.size());
}

std::string_view TDictionary::Term(int position) const {
    impl_->checkIndex(position);
    return impl_->entries[static_cast<size_t>(position)].termView();
}

std::string_view TDictionary::Article(int position) const {
    impl_->checkIndex(position);
    return impl_->entries[static_cast<size_t>(position)].articleView();
}

int TDictionary::Find(std::string_view term) const {
    bool found = false;
    const size_t at = impl_->search(term, found);
    return found ? static_cast<int>(at) : -1;
}

int TDictionary::lowerBound(std::string_view term) const {
    // Terms are unique, so an equal one found is the first not before term; otherwise the
    // search ends at the insertion position.
    bool found = false;
    return static_cast<int>(impl_->search(term, found));
}

int TDictionary::AddTerm(std::string_view term, std::string_view article) {
    bool found = false;
    const size_t at = impl_->search(term, found);
    if (found)
        return -1;
    TermEntry entry;
    entry.term = impl_->arena.store(term);
    entry.termLength = static_cast<uint32_t>(term.size()) & 0x7FFFFFFF;
    entry.article = impl_->arena.store(article);
    entry.articleLength = static_cast<uint32_t>(article.size()) & 0x7FFFFFFF;
    impl_->describe(entry);
    impl_->entries.insert(impl_->entries.begin() + static_cast<ptrdiff_t>(at), entry);
    impl_->modified = true;
    return static_cast<int>(at);
}

int TDictionary::ChangeTerm(std::string_view term, std::string_view article) {
    if (Find(term) >= 0)
        throw TError(kSortedError);
    return AddTerm(term, article);
}

bool TDictionary::GetTerm(int position, std::string& term, std::string& article) const {
    if (position < 0 || static_cast<size_t>(position) >= impl_->entries.size())
        return false;
    const TermEntry& entry = impl_->entries[static_cast<size_t>(position)];
    term.assign(entry.termView());
    article.assign(entry.articleView());
    return true;
}

void TDictionary::Delete(int position) {
    impl_->checkIndex(position);
    const TermEntry& gone = impl_->entries[static_cast<size_t>(position)];
    impl_->garbage += gone.termLength + size_t{gone.articleLength};
    impl_->entries.erase(impl_->entries.begin() + position);
    impl_->modified = true;
    impl_->compactIfWasteful();
}

void TDictionary::Clear() {
    impl_->clear();
    impl_->modified = true;
}

int TDictionary::addTerms(TTermBatch&& batch) {
    std::vector<TermEntry> pending = std::move(batch.entries_);
    batch.entries_.clear();
    impl_->arena.adopt(std::move(batch.arena_));
    const size_t added = impl_->merge(pending);
    if (added > 0)
        impl_->modified = true;
    return static_cast<int>(added);
}

const std::string& TDictionary::Name() const {
    return impl_->name;
}

const std::string& TDictionary::Author() const {
    return impl_->author;
}

const std::string& TDictionary::Info() const {
    return impl_->info;
}

void TDictionary::SetName(std::string_view text) {
    impl_->name.assign(text);
    impl_->modified = true;
}

void TDictionary::SetAuthor(std::string_view text) {
    impl_->author.assign(text);
    impl_->modified = true;
}

void TDictionary::SetInfo(std::string_view text) {
    impl_->info.assign(text);
    impl_->modified = true;
}

bool TDictionary::Modified() const {
    return impl_->modified;
}

void TParaItem::SaveToStream(TSecretMemoryStream& stream) const {
    writeRecord(stream, Text);
}

void TParaItem::LoadFromStream(TSecretMemoryStream& stream) {
    Text = readRecord(stream);
}

void TDictionary::SaveToStream(TSecretMemoryStream& stream) const {
    const auto& entries = impl_->entries;
    size_t total = kEmptyFileSize + impl_->name.size() + impl_->author.size() + impl_->info.size();
    for (const TermEntry& entry : entries)
        total += kEmptyEntrySize + entry.termLength + entry.articleLength;  // at most
    if (total > SIZE_MAX - stream.position())
        throw TError(kOutOfMemory);
    stream.reserve(stream.position() + total);

    writeRecord(stream, impl_->name);
    writeRecord(stream, impl_->author);
    writeRecord(stream, impl_->info);
    writeInt32(stream, static_cast<int32_t>(entries.size()));
    for (const TermEntry& entry : entries) {
        writeRecord(stream, entry.termView());
        writeRecord(stream, entry.articleView());
    }
}

namespace {

// Reads the header texts and the count through the stream, storing each text as soon as it is
// read. Returns the count.
int32_t loadHeader(TSecretMemoryStream& stream, std::string& name, std::string& author,
                   std::string& info) {
    name = readRecord(stream);
    author = readRecord(stream);
    info = readRecord(stream);
    return readInt32(stream);
}

}  // namespace

size_t TDictionary::Impl::parseEntries(const char* data, size_t size, size_t pos, int32_t count,
                                       Unscrambler* ahead) {
    // A saved file is in order, so each term normally just has to follow the last one; one
    // comparison per term checks that. Terms out of that order (a file saved under another
    // collation, or edited by hand) are gathered and merged in batches.
    std::vector<TermEntry> pending;
    // Loading always starts from an empty dictionary, whose heads follow the current locale.
    generation = compare::orderGeneration();
    headsValid = true;
    const uint32_t* weights = compare::plainWeights();
    // The count is not trusted: room is made at once only for the entries the data could hold
    // at kReservedEntryBytes each, so index room set aside stays within half the data's size;
    // a file of smaller entries lets the index grow as they actually arrive.
    entries.reserve(std::min(static_cast<size_t>(count), (size - pos) / kReservedEntryBytes));
    bool damaged = false;
    for (int32_t i = 0; i < count; ++i) {
        TermEntry entry;
        uint32_t termLength = 0;
        uint32_t articleLength = 0;
        if (!parseRecord(data, size, pos, entry.term, termLength, ahead) ||
            !parseRawRecord(data, size, pos, entry.article, articleLength, ahead)) {
            damaged = true;
            break;
        }
        entry.termLength = termLength & 0x7FFFFFFF;
        entry.articleLength = articleLength & 0x7FFFFFFF;
        entry.articleRaw = 1;
        describe(entry, weights);
        if (pending.empty() &&
            (entries.empty() || compareDescribed(entries.back(), entry, weights) < 0)) {
            entries.push_back(entry);
        } else {
            pending.push_back(entry);
            if (pending.size() >= std::max(kLoadMergeBatch, entries.size()))
                merge(pending);
        }
    }
    merge(pending);
    if (damaged)
        throw TError(kReadError);
    return pos;
}

void TDictionary::LoadFromStream(TSecretMemoryStream& stream) {
    Clear();
    const int32_t count = loadHeader(stream, impl_->name, impl_->author, impl_->info);
    if (count <= 0)
        return;
    // The entries are parsed in place from a copy of the rest of the stream, which is the one
    // allocation and is bounded by the data actually present.
    const size_t rest = stream.remaining();
    if (rest < kEmptyEntrySize)
        throw TError(kReadError);
    MallocBuffer copy(static_cast<char*>(std::malloc(rest)));
    if (!copy)
        throw TError(kOutOfMemory);
    std::memcpy(copy.get(), stream.data() + stream.position(), rest);
    const char* data = copy.get();
    impl_->arena.adopt(std::move(copy), rest);
    const size_t start = stream.position();
    size_t end = rest;
    try {
        end = impl_->parseEntries(data, rest, 0, count);
    } catch (...) {
        stream.setPosition(start + rest);
        throw;
    }
    stream.setPosition(start + end);
}

void TDictionary::SaveToFile(const std::string& path) {
    // The layout is built, scrambled and written a piece at a time: the very bytes of building
    // the whole content in one stream and scrambling it, but without a second copy of the
    // whole file in memory, and with the disk at work while later pieces are built.
    AtomicFileWriter out(path);
    TSecretMemoryStream piece;
    piece.reserve(kSavePiece + kSavePiece / 4);
    size_t offset = 0;
    auto flush = [&] {
        keystream::scrambleFrom(piece.data(), piece.size(), offset);
        out.write(piece.data(), piece.size());
        offset += piece.size();
        piece.clear();
    };
    writeRecord(piece, impl_->name);
    writeRecord(piece, impl_->author);
    writeRecord(piece, impl_->info);
    writeInt32(piece, static_cast<int32_t>(impl_->entries.size()));
    for (const TermEntry& entry : impl_->entries) {
        writeRecord(piece, entry.termView());
        writeRecord(piece, entry.articleView());
        if (piece.size() >= kSavePiece)
            flush();
    }
    flush();
    out.commit();
    impl_->modified = false;
}

void TDictionary::LoadFromFile(const std::string& path) {
    Clear();
    TSecretMemoryStream stream;
    stream.LoadFromFile(path);
    // The stream's content is unscrambled and parsed in place in the file's own buffer, which
    // the dictionary takes over: no second copy of the data is made. Unscrambling runs just
    // ahead of the parser (see Unscrambler); the result is that of unscrambling first.
    Clear();
    const size_t size = stream.size();
    MallocBuffer buffer = stream.release();
    char* data = buffer.get();
    impl_->arena.adopt(std::move(buffer), size);
    Unscrambler ahead(data, size);

    size_t pos = 0;
    for (std::string* field : {&impl_->name, &impl_->author, &impl_->info}) {
        const char* value = nullptr;
        uint32_t length = 0;
        if (!parseRecord(data, size, pos, value, length, &ahead))
            throw TError(kReadError);
        field->assign(value ? value : "", length);
    }
    if (size - pos < kIntSize)
        throw TError(kReadError);
    ahead.ensure(pos + kIntSize);
    const int32_t count = decodeInt32(data + pos);
    pos += kIntSize;
    if (count > 0)
        impl_->parseEntries(data, size, pos, count, &ahead);
    impl_->modified = false;
}
