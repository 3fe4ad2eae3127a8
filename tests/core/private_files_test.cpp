#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "platform/atomic_file.h"
#include "platform/profile.h"
#include "platform/recovery_folder.h"
#include "test_support.h"

// What the program makes for itself is the user's alone: the modes, owners and links of every
// file and folder it creates, links and names planted by another user, and the old content of
// a file written in place when the save is cut short.

namespace {

namespace fs = std::filesystem;

constexpr uid_t kOther = 65534;        // another user: "nobody"
constexpr uid_t kFolderOwner = 65533;  // a third one, owning a shared folder

bool isRoot() {
    return ::geteuid() == 0;
}

// The one entry of folder whose name starts with prefix, or "".
std::string entryStarting(const std::string& folder, const std::string& prefix) {
    for (const std::string& name : entryNames(folder)) {
        if (name.rfind(prefix, 0) == 0)
            return folder + "/" + name;
    }
    return {};
}

void saveWords(const std::string& path, const std::vector<std::string>& words) {
    TDictionary d;
    for (const std::string& w : words)
        d.AddTerm(w, "article of " + w);
    d.SaveToFile(path);
}

std::vector<std::string> wordsOf(const std::string& path) {
    TDictionary d;
    d.LoadFromFile(path);
    return terms(d);
}

}  // namespace

TEST(SaveSafety, EveryFileTheProgramMakesIsTheUsersAlone) {
    TTempFolder temp;
    const mode_t oldMask = ::umask(022);
    struct TCase {
        const char* what;
        std::function<std::string()> make;  // makes the file, describes it while it is there
        std::string expected;
    };
    const std::string keep = temp.file("recovery");
    const std::vector<TCase> cases = {
        {"temporary file of a save over a 0644 file",
         [&] {
             saveWords(temp.file("shared.dic"), {"old"});
             TAtomicFileWriter out(temp.file("shared.dic"));
             out.write("new", 3);
             return describe(entryStarting(temp.path(), ".shared.dic.tmp"));
         },
         "file 0600 own"},
        {"recovery copy",
         [&] {
             TDictionary d;
             d.AddTerm("unsaved", "work");
             d.saveCopy(temp.file("1-copy"));
             return describe(temp.file("1-copy"));
         },
         "file 0600 own"},
        {"recovery folder", [&] { return describe(recovery_folder::prepare(keep) ? keep : ""); },
         "dir 0700 own"},
        {"recovery folder an older version left open to all",
         [&] {
             const std::string old = temp.file("old-recovery");
             ::mkdir(old.c_str(), 0755);
             return describe(recovery_folder::prepare(old) ? old : "");
         },
         "dir 0700 own"},
        {"old content kept while a file of two names is written in place",
         [&] {
             saveWords(temp.file("linked.dic"), {"old"});
             ::link(temp.file("linked.dic").c_str(), temp.file("second-name.dic").c_str());
             TAtomicFileWriter out(
                 temp.file("linked.dic"), std::nullopt,
                 {TAtomicFileWriter::TFlush::ToDisk, TAtomicFileWriter::TAccess::AsCreated, keep});
             out.write("x", 1);
             return describe(entryStarting(keep, "1-"));
         },
         "file 0600 own"},
        {"a new settings file",
         [&] {
             EXPECT_TRUE(profile::TProfile::parse("[Main]\nk=1\n").save(temp.file("termovel.ini")));
             return describe(temp.file("termovel.ini"));
         },
         "file 0644 own"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(c.make(), c.expected) << c.what;
    ::umask(oldMask);
}

// Names another user could plant where a save writes: links in a shared sticky folder (/tmp),
// links to files not there yet, and the names temporary files used to get.
TEST(SaveSafety, NothingIsWrittenThroughAnotherUsersLinkOrName) {
    if (!isRoot())
        GTEST_SKIP() << "planting another user's links needs the superuser";
    TTempFolder temp;
    const std::string shared = temp.file("shared");
    ASSERT_EQ(::mkdir(shared.c_str(), 01777), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(::chown(shared.c_str(), kFolderOwner, kFolderOwner), 0);
    struct TCase {
        const char* what;
        const char* link;
        uid_t owner;
        bool targetExists;
        bool followed;
    };
    const std::vector<TCase> cases = {
        {"another user's link", "theirs.dic", kOther, true, false},
        {"the folder owner's link", "owners.dic", kFolderOwner, true, true},
        {"the user's own link", "mine.dic", 0, true, true},
        {"another user's link to a file not there", "dangling-theirs.dic", kOther, false, false},
        {"the user's link to a file not there, in a shared folder", "dangling-mine.dic", 0, false,
         false},
    };
    for (const TCase& c : cases) {
        const std::string target = temp.file(std::string("target-") + c.link);
        if (c.targetExists)
            saveWords(target, {"victim"});
        const std::string link = shared + "/" + c.link;
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
        ASSERT_EQ(::lchown(link.c_str(), c.owner, c.owner), 0);
        const std::string error = errorOf([&] { saveWords(link, {"planted"}); });
        EXPECT_EQ(error, c.followed ? kNoError : formatMessage(error_text::kCannotCreateFile, link))
            << c.what;
        if (c.targetExists)
            EXPECT_EQ(wordsOf(target), std::vector<std::string>{c.followed ? "planted" : "victim"})
                << c.what;
        else
            EXPECT_EQ(describe(target), "missing") << c.what;
    }

    // Every name a temporary file of this process used to get, taken by another user's link:
    // the save goes on under a name nobody could foresee.
    const std::string path = temp.file("words.dic");
    saveWords(path, {"old"});
    saveWords(temp.file("victim.dic"), {"victim"});
    for (int n = 0; n < 2000; ++n) {
        const std::string name =
            temp.file(".words.dic.tmp" + std::to_string(::getpid()) + "-" + std::to_string(n));
        ASSERT_EQ(::symlink(temp.file("victim.dic").c_str(), name.c_str()), 0);
        ASSERT_EQ(::lchown(name.c_str(), kOther, kOther), 0);
    }
    EXPECT_EQ(errorOf([&] { saveWords(path, {"new"}); }), kNoError);
    EXPECT_EQ(wordsOf(path), std::vector<std::string>{"new"});
    EXPECT_EQ(wordsOf(temp.file("victim.dic")), std::vector<std::string>{"victim"});
}

// A user who may write a file but cannot give the new one its group: the new group (the
// user's) gets no more than any other user had, never what the old group had.
TEST(SaveSafety, AGroupThatCannotBeKeptGetsNoMoreThanOthers) {
    if (!isRoot())
        GTEST_SKIP() << "a file of a group the user is not in needs the superuser to make";
    TTempFolder temp;
    ASSERT_EQ(::chmod(temp.path().c_str(), 0755), 0);
    ASSERT_EQ(::chown(temp.path().c_str(), kOther, kOther), 0);
    const std::string path = temp.file("team.dic");
    saveWords(path, {"old"});
    ASSERT_EQ(::chown(path.c_str(), kOther, 0), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(asUnprivileged([&] {
                  return errorOf([&] { saveWords(path, {"new"}); }) == kNoError ? ""
                                                                                : "save failed";
              }),
              "");
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_gid, kOther);
    EXPECT_EQ(after.st_mode & 07777, 0600u);
}

// A file of two names is written in place. However the save ends, its old content is never
// lost: a failed write and a terminating signal put it back, and a save killed part-way leaves
// a copy in the recovery folder that the next start offers and saves back.
TEST(SaveSafety, AnInPlaceSaveCutShortLeavesTheOldContentToRecover) {
    // What the file holds afterwards: the new content, the old one, or the old one offered.
    enum class TLeft { New, Old, Offered };
    struct TCase {
        const char* what;
        int signal;  // raised part-way; 0 for none
        bool writeFails;
        TLeft left;
    };
    for (const TCase c :
         {TCase{"finished", 0, false, TLeft::New}, TCase{"write fails", 0, true, TLeft::Old},
          TCase{"SIGTERM", SIGTERM, false, TLeft::Old}, TCase{"SIGINT", SIGINT, false, TLeft::Old},
          TCase{"SIGHUP", SIGHUP, false, TLeft::Old},
          TCase{"SIGKILL", SIGKILL, false, TLeft::Offered}}) {
        TTempFolder temp;
        const std::string path = temp.file("words.dic");
        const std::string other = temp.file("other-name.dic");
        const std::string keep = temp.file("recovery");
        saveWords(path, {"old", "older"});
        ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
        const std::string before = readFile(path);
        const pid_t child = ::fork();
        if (child == 0) {
            recovery_folder::useForSaves(keep);
            if (c.writeFails) {
                std::vector<std::string> many;
                for (int i = 0; i < 3000; ++i)
                    many.push_back("word" + std::to_string(i));
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit cap{static_cast<rlim_t>(before.size() + 100), RLIM_INFINITY};
                ::setrlimit(RLIMIT_FSIZE, &cap);
                ::_exit(errorOf([&] { saveWords(path, many); }) == error_text::kStreamWrite ? 0
                                                                                            : 1);
            }
            TAtomicFileWriter out(
                path, std::nullopt,
                {TAtomicFileWriter::TFlush::ToDisk, TAtomicFileWriter::TAccess::AsCreated, keep});
            out.write("torn", 4);
            if (c.signal)
                ::raise(c.signal);
            out.commit();
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_EQ(WIFSIGNALED(status) ? WTERMSIG(status) : 0, c.signal) << c.what;
        const std::vector<recovery_folder::TRecoveryFile> offered = recovery_folder::list(keep);
        if (c.left != TLeft::Offered) {
            EXPECT_TRUE(offered.empty()) << c.what;
            EXPECT_EQ(readFile(other), c.left == TLeft::New ? "torn" : before) << c.what;
            continue;
        }
        // The copy is offered under the file's own name, holding the old content.
        ASSERT_EQ(offered.size(), 1u) << c.what;
        EXPECT_EQ(offered[0].origin, path) << c.what;
        EXPECT_EQ(readFile(offered[0].path), before) << c.what;
    }
}

TEST(RecoveryFolder, OnlyTheUsersOwnEntriesInAFolderOfTheirOwnAreRead) {
    TTempFolder temp;
    const std::string folder = temp.file("recovery");
    ASSERT_TRUE(recovery_folder::prepare(folder));
    writeFile(temp.file("elsewhere"), "x");
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"1-%2Fhome%2Fu%2Fmine.dic", "file"},          {"2-%2Fhome%2Fu%2Flink.dic", "link"},
        {"3-%2Fhome%2Fu%2Fopen.dic", "file 0666"},     {"4-%2Fhome%2Fu%2Fpipe.dic", "fifo"},
        {"5-%2Fhome%2Fu%2Ftheirs.dic", "file theirs"},
    };
    for (const auto& [name, kind] : entries)
        plant(kind, folder + "/" + name, temp.file("elsewhere"));
    std::vector<std::string> listed;
    for (const recovery_folder::TRecoveryFile& f : recovery_folder::list(folder))
        listed.push_back(fs::path(f.path).filename().string());
    EXPECT_EQ(listed, std::vector<std::string>{entries[0].first});

    // Recovery folders refused: nothing is read from them or written to them.
    for (const std::string kind : {"link", "dir 0777", "dir theirs"}) {
        const std::string path = temp.file("refused " + kind);
        plant(kind, path, folder);
        const std::string before = describe(path);
        EXPECT_FALSE(recovery_folder::prepare(path)) << kind;
        EXPECT_EQ(describe(path), before) << kind;
    }
}
