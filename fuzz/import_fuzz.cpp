// Imports arbitrary bytes as an import file and checks what an import promises: no crash, no
// error, never more blocks than "@" bytes in the file, no more terms than blocks, every term
// and article non-empty, terms on one line, articles ending in a line break, and no article
// longer than the file's bytes plus the line break added to each piece of a line split at the
// reader's line limit.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <unistd.h>

#include "dictionary/dictionary.h"
#include "interchange/text_import.h"
#include "platform/compare.h"
#include "platform/error.h"

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool rootOrder = [] {
        compare::setLocale("");
        return true;
    }();
    (void)rootOrder;
    static const std::string path = "/tmp/termovel-import-fuzz-" + std::to_string(::getpid());
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    } else {
        return 0;
    }
    TDictionary d;
    TImportResult result;
    try {
        result = importText(d, path);
    } catch (const TError&) {
        std::abort();  // a readable regular file never fails to import
    }
    std::remove(path.c_str());

    size_t marks = 0;
    for (char c : text)
        marks += c == '@';
    const size_t longest = size + size / (kImportLineBuffer - 1) + 1;
    check(result.blocks >= 0 && static_cast<size_t>(result.blocks) <= marks);
    check(result.added == d.Count() && d.Count() <= result.blocks);
    for (int i = 0; i < d.Count(); ++i) {
        const std::string_view term = d.Term(i);
        const std::string_view article = d.Article(i);
        check(!term.empty() && term.find('\n') == std::string_view::npos);
        check(!article.empty() && article.back() == '\n' && article.size() <= longest);
        check(term.find('\0') == std::string_view::npos);
        check(article.find('\0') == std::string_view::npos);
        if (i > 0)
            check(compare::terms(d.Term(i - 1), term) < 0);
    }
    return 0;
}
