#include "generators/chords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "dictionary/dictionary.h"
#include "platform/codepage.h"
#include "platform/compare.h"

using chords::TChord;
using chords::TFingering;
using chords::TNoteName;

namespace {

// Pitch classes of the open strings from the 6th to the 1st, written out here rather than
// taken from the code under test: E2 A2 D3 G3 B3 E4.
const int kTuning[6] = {4, 9, 2, 7, 11, 4};

std::set<int> sounded(const TFingering& f) {
    std::set<int> out;
    for (int s = 0; s < 6; ++s) {
        if (f.frets[s] >= 0)
            out.insert((kTuning[s] + f.frets[s]) % 12);
    }
    return out;
}

int pitchOf(const TNoteName& n) {
    const int natural[7] = {0, 2, 4, 5, 7, 9, 11};
    return ((natural[n.letter] + n.accidental) % 12 + 12) % 12;
}

std::vector<TChord> allChords() {
    std::vector<TChord> out;
    for (const TNoteName& root : chords::rootSpellings()) {
        for (const auto& type : chords::chordTypes())
            out.push_back({root, &type});
    }
    return out;
}

const chords::TChordType& typeOf(std::string_view suffix) {
    for (const auto& type : chords::chordTypes()) {
        if (type.suffix == suffix)
            return type;
    }
    throw std::runtime_error("no chord type " + std::string(suffix));
}

// Parses a root such as "C#" or "Bb".
TNoteName rootOf(std::string_view symbol) {
    TNoteName n;
    n.letter = static_cast<int>(std::string_view("CDEFGAB").find(symbol[0]));
    for (char c : symbol.substr(1))
        n.accidental += c == '#' ? 1 : -1;
    return n;
}

}  // namespace

// Every shape of every chord, slash chords included, is one a hand can hold, and sounds the
// chord's notes and nothing else (bar the notes its type lets a guitarist leave out), with the
// chord's bass (the root, or the note after the slash) on the lowest sounding string.
TEST(Chords, EveryShapeSoundsItsChordWithItsBassAndTheHandHoldsIt) {
    std::vector<TChord> all = allChords();
    ASSERT_GE(all.size(), 17u * 25u);
    all.insert(all.end(), chords::slashChords().begin(), chords::slashChords().end());
    for (const TChord& chord : all) {
        SCOPED_TRACE(chord.name());
        const std::vector<chords::TShape> shapes = chords::commonShapes(chord);
        ASSERT_FALSE(shapes.empty());
        EXPECT_LE(shapes.size(), 3u);
        // The chord's notes from its spelling: the letter's natural pitch plus the accidental;
        // those of intervals the type does not let go must sound.
        std::set<int> allowed, required;
        const std::vector<TNoteName> notes = chord.notes();
        for (size_t i = 0; i < notes.size(); ++i) {
            const int pitch = pitchOf(notes[i]);
            allowed.insert(pitch);
            std::string omittable = " " + std::string(chord.type->omittable) + " ";
            if (omittable.find(" " + std::string(chord.type->intervals[i].symbol) + " ") ==
                std::string::npos)
                required.insert(pitch);
        }
        const int wantedBass = pitchOf(chord.bass ? *chord.bass : chord.root);
        allowed.insert(wantedBass);
        required.insert(wantedBass);
        std::set<std::string> codes;
        for (const chords::TShape& shape : shapes) {
            const TFingering& f = shape.fingering;
            SCOPED_TRACE(f.code());
            EXPECT_TRUE(codes.insert(f.code()).second);
            const std::set<int> heard = sounded(f);
            EXPECT_TRUE(std::includes(allowed.begin(), allowed.end(), heard.begin(), heard.end()));
            EXPECT_TRUE(
                std::includes(heard.begin(), heard.end(), required.begin(), required.end()));

            int lowest = 99, highest = 0, sounding = 0, bass = -1;
            for (int s = 0; s < 6; ++s) {
                const int fret = f.frets[s];
                ASSERT_GE(fret, -1);
                ASSERT_LE(fret, 15);
                if (fret < 0)
                    continue;
                ++sounding;
                if (bass < 0)
                    bass = (kTuning[s] + fret) % 12;
                if (fret > 0) {
                    lowest = std::min(lowest, fret);
                    highest = std::max(highest, fret);
                }
            }
            EXPECT_GE(sounding, 3);
            EXPECT_LE(highest - lowest, 3);
            EXPECT_LE(chords::fingersNeeded(f), 4);
            EXPECT_EQ(bass, wantedBass);
            EXPECT_NE(shape.kind, chords::TShapeKind::Inversion);
        }
    }
}

// The familiar open chords come out as guitarists learn them, a sign that the comfort order
// is sensible.
TEST(Chords, OpenChordsAreTheFamiliarShapes) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"C", "", "x32010"},  {"A", "m", "x02210"}, {"E", "", "022100"},  {"E", "m", "022000"},
        {"A", "", "x02220"},  {"D", "", "xx0232"},  {"D", "m", "xx0231"}, {"G", "", "320003"},
        {"F", "", "133211"},  {"E", "7", "020100"}, {"A", "7", "x02020"}, {"B", "", "x24442"},
        {"G#", "", "466544"},
    };
    for (const auto& [root, suffix, code] : cases) {
        const TChord chord{rootOf(root), &typeOf(suffix)};
        EXPECT_EQ(chords::chooseFingering(chord).code(), code) << chord.name();
    }
}

TEST(Chords, NotesAreSpelledFromTheRootsLetter) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"C", "", "C E G"},           {"C#", "", "C# E# G#"},
        {"Db", "m7", "Db Fb Ab Cb"},  {"C", "dim7", "C Eb Gb Bbb"},
        {"G#", "aug", "G# B# D##"},   {"Bb", "9", "Bb D F Ab C"},
        {"F#", "m7b5", "F# A C E"},   {"E", "sus4", "E A B"},
        {"C", "13", "C E G Bb D A"},  {"Db", "7b9", "Db F Ab Cb Ebb"},
        {"A", "7#9", "A C# E G B#"},  {"F", "11", "F A C Eb G Bb"},
        {"C", "m(maj7)", "C Eb G B"}, {"G", "6/9", "G B D E A"},
    };
    for (const auto& [root, suffix, spelled] : cases) {
        const TChord chord{rootOf(root), &typeOf(suffix)};
        std::string out;
        for (const TNoteName& n : chord.notes())
            out += (out.empty() ? "" : " ") + n.symbol();
        EXPECT_EQ(out, spelled) << chord.name();
    }
}

TEST(Chords, FingersCountABarreOnce) {
    const std::vector<std::pair<TFingering, int>> cases = {
        {{{-1, 3, 2, 0, 1, 0}}, 3},   // four fretted strings or fewer: a finger each
        {{{1, 3, 3, 2, 1, 1}}, 4},    // barre at the first fret and three fingers
        {{{-1, 1, 3, 3, 3, 1}}, 4},   // barre from the 5th string
        {{{1, 3, 3, 2, 0, 1}}, 99},   // an open string under the barre
        {{{4, 3, 1, 1, 1, 4}}, 99},   // fretted strings below where the barre starts
        {{{-1, 1, 0, 1, 1, 1}}, 99},  // four fingertips in one fret, an open string between
        {{{1, 0, 1, 0, 1, 3}}, 99},   // three fingertips in one fret, open strings in two gaps
        {{{-1, 2, 1, 2, 0, 2}}, 4},   // three fingertips in one fret, one open string between
        {{{3, 2, 0, 0, 3, 3}}, 4},    // open strings in one gap only
        {{{-1, 3, 3, 2, 1, 1}}, 4},   // fingers reach round a barre that holds its strings alone
    };
    for (const auto& [fingering, fingers] : cases)
        EXPECT_EQ(chords::fingersNeeded(fingering), fingers) << fingering.code();
}

// Both spellings of a black-key root are terms of their own, each with its full article, and
// the article draws the fingering it names.
TEST(Chords, DictionaryHoldsBothSpellingsWithDiagrams) {
    compare::setLocale("");
    TDictionary d;
    const int added = chords::buildChordDictionary(d);
    // Every chord, the H names of the chords on B, the slash chords (G/B also as G/H).
    const int bChords = static_cast<int>(chords::chordTypes().size()) + 1;
    EXPECT_EQ(added, static_cast<int>(allChords().size() + chords::slashChords().size()) + bChords);
    EXPECT_EQ(d.Count(), added);
    EXPECT_EQ(d.Author(), "Termovel");
    EXPECT_FALSE(d.Name().empty());
    EXPECT_NE(d.Info().find("CC0"), std::string::npos);
    for (const char* term : {"C#m7", "Dbm7", "Ebmaj7", "D#maj7", "Gbdim7", "F#dim7", "Bm7b5"})
        EXPECT_GE(d.Find(term), 0) << term;
    const std::string c = codepage::toUtf8(d.Article(d.Find("C")));
    EXPECT_NE(c.find("x32010"), std::string::npos) << c;
    EXPECT_NE(c.find("     x     o   o\n     ===========\n"
                     "  1  | | | | * |\n  2  | | * | | |\n  3  | * | | | |\n"),
              std::string::npos)
        << c;
    const std::string dbm7 = codepage::toUtf8(d.Article(d.Find("Dbm7")));
    EXPECT_NE(dbm7.find("Тот же аккорд: C#m7"), std::string::npos) << dbm7;
    EXPECT_NE(dbm7.find("Db Fb Ab Cb"), std::string::npos) << dbm7;
}

namespace {

// The bundled dictionary, built once for the tests that read its articles.
const TDictionary& chordDictionary() {
    static const TDictionary* dictionary = [] {
        compare::setLocale("");
        auto* d = new TDictionary;
        chords::buildChordDictionary(*d);
        return d;
    }();
    return *dictionary;
}

std::string articleOf(std::string_view term) {
    const TDictionary& d = chordDictionary();
    const int index = d.Find(std::string(term));
    return index < 0 ? std::string() : codepage::toUtf8(d.Article(index));
}

// The shapes an article lists, in order: the code after each "1) ", "2) ", "3) ".
std::vector<std::string> listedShapes(const std::string& article) {
    std::vector<std::string> out;
    for (size_t at = 0; (at = article.find(") ", at)) != std::string::npos; at += 2) {
        if (at < 2 || article[at - 2] != '\n' || !std::isdigit(article[at - 1]))
            continue;
        out.push_back(article.substr(at + 2, article.find(' ', at + 2) - at - 2));
    }
    return out;
}

}  // namespace

// The chords every guitarist knows list first the shapes they learn: the open shape where
// one is played, then the barres, the lower first. The H names find the B chords.
TEST(Chords, WellKnownChordsListTheShapesGuitaristsLearnFirst) {
    // Each term (it starts with a capital), then the shapes its article lists first, in order.
    std::istringstream words(
        "C x32010 x35553 8-10-10-9-8-8  G 320003 355433  D xx0232  A x02220 577655  "
        "E 022100 x79997  Am x02210  Em 022000  Dm xx0231  C7 x32310  G7 320001  D7 xx0212  "
        "A7 x02020  E7 020100  B7 x21202  Am7 x02010  Dm7 xx0211  Cmaj7 x32000  Fmaj7 xx3210  "
        "Am(maj7) x02110  Caug x32110  Bm7b5 x20201  Dsus4 xx0233  Dsus2 xx0230  Asus2 x02200  "
        "E9 020102  E5 022xxx  F 133211 x-8-10-10-10-8  Bm x24432 799777  Bb x13331 688766  "
        "Cm x35543 8-10-10-8-8-8  F#m 244222  C#m x46654  Ab 466544  F5 133xxx  F9 131213  "
        "C/G 332010  C/E 032010  D/F# 200232  G/B x20003  Am/E 002210  D/A x00232  F/C x33211  "
        "Em/D xx0000  H x24442  Hm x24432 799777  H7 x21202  G/H x20003  Asus4 x02230  "
        "Esus4 022200  Cadd9 x32030");
    std::vector<std::pair<std::string, std::vector<std::string>>> cases;
    for (std::string word; words >> word;) {
        if (std::isupper(static_cast<unsigned char>(word[0])))
            cases.push_back({word, {}});
        else
            cases.back().second.push_back(word);
    }
    ASSERT_EQ(cases.size(), 50u);
    for (const auto& [term, leading] : cases) {
        const std::vector<std::string> shapes = listedShapes(articleOf(term));
        ASSERT_GE(shapes.size(), leading.size()) << term;
        EXPECT_EQ(std::vector<std::string>(shapes.begin(), shapes.begin() + leading.size()),
                  leading)
            << term;
    }
}

// The articles name chords as guitarists do and say what they should about them.
TEST(Chords, ArticlesUseTheNamesGuitaristsUse) {
    struct TCase {
        std::string term;
        std::string present;
        std::string absent;
    };
    const std::vector<TCase> cases = {
        {"Caug", "Другие обозначения: C+, C(#5)", "C#5"},
        {"C#5", "пауэр-аккорд", "квинтаккорд"},
        {"Bm7b5", "полууменьшённый", "полуменьшённый"},
        {"C", "мажорное трезвучие", "Cmaj"},
        {"H7", "пишут H7", ""},
        {"B", "пишут H:", ""},
        {"Bbm", "пишут Bm:", ""},
        {"C7", "x32310 — открытая", ""},
        {"C7", "(не берётся: чистая квинта)", ""},
        {"Am/G", "Бас: соль (G)", ""},
        {"C9", "большая нона", "в четыре лада не взять"},
    };
    for (const TCase& c : cases) {
        const std::string text = articleOf(c.term);
        ASSERT_FALSE(text.empty()) << c.term;
        EXPECT_NE(text.find(c.present), std::string::npos) << c.term << "\n" << text;
        if (!c.absent.empty()) {
            EXPECT_EQ(text.find(c.absent), std::string::npos) << c.term << "\n" << text;
        }
    }
}
