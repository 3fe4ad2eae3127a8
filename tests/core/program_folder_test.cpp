#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
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

// Files (and links to them) named *.dic in any case, in name order ignoring case, Cyrillic too.
TEST(ProgramFolder, ListsDictionariesByMaskInNameOrder) {
    using TNames = std::vector<std::string>;
    const std::vector<std::pair<TNames, TNames>> cases = {
        {{"b.DIC", "a.dic", ".hidden.dic", "c.dicx", "d.txt", "Zz.Dic", "x.dic.bak", "dic",
          "C.dic"},
         {".hidden.dic", "a.dic", "b.DIC", "C.dic", "link.dic", "Zz.Dic"}},
        {{"Бета.dic", "альфа.dic", "Альфа2.dic", "zeta.dic", "ВЕДА.DIC"},
         {"zeta.dic", "альфа.dic", "Альфа2.dic", "Бета.dic", "ВЕДА.DIC"}},
    };
    for (const auto& [names, listed] : cases) {
        TTempFolder folder;
        for (const std::string& name : names)
            writeFile(folder.file(name), "x");
        if (fs::exists(folder.file("a.dic"))) {
            fs::create_directory(folder.file("folder.dic"));
            fs::create_symlink(folder.file("a.dic"), folder.file("link.dic"));
        }
        EXPECT_EQ(program_folder::listDictionaries(folder.path()), listed) << names[0];
        EXPECT_TRUE(program_folder::listDictionaries(folder.file("missing")).empty());
    }
}

TEST(ProgramFolder, FileExistsOnlyForFiles) {
    TTempFolder folder;
    writeFile(folder.file("f"), "x");
    fs::create_directory(folder.file("d"));
    fs::create_symlink(folder.file("f"), folder.file("lf"));
    fs::create_symlink(folder.file("gone"), folder.file("dangling"));
    for (const auto& [name, exists] : std::vector<std::pair<const char*, bool>>{
             {"f", true}, {"lf", true}, {"d", false}, {"dangling", false}, {"missing", false}})
        EXPECT_EQ(program_folder::fileExists(folder.file(name)), exists) << name;
}

namespace {

// A binary folder, an installed data folder holding two dictionaries and the help file, and
// a user folder two levels below a home that exists, as on a first start.
struct Installation {
    TTempFolder root;
    program_folder::TProgramPlaces places{
        root.file("bin"), root.file("share/termovel"), root.file("home/.local/share/termovel"), {}};
    Installation() {
        fs::create_directories(places.binaryFolder);
        fs::create_directories(places.dataFolder);
        fs::create_directories(root.file("home"));
        writeFile(program_folder::file(places.dataFolder, "general.dic"), "general");
        writeFile(program_folder::file(places.dataFolder, "Computing.DIC"), "computing");
        writeFile(program_folder::file(places.dataFolder, "termovel.chm"), "help");
    }
    std::string choose(bool writable) const {
        return program_folder::choose(places, [=](const std::string&) { return writable; });
    }
};

}  // namespace

// A writable copy without installed data is portable and keeps its files beside the binary.
// Any other (read-only under /usr for a user, or writable for the superuser) uses the user
// folder, made empty: nothing is copied into it, for the bundled dictionaries stay where they
// are installed; a user folder that cannot be made is still the answer.
TEST(ProgramFolder, ChoosesTheBinarysFolderOnlyForAPortableCopy) {
    struct Case {
        const char* what;
        bool installed;
        bool writable;
        bool homeBlocked;  // a file where the user folder's parent belongs
        bool portable;
    };
    const std::vector<Case> cases = {
        {"portable", false, true, false, true},
        {"installed, read-only", true, false, false, false},
        {"installed, writable", true, true, false, false},
        {"read-only without installed data", false, false, false, false},
        {"user folder cannot be made", true, false, true, false},
    };
    for (const Case& c : cases) {
        Installation setup;
        if (!c.installed)
            fs::remove_all(setup.places.dataFolder);
        if (c.homeBlocked)
            writeFile(setup.root.file("home/.local"), "a file where a folder belongs");
        const std::string& user = setup.places.userFolder;
        EXPECT_EQ(setup.choose(c.writable), c.portable ? setup.places.binaryFolder : user)
            << c.what;
        const bool made = !c.portable && !c.homeBlocked;
        ASSERT_EQ(fs::exists(user), made) << c.what;
        if (made) {
            EXPECT_TRUE(fs::is_directory(user)) << c.what;
            EXPECT_TRUE(entryNames(user).empty()) << c.what;
        }
    }
}

// A portable copy's folder that other users may write to is not the program's own: its
// settings file and recovery folder could be theirs, so the user folder is used, as for an
// installed copy, and what the copy was shipped with is read in place.
TEST(ProgramFolder, AFolderOthersMayWriteToIsNotTheProgramsOwn) {
    struct Case {
        const char* what;
        mode_t mode;
        uid_t owner;  // 0: the user's own
        gid_t group;  // 0: the user's own
        bool own;
    };
    const uid_t self = ::geteuid();
    const std::vector<Case> cases = {
        {"the user's, closed to others", 0755, self, ::getegid(), true},
        {"writable by all", 0777, self, ::getegid(), false},
        {"writable by all, sticky", 01777, self, ::getegid(), false},
        {"another user's", 0755, 65534, ::getegid(), false},
        {"writable by a group of others", 0775, self, 65534, false},
    };
    for (const Case& c : cases) {
        Installation setup;
        fs::remove_all(setup.places.dataFolder);
        const std::string& bin = setup.places.binaryFolder;
        writeFile(program_folder::file(bin, "shipped.dic"), "x");
        if (::chown(bin.c_str(), c.owner, c.group) != 0) {
            EXPECT_NE(::geteuid(), 0u);
            continue;  // another user's folder needs the superuser to make
        }
        ASSERT_EQ(::chmod(bin.c_str(), c.mode), 0);
        EXPECT_EQ(program_folder::isOwn(bin), c.own) << c.what;
        const std::string chosen = setup.choose(true);
        EXPECT_EQ(chosen, c.own ? bin : setup.places.userFolder) << c.what;
        const std::vector<std::string> data = program_folder::dataFolders(
            setup.places, chosen, [](const std::string&) { return true; });
        EXPECT_EQ(data, c.own ? std::vector<std::string>{} : std::vector<std::string>{bin})
            << c.what;
    }
}

TEST(ProgramFolder, DataFoldersAreReadInPlaceInTheirOrder) {
    Installation setup;
    const std::string system1 = setup.root.file("usr/share/termovel");
    const std::string system2 = setup.root.file("opt/share/termovel");
    fs::create_directories(system1);
    setup.places.systemDataFolders = {system1, setup.root.file("absent/termovel"),
                                      setup.places.dataFolder, system2};
    struct Case {
        const char* what;
        bool binaryWritable;
        std::string programFolder;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"installed, read-only binary folder",
         false,
         setup.places.userFolder,
         {setup.places.binaryFolder, setup.places.dataFolder, system1}},
        {"installed, writable binary folder",
         true,
         setup.places.userFolder,
         {setup.places.dataFolder, system1}},
        {"a portable copy beside its binary", true, setup.places.binaryFolder, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(program_folder::dataFolders(setup.places, c.programFolder,
                                              [&](const std::string&) { return c.binaryWritable; }),
                  c.expected)
            << c.what;
    }
}

TEST(ProgramFolder, TheProgramFolderHidesTheSameNameInTheDataFolders) {
    TTempFolder own, data1, data2;
    writeFile(own.file("general.dic"), "edited");
    writeFile(own.file("mine.dic"), "mine");
    writeFile(data1.file("general.dic"), "bundled");
    writeFile(data1.file("Chords.dic"), "chords");
    writeFile(data1.file("termovel.chm"), "help");
    writeFile(data2.file("chords.dic"), "later");
    writeFile(data2.file("added.dic"), "added by a later package");
    const program_folder::TFolders folders(own.path(), {data1.path(), data2.path()});

    std::vector<std::string> listed;
    for (const program_folder::TListedDictionary& dic : program_folder::listDictionaries(folders))
        listed.push_back(dic.name + "=" + readFile(dic.path));
    EXPECT_EQ(listed, (std::vector<std::string>{"added.dic=added by a later package",
                                                "Chords.dic=chords", "chords.dic=later",
                                                "general.dic=edited", "mine.dic=mine"}));

    const std::vector<std::pair<std::string, std::string>> resolved = {
        {"general.dic", own.file("general.dic")}, {"Chords.dic", data1.file("Chords.dic")},
        {"added.dic", data2.file("added.dic")},   {"termovel.chm", data1.file("termovel.chm")},
        {"absent.dic", own.file("absent.dic")},
    };
    for (const auto& [name, path] : resolved)
        EXPECT_EQ(program_folder::resolve(folders, name), path) << name;

    EXPECT_TRUE(program_folder::isInDataFolder(folders, data2.file("added.dic")));
    EXPECT_FALSE(program_folder::isInDataFolder(folders, own.file("general.dic")));
}

TEST(ProgramFolder, WritabilityIsTheRunningUsers) {
    TTempFolder writable, readOnly;
    fs::permissions(writable.path(), fs::perms::all);
    makeReadOnly(readOnly.path());
    EXPECT_EQ(asUnprivileged([&]() -> std::string {
                  if (!program_folder::isWritable(writable.path()))
                      return "an open folder counts as read-only";
                  if (program_folder::isWritable(readOnly.path()))
                      return "a read-only folder counts as writable";
                  if (program_folder::isWritable(readOnly.file("missing")))
                      return "a missing folder counts as writable";
                  return "";
              }),
              "");
}

TEST(ProgramFolder, UserDataHomeFollowsTheBaseDirectoryRules) {
    struct Case {
        const char* xdg;
        const char* home;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"/data/u", "/home/u", "/data/u"},
        {nullptr, "/home/u", "/home/u/.local/share"},
        {"", "/home/u", "/home/u/.local/share"},
        {"relative/data", "/home/u", "/home/u/.local/share"},
        {nullptr, nullptr, "/.local/share"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(program_folder::userDataHome(c.xdg, c.home), c.expected)
            << (c.xdg ? c.xdg : "(unset)");
}

namespace {

std::string userFolderWith(const char* xdgDataHome, const char* home) {
    TScopedEnv xdg("XDG_DATA_HOME", xdgDataHome), homeVariable("HOME", home);
    return program_folder::runningPlaces("../share/t").userFolder;
}

}  // namespace

TEST(ProgramFolder, RunningPlacesComeFromTheBinaryAndTheEnvironment) {
    const program_folder::TProgramPlaces places = program_folder::runningPlaces("../share/t");
    EXPECT_EQ(places.binaryFolder, program_folder::path());
    EXPECT_EQ(places.dataFolder, fs::path(program_folder::path()).parent_path() / "share/t");

    EXPECT_EQ(userFolderWith("/srv/data", "/home/u"), "/srv/data/termovel");
    EXPECT_EQ(userFolderWith(nullptr, "/home/u"), "/home/u/.local/share/termovel");
    // Without HOME the user database names the home folder.
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(userFolderWith(nullptr, nullptr),
              std::string(user->pw_dir) + "/.local/share/termovel");
}

TEST(ProgramFolder, SystemDataFoldersFollowTheBaseDirectoryRules) {
    struct Case {
        const char* dirs;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"/a/share:/b/share", {"/a/share", "/b/share"}},  {"/a:relative::/b", {"/a", "/b"}},
        {nullptr, {"/usr/local/share", "/usr/share"}},    {"", {"/usr/local/share", "/usr/share"}},
        {"relative", {"/usr/local/share", "/usr/share"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(program_folder::systemDataHomes(c.dirs), c.expected)
            << (c.dirs ? c.dirs : "(unset)");
    TScopedEnv dirs("XDG_DATA_DIRS", "/x/share");
    EXPECT_EQ(program_folder::runningPlaces("../share/t").systemDataFolders,
              std::vector<std::string>{"/x/share/termovel"});
}
