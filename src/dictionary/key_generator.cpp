#include "dictionary/key_generator.h"

void TKeyGenerator::SetWidth(uint32_t n) {
    Mask = 1;
    Width = n;
    for (uint32_t i = 1; i < n; ++i)
        Mask |= Mask << 1;
}

uint32_t TKeyGenerator::Next() {
    // Parity of the tapped bits among the Width bits that take part. A shift by 32 or more is
    // undefined in C++, so the loop stops at bit 31 even when Width says more.
    uint32_t count = 0;
    for (uint32_t i = 0; i < Width && i < 32; ++i) {
        const uint32_t bit = 1u << i;
        if ((State & bit & Taps) != 0)
            ++count;
    }
    State = ((State << 1) | (count % 2)) & Mask;
    return State;
}
