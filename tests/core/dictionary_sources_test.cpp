// Finding the dictionaries that lie elsewhere on the machine, and how the start-up list and the
// added folders keep them in termovel.ini.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dictionary_sources.h"
#include "settings/dictionary_list.h"
#include "settings/reg_setup.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

using TNames = std::vector<std::string>;

// Lays out files (a name ending in "/" is a folder; "name -> target" a link to target, relative
// to the link's folder) under root.
void lay(const std::string& root, const TNames& entries) {
    for (const std::string& entry : entries) {
        const size_t arrow = entry.find(" -> ");
        const std::string path = root + "/" + entry.substr(0, arrow);
        fs::create_directories(fs::path(path).parent_path());
        if (arrow != std::string::npos)
            plant("link", path, entry.substr(arrow + 4));
        else
            plant(entry.back() == '/' ? "dir" : "file", path);
    }
}

// The found paths with root + "/" taken off.
TNames relative(const std::string& root, const TNames& paths) {
    TNames out;
    for (const std::string& path : paths)
        out.push_back(path.rfind(root + "/", 0) == 0 ? path.substr(root.size() + 1) : path);
    return out;
}

}  // namespace

TEST(DictionarySources, StandardFoldersFollowTheDataFolders) {
    struct TCase {
        const char* home;
        const char* dataHome;
        const char* dataDirs;
        TNames folders;
    };
    const std::vector<TCase> cases = {
        {"/h",
         nullptr,
         nullptr,
         {"/usr/local/share/dictd", "/usr/local/share/stardict/dic", "/usr/share/dictd",
          "/usr/share/stardict/dic", "/h/.stardict/dic", "/h/.local/share/stardict/dic",
          "/h/.local/share/termovel/dictionaries", "/usr/local/share/termovel/dictionaries",
          "/usr/share/termovel/dictionaries"}},
        {"/h",
         "/x",
         "/d1:relative:/d2",
         {"/d1/dictd", "/d1/stardict/dic", "/d2/dictd", "/d2/stardict/dic", "/h/.stardict/dic",
          "/x/stardict/dic", "/x/termovel/dictionaries", "/d1/termovel/dictionaries",
          "/d2/termovel/dictionaries"}},
        // No home: nothing is looked for in the root folder's .stardict.
        {nullptr,
         "/x",
         "/d",
         {"/d/dictd", "/d/stardict/dic", "/x/stardict/dic", "/x/termovel/dictionaries",
          "/d/termovel/dictionaries"}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(dictionary_sources::standardFolders(c.home, c.dataHome, c.dataDirs), c.folders)
            << (c.dataDirs ? c.dataDirs : "default");
}

// One folder searched, its layout and what is found, in order.
TEST(DictionarySources, FindsEachKindInNameOrder) {
    struct TCase {
        const char* what;
        TNames layout;
        TNames found;
    };
    const std::vector<TCase> cases = {
        {"dictd needs its data beside the index",
         {"gcide.index", "gcide.dict.dz", "wn.index", "wn.dict", "lone.index", "other.dict",
          "lone2.index", "lone2.dict/"},
         {"gcide.index", "wn.index"}},
        {"StarDict in subfolders, each in place",
         {"b/xml/XMLittre.ifo", "b/xml/XMLittre.idx", "a.ifo", "b/czech/c.ifo",
          "b/czech/res/p.png"},
         {"a.ifo", "b/czech/c.ifo", "b/xml/XMLittre.ifo"}},
        {"DSL but not its abbreviations, endings in any case",
         {"en.dsl", "en_abrv.dsl", "ru.DSL.dz", "ru_ABRV.dsl.dz", "ru.ann", "x.dsl.gz", ".dic"},
         {"en.dsl", "ru.DSL.dz"}},
        {".dic files too, folders named like them not",
         {"Zeta.dic", "alpha.dic", "folder.dic/", "словарь.dic"},
         {"alpha.dic", "Zeta.dic", "словарь.dic"}},
        {"a loop of links ends; a link to a file counts once",
         {"d/x.ifo", "d/up -> ..", "d/again -> .", "link.ifo -> d/x.ifo", "dangling.dic -> gone"},
         {"d/x.ifo"}},
        {"no deeper than the limit",
         {"1/2/3/4/5/6/7/8/deep8.dic", "1/2/3/4/5/6/7/8/9/deep9.dic"},
         {"1/2/3/4/5/6/7/8/deep8.dic"}},
    };
    for (const TCase& c : cases) {
        TTempFolder root;
        lay(root.path(), c.layout);
        EXPECT_EQ(relative(root.path(), dictionary_sources::find({root.path()})), c.found)
            << c.what;
    }
}

// Several folders: in the order given, a folder met twice (itself, or through a link) searched
// once, a missing one giving nothing, and files already known left out.
TEST(DictionarySources, SearchesFoldersInOrderEachOnce) {
    TTempFolder root;
    lay(root.path(),
        {"one/b.dic", "two/a.dic", "two/known.dic", "alias -> two", "one/two -> ../two"});
    const auto found = dictionary_sources::find(
        {root.file("two"), root.file("missing"), root.file("one"), root.file("alias")},
        {root.file("two/known.dic")});
    EXPECT_EQ(relative(root.path(), found), (TNames{"two/a.dic", "one/b.dic"}));
}

TEST(DictionarySources, AFolderTooLargeIsCutShort) {
    constexpr int kLimit = 40;
    TTempFolder root;
    fs::create_directory(root.file("big"));
    for (int i = 0; i < kLimit + 10; ++i)
        writeFile(root.file("big/" + std::to_string(100 + i) + ".dic"), "");
    lay(root.path(), {"small/s.dic"});
    const auto found = dictionary_sources::find({root.file("big"), root.file("small")}, {}, kLimit);
    // kLimit entries of the large folder (as the folder lists them), and (each searched folder
    // has a budget of its own) the next folder still searched.
    ASSERT_EQ(found.size(), size_t(kLimit) + 1);
    EXPECT_EQ(found.back(), root.file("small/s.dic"));
}

// The termovel/dictionaries folder of the user's and the system's data folders, with their
// subfolders, as the standard folders name them.
TEST(DictionarySources, FindsTheProgramsDictionaryFoldersOfTheDataFolders) {
    TTempFolder root;
    lay(root.path(), {"home/.stardict/dic/h/h.ifo", "data/termovel/dictionaries/mine/m.dic",
                      "sys/termovel/dictionaries/s.dsl", "sys/dictd/d.index", "sys/dictd/d.dict",
                      "sys/termovel/bundled.dic"});
    const auto folders = dictionary_sources::standardFolders(
        root.file("home").c_str(), root.file("data").c_str(), root.file("sys").c_str());
    EXPECT_EQ(relative(root.path(), dictionary_sources::find(folders)),
              (TNames{"sys/dictd/d.index", "home/.stardict/dic/h/h.ifo",
                      "data/termovel/dictionaries/mine/m.dic", "sys/termovel/dictionaries/s.dsl"}));
}

TEST(DictionaryList, StoredPathIsWhatReadsBackWhole) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"/usr/share/dictd/gcide.index", "/usr/share/dictd/gcide.index"},
        {"/home/u/Словари/x.ifo", "/home/u/\xD1\xEB\xEE\xE2\xE0\xF0\xE8/x.ifo"},
        {"/home/jiří/x.ifo", std::nullopt},
        {"/home/u/ends in a blank ", std::nullopt},
        {"", std::nullopt},
        {"/" + std::string(2045, 'a'), "/" + std::string(2045, 'a')},
        {"/" + std::string(2046, 'a'), std::nullopt},
    };
    for (const auto& [path, stored] : cases)
        EXPECT_EQ(dictionary_list::storedPath(path), stored) << path.substr(0, 40);
}

// Sources and folders written, saved and read back by another store; a file of the time before
// these sections holds none, without an error; a damaged Count is an error.
TEST(DictionaryList, SectionsRoundTripBesideTheList) {
    TTempFolder folder;
    const std::string ini = folder.file("termovel.ini");
    {
        TRegSetup reg(ini);
        reg.WriteValue("List", "Count", "1");
        reg.WriteValue("List", "N1", "+a.dic");
        dictionary_list::writeSources(reg, {"+/usr/share/dictd/gcide.index", "-/s/x.ifo"});
        dictionary_list::writeFolders(reg, {"/home/u/Словари", "/home/jiří", "/data"});
        reg.SaveIni();
    }
    EXPECT_NE(readFile(ini).find("[List]\r\nCount=1\r\nN1=+a.dic\r\n"), std::string::npos);
    EXPECT_NE(readFile(ini).find("[Sources]\r\nN1=+/usr/share/dictd/gcide.index\r\nN2=-/s/x.ifo\r\n"
                                 "Count=2\r\n"),
              std::string::npos);
    TRegSetup back(ini);
    back.LoadIni();
    EXPECT_EQ(dictionary_list::sourceValues(back),
              (TNames{"+/usr/share/dictd/gcide.index", "-/s/x.ifo"}));
    // The folder Windows-1251 cannot hold is not stored.
    EXPECT_EQ(dictionary_list::folders(back), (TNames{"/home/u/Словари", "/data"}));
    EXPECT_EQ(back.ReadValue("List", "N1"), "+a.dic");

    const std::vector<std::pair<std::string, bool>> files = {
        {"[Main]\r\nShowLogo=1\r\n[List]\r\nCount=1\r\nN1=+a.dic\r\n", false},
        {"[Sources]\r\nN1=+/x.ifo\r\n", false},
        {"[Sources]\r\nCount=\r\nN1=+/x.ifo\r\n", false},
        {"[Sources]\r\nCount=two\r\nN1=+/x.ifo\r\n[Folders]\r\nCount=?\r\n", true},
    };
    for (const auto& [text, damaged] : files) {
        writeFile(ini, text);
        TRegSetup old(ini);
        old.LoadIni();
        if (damaged) {
            EXPECT_THROW(dictionary_list::sourceValues(old), TError);
            EXPECT_THROW(dictionary_list::folders(old), TError);
        } else {
            EXPECT_EQ(dictionary_list::sourceValues(old), TNames{}) << text;
            EXPECT_EQ(dictionary_list::folders(old), TNames{}) << text;
        }
    }
}
