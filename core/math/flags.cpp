#include "core/math/flags.h"

namespace {

// Set bits of each nibble.
constexpr int8_t kNibbleBits[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};

}  // namespace

bool TestFlags(uint32_t value, uint32_t mask) {
  if (mask == 0) return value == 0;
  return (value & mask) == mask;
}

void SetFlags(uint8_t* variable, uint8_t mask, bool on) {
  if (on)
    *variable = static_cast<uint8_t>(*variable | mask);
  else
    *variable = static_cast<uint8_t>(*variable & ~mask);
}

void SetFlags(uint32_t* variable, uint32_t mask, bool on) {
  if (on)
    *variable |= mask;
  else
    *variable &= ~mask;
}

bool ToggleFlags(uint32_t* variable, uint32_t mask) {
  SetFlags(variable, mask, (*variable & mask) != mask);
  return TestFlags(*variable, mask);
}

int CountBits8(uint8_t value) { return kNibbleBits[value & 0xF] + kNibbleBits[value >> 4]; }

int CountBits16(uint32_t value) {
  return kNibbleBits[value & 0xF] + kNibbleBits[(value >> 4) & 0xF] +
         kNibbleBits[(value >> 8) & 0xF] + kNibbleBits[(value >> 12) & 0xF];
}
