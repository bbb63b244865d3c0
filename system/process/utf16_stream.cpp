#include "system/process/utf16_stream.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace {

// Bytes taken from the stream per read; the text grows by this much at most
// beyond what was really there.
constexpr std::size_t kChunkBytes = 64 * 1024;

// Reads up to `count` bytes from where the stream stands and appends them as
// little-endian units (an odd last byte is dropped); returns the bytes read.
// Every chunk but the last has an even size, so units never straddle two.
std::size_t AppendUnits(std::istream& in, std::u16string& out, std::size_t count) {
  std::array<char, kChunkBytes> chunk;
  std::size_t total = 0;
  while (total < count) {
    const std::size_t want = std::min(count - total, chunk.size());
    in.read(chunk.data(), static_cast<std::streamsize>(want));
    const auto got = static_cast<std::size_t>(in.gcount());
    for (std::size_t i = 0; i + 1 < got; i += 2) {
      const auto low = static_cast<uint8_t>(chunk[i]);
      const auto high = static_cast<uint8_t>(chunk[i + 1]);
      out.push_back(static_cast<char16_t>(low | (high << 8)));
    }
    total += got;
    if (got < want) break;
  }
  return total;
}

// A stream without a measurable end: skip to the offset and read on.
bool ReadSequentially(std::istream& in, std::u16string& out, std::size_t maximumBytes,
                      std::size_t offset) {
  in.clear();
  std::size_t skipped = 0;
  while (skipped < offset && in) {
    const std::size_t step =
        std::min<std::size_t>(offset - skipped, std::numeric_limits<std::streamsize>::max());
    in.ignore(static_cast<std::streamsize>(step));
    skipped += static_cast<std::size_t>(in.gcount());
    if (static_cast<std::size_t>(in.gcount()) < step) return false;
  }
  if (in.peek() == std::istream::traits_type::eof()) return false;  // the offset is the end
  return AppendUnits(in, out, maximumBytes) == maximumBytes;
}

}  // namespace

bool ReadUtf16Text(std::istream& in, std::u16string& out, std::size_t maximumBytes,
                   std::size_t offset) {
  out.clear();
  if (in.fail()) return false;
  const std::istream::pos_type end = in.seekg(0, std::ios::end).tellg();
  if (end == std::istream::pos_type(-1)) return ReadSequentially(in, out, maximumBytes, offset);

  const auto size = static_cast<std::size_t>(static_cast<std::streamoff>(end));
  if (offset >= size) return false;
  const std::size_t available = size - offset;
  const bool more = available >= maximumBytes;
  const std::size_t count = more ? maximumBytes : available;
  if (!in.seekg(static_cast<std::streamoff>(offset), std::ios::beg)) return false;
  out.reserve(count / 2);
  AppendUnits(in, out, count);
  return more;
}

std::u16string ReadUtf16File(std::istream& in, std::size_t maximumBytes) {
  std::u16string text;
  ReadUtf16Text(in, text, maximumBytes, 0);
  return text;
}
