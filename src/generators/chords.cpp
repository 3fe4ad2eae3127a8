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
const TInterval kNinth{"9", 14, 9, "большая нона"};

int mod12(int v) {
    return ((v % 12) + 12) % 12;
}

// Pitch classes that the strings sound, as a bit set; -1 when nothing sounds.
int soundedSet(const TFingering& f) {
    int set = 0;
    for (int s = 0; s < kStrings; ++s) {
        if (f.frets[s] != kMuted)
            set |= 1 << f.pitchAt(s);
    }
    return set;
}

// Lower is more comfortable. Weights: a muted string and a wide stretch cost more than a
// finger or a step up the neck; a string muted between sounding ones or on the treble side is hard
// to damp and costs most.
int discomfort(const TFingering& f) {
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
    int score = position + 3 * muted + 6 * interiorMuted + 4 * trebleMuted + kStretch[span] +
                fingers + (barre ? 2 : 0);
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
    return root.symbol() + std::string(type->suffix);
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

const std::vector<TChordType>& chordTypes() {
    static const std::vector<TChordType> types = {
        {"", "мажорное трезвучие", {kRoot, kMajorThird, kFifth}, "maj"},
        {"m", "минорное трезвучие", {kRoot, kMinorThird, kFifth}, "min, -"},
        {"5", "квинтаккорд (пауэр-аккорд): основной тон и квинта без терции", {kRoot, kFifth}, ""},
        {"7",
         "доминантсептаккорд (малый мажорный септаккорд)",
         {kRoot, kMajorThird, kFifth, kMinorSeventh},
         "dom7"},
        {"maj7",
         "большой мажорный септаккорд",
         {kRoot, kMajorThird, kFifth, kMajorSeventh},
         "M7, ma7"},
        {"m7",
         "малый минорный септаккорд",
         {kRoot, kMinorThird, kFifth, kMinorSeventh},
         "min7, -7"},
        {"6", "мажорное трезвучие с большой секстой", {kRoot, kMajorThird, kFifth, kSixth}, "add6"},
        {"m6",
         "минорное трезвучие с большой секстой",
         {kRoot, kMinorThird, kFifth, kSixth},
         "min6"},
        {"9",
         "доминантнонаккорд (доминантсептаккорд с большой ноной)",
         {kRoot, kMajorThird, kFifth, kMinorSeventh, kNinth},
         "dom9"},
        {"m9",
         "минорный нонаккорд (малый минорный септаккорд с большой ноной)",
         {kRoot, kMinorThird, kFifth, kMinorSeventh, kNinth},
         "min9, -9"},
        {"maj9",
         "большой мажорный нонаккорд",
         {kRoot, kMajorThird, kFifth, kMajorSeventh, kNinth},
         "M9, ma9"},
        {"add9",
         "мажорное трезвучие с добавленной ноной (без септимы)",
         {kRoot, kMajorThird, kFifth, kNinth},
         "add2"},
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
         "7sus"},
        {"dim", "уменьшённое трезвучие", {kRoot, kMinorThird, kDiminishedFifth}, "°, mb5"},
        {"dim7",
         "уменьшённый септаккорд",
         {kRoot, kMinorThird, kDiminishedFifth, kDiminishedSeventh},
         "°7"},
        {"aug", "увеличенное трезвучие", {kRoot, kMajorThird, kAugmentedFifth}, "+, #5"},
        {"m7b5",
         "полуменьшённый (малый вводный) септаккорд",
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

int fingersNeeded(const TFingering& f) {
    int fretted = 0;
    int lowest = kTopFret + 1;
    for (int fret : f.frets) {
        if (fret > 0) {
            ++fretted;
            lowest = std::min(lowest, fret);
        }
    }
    // Four fingertips do not fit side by side into one fret.
    std::array<int, kTopFret + 1> perFret{};
    for (int fret : f.frets) {
        if (fret > 0)
            ++perFret[fret];
    }
    if (fretted <= 4 && *std::max_element(perFret.begin(), perFret.end()) <= 3)
        return fretted;
    // Otherwise the index finger lies across the lowest fret, from the first string that has
    // it up to the highest sounding string, as in the usual barre shapes; every string under
    // it must be fretted there or higher, and no string outside it fretted.
    int first = -1, last = -1;
    for (int s = 0; s < kStrings; ++s) {
        if (f.frets[s] == lowest && first < 0)
            first = s;
        if (f.frets[s] != kMuted)
            last = s;
    }
    int fingers = 1;
    for (int s = 0; s < kStrings; ++s) {
        const int fret = f.frets[s];
        // The other fingers press strings under the barre; none reaches round to a lower
        // string below its start.
        if (s >= first && s <= last ? fret <= 0 : fret > 0)
            return kImpossible;
        if (fret > lowest)
            ++fingers;
    }
    return fingers;
}

std::optional<TFingering> findFingering(const TChord& chord, bool rootInBass) {
    int wanted = 0;
    for (int pc : chord.pitchClasses())
        wanted |= 1 << pc;
    const int root = chord.root.pitchClass();

    std::optional<TFingering> best;
    std::tuple<int, std::array<int, kStrings>> bestKey;
    // The fretted notes of a fingering lie in some window of kSpanFrets frets; each string
    // offers muting, its open note and the window's frets that give a chord tone.
    for (int window = 1; window <= kTopFret; ++window) {
        std::array<std::vector<int>, kStrings> choices;
        for (int s = 0; s < kStrings; ++s) {
            choices[s].push_back(kMuted);
            if (wanted & (1 << kOpenPitch[s]))
                choices[s].push_back(0);
            for (int fret = window; fret < window + kSpanFrets && fret <= kTopFret; ++fret) {
                if (wanted & (1 << mod12(kOpenPitch[s] + fret)))
                    choices[s].push_back(fret);
            }
        }
        std::array<size_t, kStrings> pick{};
        for (;;) {
            TFingering f;
            int sounding = 0;
            for (int s = 0; s < kStrings; ++s) {
                f.frets[s] = choices[s][pick[s]];
                sounding += f.frets[s] != kMuted;
            }
            const int bass = [&] {
                for (int s = 0; s < kStrings; ++s) {
                    if (f.frets[s] != kMuted)
                        return f.pitchAt(s);
                }
                return -1;
            }();
            if (sounding >= 3 && soundedSet(f) == wanted && (!rootInBass || bass == root) &&
                fingersNeeded(f) <= 4) {
                const auto key = std::make_tuple(discomfort(f), f.frets);
                if (!best || key < bestKey) {
                    best = f;
                    bestKey = key;
                }
            }
            int s = kStrings - 1;
            while (s >= 0 && ++pick[s] == choices[s].size()) {
                pick[s] = 0;
                --s;
            }
            if (s < 0)
                break;
        }
    }
    return best;
}

TFingering chooseFingering(const TChord& chord) {
    if (auto f = findFingering(chord, true))
        return *f;
    if (auto f = findFingering(chord, false))
        return *f;
    throw TError("No fingering for the chord " + chord.name());
}

std::string article(const TChord& chord, const TFingering& fingering) {
    const std::string name = chord.name();
    const std::string rootName = chord.root.symbol();
    std::string out;
    appendAll(out, {name, " — ", chord.type->russian, "\nОсновной тон: ", chord.root.russian(),
                    " (", rootName, ")\n"});
    if (auto other = enharmonic(chord.root))
        appendAll(out,
                  {"Тот же аккорд: ", other->symbol() + std::string(chord.type->suffix), "\n"});
    if (!chord.type->aliases.empty()) {
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
        for (const TNoteName& n : notes) {
            if (n.pitchClass() == pc)
                return n.symbol();
        }
        return std::string("?");
    };
    appendAll(out, {"\nАппликатура (стандартный строй EADGBE, от 6-й струны к 1-й): ",
                    fingering.code(), "\n"});
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
    out += "(x — струна не звучит, o — открытая струна, * — прижать; слева номера ладов)\n";

    out += "Звучат: ";
    int bassPc = -1;
    for (int s = 0; s < kStrings; ++s) {
        const int pc = fingering.pitchAt(s);
        if (pc >= 0 && bassPc < 0)
            bassPc = pc;
        appendAll(out, {s ? " " : "", pc < 0 ? "x" : spelled(pc)});
    }
    out += "\n";
    if (bassPc == chord.root.pitchClass())
        out += "В басу основной тон.\n";
    else
        appendAll(out, {"В басу ", spelled(bassPc),
                        ": обращение (с основным тоном в басу все ноты аккорда в четыре лада "
                        "не взять).\n"});
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
        "с диезами и бемолями: ноты, интервалы и одна аппликатура с диаграммой.\r\n"
        "Составлен программой Termovel: ноты выведены по правилам гармонии, аппликатуры найдены "
        "перебором грифа (не шире четырёх ладов, основной тон в басу, где это возможно).\r\n"
        "Лицензия: CC0 1.0 — общественное достояние, можно использовать без ограничений."));
    int added = 0;
    for (const TNoteName& root : rootSpellings()) {
        for (const TChordType& type : chordTypes()) {
            const TChord chord{root, &type};
            if (dictionary.AddTerm(cp1251(chord.name()),
                                   cp1251(article(chord, chooseFingering(chord)))) >= 0)
                ++added;
        }
    }
    return added;
}

}  // namespace chords
