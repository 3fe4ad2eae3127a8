#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/source.h"
#include "interchange/conversion.h"
#include "interchange/source_readers.h"
#include "platform/error.h"

// For its lifetime, the program's own readers of other formats open sources, as it sets them
// at start.
struct TProgramReaders {
    TProgramReaders() { setSourceOpener(openSourceReader); }
    ~TProgramReaders() { setSourceOpener(nullptr); }
    TProgramReaders(const TProgramReaders&) = delete;
    TProgramReaders& operator=(const TProgramReaders&) = delete;
};

// A source read in place as its readers give it to the term index: each walked headword with
// the article read back by its locator, and the header.
struct TInPlace {
    std::vector<std::pair<std::string, std::string>> entries;
    TSourceReader::THeader header;
    std::vector<std::string> locators;
};

inline TInPlace readInPlace(const std::string& path) {
    const std::unique_ptr<TSourceReader> reader = openSourceReader(path);
    if (!reader)
        throw TError(path + ": no source");
    TInPlace out;
    out.header = reader->walk(
        [&](std::string_view headword, std::string_view locator) {
            out.locators.emplace_back(locator);
            out.entries.emplace_back(std::string(headword), reader->article(locator));
        },
        nullptr);
    return out;
}

// The dictionary a conversion makes of the source read in place: what the index would show,
// folded, for comparing with the converter's.
inline void convertInPlace(const std::string& path, TDictionary& d) {
    const TInPlace read = readInPlace(path);
    TConversion conversion;
    for (const auto& [headword, article] : read.entries)
        conversion.add(headword, article);
    if (!read.header.name.empty())
        conversion.setName(read.header.name);
    if (!read.header.author.empty())
        conversion.setAuthor(read.header.author);
    if (!read.header.info.empty())
        conversion.setInfo(read.header.info);
    conversion.finish(d);
}
