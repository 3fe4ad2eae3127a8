#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/term_index.h"
#include "interchange/conversion.h"
#include "interchange/dict_data.h"
#include "interchange/dsl_reader.h"
#include "platform/compare.h"
#include "platform/error.h"
#include "source_support.h"
#include "test_support.h"

namespace {

// UTF-16LE bytes as UTF-16BE.
std::string swapped(std::string le) {
    for (size_t i = 0; i + 1 < le.size(); i += 2)
        std::swap(le[i], le[i + 1]);
    return le;
}

// The entries of a DSL file as "term|term: article" lines (articles rendered, line breaks as
// "/"), sub-entries marked "@"; in places, where each body lies: "file@offset:body".
std::string walked(const std::string& path, TDslNotes& notes, TDslHeader* header = nullptr,
                   std::vector<std::string>* places = nullptr) {
    std::string out;
    const TDslHeader read = walkDsl(
        path,
        [&](const TDslEntry& e) {
            out += e.subEntry ? "@" : "";
            for (size_t i = 0; i < e.terms.size(); ++i)
                out += (i ? "|" : "") + e.terms[i];
            out += ": ";
            for (char c : renderDslBody(e.body, e.headword))
                out += c == '\n' ? '/' : c;
            out += "\n";
            if (places)
                places->push_back(std::filesystem::path(e.file).filename().string() + "@" +
                                  std::to_string(e.bodyOffset) + ":" + std::string(e.body));
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
    const std::string replaced =
        "f: неверных последовательностей UTF-8 или UTF-16 заменено на «�»: ";
    struct TCase {
        std::string name, bytes, decoded;
        std::vector<std::string> notes = {};  // the notes' lines, for a file "f"
    };
    const std::vector<TCase> cases = {
        {"utf-8", text, text},
        {"utf-8 bom", "\xEF\xBB\xBF" + text, text},
        {"utf-16le bom", "\xFF\xFE" + utf16le(text), text},
        {"utf-16le bare", utf16le(text), text},
        {"utf-16be bom", "\xFE\xFF" + swapped(utf16le(text)), text},
        {"utf-16be bare", swapped(utf16le(text)), text},
        {"odd utf-16",
         "\xFF\xFE" + utf16le("ab") + "c",
         "ab",
         {"f: в тексте UTF-16 нечётное число байт (файл обрезан?): последний байт пропущен"}},
        {"lone surrogate",
         "\xFF\xFE" + std::string("a\0\x00\xD8z\0", 6),
         "a\xEF\xBF\xBDz",
         {replaced + "1"}},
        {"surrogate pair", "\xFF\xFE" + std::string("\x3D\xD8\x00\xDE", 4), "\xF0\x9F\x98\x80"},
        {"invalid utf-8",
         "a\xFF"
         "b\xC3",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD",
         {replaced + "2"}},
        {"overlong utf-8", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD", {replaced + "2"}},
        {"empty", "", ""},
    };
    for (const TCase& c : cases) {
        TDslNotes notes;
        EXPECT_EQ(decodeDslText(c.bytes, notes), c.decoded) << c.name;
        EXPECT_EQ(notes.lines("f"), c.notes) << c.name;
    }
}

TEST_F(Dsl, HeaderAndEntriesAndDamagedShapesAreReadWithCountedNotes) {
    struct TCase {
        std::string name, text, entries;
        std::vector<std::string> notes;  // the notes' lines, after the file name
        std::string header = "||";       // name|index language|contents language
    };
    const std::vector<TCase> cases = {
        {"header lines",
         "#NAME \"Общий\"\n#INDEX_LANGUAGE \"English\"\n#CONTENTS_LANGUAGE \"Russian\"\nw\n\tb\n",
         "w: b/\n",
         {},
         "Общий|English|Russian"},
        {"tabbed name", "#NAME\t\"Tabbed\"  \r\nw\n\tb\n", "w: b/\n", {}, "Tabbed||"},
        {"bare name", "#NAME Bare words\nw\n\tb\n", "w: b/\n", {}, "Bare words||"},
        // The first name counts; an unknown header line is no headword.
        {"two names",
         "#NAME \"A\"\n#SOUND_DICTIONARY \"x\"\n#NAME \"B\"\nw\n\tb\n",
         "w: b/\n",
         {},
         "A||"},
        {"empty name", "#NAME\nw\n\tb\n", "w: b/\n", {}},
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
         {"заголовков без статьи пропущено: 1"},
         "x||"},
        {"empty headword",
         "{x}\n\tbody\ny\n\tbody\n",
         "y: body/\n",
         {"пустых заголовков пропущено: 1"}},
        {"invalid utf-8",
         "w\xFF\n\tb\n",
         "w\xEF\xBF\xBD: b/\n",
         {"неверных последовательностей UTF-8 или UTF-16 заменено на «�»: 1"}},
        {"nothing", "", "", {}},
    };
    for (const TCase& c : cases) {
        const std::string path = write("e.dsl", c.text);
        TDslNotes notes;
        TDslHeader h;
        EXPECT_EQ(walked(path, notes, &h), c.entries) << c.name;
        EXPECT_EQ(h.name + "|" + h.indexLanguage + "|" + h.contentsLanguage, c.header) << c.name;
        std::vector<std::string> expected;
        for (const std::string& note : c.notes)
            expected.push_back(path + ": " + note);
        EXPECT_EQ(notes.lines(path), expected) << c.name;
    }
}

TEST_F(Dsl, ManyHeadwordLinesWithoutBodyAreBounded) {
    auto termCount = [&](const std::string& text, TDslNotes& notes) {
        size_t terms = 0;
        walkDsl(
            write("many.dsl", text), [&](const TDslEntry& e) { terms += e.terms.size(); }, notes);
        return terms;
    };
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "w" + std::to_string(i) + "\n";
    TDslNotes notes, none, capped;
    EXPECT_EQ(termCount(text + "\tone body\n", notes), kMaxPendingHeadwords);
    EXPECT_EQ(notes.droppedHeadwordLines, 100000 - kMaxPendingHeadwords);
    EXPECT_EQ(walked(write("many.dsl", text), none), "");  // and with no body at all
    EXPECT_EQ(none.headwordsWithoutBody + none.droppedHeadwordLines, 100000u);

    // Optional parts multiply the terms: an entry gives at most kMaxEntryTerms of them.
    std::string optional;
    for (int i = 0; i < 100; ++i)
        optional += "w" + std::to_string(i) + "(a)(b)(c)(d)(e)\n";
    EXPECT_EQ(termCount(optional + "\tbody\n", capped), kMaxEntryTerms);
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
    std::vector<std::string> places;  // in which file each body lies, where in its decoded text
    const std::string entries = walked(temp_.file("main.dsl"), notes, &header, &places);
    std::string expected = "a: 1/\nb: 2/\n";
    for (int i = 1; i < kMaxIncludeDepth; ++i)
        expected += "d" + std::to_string(i) + ": x/\n";
    expected += "z: 26/\n";
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(header.name, "Main");
    ASSERT_EQ(notes.includes.size(), 2u);
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
    EXPECT_EQ(walked(write("b.dsl.dz", gzipWhole(text)), notes), "zip: сжатый/\n");
    // Far more than any dictionary: plain gzip stops inflating at the limit, dictzip is refused
    // by its size before any chunk is inflated.
    const std::string zeros(kMinInflatedLimit + 1024, '\0');
    for (const std::string& bomb : {gzipWhole(zeros), makeDictzip(zeros, 65535)}) {
        const std::string path = write("bomb.dsl.dz", bomb);
        const std::string error = errorOf([&] { walked(path, notes); });
        EXPECT_NE(error.find(path + ": сжатый текст распаковывается больше"), std::string::npos)
            << error;
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
        const std::string article = cp1251(expand ? "  сущ. дом\n" : "  n дом\n");
        EXPECT_EQ(entries(d), (TEntries{{"house", article}, {"houses", article}}));
        EXPECT_EQ(d.Name(), cp1251("Англо-русский"));
        EXPECT_EQ(d.Info(), cp1251("Язык заголовков: English\r\nЯзык статей: Russian"));
    }
}

}  // namespace

namespace {

TEST_F(Dsl, ArticlesReadInPlaceAreTheConvertersOwn) {
    compare::setLocale("");
    // An invalid byte and a character beyond the basic plane before the bodies: the bytes no
    // longer match the decoded text one for one.
    const std::string utf8 =
        "#NAME \"Česky\xFF\"\n#INDEX_LANGUAGE \"Czech\"\npřítel\n\t[m1]přítel — [b]друг[/b]\n"
        "\t@ ~ můj\n\tmy friend\n\t@\n\t[ex]ещё[/ex]\nhrad{y}\n\tзамок\n";
    const std::string utf16 = "smile\n\t😀 улыбка\ndům\n\t[trn]дом[/trn]\n";
    struct TCase {
        std::string name;
        std::vector<std::pair<std::string, std::string>> files;  // the first is opened
        std::pair<std::string, std::string> entry;  // one term and its article, unfolded
    };
    const std::vector<TCase> cases = {
        {"utf-8", {{"a.dsl", utf8}}, {"přítel", "  přítel — друг\npřítel můj\nещё\n"}},
        {"utf-8 gzip", {{"a.dsl.dz", gzipWhole(utf8)}}, {"přítel můj", "my friend\n"}},
        {"utf-16le", {{"b.dsl", "\xFF\xFE" + utf16le(utf16)}}, {"dům", "дом\n"}},
        {"utf-16le dictzip", {{"b.dsl.dz", makeDictzip(utf16le(utf16), 7)}}, {"dům", "дом\n"}},
        {"utf-16be", {{"b.dsl", "\xFE\xFF" + swapped(utf16le(utf16))}}, {"dům", "дом\n"}},
        {"include",
         {{"main.dsl", "#NAME \"Main\"\nhrad\n\tзамок\n#INCLUDE \"part.dsl\"\nz\n\tзет\n"},
          {"part.dsl", "\xFF\xFE" + utf16le(utf16)}},
         {"dům", "дом\n"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> paths;
        for (const auto& [name, bytes] : c.files)
            paths.push_back(write(name, bytes));
        TConversion conversion;
        TDslNotes notes;
        readDsl(paths[0], conversion, false, notes);
        TDictionary converted, inPlace;
        conversion.finish(converted);
        convertInPlace(paths[0], inPlace);
        EXPECT_EQ(entries(inPlace), entries(converted));
        EXPECT_EQ(inPlace.Name(), converted.Name());
        EXPECT_EQ(inPlace.Info(), converted.Info());
        EXPECT_GT(inPlace.Count(), 1);
        // Text is given as written: no folding.
        const TInPlace read = readInPlace(paths[0]);
        EXPECT_NE(std::find(read.entries.begin(), read.entries.end(), c.entry), read.entries.end());
    }
}

TEST_F(Dsl, SourceChangedSinceTheWalkIsToldNotMisread) {
    const std::string text = "a\n\tfirst\nb\n\tsecond and longer\n";
    for (const std::string name : {"c.dsl", "c.dsl.dz"}) {
        const std::string path = write(name, name.ends_with(".dz") ? makeDictzip(text, 8) : text);
        const std::unique_ptr<TSourceReader> reader = openSourceReader(path);
        ASSERT_TRUE(reader);
        std::vector<std::string> locators;
        reader->walk([&](std::string_view, std::string_view l) { locators.emplace_back(l); },
                     nullptr);
        ASSERT_EQ(locators.size(), 2u);
        write(name, name.ends_with(".dz") ? makeDictzip("a\n\tfirst\n", 8) : "a\n\tfirst\n");
        const std::unique_ptr<TSourceReader> again = openSourceReader(path);
        EXPECT_EQ(again->article(locators[0]), "first\n");
        EXPECT_THROW(again->article(locators[1]), TDictionaryChanged);
        EXPECT_THROW(again->article("\x01"), TDictionaryChanged);
    }
    // An abbreviation file is no dictionary of its own.
    EXPECT_EQ(openSourceReader(write("c_abrv.dsl", "n\n\tnoun\n")), nullptr);
}

}  // namespace
