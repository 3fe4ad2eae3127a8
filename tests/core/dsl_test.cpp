#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "interchange/conversion.h"
#include "interchange/dict_data.h"
#include "interchange/dsl_reader.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "test_support.h"

namespace {

// UTF-8 text (ASCII and Cyrillic are enough here) as UTF-16LE bytes.
std::string utf16le(std::string_view utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        uint32_t code = c;
        if (c >= 0xC0 && c < 0xE0 && i + 1 < utf8.size()) {
            code = (c & 0x1F) << 6 | (utf8[i + 1] & 0x3F);
            i += 2;
        } else {
            ++i;
        }
        out.push_back(static_cast<char>(code & 0xFF));
        out.push_back(static_cast<char>(code >> 8));
    }
    return out;
}

std::string gzipped(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, MAX_WBITS + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

// The entries of a DSL file as "term|term: article" lines (articles rendered, line breaks as
// "/"), sub-entries marked "@".
std::string walked(const std::string& path, TDslNotes& notes, TDslHeader* header = nullptr) {
    std::string out;
    const TDslHeader read = walkDsl(
        path,
        [&](const TDslEntry& e) {
            if (e.subEntry)
                out += "@";
            for (size_t i = 0; i < e.terms.size(); ++i)
                out += (i ? "|" : "") + e.terms[i];
            out += ": ";
            for (char c : renderDslBody(e.body, e.headword))
                out += c == '\n' ? '/' : c;
            out += "\n";
        },
        notes);
    if (header)
        *header = read;
    return out;
}

class Dsl : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = temp_.file(name);
        writeFile(path, bytes);
        return path;
    }
    TTempFolder temp_;
};

TEST_F(Dsl, HeaderLinesGiveNameAndLanguages) {
    struct TCase {
        std::string text, name, index, contents;
    };
    const std::vector<TCase> cases = {
        {"#NAME \"Общий\"\n#INDEX_LANGUAGE \"English\"\n#CONTENTS_LANGUAGE \"Russian\"\n", "Общий",
         "English", "Russian"},
        {"#NAME\t\"Tabbed\"  \r\n", "Tabbed", "", ""},
        {"#NAME Bare words\n", "Bare words", "", ""},
        // The first name counts; an unknown header line is no headword.
        {"#NAME \"A\"\n#SOUND_DICTIONARY \"x\"\n#NAME \"B\"\n", "A", "", ""},
        {"#NAME\n", "", "", ""},
    };
    for (const TCase& c : cases) {
        TDslNotes notes;
        TDslHeader header;
        const std::string entries =
            walked(write("h.dsl", c.text + "word\n\tbody\n"), notes, &header);
        EXPECT_EQ(header.name, c.name) << c.text;
        EXPECT_EQ(header.indexLanguage, c.index) << c.text;
        EXPECT_EQ(header.contentsLanguage, c.contents) << c.text;
        EXPECT_EQ(entries, "word: body/\n") << c.text;
    }
}

TEST_F(Dsl, HeadwordLinesGiveTermsByTheirRules) {
    struct TCase {
        std::string line;
        std::vector<std::string> terms;
        std::string shown;
    };
    const std::vector<TCase> cases = {
        {"cat", {"cat"}, "cat"},
        {"  spaced   out \t", {"spaced out"}, "spaced out"},
        {"kitty{-ies}", {"kitty"}, "kitty"},
        {"{to }go", {"go"}, "go"},
        {"run(s)", {"runs", "run"}, "runs"},
        {"(to) go (away)", {"to go away", "go away", "to go", "go"}, "to go away"},
        {"a(b)(c)", {"abc", "ac", "ab", "a"}, "abc"},
        {"\\{not unsorted\\} \\(x\\) a\\\\b \\@ \\~ \\#1 \\[y\\]",
         {"{not unsorted} (x) a\\b @ ~ #1 [y]"},
         "{not unsorted} (x) a\\b @ ~ #1 [y]"},
        {"word{{comment}}", {"word"}, "word"},
        {"stress[']e[/']d", {"stressed"}, "stressed"},
        // Unclosed parts are read leniently: the text stays, the bracket goes.
        {"open(ended", {"openended"}, "openended"},
        {"brace{open", {"braceopen"}, "braceopen"},
        {"{only unsorted}", {}, ""},
        {"()", {}, ""},
        {"дом(ик)", {"домик", "дом"}, "домик"},
    };
    for (const TCase& c : cases) {
        std::string shown;
        EXPECT_EQ(dslHeadwordTerms(c.line, &shown), c.terms) << c.line;
        EXPECT_EQ(shown, c.shown) << c.line;
    }
    // Many optional parts: only the first few vary, the rest are always taken.
    std::string many;
    for (int i = 0; i < 12; ++i)
        many += "x(" + std::to_string(i) + ")";
    const std::vector<std::string> terms = dslHeadwordTerms(many);
    EXPECT_EQ(terms.size(), size_t{1} << kMaxOptionalParts);
    EXPECT_EQ(terms.front(), "x0x1x2x3x4x5x6x7x8x9x10x11");
    EXPECT_EQ(terms.back(), "xxxxxx5x6x7x8x9x10x11");
}

TEST_F(Dsl, BodyMarkupIsRenderedAsPlainText) {
    const TDslAbbreviations abbreviations = {{"n", "noun"}, {"разг.", "разговорное"}};
    struct TCase {
        std::string body;
        std::string text;
        bool expand = false;
    };
    const std::vector<TCase> cases = {
        {"\tplain", "plain\n"},
        {"\t[m1]one\n\t[m3]three\n\t[m]zero\n\t[m0]none", "  one\n      three\nzero\nnone\n"},
        {"\t[m2][b]bold[/b] [i]it[/i] [u]u[/u] [c]c[/c] [c red]red[/c][/m]",
         "    bold it u c red\n"},
        {"\tx[sup]2[/sup] H[sub]2[/sub]O [trn]tr[/trn] [ex]ex[/ex] [com]com[/com]",
         "x2 H2O tr ex com\n"},
        {"\t[lang id=1033]word[/lang] [ref]link[/ref] [url]http://a.b[/url] [*]more[/*] "
         "[!trs]no[/!trs] [t]trans[/t]",
         "word link http://a.b more no trans\n"},
        {"\t[s]cat.wav[/s] [s]pic.JPG[/s] [s]clip.mp4[/s]",
         "[звук: cat.wav] [рисунок: pic.JPG] [видео: clip.mp4]\n"},
        {"\t[s]unclosed.png", "[рисунок: unclosed.png]\n"},
        {"\ta ~ b", "a cat b\n"},
        {"\tsee <<dog>>, <<big cat>>", "see dog, big cat\n"},
        {"\tkeep {{drop}}this\n\t{{a whole\n\tline}}\n\tend", "keep this\nend\n"},
        {"\t\\[not a tag\\] \\~ \\<\\< a\\\\b", "[not a tag] ~ << a\\b\n"},
        {"\t[p]n[/p] [p]разг.[/p] [p]x[/p]", "n разг. x\n"},
        {"\t[p]n[/p] [p]разг.[/p] [p]x[/p]", "noun разговорное x\n", true},
        {"\t[unknown attr=1]kept[/unknown] [b]unclosed", "kept unclosed\n"},
        {"\ta [ b ] c", "a [ b ] c\n"},
        {"\t[b]\n\t\n\t[/b]", ""},
        // A sub-entry stays as its headword line, its own body goes.
        {"\tbefore\n\t@ ~ nap{s}\n\tshort sleep\n\t@\n\tafter", "before\ncat nap\nafter\n"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(renderDslBody(c.body, "cat", c.expand ? &abbreviations : nullptr), c.text)
            << c.body;
}

TEST_F(Dsl, EncodingsAreToldAndDecodedToUtf8) {
    const std::string text = "#NAME \"Дом\"\nдом\n\thouse\n";
    struct TCase {
        std::string name, bytes;
        std::string decoded;
        uint64_t replaced = 0;
        bool odd = false;
    };
    const std::vector<TCase> cases = {
        {"utf-8", text, text},
        {"utf-8 bom", "\xEF\xBB\xBF" + text, text},
        {"utf-16le bom", "\xFF\xFE" + utf16le(text), text},
        {"utf-16le bare", utf16le(text), text},
        {"utf-16be bom",
         [&] {
             std::string le = utf16le(text), be = "\xFE\xFF";
             for (size_t i = 0; i < le.size(); i += 2)
                 be += std::string{le[i + 1], le[i]};
             return be;
         }(),
         text},
        {"utf-16be bare",
         [&] {
             std::string le = utf16le(text), be;
             for (size_t i = 0; i < le.size(); i += 2)
                 be += std::string{le[i + 1], le[i]};
             return be;
         }(),
         text},
        {"odd utf-16", "\xFF\xFE" + utf16le("ab") + "c", "ab", 0, true},
        {"lone surrogate", "\xFF\xFE" + std::string("a\0\x00\xD8z\0", 6), "a\xEF\xBF\xBDz", 1},
        {"surrogate pair", "\xFF\xFE" + std::string("\x3D\xD8\x00\xDE", 4), "\xF0\x9F\x98\x80"},
        {"invalid utf-8",
         "a\xFF"
         "b\xC3",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD",
         2},
        {"overlong utf-8", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD", 2},
        {"empty", "", ""},
    };
    for (const TCase& c : cases) {
        TDslNotes notes;
        EXPECT_EQ(decodeDslText(c.bytes, notes), c.decoded) << c.name;
        EXPECT_EQ(notes.replacedCharacters, c.replaced) << c.name;
        EXPECT_EQ(notes.oddByteCount, c.odd) << c.name;
    }
}

TEST_F(Dsl, EntriesAndDamagedShapesAreReadWithCountedNotes) {
    struct TCase {
        std::string name, text, entries;
        std::vector<std::string> notes;  // the notes' lines, after the file name
    };
    const std::vector<TCase> cases = {
        {"several headwords",
         "cat\nkitty{-ies}\n\tкошка\n\n\nrun(s)\n  бежать\n",
         "cat|kitty: кошка/\nruns|run: бежать/\n",
         {}},
        {"crlf and blank lines inside a body", "a\r\n\tone\r\n\r\n\ttwo\r\n", "a: one/two/\n", {}},
        {"sub-entries",
         "cat\n\tкошка\n\t@ ~ nap\n\tсон\n\t@\n\t@ fat ~\n\tтолстый\n",
         "cat: кошка/cat nap/fat cat/\n@cat nap: сон/\n@fat cat: толстый/\n",
         {}},
        {"body before any headword",
         "\torphan\n\tlines\nword\n\tbody\n",
         "word: body/\n",
         {"строк статьи до первого заголовка пропущено: 2"}},
        {"headwords with no body",
         "a\nb\n\tbody\nc\nd\n",
         "a|b: body/\n",
         {"заголовков без статьи пропущено: 2"}},
        {"headword broken by a header line",
         "a\n#NAME \"x\"\nb\n\tbody\n",
         "b: body/\n",
         {"заголовков без статьи пропущено: 1"}},
        {"empty headword",
         "{x}\n\tbody\ny\n\tbody\n",
         "y: body/\n",
         {"пустых заголовков пропущено: 1"}},
        {"unclosed tags", "w\n\t[m1][b]bold [i]text\n", "w:   bold text/\n", {}},
        {"invalid utf-8",
         "w\xFF\n\tb\n",
         "w\xEF\xBF\xBD: b/\n",
         {"неверных последовательностей UTF-8 или UTF-16 заменено на «�»: 1"}},
        {"odd utf-16",
         "\xFF\xFE" + utf16le("w\n\tb\n") + "!",
         "w: b/\n",
         {"в тексте UTF-16 нечётное число байт (файл обрезан?): последний байт пропущен"}},
        {"nothing", "", "", {}},
    };
    for (const TCase& c : cases) {
        const std::string path = write("e.dsl", c.text);
        TDslNotes notes;
        EXPECT_EQ(walked(path, notes), c.entries) << c.name;
        std::vector<std::string> expected;
        for (const std::string& note : c.notes)
            expected.push_back(path + ": " + note);
        EXPECT_EQ(notes.lines(path), expected) << c.name;
    }
}

TEST_F(Dsl, ManyHeadwordLinesWithoutBodyAreBounded) {
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "w" + std::to_string(i) + "\n";
    text += "\tone body\n";
    const std::string path = write("many.dsl", text);
    TDslNotes notes;
    size_t terms = 0;
    walkDsl(
        path, [&](const TDslEntry& e) { terms += e.terms.size(); }, notes);
    EXPECT_EQ(terms, kMaxPendingHeadwords);
    EXPECT_EQ(notes.droppedHeadwordLines, 100000 - kMaxPendingHeadwords);
    writeFile(path, text.substr(0, text.size() - 10));  // and with no body at all
    TDslNotes none;
    walkDsl(
        path, [&](const TDslEntry&) { ADD_FAILURE(); }, none);
    EXPECT_EQ(none.headwordsWithoutBody + none.droppedHeadwordLines, 100000u);

    // Optional parts multiply the terms: an entry gives at most kMaxEntryTerms of them.
    std::string optional;
    for (int i = 0; i < 100; ++i)
        optional += "w" + std::to_string(i) + "(a)(b)(c)(d)(e)\n";
    writeFile(path, optional + "\tbody\n");
    TDslNotes capped;
    terms = 0;
    walkDsl(
        path, [&](const TDslEntry& e) { terms += e.terms.size(); }, capped);
    EXPECT_EQ(terms, kMaxEntryTerms);
    EXPECT_EQ(capped.termsLeftOut, 100 * 32 - kMaxEntryTerms);

    // "~" repeats the headword: the rendered body is cut, as is a sub-entry's headword.
    const std::string longHeadword(1000, 'h');
    const std::string tildes =
        "\t" + std::string(100000, '~') + "\n\t@ " + std::string(100000, '~');
    const std::string rendered = renderDslBody(tildes, longHeadword);
    EXPECT_LE(rendered.size(), kMaxRenderedBody + tildes.size());  // a line beyond at most
    EXPECT_GE(rendered.size(), kMaxRenderedBody - longHeadword.size());
}

TEST_F(Dsl, IncludedFilesAreReadInPlaceOnceAndNotTooDeep) {
    write("main.dsl", "#NAME \"Main\"\na\n\t1\n#INCLUDE \"part.dsl\"\nz\n\t26\n");
    std::filesystem::create_directory(temp_.file("sub"));
    // part includes main (a loop), itself, a missing file and a chain deeper than allowed.
    write("part.dsl", "\xFF\xFE" + utf16le("#NAME \"Part\"\nb\n\t2\n#INCLUDE \"main.dsl\"\n"
                                           "#INCLUDE \"part.dsl\"\n#INCLUDE \"gone.dsl\"\n"
                                           "#INCLUDE \"sub/d1.dsl\"\n"));
    for (int i = 1; i <= kMaxIncludeDepth + 1; ++i)
        write("sub/d" + std::to_string(i) + ".dsl",
              "d" + std::to_string(i) + "\n\tx\n#INCLUDE \"d" + std::to_string(i + 1) + ".dsl\"\n");
    TDslNotes notes;
    TDslHeader header;
    const std::string entries = walked(temp_.file("main.dsl"), notes, &header);
    std::string expected = "a: 1/\nb: 2/\n";
    for (int i = 1; i < kMaxIncludeDepth; ++i)
        expected += "d" + std::to_string(i) + ": x/\n";
    expected += "z: 26/\n";
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(header.name, "Main");
    ASSERT_EQ(notes.includes.size(), 2u);
    // Each entry tells where its body lies: in which file and where in its decoded text.
    std::vector<std::string> places;
    TDslNotes again;
    walkDsl(
        temp_.file("main.dsl"),
        [&](const TDslEntry& e) {
            places.push_back(std::filesystem::path(e.file).filename().string() + "@" +
                             std::to_string(e.bodyOffset) + ":" + std::string(e.body));
        },
        again);
    ASSERT_GE(places.size(), 3u);
    EXPECT_EQ(places.front(), "main.dsl@15:\t1");
    EXPECT_EQ(places[1], "part.dsl@15:\t2");
    EXPECT_EQ(places.back(), "main.dsl@40:\t26");
    EXPECT_NE(notes.includes[0].find("gone.dsl: файла нет"), std::string::npos);
    EXPECT_NE(
        notes.includes[1].find("d" + std::to_string(kMaxIncludeDepth) + ".dsl: вложен глубже"),
        std::string::npos)
        << notes.includes[1];
}

TEST_F(Dsl, CompressedFilesAreReadAndBombsRefused) {
    const std::string text = "#NAME \"Z\"\nzip\n\tсжатый\n";
    TDslNotes notes;
    EXPECT_EQ(walked(write("a.dsl.dz", makeDictzip(utf16le(text), 7)), notes), "zip: сжатый/\n");
    EXPECT_EQ(walked(write("b.dsl.dz", gzipped(text)), notes), "zip: сжатый/\n");
    // Far more than any dictionary: plain gzip stops inflating at the limit, dictzip is refused
    // by its size before any chunk is inflated.
    const std::string zeros(kMinInflatedLimit + 1024, '\0');
    for (const std::string& bomb : {gzipped(zeros), makeDictzip(zeros, 65535)}) {
        const std::string path = write("bomb.dsl.dz", bomb);
        try {
            walkDsl(
                path, [](const TDslEntry&) {}, notes);
            ADD_FAILURE() << "a bomb was read";
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.what()).find(path + ": сжатый текст распаковывается больше"),
                      std::string::npos)
                << e.what();
        }
    }
}

TEST_F(Dsl, ConversionUsesNameAbbreviationsAndEveryTerm) {
    compare::setLocale("");
    const std::string path =
        write("En-Ru.dsl", "\xFF\xFE" + utf16le("#NAME \"Англо-русский\"\n#INDEX_LANGUAGE "
                                                "\"English\"\n#CONTENTS_LANGUAGE \"Russian\"\n"
                                                "house(s)\n\t[m1][p]n[/p] дом\n"));
    write("En-Ru_abrv.dsl", "n\n\tсущ.\n");
    for (bool expand : {false, true}) {
        TConversion conversion;
        TDslNotes notes;
        readDsl(path, conversion, expand, notes);
        TDictionary d;
        const TConversionReport report = conversion.finish(d);
        EXPECT_EQ(report.terms, 2);
        ASSERT_EQ(d.Count(), 2);
        EXPECT_EQ(d.Term(0), "house");
        EXPECT_EQ(d.Term(1), "houses");
        EXPECT_EQ(d.Article(1), expand ? "  \xF1\xF3\xF9. \xE4\xEE\xEC\n" : "  n \xE4\xEE\xEC\n");
        EXPECT_EQ(d.Name(), "\xC0\xED\xE3\xEB\xEE-\xF0\xF3\xF1\xF1\xEA\xE8\xE9");
        EXPECT_EQ(d.Info(),
                  "\xDF\xE7\xFB\xEA \xE7\xE0\xE3\xEE\xEB\xEE\xE2\xEA\xEE\xE2: "
                  "English\r\n\xDF\xE7\xFB\xEA \xF1\xF2\xE0\xF2\xE5\xE9: Russian");
    }
    std::filesystem::remove(temp_.file("En-Ru_abrv.dsl"));
    TConversion conversion;
    TDslNotes notes;
    EXPECT_THROW(readDsl(path, conversion, true, notes), TError);
}

}  // namespace
