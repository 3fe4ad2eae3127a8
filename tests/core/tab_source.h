#pragma once
// A dictionary of another format of the tests' own, read in place through the program's source
// seam, so the index and the windows can be tested on UTF-8 text without a real dictd or
// StarDict file. Shared by the core and the window tests.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dictionary/source.h"
#include "dictionary/term_index.h"
#include "platform/error.h"

// A file of lines "headword TAB article" (a line without a tab, or one starting with '#', is
// no entry), its header in a companion file "NAME.hdr" (name, author, then the description's
// lines), which is one of its files, but known as such only once walked (as a file a source
// includes). A locator is the line's byte offset.
class TTabSource : public TSourceReader {
public:
    explicit TTabSource(std::string path) : path_(std::move(path)) {}

    std::vector<std::string> files() const override {
        if (!walked_)
            return {path_};
        return {path_, path_ + ".hdr"};
    }

    THeader walk(const std::function<void(std::string_view, std::string_view)>& visit,
                 TIndexProgress* progress) override {
        const std::string text = read(path_);
        if (progress)
            progress->total = text.size();
        for (size_t at = 0; at < text.size();) {
            const size_t end = std::min(text.find('\n', at), text.size());
            const std::string_view line(text.data() + at, end - at);
            const size_t tab = line.find('\t');
            if (tab != std::string_view::npos && !line.starts_with('#'))
                visit(line.substr(0, tab), std::to_string(at));
            at = end + 1;
            if (progress && progress->cancel)
                throw TIndexCancelled("Index cancelled");
        }
        walked_ = true;
        const std::string header = read(path_ + ".hdr");
        std::vector<std::string> lines(2);
        size_t at = 0;
        for (size_t i = 0; i < 2 && at < header.size(); ++i) {
            const size_t end = std::min(header.find('\n', at), header.size());
            lines[i] = header.substr(at, end - at);
            at = end + 1;
        }
        return {lines[0], lines[1], header.substr(std::min(at, header.size()))};
    }

    std::string article(std::string_view locator) const override {
        const std::string text = read(path_);
        const size_t at = std::stoul(std::string(locator));
        reads.push_back(at);
        const size_t tab = text.find('\t', at);
        if (at >= text.size() || tab == std::string::npos)
            throw TDictionaryChanged("changed");
        const size_t end = std::min(text.find('\n', tab), text.size());
        return text.substr(tab + 1, end - tab - 1);
    }

    uint64_t dataPosition(std::string_view locator) const override {
        return std::stoul(std::string(locator));
    }

    // The locators of the articles read from any such source, in the order asked.
    static inline std::vector<size_t> reads;

    // The entries as walked, each with its article read back.
    std::vector<std::pair<std::string, std::string>> entries() {
        std::vector<std::pair<std::string, std::string>> out;
        walk([&](auto headword, auto locator) { out.emplace_back(headword, article(locator)); },
             nullptr);
        return out;
    }

private:
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string path_;
    bool walked_ = false;
};

// For its lifetime, a path ending in ".tab" opens as a TTabSource (a missing one is an error).
class TTabOpener {
public:
    TTabOpener() {
        setSourceOpener([](const std::string& path) -> std::unique_ptr<TSourceReader> {
            if (!path.ends_with(".tab"))
                return nullptr;
            if (!std::filesystem::exists(path))
                throw TError("Cannot open file " + path);
            return std::make_unique<TTabSource>(path);
        });
    }
    ~TTabOpener() { setSourceOpener(nullptr); }
    TTabOpener(const TTabOpener&) = delete;
    TTabOpener& operator=(const TTabOpener&) = delete;
};

// Writes such a source (texts UTF-8) and its companion header file.
inline void writeTabSource(const std::string& path,
                           const std::vector<std::pair<std::string, std::string>>& entries,
                           const std::string& header = "Name\nAuthor\nInfo\nmore") {
    std::ofstream out(path, std::ios::binary);
    for (const auto& [headword, article] : entries)
        out << headword << '\t' << article << '\n';
    std::ofstream(path + ".hdr", std::ios::binary) << header;
}
