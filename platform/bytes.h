// Bounded access to little-endian values and fixed-width text fields inside
// untrusted byte buffers (files, shared memory, datagrams, the registry).
//
//   std::span<const uint8_t> buf = ...;
//   uint32_t count = 0;
//   if (!zor::platform::GetLE(buf, 0, count)) return false;   // too short
//   std::string name = zor::platform::GetText(buf, 8, 32);     // up to 32 bytes
//
// Every accessor checks offset + width against the buffer length in 64-bit
// arithmetic before touching memory, so a hostile offset never reads or
// writes outside the buffer. Text fields are read up to their width (no
// terminating zero is assumed) and written with one.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace zor::platform {

static_assert(std::endian::native == std::endian::little,
              "records are stored little-endian and copied as they stand");

// True when [offset, offset + width) lies inside a buffer of `size` bytes.
constexpr bool InBounds(std::size_t size, uint64_t offset, uint64_t width) noexcept {
  return offset <= size && width <= size - offset;
}

// Reads a trivially copyable little-endian value at `offset`; false (and
// `out` untouched) when the buffer is too short.
template <typename T>
  requires std::is_trivially_copyable_v<T>
bool GetLE(std::span<const uint8_t> buffer, uint64_t offset, T& out) noexcept {
  if (!InBounds(buffer.size(), offset, sizeof(T))) return false;
  std::memcpy(&out, buffer.data() + offset, sizeof(T));
  return true;
}

// Reads a value at `offset`, or `fallback` when the buffer is too short.
template <typename T>
  requires std::is_trivially_copyable_v<T>
T GetLEOr(std::span<const uint8_t> buffer, uint64_t offset, T fallback) noexcept {
  T value = fallback;
  GetLE(buffer, offset, value);
  return value;
}

// Writes a value at `offset`; false (and nothing written) when it does not fit.
template <typename T>
  requires std::is_trivially_copyable_v<T>
bool SetLE(std::span<uint8_t> buffer, uint64_t offset, const T& value) noexcept {
  if (!InBounds(buffer.size(), offset, sizeof(T))) return false;
  std::memcpy(buffer.data() + offset, &value, sizeof(T));
  return true;
}

// The text of a fixed-width field: the bytes up to the first zero or up to
// `width`, whichever comes first. Clipped to the buffer.
inline std::string GetText(std::span<const uint8_t> buffer, uint64_t offset, std::size_t width) {
  if (offset >= buffer.size()) return {};
  std::size_t avail = buffer.size() - static_cast<std::size_t>(offset);
  if (width > avail) width = avail;
  const char* p = reinterpret_cast<const char*>(buffer.data() + offset);
  std::size_t n = 0;
  while (n < width && p[n] != '\0') ++n;
  return std::string(p, n);
}

// A fixed-width char array field read the same way.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  std::size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string(field, n);
}

// Writes `text` into a field of `width` bytes: at most width - 1 characters,
// then zeros to the end of the field. False when the field is outside the
// buffer or has no room for the terminator.
inline bool SetText(std::span<uint8_t> buffer, uint64_t offset, std::size_t width,
                    std::string_view text) noexcept {
  if (width == 0 || !InBounds(buffer.size(), offset, width)) return false;
  uint8_t* p = buffer.data() + offset;
  std::size_t n = text.size() < width - 1 ? text.size() : width - 1;
  std::memcpy(p, text.data(), n);
  std::memset(p + n, 0, width - n);
  return true;
}

// The char-array twin of SetText: copies at most N - 1 characters and zero-fills.
template <std::size_t N>
void SetFieldText(char (&field)[N], std::string_view text) noexcept {
  static_assert(N > 0);
  std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, N - n);
}

}  // namespace zor::platform
