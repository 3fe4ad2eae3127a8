#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TDictionary;

// Guitar chords for the bundled chord dictionary: how each chord is spelled, and the shapes a
// guitarist plays it with on a six-string guitar in standard tuning, found by searching the
// fretboard under a model of the fretting hand.
namespace chords {

// Strings from the lowest (6th, low E) to the highest (1st, high E).
constexpr int kStrings = 6;
// Pitch classes (C = 0 … B = 11) of the open strings E A D G B E.
constexpr std::array<int, kStrings> kOpenPitch = {4, 9, 2, 7, 11, 4};
// Fretted notes lie within this many frets (lowest to highest fretted fret at most 3 apart).
constexpr int kSpanFrets = 4;
// The highest fret the search reaches.
constexpr int kTopFret = 15;
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
    std::string_view symbol;  // "1", "b3", "#5", "bb7", "9", "13"
    int semitones;
    int degree;                // 1..13: how many letters up from the root, counting the root
    std::string_view russian;  // UTF-8
};

struct TChordType {
    std::string_view suffix;   // "m7", "" for the major triad
    std::string_view russian;  // UTF-8 description of the chord's kind
    std::vector<TInterval> intervals;
    std::string_view aliases;  // other suffixes in use, comma separated; may be empty
    // Interval symbols a guitarist may leave out, space separated ("5", "1 5"); may be empty.
    std::string_view omittable = {};
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
    // The bass note of a slash chord (C/G); none when the root is the bass.
    std::optional<TNoteName> bass = std::nullopt;

    // Term of the chord: "C#m7", "Dbm7", "E", "D/F#".
    std::string name() const;
    // The chord's notes spelled from the root, in interval order (a slash chord's bass not
    // among them).
    std::vector<TNoteName> notes() const;
    // Their pitch classes, in interval order.
    std::vector<int> pitchClasses() const;
    // Pitch class that the lowest string should sound: the slash bass, else the root.
    int bassPitch() const;
};

// The chord types of the dictionary.
const std::vector<TChordType>& chordTypes();

// The seventeen root spellings: naturals, and both the sharp and the flat name of every black
// key (C#/Db, D#/Eb, F#/Gb, G#/Ab, A#/Bb).
const std::vector<TNoteName>& rootSpellings();

// The slash chords guitarists meet most often (C/G, D/F#, Am/G …).
const std::vector<TChord>& slashChords();

// The other spelling of the same root (C# → Db), or none for a natural root.
std::optional<TNoteName> enharmonic(TNoteName root);

// The chord's name as Russian and German songbooks write it, where the note B is called H:
// "H7" for B7, "G/H" for G/B; none when no B is named.
std::optional<std::string> hName(const TChord& chord);

// Fingers the fretting hand needs to hold the fingering, 99 when the hand cannot hold it. The
// hand has four fingers placed in fret order: the index finger may lie as a barre across the
// lowest fret from the first string it presses to the highest sounding string (every string
// under it fretted there or higher; the other fingers press strings under it, or lower strings
// when the barre holds its own alone); fingertips sharing a fret stand one behind another, at
// most three, with open strings ringing in one gap between them at most.
int fingersNeeded(const TFingering& fingering);

// The most comfortable fingering that sounds the chord (every note but those the type lets go,
// nothing outside it, with rootInBass its bass on the lowest sounding string, at least three
// strings), holds its fretted notes within kSpanFrets frets and needs at most four fingers. None
// when no fingering meets the rules. Comfort favours low positions, open strings, all six strings
// sounding (a power chord's two or three aside), every note of the chord, few fingers, no barre and
// fingers that do not zig-zag across the strings.
std::optional<TFingering> findFingering(const TChord& chord, bool rootInBass);

// Where a shape sits on the neck.
enum class TShapeKind {
    Open,         // open strings ring in the first three frets
    SixthString,  // the bass on the 6th string, no open string (the E-shape barre and its kin)
    FifthString,  // the bass on the 5th string, the 6th muted, no open string (the A-shape)
    Other,        // none of those: the chord has no shape of the kinds above
    Inversion,    // the bass is not the chord's bass: no other shape exists
};

struct TShape {
    TFingering fingering;
    TShapeKind kind;
};

// The shapes a guitarist reaches for first, at most three: the open shape when it is the most
// comfortable way to take the chord, then the 6th- and 5th-string shapes, lower on the neck
// first. Of the open shapes about as comfortable as the most comfortable, the one that changes
// fewest strings of the plain triad's open shape comes first (Asus4 x02230 from A x02220), a
// ninth voiced below the third counting as one change more (Cadd9 x32030, not x30010). Raises
// TError when the chord has no fingering at all.
std::vector<TShape> commonShapes(const TChord& chord);

// The chord's first shape. Raises TError when it has none.
TFingering chooseFingering(const TChord& chord);

// The chord's article, UTF-8: name and kind, notes, intervals and every shape as a line of tab
// with its diagram.
std::string article(const TChord& chord, const std::vector<TShape>& shapes);

// Fills an empty dictionary with every chord of every root spelling, the H names of the B
// chords and the slash chords, and sets its header. Returns the number of terms added. Raises
// TError when a text cannot be written in Windows-1251 or a chord has no fingering.
int buildChordDictionary(TDictionary& dictionary);

}  // namespace chords
