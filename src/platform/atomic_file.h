#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "platform/file_stamp.h"

// Replacing a file without ever leaving it half-written, shared by everything that saves a
// whole file (dictionaries, the settings file).
namespace atomic_file {

// The file that saving to path really replaces: path itself, or, when path is a symbolic link,
// the file at the end of its chain of links (relative links taken from the link's folder; the
// end may not exist yet). Saving there keeps a file that the user keeps elsewhere through a
// link where it is, and the link stays a link. Returns "" when the chain does not end (a loop
// of links), and when a link may not be followed: another user's link in a folder that is
// sticky and writable by all (unless it is the folder owner's), or a link to a file not there
// yet that is not the user's own in a folder no one else may write to.
std::string replacementTarget(const std::string& path);

// Writes all size bytes to fd, going on after interrupted and partial writes. Returns false
// when a write fails or writes nothing.
bool writeAll(int fd, const char* data, size_t size);

// Removes the temporary files that saves left in folder ("." name ".tmp" pid "-" random number)
// when the process that made them no longer runs (killed in the middle of a save) and they belong
// to the current user. Temporary files of running processes stay.
void removeStaleTemporaries(const std::string& folder);

// The temporary files being written by this process, removed on SIGTERM, SIGINT and SIGHUP
// (where the program leaves them their default action; a file written in place then gets its
// old content back first) before the
// signal ends the process as it would have. At most a few at a time are tracked. Exposed for
// tests; TAtomicFileWriter uses them.
void trackTemporary(const std::string& path);
void untrackTemporary(const std::string& path);

}  // namespace atomic_file

// An advisory lock (flock) held by one writer of a file for its whole read-modify-write, so two
// writers (the tool's import, the program's Save) never interleave and lose each other's work.
//
// The lock lies on the file itself. A save replaces the file's inode by renaming a new file
// over it, so a writer that waited on the old inode would hold a lock nobody else takes any
// more: after locking, the writer checks that the path still names the locked inode and
// otherwise locks again. A file that does not exist yet is locked through its folder, and the
// check then is that it still does not exist. Neither leaves any file of its own behind, and
// both work in a folder the user may not write to (where the file is written in place).
//
// Re-entrant within a process: a lock on a file the process already holds is a no-op, so a
// save inside a held read-modify-write does not wait on itself.
class TSaveLock {
public:
    static constexpr std::chrono::milliseconds kWait{2000};

    // Locks the file a save to path replaces (see atomic_file::replacementTarget), waiting up
    // to wait for another writer to finish. Raises TError("Файл %s сейчас сохраняет другая
    // программа") with path when the wait runs out. A file and folder that cannot be opened at
    // all are not locked: the save then fails by itself.
    explicit TSaveLock(const std::string& path, std::chrono::milliseconds wait = kWait);
    ~TSaveLock();
    TSaveLock(const TSaveLock&) = delete;
    TSaveLock& operator=(const TSaveLock&) = delete;

private:
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// Bytes go to a temporary file in the same folder as the file being replaced, which commit()
// flushes to disk and renames over it. Until commit() succeeds, destroying the writer removes
// the temporary file and the old file stays intact. When path is a symbolic link, the file it
// leads to is replaced (see atomic_file::replacementTarget). A file that the user may not write
// to, and anything but a regular file (a device, FIFO or folder), is not replaced. A replaced
// file keeps its permission bits, and its owner and group as far as the process may change
// them (all of it as root; a group that cannot be kept gets only what others had); a new one
// gets those of a plainly created file, or 0600 (TAccess::UserOnly). The temporary file gets a
// random name, is created anew (never through a link or over a file already there) and only
// for the user, and is given its final owner and mode just before the rename, so no one reads
// it on the way. A file of more than one name (hard links) is written in place, as below, so
// that all its names keep naming it. The temporary file's name is shortened when the file's
// own name is near the file system's limit. The writer holds a TSaveLock on the file while it
// lives, and removes stale temporary files of dead processes from the folder.
//
// When no temporary file may be made in the folder (the user may not write to the folder) but
// the file itself exists and may be written, the bytes are written into the file in place
// (commit cuts it to length and flushes it): the save succeeds where writing the file directly
// would. In place, the old content is first copied, mode 0600 and flushed, to the keep folder
// (TOptions), named as a recovery file, or else to the user's own temporary folder; a write
// that fails, and SIGTERM, SIGINT or SIGHUP where they end the process, put it back, and the
// copy goes when the save has finished. A save cut short otherwise (SIGKILL, a crash) leaves
// the copy, which the next start offers from the recovery folder.
// When no copy can be made, the save fails with "Cannot create file" before anything is
// written.
//
// A writer given the stamp of the file as its caller last saw it replaces that file only while
// it is still exactly that version: checked under the lock, before anything is written and
// again just before the rename, so another writer that holds the lock cannot slip in between.
class TAtomicFileWriter {
public:
    // Creates the temporary file. Raises TError("Cannot create file %s") with path, also when
    // the file at path exists and may not be written to, and TSaveLock's error when another
    // process is saving the file. With expected, raises TFileChanged("Файл %s изменён другой
    // программой") with path when the file a save replaces exists and its stamp differs; a
    // file that is gone is written.
    // Whether the writer sees the bytes and the rename onto the disk. A cache that can be made
    // again, and tells a torn copy by itself, need not wait for the disk: the rename still
    // never shows a half-written file to a reader.
    enum class TFlush { ToDisk, None };
    // Who may read a new file: as a file plainly created (the umask decides), or the user
    // alone (mode 0600), for copies of the user's work kept aside.
    enum class TAccess { AsCreated, UserOnly };
    struct TOptions {
        TFlush flush;
        TAccess access;
        // The recovery folder, where a save written in place keeps the old content until it
        // has finished; "" for the user's own temporary folder (private_folder::inTemporary).
        std::string keepFolder;
    };

    explicit TAtomicFileWriter(const std::string& path,
                               std::optional<TFileStamp> expected = std::nullopt,
                               TFlush flush = TFlush::ToDisk);
    TAtomicFileWriter(const std::string& path, std::optional<TFileStamp> expected,
                      TOptions options);
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter&) = delete;
    TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

    // Appends bytes. Raises TError("Stream write error").
    void write(const char* data, size_t size);
    // Flushes (unless made with TFlush::None) and renames over the target. Raises
    // TError("Stream write error") or TError("Cannot create file %s") with path, and
    // TFileChanged as the constructor does; the old file then stays.
    void commit();

    // The stamp of the file as written, once commit() has succeeded (nullopt before, or when
    // the file could not be examined).
    const std::optional<TFileStamp>& stamp() const { return stamp_; }

private:
    void discard();
    bool openTemporary(const std::string& base, bool inFolder);
    void openInPlace();
    void keepOldContent();
    void restoreOldContent();
    void giveFinalOwnerAndMode();
    void requireUnchanged() const;

    std::unique_ptr<TSaveLock> lock_;  // first: released after the temporary file is gone
    std::string path_;                 // as given: the name errors report
    std::string target_;               // the file actually replaced
    std::string folder_;               // target_'s folder, where the temporary file lies
    std::string tempPath_;
    std::string keepPath_;            // the copy of the old content of a file written in place
    std::optional<struct stat> old_;  // the file replaced, as it was
    int fd_ = -1;
    size_t written_ = 0;
    bool inPlace_ = false;
    bool touched_ = false;  // whether anything has been written (in place: the old file spoilt)
    TFlush flush_ = TFlush::ToDisk;
    TAccess access_ = TAccess::AsCreated;
    std::string keepFolder_;
    std::optional<TFileStamp> expected_;
    std::optional<TFileStamp> stamp_;
};
