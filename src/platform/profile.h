#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One INI (profile) file held in memory and read and changed by the rules of the classic
// profile-string functions, so a settings file behaves as users of such files expect:
//  - a line "[name]" opens a section; "key=value" lines follow it;
//  - section and key names match ignoring letter case, Cyrillic letters folded too;
//  - a value read back loses the blanks around it and quotes enclosing all of it, and is cut
//    at kMaxValueLength characters;
//  - lines the functions do not understand (comments, blank lines, text before the first
//    section) are kept as they were.
// Text is Windows-1251 bytes; nothing is converted.
namespace profile {

// The longest value handed back by readString; the rest of a longer value is dropped.
inline constexpr size_t kMaxValueLength = 2047;

class TProfile {
public:
    // One section's keys and values, as a whole: the section's name and its key = value pairs
    // in order.
    struct TSectionValues {
        std::string name;
        std::vector<std::pair<std::string, std::string>> values;
    };

    TProfile() = default;

    // The profile held in text. Accepts CR LF and LF line ends.
    static TProfile parse(std::string_view text);
    // The profile of the file at path; a missing or unreadable file gives an empty profile.
    static TProfile load(const std::string& path);

    // Section names as spelled in the file, in file order. A name met twice is listed once.
    std::vector<std::string> sectionNames() const;
    // Key names of the section as spelled, in file order; none when the section is missing.
    std::vector<std::string> keyNames(std::string_view section) const;
    // The key's value with the blanks around it and enclosing quotes removed, cut at
    // kMaxValueLength; "" when the section or the key is missing or the line has no "=".
    std::string readString(std::string_view section, std::string_view key) const;
    // The key's text after "=" exactly as the line holds it (blanks and quotes kept, not cut);
    // none when the section or the key is missing or the line has no "=".
    std::optional<std::string> rawString(std::string_view section, std::string_view key) const;

    // Every section with each of its keys and the value readString gives for it, in file order.
    // A section or key met a second time is left out, as readString never reaches it. One pass
    // over the profile, so a file of a hundred thousand keys loads as fast as one of ten.
    std::vector<TSectionValues> values() const;
    // As values(), but each value is the text after "=" as rawString gives it; a key line
    // without "=" is left out.
    std::vector<TSectionValues> rawValues() const;

    // Removes the section, its header and all its lines. Missing: nothing happens.
    void eraseSection(std::string_view section);
    // Replaces the key's value in place (the key keeps its spelling), or appends the key at the
    // end of the section, or appends the section at the end of the profile. Line breaks in
    // the value are written as blanks, so a value never spills into lines of its own.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    // Whether value, written bare after "=", reads back as itself: false when it has blanks
    // at either end or is enclosed in quotes, which reading would remove.
    static bool readsBackBare(std::string_view value);
    // The value readString gives for a key line whose text after "=" is raw.
    static std::string valueOf(std::string_view raw);

    // As eraseSection for each of sections, then writeString (the text as it is, line breaks as
    // blanks; a raw text from rawString thus stays as the line spelled it) of each value in order,
    // but in one pass over the profile. The keys of one section must differ (ignoring letter
    // case). A section without values is only erased.
    void replaceSections(const std::vector<TSectionValues>& sections);

    // The profile as file text, lines ending in CR LF.
    std::string text() const;

    // Writes text() to the file at path through TAtomicFileWriter, so the file is always either
    // the old or the new one. Returns false when any step fails; the temporary file is then
    // removed and the old file is untouched. When path is a symbolic link, the file it leads to
    // is replaced and the link stays.
    bool save(const std::string& path) const;

private:
    struct TLine {
        std::string raw;  // the line as read (or as written, for written keys)
        std::string key;  // trimmed key name; empty for lines that are not keys
        bool isKey = false;
    };
    struct TSection {
        std::string name;
        std::vector<TLine> lines;  // the header line is not among them
        std::string header;        // the header line as read
    };

    void writeLine(std::string_view section, std::string_view key, const std::string& value);
    std::vector<TSectionValues> entries(bool raw) const;
    const TSection* findSection(std::string_view name) const;
    TSection* findSection(std::string_view name);

    std::vector<TLine> preamble_;  // lines before the first section
    std::vector<TSection> sections_;
};

}  // namespace profile
