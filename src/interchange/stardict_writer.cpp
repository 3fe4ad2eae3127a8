#include "interchange/stardict_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>
#include <memory>
#include <numeric>
#include <string_view>
#include <vector>

#include "dictionary/dictionary.h"
#include "interchange/dict_data.h"
#include "interchange/text_import.h"
#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "platform/error.h"

namespace {

// The most article data one dictzip file holds: its chunk table (at most 65535 bytes, two per
// chunk) lists about 32 000 chunks of 58 315 bytes, the chunk length dictzip uses.
constexpr uint64_t kMaxData = uint64_t{32000} * 58315;

unsigned char asciiLower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// StarDict's order of headwords: ASCII letters compared without case first, then the bytes as
// they are. Readers binary-search the index in this order.
bool starDictBefore(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = asciiLower(static_cast<unsigned char>(a[i]));
        const unsigned char cb = asciiLower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

void appendBe32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

// A header text as one .ifo value: line breaks and other control characters become blanks.
std::string ifoValue(std::string_view cp1251) {
    std::string out = codepage::toUtf8(cp1251);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    return std::string(trimBlanks(out));
}

// The description as the HTML that .ifo files carry: <br> for a line break.
std::string ifoDescription(std::string_view cp1251) {
    std::string out;
    const std::string text = codepage::toUtf8(cp1251);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (c == '\n' || c == '\r')
            out += "<br>";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else if (static_cast<unsigned char>(c) < 0x20)
            out += ' ';
        else
            out += c;
    }
    return out;
}

// An article as StarDict text: UTF-8, and every line break (CR LF, CR) a plain LF.
std::string articleText(std::string_view cp1251) {
    std::string out = codepage::toUtf8(cp1251);
    size_t kept = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\r') {
            out[kept++] = '\n';
            if (i + 1 < out.size() && out[i + 1] == '\n')
                ++i;
        } else {
            out[kept++] = out[i];
        }
    }
    out.resize(kept);
    return out;
}

// The longest start of a UTF-8 text that a StarDict headword holds, ending at a character's
// end (a continuation byte is never the first of the rest).
std::string_view headword(std::string_view utf8) {
    if (utf8.size() <= kStarDictMaxWordBytes)
        return utf8;
    size_t end = kStarDictMaxWordBytes;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
        --end;
    return utf8.substr(0, end);
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

TStarDictReport writeStarDict(const TDictionary& dictionary, const std::string& ifoPath) {
    std::string base = ifoPath;
    if (base.ends_with(".ifo"))
        base.resize(base.size() - 4);
    TStarDictReport report;
    const int count = dictionary.Count();
    std::vector<std::string> terms(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::string& term = terms[static_cast<size_t>(i)];
        term = codepage::toUtf8(dictionary.Term(i));
        if (term.size() > kStarDictMaxWordBytes) {
            term.resize(headword(term).size());
            report.cutTerms.push_back(i);
        }
    }
    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return starDictBefore(terms[static_cast<size_t>(a)], terms[static_cast<size_t>(b)]);
    });

    std::string data;
    std::string index;
    for (int i : order) {
        const std::string article = articleText(dictionary.Article(i));
        if (data.size() + article.size() > kMaxData)
            throw TError(ifoPath + ": статьи занимают больше 1,8 ГБ, столько dictzip не вместит");
        index += terms[static_cast<size_t>(i)];
        index.push_back('\0');
        appendBe32(index, static_cast<uint32_t>(data.size()));
        appendBe32(index, static_cast<uint32_t>(article.size()));
        data += article;
    }

    std::string name = ifoValue(dictionary.Name());
    if (name.empty()) {
        const size_t slash = base.find_last_of('/');
        name = slash == std::string::npos ? base : base.substr(slash + 1);
    }
    std::string ifo = "StarDict's dict ifo file\nversion=2.4.2\n";
    ifo += "wordcount=" + std::to_string(count) + "\n";
    ifo += "idxfilesize=" + std::to_string(index.size()) + "\n";
    ifo += "bookname=" + name + "\n";
    if (const std::string author = ifoValue(dictionary.Author()); !author.empty())
        ifo += "author=" + author + "\n";
    if (const std::string info = ifoDescription(dictionary.Info()); !info.empty())
        ifo += "description=" + info + "\n";
    ifo += "sametypesequence=m\n";

    // In the order they are renamed: the .ifo, which readers look for, last.
    struct TOutput {
        std::string path;
        std::string bytes;
        bool existed = false;
        std::unique_ptr<TAtomicFileWriter> writer;
    };
    TOutput outputs[] = {{base + ".dict.dz", makeDictzip(data), false, nullptr},
                         {base + ".idx", std::move(index), false, nullptr},
                         {ifoPath, std::move(ifo), false, nullptr}};
    data.clear();
    data.shrink_to_fit();
    for (TOutput& out : outputs) {
        out.existed = exists(out.path);
        try {
            out.writer = std::make_unique<TAtomicFileWriter>(out.path);
            out.writer->write(out.bytes.data(), out.bytes.size());
        } catch (const TError& e) {
            // The writers made so far remove their temporary files as they go.
            throw TStarDictFileError(e.what(), out.path, errno);
        }
        out.bytes.clear();
        out.bytes.shrink_to_fit();
    }
    for (size_t i = 0; i < std::size(outputs); ++i) {
        try {
            outputs[i].writer->commit();
        } catch (const TError& e) {
            const int cause = errno;
            // The renames before this one are done: the files they replaced cannot come back,
            // but those this export brought in where nothing was go again.
            for (size_t done = 0; done < i; ++done) {
                if (!outputs[done].existed)
                    ::unlink(outputs[done].path.c_str());
            }
            throw TStarDictFileError(e.what(), outputs[i].path, cause);
        }
    }
    return report;
}
