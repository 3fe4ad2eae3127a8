#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/program_folder.h"
#include "test_support.h"

namespace fs = std::filesystem;

TEST(ProgramFolder, IsTheFolderOfTheRunningBinary) {
    const std::string folder = program_folder::path();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(program_folder::fileExists(program_folder::file(folder, "core_tests")));
    EXPECT_EQ(program_folder::file("/opt/t", "termovel.ini"), "/opt/t/termovel.ini");
}

TEST(ProgramFolder, ListsDictionariesByMaskInNameOrder) {
    TTempFolder folder;
    for (const char* name : {"b.DIC", "a.dic", ".hidden.dic", "c.dicx", "d.txt", "Zz.Dic",
                             "x.dic.bak", "dic", "C.dic"})
        writeFile(folder.file(name), "x");
    fs::create_directory(folder.file("folder.dic"));
    fs::create_symlink(folder.file("a.dic"), folder.file("link.dic"));
    EXPECT_EQ(
        program_folder::listDictionaries(folder.path()),
        (std::vector<std::string>{".hidden.dic", "a.dic", "b.DIC", "C.dic", "link.dic", "Zz.Dic"}));
    EXPECT_TRUE(program_folder::listDictionaries(folder.file("missing")).empty());
}

TEST(ProgramFolder, CyrillicNamesSortIgnoringCase) {
    TTempFolder folder;
    for (const char* name : {"Бета.dic", "альфа.dic", "Альфа2.dic", "zeta.dic", "ВЕДА.DIC"})
        writeFile(folder.file(name), "x");
    EXPECT_EQ(
        program_folder::listDictionaries(folder.path()),
        (std::vector<std::string>{"zeta.dic", "альфа.dic", "Альфа2.dic", "Бета.dic", "ВЕДА.DIC"}));
}

TEST(ProgramFolder, FileExistsOnlyForFiles) {
    TTempFolder folder;
    writeFile(folder.file("f"), "x");
    fs::create_directory(folder.file("d"));
    fs::create_symlink(folder.file("f"), folder.file("lf"));
    fs::create_symlink(folder.file("gone"), folder.file("dangling"));
    EXPECT_TRUE(program_folder::fileExists(folder.file("f")));
    EXPECT_TRUE(program_folder::fileExists(folder.file("lf")));
    EXPECT_FALSE(program_folder::fileExists(folder.file("d")));
    EXPECT_FALSE(program_folder::fileExists(folder.file("dangling")));
    EXPECT_FALSE(program_folder::fileExists(folder.file("missing")));
}
