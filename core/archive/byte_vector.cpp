#include "core/archive/byte_vector.h"

#include <algorithm>
#include <cstring>

namespace Zor {

void ByteVector::Append(const void* p, std::size_t n) {
  if (n == 0 || p == nullptr) return;
  const auto* bytes = static_cast<const uint8_t*>(p);
  insert(end(), bytes, bytes + n);
}

void ByteVector::AppendFrom(const std::vector<uint8_t>& source, std::size_t offset,
                            std::size_t n) {
  if (source.empty() || n == 0 || offset >= source.size()) return;
  n = std::min(n, source.size() - offset);
  // Copy first: `source` may be this very vector, and inserting could move it.
  std::vector<uint8_t> part(source.begin() + static_cast<std::ptrdiff_t>(offset),
                            source.begin() + static_cast<std::ptrdiff_t>(offset + n));
  insert(end(), part.begin(), part.end());
}

std::size_t ByteVector::EraseFrom(std::size_t offset) {
  if (offset >= size()) return 0;
  std::size_t removed = size() - offset;
  resize(offset);
  return removed;
}

std::size_t ByteVector::EraseRange(std::size_t offset, std::size_t n) {
  if (offset > size() || n > size() - offset) return 0;
  auto first = begin() + static_cast<std::ptrdiff_t>(offset);
  erase(first, first + static_cast<std::ptrdiff_t>(n));
  return n;
}

std::size_t ByteVector::FindByte(uint8_t byte, std::size_t start) const noexcept {
  if (start >= size()) return npos;
  const void* hit = std::memchr(data() + start, byte, size() - start);
  return hit ? static_cast<std::size_t>(static_cast<const uint8_t*>(hit) - data()) : npos;
}

std::size_t ByteVector::FindAnyOf(const std::vector<uint8_t>& set,
                                  std::size_t start) const noexcept {
  if (start >= size() || set.empty()) return npos;
  bool member[256] = {};
  for (uint8_t b : set) member[b] = true;
  for (std::size_t i = start; i < size(); ++i)
    if (member[(*this)[i]]) return i;
  return npos;
}

}  // namespace Zor
