// Message checksums: computing, appending and verifying them as text.
//
//   std::string ck;
//   ComputeChecksumText(ck, "$GPHDT,274.07,T", 1, 1);   // "03"
//   std::string msg = "$GPHDT,274.07,T";
//   AppendChecksum(msg, 1, 1);                          // "$GPHDT,274.07,T*03"
//   bool ok = VerifyNmeaChecksum(msg);                  // true
//
// Modes (any other mode is mode 1):
//   1  XOR of the bytes                          "%02X"
//   2  sum of the bytes modulo 256               "%02X"
//   3  CRC-16/KERMIT (reflected 0x1021), init 0  "%04X"
//   4  CRC-32 (reflected 0xEDB88320), init 0 and no final XOR, so it differs
//      from the zip/PNG CRC-32                   "%08X"
// Bytes always count as 0..255. A start outside the text (negative counts as
// 0, past the end as the empty range) never reads outside it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The checksum value of the bytes in the given mode.
uint32_t ComputeChecksumValue(std::string_view bytes, int mode);

// Sets `out` to the checksum of text[start..] as upper-case hex text of the
// mode's width and returns it.
std::string& ComputeChecksumText(std::string& out, std::string_view text, int start, int mode);

// Appends the checksum text of text[start..], preceded by '*' except in modes
// 2 and 3.
void AppendChecksum(std::string& text, int start, int mode);
void AppendChecksumStd(std::string& text, int start, int mode);

// True when the text begins with '$', holds a '*', and the XOR of the bytes
// between the '$' and the last '*' equals the hexadecimal number after that
// '*' (leading white space, a sign and "0x" are accepted as by "%X"; at least
// one hex digit is required).
bool VerifyNmeaChecksum(std::string_view text);

// The CRC-32 table entry of a byte value: eight steps of shift right by one,
// XOR 0xEDB88320 when the bit shifted out was 1.
int Crc32ByteEntry(int byte);
