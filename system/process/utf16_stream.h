// Reading UTF-16 (little-endian) text from a stream, such as the report files
// that system tools write.
//
//   std::ifstream in(path, std::ios::binary);
//   std::u16string text = ReadUtf16File(in, 1000000000);
//
//   std::u16string chunk;
//   std::size_t offset = 0;
//   bool more = true;
//   while (more) {
//     more = ReadUtf16Text(in, chunk, 65536, offset);
//     offset += 65536;
//     ...
//   }
//
// The text is read as it is: a byte-order mark is kept as its character, and
// an odd last byte is dropped. Memory grows with the bytes actually read, so a
// stream never makes the reader allocate more than it holds.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

// Reads up to `maximumBytes` bytes from byte `offset` on into `out` (emptied
// first). True when the stream holds at least `maximumBytes` bytes from the
// offset on (there may be more to read); false when it holds fewer (the text
// is complete), when the offset lies at or beyond its end, or when it cannot
// be read. A stream that cannot seek is read from where it stands.
bool ReadUtf16Text(std::istream& in, std::u16string& out, std::size_t maximumBytes,
                   std::size_t offset);

// The text of at most `maximumBytes` bytes from the start of the stream.
std::u16string ReadUtf16File(std::istream& in, std::size_t maximumBytes);
