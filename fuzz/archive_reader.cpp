// Feeds arbitrary bytes to every reader of the binary archive. The first byte
// chooses the sequence of reads, so one input exercises mixed widths.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/archive/archive.h"
#include "core/archive/counted_length.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t program = data[0];
  Zor::ByteVector buf(data + 1, data + size);
  Zor::ByteVectorArchive ar(buf);
  for (int step = 0; step < 64; ++step) {
    const uint64_t before = ar.Remaining();
    try {
      switch ((program + step * 7) % 14) {
        case 0: { std::string s; ar.ReadString(s); break; }
        case 1: { bool v; ar.Read8(v); break; }
        case 2: { double v; ar.Read64(v); break; }
        case 3: { float v; ar.Read32(v); break; }
        case 4: { int64_t v; ar.Read64(v); break; }
        case 5: { uint32_t v; ar.Read32(v); break; }
        case 6: { int16_t v; ar.Read16(v); break; }
        case 7: { uint8_t v; ar.Read8(v); break; }
        case 8: { char tmp[64]; ar.ReadBytes(tmp, static_cast<int32_t>(before % 65)); break; }
        case 9: { std::string s; Zor::ReadCountedString(ar, s); break; }
        case 10: Zor::ReadLength(ar); break;
        case 11: Zor::ReadLength16(ar); break;
        case 12: { int8_t v; ar.Read8(v); break; }
        default: { uint16_t v; ar.Read16(v); break; }
      }
    } catch (const Zor::IArchiveException& e) {
      if (e.Code() != Zor::kArchiveErrorOutsideBlock) __builtin_trap();
    }
    if (ar.Remaining() > before) __builtin_trap();  // a read never moves back
    if (ar.Remaining() == 0) break;
  }
  return 0;
}
