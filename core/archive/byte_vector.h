// ByteVector: the growable byte buffer the binary archive writes into.
//
//   Zor::ByteVector buf;
//   buf.Append(data, n);
//   size_t i = buf.FindByte(0x0A, 0);
//   if (i != Zor::ByteVector::npos) buf.EraseFrom(i);
//
// It is a std::vector<uint8_t> with a few bounds-safe helpers; every helper
// that takes an offset checks it, so no call reads or erases outside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Zor {

class ByteVector : public std::vector<uint8_t> {
 public:
  using std::vector<uint8_t>::vector;
  ByteVector() = default;
  ByteVector(const std::vector<uint8_t>& v) : std::vector<uint8_t>(v) {}
  ByteVector(std::vector<uint8_t>&& v) noexcept : std::vector<uint8_t>(std::move(v)) {}

  // "No position" of the search helpers: all bits set.
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  // Appends n bytes from p; nothing when n is 0 or p is null.
  void Append(const void* p, std::size_t n);
  // Appends n bytes of `source` starting at `offset`. Only the part of the
  // range that lies inside the source is appended.
  void AppendFrom(const std::vector<uint8_t>& source, std::size_t offset, std::size_t n);

  // Pointer to the first byte, or null when empty.
  uint8_t* Data() noexcept { return empty() ? nullptr : data(); }
  const uint8_t* Data() const noexcept { return empty() ? nullptr : data(); }

  // Removes everything from `offset`; returns the number of bytes removed
  // (0 when offset >= size).
  std::size_t EraseFrom(std::size_t offset);
  // Removes n bytes at `offset` and returns n; 0 (nothing removed) when the
  // range does not lie inside the buffer.
  std::size_t EraseRange(std::size_t offset, std::size_t n);

  static bool Equal(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) noexcept {
    return a == b;
  }

  // First index at or after `start` holding `byte`; npos when none.
  std::size_t FindByte(uint8_t byte, std::size_t start) const noexcept;
  // First index at or after `start` whose byte is in `set`; npos when none.
  std::size_t FindAnyOf(const std::vector<uint8_t>& set, std::size_t start) const noexcept;
};

}  // namespace Zor
