#pragma once

#include <cstddef>
#include <string>

// Replacing a file without ever leaving it half-written, shared by everything that saves a
// whole file (dictionaries, the settings file).
namespace atomic_file {

// The file that saving to path really replaces: path itself, or, when path is a symbolic link,
// the file at the end of its chain of links (relative links taken from the link's folder; the
// end may not exist yet). Saving there keeps a file that the user keeps elsewhere through a
// link where it is, and the link stays a link. Returns "" when the chain does not end (a loop
// of links).
std::string replacementTarget(const std::string& path);

// Writes all size bytes to fd, going on after interrupted and partial writes. Returns false
// when a write fails or writes nothing.
bool writeAll(int fd, const char* data, size_t size);

}  // namespace atomic_file

// Bytes go to a temporary file in the same folder as the file being replaced, which commit()
// flushes to disk and renames over it. Until commit() succeeds, destroying the writer removes
// the temporary file and the old file stays intact. When path is a symbolic link, the file it
// leads to is replaced (see atomic_file::replacementTarget). A file that the user may not write
// to is not replaced. A replaced file keeps its permission bits; a new one gets those of a
// plainly created file.
class TAtomicFileWriter {
public:
    // Creates the temporary file. Raises TError("Cannot create file %s") with path, also when
    // the file at path exists and may not be written to.
    explicit TAtomicFileWriter(const std::string& path);
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter&) = delete;
    TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

    // Appends bytes. Raises TError("Stream write error").
    void write(const char* data, size_t size);
    // Flushes and renames over the target. Raises TError("Stream write error") or
    // TError("Cannot create file %s") with path.
    void commit();

private:
    void discard();

    std::string path_;    // as given: the name errors report
    std::string target_;  // the file actually replaced
    std::string folder_;  // target_'s folder, where the temporary file lies
    std::string tempPath_;
    int fd_ = -1;
    size_t written_ = 0;
};
