#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "settings/reg_setup.h"
#include "test_support.h"

namespace {

const std::string kDefaultFile =
    "[Main]\r\n"
    "Program=Termovel v1.00\r\n"
    "Version=1.0\r\n"
    "Copyright=Copyright (c) 2026 Termovel developers\r\n"
    "EditMode=0\r\n"
    "ShowLogo=1\r\n"
    "ShowTip=1\r\n"
    "[List]\r\n"
    "Count=0\r\n"
    "[History]\r\n"
    "Count=0\r\n";

}  // namespace

TEST(RegSetup, ConstructorFillsTheDefaultsWithoutTouchingTheFile) {
    TTempFolder folder;
    TRegSetup reg(folder.file("termovel.ini"));
    EXPECT_EQ(reg.IniFileName(), folder.file("termovel.ini"));
    EXPECT_EQ(reg.ReadValue("Main", "Program"), "Termovel v1.00");
    EXPECT_EQ(reg.ReadValue("Main", "Version"), "1.0");
    EXPECT_EQ(reg.ReadValue("Main", "EditMode"), "0");
    EXPECT_EQ(reg.ReadValue("Main", "ShowLogo"), "1");
    EXPECT_EQ(reg.ReadValue("Main", "ShowTip"), "1");
    EXPECT_EQ(reg.ReadValue("List", "Count"), "0");
    EXPECT_EQ(reg.ReadValue("History", "Count"), "0");
    EXPECT_FALSE(reg.IniFileExists());
    EXPECT_EQ(folder.entryCount(), 0);
}

TEST(RegSetup, FirstSaveWritesExactlyTheEightDefaultKeysInOrder) {
    TTempFolder folder;
    TRegSetup reg(folder.file("termovel.ini"));
    reg.SaveIni();
    EXPECT_TRUE(reg.IniFileExists());
    EXPECT_EQ(readFile(reg.IniFileName()), kDefaultFile);
}

TEST(RegSetup, LookupsIgnoreCaseCyrillicIncluded) {
    TTempFolder folder;
    TRegSetup reg(folder.file("termovel.ini"));
    reg.WriteValue("\xD1\xEB\xEE\xE2\xE0\xF0\xFC", "\xEA\xEB\xFE\xF7\xB8", "v");  // Словарь/ключё
    EXPECT_EQ(reg.ReadValue("\xD1\xCB\xCE\xC2\xC0\xD0\xDC", "\xCA\xCB\xDE\xD7\xA8"), "v");
    EXPECT_EQ(reg.ReadValue("main", "SHOWLOGO"), "1");
    EXPECT_EQ(reg.ReadValue("Main", "Nothing"), "");
    EXPECT_EQ(reg.ReadValue("Nothing", "Count"), "");
}

TEST(RegSetup, WriteValueReplacesInPlaceAndAppendsNewKeys) {
    TTempFolder folder;
    TRegSetup reg(folder.file("termovel.ini"));
    reg.WriteValue("main", "editmode", "1");
    reg.WriteValue("Main", "Extra", "x");
    reg.WriteValue("New", "K", "v");
    reg.SaveIni();
    EXPECT_EQ(readFile(reg.IniFileName()),
              "[Main]\r\nProgram=Termovel v1.00\r\nVersion=1.0\r\n"
              "Copyright=Copyright (c) 2026 Termovel developers\r\nEditMode=1\r\nShowLogo=1\r\n"
              "ShowTip=1\r\nExtra=x\r\n[List]\r\nCount=0\r\n[History]\r\nCount=0\r\n"
              "[New]\r\nK=v\r\n");
}

TEST(RegSetup, KeyNamesFollowTheStoreOrderAndSpelling) {
    TTempFolder folder;
    TRegSetup reg(folder.file("termovel.ini"));
    reg.WriteValue("list", "n2", "+b.dic");
    reg.WriteValue("List", "N1", "+a.dic");
    reg.WriteValue("LIST", "COUNT", "2");  // replaces Count in place, keeps its spelling
    EXPECT_EQ(reg.KeyNames("List"), (std::vector<std::string>{"Count", "n2", "N1"}));
    reg.ClearSection("List");
    EXPECT_TRUE(reg.KeyNames("List").empty());
    EXPECT_TRUE(reg.KeyNames("Missing").empty());
}

TEST(RegSetup, LoadKeepsTheFilesSpellingAndDropsTheDefaults) {
    TTempFolder folder;
    writeFile(folder.file("termovel.ini"), "[MAIN]\nshowlogo=1\n");
    TRegSetup reg(folder.file("termovel.ini"));
    reg.LoadIni();
    EXPECT_EQ(reg.ReadValue("Main", "ShowLogo"), "1");
    EXPECT_EQ(reg.ReadValue("Main", "ShowTip"), "");
    EXPECT_EQ(reg.ReadValue("List", "Count"), "");
    reg.SaveIni();
    EXPECT_EQ(readFile(reg.IniFileName()), "[MAIN]\r\nshowlogo=1\r\n");
}

TEST(RegSetup, ValuesSurviveARoundTripAsTheProfileRulesSay) {
    struct TCase {
        const char* what;
        std::string written;
        std::string readBack;
    };
    const TCase cases[] = {
        {"'=' inside", "a=b = c", "a=b = c"},
        {"blanks around", "  term  ", "term"},
        {"enclosing quotes", "\"quoted\"", "quoted"},
        {"Cyrillic", "\xF1\xEB\xEE\xE2\xEE", "\xF1\xEB\xEE\xE2\xEE"},
        {"empty", "", ""},
    };
    TTempFolder folder;
    for (const TCase& c : cases) {
        TRegSetup writer(folder.file("termovel.ini"));
        writer.WriteValue("History", "N1", c.written);
        EXPECT_EQ(writer.ReadValue("History", "N1"), c.written) << c.what;
        writer.SaveIni();
        TRegSetup reader(folder.file("termovel.ini"));
        reader.LoadIni();
        EXPECT_EQ(reader.ReadValue("History", "N1"), c.readBack) << c.what;
    }
}

// What reading the file gave comes back from the next reading after a save, also where the
// file's quotes protected blanks or quotes around a value.
TEST(RegSetup, ValuesReadFromTheFileSurviveASave) {
    TTempFolder folder;
    const std::string path = folder.file("termovel.ini");
    writeFile(path, "[History]\nN1 = \"dog \"\nN2='\"cat\"'\nN3=  plain  \n[Main]\nX=\" \"\n");
    TRegSetup first(path);
    first.LoadIni();
    first.SaveIni();
    TRegSetup again(path);
    again.LoadIni();
    for (const auto& [section, key, value] :
         {std::tuple{"History", "N1", "dog "}, std::tuple{"History", "N2", "\"cat\""},
          std::tuple{"History", "N3", "plain"}, std::tuple{"Main", "X", " "}}) {
        EXPECT_EQ(first.ReadValue(section, key), value) << key;
        EXPECT_EQ(again.ReadValue(section, key), value) << key;
    }
}

TEST(RegSetup, ClearedSectionVanishesFromTheFile) {
    TTempFolder folder;
    TRegSetup reg(folder.file("termovel.ini"));
    reg.SaveIni();
    reg.ClearSection("list");
    reg.ClearSection("Missing");
    EXPECT_EQ(reg.ReadValue("List", "Count"), "");
    reg.SaveIni();
    const std::string text = readFile(reg.IniFileName());
    EXPECT_EQ(text.find("[List]"), std::string::npos);
    EXPECT_NE(text.find("[History]\r\nCount=0\r\n"), std::string::npos);
}

TEST(RegSetup, RewrittenHistoryListsCountLast) {
    TTempFolder folder;
    writeFile(folder.file("termovel.ini"),
              "[History]\nCount=5\nN1=a\nN2=b\nN3=c\nN4=d\nN5=e\n[Tail]\nk=v\n");
    TRegSetup reg(folder.file("termovel.ini"));
    reg.LoadIni();
    reg.ClearSection("History");
    reg.WriteValue("History", "N1", "x");
    reg.WriteValue("History", "N2", "y");
    reg.WriteValue("History", "Count", "2");
    reg.SaveIni();
    EXPECT_EQ(readFile(reg.IniFileName()),
              "[History]\r\nN1=x\r\nN2=y\r\nCount=2\r\n[Tail]\r\nk=v\r\n");
}

TEST(RegSetup, SaveKeepsSectionsTheStoreDoesNotKnow) {
    TTempFolder folder;
    TRegSetup reg(folder.file("termovel.ini"));
    writeFile(reg.IniFileName(), "; kept\n[Other]\nk=v\n");
    reg.SaveIni();
    EXPECT_EQ(readFile(reg.IniFileName()), "; kept\r\n[Other]\r\nk=v\r\n" + kDefaultFile);
}

TEST(RegSetup, EmptyOrForeignFileLoadsAsAnEmptyStore) {
    for (const std::string text : {"", "just some text\n\x01\x02", "k=v\n"}) {
        TTempFolder folder;
        writeFile(folder.file("termovel.ini"), text);
        TRegSetup reg(folder.file("termovel.ini"));
        ASSERT_TRUE(reg.IniFileExists());
        reg.LoadIni();
        EXPECT_EQ(reg.ReadValue("Main", "ShowLogo"), "");
        EXPECT_EQ(reg.ReadValue("List", "Count"), "");
        EXPECT_THROW(StrToInt(reg.ReadValue("List", "Count")), TError);
    }
}

TEST(RegSetup, IniFileExistsOnlyForAFile) {
    TTempFolder folder;
    TRegSetup reg(folder.file("termovel.ini"));
    EXPECT_FALSE(reg.IniFileExists());
    std::filesystem::create_directory(reg.IniFileName());
    EXPECT_FALSE(reg.IniFileExists());
}

TEST(RegSetup, FailedSaveRaisesUnableToWriteAndKeepsTheOldFile) {
    TTempFolder folder;
    // No such folder: fails for every user.
    TRegSetup missing(folder.file("gone/termovel.ini"));
    try {
        missing.SaveIni();
        FAIL() << "no error raised";
    } catch (const TError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + folder.file("gone/termovel.ini"));
    }

    TRegSetup reg(folder.file("termovel.ini"));
    writeFile(reg.IniFileName(), "[Main]\nShowLogo=0\n");
    makeReadOnly(folder.path());
    EXPECT_EQ(asUnprivileged([&]() -> std::string {
                  try {
                      reg.SaveIni();
                      return "saved into a read-only folder";
                  } catch (const TError& e) {
                      if (std::string(e.what()) != "Unable to write to " + reg.IniFileName())
                          return std::string("wrong message: ") + e.what();
                  }
                  return readFile(reg.IniFileName()) == "[Main]\nShowLogo=0\n"
                             ? ""
                             : "the old file changed";
              }),
              "");
}

TEST(RegSetup, NumberedKeysAreThoseOfTheSectionUpToCount) {
    struct TCase {
        const char* what;
        std::vector<std::string> keys;  // written into section L in this order
        int count;
        std::vector<int> expected;
    };
    const std::vector<TCase> cases = {
        {"all present", {"N1", "N2", "N3"}, 3, {1, 2, 3}},
        {"Count beyond the keys", {"N1", "N2"}, 2000000000, {1, 2}},
        {"Count below the keys", {"N1", "N2", "N3"}, 2, {1, 2}},
        {"gaps, in file order or not", {"N9", "N2", "N4"}, 9, {2, 4, 9}},
        {"zero and negative Counts", {"N1"}, 0, {}},
        {"negative Count", {"N1"}, -5, {}},
        {"largest number", {"N2147483647", "N1"}, 2147483647, {1, 2147483647}},
        {"beyond any Count", {"N2147483648", "N99999999999", "N1"}, 2147483647, {1}},
        {"lower-case n", {"n2", "N1"}, 5, {1, 2}},
        {"not numbered keys",
         {"N0", "N01", "N", "N-1", "N+1", "N1x", "M1", "Count", "N 2", "NN3"},
         2000000000,
         {}},
    };
    for (const TCase& c : cases) {
        TRegSetup reg("unused.ini");
        for (const std::string& key : c.keys)
            reg.WriteValue("L", key, "v");
        EXPECT_EQ(reg.NumberedKeys("l", c.count), c.expected) << c.what;
    }
    TRegSetup reg("unused.ini");
    EXPECT_TRUE(reg.NumberedKeys("Missing", 10).empty());
}

TEST(RegSetup, NumberedKeyIsWhatNumberedKeysReadsBack) {
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "N1"}, {10, "N10"}, {2147483647, "N2147483647"}};
    TRegSetup reg("unused.ini");
    std::vector<int> written;
    for (const auto& [number, key] : cases) {
        EXPECT_EQ(numberedKey(number), key);
        reg.WriteValue("L", numberedKey(number), "v");
        written.push_back(number);
    }
    EXPECT_EQ(reg.NumberedKeys("L", 2147483647), written);
}

TEST(RegSetup, LargeFilesLoadAndSaveBackUnchanged) {
    // A hundred thousand keys in one section and as many sections: a store that looked each
    // key up by a walk through the file would take hours here.
    std::string text = "[History]\r\nCount=100000\r\n";
    for (int i = 1; i <= 100000; ++i)
        text += "N" + std::to_string(i) + "=w" + std::to_string(i) + "\r\n";
    for (int i = 0; i < 100000; ++i)
        text += "[s" + std::to_string(i) + "]\r\nk=v\r\n";
    TTempFolder folder;
    writeFile(folder.file("termovel.ini"), text);
    TRegSetup reg(folder.file("termovel.ini"));
    reg.LoadIni();
    EXPECT_EQ(reg.NumberedKeys("History", 2000000000).size(), 100000u);
    EXPECT_EQ(reg.ReadValue("History", "N100000"), "w100000");
    EXPECT_EQ(reg.ReadValue("s99999", "k"), "v");
    reg.SaveIni();
    EXPECT_EQ(readFile(folder.file("termovel.ini")), text);
}
