#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "test_support.h"

// A save asked to replace the dictionary's own file only as it was when last loaded or saved:
// whatever another program did to that file in between is either noticed or harmless.

namespace {

enum class TMeddle { None, Grow, Touch, ReplaceByRename, Delete, ToolImport };

// What another program does to the file between the dictionary's load and its save.
void meddle(TMeddle how, const std::string& path) {
    struct stat old {};
    ::stat(path.c_str(), &old);
    switch (how) {
        case TMeddle::None:
            return;
        case TMeddle::Grow:  // written in place: the same inode, another size
            writeFile(path, readFile(path) + "more");
            return;
        case TMeddle::Touch: {  // the same inode and size, only the time moves on
            const timespec times[2] = {old.st_atim, {old.st_mtim.tv_sec + 1, old.st_mtim.tv_nsec}};
            ::utimensat(AT_FDCWD, path.c_str(), times, 0);
            return;
        }
        case TMeddle::ReplaceByRename: {  // the same bytes and time, only the inode differs
            const std::string fresh = path + ".fresh";
            writeFile(fresh, readFile(path));
            const timespec times[2] = {old.st_atim, old.st_mtim};
            ::utimensat(AT_FDCWD, fresh.c_str(), times, 0);
            ::rename(fresh.c_str(), path.c_str());
            return;
        }
        case TMeddle::Delete:
            ::unlink(path.c_str());
            return;
        case TMeddle::ToolImport: {  // the command-line tool adds a term, as a user would
            const std::string text = path + ".txt";
            writeFile(text, "@pear\npear article\n~~~\n");
            const std::string command = std::string(TERMOVEL_TOOL_PATH) + " import '" + path +
                                        "' '" + text + "' >/dev/null";
            EXPECT_EQ(std::system(command.c_str()), 0);
            ::unlink(text.c_str());
            return;
        }
    }
}

struct TCase {
    const char* name;
    TMeddle meddle;
    const char* saveTo;  // in the folder that holds words.dic, other.dic and link.dic
    bool refused;
    bool folderClosed;  // the folder may not be written: the file is written in place
};

// Loads words.dic, adds a term, lets another program meddle, then saves only if unchanged.
// Returns "" when all went as the case says, else what went wrong.
std::string runCase(const TCase& c, const std::string& folder) {
    const std::string own = folder + "/words.dic";
    const std::string target = folder + "/" + c.saveTo;
    TDictionary mine;
    mine.LoadFromFile(own);
    mine.AddTerm("mine", "article of mine\n");
    meddle(c.meddle, own);
    const std::string before = readFile(target);

    std::string outcome = "saved";
    try {
        mine.SaveToFile(target, TOverwrite::IfUnchanged);
    } catch (const TFileChanged& e) {
        outcome = e.what() == formatMessage(error_text::kFileChanged, target)
                      ? "refused"
                      : std::string("refused with ") + e.what();
    } catch (const TError& e) {
        outcome = e.what();
    }
    if (outcome != (c.refused ? "refused" : "saved"))
        return outcome;
    if (c.refused) {
        if (readFile(target) != before)
            return "the file changed although the save was refused";
        if (!mine.Modified())
            return "Modified was cleared by a refused save";
        mine.SaveToFile(target);  // the user's "write over it"
    }
    TDictionary back;
    back.LoadFromFile(target);
    if (terms(back) != std::vector<std::string>{"mine", "old"})
        return "the dictionary was not written";
    // The file as just written is the dictionary's own now: the next save goes through.
    mine.AddTerm("next", "");
    const std::string again = errorOf([&] { mine.SaveToFile(target, TOverwrite::IfUnchanged); });
    if (again != "(no error)")
        return "second save: " + again;
    for (const std::string& name : entryNames(folder)) {
        if (name.front() == '.')
            return "left behind: " + name;
    }
    return "";
}

}  // namespace

TEST(ChangedFile, ASaveIfUnchangedReplacesOnlyTheFileAsItWasLastSeen) {
    compare::setLocale("");
    const TCase cases[] = {
        {"unchanged", TMeddle::None, "words.dic", false, false},
        {"grown in place", TMeddle::Grow, "words.dic", true, false},
        {"same size, later time", TMeddle::Touch, "words.dic", true, false},
        {"replaced by rename", TMeddle::ReplaceByRename, "words.dic", true, false},
        {"the tool's import", TMeddle::ToolImport, "words.dic", true, false},
        {"deleted", TMeddle::Delete, "words.dic", false, false},
        {"another file", TMeddle::Grow, "other.dic", false, false},
        {"through a link, replaced", TMeddle::ReplaceByRename, "link.dic", true, false},
        {"folder closed, unchanged", TMeddle::None, "words.dic", false, true},
        {"folder closed, grown", TMeddle::Grow, "words.dic", true, true},
    };
    for (const TCase& c : cases) {
        TTempFolder temp;
        TDictionary old;
        old.AddTerm("old", "article of old\n");
        old.SaveToFile(temp.file("words.dic"));
        TDictionary other;
        other.AddTerm("other", "");
        other.SaveToFile(temp.file("other.dic"));
        ASSERT_EQ(::symlink("words.dic", temp.file("link.dic").c_str()), 0);
        if (c.folderClosed) {
            ::chmod(temp.file("words.dic").c_str(), 0666);
            makeReadOnly(temp.path());
            EXPECT_EQ(asUnprivileged([&] { return runCase(c, temp.path()); }), "") << c.name;
        } else {
            EXPECT_EQ(runCase(c, temp.path()), "") << c.name;
        }
    }
}
