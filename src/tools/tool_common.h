#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "dictionary/dictionary.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/regular_file.h"

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

// Whether the system refuses path for its length: a part longer than the file system's 255
// bytes, or the whole longer than a path may be. Such a path is neither there nor missing.
inline bool nameTooLong(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) != 0 && errno == ENAMETOOLONG;
}

inline constexpr const char* kNameTooLong = "имя файла слишком длинное";

// A file already at an output may be someone's work: it is replaced only on request (--force).
// Raises TFailure (a usage error) when path is taken and force is not given.
inline void requireFreeUnlessForced(const std::string& path, bool force) {
    if (!force && fileExists(path))
        throw TFailure{path + ": файл уже есть; чтобы заменить его, добавьте --force"};
}

// Standard output that was closed when the tool started: fd 1 then holds /dev/null, so that
// no file the tool opens can become fd 1 and receive the output.
inline bool gStdoutClosed = false;
// Control characters are escaped only for a person at a terminal; a pipe or file gets the
// text as it is. One flag for standard output, one for standard error.
inline bool gEscapeControls = false;
inline bool gEscapeErrors = false;

// Why the system refused a write, for the user; errno as the failed call left it.
inline std::string writeProblem(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return "на диске нет места";
        case EFBIG:
            return "файл больше, чем разрешено";
        case EROFS:
            return "файловая система только для чтения";
        case EACCES:
        case EPERM:
            return "нет прав на запись";
        case EIO:
            return "ошибка ввода-вывода";
        case ENOENT:
        case ENOTDIR:
            return "нет такой папки";
        case EBADF:
            return "вывод закрыт";
        case EPIPE:
            return "получатель вывода закрыт";
        case ENAMETOOLONG:
            return kNameTooLong;
        default:
            return "ошибка записи";
    }
}

// Writes UTF-8 text to standard output. Raises TFailure (kExitWriteFailed) when the output
// was closed or the write fails.
inline void print(std::string_view utf8) {
    if (gStdoutClosed)
        throw TFailure{"ошибка записи в стандартный вывод: вывод закрыт", kExitWriteFailed};
    if (std::fwrite(utf8.data(), 1, utf8.size(), stdout) != utf8.size() || std::ferror(stdout))
        throw TFailure{"ошибка записи в стандартный вывод: " + writeProblem(errno),
                       kExitWriteFailed};
}

// Writes "termovel-dic: " and the UTF-8 message to standard error, whole even when it holds a
// zero byte (a term of a damaged file). On a terminal control characters are escaped as on
// standard output; elsewhere only a zero byte is, since a message is text.
inline void printError(std::string_view utf8) {
    std::string text = "termovel-dic: " + std::string(utf8);
    if (text.back() != '\n')
        text.push_back('\n');
    if (gEscapeErrors) {
        text = codepage::escapeControls(text);
    } else {
        for (size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at))
            text.replace(at, 1, "\\x00");
    }
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
}

// What keeps a file from being read, for the user, or "" when it is a readable regular file.
inline std::string readProblem(const std::string& path) {
    if (nameTooLong(path))
        return kNameTooLong;
    switch (regular_file::kindOf(path)) {
        case regular_file::TKind::Regular:
            return {};
        case regular_file::TKind::Missing:
            return "нет такого файла";
        case regular_file::TKind::LinkLoop:
            return "символьные ссылки замкнуты в кольцо";
        case regular_file::TKind::Directory:
            return "это папка, а не файл";
        case regular_file::TKind::Special:
            return "это не обычный файл (устройство, канал или сокет)";
        case regular_file::TKind::Unreadable:
            break;
    }
    return "нет прав на чтение";
}

// A failure to read the file at path (what says which file: "Словарь", "Файл импорта"), in
// the tool's language, for a core error or for what readProblem finds.
inline TFailure readFailure(const std::string& what, const std::string& path, const TError* error) {
    std::string reason = readProblem(path);
    if (reason.empty() && error) {
        if (isError(*error, error_text::kOutOfMemory))
            reason = "не хватает памяти, чтобы прочитать его";
        else if (isError(*error, error_text::kStreamRead))
            reason = what == "Словарь" ? "файл повреждён: данные обрываются или длина записи "
                                         "неверна (подробности: termovel-dic verify " +
                                             path + ")"
                                       : "ошибка чтения";
        else
            reason = error->what();
    }
    if (reason.empty())
        reason = "не читается";
    return TFailure{what + " " + path + ": " + reason, kExitBadInput};
}

// Refuses a path that is no readable regular file before anything reads it.
inline void requireReadable(const std::string& what, const std::string& path) {
    if (!readProblem(path).empty())
        throw readFailure(what, path, nullptr);
}

// Refuses a file to be written (what says which: "Словарь", "Файл StarDict") that exists and
// is no regular file, as damaged input (kExitBadInput): a save renames a new file over what the
// path leads to, and a device, FIFO, folder or loop of links is nobody's file to replace. A
// name too long for the system is refused as a write failure (kExitWriteFailed).
inline void requireFileOrNothing(const std::string& what, const std::string& path,
                                 std::string_view only) {
    if (nameTooLong(path))
        throw TFailure{what + " " + path + " не записан: " + kNameTooLong, kExitWriteFailed};
    switch (regular_file::kindOf(path)) {
        case regular_file::TKind::Directory:
        case regular_file::TKind::Special:
        case regular_file::TKind::LinkLoop:
            throw TFailure{what + " " + path + ": " + readProblem(path) +
                               "; записать можно только в " + std::string(only),
                           kExitBadInput};
        default:
            return;
    }
}

// The same for a dictionary.
inline void requireDictionaryOrNothing(const std::string& path) {
    requireFileOrNothing("Словарь", path, "файл словаря");
}

// Saves the dictionary; a failure names the file and what went wrong.
inline void saveDictionary(TDictionary& d, const std::string& path) {
    try {
        d.SaveToFile(path);
    } catch (const TError& e) {
        const int cause = errno;
        if (isError(e, error_text::kFileBusy))
            throw TFailure{std::string(e.what()) + "; словарь не изменён, повторите позже",
                           kExitWriteFailed};
        const std::string reason =
            isError(e, error_text::kOutOfMemory)
                ? "не хватает памяти"
                : (isError(e, error_text::kCannotCreateFile) ? "файл нельзя создать или заменить: "
                                                             : "") +
                      writeProblem(cause);
        throw TFailure{"Словарь " + path + " не записан: " + reason, kExitWriteFailed};
    }
}
