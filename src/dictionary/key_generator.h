#pragma once

#include <cstdint>

// A linear feedback shift register: each step shifts the register one bit towards the high end
// and feeds the parity of the tapped bits back into bit 0. Its low byte is the keystream that
// scrambles dictionary files.
class TKeyGenerator {
public:
    // A generic 3-bit register (State 1, Width 3, Mask 7, Taps 5); callers set their own key.
    TKeyGenerator() = default;

    // Sets Width to n and Mask to 2^n - 1 (n from 1 to 32); n = 0 leaves Mask = 1. State and
    // Taps are not touched.
    void SetWidth(uint32_t n);

    // One register step; returns the new State (callers use its low 8 bits).
    uint32_t Next();

    uint32_t State = 1;
    uint32_t Width = 3;
    uint32_t Mask = 7;
    uint32_t Taps = 5;
};
