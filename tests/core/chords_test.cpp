#include "generators/chords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
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

// Every chord of every root gets a fingering that a hand can hold and that sounds the chord's
// notes and nothing else, its root on the lowest sounding string where that can be done.
TEST(Chords, EveryFingeringSoundsExactlyTheChordWithTheRootInTheBass) {
    const std::vector<TChord> all = allChords();
    ASSERT_GE(all.size(), 17u * 15u);
    int inversions = 0;
    for (const TChord& chord : all) {
        SCOPED_TRACE(chord.name());
        const TFingering f = chords::chooseFingering(chord);
        // The chord's notes from its spelling: the letter's natural pitch plus the accidental.
        std::set<int> expected;
        for (const TNoteName& n : chord.notes()) {
            const int natural[7] = {0, 2, 4, 5, 7, 9, 11};
            expected.insert(((natural[n.letter] + n.accidental) % 12 + 12) % 12);
        }
        EXPECT_EQ(sounded(f), expected) << f.code();

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
        EXPECT_GE(sounding, 3) << f.code();
        EXPECT_LE(highest - lowest, 3) << f.code();
        EXPECT_LE(chords::fingersNeeded(f), 4) << f.code();
        // The root is in the bass wherever some fingering allows it.
        if (bass != chord.root.pitchClass()) {
            ++inversions;
            EXPECT_FALSE(chords::findFingering(chord, true)) << f.code();
        }
    }
    // Only a few five-note chords cannot have their root on the lowest string.
    EXPECT_LE(inversions, 10);
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
        {"C", "", "C E G"},           {"C#", "", "C# E# G#"},     {"Db", "m7", "Db Fb Ab Cb"},
        {"C", "dim7", "C Eb Gb Bbb"}, {"G#", "aug", "G# B# D##"}, {"Bb", "9", "Bb D F Ab C"},
        {"F#", "m7b5", "F# A C E"},   {"E", "sus4", "E A B"},
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
    EXPECT_EQ(added, static_cast<int>(allChords().size()));
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
