// Checksum computation and NMEA verification on arbitrary text, in every
// mode: widths, agreement with a byte-at-a-time reference, and the rule that
// a sentence given its computed checksum verifies.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/text/checksum.h"
#include "core/text/number_pick.h"

namespace {

uint32_t ReferenceCrc(std::string_view bytes, uint32_t poly) {
  uint32_t c = 0;
  for (unsigned char b : bytes) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ poly : c >> 1;
  }
  return c;
}

uint32_t Reference(std::string_view bytes, int mode) {
  uint32_t x = 0, sum = 0;
  for (unsigned char b : bytes) x ^= b, sum += b;
  switch (mode) {
    case 2: return sum & 0xFF;
    case 3: return ReferenceCrc(bytes, 0x8408);
    case 4: return ReferenceCrc(bytes, 0xEDB88320u);
    default: return x;
  }
}

bool IsUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // First byte: a start offset that may lie before, inside or past the text.
  const int start = static_cast<int8_t>(data[0]);
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  VerifyNmeaChecksum(text);
  HexTextToInt(text);

  for (int mode : {-7, 0, 1, 2, 3, 4, 5}) {
    std::string out;
    ComputeChecksumText(out, text, start, mode);
    const std::size_t width = mode == 3 ? 4 : mode == 4 ? 8 : 2;
    if (out.size() != width) __builtin_trap();
    for (char c : out)
      if (!IsUpperHex(c)) __builtin_trap();
    const std::size_t from = start <= 0 ? 0 : static_cast<std::size_t>(start);
    const std::string_view tail = from >= text.size() ? std::string_view() : text.substr(from);
    const uint32_t value = ComputeChecksumValue(tail, mode);
    if (value != Reference(tail, mode)) __builtin_trap();
    if (static_cast<uint32_t>(HexTextToInt(out)) != value) __builtin_trap();

    std::string appended(text);
    AppendChecksum(appended, start, mode);
    const bool star = mode != 2 && mode != 3;
    if (appended.compare(0, text.size(), text) != 0 ||
        appended.size() != text.size() + width + (star ? 1 : 0) ||
        appended.compare(appended.size() - width, width, out) != 0)
      __builtin_trap();
  }

  // Whatever the body, "$" + body + "*" + its XOR verifies.
  std::string sentence = "$";
  sentence.append(text);
  AppendChecksum(sentence, 1, 1);
  if (!VerifyNmeaChecksum(sentence)) __builtin_trap();
  return 0;
}
