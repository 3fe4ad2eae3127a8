#include "dictionary/key_generator.h"

#include <bit>

void TKeyGenerator::SetWidth(uint32_t n) {
    Mask = 1;
    Width = n;
    for (uint32_t i = 1; i < n; ++i)
        Mask |= Mask << 1;
}

uint32_t TKeyGenerator::Next() {
    // Parity of the tapped bits among the Width bits that take part. A shift by 32 or more is
    // undefined in C++, so only bits below 32 count even when Width says more.
    const uint32_t taking = Width >= 32 ? ~0u : (1u << Width) - 1;
    const uint32_t parity = static_cast<uint32_t>(std::popcount(State & Taps & taking)) & 1u;
    State = ((State << 1) | parity) & Mask;
    return State;
}
