// Reads arbitrary bytes as a DSL file and renders every entry, checking what the reader
// promises: no crash and no error (the file is readable; only compressed data may be refused),
// terms non-empty, on one line and valid UTF-8, no entry with more than kMaxEntryTerms terms,
// never more entries than lines of text, and rendered bodies valid UTF-8 ending in a line break,
// without empty lines and no longer than the rendering's limit allows; and each body's place in
// the file's bytes decodes to the body itself.
#include <unicode/utf8.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <unistd.h>

#include "interchange/dsl_reader.h"
#include "platform/error.h"

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool validUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto n = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < n;) {
        UChar32 c;
        U8_NEXT(s, i, n, c);
        if (c < 0)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A folder of its own, so that an #INCLUDE of a neighbour finds nothing but the file itself.
    static const std::string folder = [] {
        std::string pattern = "/tmp/termovel-dsl-fuzz-XXXXXX";
        check(::mkdtemp(pattern.data()) != nullptr);
        return pattern;
    }();
    const std::string path = folder + "/input.dsl";
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    } else {
        return 0;
    }
    const bool compressed = size >= 2 && data[0] == 0x1F && data[1] == 0x8B;
    TDslNotes decodeNotes;
    const std::string text = compressed ? std::string() : decodeDslText(bytes, decodeNotes);
    check(validUtf8(text));
    size_t lines = 1;
    for (char c : text)
        lines += c == '\n';
    const bool includes = text.find("#INCLUDE") != std::string::npos;

    size_t entries = 0;
    TDslNotes notes;
    try {
        walkDsl(
            path,
            [&](const TDslEntry& e) {
                ++entries;
                check(!e.terms.empty() && e.terms.size() <= kMaxEntryTerms);
                for (const std::string& term : e.terms) {
                    check(!term.empty() && validUtf8(term));
                    check(term.find_first_of("\r\n") == std::string::npos);
                }
                const std::string body = renderDslBody(e.body, e.headword);
                check(validUtf8(body));
                check(body.empty() || body.back() == '\n');
                check(body.find("\n\n") == std::string::npos && !body.starts_with('\n'));
                check(body.size() <= kMaxRenderedBody + 4 * (e.body.size() + 4096));
                // The body's place in the file's bytes gives the body back, as the reader in
                // place reads it.
                if (!compressed && e.file == path) {
                    check(e.rawOffset <= size && e.rawLength <= size - e.rawOffset);
                    check(decodeDslBody(bytes.substr(e.rawOffset, e.rawLength), e.encoding) ==
                          e.body);
                }
            },
            notes);
    } catch (const TError&) {
        check(compressed);
    }
    check(compressed || includes || entries <= lines);
    std::remove(path.c_str());
    return 0;
}
