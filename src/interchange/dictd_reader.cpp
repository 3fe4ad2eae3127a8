#include "interchange/dictd_reader.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <string_view>
#include <vector>

#include "dictionary/secret_memory_stream.h"
#include "interchange/conversion.h"
#include "interchange/dict_data.h"
#include "platform/codepage.h"
#include "platform/error.h"

namespace {

constexpr std::string_view kHeaderPrefix = "00-database";
constexpr std::string_view kStrippedHeaderPrefix = "00database";
// A number of more digits than this cannot be an offset into a file of a sane size.
constexpr size_t kMaxDigits = 10;

// The value of one of dictd's base-64 digits, or -1.
int digitValue(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

bool decodeDictdNumber(std::string_view digits, uint64_t& value) {
    if (digits.empty() || digits.size() > kMaxDigits)
        return false;
    value = 0;
    for (char c : digits) {
        const int d = digitValue(c);
        if (d < 0)
            return false;
        value = value * 64 + static_cast<uint64_t>(d);
    }
    return true;
}

namespace {

std::string_view firstLine(std::string_view text) {
    return text.substr(0, text.find('\n'));
}

}  // namespace

bool isDictdHeaderWord(std::string_view word) {
    return word.starts_with(kHeaderPrefix) || word.starts_with(kStrippedHeaderPrefix);
}

namespace {

// The letters and digits of a UTF-8 text, lowered: what is left of a headword in an index
// built without punctuation, and what two spellings of one headword share.
std::string looseKey(std::string_view text) {
    std::string key;
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto n = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < n;) {
        UChar32 c;
        U8_NEXT(s, i, n, c);
        if (c < 0x80) {
            if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))
                key.push_back(static_cast<char>(c));
            else if (c >= 'A' && c <= 'Z')
                key.push_back(static_cast<char>(c - 'A' + 'a'));
            continue;
        }
        if (!u_isalnum(c))
            continue;
        c = u_tolower(c);
        codepage::appendUtf8(key, static_cast<char32_t>(c));
    }
    return key;
}

// Whether an index headword is the article's own headword as an index lowers it and, built
// without punctuation, strips it ("apple" for "Apple", "clientserver" or "client server" for
// "client-server"). Another spelling that only shares the letters ("client/server",
// "compiler compiler" beside "compiler-compiler") is an alias of its own and stays a term.
bool indexFormOf(std::string_view word, std::string_view shown) {
    const std::string loose = looseKey(shown);
    if (loose == word)
        return true;
    std::string lowered, spaced;
    const auto* s = reinterpret_cast<const uint8_t*>(shown.data());
    const auto n = static_cast<int32_t>(shown.size());
    for (int32_t i = 0; i < n;) {
        UChar32 c;
        U8_NEXT(s, i, n, c);
        if (c < 0)
            return false;
        c = u_tolower(c);
        codepage::appendUtf8(lowered, static_cast<char32_t>(c));
        if (c == ' ' || u_isalnum(c))
            codepage::appendUtf8(spaced, static_cast<char32_t>(c));
    }
    return lowered == word || spaced == word;
}

// The text of a header entry: its article without the line naming the entry, the lines
// that remain without blank lines around them. With oneLine, the lines joined by blanks.
std::string headerText(std::string_view article, bool oneLine) {
    if (isDictdHeaderWord(trimBlanks(firstLine(article)))) {
        const size_t end = article.find('\n');
        article = end == std::string_view::npos ? std::string_view() : article.substr(end + 1);
    }
    std::vector<std::string_view> lines;
    while (!article.empty()) {
        const size_t end = article.find('\n');
        lines.push_back(article.substr(0, end));
        article = end == std::string_view::npos ? std::string_view() : article.substr(end + 1);
    }
    while (!lines.empty() && trimBlanks(lines.back()).empty())
        lines.pop_back();
    size_t first = 0;
    while (first < lines.size() && trimBlanks(lines[first]).empty())
        ++first;
    std::string out;
    for (size_t i = first; i < lines.size(); ++i) {
        if (oneLine) {
            const std::string_view part = trimBlanks(lines[i]);
            if (part.empty())
                continue;
            if (!out.empty())
                out.push_back(' ');
            out.append(part);
        } else {
            if (i > first)
                out.push_back('\n');
            std::string_view line = lines[i];
            while (!line.empty() && static_cast<unsigned char>(line.back()) <= 0x20)
                line.remove_suffix(1);
            out.append(line);
        }
    }
    return out;
}

}  // namespace

TDictdHeaderField dictdHeaderEntry(std::string_view word, std::string_view article,
                                   std::string& text) {
    if (!isDictdHeaderWord(word))
        return TDictdHeaderField::none;
    const std::string_view rest = word.starts_with(kHeaderPrefix)
                                      ? word.substr(kHeaderPrefix.size())
                                      : word.substr(kStrippedHeaderPrefix.size());
    if (rest == "-short" || rest == "short") {
        text = headerText(article, true);
        return TDictdHeaderField::name;
    }
    if (rest == "-info" || rest == "info") {
        text = headerText(article, false);
        return TDictdHeaderField::info;
    }
    if (rest == "-url" || rest == "url") {
        text = headerText(article, true);
        return TDictdHeaderField::author;
    }
    return TDictdHeaderField::other;
}

std::string_view dictdTerm(std::string_view word, std::string_view article) {
    const std::string_view shown = trimBlanks(firstLine(article));
    return !shown.empty() && (shown == word || indexFormOf(word, shown)) ? shown : word;
}

bool parseDictdIndexLine(std::string_view line, const std::string& indexPath, size_t lineNumber,
                         TDictdIndexEntry& entry) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty())
        return false;
    std::string_view fields[4];
    size_t count = 0;
    while (count < 4) {
        const size_t tab = count < 3 ? line.find('\t') : std::string_view::npos;
        fields[count++] = line.substr(0, tab);
        if (tab == std::string_view::npos)
            break;
        line.remove_prefix(tab + 1);
    }
    if (count < 3 || !decodeDictdNumber(fields[1], entry.offset) ||
        !decodeDictdNumber(fields[2], entry.length)) {
        throw TError(indexPath + ": строка " + std::to_string(lineNumber) +
                     ": ожидались заголовок, смещение и длина через табуляцию");
    }
    entry.indexWord = fields[0];
    entry.word = count == 4 ? fields[3] : fields[0];
    return true;
}

void readDictd(const std::string& indexPath, const std::string& dataPath, TConversion& conversion,
               std::vector<std::string>* skipped) {
    TSecretMemoryStream index;
    index.LoadFromFile(indexPath);

    // The index is read first, so that the data is inflated only as far as it refers to and
    // room is set aside only for the articles it names.
    std::vector<TDictdIndexEntry> entries;
    TArticleExtent extent;
    std::string_view text(index.data(), index.size());
    size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        TDictdIndexEntry entry;
        if (!parseDictdIndexLine(line, indexPath, lineNumber, entry))
            continue;
        extent.add(dataPath, entry.indexWord, "строка", lineNumber, entry.offset, entry.length);
        entries.push_back(entry);
    }

    TDictData data(dataPath, extent.needed, extent.total);
    conversion.reserve(extent.total + index.size() / 2);
    for (const TDictdIndexEntry& entry : entries) {
        const std::optional<std::string_view> read =
            readArticle(data, entry.offset, entry.length, entry.word, skipped);
        if (!read)
            continue;
        const std::string_view article = *read;
        std::string header;
        switch (dictdHeaderEntry(entry.word, article, header)) {
            case TDictdHeaderField::none:
                conversion.add(dictdTerm(entry.word, article), article);
                break;
            case TDictdHeaderField::name:
                conversion.setName(header);
                break;
            case TDictdHeaderField::info:
                conversion.setInfo(header);
                break;
            case TDictdHeaderField::author:
                conversion.setAuthor(header);
                break;
            case TDictdHeaderField::other:
                break;
        }
    }
}
