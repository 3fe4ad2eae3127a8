#include "interchange/stardict_reader.h"

#include <filesystem>
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

struct TIdxEntry {
    std::string_view word;
    uint64_t offset;
    uint64_t size;
};

bool isText(char type) {
    return type >= 'a' && type <= 'z';
}

// Builds an entry's article from its fields. Returns a view of the data itself when the
// article is one plain text field, else of text.
class TArticleBuilder {
public:
    TArticleBuilder(const std::string& dataPath, std::string_view sequence)
        : dataPath_(dataPath), sequence_(sequence) {}

    std::string_view build(std::string_view word, std::string_view data) {
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

private:
    // Takes one field of the type from the front of data and returns what follows it.
    std::string_view take(std::string_view word, char type, std::string_view data) {
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

    void field(char type, std::string_view value) {
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

    [[noreturn]] void overrun(std::string_view word) const {
        throw TError(dataPath_ + ": поля статьи «" + std::string(word) + "» выходят за её конец");
    }

    const std::string& dataPath_;
    std::string sequence_;
    std::string text_;
    std::string_view single_;
    int fields_ = 0;
};

}  // namespace

void readStarDict(const std::string& ifoPath, TConversion& conversion,
                  std::vector<std::string>* skipped) {
    const std::map<std::string, std::string> ifo = readIfo(ifoPath);
    auto value = [&](const char* key) {
        auto it = ifo.find(key);
        return it == ifo.end() ? std::string() : it->second;
    };
    std::string base = ifoPath;
    if (base.size() > 4 && base.ends_with(".ifo"))
        base.resize(base.size() - 4);
    const std::string idxPath = existing({base + ".idx", base + ".idx.gz"});
    const std::string dataPath = existing({base + ".dict", base + ".dict.dz"});

    TDictData idxFile(idxPath);
    uint64_t declared = 0;
    if (isNumber(value("idxfilesize"), declared) && declared != idxFile.size()) {
        throw TError(idxPath + ": размер " + std::to_string(idxFile.size()) +
                     " байт не совпадает с idxfilesize=" + std::to_string(declared) +
                     " (файл повреждён или обрезан)");
    }
    const size_t offsetBytes = value("idxoffsetbits") == "64" ? 8 : 4;
    const std::string_view idx = idxFile.all();
    std::vector<TIdxEntry> entries;
    TArticleExtent extent;
    for (size_t pos = 0; pos < idx.size();) {
        const size_t zero = idx.find('\0', pos);
        if (zero == std::string_view::npos || idx.size() - zero - 1 < offsetBytes + 4) {
            throw TError(idxPath + ": запись " + std::to_string(entries.size() + 1) +
                         " обрывается (файл обрезан)");
        }
        TIdxEntry entry;
        entry.word = idx.substr(pos, zero - pos);
        entry.offset = readBe(idx.data() + zero + 1, offsetBytes);
        entry.size = readBe(idx.data() + zero + 1 + offsetBytes, 4);
        extent.add(dataPath, entry.word, "запись", entries.size() + 1, entry.offset, entry.size);
        entries.push_back(entry);
        pos = zero + 1 + offsetBytes + 4;
    }
    if (isNumber(value("wordcount"), declared) && declared != entries.size()) {
        throw TError(idxPath + ": записей " + std::to_string(entries.size()) +
                     ", а в .ifo указано wordcount=" + std::to_string(declared));
    }

    if (!value("bookname").empty())
        conversion.setName(value("bookname"));
    std::string author = value("author");
    for (const char* key : {"email", "website"}) {
        const std::string more = value(key);
        if (!more.empty())
            author += (author.empty() ? "" : ", ") + more;
    }
    if (!author.empty())
        conversion.setAuthor(author);
    if (!value("description").empty()) {
        std::string description;
        appendMarkupText(value("description"), TMarkup::Html, description);
        conversion.setInfo(description);
    }

    TDictData data(dataPath, extent.needed, extent.total);
    conversion.reserve(extent.total + idx.size());
    TArticleBuilder builder(dataPath, value("sametypesequence"));
    for (const TIdxEntry& entry : entries) {
        const std::optional<std::string_view> fields =
            readArticle(data, entry.offset, entry.size, entry.word, skipped);
        if (!fields)
            continue;
        conversion.add(entry.word, builder.build(entry.word, *fields));
    }

    const std::string synPath = existing({base + ".syn", base + ".syn.dz"});
    std::error_code ec;
    if (!std::filesystem::exists(synPath, ec))
        return;
    TDictData synFile(synPath);
    const std::string_view syn = synFile.all();
    std::string article;
    for (size_t pos = 0, number = 1; pos < syn.size(); ++number) {
        const size_t zero = syn.find('\0', pos);
        if (zero == std::string_view::npos || syn.size() - zero - 1 < kSynonymIndexSize) {
            throw TError(synPath + ": запись " + std::to_string(number) +
                         " обрывается (файл обрезан)");
        }
        const std::string_view synonym = syn.substr(pos, zero - pos);
        const uint64_t target = readBe(syn.data() + zero + 1, kSynonymIndexSize);
        pos = zero + 1 + kSynonymIndexSize;
        if (target >= entries.size()) {
            throw TError(synPath + ": синоним «" + std::string(synonym) + "» ссылается на запись " +
                         std::to_string(target) + ", а их " + std::to_string(entries.size()));
        }
        const std::string_view main = entries[target].word;
        // A synonym that differs from its headword only in letter case would refer to itself.
        if (conversion.sameTerm(synonym, main))
            continue;
        article.assign(kSeeAlso);
        article.append(main);
        article.push_back('\n');
        conversion.add(synonym, article);
    }
}
