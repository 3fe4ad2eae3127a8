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
