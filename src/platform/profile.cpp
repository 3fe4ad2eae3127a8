#include "platform/profile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <unordered_set>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/regular_file.h"
#include "platform/upcase.h"

namespace profile {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The value part of a key line: everything after the first "=", or nothing without one.
std::string_view rawValue(std::string_view line) {
    const size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
}

// An entry is one line: a line break inside a value would end it early and turn the rest into
// lines of their own, even into sections and keys, so LF and CR LF are written as blanks. A lone
// CR ends no line when the file is read, so it stays: a value read with one in it is written
// back the same.
std::string oneLine(std::string_view value) {
    std::string out(value);
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\n' || (out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n'))
            out[i] = ' ';
    }
    return out;
}

// A value as reading gives it back from the text after "=": the blanks around it and quotes
// enclosing all of it removed.
std::string_view readBack(std::string_view raw) {
    std::string_view value = trim(raw);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

TProfile TProfile::parse(std::string_view text) {
    TProfile p;
    TSection* current = nullptr;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        const std::string_view body = trim(line);
        if (!body.empty() && body.front() == '[') {
            // The name runs to the last "]"; a header without one takes the rest of the line.
            std::string_view name = body.substr(1);
            if (const size_t close = name.rfind(']'); close != std::string_view::npos)
                name = name.substr(0, close);
            p.sections_.push_back({std::string(trim(name)), {}, std::string(line)});
            current = &p.sections_.back();
            continue;
        }
        TLine l{std::string(line), {}, false};
        if (!body.empty() && body.front() != ';') {
            l.isKey = true;
            l.key = std::string(trim(body.substr(0, body.find('='))));
        }
        (current ? current->lines : p.preamble_).push_back(std::move(l));
    }
    return p;
}

TProfile TProfile::load(const std::string& path) {
    // Only a regular file: a settings path that names a device or FIFO reads as empty rather
    // than without end or never.
    const int fd = regular_file::openForReading(path);
    if (fd < 0)
        return {};
    std::string text;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return parse(text);
}

const TProfile::TSection* TProfile::findSection(std::string_view name) const {
    const std::string_view wanted = trim(name);
    for (const TSection& s : sections_) {
        if (upcase::equal(s.name, wanted))
            return &s;
    }
    return nullptr;
}

TProfile::TSection* TProfile::findSection(std::string_view name) {
    return const_cast<TSection*>(std::as_const(*this).findSection(name));
}

std::vector<std::string> TProfile::sectionNames() const {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const TSection& s : sections_) {
        if (seen.insert(upcase::text(s.name)).second)
            names.push_back(s.name);
    }
    return names;
}

std::vector<std::string> TProfile::keyNames(std::string_view section) const {
    std::vector<std::string> keys;
    if (const TSection* s = findSection(section)) {
        for (const TLine& l : s->lines) {
            if (l.isKey)
                keys.push_back(l.key);
        }
    }
    return keys;
}

std::string TProfile::readString(std::string_view section, std::string_view key) const {
    const TSection* s = findSection(section);
    if (!s)
        return {};
    const std::string_view wanted = trim(key);
    for (const TLine& l : s->lines) {
        if (!l.isKey || !upcase::equal(l.key, wanted))
            continue;
        return valueOf(rawValue(l.raw));
    }
    return {};
}

std::vector<TProfile::TSectionValues> TProfile::values() const {
    return entries(false);
}

std::vector<TProfile::TSectionValues> TProfile::rawValues() const {
    return entries(true);
}

std::vector<TProfile::TSectionValues> TProfile::entries(bool raw) const {
    std::vector<TSectionValues> out;
    std::unordered_set<std::string> sectionsSeen;
    for (const TSection& s : sections_) {
        // readString looks only into the first section of a name, and at a key's first line.
        if (!sectionsSeen.insert(upcase::text(s.name)).second)
            continue;
        TSectionValues& section = out.emplace_back(TSectionValues{s.name, {}});
        std::unordered_set<std::string> keysSeen;
        for (const TLine& l : s.lines) {
            if (!l.isKey || !keysSeen.insert(upcase::text(l.key)).second)
                continue;
            if (!raw)
                section.values.emplace_back(l.key, valueOf(rawValue(l.raw)));
            else if (l.raw.find('=') != std::string::npos)
                section.values.emplace_back(l.key, std::string(rawValue(l.raw)));
        }
    }
    return out;
}

void TProfile::eraseSection(std::string_view section) {
    const std::string_view wanted = trim(section);
    std::erase_if(sections_, [&](const TSection& s) { return upcase::equal(s.name, wanted); });
}

std::optional<std::string> TProfile::rawString(std::string_view section,
                                               std::string_view key) const {
    const TSection* s = findSection(section);
    if (!s)
        return std::nullopt;
    const std::string_view wanted = trim(key);
    for (const TLine& l : s->lines) {
        if (l.isKey && upcase::equal(l.key, wanted)) {
            if (l.raw.find('=') == std::string::npos)
                return std::nullopt;
            return std::string(rawValue(l.raw));
        }
    }
    return std::nullopt;
}

void TProfile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    writeLine(section, key, oneLine(value));
}

bool TProfile::readsBackBare(std::string_view value) {
    return readBack(value) == value;
}

std::string TProfile::valueOf(std::string_view raw) {
    return std::string(readBack(raw).substr(0, kMaxValueLength));
}

void TProfile::writeLine(std::string_view section, std::string_view key, const std::string& value) {
    TSection* s = findSection(section);
    if (!s) {
        const std::string name(trim(section));
        sections_.push_back({name, {}, "[" + name + "]"});
        s = &sections_.back();
    }
    const std::string_view wanted = trim(key);
    for (TLine& l : s->lines) {
        if (l.isKey && upcase::equal(l.key, wanted)) {
            l.raw = l.key + "=" + value;
            return;
        }
    }
    // A new key goes after the section's last key, before any blank lines that part it from
    // the next section.
    auto at = s->lines.end();
    while (at != s->lines.begin() && trim(std::prev(at)->raw).empty())
        --at;
    const std::string name(wanted);
    s->lines.insert(at, TLine{name + "=" + value, name, true});
}

void TProfile::replaceSections(const std::vector<TSectionValues>& sections) {
    std::unordered_set<std::string> replaced;
    for (const TSectionValues& s : sections)
        replaced.insert(upcase::text(trim(s.name)));
    std::erase_if(sections_,
                  [&](const TSection& s) { return replaced.count(upcase::text(s.name)) > 0; });
    for (const TSectionValues& s : sections) {
        if (s.values.empty())
            continue;
        const std::string name(trim(s.name));
        TSection& written = sections_.emplace_back(TSection{name, {}, "[" + name + "]"});
        written.lines.reserve(s.values.size());
        for (const auto& [key, value] : s.values) {
            const std::string k(trim(key));
            written.lines.push_back(TLine{k + "=" + oneLine(value), k, true});
        }
    }
}

std::string TProfile::text() const {
    std::string out;
    for (const TLine& l : preamble_)
        out += l.raw + "\r\n";
    for (const TSection& s : sections_) {
        out += s.header + "\r\n";
        for (const TLine& l : s.lines)
            out += l.raw + "\r\n";
    }
    return out;
}

bool TProfile::save(const std::string& path) const {
    try {
        TAtomicFileWriter out(path);
        const std::string bytes = text();
        out.write(bytes.data(), bytes.size());
        out.commit();
        return true;
    } catch (const TError&) {
        return false;
    }
}

}  // namespace profile
