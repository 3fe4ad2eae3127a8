#include "platform/program_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/private_folder.h"

namespace fs = std::filesystem;

namespace program_folder {
namespace {

std::string upperAscii(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The name as the characters an NTFS listing orders by: each one upper-cased. File names are
// UTF-8; a byte that is no valid UTF-8 stands for itself.
std::u32string upperName(const std::string& name) {
    std::u32string out;
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    const auto length = static_cast<int32_t>(name.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 ch;
        U8_NEXT(bytes, i, length, ch);
        out += ch < 0 ? static_cast<char32_t>(bytes[start]) : static_cast<char32_t>(u_toupper(ch));
    }
    return out;
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool sameFolder(const std::string& a, const std::string& b) {
    if (fs::path(a).lexically_normal() == fs::path(b).lexically_normal())
        return true;
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

}  // namespace

bool nameBefore(const std::string& a, const std::string& b) {
    const std::u32string ua = upperName(a), ub = upperName(b);
    return ua != ub ? ua < ub : a < b;
}

std::string path() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path().string();
    return exe.parent_path().string();
}

bool isWritable(const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string userDataHome(const char* xdgDataHome, const char* home) {
    if (xdgDataHome && xdgDataHome[0] == '/')
        return xdgDataHome;
    return std::string(home ? home : "") + "/.local/share";
}

std::vector<std::string> systemDataHomes(const char* xdgDataDirs) {
    std::vector<std::string> homes;
    const std::string list = xdgDataDirs ? xdgDataDirs : "";
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(':', start), list.size());
        const std::string entry = list.substr(start, end - start);
        if (!entry.empty() && entry[0] == '/')
            homes.push_back(entry);
        start = end + 1;
    }
    if (homes.empty())
        homes = {"/usr/local/share", "/usr/share"};
    return homes;
}

TProgramPlaces runningPlaces(const std::string& dataFromBinary) {
    TProgramPlaces places;
    places.binaryFolder = path();
    places.dataFolder =
        fs::path(file(places.binaryFolder, dataFromBinary)).lexically_normal().string();
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    places.userFolder = file(userDataHome(std::getenv("XDG_DATA_HOME"), home), "termovel");
    for (const std::string& share : systemDataHomes(std::getenv("XDG_DATA_DIRS")))
        places.systemDataFolders.push_back(file(share, "termovel"));
    return places;
}

bool isOwn(const std::string& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           private_folder::isUsersAlone(info);
}

std::string choose(const TProgramPlaces& places,
                   const std::function<bool(const std::string&)>& writable) {
    if (writable(places.binaryFolder) && !isFolder(places.dataFolder) && isOwn(places.binaryFolder))
        return places.binaryFolder;
    std::error_code ec;
    fs::create_directories(places.userFolder, ec);
    return places.userFolder;
}

std::vector<std::string> dataFolders(const TProgramPlaces& places, const std::string& programFolder,
                                     const std::function<bool(const std::string&)>& writable) {
    std::vector<std::string> folders;
    if (sameFolder(programFolder, places.binaryFolder))
        return folders;
    std::vector<std::string> candidates;
    // A copy that keeps no files beside itself still reads what it was shipped with there.
    if (!writable(places.binaryFolder) || !isOwn(places.binaryFolder))
        candidates.push_back(places.binaryFolder);
    candidates.push_back(places.dataFolder);
    candidates.insert(candidates.end(), places.systemDataFolders.begin(),
                      places.systemDataFolders.end());
    for (const std::string& folder : candidates) {
        if (!isFolder(folder) || sameFolder(folder, programFolder))
            continue;
        if (std::none_of(folders.begin(), folders.end(),
                         [&](const std::string& known) { return sameFolder(known, folder); }))
            folders.push_back(folder);
    }
    return folders;
}

std::string resolve(const TFolders& folders, const std::string& name) {
    if (fileExists(file(folders.program, name)))
        return file(folders.program, name);
    for (const std::string& folder : folders.data) {
        if (fileExists(file(folder, name)))
            return file(folder, name);
    }
    return file(folders.program, name);
}

std::vector<TListedDictionary> listDictionaries(const TFolders& folders) {
    std::vector<TListedDictionary> listed;
    std::vector<std::string> all = {folders.program};
    all.insert(all.end(), folders.data.begin(), folders.data.end());
    std::set<std::string> names;
    for (const std::string& folder : all) {
        for (const std::string& name : listDictionaries(folder)) {
            if (names.insert(name).second)
                listed.push_back({name, file(folder, name)});
        }
    }
    // One listing in name order, as a single folder's would be.
    std::stable_sort(listed.begin(), listed.end(),
                     [](const TListedDictionary& a, const TListedDictionary& b) {
                         return nameBefore(a.name, b.name);
                     });
    return listed;
}

bool isInDataFolder(const TFolders& folders, const std::string& path) {
    const std::string folder = fs::path(path).parent_path().string();
    return std::any_of(folders.data.begin(), folders.data.end(),
                       [&](const std::string& data) { return sameFolder(data, folder); });
}

std::string file(const std::string& folder, const std::string& name) {
    return folder + "/" + name;
}

std::vector<std::string> listDictionaries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 4 || upperAscii(name.substr(name.size() - 4)) != ".DIC")
            continue;
        std::error_code statError;
        if (fs::is_directory(it->path(), statError))
            continue;
        names.push_back(name);
    }
    // An NTFS listing comes in upper-cased name order; keep that so start-up opens tabs in
    // the same order on every machine.
    std::sort(names.begin(), names.end(), nameBefore);
    return names;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

}  // namespace program_folder
