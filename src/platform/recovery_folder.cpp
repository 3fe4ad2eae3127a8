#include "platform/recovery_folder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/private_folder.h"
#include "platform/regular_file.h"

namespace fs = std::filesystem;

namespace recovery_folder {
namespace {

std::string encode(const std::string& origin) {
    std::string out;
    for (const char c : origin) {
        if (c == '%')
            out += "%25";
        else if (c == '/')
            out += "%2F";
        else
            out += c;
    }
    return out;
}

// The origin a name records, or nothing when the name holds an escape newFileName never writes.
std::optional<std::string> decode(const std::string& encoded) {
    std::string out;
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != '%') {
            out += encoded[i];
            continue;
        }
        const std::string escape = encoded.substr(i, 3);
        if (escape == "%25")
            out += '%';
        else if (escape == "%2F")
            out += '/';
        else
            return std::nullopt;
        i += 2;
    }
    return out;
}

// The number and the recorded origin of a recovery file's name "<n>-<origin>".
struct TParsedName {
    unsigned long number;
    std::string origin;
};

std::optional<TParsedName> parse(const std::string& name) {
    const size_t dash = name.find('-');
    if (dash == 0 || dash == std::string::npos || dash > 9 || dash + 1 == name.size())
        return std::nullopt;
    for (size_t i = 0; i < dash; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return std::nullopt;
    }
    std::optional<std::string> origin = decode(name.substr(dash + 1));
    if (!origin)
        return std::nullopt;
    return TParsedName{std::stoul(name.substr(0, dash)), std::move(*origin)};
}

// Whether the entry may be read back: a regular file (not a link to one) of the user's own that
// no one else may write to. Anything else may have been put there by someone else.
bool trusted(const fs::path& entry) {
    struct stat info {};
    return ::lstat(entry.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           private_folder::isUsersAlone(info);
}

// The recovery files in folder with their numbers, in number order: all that are named as
// recovery files, or only those that may be read back.
std::vector<std::pair<unsigned long, TRecoveryFile>> numbered(const std::string& folder,
                                                              bool onlyTrusted) {
    std::vector<std::pair<unsigned long, TRecoveryFile>> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (onlyTrusted && !trusted(it->path()))
            continue;
        if (std::optional<TParsedName> parsed = parse(it->path().filename().string()))
            found.push_back({parsed->number, {it->path().string(), std::move(parsed->origin)}});
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return found;
}

}  // namespace

std::string path(const std::string& programFolder) {
    return programFolder + "/recovery";
}

bool prepare(const std::string& folder) {
    return private_folder::make(folder);
}

namespace {
std::string gForSaves;
}  // namespace

void useForSaves(const std::string& folder) {
    gForSaves = folder;
}

const std::string& forSaves() {
    return gForSaves;
}

std::string newFileName(const std::string& folder, const std::string& origin) {
    const auto files = numbered(folder, false);
    const unsigned long highest = files.empty() ? 0 : files.back().first;
    const std::string prefix = std::to_string(highest + 1) + "-";
    std::string name = prefix + encode(origin);
    if (name.size() <= regular_file::kMaxNameBytes)
        return name;
    // Too long: the file's own name, cut to fit, but never inside an escape, which would make
    // the name one that list no longer knows, and the copy would never be offered.
    std::string tail = encode(fs::path(origin).filename().string());
    if (tail.size() > regular_file::kMaxNameBytes - prefix.size()) {
        tail.resize(regular_file::kMaxNameBytes - prefix.size());
        const size_t escape = tail.rfind('%');
        if (escape != std::string::npos && escape + 3 > tail.size())
            tail.resize(escape);
    }
    return prefix + tail;
}

std::vector<TRecoveryFile> list(const std::string& folder) {
    std::vector<TRecoveryFile> files;
    for (auto& entry : numbered(folder, true))
        files.push_back(std::move(entry.second));
    return files;
}

}  // namespace recovery_folder
