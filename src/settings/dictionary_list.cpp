#include "settings/dictionary_list.h"

#include "platform/codepage.h"
#include "platform/profile.h"
#include "settings/reg_setup.h"

namespace dictionary_list {
namespace {

// The entries of a numbered section; a missing or empty Count counts as none.
std::vector<std::string> numberedValues(const TRegSetup& regSetup, const char* section) {
    const std::string count = regSetup.ReadValue(section, "Count");
    if (count.empty())
        return {};
    return regSetup.NumberedValues(section, StrToInt(count));
}

void rewrite(TRegSetup& regSetup, const char* section, const std::vector<std::string>& values) {
    regSetup.ClearSection(section);
    int counter = 0;
    for (const std::string& value : values)
        regSetup.WriteValue(section, numberedKey(++counter), value);
    regSetup.WriteValue(section, "Count", std::to_string(counter));
}

}  // namespace

std::vector<std::string> sourceValues(const TRegSetup& regSetup) {
    return numberedValues(regSetup, kSources);
}

void writeSources(TRegSetup& regSetup, const std::vector<std::string>& values) {
    rewrite(regSetup, kSources, values);
}

std::vector<std::string> folders(const TRegSetup& regSetup) {
    std::vector<std::string> out;
    for (const std::string& value : numberedValues(regSetup, kFolders)) {
        if (!value.empty())
            out.push_back(codepage::toUtf8(value));
    }
    return out;
}

void writeFolders(TRegSetup& regSetup, const std::vector<std::string>& folders) {
    std::vector<std::string> values;
    for (const std::string& folder : folders) {
        if (const std::optional<std::string> stored = storedPath(folder))
            values.push_back(*stored);
    }
    rewrite(regSetup, kFolders, values);
}

std::optional<std::string> storedPath(const std::string& path) {
    std::optional<std::string> text = codepage::fromUtf8(path);
    if (!text || text->empty() || text->size() + 1 > profile::kMaxValueLength ||
        !profile::TProfile::readsBackBare(*text) || !profile::TProfile::readsBackBare("+" + *text))
        return std::nullopt;
    return text;
}

}  // namespace dictionary_list
