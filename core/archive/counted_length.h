// Counted lengths and texts in the class library's length form, over any
// Zor::IArchive.
//
//   WriteLength(ar, n);       // n < 255: 1 byte; < 65534: FF + u16; else FF FFFF + u32
//   WriteCountedString(ar, "abc");
//   std::string s; ReadCountedString(ar, s);
//   WriteFixedString(ar, "abc", 8);   // length 8, then "abc" and five zero bytes
//
// Readers check every length against the bytes that are really there before
// they allocate; a length that runs past the end fails with code 7 and leaves
// the read position where it was.
#pragma once

#include <cstdint>
#include <string>

#include "core/archive/archive.h"

namespace Zor {

void WriteLength(IArchive& archive, uint32_t n);
// A length cut short fails with code 7 and leaves the read position as it was.
uint32_t ReadLength(IArchive& archive);
void WriteLength16(IArchive& archive, uint32_t n);
uint32_t ReadLength16(IArchive& archive);  // the same on failure

void WriteCountedString(IArchive& archive, const std::string& text);
// The string takes the bytes up to the first zero byte. A length prefix cut
// short leaves the string as it was; a body cut short leaves it empty.
void ReadCountedString(IArchive& archive, std::string& text);
// n = 0 writes nothing; otherwise the length n, then the first n characters,
// padded with zero bytes when the text is shorter.
void WriteFixedString(IArchive& archive, const std::string& text, uint32_t n);

}  // namespace Zor
