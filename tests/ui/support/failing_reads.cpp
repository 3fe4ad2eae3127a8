#include "support/failing_reads.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

bool failFurtherReads(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    if (error)
        return false;
    const int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return false;
    bool swapped = false;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", error)) {
        std::error_code ignored;
        if (fs::read_symlink(entry.path(), ignored) != target)
            continue;
        const int fd = std::stoi(entry.path().filename().string());
        if (fd != folder && ::dup2(folder, fd) == fd)
            swapped = true;
    }
    ::close(folder);
    return swapped;
}
