// printf-style formatting into a caller's buffer that is safe where the C
// library's is not: inside a signal handler or while another thread may hold
// the heap's or stdio's locks (a crash report). No allocation, no locale, no
// locks.
//
//   char line[64];
//   std::size_t n = zor::platform::SafeFormat(line, sizeof line, "EIP: 0x%08x", eip);
//
// Conversions: %d %i %u %x %X %c %s %p %%, with the flags '-' and '0', a
// width and a precision (digits or '*'), and the length modifiers hh, h, l,
// ll, j, z and t. Their output is what snprintf gives for the same format
// (but a null %p prints 0x0). Anything else is copied as it stands.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace zor::platform {

// Writes at most size - 1 characters and a terminating zero (nothing when
// size is 0); returns the number of characters written, which is less than
// snprintf's answer when the text was cut.
std::size_t SafeFormat(char* buffer, std::size_t size, const char* format, ...) noexcept
    __attribute__((format(printf, 3, 4)));
std::size_t SafeFormatV(char* buffer, std::size_t size, const char* format,
                        va_list args) noexcept __attribute__((format(printf, 3, 0)));

}  // namespace zor::platform
