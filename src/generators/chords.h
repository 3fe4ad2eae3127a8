#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TDictionary;

// Guitar chords for the bundled chord dictionary: how each chord is spelled, and one playable
// fingering on a six-string guitar in standard tuning, found by searching the fretboard.
namespace chords {

// Strings from the lowest (6th, low E) to the highest (1st, high E).
constexpr int kStrings = 6;
// Pitch classes (C = 0 … B = 11) of the open strings E A D G B E.
constexpr std::array<int, kStrings> kOpenPitch = {4, 9, 2, 7, 11, 4};
// Fretted notes lie within this many frets (lowest to highest fretted fret at most 3 apart).
constexpr int kSpanFrets = 4;
// The highest fret the search reaches.
constexpr int kTopFret = 12;
constexpr int kMuted = -1;

// A note as musicians spell it: a letter (0..6 for C D E F G A B) and an accidental in
// semitones (-2 double flat … +2 double sharp).
struct TNoteName {
    int letter = 0;
    int accidental = 0;

    int pitchClass() const;
    // "C#", "Bb", "Fbb", "D##".
    std::string symbol() const;
    // The Russian name, UTF-8: "до-диез", "си-бемоль", "ми-дубль-бемоль".
    std::string russian() const;
};

// One interval above the root.
struct TInterval {
    std::string_view symbol;  // "1", "b3", "#5", "bb7", "9"
    int semitones;
    int degree;                // 1..9: how many letters up from the root, counting the root
    std::string_view russian;  // UTF-8
};

struct TChordType {
    std::string_view suffix;   // "m7", "" for the major triad
    std::string_view russian;  // UTF-8 description of the chord's kind
    std::vector<TInterval> intervals;
    std::string_view aliases;  // other suffixes in use, comma separated; may be empty
};

// One fingering: for each string from the 6th to the 1st, the fret (0 = open) or kMuted.
struct TFingering {
    std::array<int, kStrings> frets{};

    // Pitch class sounded by string s, or -1 when it is muted.
    int pitchAt(int s) const;
    // The lowest fretted fret, 0 when no string is fretted.
    int position() const;
    // Compact form, 6th string first: "x32010"; frets of 10 and more are separated by dashes:
    // "x-10-12-12-12-x".
    std::string code() const;
};

struct TChord {
    TNoteName root;
    const TChordType* type = nullptr;

    // Term of the chord: "C#m7", "Dbm7", "E".
    std::string name() const;
    // The chord's notes spelled from the root, in interval order.
    std::vector<TNoteName> notes() const;
    // Their pitch classes, in interval order.
    std::vector<int> pitchClasses() const;
};

// The chord types of the dictionary.
const std::vector<TChordType>& chordTypes();

// The seventeen root spellings: naturals, and both the sharp and the flat name of every black
// key (C#/Db, D#/Eb, F#/Gb, G#/Ab, A#/Bb).
const std::vector<TNoteName>& rootSpellings();

// The other spelling of the same root (C# → Db), or none for a natural root.
std::optional<TNoteName> enharmonic(TNoteName root);

// Fingers needed to hold the fingering, a barre of the index finger across the lowest fret
// counting as one; 99 when no finger placement holds it (an open or muted string under the
// barre).
int fingersNeeded(const TFingering& fingering);

// The most comfortable fingering that sounds exactly the chord's pitch classes (each at least
// once, nothing else), holds its fretted notes within kSpanFrets frets and needs at most four
// fingers. With rootInBass the lowest sounding string plays the root. None when no fingering
// meets the rules. Comfort favours low positions, open strings, all six strings sounding, few
// fingers and no barre.
std::optional<TFingering> findFingering(const TChord& chord, bool rootInBass);

// The chord's fingering: with the root in the bass when one exists, else any.
// Raises TError when neither exists.
TFingering chooseFingering(const TChord& chord);

// The chord's article, UTF-8: name and kind, notes, intervals and the fingering drawn as a
// text diagram.
std::string article(const TChord& chord, const TFingering& fingering);

// Fills an empty dictionary with every chord of every root spelling and sets its header.
// Returns the number of terms added. Raises TError when a text cannot be written in
// Windows-1251 or a chord has no fingering.
int buildChordDictionary(TDictionary& dictionary);

}  // namespace chords
