#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <csignal>
#include <cstdlib>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"
#include "platform/codepage.h"
#include "platform/compare.h"
#include "test_support.h"

namespace {

// Runs the tool; redirect says what goes into out ("2>&1 1>/dev/null" for standard error only),
// before are shell commands run first (limits). The root order, whatever the machine is set to;
// timeout: a tool that blocks (on a FIFO, say) fails its case instead of the whole run.
TToolRun tool(const std::string& arguments, const std::string& redirect = "2>&1",
              const std::string& before = "") {
    return runShell(before + "LC_ALL=C timeout 60 " + std::string(TERMOVEL_TOOL_PATH) + " " +
                    arguments + " " + redirect);
}

// Runs the tool under script, so that its standard output and error are a terminal; returns
// what reached the terminal.
TToolRun toolOnTerminal(const std::string& arguments) {
    return runShell("script -qec \"LC_ALL=C " + std::string(TERMOVEL_TOOL_PATH) + " " + arguments +
                    "\" /dev/null </dev/null 2>&1");
}

// A one-entry dictd database, StarDict dictionary and import text in folder ("kiwi": "fruit"):
// the converters' input arguments and the text file's path.
struct TSmallInputs {
    std::string dictd, stardict, text;
};
TSmallInputs smallInputs(const std::filesystem::path& folder) {
    writeFile((folder / "d.index").string(), "kiwi\tA\tF\n");  // offset 0, length 5
    writeFile((folder / "d.dict").string(), "fruit");
    writeFile((folder / "s.ifo").string(),
              "StarDict's dict ifo file\nversion=2.4.2\nwordcount=1\nsametypesequence=m\n");
    writeFile((folder / "s.idx").string(), std::string("kiwi\0\0\0\0\0\0\0\0\5", 13));
    writeFile((folder / "s.dict").string(), "fruit");
    writeFile((folder / "in.txt").string(), "@kiwi\nfruit\n~~~\n");
    return {(folder / "d.index").string() + " " + (folder / "d.dict").string(),
            (folder / "s.ifo").string(), (folder / "in.txt").string()};
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
    const std::string search = "search " + (folder_ / "s.dic").string() + " ";
    saveEntries((folder_ / "s.dic").string(),
                {{"fir", "\xb8\xeb\xea\xe0 (tree)\n"},       // "ёлка"
                 {"\xe5\xeb\xea\xe0", "\xa8\xcb\xca\xc0!"},  // "елка": "ЁЛКА!"
                 {"spruce", "\xc5\xcb\xca\xc0"},             // "ЕЛКА": Е is not Ё
                 {"bank", "Shore of a river"}});
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
        // A word is looked up as the converters would have stored it; one the code page cannot
        // hold even folded is simply not there.
        {"lookup " + dic_ + " Zébra", 0, "striped\n"},
        {"lookup " + dic_ + " 名", 1,
         "termovel-dic: Термин не найден: 名 (в кодировке Windows-1251 его не записать)\n"},
        {"verify " + dic_, 0, "Файл в порядке: терминов 3\n"},
        // search finds text in the articles ignoring case.
        {search + "ёЛкА", 0, "fir\nелка\n"},
        {search + "'SHORE OF'", 0, "bank\n"},
        {search + "Tree", 0, "fir\n"},
        {search + "елка", 0, "spruce\n"},
        {search + "absent", 1, "termovel-dic: Текст не найден ни в одной статье\n"},
    };
    // Without a cache (the term index made in memory), then with a fresh one, where the first
    // round makes the indexes and the second reads them.
    const std::string cache = (folder_ / "cache").string();
    for (const std::string& before :
         {std::string("env -u XDG_CACHE_HOME -u HOME "), "XDG_CACHE_HOME=" + cache + " ",
          "XDG_CACHE_HOME=" + cache + " "}) {
        for (const TCase& c : cases) {
            const TToolRun run = tool(c.arguments, "2>&1", before);
            EXPECT_EQ(run.code, c.code) << before << c.arguments;
            EXPECT_EQ(run.out, c.out) << before << c.arguments;
        }
    }
    // One index for each of the two dictionaries.
    EXPECT_EQ(entryNames(cache + "/termovel").size(), 2u);
}

TEST_F(TermovelDic, FailuresExitWithTheirCodes) {
    const std::string damaged = (folder_ / "damaged.dic").string();
    writeFile(damaged, readFile(dic_).substr(0, 20));
    const std::string input = (folder_ / "in.txt").string();
    writeFile(input, "@kiwi\nfruit\n~~~\n");
    const std::string created = (folder_ / "new.dic").string();
    const std::string fresh = (folder_ / "fresh.dic").string();
    struct TCase {
        std::string arguments;
        int code;
        std::string says = "";  // a part of the message, if it matters
    };
    const std::vector<TCase> cases = {
        {"lookup " + dic_ + " absent", 1},
        {"frobnicate " + dic_, 2},
        {"info " + dic_ + " extra", 2},
        {"import " + dic_ + " " + input + " --colour red", 2},
        {"import " + dic_ + " " + input + " --name", 2},
        {"import " + dic_ + " x --name 名", 2, "U+540D"},
        // A flag is no value: the option before it has none, and nothing is written.
        {"import " + fresh + " " + input + " --name --force", 2, "Нет значения для --"},
        {"import " + fresh + " " + input + " --tab --author", 2, "Нет значения для --"},
        {"list " + damaged, 3},
        {"verify " + damaged, 3},
        {"import " + dic_ + " " + (folder_ / "missing.txt").string(), 3},
        {"import " + (folder_ / "no/such/folder.dic").string() + " " + input, 4},
        {"export --tab", 2},
        {"search " + dic_, 2},
        {"search " + dic_ + " 名", 2, "U+540D"},
        {"search " + dic_ + " ''", 2, "Пустой текст поиска"},
        {"from-dictd " + input, 2},
        {"from-stardict x.ifo " + created + " --colour red", 2},
        {"from-dictd a.index a.dict.dz " + dic_, 2},  // the output is there: --force needed
        // The form of the articles is one the converter knows, and only Mueller's has a reverse.
        {"from-dictd a.index a.dict.dz " + created + " --form verse", 2,
         "Неизвестная форма статей: verse"},
        {"from-dictd a.index a.dict.dz " + created + " --reverse", 2, "(--form mueller)"},
        // The reverse index's frequencies and table: only with --reverse, and of their shape.
        {"from-dictd a.index a.dict.dz " + created + " --form mueller --wordnet " +
             folder_.string(),
         2, "только с --reverse"},
        {"from-dictd a.index a.dict.dz " + created + " --form mueller --reverse --wordnet " +
             folder_.string(),
         3, "cntlist.rev"},
        {"from-dictd a.index a.dict.dz " + created + " --form mueller --reverse --supplement " +
             input,
         3, "строка 1"},
        {"from-dictd " + (folder_ / "missing.index").string() + " " +
             (folder_ / "missing.dict.dz").string() + " " + created,
         3},
    };
    for (const TCase& c : cases) {
        const TToolRun run = tool(c.arguments);
        EXPECT_EQ(run.code, c.code) << c.arguments << ": " << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << c.arguments << ": " << run.out;
    }
    EXPECT_FALSE(std::filesystem::exists(fresh));
}

TEST_F(TermovelDic, FromDslConvertsAndLooksUp) {
    // UTF-16LE with its mark, as DSL files mostly are: "#NAME", two headword lines of one body,
    // an optional part, an abbreviation, a sub-entry and a media file.
    const std::string text =
        "#NAME \"Кошки\"\ncat\nkitty{-ies}\n\t[m1][p]n[/p] [b]кошка[/b] "
        "[s]cat.wav[/s]\n\t@ ~ nap\n\tсон\n\t@\nrun(s)\n\tбежать\n";
    const std::string dsl = (folder_ / "Cats.dsl").string(), out = (folder_ / "cats.dic").string();
    writeFile(dsl, "\xFF\xFE" + utf16le(text));
    writeFile((folder_ / "Cats_abrv.dsl").string(), "n\n\tсущ.\n");
    const std::string damaged = (folder_ / "damaged.dsl").string();
    writeFile(damaged, "\xFF\xFE" + utf16le("\tx\nw\n\tb\n") + "!");
    const std::string other = (folder_ / "other.dic").string();
    struct TCase {
        std::string arguments;
        int code;
        std::string says;  // a part of what it prints
    };
    const std::vector<TCase> cases = {
        {"from-dsl " + dsl + " " + out, 0, "Статей прочитано: 5\nТерминов: 5"},
        {"lookup " + out + " kitty", 0, "  n кошка [звук: cat.wav]\ncat nap\n"},
        {"lookup " + out + " 'cat nap'", 0, "сон\n"},
        {"from-dsl " + dsl + " " + out + " --force --abbreviations --name Другое", 0,
         "Терминов: 5"},
        {"info " + out, 0, "Название словаря: Другое\n"},
        // Every note is told, each naming the file.
        {"from-dsl " + damaged + " " + other, 0,
         "последний байт пропущен\ntermovel-dic: " + damaged +
             ": строк статьи до первого заголовка пропущено: 1\n"},
        {"lookup " + other + " w", 0, "b\n"},
        {"from-dsl " + damaged + " " + other + " --force --abbreviations", 3,
         damaged + ": рядом нет файла сокращений"},
        {"from-dictd a.index a.dict " + other + " --force --abbreviations", 2, "только с from-dsl"},
        {"from-dsl " + (folder_ / "gone.dsl").string() + " " + other + " --force", 3,
         (folder_ / "gone.dsl").string()},
        {"from-dsl " + dsl, 2, "Использование"},
    };
    for (const TCase& c : cases) {
        const TToolRun run = tool(c.arguments);
        EXPECT_EQ(run.code, c.code) << c.arguments << ": " << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << c.arguments << ": " << run.out;
    }
}

TEST_F(TermovelDic, HelpAndVersionGoToStandardOutputUsageErrorsToStandardError) {
    const TToolRun help = tool("--help", "2>/dev/null");
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("termovel-dic lookup FILE.dic TERM"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("4 — ошибка записи"), std::string::npos) << help.out;
    const TToolRun version = tool("--version", "2>/dev/null");
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(version.out.starts_with("termovel-dic 1.")) << version.out;
    EXPECT_EQ(std::count(version.out.begin(), version.out.end(), '\n'), 1) << version.out;

    for (const std::string arguments : {"", "frobnicate", "info"}) {
        const TToolRun onOut = tool(arguments, "2>/dev/null");
        EXPECT_EQ(onOut.code, 2) << arguments;
        EXPECT_EQ(onOut.out, "") << arguments;
        const TToolRun onErr = tool(arguments, "2>&1 >/dev/null");
        EXPECT_NE(onErr.out.find("termovel-dic info FILE.dic"), std::string::npos) << arguments;
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
        EXPECT_EQ(run.code, 3) << offset;
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
                  if (run.code != 3)
                      return "exit code " + std::to_string(run.code) + ": " + run.out;
                  return run.out.find("Словарь " + dic_ + ": нет прав на чтение") ==
                                 std::string::npos
                             ? run.out
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
    const std::string path = (folder_ / "w.dic").string();
    saveEntries(path, {{"plain", "line\n"},
                       {"indented", "  code\n"},
                       {"typed", "one\r\ntwo"},
                       {"cut", "before\n~~~\nafter\n"},
                       {"\xf1\xeb\xee\xe2\xee ", "x\n"}});  // "слово" and a blank
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
        const std::string path = (folder_ / "unclean.dic").string();
        writeScrambled(path, plain);
        const std::string scrambled = readFile(path);

        const TToolRun refused = tool("import " + path + " " + text.string());
        EXPECT_EQ(refused.code, 3) << reason;
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

TEST_F(TermovelDic, AFailedWriteToStandardOutputIsReportedWithCodeFour) {
    // A dictionary whose listing is far larger than any output buffer, so the failure comes in
    // the middle of the output and not only when it is flushed at the end.
    const std::string big = (folder_ / "big.dic").string();
    {
        TDictionary d;
        TTermBatch batch;
        for (int i = 0; i < 30000; ++i)
            batch.add("term" + std::to_string(i), std::string(40, 'a') + "\n");
        d.addTerms(std::move(batch));
        d.SaveToFile(big);
    }
    // The converters' report is whole when it can be written, and its failure counts too.
    const auto [dictd, stardict, text] = smallInputs(folder_);
    const std::string out = (folder_ / "out.dic").string();
    EXPECT_TRUE(tool("from-dictd " + dictd + " " + out).out.ends_with("на \"?\": 0\n"));
    EXPECT_TRUE(
        tool("from-stardict " + stardict + " " + out + " --force").out.ends_with("на \"?\": 0\n"));
    for (const std::string& command :
         {"export " + big, "export " + dic_, "export --tab " + big, "list " + big, "info " + dic_,
          "lookup " + dic_ + " zebra", "search " + big + " aaa", std::string("--help"),
          "from-dictd " + dictd + " " + out + " --force",
          "from-stardict " + stardict + " " + out + " --force"}) {
        for (const char* redirect : {"2>&1 >/dev/full", "2>&1 >&-"}) {
            const TToolRun run = tool(command, redirect);
            EXPECT_EQ(run.code, 4) << command << " " << redirect;
            EXPECT_NE(run.out.find("ошибка записи в стандартный вывод"), std::string::npos)
                << command << " " << redirect << ": " << run.out;
        }
    }
}

TEST_F(TermovelDic, TwoImportsAtOnceKeepBothOrTheSecondFailsCleanly) {
    // Imports large enough that their read-modify-writes overlap.
    std::string a, b;
    for (int i = 0; i < 60000; ++i) {
        a += "@alpha" + std::to_string(i) + "\nfirst\n~~~\n";
        b += "@beta" + std::to_string(i) + "\nsecond\n~~~\n";
    }
    writeFile((folder_ / "a.txt").string(), a);
    writeFile((folder_ / "b.txt").string(), b);
    for (int round = 0; round < 3; ++round) {
        const std::string shared = (folder_ / ("shared" + std::to_string(round) + ".dic")).string();
        std::filesystem::copy_file(dic_, shared);
        const std::string exe = std::string("LC_ALL=C ") + TERMOVEL_TOOL_PATH + " import " + shared;
        const std::string codes = (folder_ / "codes").string();
        const std::string script = "(" + exe + " " + (folder_ / "a.txt").string() +
                                   " >/dev/null 2>&1; echo a$? >>" + codes + ") & (" + exe + " " +
                                   (folder_ / "b.txt").string() + " >/dev/null 2>&1; echo b$? >>" +
                                   codes + ") & wait";
        std::filesystem::remove(codes);
        ASSERT_EQ(std::system(("bash -c '" + script + "'").c_str()), 0);
        const std::string results = readFile(codes);
        const bool aDone = results.find("a0") != std::string::npos;
        const bool bDone = results.find("b0") != std::string::npos;
        // A failure is the clean one: the lock's, with code 4.
        EXPECT_TRUE(aDone || results.find("a4") != std::string::npos) << results;
        EXPECT_TRUE(bDone || results.find("b4") != std::string::npos) << results;
        EXPECT_TRUE(aDone || bDone) << results;
        TDictionary d;
        d.LoadFromFile(shared);
        EXPECT_EQ(d.Find("alpha59999") >= 0, aDone) << round << results;
        EXPECT_EQ(d.Find("beta59999") >= 0, bDone) << round << results;
        EXPECT_EQ(d.Count(), 3 + (aDone ? 60000 : 0) + (bDone ? 60000 : 0)) << round;
    }
}

// Control bytes the tool prints, on standard output or standard error, are escaped on a
// terminal; into a pipe they stay as they are, for the output is data then.
TEST_F(TermovelDic, ControlBytesAreEscapedOnATerminalOnly) {
    const std::string hostile = (folder_ / "hostile.dic").string();
    const std::string lossy = (folder_ / "lossy.dic").string();
    const std::string dup = (folder_ / "dup.dic").string();
    {
        TDictionary d;
        d.SetName("title\x1b]0;owned\x07");
        d.AddTerm("clear\x1b[2J", "bell\x07 and \x1b[31mred\n");
        d.SaveToFile(hostile);
    }
    saveEntries(lossy, {{"clear\x1b[2J", "line\r\nnext"}});  // lossy in the import form: a warning
    writeScrambled(dup, emptyHeader() + le32(2) + record("a\x1b[2J") + record("1") +
                            record("A\x1b[2J") + record("2"));
    const std::string toOut = "2>/dev/null", toError = "2>&1 >/dev/null";
    struct TCase {
        std::string command;
        int code;
        std::string pipe;     // where the bytes are looked for unescaped
        std::string escaped;  // what the terminal shows
    };
    const std::vector<TCase> cases = {
        {"info " + hostile, 0, toOut, "\\x1b]0;owned"},
        {"list " + hostile, 0, toOut, "\\x1b[2J"},
        {"lookup " + hostile + " $(printf 'clear\\033[2J')", 0, toOut, "\\x1b[31m"},
        {"export " + hostile, 0, toOut, "\\x1b[2J"},
        {"search " + hostile + " bell", 0, toOut, "\\x1b[2J"},
        {"export " + lossy, 0, toError, "\\x1b[2J"},
        {"verify " + dup, 3, toError, "\\x1b[2J"},
        {"info " + folder_.string() + "/$(printf 'x\\033[2J')", 3, toError, "\\x1b[2J"},
    };
    for (const TCase& c : cases) {
        const TToolRun tty = toolOnTerminal(c.command);
        EXPECT_EQ(tty.code, c.code) << c.command << ": " << tty.out;
        EXPECT_EQ(tty.out.find('\x1b'), std::string::npos) << c.command << ": " << tty.out;
        EXPECT_EQ(tty.out.find('\x07'), std::string::npos) << c.command << ": " << tty.out;
        EXPECT_NE(tty.out.find(c.escaped), std::string::npos) << c.command << ": " << tty.out;
        EXPECT_NE(tool(c.command, c.pipe).out.find('\x1b'), std::string::npos) << c.command;
    }
}

TEST_F(TermovelDic, AKilledSaveLeavesTheOldOrTheNewFileAndNoTemporaryForLong) {
    std::string text;
    for (int i = 0; i < 150000; ++i)
        text += "@word" + std::to_string(i) + "\nsome article text\n~~~\n";
    const std::string textPath = (folder_ / "many.txt").string();
    writeFile(textPath, text);
    const std::string oldBytes = readFile(dic_);
    std::string newBytes;
    {
        const std::string copy = (folder_ / "copy.dic").string();
        std::filesystem::copy_file(dic_, copy);
        ASSERT_EQ(tool("import " + copy + " " + textPath).code, 0);
        newBytes = readFile(copy);
        std::filesystem::remove(copy);
    }
    // How many temporary files the folder holds; removed when remove.
    auto temporaries = [&](bool remove = false) {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(folder_)) {
            if (e.path().filename().string().find(".tmp") != std::string::npos) {
                ++n;
                if (remove)
                    std::filesystem::remove(e.path());
            }
        }
        return n;
    };
    for (int round = 0; round < 12; ++round) {
        const int signal = round % 2 == 0 ? SIGTERM : SIGKILL;
        // What SIGKILL rounds left is for the last check; a SIGTERM round must leave nothing.
        if (signal == SIGTERM)
            temporaries(true);
        const std::string delayUs = std::to_string(50000 + round * 40000);
        const std::string script = "LC_ALL=C " + std::string(TERMOVEL_TOOL_PATH) + " import " +
                                   dic_ + " " + textPath + " >/dev/null 2>&1 & sleep 0." +
                                   std::string(6 - delayUs.size(), '0') + delayUs + "; kill -" +
                                   std::to_string(signal) + " $!; wait";
        std::system(("bash -c '" + script + "'").c_str());
        const std::string now = readFile(dic_);
        ASSERT_TRUE(now == oldBytes || now == newBytes) << "round " << round;
        if (signal == SIGTERM) {
            EXPECT_EQ(temporaries(), 0) << "round " << round;
        }
        if (now == newBytes) {
            std::filesystem::remove(dic_);
            writeFile(dic_, oldBytes);
        }
    }
    // A temporary file a SIGKILL left behind goes with the next save in the folder.
    writeFile((folder_ / "one.txt").string(), "@one\nx\n~~~\n");
    ASSERT_EQ(tool("import " + dic_ + " " + (folder_ / "one.txt").string()).code, 0);
    EXPECT_EQ(temporaries(), 0);
}

// Every failure names the file it is about, and a term holding a zero byte is shown whole;
// devices, FIFOs and folders are refused by name, and the dictionary is left as it was.
// A command that writes a dictionary replaces only a dictionary file: a device, FIFO, folder
// or loop of links at the output (directly or through a link) is refused by name.
TEST_F(TermovelDic, EveryMessageNamesItsFile) {
    namespace fs = std::filesystem;
    const auto [dictd, stardict, text] = smallInputs(folder_);
    const std::string bad = (folder_ / "bad.dic").string(), nul = (folder_ / "nul.dic").string();
    writeScrambled(bad, emptyHeader() + le32(2) + record("a") + record("1"));
    writeScrambled(nul, emptyHeader() + le32(1) + record(std::string("ab\0cd", 5)) + record("1"));
    const std::string loop = (folder_ / "loop").string();
    fs::create_symlink("loop", loop);
    const std::string fifo = (folder_ / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string out = (folder_ / "out.dic").string();
    const std::string noFolder = (folder_ / "none" / "out.dic").string();
    const std::string index = (folder_ / "d.index").string();
    const std::string special = "это не обычный файл", folder = folder_.string();
    const std::string longName = (folder_ / (std::string(300, 'n') + ".dic")).string();
    const std::string tooLong = "имя файла слишком длинное";
    const std::string before = readFile(dic_);
    struct TCase {
        std::string arguments;
        int code;
        std::string named;  // what the message must hold: the file and why
    };
    const std::vector<TCase> cases = {
        {"verify " + bad, 3, "Файл словаря " + bad + " повреждён"},
        {"import " + bad + " " + text + " --force", 0, "Словарь " + bad + ": Stream read error"},
        {"info " + loop, 3, loop + ": символьные ссылки замкнуты в кольцо"},
        {"from-dictd " + index + " " + loop + " " + out, 3, loop + ": символьные ссылки"},
        {"from-dictd " + index + " " + fifo + " " + out, 3, fifo + ": это не обычный файл"},
        {"from-dictd " + index + " " + folder_.string() + " " + out, 3,
         folder_.string() + ": это папка"},
        {"from-dictd " + index + " " + (folder_ / "gone").string() + " " + out, 3,
         (folder_ / "gone").string() + ": нет такого файла"},
        {"from-stardict " + (folder_ / "gone.ifo").string() + " " + out, 3,
         (folder_ / "gone.ifo").string() + ": нет такого файла"},
        {"from-dictd " + dictd + " " + noFolder, 4, "Словарь " + noFolder + " не записан"},
        {"verify " + nul, 3, "нулевой байт в термине «ab\\x00cd» или в его статье"},
        {"info /dev/zero", 3, "/dev/zero: " + special},
        {"list /dev/urandom", 3, "/dev/urandom: " + special},
        {"verify /dev/zero", 3, "/dev/zero: " + special},
        {"lookup " + fifo + " x", 3, fifo + ": " + special},
        {"import " + dic_ + " /dev/zero", 3, "/dev/zero: " + special},
        {"import " + dic_ + " /dev/urandom", 3, "/dev/urandom: " + special},
        {"import " + dic_ + " " + fifo, 3, fifo + ": " + special},
        {"import " + fifo + " " + text, 3, fifo + ": " + special},
        {"export " + folder, 3, folder + ": это папка"},
        {"info " + folder + "/missing.dic", 3, folder + "/missing.dic: нет такого файла"},
        // A name longer than the system takes is neither unreadable nor there already.
        {"info " + longName, 3, longName + ": " + tooLong},
        {"import " + dic_ + " " + longName, 3, longName + ": " + tooLong},
        {"import " + longName + " " + text, 4, "Словарь " + longName + " не записан: " + tooLong},
        {"from-dictd " + dictd + " " + longName, 4, longName + " не записан: " + tooLong},
    };
    for (const TCase& c : cases) {
        const TToolRun run = tool(c.arguments);
        EXPECT_EQ(run.code, c.code) << c.arguments << ": " << run.out;
        EXPECT_NE(run.out.find(c.named), std::string::npos) << c.arguments << ": " << run.out;
    }
    EXPECT_EQ(readFile(dic_), before);

    std::vector<std::string> outputs = {fifo, (folder_ / "folder").string(), loop,
                                        (folder_ / "to-fifo").string()};
    fs::create_directory(outputs[1]);
    fs::create_symlink("fifo", outputs[3]);
    // A device of its own (the same as /dev/full), where the system allows making one.
    const std::string device = (folder_ / "full").string();
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
        outputs.push_back(device);
        fs::create_symlink("full", folder_ / "to-device");
        outputs.push_back((folder_ / "to-device").string());
    }
    for (const std::string& output : outputs) {
        for (const std::string& command : {"from-dictd " + dictd + " " + output + " --force",
                                           "from-stardict " + stardict + " " + output + " --force",
                                           "import " + output + " " + text + " --force"}) {
            const TToolRun run = tool(command);
            EXPECT_EQ(run.code, 3) << command << ": " << run.out;
            EXPECT_NE(run.out.find("Словарь " + output + ": "), std::string::npos) << run.out;
        }
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(outputs[1]));
    if (outputs.size() > 4) {
        EXPECT_TRUE(fs::is_character_file(device));
    }
}

// An import file in UTF-8 is converted and said so; --encoding forces the reading; what looks
// wrong with a file is a warning naming it, and the import goes on.
TEST_F(TermovelDic, ImportReadsUtf8AndWarnsNamingTheFile) {
    const std::string utf8 = (folder_ / "utf8.txt").string();
    writeFile(utf8, "\xEF\xBB\xBF@кошка\ncafé\n~~~\n");
    const std::string crOnly = (folder_ / "cr.txt").string();
    writeFile(crOnly, "@a\rb\r~~~\r");
    const std::string plain = (folder_ / "plain.txt").string();
    writeFile(plain, "just text\n");
    struct TCase {
        std::string arguments;
        int code;
        std::string said;  // on standard output, or "" to check standard error
        std::string warned;
    };
    const std::vector<TCase> cases = {
        {utf8, 0, "Файл импорта " + utf8 + " прочитан как UTF-8", ""},
        {utf8 + " --encoding utf-8", 0, "прочитан как UTF-8 и переведён в Windows-1251", ""},
        // Forced, the mark hides the first term, as it always did.
        {utf8 + " --encoding UTF-8", 0, "прочитан как UTF-8 и переведён в Windows-1251", ""},
        {utf8 + " --encoding cp1251", 0, "терминов добавлено 0", "не найдено ни одной строки"},
        {utf8 + " --encoding koi8-r", 2, "", "--encoding: ожидалось cp1251 или utf-8"},
        {crOnly, 0, "", "Файл импорта " + crOnly + ": строки разделены одним CR"},
        {plain, 0, "", "Файл импорта " + plain + ": не найдено ни одной строки «@термин»"},
    };
    for (const TCase& c : cases) {
        const std::string out = (folder_ / "out.dic").string();
        std::filesystem::remove(out);
        const TToolRun said = tool("import " + out + " " + c.arguments, "2>/dev/null");
        const TToolRun warned = tool("import " + out + " " + c.arguments, "2>&1 >/dev/null");
        EXPECT_EQ(said.code, c.code) << c.arguments << ": " << warned.out;
        EXPECT_NE(said.out.find(c.said), std::string::npos) << c.arguments << ": " << said.out;
        EXPECT_NE(warned.out.find(c.warned), std::string::npos)
            << c.arguments << ": " << warned.out;
    }
}

// export --stardict makes its three files together or none of them: an output that is no
// regular file, a name too long for the system, and a write that fails are refused naming the
// file, and nothing is left at any of the three names nor as a temporary file.
TEST_F(TermovelDic, StarDictExportMakesAllThreeFilesOrNone) {
    namespace fs = std::filesystem;
    const std::string many = (folder_ / "many.dic").string();
    {
        TDictionary d;
        TTermBatch batch;
        for (int i = 0; i < 3000; ++i)
            batch.add("term" + std::to_string(i), "article " + std::to_string(i * 7919) + "\n");
        d.addTerms(std::move(batch));
        d.SaveToFile(many);
    }
    const std::string base = (folder_ / "out").string();
    const std::string longest = (folder_ / std::string(251, 'n')).string();  // .ifo: 255 bytes
    const std::string tooLong = (folder_ / std::string(300, 'n')).string();
    struct TCase {
        std::string planted;  // what is put at out + suffix first (see plant); a link to itself
        std::string suffix;
        std::string prefix;  // shell commands before the tool
        std::string out;     // the export's base name
        int code;
        std::string named;
    };
    const std::vector<TCase> cases = {
        {"fifo", ".ifo", "", base, 3, base + ".ifo: это не обычный файл"},
        {"dir", ".idx", "", base, 3, base + ".idx: это папка"},
        {"link", ".dict.dz", "", base, 3, base + ".dict.dz: символьные ссылки замкнуты в кольцо"},
        {"", "", "", longest, 4, longest + ".dict.dz не записан: имя файла слишком длинное"},
        {"", "", "", tooLong, 4, tooLong + ".ifo не записан: имя файла слишком длинное"},
        // A file-size limit of 1 KiB stands for a full disk.
        {"", "", "trap '' XFSZ; ulimit -f 2; ", base, 4, " не записан: файл больше, чем разрешено"},
    };
    for (const TCase& c : cases) {
        const std::string planted = c.planted.empty() ? "" : c.out + c.suffix;
        if (!planted.empty())
            plant(c.planted, planted, planted);
        const TToolRun run =
            tool("export --stardict " + many + " " + c.out + ".ifo --force", "2>&1", c.prefix);
        EXPECT_EQ(run.code, c.code) << c.planted << c.prefix << ": " << run.out;
        EXPECT_NE(run.out.find(c.named), std::string::npos) << c.planted << c.prefix << run.out;
        EXPECT_NE(run.out.find("Файл StarDict " + c.out), std::string::npos) << run.out;
        std::vector<std::string> left = entryNames(folder_.string());
        std::erase_if(left, [&](const std::string& name) {
            return (folder_ / name).string() == planted || name.ends_with(".dic");
        });
        EXPECT_EQ(left, std::vector<std::string>{}) << c.planted << c.prefix;
        if (!planted.empty())
            fs::remove(planted);
    }
}

// A word that is no term answers through its ё/е variants and dictionary forms, the term that
// answered named on standard error; --exact keeps the word as written; when nothing answers,
// standard error lists the terms near it.
TEST_F(TermovelDic, LookupAnswersThroughFormsOrSuggestsNearTerms) {
    const std::string dic = (folder_ / "forms.dic").string();
    TEntries pairs;
    for (const auto& [term, article] : TEntries{{"кошка", "cat"},
                                                {"ещё", "more"},
                                                {"go", "идти"},
                                                {"mouse", "мышь"},
                                                {"look up", "искать"},
                                                {"house", "дом"},
                                                {"horse", "лошадь"}})
        pairs.push_back({codepage::fromUtf8(term).value(), codepage::fromUtf8(article).value()});
    saveEntries(dic, pairs);
    struct TCase {
        std::string arguments;
        int code;
        std::string out;  // standard output, whole
        std::string err;  // standard error, whole
        bool needsMorphology = false;
    };
    const std::string notFound = "termovel-dic: Термин не найден: ";
    const std::vector<TCase> cases = {
        {"кошка", 0, "cat\n", ""},
        {"кошки", 0, "cat\n", "«кошки» → кошка\n", true},
        {"--no-index Кошкой", 0, "cat\n", "«Кошкой» → кошка\n", true},
        {"еще", 0, "more\n", "«еще» → ещё\n"},
        {"mice", 0, "мышь\n", "«mice» → mouse\n", true},
        {"went --no-index", 0, "идти\n", "«went» → go\n", true},
        {"'\"House\",'", 0, "дом\n", "«\"House\",» → House\n"},
        {"'looked up'", 0, "искать\n", "«looked up» → look up\n", true},
        {"кошки --exact", 1, "", notFound + "кошки\n"},
        {"--exact еще --no-index", 1, "", notFound + "еще\n"},
        {"--exact кошка", 0, "cat\n", ""},
        // With two arguments the second is the term, whatever it says.
        {"--exact", 1, "", notFound + "--exact\n"},
        {"hosue", 1, "", notFound + "hosue\nВозможно, вы искали: house, horse, mouse\n"},
        {"mosue", 1, "", notFound + "mosue\nВозможно, вы искали: mouse, house\n"},
        {"кшка", 1, "", notFound + "кшка\nВозможно, вы искали: кошка\n"},
        {"xylophone", 1, "", notFound + "xylophone\n"},
    };
    const std::string err = (folder_ / "err").string();
    for (const TCase& c : cases) {
        if (c.needsMorphology && !(haveHunspell() && haveWordNet()))
            continue;
        // The term index goes into the test's own cache folder.
        const TToolRun run = tool("lookup " + dic + " " + c.arguments, "2>" + err,
                                  "XDG_CACHE_HOME=" + folder_.string() + " ");
        EXPECT_EQ(run.code, c.code) << c.arguments;
        EXPECT_EQ(run.out, c.out) << c.arguments;
        EXPECT_EQ(readFile(err), c.err) << c.arguments;
    }
}
