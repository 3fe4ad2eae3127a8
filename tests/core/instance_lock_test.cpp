#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/instance_lock.h"
#include "test_support.h"

namespace {

// Runs acquire(path) in a child process and reports its answer; the child then ends at once
// (so its lock, if any, dies with it).
bool acquireInChild(const std::string& path) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(instance_lock::acquire(path) ? 0 : 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(InstanceLock, SecondHolderIsRefusedWhileTheFirstLives) {
    TTempFolder folder;
    const std::string path = folder.file("TermovelMutex");
    ASSERT_TRUE(instance_lock::acquire(path));
    EXPECT_FALSE(acquireInChild(path));
    EXPECT_FALSE(instance_lock::acquire(path));
}

TEST(InstanceLock, KilledHolderReleasesTheLock) {
    TTempFolder folder;
    const std::string path = folder.file("TermovelMutex");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const char answer = instance_lock::acquire(path) ? 'y' : 'n';
        (void)!::write(ready[1], &answer, 1);
        ::pause();
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    EXPECT_EQ(answer, 'y');
    EXPECT_FALSE(acquireInChild(path));
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_TRUE(acquireInChild(path));
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(InstanceLock, UnusableLockPlaceLetsTheProgramStart) {
    TTempFolder folder;
    EXPECT_TRUE(instance_lock::acquire(folder.file("missing/TermovelMutex")));
}

// Without a runtime folder the lock lies in a folder of the user's own in the temporary folder,
// so that another user can neither hold it nor put a link in its place.
TEST(InstanceLock, DefaultPathLiesInTheRuntimeFolderElseInAFolderOfTheUsersOwn) {
    namespace fs = std::filesystem;
    TTempFolder temp;
    const TScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/4242"), tmp("TMPDIR", "/no/such/folder");
    EXPECT_EQ(instance_lock::defaultPath(), "/run/user/4242/TermovelMutex");
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string ownName = "/termovel-" + std::to_string(::geteuid());
    EXPECT_EQ(instance_lock::defaultPath(), "/tmp" + ownName + "/TermovelMutex");

    ::setenv("TMPDIR", temp.path().c_str(), 1);
    const std::string own = temp.path() + ownName, lock = own + "/TermovelMutex";
    EXPECT_EQ(instance_lock::defaultPath(), lock);
    EXPECT_EQ(describe(own), "dir 0700 own");
    EXPECT_TRUE(instance_lock::acquire(lock));
    EXPECT_EQ(describe(lock), "file 0600 own");

    // A link in the lock's place is never followed, so no file is created where it leads.
    ASSERT_EQ(::unlink(lock.c_str()), 0);
    ASSERT_EQ(::symlink(temp.file("made-through-link").c_str(), lock.c_str()), 0);
    EXPECT_TRUE(instance_lock::acquire(lock));
    EXPECT_EQ(describe(temp.file("made-through-link")), "missing");

    // The folder's name taken by a link or a folder open to all: no lock there at all.
    for (const std::string kind : {"link", "dir 0777"}) {
        fs::remove_all(own);
        plant(kind, own, temp.path());
        EXPECT_EQ(instance_lock::defaultPath(), "") << kind;
    }
}
