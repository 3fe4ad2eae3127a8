#include "settings/reg_setup.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/upcase.h"
#include "settings/program_identity.h"

namespace {

// One section: its entries in insertion order, and a hash over the upper-cased keys beside
// them so a lookup never walks the list.
struct TSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;  // key, value
    std::unordered_map<std::string, size_t> keyIndex;          // upper-cased key -> entry
};

}  // namespace

struct TRegSetup::TImpl {
    std::string iniFileName;
    std::vector<TSection> sections;
    std::unordered_map<std::string, size_t> sectionIndex;  // upper-cased name -> section

    TSection* find(const std::string& name) {
        const auto it = sectionIndex.find(upcase::text(name));
        return it == sectionIndex.end() ? nullptr : &sections[it->second];
    }
    const TSection* find(const std::string& name) const {
        const auto it = sectionIndex.find(upcase::text(name));
        return it == sectionIndex.end() ? nullptr : &sections[it->second];
    }
};

TRegSetup::TRegSetup(std::string iniFileName) : impl_(std::make_unique<TImpl>()) {
    impl_->iniFileName = std::move(iniFileName);
    SetDefaults();
}

TRegSetup::~TRegSetup() = default;

const std::string& TRegSetup::IniFileName() const {
    return impl_->iniFileName;
}

void TRegSetup::AddSection(const std::string& section) {
    if (impl_->find(section))
        return;
    impl_->sectionIndex.emplace(upcase::text(section), impl_->sections.size());
    impl_->sections.push_back({section, {}, {}});
}

void TRegSetup::ClearSection(const std::string& section) {
    if (TSection* s = impl_->find(section)) {
        s->entries.clear();
        s->keyIndex.clear();
    }
}

void TRegSetup::SetDefaults() {
    WriteValue("Main", "Program", ProgramTitle);
    WriteValue("Main", "Version", kProgramVersion);
    WriteValue("Main", "Copyright", kProgramCopyright);
    WriteValue("Main", "EditMode", "0");
    WriteValue("Main", "ShowLogo", "1");
    WriteValue("Main", "ShowTip", "1");
    WriteValue("List", "Count", "0");
    WriteValue("History", "Count", "0");
}

void TRegSetup::WriteValue(const std::string& section, const std::string& key,
                           const std::string& value) {
    AddSection(section);
    TSection& s = *impl_->find(section);
    const std::string upperKey = upcase::text(key);
    if (const auto it = s.keyIndex.find(upperKey); it != s.keyIndex.end()) {
        s.entries[it->second].second = value;
        return;
    }
    s.keyIndex.emplace(upperKey, s.entries.size());
    s.entries.emplace_back(key, value);
}

std::string TRegSetup::ReadValue(const std::string& section, const std::string& key) const {
    const TSection* s = impl_->find(section);
    if (!s)
        return {};
    const auto it = s->keyIndex.find(upcase::text(key));
    return it == s->keyIndex.end() ? std::string() : s->entries[it->second].second;
}

std::vector<std::string> TRegSetup::KeyNames(const std::string& section) const {
    std::vector<std::string> keys;
    if (const TSection* s = impl_->find(section)) {
        keys.reserve(s->entries.size());
        for (const auto& entry : s->entries)
            keys.push_back(entry.first);
    }
    return keys;
}

std::vector<int> TRegSetup::NumberedKeys(const std::string& section, int count) const {
    std::vector<int> numbers;
    const TSection* s = impl_->find(section);
    if (!s || count < 1)
        return numbers;
    for (const auto& [key, value] : s->entries) {
        // "N" or "n", then up to ten digits of which the first is not 0.
        if (key.size() < 2 || key.size() > 11 || (key[0] != 'N' && key[0] != 'n') || key[1] == '0')
            continue;
        long long number = 0;
        bool digits = true;
        for (size_t i = 1; i < key.size() && digits; ++i) {
            digits = key[i] >= '0' && key[i] <= '9';
            number = number * 10 + (key[i] - '0');
        }
        if (digits && number <= count)
            numbers.push_back(static_cast<int>(number));
    }
    // Keys are unique ignoring case, and "n7" is "N7": each number comes once.
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

std::vector<std::string> TRegSetup::NumberedValues(const std::string& section, int count) const {
    std::vector<std::string> values;
    for (const int i : NumberedKeys(section, count))
        values.push_back(ReadValue(section, numberedKey(i)));
    return values;
}

std::string numberedKey(int number) {
    return "N" + std::to_string(number);
}

void TRegSetup::ClearAll() {
    impl_->sections.clear();
    impl_->sectionIndex.clear();
}

bool TRegSetup::IniFileExists() const {
    return program_folder::fileExists(impl_->iniFileName);
}

void TRegSetup::LoadIni() {
    ClearAll();
    const profile::TProfile file = profile::TProfile::load(impl_->iniFileName);
    for (const profile::TProfile::TSectionValues& section : file.values()) {
        for (const auto& [key, value] : section.values)
            WriteValue(section.name, key, value);
    }
}

void TRegSetup::SaveIni() const {
    // Sections the store does not know stay in the file as they were; each known section is
    // erased and written again, so the file follows the store's order and a section emptied
    // in the store vanishes.
    // A value that would not read back as itself when written bare (reading removed blanks or
    // quotes around it) is written back as the file's line spells it, where the file holds it
    // unchanged; every other value is written bare, key=value.
    profile::TProfile file = profile::TProfile::load(impl_->iniFileName);
    // One pass over the old file for all keys: looking each key up in it would cost a walk
    // through the file per key.
    std::unordered_map<std::string, std::string> oldRaw;
    const auto place = [](const std::string& section, const std::string& key) {
        return upcase::text(section) + '\n' + upcase::text(key);
    };
    for (const auto& section : file.rawValues())
        for (const auto& [key, raw] : section.values)
            oldRaw.emplace(place(section.name, key), raw);
    std::vector<profile::TProfile::TSectionValues> sections;
    sections.reserve(impl_->sections.size());
    for (const TSection& s : impl_->sections) {
        profile::TProfile::TSectionValues& out = sections.emplace_back();
        out.name = s.name;
        out.values.reserve(s.entries.size());
        for (const auto& [key, value] : s.entries) {
            const std::string* spelled = nullptr;
            if (!profile::TProfile::readsBackBare(value)) {
                const auto raw = oldRaw.find(place(s.name, key));
                if (raw != oldRaw.end() && profile::TProfile::valueOf(raw->second) == value)
                    spelled = &raw->second;
            }
            out.values.emplace_back(key, spelled ? *spelled : value);
        }
    }
    file.replaceSections(sections);
    if (!file.save(impl_->iniFileName))
        throw TError(formatMessage(error_text::kUnableToWrite, impl_->iniFileName));
}

int StrToInt(const std::string& text) {
    const auto fail = [&]() { return TError(formatMessage(error_text::kNotAnInteger, text)); };
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    if (i == text.size())
        throw fail();
    for (size_t k = i; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9')
            throw fail();
    }
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX)
        throw fail();
    return static_cast<int>(value);
}
