#include "core/text/checksum.h"

#include <array>
#include <cstring>

namespace {

// Tables for slicing-by-16: slice 0 is the ordinary byte table, slice k the
// effect of a byte followed by k zero bytes. Sixteen bytes then cost sixteen
// independent look-ups instead of a chain of sixteen dependent ones.
constexpr int kSlices = 16;
template <typename T>
using SliceTables = std::array<std::array<T, 256>, kSlices>;

template <typename T, T kPoly>
constexpr SliceTables<T> MakeSlices() {
  SliceTables<T> t{};
  for (unsigned i = 0; i < 256; ++i) {
    T c = static_cast<T>(i);
    for (int k = 0; k < 8; ++k) c = static_cast<T>((c & 1u) ? (c >> 1) ^ kPoly : (c >> 1));
    t[0][i] = c;
  }
  for (int s = 1; s < kSlices; ++s)
    for (unsigned i = 0; i < 256; ++i)
      t[s][i] = static_cast<T>((t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFFu]);
  return t;
}

constexpr auto kCrc16Slices = MakeSlices<uint16_t, 0x8408>();
constexpr auto kCrc32Slices = MakeSlices<uint32_t, 0xEDB88320u>();

inline uint64_t Load64(const unsigned char* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;  // little-endian, as the slicing assumes
}

// Reflected CRC with register `crc` over n bytes, no final XOR.
template <typename T>
T CrcUpdate(const SliceTables<T>& t, T crc, const unsigned char* p, std::size_t n) {
  uint32_t c = crc;
  for (; n >= 16; n -= 16, p += 16) {
    const uint64_t a = Load64(p) ^ c;
    const uint64_t b = Load64(p + 8);
    c = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^
        t[12][(a >> 24) & 0xFF] ^ t[11][(a >> 32) & 0xFF] ^ t[10][(a >> 40) & 0xFF] ^
        t[9][(a >> 48) & 0xFF] ^ t[8][a >> 56] ^ t[7][b & 0xFF] ^ t[6][(b >> 8) & 0xFF] ^
        t[5][(b >> 16) & 0xFF] ^ t[4][(b >> 24) & 0xFF] ^ t[3][(b >> 32) & 0xFF] ^
        t[2][(b >> 40) & 0xFF] ^ t[1][(b >> 48) & 0xFF] ^ t[0][b >> 56];
  }
  if (n >= 8) {
    const uint64_t a = Load64(p) ^ c;
    c = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^
        t[4][(a >> 24) & 0xFF] ^ t[3][(a >> 32) & 0xFF] ^ t[2][(a >> 40) & 0xFF] ^
        t[1][(a >> 48) & 0xFF] ^ t[0][a >> 56];
    n -= 8;
    p += 8;
  }
  for (; n > 0; --n, ++p) c = (c >> 8) ^ t[0][(c ^ *p) & 0xFF];
  return static_cast<T>(c);
}

uint32_t XorBytes(const unsigned char* p, std::size_t n) {
  uint64_t acc = 0;
  for (; n >= 8; n -= 8, p += 8) acc ^= Load64(p);
  acc ^= acc >> 32;
  acc ^= acc >> 16;
  acc ^= acc >> 8;
  uint32_t x = static_cast<uint32_t>(acc & 0xFF);
  for (; n > 0; --n, ++p) x ^= *p;
  return x;
}

uint32_t SumBytes(const unsigned char* p, std::size_t n) {
  uint32_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += p[i];
  return sum & 0xFF;
}

inline int HexWidth(int mode) { return mode == 3 ? 4 : mode == 4 ? 8 : 2; }

inline std::string_view Tail(std::string_view text, int start) {
  if (start <= 0) return text;
  if (static_cast<std::size_t>(start) >= text.size()) return {};
  return text.substr(static_cast<std::size_t>(start));
}

void PutHex(char* out, uint32_t value, int width) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int i = width - 1; i >= 0; --i, value >>= 4) out[i] = kDigits[value & 0xF];
}

inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

inline bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Str>
void Append(Str& text, int start, int mode) {
  const int width = HexWidth(mode);
  const uint32_t value = ComputeChecksumValue(Tail(text, start), mode);
  const bool star = mode != 2 && mode != 3;
  char buf[9];
  std::size_t n = 0;
  if (star) buf[n++] = '*';
  PutHex(buf + n, value, width);
  text.append(buf, n + static_cast<std::size_t>(width));
}

}  // namespace

uint32_t ComputeChecksumValue(std::string_view bytes, int mode) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  switch (mode) {
    case 2:
      return SumBytes(p, n);
    case 3:
      return CrcUpdate<uint16_t>(kCrc16Slices, 0, p, n);
    case 4:
      return CrcUpdate<uint32_t>(kCrc32Slices, 0, p, n);
    default:
      return XorBytes(p, n);
  }
}

std::string& ComputeChecksumText(std::string& out, std::string_view text, int start, int mode) {
  const int width = HexWidth(mode);
  const uint32_t value = ComputeChecksumValue(Tail(text, start), mode);
  out.resize(static_cast<std::size_t>(width));
  PutHex(out.data(), value, width);
  return out;
}

void AppendChecksum(std::string& text, int start, int mode) { Append(text, start, mode); }

void AppendChecksumStd(std::string& text, int start, int mode) { Append(text, start, mode); }

bool VerifyNmeaChecksum(std::string_view text) {
  if (text.empty() || text[0] != '$') return false;
  const std::size_t star = text.rfind('*');
  if (star == std::string_view::npos) return false;

  // The number after the star, read the way "%X" reads it.
  std::size_t i = star + 1;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      i + 2 < text.size() && HexDigitValue(text[i + 2]) >= 0)
    i += 2;
  uint64_t given = 0;
  std::size_t digits = 0;
  for (int d; i < text.size() && (d = HexDigitValue(text[i])) >= 0; ++i, ++digits) {
    given = given * 16 + static_cast<uint64_t>(d);
    if (given > 0xFFFFFFFFu) return false;  // too large to be any checksum
  }
  if (digits == 0) return false;
  if (negative) given = (0x100000000u - given) & 0xFFFFFFFFu;

  const uint32_t computed = XorBytes(reinterpret_cast<const unsigned char*>(text.data()) + 1,
                                     star - 1);
  return given == computed;
}

int Crc32ByteEntry(int byte) {
  uint32_t c = static_cast<uint32_t>(byte);
  for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : (c >> 1);
  return static_cast<int>(c);
}
