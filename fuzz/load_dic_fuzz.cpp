// Loads a dictionary from arbitrary bytes, both as plain layout and as a scrambled file's
// content, and checks what a load promises: no crash, no error other than "Stream read error",
// entries in strictly ascending order, and a loaded dictionary that saves and loads back to
// the same content. The same bytes go to the converters' data file reader too, as a data file
// of their own (gzip or dictzip when they start so) and as the content of a dictzip file with
// one byte garbled: every range reads whole or fails naming the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "dictionary/dictionary.h"
#include "dictionary/file_lookup.h"
#include "dictionary/secret_memory_stream.h"
#include "interchange/dict_data.h"
#include "platform/compare.h"
#include "platform/error.h"

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void loadAndCheck(const uint8_t* data, size_t size) {
    TSecretMemoryStream stream;
    stream.WriteBuffer(data, size);
    stream.setPosition(0);
    TDictionary d;
    bool complete = true;
    try {
        d.LoadFromStream(stream);
    } catch (const TError& e) {
        check(std::string(e.what()) == "Stream read error");
        complete = false;
    }
    for (int i = 1; i < d.Count(); ++i)
        check(compare::terms(d.Term(i - 1), d.Term(i)) < 0);
    if (!complete)
        return;

    TSecretMemoryStream saved;
    d.SaveToStream(saved);
    saved.setPosition(0);
    TDictionary back;
    back.LoadFromStream(saved);
    check(back.Count() == d.Count());
    check(back.Name() == d.Name() && back.Author() == d.Author() && back.Info() == d.Info());
    for (int i = 0; i < d.Count(); ++i)
        check(back.Term(i) == d.Term(i) && back.Article(i) == d.Article(i));
}

}  // namespace

// The same bytes as a file on disk must load as they do through a stream once unscrambled:
// the file path parses in place as the file is read piece by piece, so it is checked apart,
// and so is the look-up that reads the file once without loading it.
void fileAgreesWithStream(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/termovel-fuzz-" + std::to_string(::getpid()) + ".dic";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return;
    }
    TDictionary fromFile;
    std::string fileError;
    try {
        fromFile.LoadFromFile(path);
    } catch (const TError& e) {
        fileError = e.what();
    }
    std::string plain(reinterpret_cast<const char*>(data), size);
    keystream::unscramble(plain.data(), plain.size());
    TSecretMemoryStream stream;
    stream.WriteBuffer(plain.data(), plain.size());
    stream.setPosition(0);
    TDictionary fromStream;
    std::string streamError;
    try {
        fromStream.LoadFromStream(stream);
    } catch (const TError& e) {
        streamError = e.what();
    }
    check(fileError == streamError);
    check(fromFile.Count() == fromStream.Count());
    check(fromFile.Name() == fromStream.Name() && fromFile.Info() == fromStream.Info());
    for (int i = 0; i < fromFile.Count(); ++i) {
        check(fromFile.Term(i) == fromStream.Term(i) &&
              fromFile.Article(i) == fromStream.Article(i));
    }
    // The tool's one-pass look-up answers as the loaded dictionary does, damage included.
    std::vector<std::string> terms = {"a", ""};
    if (fromFile.Count() > 0) {
        terms.emplace_back(fromFile.Term(0));
        terms.emplace_back(fromFile.Term(fromFile.Count() - 1));
    }
    for (const std::string& term : terms) {
        std::string lookupError;
        std::optional<std::string> article;
        try {
            article = lookUpInFile(path, term);
        } catch (const TError& e) {
            lookupError = e.what();
        }
        check(lookupError == fileError);
        if (fileError.empty()) {
            const int at = fromFile.Find(term);
            check(article.has_value() == (at >= 0));
            check(!article || *article == fromFile.Article(at));
        }
    }
    std::remove(path.c_str());
}

namespace {

void writeTo(const std::string& path, const void* data, size_t size) {
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

// The data file reader on the bytes as a file, and on a dictzip file of them (small chunks,
// one byte garbled where the third byte says): no crash, errors only naming the file, and every
// range read whole or refused as damaged.
void dictDataChecks(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/termovel-fuzz-" + std::to_string(::getpid()) + ".dz";
    auto named = [&](const TError& e) { check(std::string(e.what()).find(path) == 0); };
    writeTo(path, data, size);
    try {
        TDictData file(path, size > 0 ? data[0] * uint64_t{997} : TDictData::kWhole);
        for (uint64_t offset = 0; offset < file.size(); offset += 1 + file.size() / 7) {
            try {
                check(file.read(offset, std::min<uint64_t>(50, file.size() - offset)).size() ==
                      std::min<uint64_t>(50, file.size() - offset));
            } catch (const TDamagedData& e) {
                named(e);
            }
        }
    } catch (const TError& e) {
        named(e);
    }
    // Made into dictzip, only what a fuzzer mutates quickly: a seed dictionary of hundreds of
    // kilobytes would spend the run on deflating tiny chunks.
    constexpr size_t kMaxContent = size_t{16} << 10;
    if (size > kMaxContent) {
        std::remove(path.c_str());
        return;
    }
    const std::string content(reinterpret_cast<const char*>(data), size);
    std::string dz = makeDictzip(content, 7 + (size > 1 ? data[1] % 64 : 0));
    if (size > 2)
        dz[data[2] * 131u % dz.size()] ^= static_cast<char>(size > 3 ? data[3] | 1 : 1);
    writeTo(path, dz.data(), dz.size());
    try {
        TDictData file(path);
        for (uint64_t offset = 0; offset < file.size(); offset += 5) {
            const uint64_t length = std::min<uint64_t>(5, file.size() - offset);
            try {
                check(file.read(offset, length).size() == length);
            } catch (const TDamagedData& e) {
                named(e);
            }
        }
    } catch (const TError& e) {
        named(e);
    }
    std::remove(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool rootOrder = [] {
        compare::setLocale("");
        return true;
    }();
    (void)rootOrder;
    loadAndCheck(data, size);
    std::string scrambled(reinterpret_cast<const char*>(data), size);
    keystream::unscramble(scrambled.data(), scrambled.size());
    loadAndCheck(reinterpret_cast<const uint8_t*>(scrambled.data()), scrambled.size());
    fileAgreesWithStream(data, size);
    dictDataChecks(data, size);
    return 0;
}
