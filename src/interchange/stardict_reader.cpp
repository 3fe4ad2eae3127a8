#include "interchange/stardict_reader.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string_view>
#include <vector>

#include "interchange/conversion.h"
#include "interchange/dict_data.h"
#include "interchange/markup_text.h"
#include "platform/error.h"
#include "platform/program_folder.h"

namespace {

constexpr std::string_view kIfoMagic = "StarDict's dict ifo file";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr size_t kSizeFieldSize = 4;
constexpr size_t kSynonymIndexSize = 4;
constexpr const char* kSeeAlso = "см. ";

uint64_t readBe(const char* p, size_t bytes) {
    uint64_t v = 0;
    for (size_t i = 0; i < bytes; ++i)
        v = v << 8 | static_cast<unsigned char>(p[i]);
    return v;
}

std::map<std::string, std::string> readIfo(const std::string& path) {
    TDictData file(path);
    std::string_view text = file.all();
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    std::map<std::string, std::string> values;
    bool first = true;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = trimBlanks(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (first) {
            if (line != kIfoMagic)
                throw TError(path + ": это не файл .ifo словаря StarDict");
            first = false;
            continue;
        }
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos)
            values[std::string(trimBlanks(line.substr(0, equals)))] =
                std::string(trimBlanks(line.substr(equals + 1)));
    }
    if (first)
        throw TError(path + ": это не файл .ifo словаря StarDict");
    return values;
}

// The first of the names that is a file, or the first name (whose opening then fails with
// the usual message).
std::string existing(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (program_folder::fileExists(name))
            return name;
    }
    return names.front();
}

bool isNumber(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 19)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

bool isText(char type) {
    return type >= 'a' && type <= 'z';
}

}  // namespace

TStarDictArticleBuilder::TStarDictArticleBuilder(const std::string& dataPath,
                                                 std::string_view sequence)
    : dataPath_(dataPath), sequence_(sequence) {}

std::string_view TStarDictArticleBuilder::build(std::string_view word, std::string_view data) {
    text_.clear();
    single_ = {};
    fields_ = 0;
    if (!sequence_.empty()) {
        for (size_t k = 0; k < sequence_.size(); ++k) {
            const char type = sequence_[k];
            if (k + 1 == sequence_.size()) {
                field(type, data);
                break;
            }
            data = take(word, type, data);
        }
    } else {
        while (!data.empty()) {
            const char type = data.front();
            data.remove_prefix(1);
            data = take(word, type, data);
        }
    }
    return fields_ == 1 && text_.empty() ? single_ : std::string_view(text_);
}

std::string_view TStarDictArticleBuilder::take(std::string_view word, char type,
                                               std::string_view data) {
    if (isText(type)) {
        const size_t zero = data.find('\0');
        field(type, data.substr(0, zero));
        return zero == std::string_view::npos ? std::string_view() : data.substr(zero + 1);
    }
    if (data.size() < kSizeFieldSize)
        overrun(word);
    const uint64_t size = readBe(data.data(), kSizeFieldSize);
    if (size > data.size() - kSizeFieldSize)
        overrun(word);
    return data.substr(kSizeFieldSize + size);
}

void TStarDictArticleBuilder::field(char type, std::string_view value) {
    if (!isText(type) || type == 'r')
        return;
    while (!value.empty() && value.back() == '\0')
        value.remove_suffix(1);
    const bool plain = type == 'm' || type == 'l' || type == 'y' || type == 'w' || type == 'n';
    if (plain && fields_ == 0 && text_.empty()) {
        single_ = value;
        ++fields_;
        return;
    }
    if (fields_ == 1 && text_.empty())
        text_.assign(single_);
    if (!text_.empty() && text_.back() != '\n')
        text_.push_back('\n');
    ++fields_;
    switch (type) {
        case 't':
            text_.push_back('[');
            text_.append(value);
            text_.push_back(']');
            break;
        case 'x':
            appendMarkupText(value, TMarkup::Xdxf, text_);
            break;
        case 'g':
        case 'h':
        case 'k':
            appendMarkupText(value, TMarkup::Html, text_);
            break;
        default:
            text_.append(value);
    }
}

void TStarDictArticleBuilder::overrun(std::string_view word) const {
    throw TError(dataPath_ + ": поля статьи «" + std::string(word) + "» выходят за её конец");
}

std::string TStarDictLayout::value(const char* key) const {
    auto it = ifo.find(key);
    return it == ifo.end() ? std::string() : it->second;
}

TStarDictLayout readStarDictLayout(const std::string& ifoPath) {
    TStarDictLayout layout;
    layout.ifo = readIfo(ifoPath);
    std::string base = ifoPath;
    if (base.size() > 4 && base.ends_with(".ifo"))
        base.resize(base.size() - 4);
    layout.idxPath = existing({base + ".idx", base + ".idx.gz"});
    layout.dataPath = existing({base + ".dict", base + ".dict.dz"});
    layout.synPath = existing({base + ".syn", base + ".syn.dz"});
    std::error_code ec;
    if (!std::filesystem::exists(layout.synPath, ec))
        layout.synPath.clear();
    layout.offsetBytes = layout.value("idxoffsetbits") == "64" ? 8 : 4;
    layout.sequence = layout.value("sametypesequence");
    layout.header.name = layout.value("bookname");
    layout.header.author = layout.value("author");
    for (const char* key : {"email", "website"}) {
        const std::string more = layout.value(key);
        if (!more.empty())
            layout.header.author += (layout.header.author.empty() ? "" : ", ") + more;
    }
    if (!layout.value("description").empty())
        appendMarkupText(layout.value("description"), TMarkup::Html, layout.header.info);
    return layout;
}

std::vector<TStarDictEntry> readStarDictIdx(const TStarDictLayout& layout, std::string_view idx,
                                            TArticleExtent* extentOut) {
    uint64_t declared = 0;
    if (isNumber(layout.value("idxfilesize"), declared) && declared != idx.size()) {
        throw TError(layout.idxPath + ": размер " + std::to_string(idx.size()) +
                     " байт не совпадает с idxfilesize=" + std::to_string(declared) +
                     " (файл повреждён или обрезан)");
    }
    const size_t offsetBytes = layout.offsetBytes;
    std::vector<TStarDictEntry> entries;
    TArticleExtent extent;
    for (size_t pos = 0; pos < idx.size();) {
        const size_t zero = idx.find('\0', pos);
        if (zero == std::string_view::npos || idx.size() - zero - 1 < offsetBytes + 4) {
            throw TError(layout.idxPath + ": запись " + std::to_string(entries.size() + 1) +
                         " обрывается (файл обрезан)");
        }
        TStarDictEntry entry;
        entry.word = idx.substr(pos, zero - pos);
        entry.offset = readBe(idx.data() + zero + 1, offsetBytes);
        entry.size = readBe(idx.data() + zero + 1 + offsetBytes, 4);
        extent.add(layout.dataPath, entry.word, "запись", entries.size() + 1, entry.offset,
                   entry.size);
        entries.push_back(entry);
        pos = zero + 1 + offsetBytes + 4;
    }
    if (isNumber(layout.value("wordcount"), declared) && declared != entries.size()) {
        throw TError(layout.idxPath + ": записей " + std::to_string(entries.size()) +
                     ", а в .ifo указано wordcount=" + std::to_string(declared));
    }
    if (extentOut)
        *extentOut = extent;
    return entries;
}

void forEachStarDictSynonym(
    const TStarDictLayout& layout, std::string_view syn, size_t entryCount,
    const std::function<void(std::string_view synonym, size_t target)>& each) {
    for (size_t pos = 0, number = 1; pos < syn.size(); ++number) {
        const size_t zero = syn.find('\0', pos);
        if (zero == std::string_view::npos || syn.size() - zero - 1 < kSynonymIndexSize) {
            throw TError(layout.synPath + ": запись " + std::to_string(number) +
                         " обрывается (файл обрезан)");
        }
        const std::string_view synonym = syn.substr(pos, zero - pos);
        const uint64_t target = readBe(syn.data() + zero + 1, kSynonymIndexSize);
        pos = zero + 1 + kSynonymIndexSize;
        if (target >= entryCount) {
            throw TError(layout.synPath + ": синоним «" + std::string(synonym) +
                         "» ссылается на запись " + std::to_string(target) + ", а их " +
                         std::to_string(entryCount));
        }
        each(synonym, static_cast<size_t>(target));
    }
}

std::string starDictSeeAlso(std::string_view main) {
    std::string article(kSeeAlso);
    article.append(main);
    article.push_back('\n');
    return article;
}

void readStarDict(const std::string& ifoPath, TConversion& conversion,
                  std::vector<std::string>* skipped) {
    const TStarDictLayout layout = readStarDictLayout(ifoPath);
    TDictData idxFile(layout.idxPath);
    const std::string_view idx = idxFile.all();
    TArticleExtent extent;
    const std::vector<TStarDictEntry> entries = readStarDictIdx(layout, idx, &extent);

    if (!layout.header.name.empty())
        conversion.setName(layout.header.name);
    if (!layout.header.author.empty())
        conversion.setAuthor(layout.header.author);
    if (!layout.header.info.empty())
        conversion.setInfo(layout.header.info);

    TDictData data(layout.dataPath, extent.needed, extent.total);
    conversion.reserve(extent.total + idx.size());
    TStarDictArticleBuilder builder(layout.dataPath, layout.sequence);
    for (const TStarDictEntry& entry : entries) {
        const std::optional<std::string_view> fields =
            readArticle(data, entry.offset, entry.size, entry.word, skipped);
        if (!fields)
            continue;
        conversion.add(entry.word, builder.build(entry.word, *fields));
    }

    if (layout.synPath.empty())
        return;
    TDictData synFile(layout.synPath);
    forEachStarDictSynonym(layout, synFile.all(), entries.size(),
                           [&](std::string_view synonym, size_t target) {
                               const std::string_view main = entries[target].word;
                               // A synonym that differs from its headword only in letter case
                               // would refer to itself.
                               if (!conversion.sameTerm(synonym, main))
                                   conversion.add(synonym, starDictSeeAlso(main));
                           });
}
