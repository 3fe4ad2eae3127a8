#include "dictionary/dic_check.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"
#include "platform/compare.h"
#include "platform/error.h"

namespace {

// The plain file layout: three string records (name, author, description), a 32-bit signed
// little-endian count C, then C pairs of string records (term, article). A string record is a
// 32-bit signed little-endian length L followed by L bytes.
class TPlainReader {
public:
    explicit TPlainReader(std::string_view data) : data_(data) {}

    std::optional<int32_t> int32() {
        if (data_.size() - at_ < 4)
            return std::nullopt;
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(data_[at_ + static_cast<size_t>(i)]);
        at_ += 4;
        return static_cast<int32_t>(v);
    }

    std::optional<std::string_view> record() {
        const auto length = int32();
        if (!length || *length < 0 || static_cast<size_t>(*length) > data_.size() - at_)
            return std::nullopt;
        const std::string_view text = data_.substr(at_, static_cast<size_t>(*length));
        at_ += text.size();
        return text;
    }

    size_t remaining() const { return data_.size() - at_; }

private:
    std::string_view data_;
    size_t at_ = 0;
};

bool hasZero(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

TDicCheck flawed(TDicFlaw flaw, std::string_view term = {}) {
    TDicCheck check;
    check.flaw = flaw;
    check.term = term;
    return check;
}

// The first flaw found by walking the plain layout, or none.
TDicCheck walk(std::string_view plain) {
    TPlainReader reader(plain);
    TDicCheck unreadable = flawed(TDicFlaw::Unreadable);
    unreadable.error = "Stream read error";
    for (int i = 0; i < 3; ++i) {
        const auto text = reader.record();
        if (!text)
            return unreadable;
        if (hasZero(*text))
            return flawed(TDicFlaw::ZeroByte);
    }
    const auto count = reader.int32();
    if (!count)
        return unreadable;
    if (*count < 0)
        return flawed(TDicFlaw::NegativeCount);
    std::string_view previous;
    for (int32_t i = 0; i < *count; ++i) {
        const auto term = reader.record();
        const auto article = term ? reader.record() : std::nullopt;
        if (!article)
            return unreadable;
        if (hasZero(*term) || hasZero(*article))
            return flawed(TDicFlaw::ZeroByte, *term);
        if (i > 0) {
            const int order = compare::terms(previous, *term);
            if (order == 0)
                return flawed(TDicFlaw::Duplicate, *term);
            if (order > 0)
                return flawed(TDicFlaw::OutOfOrder, *term);
        }
        previous = *term;
    }
    if (reader.remaining() > 0)
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
