#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "platform/upcase.h"
#include "test_support.h"

namespace fs = std::filesystem;
using profile::TProfile;

namespace {

struct TReadCase {
    const char* what;
    std::string text;
    std::string section;
    std::string key;
    std::string expected;
};

}  // namespace

TEST(Profile, ReadStringFollowsTheProfileRules) {
    const std::vector<TReadCase> cases = {
        {"plain", "[Main]\nKey=value\n", "Main", "Key", "value"},
        {"section and key ignore case", "[MAIN]\nshowlogo=1\n", "Main", "ShowLogo", "1"},
        {"blanks around the value go", "[S]\nK=  a b \t\n", "S", "K", "a b"},
        {"blanks around the key go", "[S]\n  K  =v\n", "S", "K", "v"},
        {"blanks around the section name go", "[ S ]\nK=v\n", "S", "K", "v"},
        {"enclosing double quotes go", "[S]\nK=\" a \"\n", "S", "K", " a "},
        {"enclosing single quotes go", "[S]\nK='x'\n", "S", "K", "x"},
        {"unmatched quotes stay", "[S]\nK=\"x'\n", "S", "K", "\"x'"},
        {"inner quotes stay", "[S]\nK=a \"b\" c\n", "S", "K", "a \"b\" c"},
        {"a lone quote stays", "[S]\nK=\"\n", "S", "K", "\""},
        {"value holds '='", "[S]\nK=a=b=c\n", "S", "K", "a=b=c"},
        {"CR LF line ends", "[S]\r\nK=v\r\nL=w\r\n", "S", "L", "w"},
        {"no final line end", "[S]\nK=v", "S", "K", "v"},
        {"missing key", "[S]\nK=v\n", "S", "X", ""},
        {"missing section", "[S]\nK=v\n", "T", "K", ""},
        {"key of another section", "[S]\nK=v\n[T]\nL=w\n", "T", "K", ""},
        {"line without '='", "[S]\nK\n", "S", "K", ""},
        {"comment is no key", "[S]\n;K=v\n", "S", ";K", ""},
        {"first of two equal keys", "[S]\nK=1\nk=2\n", "S", "K", "1"},
        {"Cyrillic key folds", "[\xD0\xE0\xE7\xE4\xE5\xEB]\n\xEA\xEB\xFE\xF7=\xE4\xE0\n",
         "\xD0\xC0\xC7\xC4\xC5\xCB", "\xCA\xCB\xDE\xD7", "\xE4\xE0"},
        {"\xB8 folds to \xA8", "[S]\n\xB8=1\n", "S", "\xA8", "1"},
    };
    for (const TReadCase& c : cases) {
        const TProfile p = TProfile::parse(c.text);
        EXPECT_EQ(p.readString(c.section, c.key), c.expected) << c.what;
    }
}

TEST(Profile, ReadStringCutsLongValues) {
    const std::string longValue(5000, 'x');
    const TProfile p = TProfile::parse("[S]\nK=" + longValue + "\n");
    EXPECT_EQ(p.readString("S", "K"), std::string(profile::kMaxValueLength, 'x'));
}

TEST(Profile, NamesComeInFileOrderAsSpelled) {
    const TProfile p = TProfile::parse(
        "; settings\n[Zeta]\nb=1\n;c=2\na=3\n\n[alpha]\nx\n[ZETA]\nlate=1\n[Mid]\n");
    EXPECT_EQ(p.sectionNames(), (std::vector<std::string>{"Zeta", "alpha", "Mid"}));
    EXPECT_EQ(p.keyNames("zeta"), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(p.keyNames("ALPHA"), (std::vector<std::string>{"x"}));
    EXPECT_TRUE(p.keyNames("Mid").empty());
    EXPECT_TRUE(p.keyNames("None").empty());
}

TEST(Profile, WriteStringReplacesInPlaceKeepingTheKeysSpelling) {
    TProfile p = TProfile::parse("[Main]\nfirst=1\nshowlogo=1\nlast=3\n");
    p.writeString("MAIN", "ShowLogo", "0");
    EXPECT_EQ(p.text(), "[Main]\r\nfirst=1\r\nshowlogo=0\r\nlast=3\r\n");
}

TEST(Profile, WriteStringAppendsNewKeysAndSections) {
    TProfile p = TProfile::parse("[A]\nk=1\n\n[B]\nm=2\n");
    p.writeString("a", "New", " v ");
    p.writeString("C", "x", "y");
    EXPECT_EQ(p.text(), "[A]\r\nk=1\r\nNew= v \r\n\r\n[B]\r\nm=2\r\n[C]\r\nx=y\r\n");
    EXPECT_EQ(p.readString("A", "new"), "v");
}

TEST(Profile, LineBreaksInAValueCannotAddLines) {
    TProfile p = TProfile::parse("[History]\nN1=old\n");
    p.writeString("History", "N1", "a\r\n[Main]\nEditMode=1");
    p.writeString("History", "N2", "b\nc");
    EXPECT_EQ(p.text(), "[History]\r\nN1=a  [Main] EditMode=1\r\nN2=b c\r\n");
    EXPECT_EQ(TProfile::parse(p.text()).sectionNames(), (std::vector<std::string>{"History"}));
}

TEST(Profile, AValueReadWithALoneCrIsWrittenBackTheSame) {
    const TProfile read = TProfile::parse("[Main]\r\nShowTip=1\r=cat\r\nN3=x\rJ\ry\r\n");
    TProfile written;
    for (const char* key : {"ShowTip", "N3"})
        written.writeString("Main", key, read.readString("Main", key));
    const TProfile again = TProfile::parse(written.text());
    EXPECT_EQ(again.readString("Main", "ShowTip"), "1\r=cat");
    EXPECT_EQ(again.readString("Main", "N3"), "x\rJ\ry");
    EXPECT_EQ(again.keyNames("Main"), (std::vector<std::string>{"ShowTip", "N3"}));
}

TEST(Profile, EraseSectionRemovesEveryCopyAndKeepsTheRest) {
    TProfile p = TProfile::parse("top=1\n[A]\nk=1\n[B]\n;note\nm=2\n[a]\nj=2\n");
    p.eraseSection("A");
    EXPECT_EQ(p.text(), "top=1\r\n[B]\r\n;note\r\nm=2\r\n");
    p.eraseSection("missing");
    EXPECT_EQ(p.sectionNames(), (std::vector<std::string>{"B"}));
}

TEST(Profile, LoadOfAMissingFileIsEmpty) {
    TTempFolder folder;
    const TProfile p = TProfile::load(folder.file("none.ini"));
    EXPECT_TRUE(p.sectionNames().empty());
    EXPECT_EQ(p.text(), "");
}

TEST(Profile, SaveReplacesTheFileAndLeavesNoTemporaryFile) {
    TTempFolder folder;
    const std::string path = folder.file("t.ini");
    writeFile(path, "[Old]\nk=1\n");
    ::chmod(path.c_str(), 0640);
    TProfile p = TProfile::load(path);
    p.writeString("Old", "k", "2");
    ASSERT_TRUE(p.save(path));
    EXPECT_EQ(readFile(path), "[Old]\r\nk=2\r\n");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(folder.entryCount(), 1);
}

TEST(Profile, SaveThroughALinkReplacesTheTarget) {
    TTempFolder folder;
    fs::create_directory(folder.file("real"));
    writeFile(folder.file("real/t.ini"), "[Old]\nk=1\n");
    fs::create_symlink("real/t.ini", folder.file("link.ini"));
    ASSERT_TRUE(TProfile::parse("[New]\nk=2\n").save(folder.file("link.ini")));
    EXPECT_TRUE(fs::is_symlink(folder.file("link.ini")));
    EXPECT_EQ(readFile(folder.file("real/t.ini")), "[New]\r\nk=2\r\n");
}

TEST(Profile, FailedSaveLeavesNoTemporaryFile) {
    TTempFolder folder;
    // A folder where the file should be: the rename over it fails even for the superuser.
    const std::string path = folder.file("t.ini");
    fs::create_directory(path);
    writeFile(path + "/inside", "x");
    EXPECT_FALSE(TProfile::parse("[S]\nk=v\n").save(path));
    EXPECT_EQ(folder.entryCount(), 1);
    EXPECT_FALSE(TProfile::parse("[S]\nk=v\n").save(folder.file("no/such/folder.ini")));
}

TEST(Profile, SaveIntoAReadOnlyFolderFailsAndKeepsTheOldFile) {
    TTempFolder folder;
    const std::string path = folder.file("t.ini");
    writeFile(path, "[Old]\nk=1\n");
    makeReadOnly(folder.path());
    EXPECT_EQ(asUnprivileged([&]() -> std::string {
                  if (TProfile::parse("[New]\nk=2\n").save(path))
                      return "saved into a read-only folder";
                  return readFile(path) == "[Old]\nk=1\n" ? "" : "the old file changed";
              }),
              "");
    EXPECT_EQ(folder.entryCount(), 1);
}

// values() and replaceSections() are the one-pass forms of reading every key with readString
// and of erasing and rewriting sections with writeString: on awkward files they must agree.
TEST(Profile, OnePassReadAndWriteAgreeWithKeyByKey) {
    const std::vector<std::string> files = {
        "",
        "pre=amble\r\n[A]\r\nx=1\r\n",
        "[A]\nx=1\nX=2\n[b]\ny= \" q \" \n[a]\nz=3\n\n; note\n[B]\ny=4\n",
        "[ Main ]\n k = v \nnoequals\n=empty key\n[Main\nk=2\n",
        "[Ёж]\nключ=1\n[ЁЖ]\nКЛЮЧ=2\n[S]\nk=" + std::string(3000, 'v') + "\n",
    };
    const std::vector<TProfile::TSectionValues> writes = {
        {"a", {{"New", "n"}, {"x", "9"}}},
        {"Fresh", {{"k", "line\r\nbreak"}}},
        {"B", {}},
        {" main ", {{"k", "  spaced  "}}},
    };
    for (const std::string& text : files) {
        const TProfile p = TProfile::parse(text);
        std::vector<TProfile::TSectionValues> keyByKey;
        for (const std::string& section : p.sectionNames()) {
            TProfile::TSectionValues s{section, {}};
            for (const std::string& key : p.keyNames(section)) {
                const bool seen = std::any_of(s.values.begin(), s.values.end(), [&](auto& kv) {
                    return upcase::equal(kv.first, key);
                });
                if (!seen)
                    s.values.emplace_back(key, p.readString(section, key));
            }
            keyByKey.push_back(s);
        }
        for (const TProfile::TSectionValues& s : p.rawValues()) {
            for (const auto& [key, raw] : s.values)
                EXPECT_EQ(p.rawString(s.name, key), raw) << text;
        }
        const std::vector<TProfile::TSectionValues> onePass = p.values();
        ASSERT_EQ(onePass.size(), keyByKey.size()) << text;
        for (size_t i = 0; i < onePass.size(); ++i) {
            EXPECT_EQ(onePass[i].name, keyByKey[i].name) << text;
            EXPECT_EQ(onePass[i].values, keyByKey[i].values) << text;
        }

        TProfile slow = p;
        for (const TProfile::TSectionValues& s : writes) {
            slow.eraseSection(s.name);
            for (const auto& [key, value] : s.values)
                slow.writeString(s.name, key, value);
        }
        TProfile fast = p;
        fast.replaceSections(writes);
        EXPECT_EQ(fast.text(), slow.text()) << text;
    }
}
