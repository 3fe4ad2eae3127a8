#include "generators/chords.h"

#include <algorithm>
#include <tuple>

#include "dictionary/dictionary.h"
#include "platform/codepage.h"
#include "platform/error.h"

namespace chords {

namespace {

constexpr std::array<int, 7> kLetterPitch = {0, 2, 4, 5, 7, 9, 11};
constexpr std::array<char, 7> kLetterSymbol = {'C', 'D', 'E', 'F', 'G', 'A', 'B'};
constexpr std::array<std::string_view, 7> kLetterRussian = {"до",   "ре", "ми", "фа",
                                                            "соль", "ля", "си"};
constexpr std::array<std::string_view, kStrings> kStringNames = {"E", "A", "D", "G", "B", "E"};
constexpr int kImpossible = 99;

const TInterval kRoot{"1", 0, 1, "основной тон (прима)"};
const TInterval kMajorSecond{"2", 2, 2, "большая секунда"};
const TInterval kMinorThird{"b3", 3, 3, "малая терция"};
const TInterval kMajorThird{"3", 4, 3, "большая терция"};
const TInterval kFourth{"4", 5, 4, "чистая кварта"};
const TInterval kDiminishedFifth{"b5", 6, 5, "уменьшённая квинта"};
const TInterval kFifth{"5", 7, 5, "чистая квинта"};
const TInterval kAugmentedFifth{"#5", 8, 5, "увеличенная квинта"};
const TInterval kSixth{"6", 9, 6, "большая секста"};
const TInterval kDiminishedSeventh{"bb7", 9, 7, "уменьшённая септима"};
const TInterval kMinorSeventh{"b7", 10, 7, "малая септима"};
const TInterval kMajorSeventh{"7", 11, 7, "большая септима"};
const TInterval kMinorNinth{"b9", 13, 9, "малая нона"};
const TInterval kNinth{"9", 14, 9, "большая нона"};
const TInterval kAugmentedNinth{"#9", 15, 9, "увеличенная нона"};
const TInterval kEleventh{"11", 17, 11, "чистая ундецима"};
const TInterval kThirteenth{"13", 21, 13, "большая терцдецима"};

int mod12(int v) {
    return ((v % 12) + 12) % 12;
}

bool isNaturalB(const TNoteName& n) {
    return n.letter == 6 && n.accidental == 0;
}

// Whether the interval's symbol is among the type's omittable ones.
bool omittable(const TChordType& type, std::string_view symbol) {
    std::string_view list = type.omittable;
    while (!list.empty()) {
        const size_t space = list.find(' ');
        if (list.substr(0, space) == symbol)
            return true;
        list = space == std::string_view::npos ? "" : list.substr(space + 1);
    }
    return false;
}

// The pitch classes a fingering of the chord may sound and those it must sound, as bit sets.
struct TPitchSets {
    int allowed = 0;
    int required = 0;
};

TPitchSets pitchSets(const TChord& chord) {
    TPitchSets sets;
    const int root = chord.root.pitchClass();
    for (const TInterval& i : chord.type->intervals) {
        const int bit = 1 << mod12(root + i.semitones);
        sets.allowed |= bit;
        if (!omittable(*chord.type, i.symbol))
            sets.required |= bit;
    }
    const int bass = 1 << chord.bassPitch();
    sets.allowed |= bass;
    sets.required |= bass;
    return sets;
}

// Pitch classes that the strings sound, as a bit set.
int soundedSet(const TFingering& f) {
    int set = 0;
    for (int s = 0; s < kStrings; ++s) {
        if (f.frets[s] != kMuted)
            set |= 1 << f.pitchAt(s);
    }
    return set;
}

int bits(int set) {
    int n = 0;
    for (; set; set &= set - 1)
        ++n;
    return n;
}

// Whether the fingering sounds the chord: every note it must keep, nothing outside the chord,
// the chord's bass on the lowest sounding string when rootInBass, and at least three strings.
bool soundsChord(const TChord& chord, const TFingering& f, bool rootInBass) {
    const TPitchSets sets = pitchSets(chord);
    const int sounded = soundedSet(f);
    if ((sounded & ~sets.allowed) || (sets.required & ~sounded))
        return false;
    int sounding = 0, bass = -1;
    for (int s = 0; s < kStrings; ++s) {
        if (f.frets[s] == kMuted)
            continue;
        if (bass < 0)
            bass = f.pitchAt(s);
        ++sounding;
    }
    return sounding >= 3 && (!rootInBass || bass == chord.bassPitch());
}

// Calls visit(fret, previous, s) for each fingertip, taken finger by finger in fret order (in
// one fret from the bass string), the notes under the barre aside: s is the tip's string and
// previous the string of the tip before it in the same fret, or -1.
template <typename TVisit>
void forEachTip(const TFingering& f, int barreFret, TVisit visit) {
    for (int fret = 1; fret <= kTopFret; ++fret) {
        if (fret == barreFret)
            continue;
        int previous = -1;
        for (int s = 0; s < kStrings; ++s) {
            if (f.frets[s] != fret)
                continue;
            visit(fret, previous, s);
            previous = s;
        }
    }
}

// Fingertips that share a fret other than the barre's stand one behind another in it: at most
// three, and open strings may ring in one gap between neighbouring ones, not in two.
bool tipsFit(const TFingering& f, int barreFret) {
    std::array<int, kTopFret + 1> tips{}, openGaps{};
    forEachTip(f, barreFret, [&](int fret, int previous, int s) {
        ++tips[fret];
        if (previous >= 0 && std::count(f.frets.begin() + previous + 1, f.frets.begin() + s, 0) > 0)
            ++openGaps[fret];
    });
    return std::ranges::all_of(tips, [](int n) { return n <= 3; }) &&
           std::ranges::all_of(openGaps, [](int n) { return n <= 1; });
}

// How often the fingertips, taken finger by finger in fret order, turn back across the strings;
// notes under the barre are the barre's.
int turns(const TFingering& f, int barreFret) {
    int count = 0, direction = 0, last = -1;
    forEachTip(f, barreFret, [&](int, int, int s) {
        if (last >= 0) {
            const int step = s > last ? 1 : -1;
            if (direction != 0 && step != direction)
                ++count;
            direction = step;
        }
        last = s;
    });
    return count;
}

// How many pairs of neighbouring fingertips in one fret (the barre's aside) lie more than two
// strings apart with a note fretted higher between them: the hand spreads two fingers wide along a
// fret while the others reach past them up the neck.
int spreads(const TFingering& f, int barreFret) {
    int count = 0;
    forEachTip(f, barreFret, [&](int fret, int previous, int s) {
        if (previous >= 0 && s - previous > 2 &&
            std::any_of(f.frets.begin() + previous + 1, f.frets.begin() + s,
                        [fret](int other) { return other > fret; }))
            ++count;
    });
    return count;
}

// Lower is more comfortable. Weights: a muted string and a wide stretch cost more than a
// finger or a step up the neck; a string muted between sounding ones or on the treble side is hard
// to damp and costs most. A note of the chord left out costs a little: the full chord is
// preferred where the hand takes it as easily.
int discomfort(const TFingering& f, int missingNotes, bool powerChord) {
    int first = kStrings, last = -1, muted = 0, lowest = kTopFret + 1, highest = 0, open = 0;
    for (int s = 0; s < kStrings; ++s) {
        const int fret = f.frets[s];
        if (fret == kMuted) {
            ++muted;
            continue;
        }
        first = std::min(first, s);
        last = std::max(last, s);
        if (fret == 0) {
            ++open;
        } else {
            lowest = std::min(lowest, fret);
            highest = std::max(highest, fret);
        }
    }
    const int interiorMuted = (last - first + 1) - (kStrings - muted);
    const int trebleMuted = kStrings - 1 - last;
    const int fretted = kStrings - muted - open;
    const int position = fretted > 0 ? lowest : 0;
    const int span = fretted > 0 ? highest - lowest : 0;
    const int fingers = fingersNeeded(f);
    const bool barre = fingers < fretted;
    // A stretch over the full four frets is much harder than over three.
    constexpr std::array<int, kSpanFrets> kStretch = {0, 1, 3, 10};
    // A power chord is played on two or three strings, the rest damped by the palm.
    const int mutedCost = powerChord ? 0 : 3 * muted + 4 * trebleMuted;
    // Fingers zig-zagging across the strings twice or more twist the hand; so do two fingers
    // spread wide in one fret around a higher one.
    const int barreFret = barre ? lowest : 0;
    const int twist = std::max(0, turns(f, barreFret) - 1) + spreads(f, barreFret);
    int score = position + mutedCost + 6 * interiorMuted + kStretch[span] + fingers +
                (barre ? 2 : 0) + 2 * missingNotes + 8 * twist;
    // Open strings ringing against notes high up the neck sound thin and are rarely played;
    // one between fretted strings there needs the hand arched over it as well.
    if (open > 0 && position >= 4)
        score += 4;
    if (position >= 3) {
        for (int s = 1; s + 1 < kStrings; ++s) {
            const bool fretBelow = std::any_of(f.frets.begin(), f.frets.begin() + s,
                                               [](int fret) { return fret > 0; });
            const bool fretAbove = std::any_of(f.frets.begin() + s + 1, f.frets.end(),
                                               [](int fret) { return fret > 0; });
            if (f.frets[s] == 0 && fretBelow && fretAbove)
                score += 6;
        }
    }
    return score;
}

// A fingering with its discomfort.
struct TScored {
    int score;
    TFingering fingering;
};

// Every fingering that sounds the chord and that the hand holds, the most comfortable first.
std::vector<TScored> playable(const TChord& chord, bool rootInBass) {
    const TPitchSets sets = pitchSets(chord);
    const bool powerChord = chord.type->intervals.size() == 2;
    std::vector<std::tuple<int, std::array<int, kStrings>>> found;
    // The fretted notes of a fingering lie in some window of kSpanFrets frets; each string
    // offers muting, its open note and the window's frets that give a chord tone.
    for (int window = 1; window + kSpanFrets - 1 <= kTopFret; ++window) {
        std::array<std::vector<int>, kStrings> choices;
        for (int s = 0; s < kStrings; ++s) {
            choices[s].push_back(kMuted);
            if (sets.allowed & (1 << kOpenPitch[s]))
                choices[s].push_back(0);
            for (int fret = window; fret < window + kSpanFrets; ++fret) {
                if (sets.allowed & (1 << mod12(kOpenPitch[s] + fret)))
                    choices[s].push_back(fret);
            }
        }
        std::array<size_t, kStrings> pick{};
        for (;;) {
            TFingering f;
            bool inWindow = false;
            for (int s = 0; s < kStrings; ++s) {
                f.frets[s] = choices[s][pick[s]];
                inWindow = inWindow || f.frets[s] == window;
            }
            // A fingering is taken in the window of its lowest fretted fret (or the first
            // window when nothing is fretted), so that it is found once.
            const bool ownWindow = inWindow || (window == 1 && f.position() == 0);
            if (ownWindow && soundsChord(chord, f, rootInBass) && fingersNeeded(f) <= 4)
                found.emplace_back(discomfort(f, bits(sets.allowed & ~soundedSet(f)), powerChord),
                                   f.frets);
            int s = kStrings - 1;
            while (s >= 0 && ++pick[s] == choices[s].size()) {
                pick[s] = 0;
                --s;
            }
            if (s < 0)
                break;
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<TScored> out;
    for (const auto& [score, frets] : found)
        out.push_back({score, TFingering{frets}});
    return out;
}

// The shape's kind by where it sits; none when it is of no listed kind.
std::optional<TShapeKind> kindOf(const TFingering& f, bool powerChord) {
    const bool anyOpen = std::count(f.frets.begin(), f.frets.end(), 0) > 0;
    if (anyOpen) {
        // Sounding strings side by side up to the 1st string (a power chord's stop short),
        // fretted notes in the first three frets.
        int first = -1, last = -1;
        for (int s = 0; s < kStrings; ++s) {
            if (f.frets[s] != kMuted) {
                if (first < 0)
                    first = s;
                last = s;
            }
        }
        const bool gap = std::count(f.frets.begin() + first, f.frets.begin() + last + 1, kMuted);
        const int highest = *std::max_element(f.frets.begin(), f.frets.end());
        if (!gap && highest <= 3 && (powerChord || last == kStrings - 1))
            return TShapeKind::Open;
        return std::nullopt;
    }
    // Barre shapes start on the 6th or 5th string below the 12th fret, where the open shape
    // itself would stand.
    if (f.frets[0] > 0 && f.frets[0] < 12)
        return TShapeKind::SixthString;
    if (f.frets[0] == kMuted && f.frets[1] > 0 && f.frets[1] < 12)
        return TShapeKind::FifthString;
    return std::nullopt;
}

void appendAll(std::string& out, std::initializer_list<std::string_view> parts) {
    for (std::string_view p : parts)
        out.append(p);
}

}  // namespace

int TNoteName::pitchClass() const {
    return mod12(kLetterPitch[letter] + accidental);
}

std::string TNoteName::symbol() const {
    std::string out(1, kLetterSymbol[letter]);
    out.append(static_cast<size_t>(std::abs(accidental)), accidental > 0 ? '#' : 'b');
    return out;
}

std::string TNoteName::russian() const {
    std::string out(kLetterRussian[letter]);
    if (std::abs(accidental) == 2)
        out += "-дубль";
    if (accidental > 0)
        out += "-диез";
    else if (accidental < 0)
        out += "-бемоль";
    return out;
}

int TFingering::pitchAt(int s) const {
    return frets[s] == kMuted ? -1 : mod12(kOpenPitch[s] + frets[s]);
}

int TFingering::position() const {
    int lowest = 0;
    for (int fret : frets) {
        if (fret > 0 && (lowest == 0 || fret < lowest))
            lowest = fret;
    }
    return lowest;
}

std::string TFingering::code() const {
    const bool wide = std::any_of(frets.begin(), frets.end(), [](int f) { return f >= 10; });
    std::string out;
    for (int s = 0; s < kStrings; ++s) {
        if (wide && s > 0)
            out.push_back('-');
        out += frets[s] == kMuted ? "x" : std::to_string(frets[s]);
    }
    return out;
}

std::string TChord::name() const {
    std::string out = root.symbol() + std::string(type->suffix);
    if (bass)
        out += "/" + bass->symbol();
    return out;
}

std::vector<TNoteName> TChord::notes() const {
    std::vector<TNoteName> out;
    for (const TInterval& i : type->intervals) {
        // The note takes the letter that many degrees up, and whatever accidental makes the
        // interval right: E# rather than F in C# major, Bbb in C dim7.
        TNoteName n;
        n.letter = (root.letter + i.degree - 1) % 7;
        int accidental = mod12(root.pitchClass() + i.semitones - kLetterPitch[n.letter]);
        if (accidental > 6)
            accidental -= 12;
        n.accidental = accidental;
        out.push_back(n);
    }
    return out;
}

std::vector<int> TChord::pitchClasses() const {
    std::vector<int> out;
    for (const TInterval& i : type->intervals)
        out.push_back(mod12(root.pitchClass() + i.semitones));
    return out;
}

int TChord::bassPitch() const {
    return bass ? bass->pitchClass() : root.pitchClass();
}

const std::vector<TChordType>& chordTypes() {
    static const std::vector<TChordType> types = {
        {"", "мажорное трезвучие", {kRoot, kMajorThird, kFifth}, ""},
        {"m", "минорное трезвучие", {kRoot, kMinorThird, kFifth}, "min, -"},
        {"5", "пауэр-аккорд: основной тон и квинта без терции", {kRoot, kFifth}, ""},
        {"7",
         "доминантсептаккорд (малый мажорный септаккорд)",
         {kRoot, kMajorThird, kFifth, kMinorSeventh},
         "dom7",
         "5"},
        {"maj7",
         "большой мажорный септаккорд",
         {kRoot, kMajorThird, kFifth, kMajorSeventh},
         "M7, ma7",
         "5"},
        {"m7",
         "малый минорный септаккорд",
         {kRoot, kMinorThird, kFifth, kMinorSeventh},
         "min7, -7",
         "5"},
        {"m(maj7)",
         "большой минорный септаккорд (минорное трезвучие с большой септимой)",
         {kRoot, kMinorThird, kFifth, kMajorSeventh},
         "mM7, mmaj7, m(M7)",
         "5"},
        {"6", "мажорное трезвучие с большой секстой", {kRoot, kMajorThird, kFifth, kSixth}, "add6"},
        {"m6",
         "минорное трезвучие с большой секстой",
         {kRoot, kMinorThird, kFifth, kSixth},
         "min6"},
        {"6/9",
         "мажорное трезвучие с большой секстой и большой ноной (без септимы)",
         {kRoot, kMajorThird, kFifth, kSixth, kNinth},
         "69, 6add9",
         "5"},
        {"9",
         "доминантнонаккорд (доминантсептаккорд с большой ноной)",
         {kRoot, kMajorThird, kFifth, kMinorSeventh, kNinth},
         "dom9",
         "1 5"},
        {"7b9",
         "доминантсептаккорд с малой ноной",
         {kRoot, kMajorThird, kFifth, kMinorSeventh, kMinorNinth},
         "7(b9), 7-9",
         "1 5"},
        {"7#9",
         "доминантсептаккорд с увеличенной ноной (мажорная терция и минорная вместе)",
         {kRoot, kMajorThird, kFifth, kMinorSeventh, kAugmentedNinth},
         "7(#9), 7+9",
         "1 5"},
        {"m9",
         "минорный нонаккорд (малый минорный септаккорд с большой ноной)",
         {kRoot, kMinorThird, kFifth, kMinorSeventh, kNinth},
         "min9, -9",
         "1 5"},
        {"maj9",
         "большой мажорный нонаккорд",
         {kRoot, kMajorThird, kFifth, kMajorSeventh, kNinth},
         "M9, ma9",
         "1 5"},
        {"add9",
         "мажорное трезвучие с добавленной ноной (без септимы)",
         {kRoot, kMajorThird, kFifth, kNinth},
         "add2"},
        {"11",
         "ундецимаккорд: доминантсептаккорд с ноной и ундецимой; терцию, которая спорит с "
         "ундецимой, на гитаре обычно не берут",
         {kRoot, kMajorThird, kFifth, kMinorSeventh, kNinth, kEleventh},
         "",
         "3 5"},
        {"13",
         "терцдецимаккорд: доминантсептаккорд с большой терцдецимой (ундециму в нём не берут, "
         "нону и квинту часто опускают)",
         {kRoot, kMajorThird, kFifth, kMinorSeventh, kNinth, kThirteenth},
         "",
         "5 9"},
        {"sus2",
         "аккорд с задержанием: большая секунда вместо терции",
         {kRoot, kMajorSecond, kFifth},
         ""},
        {"sus4",
         "аккорд с задержанием: чистая кварта вместо терции",
         {kRoot, kFourth, kFifth},
         "sus"},
        {"7sus4",
         "доминантсептаккорд с квартой вместо терции",
         {kRoot, kFourth, kFifth, kMinorSeventh},
         "7sus",
         "5"},
        {"dim", "уменьшённое трезвучие", {kRoot, kMinorThird, kDiminishedFifth}, "°, mb5"},
        {"dim7",
         "уменьшённый септаккорд",
         {kRoot, kMinorThird, kDiminishedFifth, kDiminishedSeventh},
         "°7"},
        {"aug", "увеличенное трезвучие", {kRoot, kMajorThird, kAugmentedFifth}, "+, (#5)"},
        {"m7b5",
         "полууменьшённый (малый вводный) септаккорд",
         {kRoot, kMinorThird, kDiminishedFifth, kMinorSeventh},
         "m7(b5), m7-5"},
    };
    return types;
}

const std::vector<TNoteName>& rootSpellings() {
    static const std::vector<TNoteName> roots = {
        {0, 0},  {0, 1}, {1, -1}, {1, 0},  {1, 1}, {2, -1}, {2, 0},  {3, 0}, {3, 1},
        {4, -1}, {4, 0}, {4, 1},  {5, -1}, {5, 0}, {5, 1},  {6, -1}, {6, 0},
    };
    return roots;
}

const std::vector<TChord>& slashChords() {
    static const std::vector<TChord> slash = [] {
        const auto& types = chordTypes();
        const TChordType* major = &types[0];
        const TChordType* minor = &types[1];
        constexpr int C = 0, D = 1, E = 2, F = 3, G = 4, A = 5, B = 6;
        return std::vector<TChord>{
            {{C, 0}, major, TNoteName{G, 0}}, {{C, 0}, major, TNoteName{E, 0}},
            {{D, 0}, major, TNoteName{F, 1}}, {{G, 0}, major, TNoteName{B, 0}},
            {{A, 0}, minor, TNoteName{G, 0}}, {{A, 0}, minor, TNoteName{E, 0}},
            {{D, 0}, major, TNoteName{A, 0}}, {{F, 0}, major, TNoteName{C, 0}},
            {{G, 0}, major, TNoteName{D, 0}}, {{E, 0}, minor, TNoteName{D, 0}},
        };
    }();
    return slash;
}

std::optional<TNoteName> enharmonic(TNoteName root) {
    if (root.accidental == 0)
        return std::nullopt;
    for (const TNoteName& other : rootSpellings()) {
        if (other.accidental != 0 && other.letter != root.letter &&
            other.pitchClass() == root.pitchClass())
            return other;
    }
    return std::nullopt;
}

std::optional<std::string> hName(const TChord& chord) {
    const bool rootB = isNaturalB(chord.root);
    const bool bassB = chord.bass && isNaturalB(*chord.bass);
    if (!rootB && !bassB)
        return std::nullopt;
    std::string out = (rootB ? "H" : chord.root.symbol()) + std::string(chord.type->suffix);
    if (chord.bass)
        out += "/" + (bassB ? std::string("H") : chord.bass->symbol());
    return out;
}

int fingersNeeded(const TFingering& f) {
    int fretted = 0;
    int lowest = kTopFret + 1;
    for (int fret : f.frets) {
        if (fret > 0) {
            ++fretted;
            lowest = std::min(lowest, fret);
        }
    }
    if (fretted <= 4 && tipsFit(f, 0))
        return fretted;
    // Otherwise the index finger lies across the lowest fret, from the first string that has
    // it up to the highest sounding string, as in the usual barre shapes; every string under
    // it must be fretted there or higher. Other fingers press strings under the barre, or
    // reach round its start to lower strings (the small F, xx3211) when the barre holds its
    // strings alone.
    int first = -1, last = -1;
    for (int s = 0; s < kStrings; ++s) {
        if (f.frets[s] == lowest && first < 0)
            first = s;
        if (f.frets[s] != kMuted)
            last = s;
    }
    int fingers = 1;
    bool underBarre = false, belowBarre = false;
    for (int s = 0; s < kStrings; ++s) {
        const int fret = f.frets[s];
        if (s >= first && s <= last && fret <= 0)
            return kImpossible;
        if (fret > lowest) {
            ++fingers;
            (s < first ? belowBarre : underBarre) = true;
        }
    }
    if (belowBarre && underBarre)
        return kImpossible;
    return tipsFit(f, lowest) ? fingers : kImpossible;
}

std::optional<TFingering> findFingering(const TChord& chord, bool rootInBass) {
    const std::vector<TScored> all = playable(chord, rootInBass);
    if (all.empty())
        return std::nullopt;
    return all.front().fingering;
}

namespace {

// The open shape of the chord's plain triad (major, or minor where the chord has a minor
// third), which guitarists learn its other open chords from; none for a triad itself, a slash
// or power chord, or a triad without an open shape.
std::optional<TFingering> triadOpenShape(const TChord& chord) {
    if (chord.bass || chord.type->intervals.size() == 2 || chord.type->suffix == "" ||
        chord.type->suffix == "m")
        return std::nullopt;
    const bool minor = std::ranges::any_of(chord.type->intervals,
                                           [](const TInterval& i) { return i.symbol == "b3"; });
    for (const TChordType& type : chordTypes()) {
        if (type.suffix != (minor ? "m" : ""))
            continue;
        for (const TShape& shape : commonShapes(TChord{chord.root, &type})) {
            if (shape.kind == TShapeKind::Open)
                return shape.fingering;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<TShape> commonShapes(const TChord& chord) {
    const std::vector<TScored> all = playable(chord, true);
    std::optional<TScored> open, sixth, fifth;
    const std::optional<TFingering> triad = triadOpenShape(chord);
    // How many strings an open shape changes from the triad's; a ninth voiced below the third
    // (Cadd9 x30010, an added second rather than a ninth) counts as one change more.
    int ninth = -1, third = -1;
    for (const TInterval& i : chord.type->intervals) {
        if (i.degree == 9)
            ninth = (chord.root.pitchClass() + i.semitones) % 12;
        else if (i.degree == 3)
            third = (chord.root.pitchClass() + i.semitones) % 12;
    }
    auto changes = [&](const TFingering& f) {
        int count = 0, lowestNinth = kStrings, lowestThird = kStrings;
        for (int s = kStrings - 1; s >= 0; --s) {
            if (f.frets[s] != triad->frets[s])
                ++count;
            if (f.pitchAt(s) >= 0 && f.pitchAt(s) == ninth)
                lowestNinth = s;
            if (f.pitchAt(s) >= 0 && f.pitchAt(s) == third)
                lowestThird = s;
        }
        return count + (lowestNinth < lowestThird && lowestThird < kStrings ? 1 : 0);
    };
    // An open shape about as comfortable as the most comfortable one is preferred when it is
    // nearer the triad's shape (Asus4 x02230 from A x02220, rather than x00230).
    constexpr int kLearntMargin = 4;
    for (const TScored& scored : all) {
        const std::optional<TShapeKind> kind =
            kindOf(scored.fingering, chord.type->intervals.size() == 2);
        if (!kind)
            continue;
        std::optional<TScored>& slot = *kind == TShapeKind::Open          ? open
                                       : *kind == TShapeKind::SixthString ? sixth
                                                                          : fifth;
        if (!slot)
            slot = scored;
        else if (*kind == TShapeKind::Open && triad &&
                 scored.score <= slot->score + kLearntMargin &&
                 changes(scored.fingering) < changes(slot->fingering))
            slot = scored;
    }
    // The open shape counts only while it is about as easy as the easier barre: where the
    // barre is clearly easier (Bb x13331 against x10331), guitarists play the barre.
    constexpr int kOpenMargin = 3;
    int barreScore = kImpossible * 10;
    for (const auto& barre : {sixth, fifth}) {
        if (barre)
            barreScore = std::min(barreScore, barre->score);
    }
    if (open && open->score > barreScore + kOpenMargin)
        open.reset();
    std::vector<TShape> out;
    if (open)
        out.push_back({open->fingering, TShapeKind::Open});
    std::vector<TShape> barres;
    if (sixth)
        barres.push_back({sixth->fingering, TShapeKind::SixthString});
    if (fifth)
        barres.push_back({fifth->fingering, TShapeKind::FifthString});
    // The barre lower on the neck first (Bm takes x24432 before 799777).
    std::stable_sort(barres.begin(), barres.end(), [](const TShape& a, const TShape& b) {
        return a.fingering.position() < b.fingering.position();
    });
    out.insert(out.end(), barres.begin(), barres.end());
    if (out.empty() && !all.empty())
        out.push_back(TShape{all.front().fingering, TShapeKind::Other});
    if (out.empty()) {
        // With no fingering holding the bass, the chord is taken in an inversion.
        if (auto f = findFingering(chord, false))
            out.push_back(TShape{*f, TShapeKind::Inversion});
    }
    if (out.empty())
        throw TError("No fingering for the chord " + chord.name());
    return out;
}

TFingering chooseFingering(const TChord& chord) {
    return commonShapes(chord).front().fingering;
}

namespace {

// The diagram of one fingering: string names, open and muted strings, then four frets.
void appendDiagram(std::string& out, const TFingering& fingering) {
    const int position = fingering.position();
    const int highest = *std::max_element(fingering.frets.begin(), fingering.frets.end());
    const int top = highest <= kSpanFrets ? 1 : position;
    std::string line = "     ";
    for (std::string_view s : kStringNames)
        appendAll(line, {s, " "});
    line.pop_back();
    out += line + "\n";
    line = "     ";
    for (int s = 0; s < kStrings; ++s) {
        const int fret = fingering.frets[s];
        appendAll(line, {fret == kMuted ? "x" : fret == 0 ? "o" : " ", " "});
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + "\n";
    out += top == 1 ? "     ===========\n" : "     -----------\n";
    for (int fret = top; fret < top + kSpanFrets; ++fret) {
        line = (fret < 10 ? "  " : " ") + std::to_string(fret) + "  ";
        for (int s = 0; s < kStrings; ++s)
            appendAll(line, {fingering.frets[s] == fret ? "*" : "|", " "});
        line.pop_back();
        out += line + "\n";
    }
}

// "открытая", "бас на 6-й струне, баррэ на 3-м ладу", "бас на 5-й струне, с 2-го лада".
std::string caption(const TShape& shape) {
    const TFingering& f = shape.fingering;
    switch (shape.kind) {
        case TShapeKind::Open:
            return "открытая";
        case TShapeKind::Inversion:
            return "обращение: в басу не основной тон";
        case TShapeKind::Other:
            return "с " + std::to_string(f.position()) + "-го лада";
        case TShapeKind::SixthString:
        case TShapeKind::FifthString:
            break;
    }
    int fretted = 0;
    for (int fret : f.frets)
        fretted += fret > 0;
    const bool barre = fingersNeeded(f) < fretted;
    return std::string(shape.kind == TShapeKind::SixthString ? "бас на 6-й струне"
                                                             : "бас на 5-й струне") +
           (barre ? ", баррэ на " + std::to_string(f.position()) + "-м ладу"
                  : ", с " + std::to_string(f.position()) + "-го лада");
}

// The line on the letters B and H for chords on B and on B flat; empty for others.
std::string songbookLine(const TChord& chord) {
    if (auto h = hName(chord))
        return "В русских и немецких песенниках этот аккорд пишут " + *h +
               ": си там обозначают буквой H, а буквой B — си-бемоль (B7 такого песенника — "
               "это Bb7).\n";
    if (chord.root.letter == 6 && chord.root.accidental == -1 && !chord.bass)
        return "В русских и немецких песенниках этот аккорд пишут B" +
               std::string(chord.type->suffix) +
               ": буквой B там обозначают си-бемоль, а си — буквой H.\n";
    return "";
}

}  // namespace

std::string article(const TChord& chord, const std::vector<TShape>& shapes) {
    const std::string name = chord.name();
    const std::string rootName = chord.root.symbol();
    std::string out;
    appendAll(out, {name, " — ", chord.type->russian});
    if (chord.bass)
        appendAll(out, {", в басу ", chord.bass->russian(),
                        " (нота после косой черты звучит ниже всех)"});
    appendAll(out, {"\nОсновной тон: ", chord.root.russian(), " (", rootName, ")\n"});
    if (chord.bass)
        appendAll(out, {"Бас: ", chord.bass->russian(), " (", chord.bass->symbol(), ")\n"});
    if (auto other = enharmonic(chord.root); other && !chord.bass)
        appendAll(out,
                  {"Тот же аккорд: ", other->symbol() + std::string(chord.type->suffix), "\n"});
    if (!chord.type->aliases.empty() && !chord.bass) {
        out += "Другие обозначения: ";
        std::string_view aliases = chord.type->aliases;
        for (bool first = true; !aliases.empty(); first = false) {
            const size_t comma = aliases.find(", ");
            if (!first)
                out += ", ";
            appendAll(out, {rootName, aliases.substr(0, comma)});
            aliases = comma == std::string_view::npos ? "" : aliases.substr(comma + 2);
        }
        out += "\n";
    }
    out += songbookLine(chord);

    const std::vector<TNoteName> notes = chord.notes();
    out += "\nНоты:";
    for (const TNoteName& n : notes)
        appendAll(out, {" ", n.symbol()});
    out += " (";
    for (size_t i = 0; i < notes.size(); ++i)
        appendAll(out, {i ? ", " : "", notes[i].russian()});
    out += ")\nИнтервалы от основного тона:\n";
    for (size_t i = 0; i < notes.size(); ++i) {
        const TInterval& interval = chord.type->intervals[i];
        appendAll(out,
                  {"  ", interval.symbol, " — ", interval.russian, ": ", notes[i].symbol(), "\n"});
    }

    // The sounding strings name the note they play, spelled as in the chord.
    auto spelled = [&](int pc) {
        if (chord.bass && chord.bass->pitchClass() == pc)
            return chord.bass->symbol();
        for (const TNoteName& n : notes) {
            if (n.pitchClass() == pc)
                return n.symbol();
        }
        return std::string("?");
    };
    out += shapes.size() == 1 ? "\nАппликатура (стандартный строй EADGBE, от 6-й струны к 1-й):\n"
                              : "\nАппликатуры (стандартный строй EADGBE, от 6-й струны к 1-й):\n";
    for (size_t k = 0; k < shapes.size(); ++k) {
        const TFingering& fingering = shapes[k].fingering;
        appendAll(out, {"\n", std::to_string(k + 1), ") ", fingering.code(), " — ",
                        caption(shapes[k]), "\n"});
        appendDiagram(out, fingering);
        out += "Звучат: ";
        int sounded = 0;
        for (int s = 0; s < kStrings; ++s) {
            const int pc = fingering.pitchAt(s);
            if (pc >= 0)
                sounded |= 1 << pc;
            appendAll(out, {s ? " " : "", pc < 0 ? "x" : spelled(pc)});
        }
        // The notes guitarists leave out, named by their interval.
        std::string left;
        for (size_t i = 0; i < notes.size(); ++i) {
            if (!(sounded & (1 << notes[i].pitchClass())))
                appendAll(left, {left.empty() ? "" : ", ", chord.type->intervals[i].russian});
        }
        if (!left.empty())
            appendAll(out, {" (не берётся: ", left, ")"});
        out += "\n";
    }
    out += "\n(x — струна не звучит, o — открытая струна, * — прижать; слева номера ладов)\n";
    return out;
}

int buildChordDictionary(TDictionary& dictionary) {
    auto cp1251 = [](std::string_view utf8) {
        auto text = codepage::fromUtf8(utf8);
        if (!text)
            throw TError("Text outside Windows-1251: " + std::string(utf8));
        return *text;
    };
    dictionary.SetName(cp1251("Аккорды для гитары"));
    dictionary.SetAuthor(cp1251("Termovel"));
    dictionary.SetInfo(cp1251(
        "Аккорды шестиструнной гитары в стандартном строе (EADGBE) для всех двенадцати тонов, "
        "с диезами и бемолями, и употребительные слэш-аккорды (C/G, D/F#, Am/G …): ноты, "
        "интервалы и до трёх аппликатур строкой табулатуры (x32010) с диаграммой — открытая, "
        "где она есть, и баррэ с басом на 6-й и на 5-й струне.\r\n"
        "Аккорды на си есть и под русскими и немецкими названиями H, Hm, H7 …: в песенниках на "
        "этих языках си пишут буквой H, а буквой B — си-бемоль.\r\n"
        "Составлен программой Termovel: ноты выведены по правилам гармонии, аппликатуры найдены "
        "перебором грифа по модели руки (четыре пальца по порядку ладов, одно баррэ "
        "указательным, не шире четырёх ладов, основной тон в басу). Квинту септ- и нонаккордов "
        "аппликатуры иногда не берут, как и гитаристы.\r\n"
        "Лицензия: CC0 1.0 — общественное достояние, можно использовать без ограничений; "
        "составители, команда Termovel, отказались от авторских прав."));
    int added = 0;
    auto add = [&](const TChord& chord) {
        const std::string text = cp1251(article(chord, commonShapes(chord)));
        if (dictionary.AddTerm(cp1251(chord.name()), text) >= 0)
            ++added;
        if (auto h = hName(chord); h && dictionary.AddTerm(cp1251(*h), text) >= 0)
            ++added;
    };
    for (const TNoteName& root : rootSpellings()) {
        for (const TChordType& type : chordTypes())
            add(TChord{root, &type});
    }
    for (const TChord& chord : slashChords())
        add(chord);
    return added;
}

}  // namespace chords
