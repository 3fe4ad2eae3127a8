#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"
#include "platform/compare.h"
#include "test_support.h"

namespace {

struct TToolRun {
    int code = -1;
    std::string out;  // standard output and standard error together
};

// Runs the tool; redirect says what goes into out ("2>&1 1>/dev/null" for standard error only).
TToolRun tool(const std::string& arguments, const std::string& redirect = "2>&1") {
    TToolRun run;
    // The root order, whatever the machine is set to.
    const std::string command =
        "LC_ALL=C " + std::string(TERMOVEL_TOOL_PATH) + " " + arguments + " " + redirect;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class TermovelDic : public ::testing::Test {
protected:
    void SetUp() override {
        compare::setLocale("");
        dic_ = (folder_ / "program.dic").string();
        TDictionary d;
        d.SetName("\xd2\xe5\xf1\xf2");  // "Тест"
        d.SetAuthor("Author");
        d.SetInfo("one\r\ntwo");
        d.AddTerm("apple", "\xff\xe1\xeb\xee\xea\xee\n");    // "яблоко"
        d.AddTerm("\xe1\xe5\xf0\xe5\xe3", "shore\nbank\n");  // "берег"
        d.AddTerm("zebra", "striped");
        d.SaveToFile(dic_);
    }
    TTempFolder temp_;
    std::filesystem::path folder_ = temp_.path();
    std::string dic_;
};

}  // namespace

TEST_F(TermovelDic, ReadsAFileTheProgramWrote) {
    struct TCase {
        std::string arguments;
        int code;
        std::string out;
    };
    const std::vector<TCase> cases = {
        {"info " + dic_, 0,
         "Название словаря: Тест\nАвтор-составитель: Author\nДополнительная информация: "
         "one\ntwo\nТерминов: 3\n"},
        {"list " + dic_, 0, "apple\nzebra\nберег\n"},
        {"lookup " + dic_ + " БЕРЕГ", 0, "shore\nbank\n"},
        {"lookup " + dic_ + " Zebra", 0, "striped\n"},
        {"verify " + dic_, 0, "Файл в порядке: терминов 3\n"},
    };
    for (const TCase& c : cases) {
        const TToolRun run = tool(c.arguments);
        EXPECT_EQ(run.code, c.code) << c.arguments;
        EXPECT_EQ(run.out, c.out) << c.arguments;
    }
}

TEST_F(TermovelDic, FailuresExitNonZero) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"lookup " + dic_ + " absent", 1},
        {"info " + (folder_ / "missing.dic").string(), 2},
        {"", 2},
        {"frobnicate " + dic_, 2},
        {"import " + dic_ + " " + dic_ + " --name 名", 2},
        {"export --tab", 2},
        {"search " + dic_, 2},
    };
    for (const auto& [arguments, code] : cases)
        EXPECT_EQ(tool(arguments).code, code) << arguments;
    EXPECT_NE(tool("import " + dic_ + " x --name 名").out.find("U+540D"), std::string::npos);
    // A flag is no value: the option before it has none, and nothing is written.
    const std::string text = (folder_ / "k.txt").string();
    const std::string fresh = (folder_ / "fresh.dic").string();
    writeFile(text, "@kiwi\nfruit\n~~~\n");
    for (const char* options : {" --name --force", " --tab --author"}) {
        const TToolRun run = tool("import " + fresh + " " + text + options);
        EXPECT_EQ(run.code, 2) << options;
        EXPECT_NE(run.out.find("Нет значения для --"), std::string::npos) << run.out;
        EXPECT_FALSE(std::filesystem::exists(fresh)) << options;
    }
}

TEST_F(TermovelDic, VerifyRejectsAFlippedLengthByte) {
    const std::string good = readFile(dic_);
    // Offsets of the name length, the count and the first term's length ("Тест" is 4 bytes,
    // "Author" 6, "one\r\ntwo" 8).
    for (size_t offset :
         {size_t{0}, size_t{4 + 4 + 4 + 6 + 4 + 8}, size_t{4 + 4 + 4 + 6 + 4 + 8 + 4}}) {
        std::string bad = good;
        bad[offset] = static_cast<char>(bad[offset] ^ 0x01);
        const auto path = folder_ / "bad.dic";
        std::ofstream(path, std::ios::binary) << bad;
        const TToolRun run = tool("verify " + path.string());
        EXPECT_NE(run.code, 0) << offset;
        EXPECT_NE(run.out.find("повреждён"), std::string::npos) << offset << run.out;
    }
}

TEST_F(TermovelDic, ImportCreatesNamedDictionaryAndExportRoundTrips) {
    const auto text = folder_ / "in.txt";
    std::ofstream(text, std::ios::binary)
        << "@one\nfirst line\nsecond\n~~~\n@\xc4\xe2\xe0\nx\n~~~\n";  // "Два"
    const std::string created = (folder_ / "new.dic").string();
    TToolRun run =
        tool("import " + created + " " + text.string() + " --name 'Новый словарь' --author Кто");
    ASSERT_EQ(run.code, 0) << run.out;
    TDictionary d;
    d.LoadFromFile(created);
    EXPECT_EQ(d.Name(), "\xcd\xee\xe2\xfb\xe9 \xf1\xeb\xee\xe2\xe0\xf0\xfc");
    EXPECT_EQ(d.Author(), "\xca\xf2\xee");
    EXPECT_EQ(d.Count(), 2);

    const TToolRun first = tool("export " + created);
    ASSERT_EQ(first.code, 0);
    const auto again = folder_ / "again.txt";
    std::ofstream(again, std::ios::binary) << first.out;
    const std::string second = (folder_ / "second.dic").string();
    ASSERT_EQ(tool("import " + second + " " + again.string()).code, 0);
    EXPECT_EQ(tool("export " + second).out, first.out);
    EXPECT_EQ(first.out, "@one\nfirst line\nsecond\n~~~\n@\xc4\xe2\xe0\nx\n~~~\n");
}

TEST_F(TermovelDic, ImportIntoExistingDictionaryKeepsPresentArticles) {
    const auto text = folder_ / "more.txt";
    std::ofstream(text, std::ios::binary) << "@APPLE\nother\n~~~\n@kiwi\nfruit\n~~~\n";
    ASSERT_EQ(tool("import " + dic_ + " " + text.string()).code, 0);
    TDictionary d;
    d.LoadFromFile(dic_);
    EXPECT_EQ(d.Count(), 4);
    EXPECT_EQ(d.Article(d.Find("apple")), "\xff\xe1\xeb\xee\xea\xee\n");
    EXPECT_EQ(d.Name(), "\xd2\xe5\xf1\xf2");
}

// A dictionary that is there but cannot be read must not be replaced by a new one holding only
// the imported terms.
TEST_F(TermovelDic, ImportIntoAnUnreadableDictionaryFailsAndKeepsIt) {
    namespace fs = std::filesystem;
    const auto text = folder_ / "more.txt";
    std::ofstream(text, std::ios::binary) << "@kiwi\nfruit\n~~~\n";
    const std::string before = readFile(dic_);
    // Anybody may write into the folder and read the text, but only the owner may read the
    // dictionary, and the import runs as somebody else when the tests run as the superuser.
    fs::permissions(folder_, fs::perms::all);
    fs::permissions(text, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dic_, fs::perms::owner_write);
    EXPECT_EQ(asUnprivileged([&]() -> std::string {
                  const TToolRun run = tool("import " + dic_ + " " + text.string());
                  if (run.code != 2)
                      return "exit code " + std::to_string(run.code) + ": " + run.out;
                  return run.out.find("Cannot open file " + dic_) == std::string::npos ? run.out
                                                                                       : "";
              }),
              "");
    fs::permissions(dic_, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readFile(dic_), before);
}

// export --tab and import --tab give back the very same file, whatever the texts hold.
TEST_F(TermovelDic, TabExportAndImportGiveBackTheSameFile) {
    std::mt19937 random(5);
    for (int round = 0; round < 12; ++round) {
        TDictionary d;
        randomDictionary(random, d);
        const std::string original = (folder_ / ("r" + std::to_string(round) + ".dic")).string();
        d.SaveToFile(original);
        ASSERT_EQ(tool("verify " + original).code, 0) << round;
        const TToolRun exported = tool("export --tab " + original);
        ASSERT_EQ(exported.code, 0) << exported.out;
        const std::string text = (folder_ / ("r" + std::to_string(round) + ".tab")).string();
        writeFile(text, exported.out);
        const std::string copy = (folder_ / ("c" + std::to_string(round) + ".dic")).string();
        const TToolRun imported = tool("import " + copy + " " + text + " --tab");
        ASSERT_EQ(imported.code, 0) << imported.out;
        EXPECT_EQ(readFile(copy), readFile(original)) << round << exported.out;
    }
}

TEST_F(TermovelDic, ExportWarnsNamingTheTermsTheImportFormatWouldChange) {
    TDictionary d;
    d.AddTerm("plain", "line\n");
    d.AddTerm("indented", "  code\n");
    d.AddTerm("typed", "one\r\ntwo");
    d.AddTerm("cut", "before\n~~~\nafter\n");
    d.AddTerm("\xf1\xeb\xee\xe2\xee ", "x\n");  // "слово" and a blank
    const std::string path = (folder_ / "w.dic").string();
    d.SaveToFile(path);
    const TToolRun errors = tool("export " + path, "2>&1 1>/dev/null");
    EXPECT_EQ(errors.code, 0);
    for (const char* named : {"«indented»: пробелы", "«typed»: переводы строк CR LF станут LF",
                              "«cut»: строка «~~~»", "«слово »: пробел"})
        EXPECT_NE(errors.out.find(named), std::string::npos) << named << "\n" << errors.out;
    EXPECT_EQ(errors.out.find("plain"), std::string::npos) << errors.out;
    EXPECT_NE(errors.out.find("терминов: 4"), std::string::npos) << errors.out;
    // The tab form carries everything, so it warns about nothing.
    EXPECT_EQ(tool("export --tab " + path, "2>&1 1>/dev/null").out, "");
}

// Importing the dictionary file into itself, under any name, is refused and changes nothing.
TEST_F(TermovelDic, ImportRefusesTheDictionaryItself) {
    namespace fs = std::filesystem;
    const auto link = folder_ / "link.txt";
    const auto hard = folder_ / "hard.txt";
    fs::create_symlink(dic_, link);
    fs::create_hard_link(dic_, hard);
    const std::string before = readFile(dic_);
    for (const std::string& text :
         {dic_, link.string(), hard.string(), (folder_ / "." / "program.dic").string()}) {
        for (const char* flags : {"", " --tab", " --force"}) {
            const TToolRun run = tool("import " + dic_ + " " + text + flags);
            EXPECT_EQ(run.code, 2) << text << flags;
            EXPECT_NE(run.out.find("это сам словарь"), std::string::npos) << run.out;
        }
    }
    EXPECT_EQ(readFile(dic_), before);
}

// A dictionary that would not save back the same is not written unless forced: saving drops
// what its loader skipped.
TEST_F(TermovelDic, ImportIntoAnUncleanDictionaryWarnsAndForceWrites) {
    const std::string header = record("N") + record("") + record("");
    const std::string a = record("a") + record("1\n");
    const std::string b = record("b") + record("2\n");
    const std::vector<std::tuple<std::string, std::string, std::vector<std::string>>> cases = {
        // plain bytes, the reason named, the terms after a forced import of "kiwi"
        {header + le32(2) + a + record("A") + record("3\n"),
         "термин «A» повторяется",
         {"a", "kiwi"}},
        {header + le32(2) + b + a, "термин «a» стоит не по порядку", {"a", "b", "kiwi"}},
        {header + le32(1) + a + b, "лишние байты", {"a", "kiwi"}},
        {header + le32(3) + a + b, "Stream read error", {"a", "b", "kiwi"}},
    };
    const auto text = folder_ / "kiwi.txt";
    writeFile(text, "@kiwi\nfruit\n~~~\n");
    for (const auto& [plain, reason, after] : cases) {
        std::string scrambled = plain;
        keystream::scramble(scrambled.data(), scrambled.size());
        const std::string path = (folder_ / "unclean.dic").string();
        std::filesystem::remove(path);
        writeFile(path, scrambled);

        const TToolRun refused = tool("import " + path + " " + text.string());
        EXPECT_EQ(refused.code, 2) << reason;
        EXPECT_NE(refused.out.find("загружается не полностью"), std::string::npos) << refused.out;
        EXPECT_NE(refused.out.find(reason), std::string::npos) << refused.out;
        EXPECT_NE(refused.out.find("--force"), std::string::npos) << refused.out;
        EXPECT_EQ(readFile(path), scrambled) << reason;

        const TToolRun forced = tool("import " + path + " " + text.string() + " --force");
        EXPECT_EQ(forced.code, 0) << forced.out;
        TDictionary d;
        d.LoadFromFile(path);
        EXPECT_EQ(terms(d), after) << reason;
        EXPECT_EQ(tool("verify " + path).code, 0) << reason;
    }
}

TEST_F(TermovelDic, SearchFindsTextInArticlesIgnoringCase) {
    TDictionary d;
    d.AddTerm("fir", "\xb8\xeb\xea\xe0 (tree)\n");       // "ёлка"
    d.AddTerm("\xe5\xeb\xea\xe0", "\xa8\xcb\xca\xc0!");  // "елка": "ЁЛКА!"
    d.AddTerm("spruce", "\xc5\xcb\xca\xc0");             // "ЕЛКА": Е is not Ё
    d.AddTerm("bank", "Shore of a river");
    const std::string path = (folder_ / "s.dic").string();
    d.SaveToFile(path);
    struct TCase {
        std::string text;
        int code;
        std::string out;
    };
    const std::vector<TCase> cases = {
        {"ёЛкА", 0, "fir\nелка\n"},
        {"'SHORE OF'", 0, "bank\n"},
        {"Tree", 0, "fir\n"},
        {"елка", 0, "spruce\n"},
        {"absent", 1, "termovel-dic: Текст не найден ни в одной статье\n"},
    };
    for (const TCase& c : cases) {
        const TToolRun run = tool("search " + path + " " + c.text);
        EXPECT_EQ(run.code, c.code) << c.text;
        EXPECT_EQ(run.out, c.out) << c.text;
    }
    EXPECT_EQ(tool("search " + path + " 名").code, 2);
    EXPECT_EQ(tool("search " + path + " ''").code, 2);
}
