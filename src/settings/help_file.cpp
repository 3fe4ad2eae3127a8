#include "settings/help_file.h"

#include <utility>

namespace {

std::string& store() {
    static std::string path;
    return path;
}

}  // namespace

void setHelpFile(std::string path) {
    store() = std::move(path);
}

const std::string& helpFile() {
    return store();
}
