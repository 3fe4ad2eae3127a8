#pragma once

#include <string>

// The single-instance guard: an exclusive lock on a file named TermovelMutex in the user's
// runtime folder ($XDG_RUNTIME_DIR, else the user's own folder in the temporary folder, see
// private_folder::inTemporary). The system drops the lock when the process ends, even after a
// crash, so a dead copy never blocks the next start.
namespace instance_lock {

// The lock file's path; "" when the temporary folder holds no folder of the user's own (one
// of that name is another user's, a link, or open to others).
std::string defaultPath();

// Tries to take the lock at path and keeps it for the rest of the process. Returns false only
// when another process holds it; a lock file that cannot be created at all (also "" and a
// link, a FIFO or another user's file at path, which are never used) counts as success, so
// the program still starts where no runtime folder is writable.
bool acquire(const std::string& path = defaultPath());

}  // namespace instance_lock
