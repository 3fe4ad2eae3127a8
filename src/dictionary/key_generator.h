#pragma once

#include <bit>
#include <cstdint>

// A linear feedback shift register: each step shifts the register one bit towards the high end
// and feeds the parity of the tapped bits back into bit 0. Its low byte is the keystream that
// scrambles dictionary files. Everything is constexpr, so the keystream's whole period can be
// laid down at compile time instead of at every start.
class TKeyGenerator {
public:
    // A generic 3-bit register (State 1, Width 3, Mask 7, Taps 5); callers set their own key.
    TKeyGenerator() = default;

    // Sets Width to n and Mask to 2^n - 1 (n from 1 to 32); n = 0 leaves Mask = 1. State and
    // Taps are not touched.
    constexpr void SetWidth(uint32_t n) {
        Mask = 1;
        Width = n;
        for (uint32_t i = 1; i < n; ++i)
            Mask |= Mask << 1;
    }

    // One register step; returns the new State (callers use its low 8 bits).
    constexpr uint32_t Next() {
        // Parity of the tapped bits among the Width bits that take part. A shift by 32 or more
        // is undefined in C++, so only bits below 32 count even when Width says more.
        const uint32_t taking = Width >= 32 ? ~0u : (1u << Width) - 1;
        const uint32_t parity = static_cast<uint32_t>(std::popcount(State & Taps & taking)) & 1u;
        State = ((State << 1) | parity) & Mask;
        return State;
    }

    uint32_t State = 1;
    uint32_t Width = 3;
    uint32_t Mask = 7;
    uint32_t Taps = 5;
};
