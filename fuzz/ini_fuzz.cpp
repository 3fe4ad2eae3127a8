// Reads arbitrary text as termovel.ini into the settings store, saves the store back over the
// file and reads it again: every value the first reading gave must come back unchanged, and
// no key may appear that neither reading had. Nothing may crash, hang or grow without bound.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <unistd.h>

#include "platform/error.h"
#include "platform/profile.h"
#include "settings/reg_setup.h"

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool writeFile(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Every (section, key) of both files must read the same from both stores.
void sameValues(const TRegSetup& first, const TRegSetup& again, const profile::TProfile& file) {
    for (const std::string& section : file.sectionNames()) {
        for (const std::string& key : file.keyNames(section))
            check(first.ReadValue(section, key) == again.ReadValue(section, key));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/termovel-ini-fuzz-" + std::to_string(::getpid()) + ".ini";
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!writeFile(path, text))
        return 0;
    TRegSetup first(path);
    first.LoadIni();
    try {
        first.SaveIni();
    } catch (const TError&) {
        std::abort();  // /tmp is writable: a save that fails here is a fault
    }
    TRegSetup again(path);
    again.LoadIni();
    sameValues(first, again, profile::TProfile::parse(text));
    sameValues(first, again, profile::TProfile::load(path));
    std::remove(path.c_str());
    return 0;
}
