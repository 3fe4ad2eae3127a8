// Export to StarDict: the files' bytes, and the round trip through the StarDict reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "interchange/conversion.h"
#include "interchange/dict_data.h"
#include "interchange/stardict_reader.h"
#include "interchange/stardict_writer.h"
#include "platform/codepage.h"
#include "platform/compare.h"
#include "test_support.h"

// The .ifo names the header and counts; the .idx is in StarDict's order (ASCII letters without
// case, then bytes) with big-endian offsets; the data is dictzip with its chunk table.
TEST(StarDictExport, WritesTheThreeFiles) {
    compare::setLocale("");
    TTempFolder temp;
    TDictionary d;
    d.SetName("\xd1\xeb\xee\xe2\xe0\xf0\xfc\r\n2");  // "Словарь", a line break, "2"
    d.SetAuthor("A & B");
    d.SetInfo("one <1>\r\ntwo");
    d.AddTerm("banana", "\xe1\xe0\xed\xe0\xed\r\n");  // "банан", CR LF
    d.AddTerm("Apple", "x");
    d.AddTerm("\xff", "y");  // "я"
    d.AddTerm("apple2", "");
    const std::string base = temp.file("out");
    writeStarDict(d, base + ".ifo");
    // Each entry: the term, a zero byte, the article's offset and size.
    auto idxEntry = [](const std::string& term, uint32_t offset, uint32_t size) {
        return term + '\0' + bigEndian(offset, 4) + bigEndian(size, 4);
    };
    const std::string idx = idxEntry("Apple", 0, 1) + idxEntry("apple2", 1, 0) +
                            idxEntry("banana", 1, 11) + idxEntry("\xd1\x8f", 12, 1);
    EXPECT_EQ(readFile(base + ".idx"), idx);
    EXPECT_EQ(readFile(base + ".ifo"),
              "StarDict's dict ifo file\nversion=2.4.2\nwordcount=4\nidxfilesize=" +
                  std::to_string(idx.size()) +
                  "\nbookname=Словарь  2\nauthor=A & B\n"
                  "description=one &lt;1&gt;<br>two\nsametypesequence=m\n");
    const std::string dz = readFile(base + ".dict.dz");
    ASSERT_GT(dz.size(), 16u);
    EXPECT_EQ(dz.substr(0, 4), "\x1f\x8b\x08\x04");  // gzip, deflate, extra field
    EXPECT_EQ(dz.substr(12, 2), "RA");               // the chunk table
    EXPECT_EQ(TDictData(base + ".dict.dz").all(), "xбанан\ny");
}

// What from-stardict reads back from the export is the dictionary's terms and articles (every
// line break an LF, as StarDict text has them), for random dictionaries of Latin and Cyrillic
// terms in mixed case and articles of many lines.
TEST(StarDictExport, ConvertsBackToTheSameTermsAndArticles) {
    compare::setLocale("");
    const std::vector<std::string> termPieces = {"a",    "Z",    "\xe0", "\xc0", "\xb8",
                                                 "\xa8", "word", "-",    "1",    "\xff"};
    const std::vector<std::string> articlePieces = {"a",   "\xe0",  "\xc0", " ",   "\n",   "\r\n",
                                                    "<b>", "&amp;", "\t",   "~~~", "\x98", "\xb9"};
    struct TCase {
        const char* what;
        unsigned seed;
        int terms;
    };
    for (const TCase& c : std::vector<TCase>{
             {"empty", 1, 0}, {"one term", 2, 1}, {"small", 3, 40}, {"large", 4, 3000}}) {
        TTempFolder temp;
        std::mt19937 random(c.seed);
        TDictionary d;
        while (d.Count() < c.terms) {
            const std::string term = "t" + randomText(random, termPieces, 6);
            d.AddTerm(term, "x" + randomText(random, articlePieces, 12));
        }
        writeStarDict(d, temp.file("out.ifo"));
        TConversion conversion;
        readStarDict(temp.file("out.ifo"), conversion);
        TDictionary back;
        conversion.finish(back);
        TEntries expected = entries(d);
        for (auto& [term, article] : expected)
            std::erase(article, '\r');
        EXPECT_EQ(entries(back), expected) << c.what;
    }
}

// A StarDict headword is at most 255 bytes: a longer term goes in cut at the end of its last
// whole character, and the export names it; one of 255 bytes goes in whole.
TEST(StarDictExport, CutsTermsLongerThanAHeadwordAtACharacter) {
    compare::setLocale("");
    TTempFolder temp;
    struct TCase {
        std::string term;  // Windows-1251
        size_t written;    // bytes of UTF-8 in the index
    };
    const std::vector<TCase> cases = {
        {std::string(255, 'a'), 255},
        {std::string(256, 'b'), 255},
        {std::string(200, '\xe0'), 254},        // "а", two bytes each: 127 of them
        {"x" + std::string(200, '\xe1'), 255},  // "x" and 127 "б"
    };
    TDictionary d;
    for (const TCase& c : cases)
        d.AddTerm(c.term, "article");
    const TStarDictReport report = writeStarDict(d, temp.file("out.ifo"));
    std::vector<std::string> words;
    const std::string idx = readFile(temp.file("out.idx"));
    for (size_t at = 0; at < idx.size(); at = idx.find('\0', at) + 1 + 8)
        words.push_back(idx.substr(at, idx.find('\0', at) - at));
    std::vector<int> cut;
    for (const TCase& c : cases) {
        const std::string utf8 = codepage::toUtf8(c.term);
        EXPECT_NE(std::find(words.begin(), words.end(), utf8.substr(0, c.written)), words.end())
            << c.written;
        if (c.written < utf8.size())
            cut.push_back(d.Find(c.term));
    }
    std::vector<int> reported = report.cutTerms;
    std::sort(cut.begin(), cut.end());
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(reported, cut);
}
