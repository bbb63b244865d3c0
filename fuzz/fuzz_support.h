// Pieces the file-reading fuzz targets share: a watch on the largest single
// allocation (so a reader that sizes a buffer from a hostile count shows up),
// scratch files named per process, and a trap that libFuzzer reports.
//
//   InstallAllocationWatch();            // once, in LLVMFuzzerInitialize or the first run
//   g_largest = 0;
//   WriteFile(TempPath("db"), bytes);
//   ...read it back...
//   Check(g_largest <= bytes.size() + 4096);
#pragma once

#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace zor::fuzz {

// The largest single allocation since the caller last reset it.
inline volatile size_t g_largest = 0;
// The bytes of all allocations since the caller last reset it.
inline volatile size_t g_allocated = 0;

inline void OnMalloc(const volatile void*, size_t size) {
  if (size > g_largest) g_largest = size;
  g_allocated = g_allocated + size;
}
inline void OnFree(const volatile void*) {}

inline void InstallAllocationWatch() { __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree); }

inline void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// A scratch file of this process under $ZOR_TEST_TMP (or /tmp).
inline std::string TempPath(const char* name) {
  const char* base = std::getenv("ZOR_TEST_TMP");
  return std::string(base && *base ? base : "/tmp") + "/zor_fuzz_" + std::to_string(::getpid()) +
         "_" + name;
}

inline void WriteFile(const std::string& path, const void* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  WriteFile(path, bytes.data(), bytes.size());
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zor::fuzz
