#include "dictionary/dic_check.h"

#include <cstdint>
#include <cstring>
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

// The first flaw found by walking the plain layout (see file_format.h), or none.
TDicCheck walk(std::string_view plain) {
    file_format::TRecordReader reader(plain.data(), plain.size(), 0);
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
    if (reader.position() < plain.size())
        return flawed(TDicFlaw::TrailingBytes);
    return {};
}

}  // namespace

TDicCheck checkDictionaryFile(const std::string& path) {
    TSecretMemoryStream original;
    original.LoadFromFile(path);
    TSecretMemoryStream plain;
    plain.WriteBuffer(original.data(), original.size());
    plain.Unscramble();
    TDicCheck check = walk(std::string_view(plain.data(), plain.size()));
    if (!check.clean())
        return check;

    // The walk found nothing; the loader and the writer have the last word.
    TDictionary d;
    plain.setPosition(0);
    try {
        d.LoadFromStream(plain);
    } catch (const TError& e) {
        check = flawed(TDicFlaw::Unreadable);
        check.error = e.what();
        return check;
    }
    TSecretMemoryStream again;
    d.SaveToStream(again);
    again.Scramble();
    if (again.size() != original.size() ||
        std::memcmp(again.data(), original.data(), again.size()) != 0)
        return flawed(TDicFlaw::Other);
    return check;
}
