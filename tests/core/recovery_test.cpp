#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "platform/recovery_folder.h"
#include "test_support.h"

TEST(RecoveryFolder, NamesRecordTheOriginAndComeBackInTheOrderWritten) {
    TTempFolder folder;
    const std::string longFolder = "/" + std::string(300, 'x');
    // The origin, and as list gives it back.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/home/u/dics/general.dic", "/home/u/dics/general.dic"},
        {"noname.dic", "noname.dic"},
        {"/home/u/100%/a-b.dic", "/home/u/100%/a-b.dic"},
        {"/home/u/dics/general.dic", "/home/u/dics/general.dic"},  // the same file twice
        {longFolder + "/far.dic", "far.dic"},                      // too long: the name alone
        // A name cut to fit is never cut inside an escape ("%25" for the "%").
        {"/a/" + std::string(252, 'y') + "%z", std::string(252, 'y')},
    };
    for (const auto& [origin, listedOrigin] : cases)
        writeFile(folder.file(recovery_folder::newFileName(folder.path(), origin)), "x");
    // Not recovery files: a save's temporary file, a stranger, a bad escape.
    for (const char* stranger : {".1-a.dic.tmp42-1", "notes.txt", "7-%41.dic", "-a.dic"})
        writeFile(folder.file(stranger), "x");

    const std::vector<recovery_folder::TRecoveryFile> listed = recovery_folder::list(folder.path());
    ASSERT_EQ(listed.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(listed[i].origin, cases[i].second) << i;
        EXPECT_EQ(listed[i].path.rfind(folder.path() + "/" + std::to_string(i + 1) + "-", 0), 0u)
            << listed[i].path;
    }
    EXPECT_TRUE(recovery_folder::list(folder.file("missing")).empty());
}

TEST(RecoveryFolder, ACopyForSafeKeepingLeavesTheDictionaryAsItWas) {
    TTempFolder folder;
    TDictionary original;
    original.AddTerm("alpha", "first");
    original.SaveToFile(folder.file("own.dic"));
    original.AddTerm("beta", "second");

    original.saveCopy(folder.file("1-copy"));
    EXPECT_TRUE(original.Modified());
    EXPECT_EQ(original.fileName(), folder.file("own.dic"));
    EXPECT_EQ(terms(original), (std::vector<std::string>{"alpha", "beta"}));

    // Restored from the copy, it belongs to its own file again, unsaved.
    TDictionary restored;
    restored.LoadFromFile(folder.file("1-copy"));
    EXPECT_EQ(restored.fileName(), folder.file("1-copy"));
    EXPECT_FALSE(restored.Modified());
    restored.setFileName(folder.file("own.dic"));
    EXPECT_TRUE(restored.Modified());
    EXPECT_EQ(restored.fileName(), folder.file("own.dic"));
    EXPECT_FALSE(restored.IsOwnFile(folder.file("1-copy")));
    restored.SaveToFile(restored.fileName(), TOverwrite::IfUnchanged);

    TDictionary reread;
    reread.LoadFromFile(folder.file("own.dic"));
    EXPECT_EQ(terms(reread), (std::vector<std::string>{"alpha", "beta"}));
}
