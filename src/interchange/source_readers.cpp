#include "interchange/source_readers.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>

#include "dictionary/secret_memory_stream.h"
#include "dictionary/term_index.h"
#include "interchange/dict_data.h"
#include "interchange/dictd_reader.h"
#include "interchange/dsl_reader.h"
#include "interchange/stardict_reader.h"
#include "interchange/text_import.h"
#include "platform/error.h"
#include "platform/regular_file.h"

namespace {

namespace fs = std::filesystem;

// Locators are the readers' own bytes: fixed-width little-endian numbers, then text.
void putNumber(std::string& out, uint64_t value, size_t bytes = 8) {
    for (size_t i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}

// Reads the fields of a locator in order; a locator too short for them is not one this reader
// made for the source as it is.
class TLocator {
public:
    TLocator(std::string_view bytes, const std::string& path) : bytes_(bytes), path_(path) {}

    uint64_t number(size_t bytes = 8) {
        need(bytes);
        uint64_t value = 0;
        for (size_t i = 0; i < bytes; ++i)
            value |= uint64_t{static_cast<unsigned char>(bytes_[i])} << (8 * i);
        bytes_.remove_prefix(bytes);
        return value;
    }
    std::string_view text(size_t length) {
        need(length);
        const std::string_view out = bytes_.substr(0, length);
        bytes_.remove_prefix(length);
        return out;
    }
    std::string_view rest() const { return bytes_; }

private:
    void need(size_t bytes) const {
        if (bytes_.size() < bytes)
            throw TDictionaryChanged(path_ + ": указатель статьи не от этого словаря");
    }

    std::string_view bytes_;
    const std::string& path_;
};

// The number of `bytes` little-endian bytes at `at` in locator; 0 when it is too short.
uint64_t numberAt(std::string_view locator, size_t at, size_t bytes = 8) {
    if (locator.size() < at || locator.size() - at < bytes)
        return 0;
    uint64_t value = 0;
    for (size_t i = 0; i < bytes; ++i)
        value |= uint64_t{static_cast<unsigned char>(locator[at + i])} << (8 * i);
    return value;
}

// The bytes [offset, offset + length) of data as the walk read them; a range that is no longer
// there or lies in a damaged chunk means the file changed since.
std::string readChanged(const TDataReader& data, uint64_t offset, uint64_t length) {
    try {
        return data.read(offset, length);
    } catch (const TError& e) {
        throw TDictionaryChanged(std::string(e.what()) +
                                 " — файл изменён после того, как был "
                                 "проиндексирован");
    }
}

void report(TIndexProgress* progress, uint64_t done) {
    if (!progress)
        return;
    progress->done = std::min<uint64_t>(done, progress->total);
    if (progress->cancel)
        throw TIndexCancelled("Index cancelled");
}

uint64_t fileSize(const std::string& path) {
    std::error_code error;
    const uint64_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

void requireFile(const std::string& path) {
    if (regular_file::kindOf(path) != regular_file::TKind::Regular)
        throw TError(formatMessage(error_text::kCannotOpenFile, path));
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// dictd: the index walked line by line, each article read at its offset and length.
class TDictdSource : public TSourceReader {
public:
    TDictdSource(std::string indexPath, std::string dataPath)
        : indexPath_(std::move(indexPath)), data_(dataPath) {
        requireFile(indexPath_);
    }

    std::vector<std::string> files() const override { return {indexPath_, data_.path()}; }

    // The articles are read in the order they lie in the data, so that each chunk is inflated
    // once (an index sorted by headword may jump about the data), and the entries are then
    // handed in the index's order with what their articles decided: the term, a header text,
    // or no entry at all.
    THeader walk(const std::function<void(std::string_view, std::string_view)>& visit,
                 TIndexProgress* progress) override {
        TSecretMemoryStream file;
        file.LoadFromFile(indexPath_);
        const std::string_view index(file.data(), file.size());
        if (progress)
            progress->total = index.size() + data_.size();

        struct TEntry {
            uint64_t offset, length;
            uint64_t line;   // where its line starts in the index
            uint64_t taken;  // where its term or header text starts in taken
            uint32_t takenLength;
            uint32_t lineNumber;
            enum : uint8_t { skipped, word, shown, header } kind;
        };
        std::vector<TEntry> entries;
        TDictdIndexEntry parsed;
        auto parse = [&](const TEntry& e) {
            const std::string_view rest = index.substr(e.line);
            parseDictdIndexLine(rest.substr(0, rest.find('\n')), indexPath_, e.lineNumber, parsed);
        };
        uint64_t lineNumber = 0;
        for (size_t at = 0; at < index.size();) {
            ++lineNumber;
            const size_t end = std::min(index.find('\n', at), index.size());
            if (lineNumber % 4096 == 0)
                report(progress, at);
            if (parseDictdIndexLine(index.substr(at, end - at), indexPath_, lineNumber, parsed)) {
                if (parsed.length > TDictData::kMaxArticle) {
                    throw TError(data_.path() + ": статья «" + std::string(parsed.indexWord) +
                                 "» (строка " + std::to_string(lineNumber) + " индекса) длиннее " +
                                 std::to_string(TDictData::kMaxArticle >> 20) + " МиБ");
                }
                entries.push_back({parsed.offset, parsed.length, at, 0, 0,
                                   static_cast<uint32_t>(lineNumber), TEntry::skipped});
            }
            at = end + 1;
        }

        std::vector<uint32_t> order(entries.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<uint32_t>(i);
        std::stable_sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
            return entries[x].offset < entries[y].offset;
        });
        std::string taken;  // the terms that are the articles' own lines, and header texts
        std::string article, headerText;
        for (size_t k = 0; k < order.size(); ++k) {
            TEntry& e = entries[order[k]];
            if (k % 1024 == 0)
                report(progress, index.size() + std::min(e.offset, data_.size()));
            try {
                article = data_.read(e.offset, e.length);
            } catch (const TDamagedData&) {
                continue;  // an article in a damaged chunk cannot be shown: the rest can
            }
            parse(e);
            std::string_view keep;
            if (dictdHeaderEntry(parsed.word, article, headerText) != TDictdHeaderField::none) {
                e.kind = TEntry::header;
                keep = article;
            } else if (article.empty()) {
                continue;
            } else {
                const std::string_view term = dictdTerm(parsed.word, article);
                e.kind = term.data() == parsed.word.data() ? TEntry::word : TEntry::shown;
                keep = e.kind == TEntry::shown ? term : std::string_view();
            }
            e.taken = taken.size();
            e.takenLength = static_cast<uint32_t>(keep.size());
            taken.append(keep);
        }

        THeader header;
        bool hasName = false, hasInfo = false, hasAuthor = false;
        std::string locator;
        for (const TEntry& e : entries) {
            if (e.kind == TEntry::skipped)
                continue;
            parse(e);
            const std::string_view kept = std::string_view(taken).substr(e.taken, e.takenLength);
            if (e.kind != TEntry::header) {
                locator.clear();
                putNumber(locator, e.offset);
                putNumber(locator, e.length);
                visit(e.kind == TEntry::shown ? kept : parsed.word, locator);
                continue;
            }
            switch (dictdHeaderEntry(parsed.word, kept, headerText)) {
                case TDictdHeaderField::name:
                    if (!std::exchange(hasName, true))
                        header.name = headerText;
                    break;
                case TDictdHeaderField::info:
                    if (!std::exchange(hasInfo, true))
                        header.info = headerText;
                    break;
                case TDictdHeaderField::author:
                    if (!std::exchange(hasAuthor, true))
                        header.author = headerText;
                    break;
                default:
                    break;
            }
        }
        // The walk read every article once; from now on articles are read as they are shown.
        data_.forgetChunks();
        report(progress, index.size() + data_.size());
        return header;
    }

    std::string article(std::string_view locator) const override {
        TLocator in(locator, data_.path());
        const uint64_t offset = in.number();
        const uint64_t length = in.number();
        return readChanged(data_, offset, length);
    }

    uint64_t dataPosition(std::string_view locator) const override { return numberAt(locator, 0); }

private:
    std::string indexPath_;
    TDataReader data_;
};

// Whether two headwords are one term to the index: equal but for letter case and blanks at
// their ends.
bool sameHeadword(std::string_view a, std::string_view b) {
    a = trimBlanks(a);
    b = trimBlanks(b);
    if (a == b)
        return true;
    const icu::UnicodeString ua = icu::UnicodeString::fromUTF8(a);
    return ua.caseCompare(icu::UnicodeString::fromUTF8(b), U_FOLD_CASE_DEFAULT) == 0;
}

// StarDict: the entries of .idx, then the synonyms of .syn as references to their headwords.
class TStarDictSource : public TSourceReader {
public:
    explicit TStarDictSource(const std::string& ifoPath)
        : ifoPath_(ifoPath), layout_(readStarDictLayout(ifoPath)), data_(layout_.dataPath) {
        requireFile(layout_.idxPath);
    }

    std::vector<std::string> files() const override {
        std::vector<std::string> out = {ifoPath_, layout_.idxPath, layout_.dataPath};
        if (!layout_.synPath.empty())
            out.push_back(layout_.synPath);
        return out;
    }

    THeader walk(const std::function<void(std::string_view, std::string_view)>& visit,
                 TIndexProgress* progress) override {
        // The index is held while it is walked (a synonym names its entry by number); the data
        // is read an article at a time.
        TDictData idxFile(layout_.idxPath);
        const std::string_view idx = idxFile.all();
        const std::vector<TStarDictEntry> entries = readStarDictIdx(layout_, idx);
        const uint64_t synSize = layout_.synPath.empty() ? 0 : fileSize(layout_.synPath);
        if (progress)
            progress->total = idx.size() + synSize;
        // Which entries have text is found reading the articles in the order they lie in the
        // data, so that each chunk is inflated once; they are handed in the index's order.
        std::vector<uint32_t> order(entries.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<uint32_t>(i);
        std::stable_sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
            return entries[x].offset < entries[y].offset;
        });
        std::vector<bool> hasText(entries.size());
        TStarDictArticleBuilder builder(layout_.dataPath, layout_.sequence);
        std::string fields;
        for (size_t k = 0; k < order.size(); ++k) {
            const TStarDictEntry& entry = entries[order[k]];
            if (k % 1024 == 0)
                report(progress, idx.size() * k / order.size());
            try {
                fields = data_.read(entry.offset, entry.size);
            } catch (const TDamagedData&) {
                continue;  // an article in a damaged chunk cannot be shown: the rest can
            }
            // An entry with no text (only sounds or pictures) gives no article.
            hasText[order[k]] = !builder.build(entry.word, fields).empty();
        }
        // The walk read every article once; from now on articles are read as they are shown.
        data_.forgetChunks();
        std::string locator;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (!hasText[i])
                continue;
            locator.assign(1, kEntry);
            putNumber(locator, entries[i].offset);
            putNumber(locator, entries[i].size);
            visit(entries[i].word, locator);
        }
        report(progress, idx.size());
        if (!layout_.synPath.empty()) {
            TDictData synFile(layout_.synPath);
            const std::string_view syn = synFile.all();
            size_t count = 0;
            forEachStarDictSynonym(
                layout_, syn, entries.size(), [&](std::string_view synonym, size_t target) {
                    if (++count % 1024 == 0)
                        report(progress, idx.size() + (synonym.data() - syn.data()));
                    const std::string_view main = entries[target].word;
                    // A synonym that differs from its headword only in letter case would
                    // refer to itself.
                    if (sameHeadword(synonym, main))
                        return;
                    locator.assign(1, kSynonym);
                    locator.append(main);
                    visit(synonym, locator);
                });
        }
        report(progress, idx.size() + synSize);
        return layout_.header;
    }

    uint64_t dataPosition(std::string_view locator) const override {
        // A synonym's article reads no data.
        return !locator.empty() && locator[0] == kEntry ? numberAt(locator, 1) : 0;
    }

    std::string article(std::string_view locator) const override {
        TLocator in(locator, layout_.dataPath);
        const std::string_view kind = in.text(1);
        if (kind[0] == kSynonym)
            return starDictSeeAlso(in.rest());
        if (kind[0] != kEntry)
            in.text(SIZE_MAX);  // no locator of this reader's
        const uint64_t offset = in.number();
        const uint64_t size = in.number();
        const std::string fields = readChanged(data_, offset, size);
        TStarDictArticleBuilder builder(layout_.dataPath, layout_.sequence);
        try {
            return std::string(builder.build({}, fields));
        } catch (const TError& e) {
            throw TDictionaryChanged(std::string(e.what()) +
                                     " — файл изменён после того, как "
                                     "был проиндексирован");
        }
    }

private:
    static constexpr char kEntry = 'E';
    static constexpr char kSynonym = 'S';

    std::string ifoPath_;
    TStarDictLayout layout_;
    TDataReader data_;
};

// DSL: the entries as walkDsl meets them, each body read back from its file's bytes and
// rendered. An entry's locator names the file it lies in (empty for the one opened) with the
// body's place there and the headword "~" stands for.
class TDslSource : public TSourceReader {
public:
    explicit TDslSource(const std::string& path) : path_(path) {
        requireFile(path);
        // The file is opened now, so that one that cannot be read in place (plain gzip too
        // large to hold) is told at once.
        readers_.emplace(std::string(), std::make_unique<TDataReader>(path));
    }

    std::vector<std::string> files() const override {
        const std::lock_guard lock(mutex_);
        std::vector<std::string> out = {path_};
        out.insert(out.end(), included_.begin(), included_.end());
        return out;
    }

    THeader walk(const std::function<void(std::string_view, std::string_view)>& visit,
                 TIndexProgress* progress) override {
        if (progress)
            progress->total = readers_.at({})->size();
        std::vector<std::string> included;
        std::string locator;
        size_t count = 0;
        TDslNotes notes;
        const TDslHeader header = walkDsl(
            path_,
            [&](const TDslEntry& e) {
                const bool main = e.file == path_;
                if (main && ++count % 256 == 0)
                    report(progress, e.rawOffset);
                if (!main && std::find(included.begin(), included.end(), e.file) == included.end())
                    included.emplace_back(e.file);
                // A body longer than an article may be is not read back in place.
                if (e.rawLength > TDictData::kMaxArticle)
                    return;
                const std::string article = renderDslBody(e.body, e.headword);
                if (article.empty())
                    return;
                locator.clear();
                putNumber(locator, static_cast<uint8_t>(e.encoding), 1);
                putNumber(locator, e.rawOffset);
                putNumber(locator, e.rawLength);
                const std::string_view file = main ? std::string_view() : e.file;
                putNumber(locator, file.size(), 4);
                locator.append(file);
                locator.append(e.headword);
                const size_t copies = dslArticleCopies(article.size());
                for (size_t i = 0; i < e.terms.size() && i < copies; ++i)
                    visit(e.terms[i], locator);
            },
            notes);
        {
            const std::lock_guard lock(mutex_);
            included_ = std::move(included);
        }
        report(progress, readers_.at({})->size());
        THeader out;
        out.name = header.name;
        out.info = dslHeaderInfo(header);
        return out;
    }

    // The raw offset within its file, the files apart by a number made of the file's name (the
    // opened file's is 0): the articles of one file are read in the order of their bytes.
    uint64_t dataPosition(std::string_view locator) const override {
        constexpr int kOffsetBits = 48;
        const uint64_t offset = numberAt(locator, 1);
        const uint64_t nameLength = numberAt(locator, 17, 4);
        if (offset >> kOffsetBits || locator.size() < 21 || locator.size() - 21 < nameLength)
            return 0;
        uint64_t file = 0;
        if (nameLength > 0) {
            uint32_t hash = 2166136261u;  // FNV-1a
            for (const char c : locator.substr(21, nameLength))
                hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
            file = (hash & 0x7FFF) + 1;
        }
        return file << kOffsetBits | offset;
    }

    std::string article(std::string_view locator) const override {
        TLocator in(locator, path_);
        const auto encoding = static_cast<TDslEncoding>(in.number(1));
        const uint64_t offset = in.number();
        const uint64_t length = in.number();
        const std::string file(in.text(static_cast<size_t>(in.number(4))));
        const std::string_view headword = in.rest();
        if (encoding != TDslEncoding::utf8 && encoding != TDslEncoding::utf16le &&
            encoding != TDslEncoding::utf16be)
            in.text(SIZE_MAX);
        std::string bytes;
        {
            const std::lock_guard lock(mutex_);
            auto found = readers_.find(file);
            if (found == readers_.end()) {
                try {
                    found = readers_.emplace(file, std::make_unique<TDataReader>(file)).first;
                } catch (const TError& e) {
                    throw TDictionaryChanged(std::string(e.what()) +
                                             " — файл изменён после того, как был "
                                             "проиндексирован");
                }
            }
            bytes = readChanged(*found->second, offset, length);
        }
        return renderDslBody(decodeDslBody(bytes, encoding), headword);
    }

private:
    std::string path_;
    mutable std::mutex mutex_;
    std::vector<std::string> included_;
    // The files' readers, by the name locators give them (the opened file's is empty).
    mutable std::map<std::string, std::unique_ptr<TDataReader>> readers_;
};

std::string firstExisting(const std::string& base, std::initializer_list<const char*> suffixes) {
    for (const char* suffix : suffixes) {
        if (regular_file::kindOf(base + suffix) == regular_file::TKind::Regular)
            return base + suffix;
    }
    return {};
}

}  // namespace

TSourceRefusal sourceRefusal(const std::string& path) {
    const std::string name = lowerAscii(fs::path(path).filename().string());
    if (name.ends_with(".index") && name.size() > 6)
        return firstExisting(path.substr(0, path.size() - 6), {".dict", ".dict.dz"}).empty()
                   ? TSourceRefusal::noData
                   : TSourceRefusal::none;
    for (std::string_view suffix :
         {std::string_view("_abrv.dsl"), std::string_view("_abrv.dsl.dz")}) {
        if (name.ends_with(suffix))
            return TSourceRefusal::abbreviations;
    }
    return TSourceRefusal::none;
}

std::unique_ptr<TSourceReader> openSourceReader(const std::string& path) {
    const std::string name = lowerAscii(fs::path(path).filename().string());
    auto base = [&](size_t suffix) { return path.substr(0, path.size() - suffix); };
    if (name.ends_with(".index") && name.size() > 6) {
        const std::string data = firstExisting(base(6), {".dict", ".dict.dz"});
        if (data.empty())
            return nullptr;
        return std::make_unique<TDictdSource>(path, data);
    }
    if (name.ends_with(".ifo") && name.size() > 4)
        return std::make_unique<TStarDictSource>(path);
    for (std::string_view suffix : {std::string_view(".dsl"), std::string_view(".dsl.dz")}) {
        if (name.ends_with(suffix) && name.size() > suffix.size()) {
            if (name.substr(0, name.size() - suffix.size()).ends_with("_abrv"))
                return nullptr;
            return std::make_unique<TDslSource>(path);
        }
    }
    return nullptr;
}
