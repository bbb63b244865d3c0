// The 576-byte height reference part of a "Chart Datum" record (RecId 228,
// two parts at bytes 16 and 592) and of the GNSS position records (RecId 205
// at byte 16, 258 at byte 32).
//
//   std::span<uint8_t> part = std::span(payload).subspan(kChartDatumPartAt[0],
//                                                         kChartDatumPartSize);
//   InitChartDatumPart(part, 0, 900, 1.25, 0.0);
//   int kind = GetChartDatumKind(part, 204);   // 5, 4 or 0 for a fixed node
//
// Words are the 32-bit words of the part (word n at bytes 4n..4n+3): word 1
// and 69 carry the id, word 2 the code, word 70 the code's second half; the
// doubles at bytes 552 and 560 carry the two values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::size_t kChartDatumPartSize = 576;
inline constexpr std::size_t kChartDatumPartAt[2] = {16, 592};

// Fills a part: all zero, words 0 and 1 = id, word 2 = the code (its low 16
// bits when it is 1 or more), word 69 = id, word 70 = 1000 for a code up to
// 999, the code's high 16 bits for a code above 1999, else the code; the
// doubles at 552 and 560 = value1 and value2. Then a word 2 below 1 makes
// word 70 = 1000, the value at 552 = 0.0 and words 1 and 69 = |word 2 + id|;
// a word 2 above 1 makes words 1 and 69 = -2; a word 2 of 1 with word 70
// above 1000 makes word 69 = -2. False, with nothing written, when the part
// is shorter than 576 bytes.
bool InitChartDatumPart(std::span<uint8_t> part, int32_t id, int32_t code, double value1,
                        double value2) noexcept;

// With f = (kind is 204): 5 if f else 2 when the value at 552 is not 0.0 or
// word 70 lies in 1001..1998; otherwise 4 if f else 0 when word 2 lies
// outside 2..998; otherwise 0 if f else 1. A field beyond the end of a short
// part reads as zero, as in the zeroed part a failed look-up gives.
int32_t GetChartDatumKind(std::span<const uint8_t> part, int32_t kind) noexcept;
