#pragma once

#include <string>
#include <string_view>

#include "platform/error.h"

// How termovel-dic ends: its exit codes, written once. --help shows kExitCodesHelp and the
// manual page lists the same table.
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

// The exit code for an error of the core: the core's errors tell by their fixed texts whether
// writing failed (kExitWriteFailed); any other means the input could not be read.
inline int exitCodeOf(const TError& error) {
    const std::string_view message = error.what();
    for (std::string_view writing :
         {error_text::kCannotCreateFile, error_text::kStreamWrite, error_text::kUnableToWrite})
        if (message.starts_with(writing.substr(0, writing.find('%'))))
            return kExitWriteFailed;
    return kExitBadInput;
}
