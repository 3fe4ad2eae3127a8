#pragma once
// A dictionary of another format of the tests' own, read in place through the program's source
// seam, so the windows can be tested on UTF-8 text without a real dictd or StarDict file.

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dictionary/source.h"
#include "dictionary/term_index.h"
#include "platform/error.h"

namespace rig {

// A UTF-8 file: a first line "#name", then "headword TAB article" lines. A locator is the
// entry line's byte offset.
class TTextSource : public TSourceReader {
public:
    explicit TTextSource(std::string path) : path_(std::move(path)) {}

    std::vector<std::string> files() const override { return {path_}; }

    THeader walk(const std::function<void(std::string_view, std::string_view)>& visit,
                 TIndexProgress*) override {
        const std::string text = read();
        THeader header;
        for (size_t at = 0; at < text.size();) {
            const size_t end = std::min(text.find('\n', at), text.size());
            const std::string_view line(text.data() + at, end - at);
            if (line.starts_with('#'))
                header.name = line.substr(1);
            else if (const size_t tab = line.find('\t'); tab != std::string_view::npos)
                visit(line.substr(0, tab), std::to_string(at));
            at = end + 1;
        }
        return header;
    }

    std::string article(std::string_view locator) const override {
        const std::string text = read();
        const size_t tab = text.find('\t', std::stoul(std::string(locator)));
        if (tab == std::string::npos)
            throw TDictionaryChanged("changed");
        return text.substr(tab + 1, std::min(text.find('\n', tab), text.size()) - tab - 1);
    }

private:
    std::string read() const {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string path_;
};

// For its lifetime, a path ending in ".tsrc" opens as a TTextSource.
class TTextSourceOpener {
public:
    TTextSourceOpener() {
        setSourceOpener([](const std::string& path) -> std::unique_ptr<TSourceReader> {
            if (!path.ends_with(".tsrc"))
                return nullptr;
            return std::make_unique<TTextSource>(path);
        });
    }
    ~TTextSourceOpener() { setSourceOpener(nullptr); }
    TTextSourceOpener(const TTextSourceOpener&) = delete;
    TTextSourceOpener& operator=(const TTextSourceOpener&) = delete;
};

// Writes such a file (texts UTF-8).
inline void writeTextSource(const std::string& path, const std::string& name,
                            const std::vector<std::pair<std::string, std::string>>& entries) {
    std::ofstream out(path, std::ios::binary);
    out << '#' << name << '\n';
    for (const auto& [headword, article] : entries)
        out << headword << '\t' << article << '\n';
}

}  // namespace rig
