#include "database/catalogue/chart_datum_part.h"

#include <cstring>

#include "platform/bytes.h"

namespace {

using zor::platform::GetLEOr;
using zor::platform::SetLE;

constexpr uint64_t kValue1At = 552;
constexpr uint64_t kValue2At = 560;
constexpr std::size_t kWordId = 1;
constexpr std::size_t kWordCode = 2;
constexpr std::size_t kWordId2 = 69;
constexpr std::size_t kWordCodeHigh = 70;

void SetWord(std::span<uint8_t> part, std::size_t n, int32_t value) {
  SetLE(part, 4 * uint64_t{n}, value);
}

int32_t Word(std::span<const uint8_t> part, std::size_t n) {
  return GetLEOr<int32_t>(part, 4 * uint64_t{n}, 0);
}

}  // namespace

bool InitChartDatumPart(std::span<uint8_t> part, int32_t id, int32_t code, double value1,
                        double value2) noexcept {
  if (part.size() < kChartDatumPartSize) return false;
  part = part.first(kChartDatumPartSize);
  std::memset(part.data(), 0, part.size());
  const uint32_t bits = static_cast<uint32_t>(code);
  const int32_t word2 = code < 1 ? code : static_cast<int32_t>(bits & 0xFFFFu);
  int32_t word70 = code;
  if (code <= 999) {
    word70 = 1000;
  } else if (code > 1999) {
    word70 = static_cast<int32_t>(bits >> 16);
  }
  SetWord(part, 0, id);
  SetWord(part, kWordId, id);
  SetWord(part, kWordCode, word2);
  SetWord(part, kWordId2, id);
  SetWord(part, kWordCodeHigh, word70);
  SetLE(part, kValue1At, value1);
  SetLE(part, kValue2At, value2);

  if (word2 < 1) {
    // The sum of two 32-bit words, kept to 32 bits as it is stored.
    int64_t sum = int64_t{word2} + id;
    if (sum < 0) sum = -sum;
    const int32_t magnitude = static_cast<int32_t>(static_cast<uint32_t>(sum));
    SetWord(part, kWordCodeHigh, 1000);
    SetLE(part, kValue1At, 0.0);
    SetWord(part, kWordId, magnitude);
    SetWord(part, kWordId2, magnitude);
  } else if (word2 > 1) {
    SetWord(part, kWordId, -2);
    SetWord(part, kWordId2, -2);
  } else if (word70 > 1000) {
    SetWord(part, kWordId2, -2);
  }
  return true;
}

int32_t GetChartDatumKind(std::span<const uint8_t> part, int32_t kind) noexcept {
  const bool fixedNode = kind == 204;
  const double value1 = GetLEOr(part, kValue1At, 0.0);
  const int32_t word70 = Word(part, kWordCodeHigh);
  const int32_t word2 = Word(part, kWordCode);
  if (value1 != 0.0 || (word70 >= 1001 && word70 <= 1998)) return fixedNode ? 5 : 2;
  if (word2 < 2 || word2 > 998) return fixedNode ? 4 : 0;
  return fixedNode ? 0 : 1;
}
