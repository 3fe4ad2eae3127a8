#include "platform/program_folder.h"

#include <pwd.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/atomic_file.h"

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

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// Copies source to target through a temporary file, so a copy cut short never leaves a damaged
// dictionary behind that would then keep the good one out. Failures are left unreported.
void copyWhole(const std::string& source, const std::string& target) {
    std::ifstream in(source, std::ios::binary);
    if (!in)
        return;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return;
    try {
        TAtomicFileWriter writer(target);
        writer.write(bytes.data(), bytes.size());
        writer.commit();
    } catch (const std::exception&) {
    }
}

}  // namespace

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
    return places;
}

std::string choose(const TProgramPlaces& places, const std::string& settingsName,
                   const std::function<bool(const std::string&)>& writable) {
    if (writable(places.binaryFolder) && !isFolder(places.dataFolder))
        return places.binaryFolder;
    const std::string& folder = places.userFolder;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!exists(file(folder, settingsName))) {
        for (const std::string& name : listDictionaries(places.dataFolder)) {
            if (!exists(file(folder, name)))
                copyWhole(file(places.dataFolder, name), file(folder, name));
        }
    }
    return folder;
}

std::string locate(const std::string& folder, const std::string& fallbackFolder,
                   const std::string& name) {
    const std::string own = file(folder, name);
    if (exists(own) || fallbackFolder.empty() || !exists(file(fallbackFolder, name)))
        return own;
    return file(fallbackFolder, name);
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
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::u32string ua = upperName(a), ub = upperName(b);
        return ua != ub ? ua < ub : a < b;
    });
    return names;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

}  // namespace program_folder
