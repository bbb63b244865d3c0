// Small bounded readers and writers of header payload fields, shared by the
// typed accessors and the upgrade steps.
//
//   int32_t system = hdr_payload::Word(entry, 1);          // 0 when missing
//   float x = hdr_payload::Get<float>(entry.payload, 32);  // 0.0f when missing
//   hdr_payload::Put(entry.payload, 672, 1.5);             // nothing when short
//   if (hdr_payload::IsWhole(entry, 201)) ...              // holds its record
//
// A field that lies beyond a payload's end reads as zero (or the given
// fallback) and is never written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "database/catalogue/record_type_size.h"
#include "database/definitions/hdr_entry.h"
#include "platform/bytes.h"

namespace hdr_payload {

inline bool Is(const sHdrEntry& e, int32_t recId) noexcept {
  return recId >= 1 && e.recId == static_cast<uint32_t>(recId);
}

// Whether the entry's payload holds its whole record (RecordTypeSize of its
// RecId). The upgrades read, change, move and remove only such entries: one
// cut short cannot be read as its layout and stays exactly as it was loaded.
inline bool IsWhole(const sHdrEntry& e) noexcept {
  return e.payload.size() >= RecordTypeSize(static_cast<int32_t>(e.recId));
}
inline bool IsWhole(const sHdrEntry& e, int32_t recId) noexcept {
  return Is(e, recId) && IsWhole(e);
}

// Word n, or the fallback when the payload ends before it.
inline int32_t Word(const sHdrEntry& e, std::size_t n, int32_t fallback = 0) noexcept {
  int32_t w = fallback;
  e.GetWord(n, w);
  return w;
}
inline int32_t Word(std::span<const uint8_t> p, std::size_t n, int32_t fallback = 0) noexcept {
  return zor::platform::GetLEOr(p, 4 * uint64_t{n}, fallback);
}
inline bool WordIs(std::span<const uint8_t> p, std::size_t n, int32_t value) noexcept {
  int32_t w = 0;
  return zor::platform::GetLE(p, 4 * uint64_t{n}, w) && w == value;
}
inline bool SetWord(std::span<uint8_t> p, std::size_t n, int32_t value) noexcept {
  return zor::platform::SetLE(p, 4 * uint64_t{n}, value);
}

template <typename T>
T Get(std::span<const uint8_t> p, std::size_t offset, T fallback = T{}) noexcept {
  return zor::platform::GetLEOr(p, offset, fallback);
}
template <typename T>
bool Put(std::span<uint8_t> p, std::size_t offset, T value) noexcept {
  return zor::platform::SetLE(p, offset, value);
}

// A double narrowed the way the hardware does it: values beyond the float
// range become infinities instead of undefined behaviour.
inline float ToFloat(double value) noexcept {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

}  // namespace hdr_payload
