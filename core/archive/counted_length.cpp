#include "core/archive/counted_length.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Zor {

void WriteLength(IArchive& archive, uint32_t n) {
  if (n < 255) {
    archive.Write8(static_cast<uint8_t>(n));
    return;
  }
  archive.Write8(static_cast<uint8_t>(255));
  if (n < 65534) {
    archive.Write16(static_cast<uint16_t>(n));
    return;
  }
  archive.Write16(static_cast<uint16_t>(65535));
  archive.Write32(n);
}

namespace {

// Runs a read of several values; when one of them fails, the read position
// goes back to where the first began, so a prefix cut short is not consumed.
template <typename Read>
uint32_t Atomically(IArchive& archive, Read read) {
  const uint32_t start = archive.GetPosition();
  try {
    return read();
  } catch (const IArchiveException&) {
    archive.SetPosition(start);
    throw;
  }
}

}  // namespace

uint32_t ReadLength(IArchive& archive) {
  return Atomically(archive, [&]() -> uint32_t {
    uint8_t b = 0;
    archive.Read8(b);
    if (b < 255) return b;
    uint16_t w = 0;
    archive.Read16(w);
    if (w < 65535) return w;
    uint32_t d = 0;
    archive.Read32(d);
    return d;
  });
}

void WriteLength16(IArchive& archive, uint32_t n) {
  if (n < 65535) {
    archive.Write16(static_cast<uint16_t>(n));
    return;
  }
  archive.Write16(static_cast<uint16_t>(65535));
  archive.Write32(n);
}

uint32_t ReadLength16(IArchive& archive) {
  return Atomically(archive, [&]() -> uint32_t {
    uint16_t w = 0;
    archive.Read16(w);
    if (w < 65535) return w;
    uint32_t d = 0;
    archive.Read32(d);
    return d;
  });
}

void WriteCountedString(IArchive& archive, const std::string& text) {
  const auto n = static_cast<uint32_t>(text.size());
  WriteLength(archive, n);
  archive.WriteBytes(text.data(), n);
}

void ReadCountedString(IArchive& archive, std::string& text) {
  const uint32_t start = archive.GetPosition();
  // A prefix cut short leaves the text as it was; once the length is read
  // the text is emptied, whatever follows.
  const uint32_t n = ReadLength(archive);
  text.clear();
  if (n == 0) return;
  if (n > archive.Remaining() || n > static_cast<uint32_t>(INT32_MAX)) {
    archive.SetPosition(start);
    archive.Fail(kArchiveErrorOutsideBlock, "Tried to serialize outside block");
  }
  std::vector<char> bytes(n);
  archive.ReadBytes(bytes.data(), static_cast<int32_t>(n));
  auto end = std::find(bytes.begin(), bytes.end(), '\0');
  text.assign(bytes.begin(), end);
}

void WriteFixedString(IArchive& archive, const std::string& text, uint32_t n) {
  if (n == 0) return;
  WriteLength(archive, n);
  const uint32_t copied = static_cast<uint32_t>(std::min<std::size_t>(text.size(), n));
  archive.WriteBytes(text.data(), copied);
  static constexpr char zeros[256] = {};
  for (uint32_t left = n - copied; left > 0;) {
    const uint32_t chunk = std::min<uint32_t>(left, sizeof zeros);
    archive.WriteBytes(zeros, chunk);
    left -= chunk;
  }
}

}  // namespace Zor
