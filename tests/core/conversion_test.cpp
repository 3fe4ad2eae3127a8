// Conversion of dictd and StarDict databases: text folding to Windows-1251, the data file
// reader (plain, gzip, dictzip), markup reduced to text, and whole databases written here
// byte by byte, damaged ones included.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/term_index.h"
#include "interchange/conversion.h"
#include "interchange/dict_data.h"
#include "interchange/dictd_reader.h"
#include "interchange/dsl_reader.h"
#include "interchange/fold_1251.h"
#include "interchange/markup_text.h"
#include "interchange/stardict_reader.h"
#include "platform/codepage.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "source_support.h"
#include "test_support.h"

namespace {

// ---------------------------------------------------------------------------------------
// Folding

struct TFoldCase {
    std::string_view utf8;
    bool transcription;
    const char* expected;  // UTF-8 of the Windows-1251 result
    uint64_t folded;
    uint64_t replaced;
};

TEST(CodePageFolder, FoldsWhatTheCodePageCannotHold) {
    const TFoldCase cases[] = {
        {"привет, world", false, "привет, world", 0, 0},
        {"café Straße", false, "cafe Strasse", 2, 0},
        {"e\xCC\x81t\xC3\xA9", false, "ete", 2, 0},  // combining accent, then precomposed
        {"[ˈæpl] æsir", false, "[\"{pl] aesir", 3, 0},
        {"[ɜ↗sɪdjʊlɜs]", false, "[3\"sIdjUl3s]", 5, 0},
        {"ʃ and ŋ", false, "S and n", 2, 0},  // IPA-only symbol anywhere; ŋ as a letter
        {"[θ] θ", false, "[T] ?", 1, 1},
        {"[a] ð\n[ð", false, "[a] d\n[D", 2, 0},
        {"θɪŋ", true, "TIN", 3, 0},
        {"ʤʧ ɹ ɡ", false, "dZtS r\\ g", 4, 0},
        {"a\r\nb\rc", false, "a\nb\nc", 0, 0},
        {std::string_view("a\0b", 3), false, "a?b", 0, 1},
        {"R\xF6ntgen", false, "Rontgen", 1, 0},  // a Latin-1 byte amid UTF-8
        {"─│┼ → ×", false, "-|+ -> *", 5, 0},
        {"中", false, "?", 0, 1},
    };
    for (const TFoldCase& c : cases) {
        TCodePageFolder folder;
        std::string out = "<";
        const TFoldCounts counts = folder.append(c.utf8, out, c.transcription);
        EXPECT_EQ(out, "<" + cp1251(c.expected)) << c.utf8;
        EXPECT_EQ(counts.folded, c.folded) << c.utf8;
        EXPECT_EQ(counts.replaced, c.replaced) << c.utf8;
    }
}

// ---------------------------------------------------------------------------------------
// Data files

TEST(DictData, ReadsRangesOfPlainGzipAndDictzipAlike) {
    TTempFolder folder;
    std::string data;
    for (int i = 0; i < 500; ++i)
        data += "line " + std::to_string(i * 7919 % 1000) + "\n";
    const std::vector<std::pair<std::string, std::string>> files = {
        {"plain", data}, {"gzip", gzipWhole(data)}, {"dictzip", makeDictzip(data, 97)}};
    for (const auto& [name, bytes] : files) {
        const std::string path = folder.file(name);
        writeFile(path, bytes);
        TDictData file(path);
        ASSERT_EQ(file.size(), data.size()) << name;
        // Ranges inside one chunk, across several, at both ends, and empty.
        for (auto [offset, length] : std::vector<std::pair<size_t, size_t>>{
                 {0, 10}, {90, 20}, {95, 300}, {data.size() - 5, 5}, {0, data.size()}, {7, 0}}) {
            EXPECT_EQ(file.read(offset, length), data.substr(offset, length))
                << name << " " << offset << "+" << length;
        }
        const std::string error = errorOf([&] { file.read(data.size() - 1, 2); });
        EXPECT_NE(error.find(path), std::string::npos) << name << ": " << error;
    }
}

TEST(DictData, DamagedCompressedDataIsAnErrorNamingTheFile) {
    TTempFolder folder;
    std::string data;
    for (int i = 0; i < 300; ++i)
        data += "entry " + std::to_string(i) + "\n";
    const std::string dz = makeDictzip(data, 200);
    const std::string gz = gzipWhole(data);
    const std::string path = folder.file("damaged.dz");

    // A chunk table promising far more than its chunks can inflate to is not believed: the
    // stream is read instead and its own size check fails.
    std::string promising = makeDictzip("abc", 16);
    promising[18] = static_cast<char>(0xFF);  // CHLEN 65535
    promising[19] = static_cast<char>(0xFF);
    for (size_t k = promising.size() - 4; k < promising.size() - 2; ++k)
        promising[k] = static_cast<char>(0xFF);  // ISIZE 65535
    // Cut anywhere: the chunk table no longer fits, the whole stream is read and ends early.
    for (const std::string& bytes :
         {dz.substr(0, 3), dz.substr(0, 12), dz.substr(0, dz.size() / 2),
          dz.substr(0, dz.size() - 9), gz.substr(0, gz.size() / 2), promising}) {
        writeFile(path, bytes);
        const std::string error = errorOf([&] { TDictData file(path); });
        EXPECT_NE(error.find(path), std::string::npos) << bytes.size() << ": " << error;
    }

    // A chunk's bytes garbled: found when that chunk is read.
    std::string garbled = dz;
    for (size_t i = garbled.size() / 2; i < garbled.size() / 2 + 40; ++i)
        garbled[i] = static_cast<char>(0xFF);
    writeFile(path, garbled);
    const std::string error = errorOf([&] {
        TDictData file(path);
        file.all();
    });
    EXPECT_NE(error.find(path), std::string::npos) << error;

    // A chunk table that disagrees with the data (a size changed) falls back to the stream.
    std::string wrongTable = dz;
    wrongTable[24] = static_cast<char>(wrongTable[24] + 1);
    writeFile(path, wrongTable);
    TDictData fallback(path);
    EXPECT_EQ(fallback.all(), data);
}

TEST(DictData, EveryTruncationIsReadOrRefusedByName) {
    TTempFolder folder;
    const std::string data = "alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu";
    const std::string dz = makeDictzip(data, 16);
    const std::string path = folder.file("cut.dz");
    // From two bytes on, the file is gzip by its magic number.
    for (size_t cut = 2; cut < dz.size(); ++cut) {
        writeFile(path, dz.substr(0, cut));
        std::string read;
        const std::string error = errorOf([&] {
            TDictData file(path);
            read = file.all();
        });
        if (error == kNoError)
            EXPECT_EQ(read, data.substr(0, read.size())) << cut;  // a clean cut of the stream
        else
            EXPECT_NE(error.find(path), std::string::npos) << cut << ": " << error;
    }
}

// ---------------------------------------------------------------------------------------
// Markup

TEST(MarkupText, ReducesTagsAndEntitiesToText) {
    struct TCase {
        const char* markup;
        TMarkup kind;
        const char* text;
    };
    const TCase cases[] = {
        {"<b>bold</b> &amp; <i>it</i>", TMarkup::Html, "bold & it"},
        {"one<br>two<br/>three", TMarkup::Html, "one\ntwo\nthree"},
        {"<p>a</p><p>b</p>", TMarkup::Html, "a\nb\n"},
        {"&lt;tag&gt; &#1076;&#x430; &nosuch; a < b", TMarkup::Html, "<tag> да &nosuch; a < b"},
        {"x<!-- note -->y<script>var a='</p>';</script>z", TMarkup::Html, "xyz"},
        {"<a href=\"x>y\">link</a>", TMarkup::Html, "link"},
        {"<![CDATA[<raw>]]>", TMarkup::Html, "<raw>"},
        {"<k>cat</k>\n<tr>kæt</tr> кот", TMarkup::Xdxf, "cat\n[kæt] кот"},
        {"<tr><td>1</td></tr><tr><td>2</td></tr>", TMarkup::Html, "1\n2\n"},
    };
    for (const TCase& c : cases) {
        std::string out;
        appendMarkupText(c.markup, c.kind, out);
        EXPECT_EQ(out, c.text) << c.markup;
    }
}

// ---------------------------------------------------------------------------------------
// dictd

// A number in dictd's base 64.
std::string dictdNumber(uint64_t value) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[value % 64]);
        value /= 64;
    } while (value > 0);
    return out;
}

// A dictd database written entry by entry, index in the order given.
struct TDictdWriter {
    std::string index;
    std::string data;

    void add(const std::string& word, const std::string& article) {
        index += word + "\t" + dictdNumber(data.size()) + "\t" + dictdNumber(article.size()) + "\n";
        data += article;
    }
    // Another headword for the article added last, as an index names an alias.
    void alias(const std::string& word, const std::string& article) {
        index += word + "\t" + dictdNumber(data.size() - article.size()) + "\t" +
                 dictdNumber(article.size()) + "\n";
    }
};

class Conversion : public ::testing::Test {
protected:
    void SetUp() override { compare::setLocale(""); }
    TTempFolder folder;
};

TDictdWriter sampleDictd() {
    TDictdWriter w;
    w.add("00-database-short", "00-database-short\n     Test dictionary\n");
    w.add("00-database-info", "00-database-info\nFirst line.\n  Second line.\n\n");
    w.add("00-database-url", "http://example.org/db\n");
    w.add("apple", "Apple\n  [ˈæpl] n. яблоко\r\n");
    w.add("banana", "banana\n\tindented\n");
    w.add("apple", "apple\n  2) the tree\n");
    w.add("café", "café\n  coffee house\n");
    w.add("cafe", "cafe\n  the same\n");
    w.add("中文", "中文\n  Chinese\n");
    w.add("empty", "");
    return w;
}

TEST_F(Conversion, DictdDatabaseBecomesOneDictionary) {
    const TDictdWriter w = sampleDictd();
    for (bool compressed : {false, true}) {
        const std::string indexPath = folder.file("test.index");
        const std::string dataPath = folder.file(compressed ? "test.dict.dz" : "test.dict");
        writeFile(indexPath, w.index);
        writeFile(dataPath, compressed ? makeDictzip(w.data, 16) : w.data);

        TConversion conversion;
        readDictd(indexPath, dataPath, conversion);
        TDictionary d;
        const TConversionReport r = conversion.finish(d);

        EXPECT_EQ(d.Name(), "Test dictionary");
        EXPECT_EQ(d.Author(), "http://example.org/db");
        EXPECT_EQ(d.Info(), "First line.\r\n  Second line.");
        // "Apple": the article's spelling, not the index's.
        EXPECT_EQ(
            entries(d),
            (TEntries{{"Apple", cp1251("Apple\n  [\"{pl] n. яблоко\n\napple\n  2) the tree\n")},
                      {"banana", "banana\n\tindented\n"},
                      {"cafe", "cafe\n  coffee house\n\ncafe\n  the same\n"}}));

        EXPECT_EQ(r.entries, 7);
        EXPECT_EQ(r.terms, 3);
        EXPECT_EQ(r.joined, 2);
        EXPECT_EQ(r.leftOut, 1);
        EXPECT_EQ(r.emptyArticles, 1);
        EXPECT_EQ(r.characters.folded, 4u);  // ˈ æ, and é twice
        EXPECT_EQ(r.characters.replaced, 0u);
    }
}

// An index built without punctuation names its header entries 00database…, and an index that
// keeps the original headword in a fourth column gives the term when the article does not
// start with it.
TEST_F(Conversion, DictdIndexVariants) {
    TDictdWriter w;
    w.add("00databaseshort", "00-database-short\n   Stripped index\n");
    w.add("applepie", "  a dessert\n");
    w.index.insert(w.index.size() - 1, "\tApple-Pie");
    w.add("ace", "ACE\n   Access Control Entry\n");
    w.add("ace", "ACE\n   Adobe Color Engine\n");
    // Aliases: a spelling of other punctuation is a term of its own, and one that folds to the
    // same term keeps the text once.
    const std::string clientServer = "client-server\nclient/server\n   A split of tasks\n";
    w.add("client-server", clientServer);
    w.alias("client/server", clientServer);
    const std::string cafe = "café\n   A coffee house\n";
    w.add("café", cafe);
    w.alias("cafe", cafe);
    writeFile(folder.file("v.index"), w.index);
    writeFile(folder.file("v.dict"), w.data);
    TConversion conversion;
    readDictd(folder.file("v.index"), folder.file("v.dict"), conversion);
    TDictionary d;
    conversion.finish(d);
    EXPECT_EQ(d.Name(), "Stripped index");
    EXPECT_EQ(entries(d),
              (TEntries{{"ACE", "ACE\n   Access Control Entry\n\nACE\n   Adobe Color Engine\n"},
                        {"Apple-Pie", "  a dessert\n"},
                        {"cafe", "cafe\n   A coffee house\n"},
                        {"client-server", clientServer},
                        {"client/server", clientServer}}));
}

TEST_F(Conversion, DamagedDictdIsAnErrorNamingTheFile) {
    const TDictdWriter w = sampleDictd();
    const std::string indexPath = folder.file("bad.index");
    const std::string dataPath = folder.file("bad.dict");
    writeFile(dataPath, w.data);
    struct TCase {
        std::string index;
        std::string data;
        const std::string& named;
    };
    const TCase cases[] = {
        {w.index + "beyond\t" + dictdNumber(w.data.size() - 2) + "\tD\n", w.data, dataPath},
        {w.index + "huge\tA\t//////////\n", w.data, dataPath},
        {w.index + "bad digit\tA*\tB\n", w.data, indexPath},
        {w.index + "no length\tA\n", w.data, indexPath},
        {w.index, w.data.substr(0, w.data.size() / 2), dataPath},
    };
    for (const TCase& c : cases) {
        writeFile(indexPath, c.index);
        writeFile(dataPath, c.data);
        TConversion conversion;
        const std::string error = errorOf([&] { readDictd(indexPath, dataPath, conversion); });
        EXPECT_NE(error.find(c.named), std::string::npos) << error;
    }
    EXPECT_EQ(errorOf([&] {
                  TConversion conversion;
                  readDictd(folder.file("none.index"), dataPath, conversion);
              }),
              "Cannot open file " + folder.file("none.index"));
}

// ---------------------------------------------------------------------------------------
// StarDict

struct TStarDictWriter {
    std::string idx;
    std::string dict;
    std::string syn;
    int count = 0;
    int offsetBits = 32;

    void add(const std::string& word, const std::string& article) {
        idx += word + '\0' + bigEndian(dict.size(), offsetBits / 8) + bigEndian(article.size(), 4);
        dict += article;
        ++count;
    }
    void synonym(const std::string& word, int entry) { syn += word + '\0' + bigEndian(entry, 4); }

    std::string ifo(const std::string& extra) const {
        return "StarDict's dict ifo file\nversion=3.0.0\nbookname=Словарь\nwordcount=" +
               std::to_string(count) + "\nidxfilesize=" + std::to_string(idx.size()) +
               "\nidxoffsetbits=" + std::to_string(offsetBits) +
               "\nauthor=Автор\nwebsite=http://example.org\n"
               "description=Первая строка<br>вторая &amp; последняя\n" +
               extra;
    }
};

TEST_F(Conversion, StarDictWithTypedFieldsAndSynonyms) {
    // sametypesequence "tm": a transcription ending in a zero byte, then the meaning.
    for (int bits : {32, 64}) {
        TStarDictWriter v;
        v.offsetBits = bits;
        v.add("apple", std::string("ˈæpl") + '\0' + "яблоко");
        v.add("Apple", std::string("ˈæpl") + '\0' + "компания");
        v.add("pear", std::string("peə") + '\0' + "груша");
        v.synonym("pome", 0);
        v.synonym("APPLE", 0);  // the headword itself in other letters: no entry
        v.synonym("中", 2);
        const std::string base = folder.file("sd" + std::to_string(bits));
        writeFile(base + ".ifo", v.ifo("sametypesequence=tm\n"));
        writeFile(base + ".idx.gz", gzipWhole(v.idx));
        writeFile(base + ".dict.dz", makeDictzip(v.dict, 10));
        writeFile(base + ".syn", v.syn);

        TConversion conversion;
        readStarDict(base + ".ifo", conversion);
        TDictionary d;
        const TConversionReport r = conversion.finish(d);
        EXPECT_EQ(d.Name(), cp1251("Словарь"));
        EXPECT_EQ(d.Author(), cp1251("Автор, http://example.org"));
        EXPECT_EQ(d.Info(), cp1251("Первая строка\r\nвторая & последняя"));
        EXPECT_EQ(entries(d), (TEntries{{"apple", cp1251("[\"{pl]\nяблоко\n\n[\"{pl]\nкомпания")},
                                        {"pear", cp1251("[pe@]\nгруша")},
                                        {"pome", cp1251("см. apple\n")}}))
            << bits;
        EXPECT_EQ(r.entries, 5);
        EXPECT_EQ(r.joined, 1);
        EXPECT_EQ(r.leftOut, 1);
        EXPECT_EQ(r.characters.folded, 5u);
    }
}

TEST_F(Conversion, StarDictFieldsWithTheirOwnTypes) {
    // No sametypesequence: each field starts with its type; binary fields carry a size.
    TStarDictWriter w;
    w.add("one", std::string("m") + "plain" + '\0' + "h" + "a<br>b &lt; c" + '\0' + "W" +
                     bigEndian(3, 4) + "wav" + "x" + "<k>one</k> <tr>wʌn</tr>" + '\0');
    w.add("picture only", std::string("P") + bigEndian(2, 4) + "ok");
    const std::string base = folder.file("typed");
    auto read = [&](TConversion& conversion) {
        writeFile(base + ".ifo", w.ifo(""));
        writeFile(base + ".idx", w.idx);
        writeFile(base + ".dict", w.dict);
        return errorOf([&] { readStarDict(base + ".ifo", conversion); });
    };
    TConversion conversion;
    ASSERT_EQ(read(conversion), kNoError);
    TDictionary d;
    const TConversionReport r = conversion.finish(d);
    EXPECT_EQ(entries(d), (TEntries{{"one", "plain\na\nb < c\none [wVn]"}}));
    EXPECT_EQ(r.emptyArticles, 1);

    // A binary field whose size runs past the data is an error naming the file and the entry.
    w.add("overrun", std::string("W") + bigEndian(100, 4) + "short");
    TConversion overrun;
    const std::string error = read(overrun);
    EXPECT_NE(error.find(base + ".dict"), std::string::npos) << error;
    EXPECT_NE(error.find("overrun"), std::string::npos) << error;
}

TEST_F(Conversion, DamagedStarDictIsAnErrorNamingTheFile) {
    TStarDictWriter w;
    w.add("alpha", "first");
    w.add("beta", "second");
    const std::string base = folder.file("bad");
    struct TCase {
        std::string ifo, idx, dict, syn;
        std::string named;
    };
    const std::string ifo = w.ifo("");
    std::string wrongCount = ifo;
    wrongCount.replace(wrongCount.find("wordcount=2"), 11, "wordcount=9");
    const TCase cases[] = {
        {"not an ifo\n", w.idx, w.dict, "", ".ifo"},
        {ifo, w.idx.substr(0, w.idx.size() - 3), w.dict, "", ".idx"},
        {wrongCount, w.idx, w.dict, "", ".idx"},
        {ifo, w.idx, w.dict.substr(0, 7), "", ".dict"},
        {ifo, w.idx, w.dict, std::string("gamma") + '\0' + bigEndian(2, 4), ".syn"},
        {ifo, w.idx, w.dict, std::string("gamma") + '\0' + std::string(2, '\0'), ".syn"},
    };
    for (const TCase& c : cases) {
        writeFile(base + ".ifo", c.ifo);
        writeFile(base + ".idx", c.idx);
        writeFile(base + ".dict", c.dict);
        std::remove((base + ".syn").c_str());
        if (!c.syn.empty())
            writeFile(base + ".syn", c.syn);
        TConversion conversion;
        const std::string error = errorOf([&] { readStarDict(base + ".ifo", conversion); });
        EXPECT_NE(error.find(base + c.named), std::string::npos) << c.named << ": " << error;
    }
}

// The command reports its counts and writes a dictionary that verifies.
TEST_F(Conversion, FromDictdCommandPrintsTheCounts) {
    const TDictdWriter w = sampleDictd();
    writeFile(folder.file("t.index"), w.index);
    writeFile(folder.file("t.dict.dz"), makeDictzip(w.data));
    const std::string out = folder.file("t.dic");
    const std::string command = "LC_ALL=C " + std::string(TERMOVEL_TOOL_PATH) + " from-dictd " +
                                folder.file("t.index") + " " + folder.file("t.dict.dz") + " " +
                                out + " --name Имя";
    const TToolRun first = runShell(command + " 2>&1");
    ASSERT_EQ(first.code, 0) << first.out;
    for (const char* line :
         {"Статей прочитано: 7\n", "Терминов: 3 (", "того же термина: 2)", "пустой заголовок): 1\n",
          "без текста пропущено: 1\n", "заменено близкими: 4\n", "на \"?\": 0\n"}) {
        EXPECT_NE(first.out.find(line), std::string::npos) << line << "\n" << first.out;
    }
    TDictionary d;
    d.LoadFromFile(out);
    EXPECT_EQ(d.Name(), cp1251("Имя"));

    // Once more over the file just written: refused, the file kept; with --force, replaced.
    const TToolRun again = runShell(command + " 2>&1");
    EXPECT_NE(again.code, 0);
    EXPECT_NE(again.out.find("--force"), std::string::npos) << again.out;
    EXPECT_EQ(runShell(command + " --force >/dev/null 2>&1").code, 0);
    EXPECT_EQ(d.Author(), "http://example.org/db");
    EXPECT_EQ(d.Count(), 3);
}

}  // namespace

namespace {

// Reads one database of three articles ("a", "b", "c") of the data bytes given: dictd when
// dictd, else StarDict (the data as .dict.dz). Returns the terms, or the error's message.
std::string readThree(const TTempFolder& folder, bool dictd, const std::string& dataBytes,
                      const std::vector<uint64_t>& lengths, std::vector<std::string>& skipped) {
    // The indexes only: the data file is dataBytes.
    TDictdWriter w;
    TStarDictWriter v;
    for (size_t i = 0; i < lengths.size(); ++i) {
        const std::string word(1, static_cast<char>('a' + i)), article(lengths[i], ' ');
        w.add(word, article);
        v.add(word, article);
    }
    const std::string base = folder.file(dictd ? "three" : "three-sd");
    writeFile(base + ".index", w.index);
    writeFile(base + ".ifo", v.ifo("sametypesequence=m\n"));
    writeFile(base + ".idx", v.idx);
    writeFile(base + ".dict.dz", dataBytes);
    TConversion conversion;
    const std::string error = errorOf([&] {
        if (dictd)
            readDictd(base + ".index", base + ".dict.dz", conversion, &skipped);
        else
            readStarDict(base + ".ifo", conversion, &skipped);
    });
    if (error != kNoError)
        return error;
    TDictionary d;
    conversion.finish(d);
    std::string terms;
    for (int i = 0; i < d.Count(); ++i)
        terms += d.Term(i);
    return terms;
}

}  // namespace

// Compressed data is inflated only as far as the index refers to, one article cannot expand
// without bound, and a damaged dictzip chunk loses only the articles inside it, each named.
TEST_F(Conversion, CompressedDataIsReadOnlyAsFarAsItsIndexRefers) {
    const std::string articles = std::string(16, 'x') + std::string(16, 'y') + std::string(16, 'z');
    // Three articles, then 32 MiB of zeros cut short: inflating it all would fail.
    const std::string bomb = gzipWhole(articles + std::string(size_t{32} << 20, '\0'));
    // Each article one chunk, the second chunk garbled.
    std::string garbled = makeDictzip(articles, 16);
    const size_t firstChunk = 22 + 2 * 3;
    const size_t secondChunk = firstChunk + static_cast<unsigned char>(garbled[22]);
    for (size_t i = secondChunk; i < secondChunk + static_cast<unsigned char>(garbled[24]); ++i)
        garbled[i] = static_cast<char>(0xFF);
    const uint64_t tooLong = TDictData::kMaxArticle + 1;
    struct TCase {
        std::string data;
        std::vector<uint64_t> lengths;
        std::string result;  // the terms, or a part of the error's message
        std::string skipped;
    };
    const std::vector<TCase> cases = {
        {bomb.substr(0, bomb.size() * 3 / 4), {16, 16, 16}, "abc", ""},
        {garbled, {16, 16, 16}, "ac", ": сжатый фрагмент 2 из 3 повреждён: статья «b» пропущена"},
        {std::string(tooLong + 2, 'w'), {1, tooLong, 1}, "«b» (", ""},
    };
    for (bool dictd : {true, false}) {
        for (const TCase& c : cases) {
            std::vector<std::string> skipped;
            const std::string result = readThree(folder, dictd, c.data, c.lengths, skipped);
            EXPECT_NE(result.find(c.result), std::string::npos) << dictd << ": " << result;
            if (c.result == "«b» (") {
                EXPECT_NE(result.find("длиннее 16 МиБ"), std::string::npos) << result;
            }
            ASSERT_EQ(skipped.size(), c.skipped.empty() ? 0u : 1u) << dictd << c.result;
            if (!skipped.empty()) {
                EXPECT_NE(skipped[0].find(".dict.dz" + c.skipped), std::string::npos) << skipped[0];
            }
        }
    }
    // The data file alone: plain gzip given what is needed inflates no further.
    writeFile(folder.file("bomb.gz"), bomb);
    EXPECT_LE(TDictData(folder.file("bomb.gz"), 48).size(), 48u);
}

namespace {

std::string le16(uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

// chunks × chunkLength zero bytes, then tail, compressed without ever holding them: each
// chunk of zeros deflates to the same bytes. As dictzip, or as a plain gzip of one member per
// chunk; a bad chunk table makes the dictzip file plain gzip to the reader.
std::string zerosThen(size_t chunks, uint32_t chunkLength, const std::string& tail, bool dictzip,
                      bool badTable = false) {
    const std::string zero = deflated(std::string(chunkLength, '\0'), -MAX_WBITS, Z_FULL_FLUSH);
    if (!dictzip) {
        const std::string member = gzipWhole(std::string(chunkLength, '\0'));
        std::string out;
        for (size_t i = 0; i < chunks; ++i)
            out += member;
        return out + gzipWhole(tail);
    }
    std::string table = le16(1) + le16(chunkLength) + le16(static_cast<uint32_t>(chunks + 1));
    for (size_t i = 0; i < chunks; ++i)
        table += le16(static_cast<uint32_t>(zero.size()));
    const std::string last = deflated(tail, -MAX_WBITS, Z_FINISH);
    table += le16(static_cast<uint32_t>(badTable ? last.size() + 1 : last.size()));
    const std::string extra = "RA" + le16(static_cast<uint32_t>(table.size())) + table;
    std::string out = std::string("\x1f\x8b\x08\x04\0\0\0\0\0\x03", 10) +
                      le16(static_cast<uint32_t>(extra.size())) + extra;
    for (size_t i = 0; i < chunks; ++i)
        out += zero;
    const uint64_t total = uint64_t{chunks} * chunkLength + tail.size();
    out += last + bigEndian(0, 4) + le16(static_cast<uint32_t>(total & 0xFFFF)) +
           le16(static_cast<uint32_t>((total >> 16) & 0xFFFF));
    return out;
}

}  // namespace

// An index that names one article far into compressed data: dictzip inflates only the chunk
// holding it; plain gzip, which could reach it only by inflating everything before it, is
// refused with the file named. Under a memory limit well below what lies before the article.
TEST_F(Conversion, FarArticleInflatesOnlyItsChunkOrIsRefused) {
    constexpr uint32_t kChunk = 32768;
    constexpr size_t kChunks = 19200;  // 600 MiB of zeros before the article
    const std::string article = "far away";
    struct TCase {
        const char* what;
        std::string data;
        int code;
        std::string said;  // a part of what the command printed
    };
    const std::vector<TCase> cases = {
        {"dictzip", zerosThen(kChunks, kChunk, article, true), 0, "Терминов: 1"},
        {"gzip", zerosThen(kChunks, kChunk, article, false), 3, "без таблицы фрагментов"},
        {"dictzip with a bad table", zerosThen(kChunks, kChunk, article, true, true), 3,
         "без таблицы фрагментов"},
    };
    const uint64_t offset = uint64_t{kChunks} * kChunk;
    for (const TCase& c : cases) {
        for (bool dictd : {true, false}) {
            const std::string base = folder.file(dictd ? "far" : "far-sd");
            const std::string data = base + ".dict.dz";
            writeFile(data, c.data);
            std::string sources;
            if (dictd) {
                writeFile(base + ".index", "far\t" + dictdNumber(offset) + "\t" +
                                               dictdNumber(article.size()) + "\n");
                sources = base + ".index " + data;
            } else {
                TStarDictWriter v;
                v.idx =
                    std::string("far") + '\0' + bigEndian(offset, 4) + bigEndian(article.size(), 4);
                v.count = 1;
                writeFile(base + ".ifo", v.ifo("sametypesequence=m\n"));
                writeFile(base + ".idx", v.idx);
                sources = base + ".ifo";
            }
            std::string limit = "ulimit -v 200000; ";
#if defined(__SANITIZE_ADDRESS__)
            limit.clear();  // the sanitizer's shadow memory needs far more address space
#endif
            const TToolRun run = runShell(
                limit + "LC_ALL=C " + std::string(TERMOVEL_TOOL_PATH) + " " +
                (dictd ? "from-dictd " : "from-stardict ") + sources + " " +
                folder.file(std::string(c.what) + (dictd ? "" : "-sd") + ".dic") + " 2>&1");
            EXPECT_EQ(run.code, c.code) << c.what << ", " << dictd << ": " << run.out;
            EXPECT_NE(run.out.find(c.said), std::string::npos) << c.what << ": " << run.out;
            if (c.code != 0) {
                EXPECT_NE(run.out.find(data + ": "), std::string::npos) << run.out;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Sources read in place

TEST(DataReader, ReadsRangesAtRandomFromTheOpenFile) {
    TTempFolder folder;
    std::string data;
    for (int i = 0; i < 200; ++i)
        data += "line " + std::to_string(i) + "\n";
    // dictzip itself ends the stream with an empty final block after the last chunk.
    std::string withFinalBlock = makeDictzip(data, 64);
    withFinalBlock.insert(withFinalBlock.size() - 8, "\x03\x00", 2);
    const std::vector<std::pair<const char*, std::string>> files = {
        {"plain", data},
        {"dictzip", makeDictzip(data, 16)},
        {"dictzip with its final block", withFinalBlock},
        {"gzip", gzipWhole(data)},
    };
    const std::vector<std::pair<uint64_t, uint64_t>> ranges = {
        {0, 5}, {10, 100}, {data.size() - 3, 3}, {7, 0}, {500, 700}};
    for (const auto& [name, bytes] : files) {
        const std::string path = folder.file("d");
        writeFile(path, bytes);
        const TDataReader reader(path);
        ASSERT_EQ(reader.size(), data.size()) << name;
        for (const auto& [offset, length] : ranges)
            EXPECT_EQ(reader.read(offset, length), data.substr(offset, length)) << name;
        EXPECT_NE(errorOf([&] { reader.read(data.size() - 1, 2); }).find(path + ": статья"),
                  std::string::npos)
            << name;
    }

    // A damaged chunk of a file dictzip wrote costs only what lies in it.
    std::string garbled = withFinalBlock;
    for (size_t i = garbled.size() / 2; i < garbled.size() / 2 + 20; ++i)
        garbled[i] = static_cast<char>(0xFF);
    writeFile(folder.file("g"), garbled);
    const TDataReader reader(folder.file("g"));
    EXPECT_EQ(reader.read(0, 5), data.substr(0, 5));
    size_t damaged = 0;
    for (uint64_t at = 0; at < data.size(); at += 64) {
        try {
            reader.read(at, 1);
        } catch (const TDamagedData&) {
            ++damaged;
        }
    }
    EXPECT_GT(damaged, 0u);
    EXPECT_LT(damaged, data.size() / 64 - 1);

    // Plain gzip that inflates beyond what may be held is refused, by name.
    writeFile(folder.file("big.gz"), gzipWhole(std::string(TDataReader::kMaxInflated + 1, 'x')));
    EXPECT_NE(errorOf([&] {
                  TDataReader big(folder.file("big.gz"));
              }).find(folder.file("big.gz") + ": сжат gzip без таблицы фрагментов"),
              std::string::npos);
}

// Articles read in an order near the data's find their chunks kept: each of the last
// kCachedChunks chunks is inflated once however often it is read, and no more are kept.
TEST(DataReader, KeepsTheChunksLastRead) {
    TTempFolder folder;
    std::string data;
    for (int i = 0; i < 400; ++i)
        data += "line " + std::to_string(i) + "\n";
    constexpr uint64_t kChunk = 16;
    writeFile(folder.file("d.dz"), makeDictzip(data, kChunk));
    const size_t kept = TDataReader::kCachedChunks;
    // Chunk numbers to read: 0, step, 2 step... (count of them), the round made times times.
    auto rounds = [](size_t count, size_t step, int times) {
        std::vector<size_t> out;
        for (int t = 0; t < times; ++t)
            for (size_t i = 0; i < count; ++i)
                out.push_back(i * step);
        return out;
    };
    struct TCase {
        const char* what;
        std::vector<size_t> chunks;
        uint64_t inflated;
    };
    const std::vector<TCase> cases = {
        {"two chunks in turn", rounds(2, 5, 10), 2},
        {"as many as are kept, over and over", rounds(kept, 3, 5), kept},
        {"one more than are kept, in a round: each read inflates", rounds(kept + 1, 1, 3),
         3 * (kept + 1)},
        {"a recent one read again keeps its place", {1, 2, 1, 3, 1, 4, 1}, 4},
    };
    for (const TCase& c : cases) {
        const TDataReader reader(folder.file("d.dz"));
        for (size_t i = 0; i < c.chunks.size(); ++i) {
            const uint64_t at = c.chunks[i] * kChunk + i % 5;
            EXPECT_EQ(reader.read(at, 7), data.substr(at, 7)) << c.what << ", read " << i;
        }
        EXPECT_EQ(reader.inflatedChunks(), c.inflated) << c.what;
    }
    // Chunks let go of are inflated again when read.
    TDataReader reader(folder.file("d.dz"));
    EXPECT_EQ(reader.read(3 * kChunk, 7), data.substr(3 * kChunk, 7));
    reader.forgetChunks();
    EXPECT_EQ(reader.read(3 * kChunk, 7), data.substr(3 * kChunk, 7));
    EXPECT_EQ(reader.inflatedChunks(), 2u);
}

// An entry whose article comes out empty is no entry in place, as the converters leave it
// out: a term with no text is not offered, and a later spelling of a term is the one kept
// when the first has no text. Each source also answers as its conversion, the same terms.
TEST_F(Conversion, SourcesInPlaceLeaveOutEntriesWithoutText) {
    const TProgramReaders readers;
    TDictdWriter dictd;
    dictd.add("Word", "");
    dictd.add("alone", "");
    dictd.add("word", "word\n  text\n");
    writeFile(folder.file("d.index"), dictd.index);
    writeFile(folder.file("d.dict"), dictd.data);
    writeFile(folder.file("z.index"), dictd.index);
    writeFile(folder.file("z.dict.dz"), makeDictzip(dictd.data, 4));
    TStarDictWriter starDict;  // fields typed each: a sound alone is no text
    starDict.add("Word", std::string("W") + bigEndian(3, 4) + "wav");
    starDict.add("alone", std::string("W") + bigEndian(1, 4) + "x");
    starDict.add("word", std::string("m") + "word\n  text\n" + '\0');
    writeFile(folder.file("s.ifo"), starDict.ifo(""));
    writeFile(folder.file("s.idx"), starDict.idx);
    writeFile(folder.file("s.dict"), starDict.dict);
    writeFile(folder.file("a.dsl"),
              "Word\n\t{{no text}}\nalone\n\t{{none}}\nword\n\tword\n\t  text\n");
    const std::vector<std::pair<std::string, std::function<void(TConversion&)>>> cases = {
        {"d.index", [&](auto& c) { readDictd(folder.file("d.index"), folder.file("d.dict"), c); }},
        {"z.index",
         [&](auto& c) { readDictd(folder.file("z.index"), folder.file("z.dict.dz"), c); }},
        {"s.ifo", [&](auto& c) { readStarDict(folder.file("s.ifo"), c); }},
        {"a.dsl",
         [&](auto& c) {
             TDslNotes notes;
             readDsl(folder.file("a.dsl"), c, false, notes);
         }},
    };
    for (const auto& [name, convert] : cases) {
        SCOPED_TRACE(name);
        TDictionary inPlace;
        inPlace.openIndexed(folder.file(name), "");
        EXPECT_EQ(inPlace.Count(), 1);
        EXPECT_EQ(inPlace.Term(inPlace.Find("WORD")), "word");
        EXPECT_EQ(inPlace.Find("alone"), -1);
        TConversion conversion;
        convert(conversion);
        TDictionary converted;
        conversion.finish(converted);
        EXPECT_EQ(entries(inPlace), entries(converted));
    }
}

TEST_F(Conversion, SourcesInPlaceGiveTheConvertersEntriesAndTellChanges) {
    const TDictdWriter w = sampleDictd();
    writeFile(folder.file("d.index"), w.index);
    writeFile(folder.file("d.dict.dz"), makeDictzip(w.data, 16));
    TStarDictWriter v;
    v.add("apple", std::string("ˈæpl") + '\0' + "яблоко");
    v.add("Apple", std::string("ˈæpl") + '\0' + "компания");
    v.add("pear", std::string("peə") + '\0' + "груша");
    v.synonym("pome", 0);
    v.synonym("APPLE", 0);
    v.synonym("žába", 2);
    writeFile(folder.file("s.ifo"), v.ifo("sametypesequence=tm\n"));
    writeFile(folder.file("s.idx"), v.idx);
    writeFile(folder.file("s.dict"), v.dict);
    writeFile(folder.file("s.syn"), v.syn);
    for (std::string name : {"d.index", "s.ifo"}) {
        const std::string path = folder.file(name);
        TConversion conversion;
        if (name == "d.index")
            readDictd(path, folder.file("d.dict.dz"), conversion);
        else
            readStarDict(path, conversion);
        TDictionary converted, inPlace;
        conversion.finish(converted);
        convertInPlace(path, inPlace);
        EXPECT_EQ(entries(inPlace), entries(converted)) << name;
        EXPECT_EQ(inPlace.Name(), converted.Name()) << name;
        EXPECT_EQ(inPlace.Author(), converted.Author()) << name;
        EXPECT_EQ(inPlace.Info(), converted.Info()) << name;

        // The walk's progress comes to its end; cancelled, the walk gives up.
        TIndexProgress walked;
        openSourceReader(path)->walk([](auto, auto) {}, &walked);
        EXPECT_GT(walked.total, 0u);
        EXPECT_EQ(walked.done, walked.total);
        TIndexProgress progress;
        progress.cancel = true;
        EXPECT_THROW(openSourceReader(path)->walk([](auto, auto) {}, &progress), TIndexCancelled);
    }
    // Text as written, no folding.
    const TInPlace sd = readInPlace(folder.file("s.ifo"));
    EXPECT_EQ(sd.entries.back(), (std::pair<std::string, std::string>{"žába", "см. pear\n"}));

    // The data rewritten shorter: the articles beyond it are told as changed.
    const TInPlace dictd = readInPlace(folder.file("d.index"));
    writeFile(folder.file("d.dict.dz"), makeDictzip(w.data.substr(0, 40), 16));
    writeFile(folder.file("s.dict"), v.dict.substr(0, 10));
    for (const auto& [path, locator] : {std::pair{folder.file("d.index"), dictd.locators.back()},
                                        std::pair{folder.file("s.ifo"), sd.locators[2]}}) {
        EXPECT_THROW(openSourceReader(path)->article(locator), TDictionaryChanged) << path;
        EXPECT_THROW(openSourceReader(path)->article("x"), TDictionaryChanged) << path;
    }

    // What is no source of these formats.
    EXPECT_EQ(openSourceReader(folder.file("s.dic")), nullptr);
    writeFile(folder.file("lone.index"), w.index);
    EXPECT_EQ(openSourceReader(folder.file("lone.index")), nullptr);
    EXPECT_EQ(errorOf([&] { openSourceReader(folder.file("gone.ifo")); }),
              "Cannot open file " + folder.file("gone.ifo"));
}
