#include "dictionary/file_format.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "dictionary/secret_memory_stream.h"
#include "platform/error.h"
#include "platform/regular_file.h"

namespace file_format {

namespace {

// The window of a TRecordStream: large enough that reading it costs few system calls, small
// enough to stay in the processor's cache. A record longer than this widens it.
constexpr size_t kWindow = size_t{128} << 10;

}  // namespace

void throwShortData() {
    throw TError(error_text::kStreamRead);
}

namespace {

// Walks up to items items of the layout from item number item at offset (see layoutFits). Until
// a long record is met, damage counts as fitting when lenient (the reader meets it at once);
// after one, what follows is looked at for at least kProbeItems items and must fit.
bool walkLayout(TReadAt readAt, const void* source, size_t fileSize, size_t offset, uint64_t item,
                int64_t count, size_t items, bool lenient) {
    for (size_t left = items; left > 0; --left, ++item) {
        if (item >= kFirstEntryItem &&
            item - kFirstEntryItem >= 2 * static_cast<uint64_t>(std::max<int64_t>(count, 0)))
            return true;
        // Data cut short between two items is damage the reader meets only once it has kept
        // what came before, as it would in a file of any size.
        if (offset == fileSize)
            return true;
        char bytes[kIntSize];
        if (offset > fileSize || fileSize - offset < kIntSize ||
            !readAt(source, offset, bytes, kIntSize))
            return lenient;
        keystream::unscrambleShort(bytes, kIntSize, offset);
        const int32_t value = decodeInt32(bytes);
        offset += kIntSize;
        if (item == kCountItem) {
            count = value;
            continue;
        }
        if (value < 0 || static_cast<size_t>(value) > fileSize - offset)
            return lenient;
        offset += static_cast<size_t>(value);
        // What follows a long record is looked at as far as what follows the first one.
        if (static_cast<size_t>(value) >= kProbeFrom) {
            lenient = false;
            left = std::max(left, kProbeItems + 1);
        }
    }
    return true;
}

}  // namespace

bool layoutFits(TReadAt readAt, const void* source, size_t fileSize, size_t offset, uint64_t item,
                int64_t count, size_t items) {
    return walkLayout(readAt, source, fileSize, offset, item, count, items, false);
}

bool leadingRecordsFit(TReadAt readAt, const void* source, size_t fileSize, size_t items) {
    return walkLayout(readAt, source, fileSize, 0, 0, -1, items, true);
}

TRecordStream::TRecordStream(const std::string& path) {
    struct stat info {};
    fd_ = regular_file::openForReading(path, info);
    if (fd_ < 0)
        throw TError(formatMessage(error_text::kCannotOpenFile, path));
    stamp_ = file_stamp::fromStat(info);
    changeTime_ = info.st_ctim;
    fileSize_ = info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
}

bool TRecordStream::followsLongRecord(size_t length, uint64_t nextItem) const {
    auto readAt = [](const void* source, size_t offset, char* out, size_t n) {
        return static_cast<const TRecordStream*>(source)->readBytesAt(offset, out, n);
    };
    return layoutFits(readAt, this, fileSize_, fileOffset() + length, nextItem, count_,
                      kProbeItems);
}

TRecordStream::~TRecordStream() {
    ::close(fd_);
}

bool TRecordStream::refill(size_t n) {
    // The window is made when first needed: a reader that only reads records at offsets
    // never needs it.
    if (window_.empty())
        window_.resize(std::min(fileSize_, kWindow));
    // No length is believed beyond what the file holds, so a damaged one cannot make the
    // window grow past the file's size.
    if (n > fileSize_ - std::min(fileSize_, fileOffset()))
        return false;
    // The unread rest moves to the front and the window fills up behind it.
    std::memmove(window_.data(), window_.data() + position_, windowEnd_ - position_);
    windowOffset_ += position_;
    windowEnd_ -= position_;
    position_ = 0;
    if (window_.size() < n)
        window_.resize(n);
    while (windowEnd_ < n) {
        const ssize_t got = ::read(fd_, window_.data() + windowEnd_, window_.size() - windowEnd_);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        windowEnd_ += static_cast<size_t>(got);
    }
    return true;
}

bool TRecordStream::readInt(int32_t& value) {
    if (!ensure(kIntSize))
        return false;
    char* bytes = window_.data() + position_;
    keystream::unscrambleShort(bytes, kIntSize, fileOffset());
    value = decodeInt32(bytes);
    position_ += kIntSize;
    return true;
}

bool TRecordStream::readInt32(int32_t& value) {
    if (!readInt(value))
        return false;
    if (item_ == kCountItem)
        count_ = value;
    ++item_;
    return true;
}

bool TRecordStream::readValue(std::string_view& value) {
    int32_t length = 0;
    if (!readInt(length) || length < 0)
        return false;
    ++item_;
    if (static_cast<size_t>(length) >= kProbeFrom &&
        !followsLongRecord(static_cast<size_t>(length), item_))
        return false;
    if (!ensure(static_cast<size_t>(length)))
        return false;
    char* bytes = window_.data() + position_;
    keystream::unscrambleShort(bytes, static_cast<size_t>(length), fileOffset());
    value = recordValue(bytes, static_cast<size_t>(length));
    position_ += static_cast<size_t>(length);
    return true;
}

bool TRecordStream::skipRecord() {
    int32_t length = 0;
    if (!readInt(length) || length < 0)
        return false;
    ++item_;
    const auto bytes = static_cast<size_t>(length);
    if (bytes <= windowEnd_ - position_) {
        position_ += bytes;
        return true;
    }
    return skipBeyondWindow(bytes);
}

bool TRecordStream::skipBeyondWindow(size_t bytes) {
    // Past the window: the rest of the record is not read at all.
    const size_t target = fileOffset() + bytes;
    if (target > fileSize_)
        return false;
    const size_t readTo = windowOffset_ + windowEnd_;
    if (::lseek(fd_, static_cast<off_t>(target - readTo), SEEK_CUR) < 0)
        return false;
    windowOffset_ = target;
    windowEnd_ = position_ = 0;
    return true;
}

bool readFully(int fd, char* out, size_t n, size_t offset) {
    while (n > 0) {
        const ssize_t got = ::pread(fd, out, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        n -= static_cast<size_t>(got);
        offset += static_cast<size_t>(got);
    }
    return true;
}

bool TRecordStream::unchanged() const {
    struct stat info {};
    return ::fstat(fd_, &info) == 0 && file_stamp::fromStat(info) == stamp_ &&
           info.st_ctim.tv_sec == changeTime_.tv_sec && info.st_ctim.tv_nsec == changeTime_.tv_nsec;
}

bool TRecordStream::readBytesAt(size_t offset, char* out, size_t n) const {
    return offset <= fileSize_ && n <= fileSize_ - offset && readFully(fd_, out, n, offset);
}

bool TRecordStream::readRecordAt(size_t offset, std::string& value, size_t& next) {
    // One read takes the length and, for most terms, the whole text.
    constexpr size_t kFirstRead = 64;
    if (offset > fileSize_ || fileSize_ - offset < kIntSize)
        return false;
    char head[kFirstRead];
    const size_t first = std::min(kFirstRead, fileSize_ - offset);
    if (!readFully(fd_, head, first, offset))
        return false;
    keystream::unscrambleShort(head, first, offset);
    const int32_t length = decodeInt32(head);
    if (length < 0 || static_cast<size_t>(length) > fileSize_ - offset - kIntSize)
        return false;
    const auto bytes = static_cast<size_t>(length);
    const size_t inHead = std::min(bytes, first - kIntSize);
    value.assign(head + kIntSize, inHead);
    if (inHead < bytes) {
        value.resize(bytes);
        const size_t at = offset + kIntSize + inHead;
        if (!readFully(fd_, value.data() + inHead, bytes - inHead, at))
            return false;
        keystream::unscrambleFrom(value.data() + inHead, bytes - inHead, at);
    }
    value.resize(recordValue(value.data(), value.size()).size());
    next = offset + kIntSize + bytes;
    return true;
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

void writeHeader(TSecretMemoryStream& stream, std::string_view name, std::string_view author,
                 std::string_view info, size_t count) {
    writeRecord(stream, name);
    writeRecord(stream, author);
    writeRecord(stream, info);
    writeInt32(stream, static_cast<int32_t>(count));
}

void writeEntry(TSecretMemoryStream& stream, std::string_view term, std::string_view article) {
    writeRecord(stream, term);
    writeRecord(stream, article);
}

std::string readRecord(TSecretMemoryStream& stream) {
    // The length is checked against what remains before any room is made for the value, so a
    // damaged length cannot ask for memory.
    TRecordReader reader(stream.data(), stream.size(), stream.position());
    std::string_view value;
    const bool read = reader.readValue(value);
    stream.setPosition(reader.position());
    if (!read)
        throw TError(error_text::kStreamRead);
    return std::string(value);
}

}  // namespace file_format
