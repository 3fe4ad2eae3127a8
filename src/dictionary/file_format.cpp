#include "dictionary/file_format.h"

#include <algorithm>

#include "dictionary/secret_memory_stream.h"
#include "platform/error.h"

namespace file_format {

namespace {

// How far unscrambling runs ahead of the reader at a time: large enough to keep the keystream
// walk fast, small enough to stay in the processor's cache until the reader gets there.
constexpr size_t kUnscrambleSlice = size_t{64} << 10;

}  // namespace

void TUnscrambler::advance(size_t end) {
    const size_t target = std::min(size_, std::max(end, done_ + kUnscrambleSlice));
    keystream::unscrambleFrom(data_ + done_, target - done_, done_);
    done_ = target;
}

int32_t readHeader(TRecordReader& reader, std::string& name, std::string& author,
                   std::string& info) {
    for (std::string* field : {&name, &author, &info}) {
        std::string_view value;
        if (!reader.readValue(value))
            throw TError(error_text::kStreamRead);
        field->assign(value);
    }
    int32_t count = 0;
    if (!reader.readInt32(count))
        throw TError(error_text::kStreamRead);
    return count;
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
