#include "platform/dictionary_sources.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/program_folder.h"

namespace fs = std::filesystem;

namespace dictionary_sources {
namespace {

// A file or folder as the system knows it, whatever path leads there.
using TIdentity = std::pair<dev_t, ino_t>;

bool endsWithIgnoringCase(std::string_view name, std::string_view ending) {
    if (name.size() < ending.size())
        return false;
    name.remove_prefix(name.size() - ending.size());
    return std::equal(name.begin(), name.end(), ending.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

// Whether the file name is one of a dictionary the search lists.
bool isDictionaryName(const std::string& name) {
    for (const char* abbreviations : {"_abrv.dsl", "_abrv.dsl.dz"}) {
        if (endsWithIgnoringCase(name, abbreviations))
            return false;
    }
    for (const char* ending : {".dic", ".ifo", ".index", ".dsl", ".dsl.dz"}) {
        // A name that is nothing but the ending (".dic") is a hidden file without a name.
        if (name.size() > std::string_view(ending).size() && endsWithIgnoringCase(name, ending))
            return true;
    }
    return false;
}

// The absolute folders of a ":"-separated list, in order.
std::vector<std::string> folderList(const std::string& list) {
    std::vector<std::string> folders;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(':', start), list.size());
        if (end > start && list[start] == '/')
            folders.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

class TSearch {
public:
    TSearch(const std::vector<std::string>& known, int maxEntries) : maxEntries_(maxEntries) {
        for (const std::string& path : known) {
            struct stat info {};
            if (::stat(path.c_str(), &info) == 0)
                files_.insert({info.st_dev, info.st_ino});
        }
    }

    void searchFolder(const std::string& folder) {
        budget_ = maxEntries_;
        walk(folder, 0);
    }

    std::vector<std::string> take() { return std::move(found_); }

private:
    void walk(const std::string& folder, int depth) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return;
        // A folder reached a second time (through a link, or named twice) is not walked again:
        // this is what ends a link that loops back to a folder above it.
        if (!folders_.insert({info.st_dev, info.st_ino}).second)
            return;
        std::vector<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            if (--budget_ < 0)
                break;
            names.push_back(it->path().filename().string());
        }
        std::sort(names.begin(), names.end(), program_folder::nameBefore);
        for (const std::string& name : names) {
            const std::string path = program_folder::file(folder, name);
            struct stat entry {};
            if (::stat(path.c_str(), &entry) != 0)
                continue;  // a dangling link, or gone meanwhile
            if (S_ISDIR(entry.st_mode)) {
                if (depth < kMaxDepth)
                    walk(path, depth + 1);
            } else if (S_ISREG(entry.st_mode) && isDictionaryName(name) && hasData(folder, name) &&
                       files_.insert({entry.st_dev, entry.st_ino}).second) {
                found_.push_back(path);
            }
        }
    }

    // A dictd index is a dictionary only with its data beside it; every other kind is one file
    // the reader judges itself.
    static bool hasData(const std::string& folder, const std::string& name) {
        if (!endsWithIgnoringCase(name, ".index"))
            return true;
        const std::string stem = program_folder::file(
            folder, name.substr(0, name.size() - std::string_view(".index").size()));
        return program_folder::fileExists(stem + ".dict") ||
               program_folder::fileExists(stem + ".dict.dz");
    }

    std::set<TIdentity> folders_;
    std::set<TIdentity> files_;
    std::vector<std::string> found_;
    int maxEntries_ = 0;
    int budget_ = 0;
};

}  // namespace

std::vector<std::string> standardFolders(const char* home, const char* xdgDataHome,
                                         const char* xdgDataDirs) {
    const std::vector<std::string> system = program_folder::systemDataHomes(xdgDataDirs);
    const std::string user = program_folder::userDataHome(xdgDataHome, home);
    std::vector<std::string> folders;
    for (const std::string& share : system) {
        folders.push_back(share + "/dictd");
        folders.push_back(share + "/stardict/dic");
    }
    // Without a home there is no user's folder to name: "/.stardict/dic" would be the root's.
    if (home && *home)
        folders.push_back(std::string(home) + "/.stardict/dic");
    folders.push_back(user + "/stardict/dic");
    folders.push_back(user + "/termovel/dictionaries");
    for (const std::string& share : system)
        folders.push_back(share + "/termovel/dictionaries");
    return folders;
}

std::vector<std::string> standardFolders() {
    if (const char* chosen = std::getenv("TERMOVEL_SOURCE_FOLDERS"))
        return folderList(chosen);
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return standardFolders(home, std::getenv("XDG_DATA_HOME"), std::getenv("XDG_DATA_DIRS"));
}

std::vector<std::string> find(const std::vector<std::string>& folders,
                              const std::vector<std::string>& known, int maxEntries) {
    TSearch search(known, maxEntries);
    for (const std::string& folder : folders)
        search.searchFolder(folder);
    return search.take();
}

}  // namespace dictionary_sources
