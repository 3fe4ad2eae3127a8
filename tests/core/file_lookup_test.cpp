#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/file_lookup.h"
#include "dictionary/secret_memory_stream.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "test_support.h"

namespace {

const std::string kNoError = "(no error)";

// What the long way gives: load the whole file, then Find and Article; the error text or the
// article, or nullopt when the term is not there.
struct TAnswer {
    std::string error;
    std::optional<std::string> article;
    bool operator==(const TAnswer&) const = default;
};

TAnswer byLoading(const std::string& path, const std::string& term) {
    TAnswer answer;
    answer.error = errorOf([&] {
        TDictionary d;
        d.LoadFromFile(path);
        const int at = d.Find(term);
        if (at >= 0)
            answer.article = std::string(d.Article(at));
    });
    if (answer.error != kNoError)
        answer.article.reset();
    return answer;
}

TAnswer byStreaming(const std::string& path, const std::string& term) {
    TAnswer answer;
    answer.error = errorOf([&] { answer.article = lookUpInFile(path, term); });
    if (answer.error != kNoError)
        answer.article.reset();
    return answer;
}

std::string entry(const std::string& term, const std::string& article) {
    return record(term) + record(article);
}

}  // namespace

// The look-up that reads the file once must answer exactly as loading it and searching would,
// for every term and every kind of file: equal terms that differ in case, a term repeated (the
// first wins), terms out of order, records longer than the reading window and lying across its
// edges, values cut at a zero byte, and damage anywhere.
TEST(FileLookup, AnswersAsLoadingAndSearchingDo) {
    compare::setLocale("");
    TTempFolder temp;
    const std::string longArticle(300 << 10, 'x');
    const std::string longTerm(200 << 10, 'q');
    std::string body = entry("Apple", "first") + entry("apple", "second") + entry("zebra", "z") +
                       entry("banana", longArticle) +
                       entry(std::string("ze\0ro", 5), std::string("cut\0off", 7)) +
                       entry(longTerm, "long term") + entry("\xc1\xe5\xf0\xe5\xe3", "shore");
    // Enough small entries after the long ones that later terms straddle the window's edges.
    for (int i = 0; i < 40000; ++i)
        body += entry("t" + std::to_string(i), "a" + std::to_string(i % 97));
    const std::string whole =
        record("Name") + record("Author") + record("Info") + le32(40007) + body;

    struct TFile {
        const char* what;
        std::string plain;
    };
    const std::vector<TFile> files = {
        {"whole", whole},
        {"cut short in the last entry", whole.substr(0, whole.size() - 3)},
        {"cut short in the long article", whole.substr(0, whole.size() / 3)},
        {"cut in the header", whole.substr(0, 10)},
        {"count larger than the entries", record("") + record("") + record("") + le32(9) + body},
        {"count 0", emptyHeader() + le32(0) + body},
        {"negative count", emptyHeader() + le32(-5) + body},
        {"negative length", emptyHeader() + le32(2) + entry("a", "b") + le32(-1)},
        {"length past the end", emptyHeader() + le32(1) + record("a") + le32(0x7FFFFFF0) + "zz"},
        {"empty file", ""},
    };
    const std::vector<std::string> terms = {
        "apple", "APPLE",  "zebra",  "banana", "ze", "zero", longTerm, "\xe1\xe5\xf0\xe5\xe3",
        "t0",    "t39999", "t20000", "absent", ""};
    for (const TFile& file : files) {
        std::string scrambled = file.plain;
        keystream::scramble(scrambled.data(), scrambled.size());
        const std::string path = temp.file("f.dic");
        writeFile(path, scrambled);
        for (const std::string& term : terms) {
            const TAnswer expected = byLoading(path, term);
            EXPECT_EQ(byStreaming(path, term), expected)
                << file.what << ", term " << term.substr(0, 20) << ": expected error '"
                << expected.error << "'";
        }
    }
}

TEST(FileLookup, NamesAFileItCannotOpen) {
    TTempFolder temp;
    const std::string missing = temp.file("none.dic");
    EXPECT_EQ(errorOf([&] { lookUpInFile(missing, "a"); }), "Cannot open file " + missing);
    EXPECT_EQ(errorOf([&] { lookUpInFile(temp.path(), "a"); }), "Cannot open file " + temp.path());
}
