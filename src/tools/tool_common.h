#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/error.h"

// What the commands of termovel-dic share: how the tool ends, and command-line texts.

// The exit codes, written once. --help shows kExitCodesHelp and the manual page lists the same
// table.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNotFound = 1;     // lookup or search: nothing found
inline constexpr int kExitUsage = 2;        // unknown command or option, wrong arguments
inline constexpr int kExitBadInput = 3;     // a file that is missing, unreadable or damaged
inline constexpr int kExitWriteFailed = 4;  // a dictionary or standard output not written

inline constexpr const char* kExitCodesHelp =
    "Коды завершения: 0 — готово, 1 — термин не найден, 2 — ошибка в командной строке,\n"
    "  3 — входной файл не читается или повреждён, 4 — ошибка записи.\n";

// A failure the user caused (a bad argument, a damaged file): the message in UTF-8 and the
// code the tool ends with.
struct TFailure {
    std::string message;
    int code = kExitUsage;
};

// Whether a core error's message is the given fixed text (with its "%s" filled in or not).
inline bool isError(const TError& error, std::string_view text) {
    return std::string_view(error.what()).starts_with(text.substr(0, text.find('%')));
}

// The exit code for an error of the core: the core's errors tell by their fixed texts whether
// writing failed (kExitWriteFailed); any other means the input could not be read.
inline int exitCodeOf(const TError& error) {
    for (std::string_view writing : {error_text::kCannotCreateFile, error_text::kStreamWrite,
                                     error_text::kUnableToWrite, error_text::kFileBusy})
        if (isError(error, writing))
            return kExitWriteFailed;
    return kExitBadInput;
}

// A command-line text (UTF-8) as Windows-1251. Raises TFailure (a usage error) naming what and
// the first character that the code page cannot hold.
inline std::string toCodePage(std::string_view utf8, std::string_view what) {
    char32_t bad = 0;
    auto converted = codepage::fromUtf8(utf8, &bad);
    if (!converted) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(bad));
        throw TFailure{std::string(what) + ": символ " + code +
                       " нельзя записать в кодировке Windows-1251"};
    }
    return *converted;
}

// Whether something is at path. A file that is there but cannot be read counts too: loading
// it then fails with its own error, instead of a new dictionary being saved over it.
inline bool fileExists(const std::string& path) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    return exists || ec;
}
