// Reads this process's own memory at an address that may not be mapped,
// without faulting: a crash report dumps stacks and code bytes around a
// failure, where any pointer may be bad.
//
//   uint8_t code[16];
//   std::size_t n = zor::platform::SafeRead(rip, code, sizeof code);
//   // code[0..n) were readable; the byte at rip + n was not (when n < 16).
//
// Async-signal-safe: system calls only, no allocation, errno preserved. The
// bytes are copied by the kernel (process_vm_readv on the process itself, or,
// where that call is refused, a write into a pipe), so an unreadable page
// gives a short count instead of a second fault.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zor::platform {

// Copies up to `size` bytes from `address` to `out`, stopping at the first
// unreadable page; returns the number of bytes copied.
std::size_t SafeRead(uint64_t address, void* out, std::size_t size) noexcept;

// The same through the fallback alone (a pipe per call): where
// process_vm_readv is refused, SafeRead switches to it for good.
std::size_t SafeReadThroughPipe(uint64_t address, void* out, std::size_t size) noexcept;

// True when all `size` bytes were copied.
inline bool SafeReadAll(uint64_t address, void* out, std::size_t size) noexcept {
  return SafeRead(address, out, size) == size;
}

}  // namespace zor::platform
