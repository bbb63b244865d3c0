// Bit-flag tests and updates, and bit counts.
//
//   uint32_t options = 0;
//   SetFlags(&options, kShowGrid | kShowDepth, true);
//   if (TestFlags(options, kShowGrid)) ...
//   bool nowOn = ToggleFlags(&options, kShowDepth);   // false: it was on
//   int n = CountBits8(0xF1);                         // 5
#pragma once

#include <cstdint>

// True when every bit of `mask` is set in `value`. A zero mask is "set" only
// in a zero value: TestFlags(0, 0) is true, TestFlags(5, 0) false.
bool TestFlags(uint32_t value, uint32_t mask);

// on: *variable |= mask; off: *variable &= ~mask.
void SetFlags(uint8_t* variable, uint8_t mask, bool on);
void SetFlags(uint32_t* variable, uint32_t mask, bool on);

// Clears the mask's bits when all of them are set, else sets them all; then
// returns TestFlags(*variable, mask).
bool ToggleFlags(uint32_t* variable, uint32_t mask);

// Number of set bits of a byte, and of the low 16 bits of `value`.
int CountBits8(uint8_t value);
int CountBits16(uint32_t value);
