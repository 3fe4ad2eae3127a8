#include "platform/compare.h"

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>
#include <unicode/uversion.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page_sequences.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "root_sequences.inc"

namespace compare {
namespace {

struct TCollatorCloser {
    void operator()(UCollator* c) const { ucol_close(c); }
};

std::string environmentLocale() {
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            std::string locale(value);
            // "ru_RU.UTF-8@euro" → "ru_RU": ICU wants neither the charset nor the modifier.
            locale = locale.substr(0, locale.find_first_of(".@"));
            if (locale == "C" || locale == "POSIX")
                return "";
            return locale;
        }
    }
    return "";
}

// The shortcut table: for each Windows-1251 byte, the primary weight of its character when
// that character collates as one plain unit (exactly one collation element, a non-zero
// primary, the common secondary, and not part of any contraction or context), else 0.
//
// For two texts made only of such bytes the collator's answer at secondary strength is
// simply the first differing primary, or the shorter text first when one is a prefix of the
// other: every character contributes exactly one primary and the same secondary. That covers
// nearly all real terms (Latin and Cyrillic letters, digits, blanks) and costs a table lookup
// per byte instead of a full collation.
using TWeights = std::array<uint32_t, 256>;
using TInvolved = std::array<bool, 256>;

struct TState {
    std::string locale = environmentLocale();
    std::unique_ptr<UCollator, TCollatorCloser> collator;
    TWeights weights{};
    // For texts that are not plain throughout: the primary rank of each character that
    // carries exactly one primary weight (a plain letter, or one such as Ё or Й that is a
    // letter plus an accent of its own level) and takes part in no contraction; else 0.
    TWeights primaryRanks{};
    bool shortcut = false;
    uint64_t generation = 1;
};

TState& state() {
    static TState s;
    return s;
}

// A text in UTF-16 for the collator (stack for short terms, heap otherwise), from
// Windows-1251 bytes or from UTF-8 ones.
struct TUtf16 {
    struct TFromUtf8 {};
    static constexpr size_t kInline = 256;
    UChar inline_[kInline];
    std::u16string heap;
    const UChar* data = nullptr;
    int32_t length = 0;

    explicit TUtf16(std::string_view text) {
        UChar* out = room(text.size());
        for (size_t i = 0; i < text.size(); ++i)
            out[i] = static_cast<UChar>(codepage::toUnicode(static_cast<unsigned char>(text[i])));
        length = static_cast<int32_t>(text.size());
    }

    // Ill-formed bytes become U+FFFD. A UTF-8 text never has more UTF-16 units than bytes.
    TUtf16(std::string_view text, TFromUtf8) {
        UChar* out = room(text.size());
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8WithSub(out, static_cast<int32_t>(std::max<size_t>(text.size(), 1)), &length,
                             text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr,
                             &status);
        if (U_FAILURE(status))
            length = 0;
    }

private:
    UChar* room(size_t units) {
        UChar* out = inline_;
        if (units > kInline) {
            heap.resize(units);
            out = heap.data();
        }
        data = out;
        return out;
    }
};

int collate(UCollator* c, const TUtf16& a, const TUtf16& b) {
    return static_cast<int>(ucol_strcoll(c, a.data, a.length, b.data, b.length));
}

int fullCompare(UCollator* c, std::string_view a, std::string_view b) {
    return collate(c, TUtf16(a), TUtf16(b));
}

// The primary weight of one character if it is one plain collation unit, else 0.
uint32_t plainPrimary(UCollator* c, UChar ch, uint32_t commonSecondary) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements* elements = ucol_openElements(c, &ch, 1, &status);
    if (U_FAILURE(status))
        return 0;
    std::vector<int32_t> ces;
    for (;;) {
        status = U_ZERO_ERROR;
        const int32_t ce = ucol_next(elements, &status);
        if (U_FAILURE(status) || ce == UCOL_NULLORDER || ces.size() > 2)
            break;
        ces.push_back(ce);
    }
    ucol_closeElements(elements);
    // An element whose lowest six bits are 0xC0 continues the one before it (the low half of
    // a long primary).
    auto isContinuation = [](int32_t ce) { return (ce & 0xC0) == 0xC0; };
    if (ces.empty() || ces.size() > 2 || isContinuation(ces[0]))
        return 0;
    if (ces.size() == 2 && !isContinuation(ces[1]))
        return 0;
    const uint32_t high = static_cast<uint32_t>(ucol_primaryOrder(ces[0]));
    const uint32_t low = ces.size() == 2 ? static_cast<uint32_t>(ucol_primaryOrder(ces[1])) : 0;
    if (high == 0 || static_cast<uint32_t>(ucol_secondaryOrder(ces[0])) != commonSecondary)
        return 0;
    return high << 16 | low;
}

// The one non-zero primary weight of a character whose other collation elements carry no
// primary (accents, which weigh only at the secondary level), or 0 for any other character.
uint32_t singlePrimary(UCollator* c, UChar ch) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements* elements = ucol_openElements(c, &ch, 1, &status);
    if (U_FAILURE(status))
        return 0;
    uint32_t primary = 0;
    int primaries = 0;
    bool lastHadPrimary = false;
    bool bad = false;
    for (int steps = 0;; ++steps) {
        status = U_ZERO_ERROR;
        const int32_t ce = ucol_next(elements, &status);
        if (U_FAILURE(status) || ce == UCOL_NULLORDER)
            break;
        if (steps > 8) {
            bad = true;
            break;
        }
        const auto p = static_cast<uint32_t>(ucol_primaryOrder(ce));
        if ((ce & 0xC0) == 0xC0) {
            // The low half of the element before.
            if (lastHadPrimary && primaries == 1)
                primary |= p;
            else if (p != 0)
                bad = true;
            continue;
        }
        lastHadPrimary = p != 0;
        if (p != 0) {
            ++primaries;
            primary = p << 16;
        }
    }
    ucol_closeElements(elements);
    return !bad && primaries == 1 ? primary : 0;
}

// Whether the collator's attributes leave the order to the characters' own weights; under
// the others (ignorable punctuation, a case level, numeric runs) they do not decide it.
bool primariesDecide(UCollator* c) {
    UErrorCode status = U_ZERO_ERROR;
    return ucol_getAttribute(c, UCOL_ALTERNATE_HANDLING, &status) == UCOL_NON_IGNORABLE &&
           ucol_getAttribute(c, UCOL_CASE_LEVEL, &status) == UCOL_OFF &&
           ucol_getAttribute(c, UCOL_NUMERIC_COLLATION, &status) == UCOL_OFF &&
           ucol_getStrength(c) == UCOL_SECONDARY && !U_FAILURE(status);
}

// The secondary weight of a plain letter, which every plain character must carry too; empty
// when the collator does not tell.
std::optional<uint32_t> commonSecondaryOf(UCollator* c) {
    UErrorCode status = U_ZERO_ERROR;
    const UChar letterA = u'a';
    UCollationElements* elements = ucol_openElements(c, &letterA, 1, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    const int32_t aElement = ucol_next(elements, &status);
    ucol_closeElements(elements);
    if (U_FAILURE(status) || aElement == UCOL_NULLORDER)
        return std::nullopt;
    return static_cast<uint32_t>(ucol_secondaryOrder(aElement));
}

// weightOf(character) for the character of every byte but 0 (0 where the character lies
// outside the 16-bit range).
template <typename WeightOf>
TWeights perByte(WeightOf weightOf) {
    TWeights weights{};
    for (int b = 1; b < 256; ++b) {
        const char32_t ch = codepage::toUnicode(static_cast<unsigned char>(b));
        if (ch <= 0xFFFF)
            weights[b] = weightOf(static_cast<UChar>(ch));
    }
    return weights;
}

// A contraction or context sequence collates differently from its characters one by one.
// Such a sequence always contains its last character, so taking that character out of the
// table sends every text holding the sequence to the full comparison; every byte of it is
// marked as involved. Sequences come as Windows-1251 bytes: one with a character outside the
// code page can never occur in our texts.
void dropSequence(std::string_view bytes, TWeights& weights, TInvolved& involved) {
    if (bytes.empty())
        return;
    weights[static_cast<unsigned char>(bytes.back())] = 0;
    for (char b : bytes)
        involved[static_cast<unsigned char>(b)] = true;
}

// Drops every sequence of a set of contractions that can occur in our texts. Returns false
// when the set cannot be read.
bool dropSequences(const USet* sequences, TWeights& weights, TInvolved& involved) {
    return forEachCodePageSequence(
        sequences, [&](const std::string& bytes) { dropSequence(bytes, weights, involved); });
}

// Drops the contractions and contexts of the collator, all of them listed by the collator
// itself. Listing them takes ICU some milliseconds, most of a program start's collation cost.
bool dropAllContractions(UCollator* c, TWeights& weights, TInvolved& involved) {
    USet* contractions = uset_openEmpty();
    UErrorCode status = U_ZERO_ERROR;
    ucol_getContractionsAndExpansions(c, contractions, nullptr, true, &status);
    const bool listed = U_SUCCESS(status) && dropSequences(contractions, weights, involved);
    uset_close(contractions);
    return listed;
}

// The same result for a collator whose root order is the one the program was built with: the
// root's sequences come from the list made at build time, and the locale's own from its
// tailoring, which ICU lists at once. Every sequence of the locale is one of the two (a
// tailoring that overrides a root sequence leaves only a byte dropped for nothing). Returns
// false, with nothing dropped, when the root order differs from the build's.
bool dropContractionsFromBuildList(UCollator* c, TWeights& weights, TInvolved& involved) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCollator, TCollatorCloser> root(ucol_open("", &status));
    if (U_FAILURE(status))
        return false;
    UVersionInfo version;
    ucol_getVersion(root.get(), version);
    if (!std::equal(version, version + U_MAX_VERSION_LENGTH, root_sequences::kVersion))
        return false;
    USet* tailored = ucol_getTailoredSet(c, &status);
    if (U_FAILURE(status))
        return false;
    TWeights w = weights;
    TInvolved inv = involved;
    for (std::string_view sequence : root_sequences::kSequences)
        dropSequence(sequence, w, inv);
    // The tailored set also holds the single characters the locale orders anew (Ukrainian
    // Ґ, Ї); only its strings are sequences.
    const bool listed = forEachCodePageSequence(tailored, [&](const std::string& bytes) {
        if (bytes.size() > 1)
            dropSequence(bytes, w, inv);
    });
    uset_close(tailored);
    if (!listed)
        return false;
    weights = w;
    involved = inv;
    return true;
}

bool dropContractions(UCollator* c, TWeights& weights, TInvolved& involved, bool listAll) {
    return (!listAll && dropContractionsFromBuildList(c, weights, involved)) ||
           dropAllContractions(c, weights, involved);
}

// Replaces the weights of the plain bytes by their characters' ranks in the collator's own
// order of single-character texts. That order is the order of their primaries (their
// secondaries are all common), after any script reordering the locale applies, which the raw
// elements do not show. Returns the plain bytes in that order; empty when there are none or
// the collator's order disagrees with itself, and the shortcut must not be used.
std::vector<int> rankPlainCharacters(UCollator* c, TWeights& weights) {
    std::vector<int> plain;
    for (int b = 0; b < 256; ++b) {
        if (weights[b] != 0)
            plain.push_back(b);
    }
    if (plain.empty())
        return plain;
    auto single = [](int b) { return std::string(1, static_cast<char>(b)); };
    std::stable_sort(plain.begin(), plain.end(),
                     [&](int x, int y) { return fullCompare(c, single(x), single(y)) < 0; });
    uint32_t rank = 1;
    weights[plain[0]] = rank;
    for (size_t i = 1; i < plain.size(); ++i) {
        const int order = fullCompare(c, single(plain[i - 1]), single(plain[i]));
        if (order > 0)
            return {};
        if (order < 0)
            ++rank;
        weights[plain[i]] = rank;
    }
    return plain;
}

// Builds the shortcut table for the collator and checks it against the collator itself on
// every pair of plain characters; returns false when the shortcut must not be used.
bool buildShortcut(UCollator* c, TWeights& weights, TWeights& primaryRanks, bool listAll = false) {
    weights.fill(0);
    primaryRanks.fill(0);
    if (!primariesDecide(c))
        return false;
    const std::optional<uint32_t> commonSecondary = commonSecondaryOf(c);
    if (!commonSecondary)
        return false;

    weights = perByte([&](UChar ch) { return plainPrimary(c, ch, *commonSecondary); });
    const TWeights rawPlain = weights;
    const TWeights rawSingle = perByte([&](UChar ch) { return singlePrimary(c, ch); });
    TInvolved involved{};
    if (!dropContractions(c, weights, involved, listAll))
        return false;
    const std::vector<int> plain = rankPlainCharacters(c, weights);
    if (plain.empty())
        return false;

    // A character with one primary ranks with the plain character of that same primary.
    for (int b = 1; b < 256; ++b) {
        if (rawSingle[b] == 0 || involved[b])
            continue;
        for (int p : plain) {
            if (rawPlain[p] == rawSingle[b]) {
                primaryRanks[b] = weights[p];
                break;
            }
        }
    }
    return true;
}

// The collator of a locale ("" for the root order), at the strength terms() compares at.
std::unique_ptr<UCollator, TCollatorCloser> openCollator(const std::string& locale) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open(locale.empty() ? "" : locale.c_str(), &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        c = ucol_open("", &status);
    }
    if (U_FAILURE(status))
        throw TError(error_text::kNoCollator);
    // Secondary strength: base letters and accents count, letter case does not.
    ucol_setStrength(c, UCOL_SECONDARY);
    return std::unique_ptr<UCollator, TCollatorCloser>(c);
}

UCollator* collator() {
    TState& s = state();
    if (!s.collator) {
        s.collator = openCollator(s.locale);
        s.shortcut = buildShortcut(s.collator.get(), s.weights, s.primaryRanks);
    }
    return s.collator.get();
}

// Compares by a per-byte table when every byte of both texts has an entry in it: the first
// differing entry decides, else the shorter text (its entries a beginning of the other's)
// comes first, else 0. Returns nullopt when some byte has no entry.
std::optional<int> compareByTable(const TWeights& table, std::string_view a, std::string_view b) {
    const auto* pa = reinterpret_cast<const unsigned char*>(a.data());
    const auto* pb = reinterpret_cast<const unsigned char*>(b.data());
    // Both texts must be covered throughout: a sequence that needs the collator may sit
    // after the first difference and still change the answer.
    for (size_t i = 0; i < a.size(); ++i) {
        if (table[pa[i]] == 0)
            return std::nullopt;
    }
    for (size_t i = 0; i < b.size(); ++i) {
        if (table[pb[i]] == 0)
            return std::nullopt;
    }
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const uint32_t wa = table[pa[i]];
        const uint32_t wb = table[pb[i]];
        if (wa != wb)
            return wa < wb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

int terms(std::string_view a, std::string_view b) {
    TState& s = state();
    UCollator* c = s.collator ? s.collator.get() : collator();
    if (s.shortcut) {
        // Plain texts: one primary and the common secondary per character, so the table
        // decides completely.
        if (const std::optional<int> order = compareByTable(s.weights, a, b))
            return *order;
        // Texts with accented letters: every character still gives exactly one primary, so
        // the first differing primary decides, and a text whose primaries are a beginning of
        // the other's comes first. Only equal primaries need the accents, and the collator.
        const std::optional<int> order = compareByTable(s.primaryRanks, a, b);
        if (order && *order != 0)
            return *order;
    }
    return fullCompare(c, a, b);
}

namespace {

// The collation key of a text, appended to out.
size_t appendKey(UCollator* c, const TUtf16& text, std::string& out) {
    const size_t start = out.size();
    // Most keys of secondary strength take about two bytes per character.
    size_t room = 2 * static_cast<size_t>(text.length) + 16;
    for (;;) {
        out.resize(start + room);
        const int32_t needed = ucol_getSortKey(c, text.data, text.length,
                                               reinterpret_cast<uint8_t*>(out.data() + start),
                                               static_cast<int32_t>(room));
        if (needed > 0 && static_cast<size_t>(needed) <= room) {
            out.resize(start + static_cast<size_t>(needed));
            return static_cast<size_t>(needed);
        }
        if (needed <= 0)
            throw TError(error_text::kNoCollationKey);
        room = static_cast<size_t>(needed);
    }
}

// Whether both texts are ASCII made only of plain bytes: then the table decides as for
// Windows-1251 text, whose first half is ASCII. A contraction within ASCII is a sequence of
// the code page too, and so already out of the table.
std::optional<int> compareAsciiByTable(const TWeights& table, std::string_view a,
                                       std::string_view b) {
    for (std::string_view text : {a, b}) {
        for (const char ch : text) {
            if (static_cast<unsigned char>(ch) >= 0x80)
                return std::nullopt;
        }
    }
    return compareByTable(table, a, b);
}

}  // namespace

int termsUtf8(std::string_view a, std::string_view b) {
    TState& s = state();
    UCollator* c = s.collator ? s.collator.get() : collator();
    if (s.shortcut) {
        if (const std::optional<int> order = compareAsciiByTable(s.weights, a, b))
            return *order;
    }
    return collate(c, TUtf16(a, TUtf16::TFromUtf8{}), TUtf16(b, TUtf16::TFromUtf8{}));
}

size_t appendSortKeyUtf8(std::string_view term, std::string& out) {
    return appendKey(collator(), TUtf16(term, TUtf16::TFromUtf8{}), out);
}

size_t appendSortKey(std::string_view term, std::string& out) {
    return appendKey(collator(), TUtf16(term), out);
}

const uint32_t* plainWeights() {
    collator();
    const TState& s = state();
    return s.shortcut ? s.weights.data() : nullptr;
}

std::array<uint32_t, 256> plainWeightsListingAll(const std::string& locale) {
    const auto c = openCollator(locale);
    TWeights weights{};
    TWeights primaryRanks{};
    if (!buildShortcut(c.get(), weights, primaryRanks, true))
        weights.fill(0);
    return weights;
}

std::string orderName() {
    // The library's version, not the collator's: asking the collator would open it, which a
    // caller that only checks a kept order should not pay for. Collation data ships with the
    // library, so its version names the data too.
    UVersionInfo version;
    u_getVersion(version);
    char text[U_MAX_VERSION_STRING_LENGTH];
    u_versionToString(version, text);
    return state().locale + "/" + text;
}

uint64_t orderGeneration() {
    return state().generation;
}

void setLocale(const std::string& locale) {
    TState& s = state();
    s.locale = locale;
    s.collator.reset();
    s.shortcut = false;
    ++s.generation;
}

}  // namespace compare
