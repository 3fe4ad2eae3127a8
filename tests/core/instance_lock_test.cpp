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

TEST(InstanceLock, DefaultPathLiesInTheRuntimeFolder) {
    // Restores an environment variable when the test ends.
    struct TSavedVariable {
        const char* name;
        bool set;
        std::string value;
        explicit TSavedVariable(const char* n) : name(n), set(std::getenv(n) != nullptr) {
            if (set)
                value = std::getenv(n);
        }
        ~TSavedVariable() {
            if (set)
                ::setenv(name, value.c_str(), 1);
            else
                ::unsetenv(name);
        }
    };
    const TSavedVariable runtime("XDG_RUNTIME_DIR"), tmp("TMPDIR");
    ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(instance_lock::defaultPath(), "/run/user/4242/TermovelMutex");
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", "/no/such/folder", 1);
    EXPECT_EQ(instance_lock::defaultPath(),
              "/tmp/termovel-" + std::to_string(::geteuid()) + "/TermovelMutex");
}
