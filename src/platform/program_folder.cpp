#include "platform/program_folder.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

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

}  // namespace

std::string path() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path().string();
    return exe.parent_path().string();
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
