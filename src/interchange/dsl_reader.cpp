#include "interchange/dsl_reader.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

#include "interchange/conversion.h"
#include "interchange/dict_data.h"
#include "platform/codepage.h"
#include "platform/error.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr char32_t kReplacement = 0xFFFD;
// The bytes looked at to tell UTF-16 without its mark: UTF-8 text never holds a zero byte, while
// UTF-16 holds one in every character of Latin script, line breaks and markup included.
constexpr size_t kSniffBytes = 4096;
constexpr size_t kMaxTagName = 32;
constexpr size_t kMaxTagAttributes = 256;
constexpr size_t kIndentStep = 2;
// A sub-entry's headword with "~" made the entry's headword is kept to this length, so that a
// line of many "~" cannot multiply a long headword.
constexpr size_t kMaxSubHeadword = 4096;

void decodeUtf16(std::string_view bytes, bool littleEndian, std::string& out, TDslNotes& notes) {
    if (bytes.size() % 2 != 0) {
        notes.oddByteCount = true;
        bytes.remove_suffix(1);
    }
    out.reserve(bytes.size() / 2 * 3);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t units = bytes.size() / 2;
    auto unit = [&](size_t i) -> uint32_t {
        return littleEndian ? p[2 * i] | p[2 * i + 1] << 8 : p[2 * i] << 8 | p[2 * i + 1];
    };
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c == 0) {
            c = kReplacement;
            ++notes.replacedCharacters;
        }
        codepage::appendUtf8(out, c);
    }
}

// Where decoded UTF-8 text stops matching its bytes one for one: after each invalid sequence made
// U+FFFD, the decoded position and the bytes' lead over it from there on.
using TAnchors = std::vector<std::pair<uint64_t, int64_t>>;

void decodeUtf8(std::string_view bytes, std::string& out, TDslNotes& notes,
                TAnchors* anchors = nullptr) {
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        if (s[i] >= 0x80 || s[i] == 0) {
            // Valid sequences are copied as they are; only an invalid one costs a character.
            int32_t at = 0;
            const auto left = static_cast<int32_t>(std::min<size_t>(n - i, 4));
            UChar32 c;
            U8_NEXT(s + i, at, left, c);
            if (c <= 0) {
                codepage::appendUtf8(out, kReplacement);
                ++notes.replacedCharacters;
                if (anchors) {
                    const int64_t lead = anchors->empty() ? 0 : anchors->back().second;
                    anchors->emplace_back(out.size(), lead + at - 3);
                }
            } else {
                out.append(bytes.substr(i, static_cast<size_t>(at)));
            }
            i += static_cast<size_t>(at);
            continue;
        }
        const size_t start = i;
        while (i < n && s[i] < 0x80 && s[i] != 0)
            ++i;
        out.append(bytes.substr(start, i - start));
    }
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Blanks and tabs inside a term made one blank, those at its ends dropped.
std::string collapsed(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (isBlank(c)) {
            if (!out.empty() && out.back() != ' ')
                out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

struct TTag {
    size_t end = 0;  // just past "]"
    bool closing = false;
    std::string_view name;
};

// A tag "[name]", "[name attributes]" or "[/name]" at s[at] == '['; false when the bracket
// opens none (then it is text).
bool readTag(std::string_view s, size_t at, TTag& tag) {
    size_t i = at + 1;
    tag.closing = i < s.size() && s[i] == '/';
    if (tag.closing)
        ++i;
    const size_t nameStart = i;
    while (i < s.size() && i - nameStart <= kMaxTagName) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (!(std::isalnum(c) || c == '!' || c == '*' || c == '\'' || c == '_' || c == '-'))
            break;
        ++i;
    }
    if (i == nameStart || i - nameStart > kMaxTagName || i >= s.size())
        return false;
    tag.name = s.substr(nameStart, i - nameStart);
    if (s[i] == ']') {
        tag.end = i + 1;
        return true;
    }
    if (s[i] != ' ' || tag.closing)
        return false;
    const size_t attributesStart = i;
    while (i < s.size() && s[i] != ']' && s[i] != '[' && s[i] != '\n' &&
           i - attributesStart <= kMaxTagAttributes)
        ++i;
    if (i >= s.size() || s[i] != ']')
        return false;
    tag.end = i + 1;
    return true;
}

// The text with its "{{…}}" comments left out; an unclosed "{{" stays as text. Escaped braces
// open no comment.
std::string withoutComments(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    bool closable = true;
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            out.append(s.substr(i, 2));
            i += 2;
            continue;
        }
        if (closable && s.substr(i, 2) == "{{") {
            const size_t end = s.find("}}", i + 2);
            if (end != std::string_view::npos) {
                i = end + 2;
                continue;
            }
            closable = false;  // no later "{{" closes either: the text is not searched again
        }
        out.push_back(s[i++]);
    }
    return out;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// How a media file is named in the text, by its extension.
std::string mediaLabel(std::string_view name) {
    name = trimmed(name);
    if (name.empty())
        return {};
    const size_t dot = name.rfind('.');
    const std::string extension =
        dot == std::string_view::npos ? std::string() : lowerAscii(name.substr(dot + 1));
    static const std::set<std::string, std::less<>> pictures = {
        "bmp", "gif", "ico", "jpeg", "jpg", "png", "svg", "tif", "tiff", "webp"};
    static const std::set<std::string, std::less<>> videos = {"avi",  "flv", "mkv",  "mov", "mp4",
                                                              "mpeg", "mpg", "webm", "wmv"};
    const char* kind = pictures.contains(extension) ? "рисунок"
                       : videos.contains(extension) ? "видео"
                                                    : "звук";
    return std::string("[") + kind + ": " + std::string(name) + "]";
}

// The headword with each unescaped "~" made the entry's headword, its own special characters
// escaped so that they stay as they are.
std::string withHeadword(std::string_view line, std::string_view headword) {
    std::string escaped;
    for (char c : headword) {
        if (std::string_view("{}()[]\\@~#").find(c) != std::string_view::npos)
            escaped.push_back('\\');
        escaped.push_back(c);
    }
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            out.append(line.substr(i, 2));
            ++i;
        } else if (line[i] == '~' && out.size() + escaped.size() <= kMaxSubHeadword) {
            out += escaped;
        } else {
            out.push_back(line[i]);
        }
    }
    return out;
}

// A line of a body rendered (see renderDslBody); indent receives its indentation in steps.
std::string renderLine(std::string_view line, std::string_view headword,
                       const TDslAbbreviations* abbreviations, size_t room, size_t& indent) {
    std::string out;
    indent = 0;
    size_t mediaStart = std::string::npos;
    size_t abbreviationStart = std::string::npos;
    int references = 0;
    static const TDslAbbreviations kNone;
    const TDslAbbreviations& known = abbreviations ? *abbreviations : kNone;
    // The text since "[s]" made the media file's label.
    auto nameMedia = [&] {
        const std::string label = mediaLabel(std::string_view(out).substr(mediaStart));
        out.replace(mediaStart, std::string::npos, label);
        mediaStart = std::string::npos;
    };
    for (size_t i = 0; i < line.size();) {
        const char c = line[i];
        // Past the room the line ends, at a character's first byte so that none is cut.
        if (out.size() > room && (static_cast<unsigned char>(c) & 0xC0) != 0x80)
            break;
        if (c == '\\') {
            if (i + 1 < line.size())
                out.push_back(line[i + 1]);
            i += 2;
            continue;
        }
        TTag tag;
        if (c == '[' && readTag(line, i, tag)) {
            i = tag.end;
            const std::string name = lowerAscii(tag.name);
            if (!tag.closing && name.size() <= 2 && name[0] == 'm' &&
                (name.size() == 1 || std::isdigit(static_cast<unsigned char>(name[1])))) {
                indent = name.size() == 1 ? 0 : static_cast<size_t>(name[1] - '0');
            } else if (name == "s" && !tag.closing) {
                mediaStart = out.size();
            } else if (name == "s" && mediaStart != std::string::npos) {
                nameMedia();
            } else if (name == "p" && !tag.closing) {
                abbreviationStart = out.size();
            } else if (name == "p" && abbreviationStart != std::string::npos) {
                const auto found =
                    known.find(trimmed(std::string_view(out).substr(abbreviationStart)));
                if (found != known.end())
                    out.replace(abbreviationStart, std::string::npos, found->second);
                abbreviationStart = std::string::npos;
            }
            continue;
        }
        if (c == '~') {
            if (out.size() + headword.size() > room)
                break;
            out += headword;
            ++i;
            continue;
        }
        if (line.substr(i, 2) == "<<") {
            ++references;
            i += 2;
            continue;
        }
        if (references > 0 && line.substr(i, 2) == ">>") {
            --references;
            i += 2;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    // A media name never closed is named all the same.
    if (mediaStart != std::string::npos)
        nameMedia();
    return std::string(trimmed(out));
}

// Calls each with every line of text (without its line break and CR).
template <typename F>
void eachLine(std::string_view text, F&& each) {
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        each(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

std::string_view leftTrimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

// The value of a header line: what follows its name, without the quotes around it.
std::string headerValue(std::string_view line) {
    const size_t blank = line.find_first_of(" \t");
    std::string_view value =
        blank == std::string_view::npos ? std::string_view() : trimmed(line.substr(blank));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string pathKey(const fs::path& path) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    return (error ? path : canonical).string();
}

class TDslWalk {
public:
    TDslWalk(const std::function<void(const TDslEntry&)>& visit, TDslNotes& notes)
        : visit_(visit), notes_(notes) {}

    void file(const std::string& path, int depth);
    TDslHeader header;

private:
    void entry(const std::vector<std::string_view>& headwords, std::string_view body);
    void subEntries(std::string_view body, std::string_view headword);
    void directive(std::string_view line, const std::string& path, int depth);
    // Sets where the entry's body lies in the file's bytes.
    void place(TDslEntry& e) {
        e.bodyOffset = static_cast<uint64_t>(e.body.data() - text_.data());
        e.encoding = decoded_->encoding;
        e.rawOffset = decoded_->rawOffset(e.bodyOffset);
        e.rawLength = decoded_->rawOffset(e.bodyOffset + e.body.size()) - e.rawOffset;
    }
    void setOnce(std::string& field, std::string value) {
        if (field.empty())
            field = std::move(value);
    }

    const std::function<void(const TDslEntry&)>& visit_;
    TDslNotes& notes_;
    std::set<std::string> seen_;
    // The file being read and its decoded text, for the entries' places.
    std::string_view file_;
    std::string_view text_;
    TDecodedDsl* decoded_ = nullptr;
};

}  // namespace

TDecodedDsl decodeDsl(std::string_view bytes, TDslNotes& notes, bool anchored) {
    TDecodedDsl decoded;
    decoded.encoding = dslEncoding(bytes, decoded.markLength);
    bytes.remove_prefix(decoded.markLength);
    if (decoded.encoding == TDslEncoding::utf8)
        decodeUtf8(bytes, decoded.text, notes, anchored ? &decoded.anchors : nullptr);
    else
        decodeUtf16(bytes, decoded.encoding == TDslEncoding::utf16le, decoded.text, notes);
    return decoded;
}

uint64_t TDecodedDsl::rawOffset(uint64_t at) {
    if (encoding == TDslEncoding::utf8) {
        auto after = std::upper_bound(anchors.begin(), anchors.end(), at,
                                      [](uint64_t d, const auto& a) { return d < a.first; });
        const int64_t lead = after == anchors.begin() ? 0 : std::prev(after)->second;
        return markLength + static_cast<uint64_t>(static_cast<int64_t>(at) + lead);
    }
    // UTF-16 takes two bytes for each character of the basic plane, four for the others (those
    // four bytes long in UTF-8); U+FFFD made of an invalid unit took two.
    auto units = [&](uint64_t from, uint64_t to) {
        uint64_t bytes = 0;
        for (uint64_t i = from; i < to; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if ((c & 0xC0) != 0x80)
                bytes += c >= 0xF0 ? 4 : 2;
        }
        return bytes;
    };
    if (at >= cursorText)
        cursorRaw += units(cursorText, at);
    else
        cursorRaw -= units(at, cursorText);
    cursorText = at;
    return markLength + cursorRaw;
}

namespace {

TDecodedDsl decodedFile(const std::string& path, TDslNotes& notes) {
    std::error_code error;
    const uint64_t stored = fs::file_size(path, error);
    const uint64_t limit =
        std::min(TDictData::kMaxSize,
                 std::max(kMinInflatedLimit, (error ? 0 : stored) * kMaxDslInflateRatio));
    TDictData data(path, limit + 1);
    if (data.size() > limit && !error && data.size() == stored) {
        throw TError(path + ": файл больше " + std::to_string(limit >> 20) +
                     " МиБ — такой словарь не прочитать");
    }
    if (data.size() > limit) {
        throw TError(path + ": сжатый текст распаковывается больше чем в " +
                     std::to_string(limit >> 20) +
                     " МиБ — такого словаря не бывает, файл повреждён или подложен");
    }
    return decodeDsl(data.all(), notes, true);
}

void TDslWalk::file(const std::string& path, int depth) {
    seen_.insert(pathKey(path));
    TDecodedDsl decoded = decodedFile(path, notes_);
    const std::string& text = decoded.text;
    // An included file is read in the middle of this one: where the entries lie is restored
    // after it.
    struct TRestore {
        TDslWalk& walk;
        std::string_view file, text;
        TDecodedDsl* decoded;
        ~TRestore() {
            walk.file_ = file;
            walk.text_ = text;
            walk.decoded_ = decoded;
        }
    } restore{*this, file_, text_, decoded_};
    file_ = path;
    text_ = text;
    decoded_ = &decoded;
    std::vector<std::string_view> headwords;
    size_t bodyStart = std::string::npos, bodyEnd = 0;
    auto flush = [&] {
        if (bodyStart != std::string::npos) {
            entry(headwords, std::string_view(text).substr(bodyStart, bodyEnd - bodyStart));
            headwords.clear();
            bodyStart = std::string::npos;
        }
    };
    const std::string_view all = text;
    eachLine(all, [&](std::string_view line) {
        const size_t start = static_cast<size_t>(line.data() - all.data());
        if (trimmed(line).empty())
            return;
        if (isBlank(line.front())) {
            if (headwords.empty()) {
                ++notes_.orphanBodyLines;
                return;
            }
            if (bodyStart == std::string::npos)
                bodyStart = start;
            bodyEnd = start + line.size();
            return;
        }
        flush();
        if (line.front() == '#') {
            notes_.headwordsWithoutBody += headwords.size();
            headwords.clear();
            directive(line, path, depth);
            return;
        }
        if (headwords.size() >= kMaxPendingHeadwords)
            ++notes_.droppedHeadwordLines;
        else
            headwords.push_back(line);
    });
    flush();
    notes_.headwordsWithoutBody += headwords.size();
}

void TDslWalk::directive(std::string_view line, const std::string& path, int depth) {
    const std::string_view name = line.substr(0, line.find_first_of(" \t"));
    if (name == "#NAME") {
        setOnce(header.name, headerValue(line));
    } else if (name == "#INDEX_LANGUAGE") {
        setOnce(header.indexLanguage, headerValue(line));
    } else if (name == "#CONTENTS_LANGUAGE") {
        setOnce(header.contentsLanguage, headerValue(line));
    } else if (name == "#INCLUDE") {
        const std::string value = headerValue(line);
        if (value.empty())
            return;
        const fs::path included = fs::path(path).parent_path() / value;
        const std::string shown = included.string();
        if (seen_.contains(pathKey(included)))
            return;
        if (depth + 1 > kMaxIncludeDepth) {
            notes_.includes.push_back(shown + ": вложен глубже " +
                                      std::to_string(kMaxIncludeDepth) + " уровней, не прочитан");
            return;
        }
        std::error_code error;
        if (!fs::is_regular_file(included, error)) {
            notes_.includes.push_back(shown + ": файла нет, не прочитан");
            return;
        }
        try {
            file(shown, depth + 1);
        } catch (const TError& e) {
            notes_.includes.push_back(std::string(e.what()) + " (файл не прочитан)");
        }
    }
}

void TDslWalk::entry(const std::vector<std::string_view>& headwords, std::string_view body) {
    TDslEntry e;
    e.body = body;
    e.file = file_;
    place(e);
    std::set<std::string, std::less<>> unique;
    for (std::string_view line : headwords) {
        std::string shown;
        const std::vector<std::string> terms = dslHeadwordTerms(line, &shown);
        if (terms.empty())
            ++notes_.emptyHeadwords;
        if (e.headword.empty())
            e.headword = shown;
        for (const std::string& term : terms) {
            if (e.terms.size() >= kMaxEntryTerms)
                ++notes_.termsLeftOut;
            else if (unique.insert(term).second)
                e.terms.push_back(term);
        }
    }
    if (!e.terms.empty())
        visit_(e);
    subEntries(body, e.headword);
}

void TDslWalk::subEntries(std::string_view body, std::string_view headword) {
    std::string line;  // the sub-entry's headword line
    size_t start = std::string::npos, end = 0;
    auto flush = [&] {
        if (line.empty())
            return;
        TDslEntry e;
        e.subEntry = true;
        e.terms = dslHeadwordTerms(line, &e.headword);
        e.file = file_;
        if (start != std::string::npos) {
            e.body = body.substr(start, end - start);
            place(e);
        }
        if (e.terms.empty())
            ++notes_.emptyHeadwords;
        else
            visit_(e);
        line.clear();
        start = std::string::npos;
    };
    eachLine(body, [&](std::string_view raw) {
        const std::string_view text = leftTrimmed(raw);
        const size_t at = static_cast<size_t>(raw.data() - body.data());
        if (text.starts_with('@')) {
            flush();
            line = withHeadword(trimmed(text.substr(1)), headword);
            return;
        }
        if (line.empty() || trimmed(text).empty())
            return;
        if (start == std::string::npos)
            start = at;
        end = at + raw.size();
    });
    flush();
}

}  // namespace

std::vector<std::string> TDslNotes::lines(const std::string& path) const {
    std::vector<std::string> out;
    if (oddByteCount)
        out.push_back(path +
                      ": в тексте UTF-16 нечётное число байт (файл обрезан?): последний "
                      "байт пропущен");
    if (replacedCharacters > 0)
        out.push_back(path + ": неверных последовательностей UTF-8 или UTF-16 заменено на «�»: " +
                      std::to_string(replacedCharacters));
    if (orphanBodyLines > 0)
        out.push_back(path + ": строк статьи до первого заголовка пропущено: " +
                      std::to_string(orphanBodyLines));
    if (headwordsWithoutBody > 0)
        out.push_back(path +
                      ": заголовков без статьи пропущено: " + std::to_string(headwordsWithoutBody));
    if (droppedHeadwordLines > 0)
        out.push_back(path + ": заголовков одной статьи больше " +
                      std::to_string(kMaxPendingHeadwords) +
                      ", лишние пропущены: " + std::to_string(droppedHeadwordLines));
    if (termsLeftOut > 0)
        out.push_back(path + ": заголовков сверх предела на статью пропущено: " +
                      std::to_string(termsLeftOut));
    if (emptyHeadwords > 0)
        out.push_back(path + ": пустых заголовков пропущено: " + std::to_string(emptyHeadwords));
    for (const std::string& include : includes)
        out.push_back(path + ": #INCLUDE " + include);
    return out;
}

TDslEncoding dslEncoding(std::string_view bytes, size_t& markLength) {
    markLength = 0;
    if (bytes.starts_with(kUtf8Bom)) {
        markLength = kUtf8Bom.size();
        return TDslEncoding::utf8;
    }
    if (bytes.starts_with("\xFF\xFE")) {
        markLength = 2;
        return TDslEncoding::utf16le;
    }
    if (bytes.starts_with("\xFE\xFF")) {
        markLength = 2;
        return TDslEncoding::utf16be;
    }
    size_t zeroEven = 0, zeroOdd = 0;
    for (size_t i = 0; i < std::min(bytes.size(), kSniffBytes); ++i) {
        if (bytes[i] == '\0')
            ++(i % 2 ? zeroOdd : zeroEven);
    }
    if (zeroOdd + zeroEven == 0)
        return TDslEncoding::utf8;
    return zeroOdd >= zeroEven ? TDslEncoding::utf16le : TDslEncoding::utf16be;
}

std::string decodeDslBody(std::string_view bytes, TDslEncoding encoding) {
    TDslNotes notes;
    std::string out;
    if (encoding == TDslEncoding::utf8)
        decodeUtf8(bytes, out, notes);
    else
        decodeUtf16(bytes, encoding == TDslEncoding::utf16le, out, notes);
    return out;
}

std::string decodeDslText(std::string_view bytes, TDslNotes& notes) {
    return decodeDsl(bytes, notes, false).text;
}

std::vector<std::string> dslHeadwordTerms(std::string_view line, std::string* shown) {
    const std::string text = withoutComments(line);
    struct TPart {
        std::string text;
        bool optional = false;
    };
    std::vector<TPart> parts(1);
    bool inOptional = false;
    bool closable = true;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\\') {
            if (i + 1 < text.size())
                parts.back().text.push_back(text[i + 1]);
            i += 2;
            continue;
        }
        if (c == '{') {
            // An unsorted part, skipped to its closing brace (escapes inside skipped too). When
            // none closes it, no later brace is closed either, and the line is not searched again.
            size_t j = i + 1;
            while (closable && j < text.size() && text[j] != '}')
                j += text[j] == '\\' ? 2 : 1;
            closable = closable && j < text.size();
            i = closable ? j + 1 : i + 1;
            continue;
        }
        TTag tag;
        if (c == '[' && readTag(text, i, tag)) {
            i = tag.end;
            continue;
        }
        if (c == '(' && !inOptional) {
            inOptional = true;
            parts.push_back({{}, true});
            ++i;
            continue;
        }
        if (c == ')' && inOptional) {
            inOptional = false;
            parts.push_back({});
            ++i;
            continue;
        }
        parts.back().text.push_back(c);
        ++i;
    }
    // An optional part never closed is read as written, without its parenthesis.
    if (inOptional)
        parts.back().optional = false;

    size_t optional = 0;
    for (const TPart& part : parts)
        optional += part.optional;
    const size_t varied = std::min(optional, kMaxOptionalParts);
    std::vector<std::string> terms;
    for (uint32_t mask = (1u << varied);;) {
        --mask;
        std::string term;
        size_t index = 0;
        for (const TPart& part : parts) {
            if (!part.optional || index >= varied || (mask >> index & 1))
                term += part.text;
            index += part.optional;
        }
        term = collapsed(term);
        if (shown && mask + 1 == (1u << varied))
            *shown = term;
        if (!term.empty() && std::find(terms.begin(), terms.end(), term) == terms.end())
            terms.push_back(std::move(term));
        if (mask == 0)
            break;
    }
    return terms;
}

std::string renderDslBody(std::string_view body, std::string_view headword,
                          const TDslAbbreviations* abbreviations) {
    const std::string text = withoutComments(body);
    std::string out;
    bool inSubEntry = false;
    eachLine(text, [&](std::string_view raw) {
        if (out.size() >= kMaxRenderedBody)
            return;
        const std::string_view line = leftTrimmed(raw);
        if (line.starts_with('@')) {
            const std::string_view sub = trimmed(line.substr(1));
            inSubEntry = !sub.empty();
            if (inSubEntry) {
                std::string shown;
                dslHeadwordTerms(withHeadword(sub, headword), &shown);
                if (!shown.empty())
                    out += shown + "\n";
            }
            return;
        }
        if (inSubEntry)
            return;
        size_t indent = 0;
        const std::string rendered =
            renderLine(line, headword, abbreviations, kMaxRenderedBody - out.size(), indent);
        if (rendered.empty())
            return;
        out.append(indent * kIndentStep, ' ');
        out += rendered;
        out += '\n';
    });
    return out;
}

TDslHeader walkDsl(const std::string& path, const std::function<void(const TDslEntry&)>& visit,
                   TDslNotes& notes) {
    TDslWalk walk(visit, notes);
    walk.file(path, 0);
    return walk.header;
}

std::string dslAbbreviationPath(const std::string& dslPath) {
    std::string base = dslPath;
    for (std::string_view suffix : {".dsl.dz", ".dsl"}) {
        if (lowerAscii(base).ends_with(suffix)) {
            base.resize(base.size() - suffix.size());
            break;
        }
    }
    for (const char* suffix : {"_abrv.dsl", "_abrv.dsl.dz"}) {
        std::error_code error;
        if (fs::is_regular_file(base + suffix, error))
            return base + suffix;
    }
    return {};
}

TDslAbbreviations readDslAbbreviations(const std::string& path, TDslNotes& notes) {
    TDslAbbreviations abbreviations;
    walkDsl(
        path,
        [&](const TDslEntry& e) {
            std::string meaning = renderDslBody(e.body, e.headword);
            std::string oneLine;
            eachLine(meaning, [&](std::string_view line) {
                if (!oneLine.empty())
                    oneLine += "; ";
                oneLine += trimmed(line);
            });
            for (const std::string& term : e.terms)
                abbreviations.emplace(term, oneLine);
        },
        notes);
    return abbreviations;
}

void readDsl(const std::string& path, TConversion& conversion, bool abbreviations,
             TDslNotes& notes) {
    TDslAbbreviations table;
    if (abbreviations) {
        const std::string file = dslAbbreviationPath(path);
        if (file.empty())
            throw TError(path + ": рядом нет файла сокращений (ИМЯ_abrv.dsl) для --abbreviations");
        table = readDslAbbreviations(file, notes);
    }
    const TDslHeader header = walkDsl(
        path,
        [&](const TDslEntry& e) {
            const std::string article =
                renderDslBody(e.body, e.headword, abbreviations ? &table : nullptr);
            const size_t copies = dslArticleCopies(article.size());
            for (size_t i = 0; i < e.terms.size(); ++i) {
                if (i < copies)
                    conversion.add(e.terms[i], article);
                else
                    ++notes.termsLeftOut;
            }
        },
        notes);
    if (!header.name.empty())
        conversion.setName(header.name);
    const std::string info = dslHeaderInfo(header);
    if (!info.empty())
        conversion.setInfo(info);
}

std::string dslHeaderInfo(const TDslHeader& header) {
    std::string info;
    if (!header.indexLanguage.empty())
        info += "Язык заголовков: " + header.indexLanguage + "\n";
    if (!header.contentsLanguage.empty())
        info += "Язык статей: " + header.contentsLanguage + "\n";
    if (!info.empty())
        info.pop_back();
    return info;
}

size_t dslArticleCopies(size_t articleSize) {
    // Each term holds its own copy of the article: a long article goes to fewer of them, so
    // that memory stays bounded by the file's size.
    return std::max<size_t>(1, kArticleCopies / std::max<size_t>(articleSize, 1));
}
