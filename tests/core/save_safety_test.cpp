#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "interchange/text_import.h"
#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "platform/regular_file.h"
#include "settings/reg_setup.h"
#include "test_support.h"

// Saving safely: the in-place fallback in folders that cannot be written, the writers' lock,
// temporary files removed after signals and crashes, failed writes at every byte, and reading
// only regular files.

namespace {

void saveDictionary(const std::string& path, const std::vector<std::string>& words) {
    TDictionary d;
    d.SetName("name");
    for (const std::string& w : words)
        d.AddTerm(w, "article of " + w + "\n");
    d.SaveToFile(path);
}

// Runs body in a child process and returns its exit status (as waitpid gives it).
template <typename Body>
int inChild(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// A pid that certainly runs no process: a child that has ended and been reaped.
pid_t deadPid() {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

}  // namespace

TEST(SaveSafety, ReadOnlyFolderWritesAWritableFileInPlace) {
    compare::setLocale("");
    struct TCase {
        const char* name;
        bool fileWritable;
        bool ini;
    };
    for (const TCase c : {TCase{"dic writable", true, false}, TCase{"dic read-only", false, false},
                          TCase{"ini writable", true, true}, TCase{"ini read-only", false, true}}) {
        TTempFolder temp;
        const std::string path = temp.file(c.ini ? "termovel.ini" : "words.dic");
        if (c.ini)
            writeFile(path, "[Main]\r\nEditMode=0\r\n[Extra]\r\nKept=1\r\n");
        else
            saveDictionary(path, {"old", "older", "oldest"});
        ::chmod(path.c_str(), c.fileWritable ? 0666 : 0444);
        const std::string before = readFile(path);
        makeReadOnly(temp.path());
        const std::string result = asUnprivileged([&]() -> std::string {
            const std::string error = errorOf([&] {
                if (c.ini) {
                    TRegSetup reg(path);
                    reg.LoadIni();
                    reg.WriteValue("Main", "EditMode", "1");
                    reg.SaveIni();
                } else {
                    saveDictionary(path, {"new"});
                }
            });
            const std::string expected =
                c.fileWritable
                    ? "(no error)"
                    : formatMessage(
                          c.ini ? error_text::kUnableToWrite : error_text::kCannotCreateFile, path);
            return error == expected ? "" : "error: " + error;
        });
        EXPECT_EQ(result, "") << c.name;
        EXPECT_EQ(temp.entryCount(), 1) << c.name;
        if (!c.fileWritable) {
            EXPECT_EQ(readFile(path), before) << c.name;
        } else if (c.ini) {
            TRegSetup back(path);
            back.LoadIni();
            EXPECT_EQ(back.ReadValue("Main", "EditMode"), "1");
            EXPECT_EQ(back.ReadValue("Extra", "Kept"), "1");
        } else {
            TDictionary back;
            back.LoadFromFile(path);
            EXPECT_EQ(terms(back), std::vector<std::string>{"new"}) << c.name;
        }
    }
}

TEST(SaveSafety, ASecondWriterWaitsThenFailsWhileTheFirstHoldsTheLock) {
    TTempFolder temp;
    for (const bool exists : {true, false}) {
        const std::string path = temp.file(exists ? "held.dic" : "new.dic");
        if (exists)
            writeFile(path, "x");
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t holder = ::fork();
        if (holder == 0) {
            TSaveLock lock(path);
            (void)!::write(ready[1], "r", 1);
            ::usleep(1500 * 1000);
            ::_exit(0);
        }
        char c;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(errorOf([&] { TSaveLock lock(path, std::chrono::milliseconds(200)); }),
                  formatMessage(error_text::kFileBusy, path))
            << exists;
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
        // A save waits for the holder to finish, then goes through.
        EXPECT_EQ(errorOf([&] { saveDictionary(path, {"after"}); }), "(no error)") << exists;
        ::waitpid(holder, nullptr, 0);
    }
}

TEST(SaveSafety, TheLockFollowsTheFileThatARenameBroughtIn) {
    compare::setLocale("");
    TTempFolder temp;
    const std::string path = temp.file("words.dic");
    saveDictionary(path, {"first"});
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    // The first writer replaces the file (a new inode) while the second waits on the old one.
    const pid_t first = ::fork();
    if (first == 0) {
        TSaveLock lock(path);
        (void)!::write(ready[1], "r", 1);
        ::usleep(300 * 1000);
        saveDictionary(path, {"first", "second"});
        ::usleep(300 * 1000);
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    TSaveLock second(path);
    // Now the new file is locked: a third writer cannot get in. (A child of this process would
    // count as the holder itself, so it asks flock directly, through a description of its own.)
    const int status = inChild([&] {
        const int fd = ::open(path.c_str(), O_RDONLY);
        ::_exit(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK ? 0 : 1);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::waitpid(first, nullptr, 0);
    // And the lock is re-entrant within the process: saving under it does not wait on itself.
    const auto start = std::chrono::steady_clock::now();
    saveDictionary(path, {"third"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST(SaveSafety, TemporaryFilesOfDeadProcessesGoWithTheNextSave) {
    TTempFolder temp;
    const std::string dead = temp.file(".words.dic.tmp" + std::to_string(deadPid()) + "-0");
    const std::string live = temp.file(".words.dic.tmp1-0");  // init runs for ever
    const std::string other = temp.file(".notes.tmp");        // not one of ours
    for (const std::string& f : {dead, live, other})
        writeFile(f, "half");
    saveDictionary(temp.file("another.dic"), {"x"});
    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_TRUE(std::filesystem::exists(other));
}

TEST(SaveSafety, TheTemporaryFileGoesWhenATerminatingSignalArrives) {
    for (const int signal : {SIGTERM, SIGINT}) {
        TTempFolder temp;
        const std::string path = temp.file("words.dic");
        writeFile(path, "old");
        const int status = inChild([&] {
            TAtomicFileWriter out(path);
            out.write("new", 3);
            ::raise(signal);
            ::_exit(3);  // not reached: the signal ends the process
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(entryNames(temp.path()), std::vector<std::string>{"words.dic"}) << signal;
        EXPECT_EQ(readFile(path), "old");
    }
}

TEST(SaveSafety, AWriteFailingAtAnyByteLeavesTheOldFileAsItWas) {
    compare::setLocale("");
    TTempFolder temp;
    const std::string dic = temp.file("words.dic");
    const std::string ini = temp.file("termovel.ini");
    saveDictionary(dic, {"old"});
    writeFile(ini, "[Main]\r\nEditMode=0\r\n");
    const std::string oldDic = readFile(dic);
    const std::string oldIni = readFile(ini);
    std::vector<std::string> words;
    for (int i = 0; i < 40; ++i)
        words.push_back("word" + std::to_string(i));
    // The file size limit makes the write fail after exactly limit bytes (EFBIG).
    for (rlim_t limit = 0; limit < 1400; ++limit) {
        const int status = inChild([&] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit cap{limit, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &cap);
            const std::string dicError = errorOf([&] { saveDictionary(dic, words); });
            const std::string iniError = errorOf([&] {
                TRegSetup reg(ini);
                reg.WriteValue("History", "N1", std::string(limit % 700 + 1, 'h'));
                reg.SaveIni();
            });
            const bool dicOk = dicError == error_text::kStreamWrite || dicError == "(no error)";
            const bool iniOk = iniError == formatMessage(error_text::kUnableToWrite, ini) ||
                               iniError == "(no error)";
            ::_exit((dicOk ? 0 : 1) | (iniOk ? 0 : 2) | (dicError == "(no error)" ? 4 : 0) |
                    (iniError == "(no error)" ? 8 : 0));
        });
        ASSERT_TRUE(WIFEXITED(status)) << limit;
        const int code = WEXITSTATUS(status);
        ASSERT_EQ(code & 3, 0) << "limit " << limit;
        if (code & 4) {
            saveDictionary(dic, {"old"});  // put the old one back for the next limit
        } else {
            ASSERT_EQ(readFile(dic), oldDic) << "limit " << limit;
        }
        if (code & 8)
            writeFile(ini, oldIni);
        else
            ASSERT_EQ(readFile(ini), oldIni) << "limit " << limit;
        ASSERT_EQ(temp.entryCount(), 2) << "limit " << limit;
    }
}

TEST(SaveSafety, OnlyRegularFilesAreRead) {
    TTempFolder temp;
    const std::string fifo = temp.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    writeFile(temp.file("plain"), "@a\nb\n~~~\n");
    using regular_file::TKind;
    const std::vector<std::pair<std::string, TKind>> cases = {
        {temp.file("plain"), TKind::Regular}, {temp.file("missing"), TKind::Missing},
        {temp.path(), TKind::Directory},      {fifo, TKind::Special},
        {"/dev/zero", TKind::Special},        {"/dev/null", TKind::Special},
    };
    for (const auto& [path, kind] : cases) {
        TKind found = TKind::Unreadable;
        const int fd = regular_file::openForReading(path, &found);
        EXPECT_EQ(found, kind) << path;
        EXPECT_EQ(regular_file::kindOf(path), kind) << path;
        EXPECT_EQ(fd >= 0, kind == TKind::Regular) << path;
        if (fd >= 0)
            ::close(fd);
        if (kind == TKind::Regular)
            continue;
        // Neither loader reads without end nor blocks: each refuses at once.
        TDictionary d;
        EXPECT_EQ(errorOf([&] { d.LoadFromFile(path); }),
                  formatMessage(error_text::kCannotOpenFile, path));
        EXPECT_EQ(errorOf([&] { importText(d, path); }),
                  formatMessage(error_text::kCannotOpenFile, path));
    }
}

TEST(SaveSafety, ControlCharactersAreEscapedForTheTerminal) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain text\tand tab\n", "plain text\tand tab\n"},
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"line\r\nnext\rover", "line\r\nnext\\x0dover"},
        {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7f"},
        {"c1 \xc2\x9b"
         "2J, letter \xc2\xa0 and \xd0\x96",
         "c1 \\x9b2J, letter \xc2\xa0 and \xd0\x96"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(codepage::escapeControls(in), out) << in;
    // Windows-1251 bytes 80-9F are letters ("ВЂ" here), only C0 and DEL are escaped there.
    EXPECT_EQ(codepage::escapeControls("\xc2\x80\x9b\x1b[2J", false), "\xc2\x80\x9b\\x1b[2J");
}

// A save that replaces a file keeps what the file was: its mode, owner and group, and every
// other name it has (a file of hard links is written in place).
TEST(SaveSafety, AReplacedFileKeepsItsModeOwnerGroupAndOtherNames) {
    TTempFolder folder;
    const std::string path = folder.file("words.dic");
    const std::string other = folder.file("other-name.dic");
    saveDictionary(path, {"old"});
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    // As root the file is given to another user first; the save must leave it theirs.
    ASSERT_TRUE(::geteuid() != 0 || ::chown(path.c_str(), 65534, 65534) == 0);
    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    saveDictionary(path, {"new"});
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);  // replaced
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(std::pair(after.st_uid, after.st_gid), std::pair(before.st_uid, before.st_gid));

    // With a second name, the file is written in place: both names see the new content.
    ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
    saveDictionary(path, {"newer", "newest"});
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(readFile(other), readFile(path));
}

// A file whose name is at or near the file system's limit saves like any other: its temporary
// file gets a shorter name in the same folder.
TEST(SaveSafety, FilesWithTheLongestNamesSave) {
    TTempFolder folder;
    for (size_t length : {240u, 246u, 250u, 255u}) {
        const std::string path = folder.file(std::string(length - 4, 'n') + ".dic");
        saveDictionary(path, {"one"});
        saveDictionary(path, {"one", "two"});  // replaced, with a temporary file beside it
        TDictionary d;
        d.LoadFromFile(path);
        EXPECT_EQ(d.Count(), 2) << length;
        EXPECT_EQ(folder.entryCount(), 1) << length;
        std::filesystem::remove(path);
    }
}

// A save by someone who may not give the file back its group (not a member of it) leaves the
// new file in another group: that group gets none of the rights the old one had.
TEST(SaveSafety, AGroupThatCannotBeKeptGetsNoRights) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs a file of a group the saving user is not in";
    TTempFolder folder;
    ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
    const std::string path = folder.file("shared.dic");
    saveDictionary(path, {"old"});
    ASSERT_EQ(::chown(path.c_str(), 65534, 0), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
    EXPECT_EQ(asUnprivileged([&]() -> std::string {
                  saveDictionary(path, {"new"});
                  struct stat after {};
                  if (::stat(path.c_str(), &after) != 0)
                      return "no file";
                  if (after.st_gid == 0)
                      return "";  // kept after all
                  return (after.st_mode & 07777) == 0604
                             ? ""
                             : "mode " + std::to_string(after.st_mode & 07777);
              }),
              "");
}
