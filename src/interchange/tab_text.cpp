#include "interchange/tab_text.h"

#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"

namespace {

constexpr char kEscape = '\\';
constexpr char kSeparator = '\t';
constexpr std::string_view kHeaderMark = "\\#";
constexpr std::string_view kName = "name";
constexpr std::string_view kAuthor = "author";
constexpr std::string_view kInfo = "info";
constexpr size_t kChunk = 1 << 16;

void appendHeader(std::string& out, std::string_view key, std::string_view text) {
    if (text.empty())
        return;
    out.append(kHeaderMark);
    out.append(key);
    out.push_back(kSeparator);
    out.append(escapeTabField(text));
    out.push_back('\n');
}

}  // namespace

std::string escapeTabField(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string unescapeTabField(std::string_view field) {
    field = field.substr(0, field.find('\0'));
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != kEscape || i + 1 == field.size()) {
            out.push_back(c);
            continue;
        }
        switch (field[i + 1]) {
            case '\\':
                out.push_back('\\');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            default:
                out.push_back(c);
                continue;
        }
        ++i;
    }
    return out;
}

void writeTabText(const TDictionary& dictionary,
                  const std::function<void(std::string_view)>& sink) {
    std::string out;
    appendHeader(out, kName, dictionary.Name());
    appendHeader(out, kAuthor, dictionary.Author());
    appendHeader(out, kInfo, dictionary.Info());
    for (int i = 0; i < dictionary.Count(); ++i) {
        out.append(escapeTabField(dictionary.Term(i)));
        out.push_back(kSeparator);
        out.append(escapeTabField(dictionary.Article(i)));
        out.push_back('\n');
        if (out.size() >= kChunk) {
            sink(out);
            out.clear();
        }
    }
    if (!out.empty())
        sink(out);
}

TTabImportResult importTabText(TDictionary& dictionary, const std::string& path) {
    TSecretMemoryStream file;
    file.LoadFromFile(path);
    const std::string_view text(file.data(), file.size());

    TTabImportResult result;
    TTermBatch batch;
    std::string name, author, info;
    bool hasName = false, hasAuthor = false, hasInfo = false;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        const size_t tab = line.find(kSeparator);
        if (tab == std::string_view::npos) {
            ++result.malformed;
            continue;
        }
        const std::string_view key = line.substr(0, tab);
        const std::string value = unescapeTabField(line.substr(tab + 1));
        if (key.starts_with(kHeaderMark)) {
            const std::string_view which = key.substr(kHeaderMark.size());
            if (which == kName) {
                name = value;
                hasName = true;
            } else if (which == kAuthor) {
                author = value;
                hasAuthor = true;
            } else if (which == kInfo) {
                info = value;
                hasInfo = true;
            } else {
                ++result.malformed;
            }
            continue;
        }
        ++result.entries;
        batch.add(unescapeTabField(key), value);
    }
    // Everything is parsed before the dictionary changes, so a failure leaves it as it was.
    if (hasName)
        dictionary.SetName(name);
    if (hasAuthor)
        dictionary.SetAuthor(author);
    if (hasInfo)
        dictionary.SetInfo(info);
    result.added = dictionary.addTerms(std::move(batch));
    return result;
}
