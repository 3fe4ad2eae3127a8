#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// The one error type of the core. Its message is the text the user sees in the error box,
// so it carries the fixed English toolkit texts ("Stream read error", "Cannot open file %s" …)
// and the program's own Russian texts alike.
class TError : public std::runtime_error {
public:
    explicit TError(const std::string& message) : std::runtime_error(message) {}
};

// Raised by a save that was asked to replace a file only as it was last seen, when another
// program has written or replaced that file since. Nothing was written; the caller may ask the
// user and save again without the condition.
class TFileChanged : public TError {
public:
    using TError::TError;
};

// The texts of the core's errors, each written once. The English ones are the toolkit's own
// texts that the user has always seen for these failures; "%s" and "%d" stand for the file
// name, the text or the number that formatMessage puts in.
namespace error_text {
inline constexpr const char* kListIndex = "List index out of bounds (%d)";
inline constexpr const char* kSortedList = "Operation not allowed on sorted list";
inline constexpr const char* kStreamRead = "Stream read error";
inline constexpr const char* kStreamWrite = "Stream write error";
inline constexpr const char* kOutOfMemory = "Out of memory while expanding memory stream";
inline constexpr const char* kCannotOpenFile = "Cannot open file %s";
inline constexpr const char* kCannotCreateFile = "Cannot create file %s";
inline constexpr const char* kUnableToWrite = "Unable to write to %s";
inline constexpr const char* kFileChanged = "Файл %s изменён другой программой";
inline constexpr const char* kReadOnly = "Словарь «%s» открыт только для чтения";
inline constexpr const char* kFileBusy = "Файл %s сейчас сохраняет другая программа";
inline constexpr const char* kNotAnInteger = "'%s' is not a valid integer value";
inline constexpr const char* kNoCollator = "Cannot open the collator";
inline constexpr const char* kNoCollationKey = "Cannot make a collation key";
}  // namespace error_text

// Returns pattern with its first "%s" replaced by value (used for the file-name messages).
inline std::string formatMessage(std::string_view pattern, std::string_view value) {
    std::string out(pattern);
    if (auto at = out.find("%s"); at != std::string::npos) {
        out.replace(at, 2, value);
    } else if (auto atd = out.find("%d"); atd != std::string::npos) {
        out.replace(atd, 2, value);
    }
    return out;
}
