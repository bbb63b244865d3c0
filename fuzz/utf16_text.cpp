// ReadUtf16Text on arbitrary bytes, from a stream that can seek and from one
// that cannot; the first eight bytes choose the maximum and the offset.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <streambuf>
#include <string>

#include "core/text/utf.h"
#include "system/process/utf16_stream.h"

namespace {

class PipeBuffer : public std::streambuf {
 public:
  explicit PipeBuffer(std::string& bytes) {
    setg(bytes.data(), bytes.data(), bytes.data() + bytes.size());
  }
};

void Check(std::istream& in, std::size_t size, std::size_t maximum, std::size_t offset) {
  std::u16string text;
  const bool more = ReadUtf16Text(in, text, maximum, offset);
  const std::size_t available = offset < size ? size - offset : 0;
  if (text.size() != std::min(available, maximum) / 2) std::abort();
  if (more != (offset < size && available >= maximum)) std::abort();
  try {
    (void)Utf16ToUtf8(text);
  } catch (const std::exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  uint32_t maximum = 0;
  uint32_t offset = 0;
  std::memcpy(&maximum, data, 4);
  std::memcpy(&offset, data + 4, 4);
  // Both large and small values matter; keep most of them near the data.
  if (maximum & 0x80000000u) maximum &= 0xFFFF;
  if (offset & 0x80000000u) offset &= 0xFF;
  std::string bytes(reinterpret_cast<const char*>(data) + 8, size - 8);

  std::istringstream seekable(bytes);
  Check(seekable, bytes.size(), maximum, offset);
  PipeBuffer buffer(bytes);
  std::istream pipe(&buffer);
  Check(pipe, bytes.size(), maximum, offset);
  return 0;
}
