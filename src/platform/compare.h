#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The one term comparison of the program: locale-aware, letter case ignored, over Windows-1251
// byte strings. The dictionary keeps its terms in this order and the word list shows them in
// it, so both must use nothing else.
//
// The locale is the user's (LC_ALL, then LC_COLLATE, then LANG); C and POSIX use the root
// order. Accents and Ё/Е stay distinct; only case is ignored.
namespace compare {

// Negative, zero or positive as a sorts before, equal to or after b.
int terms(std::string_view a, std::string_view b);

// Appends the collation key of term to out and returns the key's length. Two keys compared
// byte by byte as unsigned (a key that is a prefix of another first) order exactly as terms()
// orders their terms, equal keys meaning equal terms; sorting many terms by key is much faster
// than comparing them pairwise. Keys are valid only under the locale they were made with.
size_t appendSortKey(std::string_view term, std::string& out);

// The same comparison over UTF-8 texts (a dictionary of another format read in place): the
// same collator, strength and locale, so a text that Windows-1251 can hold orders the same
// written either way. Bytes that are not well-formed UTF-8 weigh as U+FFFD.
int termsUtf8(std::string_view a, std::string_view b);

// The collation key of a UTF-8 term, as appendSortKey gives it for a Windows-1251 one: keys
// compared byte by byte order as termsUtf8 orders their terms.
size_t appendSortKeyUtf8(std::string_view term, std::string& out);

// The shortcut table of terms() under the current locale, or null when the shortcut is off:
// for each byte, a non-zero weight when the byte collates as one plain unit, else 0. For two
// texts made only of plain bytes, terms() is the first differing weight, or the shorter text
// first when one begins with the other. The weights are ranks from 1 to at most 255 (one per
// plain byte at most), so eight of them pack into 64 bits. Valid until the locale changes (see
// orderGeneration).
const uint32_t* plainWeights();

// The table plainWeights() gives under locale, worked out the long way: every contraction the
// collator has is listed by the collator, where plainWeights() takes the root order's from a
// list made when the program was built and lists only the locale's own. All zero when the
// shortcut is off. For tests, which check that both ways agree.
std::array<uint32_t, 256> plainWeightsListingAll(const std::string& locale);

// A number that changes whenever the collation locale changes, so callers that cached
// something derived from plainWeights() can tell it has gone stale.
uint64_t orderGeneration();

// A name for the order terms() gives now: the collation locale and the version of the
// collation library (whose data comes with it). Terms sorted under one name sort the same under
// that name again, so an order kept on disk can tell whether it still holds. Cheap: it does not
// open the collator.
std::string orderName();

// Chooses the collation locale explicitly ("" means the root order), in place of the user's
// locale that the first comparison otherwise takes from the environment; every derived order
// goes stale (orderGeneration changes). The program never calls it: the user's locale is the
// one it must sort by. Tests, benchmarks and the fuzzer call it, before comparing, so that their
// order does not depend on the machine's environment.
void setLocale(const std::string& locale);

}  // namespace compare
