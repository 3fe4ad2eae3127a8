#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "dictionary/secret_memory_stream.h"

// The byte layout of a dictionary file before scrambling; every integer is 32-bit signed
// little-endian:
//
//   name record, author record, description record, count C (int32),
//   C × (term record, article record)
//
// where a record is its length L (int32) then L bytes, no terminator. A value ends at its first
// zero byte, but all L bytes belong to the record. A negative length, or one that runs past the
// data, is damage. Bytes after the last entry are ignored.
//
// This unit owns that layout: the stream path (TDictionary::SaveToStream/LoadFromStream,
// TParaItem) and the file path (SaveToFile/LoadFromFile, which parse in place) both read and
// write it through the functions below.
namespace file_format {

inline constexpr size_t kIntSize = 4;
inline constexpr size_t kRecordHeaderSize = kIntSize;
inline constexpr size_t kEmptyEntrySize = 2 * kRecordHeaderSize;
inline constexpr size_t kEmptyFileSize = 3 * kRecordHeaderSize + kIntSize;
// The longest record: its length has to be a non-negative int32, so a text's length fits in
// 31 bits wherever it is kept.
inline constexpr uint32_t kMaxRecordLength = 0x7FFFFFFF;

// A text length as the 31 bits it is kept in. Requires length <= kMaxRecordLength, which every
// text that reaches a dictionary satisfies (longer ones are refused when stored).
inline uint32_t recordLength(size_t length) {
    return static_cast<uint32_t>(length) & kMaxRecordLength;
}

inline int32_t decodeInt32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                static_cast<uint32_t>(b[2]) << 16 |
                                static_cast<uint32_t>(b[3]) << 24);
}

inline void encodeInt32(char* p, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>((v >> 8) & 0xFF);
    p[2] = static_cast<char>((v >> 16) & 0xFF);
    p[3] = static_cast<char>((v >> 24) & 0xFF);
}

// The value of a record's L bytes: up to the first zero byte.
inline std::string_view recordValue(const char* bytes, size_t length) {
    // Most terms are short; a plain loop beats the library call there.
    constexpr size_t kShortValue = 24;
    if (length == 0)
        return {};
    if (length <= kShortValue) {
        for (size_t i = 0; i < length; ++i) {
            if (bytes[i] == 0)
                return {bytes, i};
        }
        return {bytes, length};
    }
    const void* zero = std::memchr(bytes, 0, length);
    return {bytes, zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : length};
}

// The bytes [offset, offset + n) of a scrambled dictionary file as they lie on disk; false when
// the file cannot give them all. Reads a few bytes at scattered offsets without moving any
// reader's position.
using TReadAt = bool (*)(const void* source, size_t offset, char* out, size_t n);

// A record at least this long is read only after the layout that follows it has been seen to
// fit the file: a damaged length (or a large file of zeros) would otherwise make a reader
// read, and keep in memory, a large part of the file before finding the damage.
inline constexpr size_t kProbeFrom = size_t{1} << 20;
// How many of the layout's items after such a record are looked at.
inline constexpr size_t kProbeItems = 64;

// The items of the layout are numbered in file order: 0, 1 and 2 the header texts, 3 the count,
// then each entry's term and article record (4 + 2i and 5 + 2i).
inline constexpr uint64_t kCountItem = 3;
inline constexpr uint64_t kFirstEntryItem = 4;

// Whether up to items items of the layout starting with item number item at file offset offset
// fit a file of fileSize bytes: every length non-negative and every record within the file. An
// item past the last entry, or the file's end between two items, ends the look with success
// (bytes after the entries are ignored; data cut short is met by the reader in its turn).
// count is the entry count when known (item > kCountItem), else negative. Reads each length
// through readAt.
bool layoutFits(TReadAt readAt, const void* source, size_t fileSize, size_t offset, uint64_t item,
                int64_t count, size_t items);

// Whether the first items of the layout (from the file's start) leave a long record only where
// the layout after it fits the file (see layoutFits). Any other damage among them counts as
// fitting here: a reader meets it at once, without reading a long record first.
bool leadingRecordsFit(TReadAt readAt, const void* source, size_t fileSize, size_t items);

// Reads the layout in place from bytes [position, size) of a buffer. Each read returns false on
// short or bad data; the position has then passed the length of a record whose length was
// readable, and nothing else. Reading from a TUnscrambledFile, bytes are read from the file as
// they are reached; a file that cannot give them is short data.
class TRecordReader {
public:
    TRecordReader(const char* data, size_t size, size_t position, TUnscrambledFile* file = nullptr)
        : data_(data), size_(size), position_(position), file_(file) {}

    size_t position() const { return position_; }

    // Reading from a file, makes the reader look ahead before it reads a long record (see
    // kProbeFrom): item is the number of the layout's next item at the position, count the
    // entry count when known (else negative).
    void followLayout(uint64_t item, int64_t count) {
        item_ = item;
        count_ = count;
    }

    // One int32 (the entry count).
    bool readInt32(int32_t& value) {
        if (!readInt(value))
            return false;
        if (item_ == kCountItem)
            count_ = value;
        if (item_ != kNoItem)
            ++item_;
        return true;
    }

    // One record's L bytes, not cut at a zero byte (an article, cut only when it is read).
    bool readRaw(std::string_view& bytes) {
        int32_t length = 0;
        if (!readInt(length))
            return false;
        if (length < 0 || static_cast<size_t>(length) > size_ - position_)
            return false;
        if (item_ != kNoItem)
            ++item_;
        if (file_ && static_cast<size_t>(length) >= kProbeFrom && item_ != kNoItem &&
            !layoutFits(&TUnscrambledFile::readScrambledAt, file_, size_,
                        position_ + static_cast<size_t>(length), item_, count_, kProbeItems))
            return false;
        if (file_ && !file_->ensure(position_ + static_cast<size_t>(length)))
            return false;
        bytes = {length == 0 ? nullptr : data_ + position_, static_cast<size_t>(length)};
        position_ += static_cast<size_t>(length);
        return true;
    }

    // One record's value: its bytes up to the first zero byte.
    bool readValue(std::string_view& value) {
        std::string_view bytes;
        if (!readRaw(bytes))
            return false;
        value = recordValue(bytes.data(), bytes.size());
        if (value.empty())
            value = {};
        return true;
    }

private:
    static constexpr uint64_t kNoItem = UINT64_MAX;

    bool readInt(int32_t& value) {
        if (size_ - position_ < kIntSize)
            return false;
        if (file_ && !file_->ensure(position_ + kIntSize))
            return false;
        value = decodeInt32(data_ + position_);
        position_ += kIntSize;
        return true;
    }

    const char* data_;
    size_t size_;
    size_t position_;
    TUnscrambledFile* file_;
    uint64_t item_ = kNoItem;
    int64_t count_ = -1;
};

// Raises TError("Stream read error").
[[noreturn]] void throwShortData();

// Reads exactly n bytes of the file fd at offset (without moving its position); false when the
// file gives fewer.
bool readFully(int fd, char* out, size_t n, size_t offset);

// Reads the layout straight from a dictionary file, front to back, through a small window that
// is reused. Only the bytes it interprets are unscrambled (the lengths and the values asked
// for); a record that is skipped is not unscrambled, and where it is long not even read. Each
// read returns false on short or bad data, as TRecordReader's do.
class TRecordStream {
public:
    // Opens the file (a regular file only). Raises TError("Cannot open file %s"). A read from
    // the start of the file on (the header, then the entries) takes a long record only when
    // the layout after it fits the file (see kProbeFrom); otherwise it fails as short data.
    explicit TRecordStream(const std::string& path);
    ~TRecordStream();
    TRecordStream(const TRecordStream&) = delete;
    TRecordStream& operator=(const TRecordStream&) = delete;

    bool readInt32(int32_t& value);
    // The file offset of the next byte to be read.
    size_t offset() const { return fileOffset(); }
    // The file's stamp when it was opened, before anything was read.
    const TFileStamp& stamp() const { return stamp_; }
    // The file's status change time when it was opened (any write, rename, link or mode
    // change moves it on, and it cannot be set back).
    const struct timespec& changeTime() const { return changeTime_; }
    // The file's size when it was opened.
    size_t fileSize() const { return fileSize_; }
    // Whether the file still has the stamp and change time it had when it was opened.
    bool unchanged() const;
    // Reads the file's bytes [offset, offset + n) as they lie on disk (scrambled), leaving the
    // position where it is; false when the file gives fewer.
    bool readBytesAt(size_t offset, char* out, size_t n) const;
    // One record's value; the view holds until the next read.
    bool readValue(std::string_view& value);
    // Passes over one record.
    bool skipRecord();
    // Reads the record that starts at a file offset, leaving the position where it is: its
    // value into value and the offset just past the record into next. Returns false on short
    // or bad data, as the other reads do.
    bool readRecordAt(size_t offset, std::string& value, size_t& next);

    // However short a term given by walkTerms, this many bytes can be read from its start
    // (those past its end mean nothing), so a caller can compare terms a word at a time.
    static constexpr size_t kReadableTerm = 16;

    // Walks count entries from the position, as readValue on the term and skipRecord on the
    // article would, calling onTerm(offset, term) for each: offset is where the term's record
    // starts, and the view holds until the end of the next call, so a caller can compare each
    // term with the one before without copying it. Returns false on short or bad data. One
    // loop over the window, every step inline, the key's place kept as it goes: a walk of a
    // whole file spends its time on these few bytes per entry.
    template <typename TOnTerm>
    bool walkTerms(int32_t count, TOnTerm&& onTerm) {
        // Two places for terms, used in turn, so the term before survives the next one.
        char shortTerms[2][kShortTerm];
        std::string longTerms[2];
        for (std::string& term : longTerms)
            term.reserve(kReadableTerm);
        // The offset within the key's period of the position.
        size_t key = fileOffset() % keystream::kKeyPeriod;
        auto advance = [&key](size_t n) {
            key += n;
            if (key >= keystream::kKeyPeriod)
                key %= keystream::kKeyPeriod;
        };
        for (int32_t i = 0; i < count; ++i) {
            const size_t offset = fileOffset();
            const size_t turn = static_cast<size_t>(i) & 1;
            size_t length = 0;
            if (!takeLength(length, key))
                return false;
            advance(kIntSize);
            if (length >= kProbeFrom && !followsLongRecord(length, item_ + 2 * uint64_t(i) + 1))
                return false;
            if (!ensure(length))
                return false;
            if (length <= kShortTerm && window_.size() - position_ >= kShortTerm) {
                onTerm(offset, unscrambleShortTerm(length, key, shortTerms[turn]));
            } else {
                // Rare: unscrambled in the window, then kept apart from it, which the next
                // refill may overwrite.
                char* bytes = window_.data() + position_;
                keystream::unscrambleShort(bytes, length, fileOffset());
                longTerms[turn].assign(recordValue(bytes, length));
                onTerm(offset, std::string_view(longTerms[turn]));
            }
            position_ += length;
            advance(length);
            if (!takeLength(length, key))
                return false;
            advance(kIntSize + length);
            if (length <= windowEnd_ - position_)
                position_ += length;
            else if (!skipBeyondWindow(length))
                return false;
        }
        item_ += 2 * static_cast<uint64_t>(std::max(count, 0));
        return true;
    }

private:
    // Most terms are this short: walkTerms unscrambles them whole registers at a time.
    static constexpr size_t kShortTerm = kReadableTerm;

    // The value of the term record of length <= kShortTerm bytes at the position, whose key
    // lies at key in the period, unscrambled into out (the window keeps its scrambled bytes).
    // Requires kShortTerm bytes of window at the position, whatever the record's length: the
    // bytes past the record are read along and dropped.
    std::string_view unscrambleShortTerm(size_t length, size_t key, char* out) const {
        using TBytes = unsigned char __attribute__((vector_size(kShortTerm)));
        TBytes bytes;
        TBytes keyBytes;
        std::memcpy(&bytes, window_.data() + position_, kShortTerm);
        std::memcpy(&keyBytes, keystream::kPeriodBytes.data() + key, kShortTerm);
        bytes -= keyBytes;
        std::memcpy(out, &bytes, kShortTerm);
        if constexpr (std::endian::native != std::endian::little)
            return recordValue(out, length);
        // The value ends at its first zero byte: the lowest byte that the borrow trick marks
        // (marks above a zero byte may be false, the lowest one never is).
        size_t end = kShortTerm;
        for (size_t half = 0; half < kShortTerm; half += 8) {
            uint64_t word;
            std::memcpy(&word, out + half, 8);
            const uint64_t zeros = (word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull;
            if (zeros) {
                end = half + static_cast<size_t>(std::countr_zero(zeros)) / 8;
                break;
            }
        }
        return {out, end < length ? end : length};
    }

    // Reads the length of the record at the position, whose key lies at key in the period,
    // without unscrambling it in the window, and passes it; false when it is missing or
    // negative.
    bool takeLength(size_t& length, size_t key) {
        if (!ensure(kIntSize))
            return false;
        const unsigned char* keyBytes = keystream::kPeriodBytes.data() + key;
        char bytes[kIntSize];
        for (size_t k = 0; k < kIntSize; ++k)
            bytes[k] =
                static_cast<char>(static_cast<unsigned char>(window_[position_ + k]) - keyBytes[k]);
        const int32_t value = decodeInt32(bytes);
        if (value < 0)
            return false;
        length = static_cast<size_t>(value);
        position_ += kIntSize;
        return true;
    }
    bool readInt(int32_t& value);
    // Whether the layout after a record of length bytes at the position fits the file, the
    // item after it numbered nextItem.
    bool followsLongRecord(size_t length, uint64_t nextItem) const;
    // Passes over the rest of a record that runs past the window, without reading it.
    bool skipBeyondWindow(size_t bytes);

    // Makes the n bytes at the position present in the window; the common case, bytes already
    // there, inline.
    bool ensure(size_t n) { return n <= windowEnd_ - position_ || refill(n); }
    bool refill(size_t n);
    size_t fileOffset() const { return windowOffset_ + position_; }

    int fd_ = -1;
    TFileStamp stamp_;
    struct timespec changeTime_ {};
    size_t fileSize_ = 0;
    std::string window_;
    size_t windowOffset_ = 0;  // the file offset of window_[0]
    size_t windowEnd_ = 0;     // bytes of the window read from the file
    size_t position_ = 0;      // within the window
    uint64_t item_ = 0;        // the number of the layout's item at the position
    int64_t count_ = -1;       // the entry count, once read
};

// Reads the three header texts and the count, storing each text as soon as it is read, and
// returns the count. Raises TError("Stream read error") on short or bad data.
template <typename TReader>
int32_t readHeader(TReader& reader, std::string& name, std::string& author, std::string& info) {
    for (std::string* field : {&name, &author, &info}) {
        std::string_view value;
        if (!reader.readValue(value))
            throwShortData();
        field->assign(value);
    }
    int32_t count = 0;
    if (!reader.readInt32(count))
        throwShortData();
    return count;
}

// Writes an int32, a record, the header or one entry at the stream's position. Raise
// TError("Out of memory while expanding memory stream") when the stream cannot grow.
void writeInt32(TSecretMemoryStream& stream, int32_t value);
void writeRecord(TSecretMemoryStream& stream, std::string_view text);
void writeHeader(TSecretMemoryStream& stream, std::string_view name, std::string_view author,
                 std::string_view info, size_t count);
void writeEntry(TSecretMemoryStream& stream, std::string_view term, std::string_view article);

// Reads one record's value through the stream, moving its position past the record. Raises
// TError("Stream read error") on short data or a negative length; the position has then passed
// a readable length.
std::string readRecord(TSecretMemoryStream& stream);

}  // namespace file_format
