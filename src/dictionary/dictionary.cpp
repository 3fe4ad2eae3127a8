#include "dictionary/dictionary.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <optional>

#include "dictionary/file_format.h"
#include "dictionary/secret_memory_stream.h"
#include "dictionary/term_index.h"
#include "platform/atomic_file.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "platform/file_stamp.h"
#include "platform/recovery_folder.h"

namespace {

using file_format::kEmptyEntrySize;
using file_format::kEmptyFileSize;

// Loading sets index room aside up front for one entry per this many bytes of data; real
// entries (a term and an article) are seldom smaller, and index entries are half as large.
constexpr size_t kReservedEntryBytes = 2 * sizeof(TTermEntry);
constexpr size_t kCompactAbove = size_t{1} << 20;
constexpr size_t kSavePiece = size_t{1} << 20;

// A batch of out-of-order entries met while loading is merged in once it is this large or as
// large as the dictionary, whichever is more, so a file in a foreign order costs n log n.
constexpr size_t kLoadMergeBatch = 65536;

// The file a save to path replaces, spelled one way whatever the path's spelling: absolute,
// with the links along it followed as the save follows them. Empty when the links never end.
std::string replacedFileKey(const std::string& path) {
    const std::string target = atomic_file::replacementTarget(path);
    if (target.empty())
        return {};
    std::error_code ec;
    const std::filesystem::path key = std::filesystem::weakly_canonical(target, ec);
    return ec ? std::filesystem::path(target).lexically_normal().string() : key.string();
}

// Binary search over entries [low, high), where order(entry) tells how the entry stands to the
// term sought (negative: before it). Returns the position of the equal entry with found = true,
// or the position the term would be inserted at with found = false.
template <typename Order>
size_t binarySearch(const std::vector<TTermEntry>& entries, size_t low, size_t high, Order order,
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

int compareEntries(const TTermEntry& a, const TTermEntry& b) {
    return compare::terms(a.termView(), b.termView());
}

constexpr size_t kHeadBytes = sizeof(uint64_t);

// Whether every byte of the term is plain for the comparison shortcut, and if so its head: the
// weights of its first 8 bytes packed first byte highest, 0 past its end. The weights are ranks
// below 256, so two heads compare as integers exactly as their terms' first 8 bytes collate,
// a term that ends first coming first.
bool plainHead(const char* term, size_t length, const uint32_t* weights, uint64_t& head) {
    head = 0;
    if (!weights)
        return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(term);
    for (size_t i = 0; i < length; ++i) {
        const uint32_t weight = weights[bytes[i]];
        if (weight == 0) {
            head = 0;
            return false;
        }
        if (i < kHeadBytes)
            head |= static_cast<uint64_t>(weight) << (8 * (kHeadBytes - 1 - i));
    }
    return true;
}

// The newcomers in the dictionary's order with only the first of each run of equal terms
// (first in arrival order). They are sorted once by collation key, a byte comparison far
// cheaper than pairwise collation, keeping their arrival order among equals.
std::vector<TTermEntry> firstOfEachTerm(const std::vector<TTermEntry>& pending) {
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
    std::vector<TTermEntry> fresh;
    fresh.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (i == 0 || key(order[i]) != key(order[i - 1]))
            fresh.push_back(pending[order[i]]);
    }
    return fresh;
}

// Merges sorted, distinct newcomers into the sorted entries, appending to merged; a newcomer
// equal to a present entry is dropped. Returns how many were added. Few newcomers into many
// entries: each place is found by binary search and the runs between them are copied whole.
size_t mergeBySearch(const std::vector<TTermEntry>& entries, const std::vector<TTermEntry>& fresh,
                     std::vector<TTermEntry>& merged) {
    size_t added = 0;
    size_t from = 0;
    for (const TTermEntry& entry : fresh) {
        bool found = false;
        const size_t low = binarySearch(
            entries, from, entries.size(),
            [&](const TTermEntry& present) { return compareEntries(present, entry); }, found);
        merged.insert(merged.end(), entries.begin() + static_cast<ptrdiff_t>(from),
                      entries.begin() + static_cast<ptrdiff_t>(low));
        from = low;
        if (!found) {
            merged.push_back(entry);
            ++added;
        }
    }
    merged.insert(merged.end(), entries.begin() + static_cast<ptrdiff_t>(from), entries.end());
    return added;
}

// As mergeBySearch, walking both lists side by side: cheaper when the newcomers are many.
size_t mergeByWalk(const std::vector<TTermEntry>& entries, const std::vector<TTermEntry>& fresh,
                   std::vector<TTermEntry>& merged) {
    size_t added = 0;
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
    return added;
}

}  // namespace

void TTermBatch::add(std::string_view term, std::string_view article) {
    TTermEntry entry;
    entry.setTerm(arena_.store(term), term.size());
    entry.setArticle(arena_.store(article), article.size());
    entries_.push_back(entry);
}

struct TDictionary::TImpl {
    std::vector<TTermEntry> entries;
    TTermArena arena;
    bool modified = false;
    // The file last loaded from or saved to (as replacedFileKey spells it) and its stamp as it
    // was then; no stamp when the dictionary has no file.
    std::string file;
    std::optional<TFileStamp> fileStamp;
    // The file's path as the caller gave it, or as setFileName put it: where Save offers to
    // write; empty for a dictionary that belongs to no file.
    std::string fileName;
    std::string name;
    std::string author;
    std::string info;

    // While the dictionary is read through its index: the index, and the article last read
    // (Article hands out a view of it). The entries are then empty.
    std::shared_ptr<const TTermFile> indexed;
    mutable std::string articleRead;
    mutable int articleReadAt = -1;
    // A dictionary of another format read in place: its texts' form, and never changed.
    TTextForm textForm = TTextForm::Cp1251;
    bool readOnly = false;

    int count() const {
        return indexed ? static_cast<int>(indexed->count()) : static_cast<int>(entries.size());
    }

    // Loads the indexed file whole, once the dictionary is to change or be saved: from then on
    // the entries hold it. Raises TDictionaryChanged when the file is no longer the version
    // indexed (nothing changes then), and as LoadFromFile does.
    void loadWhole();

    // Sets one of the header texts; text may be a view of this dictionary's own, which loading
    // the indexed file whole replaces.
    void setText(std::string TImpl::*field, std::string_view text) {
        refuseChange();
        std::string copy(text);
        loadWhole();
        this->*field = std::move(copy);
        modified = true;
    }

    // The locale the entries' heads and plain flags were worked out under; when it has
    // changed they are no longer trusted, until the dictionary is next emptied.
    uint64_t generation = compare::orderGeneration();
    bool headsValid = true;

    // Fills in the entry's head and plain flag from its term.
    void describe(TTermEntry& entry) {
        if (compare::orderGeneration() != generation)
            headsValid = false;
        describe(entry, compare::plainWeights());
    }
    // The same with the weights already fetched, for loops over many entries.
    static void describe(TTermEntry& entry, const uint32_t* weights) {
        uint64_t head = 0;
        entry.plain = plainHead(entry.term, entry.termLength, weights, head) ? 1 : 0;
        entry.head = head;
    }

    // The term comparison of two described entries, from their heads where that decides.
    static int compareDescribed(const TTermEntry& a, const TTermEntry& b) {
        if (a.plain && b.plain)
            return compareHead(a, b.termView(), b.head);
        return compareEntries(a, b);
    }

    // The term comparison of a plain entry against a plain probe with the given head, decided
    // by the heads alone where they differ or both terms are no longer than a head.
    static int compareHead(const TTermEntry& entry, std::string_view term, uint64_t head) {
        if (entry.head != head)
            return entry.head < head ? -1 : 1;
        if (entry.termLength <= kHeadBytes && term.size() <= kHeadBytes)
            return 0;
        return compare::terms(entry.termView(), term);
    }

    // Binary search: the position of the equal term with found = true, or the insertion
    // position with found = false.
    size_t search(std::string_view term, bool& found) const {
        uint64_t head = 0;
        const bool shortcut = headsValid && compare::orderGeneration() == generation &&
                              plainHead(term.data(), term.size(), compare::plainWeights(), head);
        return binarySearch(
            entries, 0, entries.size(),
            [&](const TTermEntry& entry) {
                return shortcut && entry.plain ? compareHead(entry, term, head)
                                               : compare::terms(entry.termView(), term);
            },
            found);
    }

    void checkIndex(int position) const {
        if (position < 0 || position >= count())
            throw TError(formatMessage(error_text::kListIndex, std::to_string(position)));
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
            std::vector<TTermEntry> moved = entries;
            TTermArena fresh;
            for (TTermEntry& entry : moved) {
                entry.term = fresh.store(entry.termView());
                const std::string_view article = entry.articleView();
                entry.setArticle(fresh.store(article), article.size());
                entry.articleRaw = 0;
            }
            entries.swap(moved);
            arena = std::move(fresh);
            garbage = 0;
        } catch (const TError&) {
        } catch (const std::bad_alloc&) {
        }
    }

    // Raises the read-only error when the dictionary is another format's read in place.
    void refuseChange() const {
        if (!readOnly)
            return;
        const std::string shown =
            !name.empty() ? name : std::filesystem::path(fileName).filename().string();
        throw TError(formatMessage(error_text::kReadOnly, shown));
    }

    void clear() {
        textForm = TTextForm::Cp1251;
        readOnly = false;
        indexed.reset();
        articleReadAt = -1;
        std::vector<TTermEntry>().swap(entries);
        arena.clear();
        garbage = 0;
        generation = compare::orderGeneration();
        headsValid = true;
    }

    // Empties the dictionary, whatever it was (also one read in place), and lets go of its
    // file: what a load that replaces it starts from, and what a failed one leaves.
    void forget() {
        clear();
        modified = true;
        file.clear();
        fileStamp.reset();
        fileName.clear();
    }

    // Merges entries that arrived in the given order (their texts already in the arena) with
    // exactly the result of inserting them one by one where the first of equal terms wins and
    // terms present win over all of them. Returns how many were added.
    size_t merge(std::vector<TTermEntry>& pending);
    // Adds one entry at its place unless an equal term is present; returns 1 or 0.
    size_t insertOne(TTermEntry& entry);

    // Parses count entries in place from data [pos, size), bytes the arena already owns.
    // Returns the position after the last entry; raises "Stream read error" on short or bad
    // data after keeping every entry read before the damage.
    size_t parseEntries(const char* data, size_t size, size_t pos, int32_t count,
                        TUnscrambledFile* file = nullptr);

    // The stamp a save to path (whose replacedFileKey is key) must find on disk: the one of
    // the dictionary's own file when path leads there, else none.
    std::optional<TFileStamp> expectedStamp(const std::string& path, const std::string& key) const;
    // Whether path (whose replacedFileKey is key) leads to the dictionary's own file.
    bool isOwnFile(const std::string& path, const std::string& key) const;
    // Writes the scrambled file atomically over path, first checking it against expected;
    // returns the written file's stamp. Raises as SaveToFile; changes nothing of the dictionary.
    std::optional<TFileStamp> write(const std::string& path,
                                    const std::optional<TFileStamp>& expected,
                                    TAtomicFileWriter::TAccess access) const;
};

size_t TDictionary::TImpl::merge(std::vector<TTermEntry>& pending) {
    if (pending.empty())
        return 0;
    if (pending.size() == 1) {
        const size_t added = insertOne(pending.front());
        pending.clear();
        return added;
    }
    for (TTermEntry& entry : pending)
        describe(entry);
    std::vector<TTermEntry> fresh = firstOfEachTerm(pending);
    pending.clear();
    if (entries.empty()) {
        entries = std::move(fresh);
        return entries.size();
    }
    std::vector<TTermEntry> merged;
    merged.reserve(entries.size() + fresh.size());
    const size_t added = fresh.size() * 32 < entries.size() ? mergeBySearch(entries, fresh, merged)
                                                            : mergeByWalk(entries, fresh, merged);
    entries = std::move(merged);
    return added;
}

size_t TDictionary::TImpl::insertOne(TTermEntry& entry) {
    describe(entry);
    bool found = false;
    const size_t at = search(entry.termView(), found);
    if (found)
        return 0;
    entries.insert(entries.begin() + static_cast<ptrdiff_t>(at), entry);
    return 1;
}

TDictionary::TDictionary() : impl_(std::make_unique<TImpl>()) {}

TDictionary::~TDictionary() = default;

int TDictionary::Count() const {
    return impl_->count();
}

std::string_view TDictionary::Term(int position) const {
    impl_->checkIndex(position);
    if (impl_->indexed)
        return impl_->indexed->term(static_cast<size_t>(position));
    return impl_->entries[static_cast<size_t>(position)].termView();
}

std::string_view TDictionary::Article(int position) const {
    impl_->checkIndex(position);
    if (impl_->indexed) {
        if (impl_->articleReadAt != position) {
            impl_->articleReadAt = -1;
            impl_->articleRead = impl_->indexed->article(static_cast<size_t>(position));
            impl_->articleReadAt = position;
        }
        return impl_->articleRead;
    }
    return impl_->entries[static_cast<size_t>(position)].articleView();
}

int TDictionary::Find(std::string_view term) const {
    bool found = false;
    const size_t at =
        impl_->indexed ? impl_->indexed->lowerBound(term, found) : impl_->search(term, found);
    return found ? static_cast<int>(at) : -1;
}

int TDictionary::lowerBound(std::string_view term) const {
    // Terms are unique, so an equal one found is the first not before term; otherwise the
    // search ends at the insertion position.
    bool found = false;
    if (impl_->indexed)
        return static_cast<int>(impl_->indexed->lowerBound(term, found));
    return static_cast<int>(impl_->search(term, found));
}

int TDictionary::AddTerm(std::string_view term, std::string_view article) {
    impl_->refuseChange();
    if (impl_->indexed) {
        // The texts may be views of this dictionary's index, which loading lets go of.
        const std::string termCopy(term);
        const std::string articleCopy(article);
        impl_->loadWhole();
        return AddTerm(termCopy, articleCopy);
    }
    bool found = false;
    const size_t at = impl_->search(term, found);
    if (found)
        return -1;
    TTermEntry entry;
    entry.setTerm(impl_->arena.store(term), term.size());
    entry.setArticle(impl_->arena.store(article), article.size());
    impl_->describe(entry);
    impl_->entries.insert(impl_->entries.begin() + static_cast<ptrdiff_t>(at), entry);
    impl_->modified = true;
    return static_cast<int>(at);
}

int TDictionary::ChangeTerm(std::string_view term, std::string_view article) {
    impl_->refuseChange();
    if (Find(term) >= 0)
        throw TError(error_text::kSortedList);
    return AddTerm(term, article);
}

bool TDictionary::GetTerm(int position, std::string& term, std::string& article) const {
    if (position < 0 || position >= impl_->count())
        return false;
    if (impl_->indexed) {
        article.assign(Article(position));
        term.assign(Term(position));
        return true;
    }
    const TTermEntry& entry = impl_->entries[static_cast<size_t>(position)];
    term.assign(entry.termView());
    article.assign(entry.articleView());
    return true;
}

void TDictionary::Delete(int position) {
    impl_->refuseChange();
    impl_->checkIndex(position);
    impl_->loadWhole();
    const TTermEntry& gone = impl_->entries[static_cast<size_t>(position)];
    impl_->garbage += gone.termLength + size_t{gone.articleLength};
    impl_->entries.erase(impl_->entries.begin() + position);
    impl_->modified = true;
    impl_->compactIfWasteful();
}

void TDictionary::Clear() {
    impl_->refuseChange();
    impl_->clear();
    impl_->modified = true;
}

int TDictionary::addTerms(TTermBatch&& batch) {
    impl_->refuseChange();
    impl_->loadWhole();
    std::vector<TTermEntry> pending = std::move(batch.entries_);
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
    impl_->setText(&TImpl::name, text);
}

void TDictionary::SetAuthor(std::string_view text) {
    impl_->setText(&TImpl::author, text);
}

void TDictionary::SetInfo(std::string_view text) {
    impl_->setText(&TImpl::info, text);
}

bool TDictionary::Modified() const {
    return impl_->modified;
}

void TParaItem::SaveToStream(TSecretMemoryStream& stream) const {
    file_format::writeRecord(stream, Text);
}

void TParaItem::LoadFromStream(TSecretMemoryStream& stream) {
    Text = file_format::readRecord(stream);
}

void TDictionary::SaveToStream(TSecretMemoryStream& stream) const {
    impl_->loadWhole();
    const auto& entries = impl_->entries;
    size_t total = kEmptyFileSize + impl_->name.size() + impl_->author.size() + impl_->info.size();
    for (const TTermEntry& entry : entries)
        total += kEmptyEntrySize + entry.termLength + entry.articleLength;  // at most
    if (total > SIZE_MAX - stream.position())
        throw TError(error_text::kOutOfMemory);
    stream.reserve(stream.position() + total);

    file_format::writeHeader(stream, impl_->name, impl_->author, impl_->info, entries.size());
    for (const TTermEntry& entry : entries)
        file_format::writeEntry(stream, entry.termView(), entry.articleView());
}

size_t TDictionary::TImpl::parseEntries(const char* data, size_t size, size_t pos, int32_t count,
                                        TUnscrambledFile* file) {
    // A saved file is in order, so each term normally just has to follow the last one; one
    // comparison per term checks that. Terms out of that order (a file saved under another
    // collation, or edited by hand) are gathered and merged in batches.
    std::vector<TTermEntry> pending;
    // Loading always starts from an empty dictionary, whose heads follow the current locale.
    generation = compare::orderGeneration();
    headsValid = true;
    const uint32_t* weights = compare::plainWeights();
    // The count is not trusted: room is made at once only for the entries the data could hold
    // at kReservedEntryBytes each, so index room set aside stays within half the data's size;
    // a file of smaller entries lets the index grow as they actually arrive.
    entries.reserve(std::min(static_cast<size_t>(count), (size - pos) / kReservedEntryBytes));
    adviseHugePages(entries.data(), entries.capacity() * sizeof(TTermEntry));
    file_format::TRecordReader reader(data, size, pos, file);
    if (file)
        reader.followLayout(file_format::kFirstEntryItem, count);
    bool damaged = false;
    for (int32_t i = 0; i < count; ++i) {
        std::string_view term;
        std::string_view article;
        if (!reader.readValue(term) || !reader.readRaw(article)) {
            damaged = true;
            break;
        }
        TTermEntry entry;
        entry.setTerm(term.data(), term.size());
        entry.setArticle(article.data(), article.size());
        entry.articleRaw = 1;
        describe(entry, weights);
        if (pending.empty() && (entries.empty() || compareDescribed(entries.back(), entry) < 0)) {
            entries.push_back(entry);
        } else {
            pending.push_back(entry);
            if (pending.size() >= std::max(kLoadMergeBatch, entries.size()))
                merge(pending);
        }
    }
    merge(pending);
    if (damaged)
        throw TError(error_text::kStreamRead);
    return reader.position();
}

void TDictionary::LoadFromStream(TSecretMemoryStream& stream) {
    impl_->refuseChange();
    Clear();
    file_format::TRecordReader header(stream.data(), stream.size(), stream.position());
    int32_t count = 0;
    try {
        count = file_format::readHeader(header, impl_->name, impl_->author, impl_->info);
    } catch (...) {
        stream.setPosition(header.position());
        throw;
    }
    stream.setPosition(header.position());
    if (count <= 0)
        return;
    // The entries are parsed in place from a copy of the rest of the stream, which is the one
    // allocation and is bounded by the data actually present.
    const size_t rest = stream.remaining();
    if (rest < kEmptyEntrySize)
        throw TError(error_text::kStreamRead);
    TMallocBuffer copy(static_cast<char*>(std::malloc(rest)));
    if (!copy)
        throw TError(error_text::kOutOfMemory);
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

bool TDictionary::TImpl::isOwnFile(const std::string& path, const std::string& key) const {
    if (!fileStamp)
        return false;
    // The same file by its name, or by its identity when reached through another name (a hard
    // link, another mount of the folder).
    if (!key.empty() && key == file)
        return true;
    const std::optional<TFileStamp> now = file_stamp::ofPath(path);
    return now && now->sameFile(*fileStamp);
}

std::optional<TFileStamp> TDictionary::TImpl::expectedStamp(const std::string& path,
                                                            const std::string& key) const {
    return isOwnFile(path, key) ? fileStamp : std::nullopt;
}

bool TDictionary::IsOwnFile(const std::string& path) const {
    return impl_->isOwnFile(path, replacedFileKey(path));
}

std::optional<TFileStamp> TDictionary::TImpl::write(const std::string& path,
                                                    const std::optional<TFileStamp>& expected,
                                                    TAtomicFileWriter::TAccess access) const {
    const_cast<TImpl*>(this)->loadWhole();
    // The layout is built, scrambled and written a piece at a time: the very bytes of building
    // the whole content in one stream and scrambling it, but without a second copy of the
    // whole file in memory, and with the disk at work while later pieces are built.
    // A save written in place keeps the old content in the recovery folder until it is done.
    TAtomicFileWriter out(path, expected,
                          {TAtomicFileWriter::TFlush::ToDisk, access, recovery_folder::forSaves()});
    TSecretMemoryStream piece;
    piece.reserve(kSavePiece + kSavePiece / 4);
    size_t offset = 0;
    auto flush = [&] {
        keystream::scrambleFrom(piece.data(), piece.size(), offset);
        out.write(piece.data(), piece.size());
        offset += piece.size();
        piece.clear();
    };
    file_format::writeHeader(piece, name, author, info, entries.size());
    for (const TTermEntry& entry : entries) {
        file_format::writeEntry(piece, entry.termView(), entry.articleView());
        if (piece.size() >= kSavePiece)
            flush();
    }
    flush();
    out.commit();
    return out.stamp();
}

void TDictionary::SaveToFile(const std::string& path, TOverwrite overwrite) {
    impl_->refuseChange();
    const std::string key = replacedFileKey(path);
    std::optional<TFileStamp> expected;
    if (overwrite == TOverwrite::IfUnchanged)
        expected = impl_->expectedStamp(path, key);
    std::optional<TFileStamp> stamp =
        impl_->write(path, expected, TAtomicFileWriter::TAccess::AsCreated);
    impl_->modified = false;
    impl_->file = key;
    impl_->fileStamp = std::move(stamp);
    impl_->fileName = path;
}

void TDictionary::saveCopy(const std::string& path) const {
    impl_->refuseChange();
    impl_->write(path, std::nullopt, TAtomicFileWriter::TAccess::UserOnly);
}

const std::string& TDictionary::fileName() const {
    return impl_->fileName;
}

void TDictionary::setFileName(const std::string& path) {
    impl_->file.clear();
    impl_->fileStamp.reset();
    impl_->fileName = path;
    impl_->modified = true;
}

void TDictionary::LoadFromFile(const std::string& path) {
    // Loading replaces the dictionary whole, whatever it was (also one read in place).
    impl_->forget();
    // The file is read as the parser reaches it, and the entries are parsed in place in the
    // file's own buffer, which the dictionary then takes over: no second copy is made.
    TUnscrambledFile file(path);
    const char* data = file.data();
    const size_t size = file.size();
    impl_->arena.adopt(file.takeBuffer(), size);
    file_format::TRecordReader header(data, size, 0, &file);
    header.followLayout(0, -1);
    const int32_t count = file_format::readHeader(header, impl_->name, impl_->author, impl_->info);
    if (count > 0)
        impl_->parseEntries(data, size, header.position(), count, &file);
    impl_->modified = false;
    impl_->file = replacedFileKey(path);
    impl_->fileStamp = file.stamp();
    impl_->fileName = path;
}

void TDictionary::TImpl::loadWhole() {
    if (!indexed)
        return;
    // Another format's dictionary has no file of the program's to load: it never changes.
    refuseChange();
    const std::shared_ptr<const TTermFile> index = indexed;
    TDictionary whole;
    try {
        whole.LoadFromFile(index->path());
    } catch (const TError&) {
        // A file cut short or gone since it was indexed is a changed file, not a damaged one.
        if (index->fileChanged())
            throw TDictionaryChanged(formatMessage(error_text::kFileChanged, index->path()));
        throw;
    }
    // The file must still be the version whose terms were shown, or positions would move
    // under the caller. The stamp alone misses a write in place that put the modification
    // time back; the status change time, looked at once the file is read, tells that too.
    if (!(*whole.impl_->fileStamp == index->stamp()) || index->fileChanged())
        throw TDictionaryChanged(formatMessage(error_text::kFileChanged, index->path()));
    // The contents are the same; which file they belong to, and whether it holds them, stay as
    // they were (setFileName may have given them another).
    std::string keptName = std::move(fileName);
    std::string keptFile = std::move(file);
    std::optional<TFileStamp> keptStamp = std::move(fileStamp);
    const bool keptModified = modified;
    *this = std::move(*whole.impl_);
    fileName = std::move(keptName);
    file = std::move(keptFile);
    fileStamp = std::move(keptStamp);
    modified = keptModified;
}

void TDictionary::openIndexed(std::shared_ptr<const TTermFile> file) {
    impl_->clear();
    impl_->textForm = file->isSource() ? TTextForm::Utf8 : TTextForm::Cp1251;
    impl_->readOnly = file->isSource();
    impl_->name = file->name();
    impl_->author = file->author();
    impl_->info = file->info();
    impl_->modified = false;
    impl_->file = replacedFileKey(file->path());
    impl_->fileStamp = file->stamp();
    impl_->fileName = file->path();
    impl_->indexed = std::move(file);
}

void TDictionary::openIndexed(const std::string& path, const std::string& folder,
                              TIndexProgress* progress, std::string* refusedFolder) {
    std::shared_ptr<const TTermFile> file;
    try {
        // A dictionary of another format is opened through its reader (see TTermFile::open).
        file =
            TTermFile::open(path, folder, TTermFile::TOpen::CachedOrMade, progress, refusedFolder);
    } catch (...) {
        impl_->forget();
        throw;
    }
    if (file)
        openIndexed(std::move(file));
    else
        LoadFromFile(path);
}

std::shared_ptr<const TTermFile> TDictionary::termFile() const {
    return impl_->indexed;
}

bool TDictionary::fileChanged() const {
    return impl_->indexed && impl_->indexed->fileChanged();
}

TTextForm TDictionary::textForm() const {
    return impl_->textForm;
}

bool TDictionary::readOnly() const {
    return impl_->readOnly;
}
