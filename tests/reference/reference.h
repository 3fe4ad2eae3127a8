#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TDictionary;
struct UCollator;

// The literal forms of what the core computes a faster way, each doing exactly what the rule
// says one step at a time. They are slow on purpose: the differential tests check that the fast
// code gives their answers, and the benchmarks show what the fast code saves.
namespace reference {

// Adds the keystream to size bytes, stepping a TKeyGenerator set up with the built-in key once
// per byte before the byte is changed, exactly as the register is defined.
void scrambleByRegister(char* data, size_t size);
// Subtracts the keystream from size bytes, stepping the register the same way.
void unscrambleByRegister(char* data, size_t size);

// Scans from the first position and returns the first term that begins with prefix when both
// are upper-cased, or -1 when none does or prefix is empty.
int linearPrefixSearch(const TDictionary& dictionary, std::string_view prefix);

// The checksum that closes a look-up index file, taken over its size bytes one 64-bit word at a
// time: each whole 32-byte block gives its four little-endian words to four running values in
// turn, which are then combined, and the bytes after the last whole block go in one by one.
uint64_t indexChecksum(const char* data, size_t size);

// A collator of its own for a locale ("" the root order), at the strength of the term
// comparison, that compares every text in full: no shortcut, no table.
class TFullCollator {
public:
    // Falls back to the root order when ICU has no collator for locale; raises
    // TError("Cannot open the collator") when it has none at all.
    explicit TFullCollator(const std::string& locale);
    ~TFullCollator();
    TFullCollator(const TFullCollator&) = delete;
    TFullCollator& operator=(const TFullCollator&) = delete;

    // Negative, zero or positive as Windows-1251 text a sorts before, equal to or after b.
    int terms(std::string_view a, std::string_view b) const;

private:
    UCollator* collator_ = nullptr;
};

}  // namespace reference
