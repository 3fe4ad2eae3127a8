#include "dictionary/dic_check.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "dictionary/dictionary.h"
#include "dictionary/file_format.h"
#include "dictionary/secret_memory_stream.h"
#include "platform/compare.h"
#include "platform/error.h"

namespace {

bool hasZero(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

TDicCheck flawed(TDicFlaw flaw, std::string_view term = {}) {
    TDicCheck check;
    check.flaw = flaw;
    check.term = term;
    return check;
}

// The first flaw found by walking the plain layout (see file_format.h) of the file as it is
// read, or none.
TDicCheck walk(TUnscrambledFile& file) {
    file_format::TRecordReader reader(file.data(), file.size(), 0, &file);
    reader.followLayout(0, -1);
    TDicCheck unreadable = flawed(TDicFlaw::Unreadable);
    unreadable.error = error_text::kStreamRead;
    std::string_view text;
    for (int i = 0; i < 3; ++i) {
        if (!reader.readRaw(text))
            return unreadable;
        if (hasZero(text))
            return flawed(TDicFlaw::ZeroByte);
    }
    int32_t count = 0;
    if (!reader.readInt32(count))
        return unreadable;
    if (count < 0)
        return flawed(TDicFlaw::NegativeCount);
    std::string_view previous, term, article;
    for (int32_t i = 0; i < count; ++i) {
        if (!reader.readRaw(term) || !reader.readRaw(article))
            return unreadable;
        if (hasZero(term) || hasZero(article))
            return flawed(TDicFlaw::ZeroByte, term);
        if (i > 0) {
            const int order = compare::terms(previous, term);
            if (order == 0)
                return flawed(TDicFlaw::Duplicate, term);
            if (order > 0)
                return flawed(TDicFlaw::OutOfOrder, term);
        }
        previous = term;
    }
    if (reader.position() < file.size())
        return flawed(TDicFlaw::TrailingBytes);
    return {};
}

// Whether saving d gives exactly the bytes of the file at path: the saved layout is made and
// scrambled a piece at a time and each piece compared with the file's bytes there, so no
// second copy of the whole file is ever made.
bool savesBackTheSame(const TDictionary& d, const std::string& path) {
    constexpr size_t kPiece = size_t{1} << 20;
    std::optional<file_format::TRecordStream> file;
    try {
        file.emplace(path);
    } catch (const TError&) {
        return false;
    }
    TSecretMemoryStream piece;
    std::string onDisk;
    size_t offset = 0;
    auto matches = [&] {
        keystream::scrambleFrom(piece.data(), piece.size(), offset);
        onDisk.resize(piece.size());
        if (!file->readBytesAt(offset, onDisk.data(), piece.size()) ||
            std::memcmp(onDisk.data(), piece.data(), piece.size()) != 0)
            return false;
        offset += piece.size();
        piece.clear();
        return true;
    };
    file_format::writeHeader(piece, d.Name(), d.Author(), d.Info(), static_cast<size_t>(d.Count()));
    for (int i = 0; i < d.Count(); ++i) {
        file_format::writeEntry(piece, d.Term(i), d.Article(i));
        if (piece.size() >= kPiece && !matches())
            return false;
    }
    return matches() && offset == file->fileSize();
}

}  // namespace

TDicCheck checkDictionaryFile(const std::string& path) {
    {
        TUnscrambledFile file(path);
        TDicCheck check = walk(file);
        if (!check.clean())
            return check;
    }

    // The walk found nothing; the loader and the writer have the last word.
    TDictionary d;
    try {
        d.LoadFromFile(path);
    } catch (const TError& e) {
        TDicCheck check = flawed(TDicFlaw::Unreadable);
        check.error = e.what();
        return check;
    }
    if (!savesBackTheSame(d, path))
        return flawed(TDicFlaw::Other);
    TDicCheck check;
    check.count = d.Count();
    return check;
}
