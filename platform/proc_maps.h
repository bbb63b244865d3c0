// The process's memory mappings, read from /proc/self/maps into fixed
// storage, so that a crash report can look up addresses without allocating.
//
//   static zor::platform::ProcMaps maps;      // large: keep it static or on the heap
//   if (maps.Load()) {
//     if (const auto* m = maps.Find(rip)) {
//       std::string_view file = maps.Path(*m);  // "" for an anonymous mapping
//     }
//     zor::platform::MappedModule module;
//     for (std::size_t next = 0; maps.NextModule(next, module);) { ... }
//   }
//
// Load is async-signal-safe (open, read, close). Text beyond kMaxText bytes
// or mappings beyond kMaxMappings are left out, and Truncated() says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zor::platform {

struct MemoryMapping {
  uint64_t start = 0;   // first byte
  uint64_t end = 0;     // one past the last byte
  uint64_t offset = 0;  // file offset of `start`
  uint64_t inode = 0;
  bool readable = false;
  bool writable = false;
  bool executable = false;
  bool shared = false;
  uint32_t pathOffset = 0;  // into the text kept by ProcMaps
  uint32_t pathLength = 0;
};

// A file mapped as a program or library: the mapping of its start (file
// offset 0) and the mappings of the same file that follow it.
struct MappedModule {
  uint64_t base = 0;  // start of the mapping at file offset 0
  uint64_t end = 0;   // end of the module's last mapping
  std::size_t first = 0;  // index of its first and last mapping
  std::size_t last = 0;
  std::string_view path;
};

class ProcMaps {
 public:
  static constexpr std::size_t kMaxText = 256 * 1024;
  static constexpr std::size_t kMaxMappings = 4096;

  // Reads /proc/self/maps; false when it cannot be read.
  bool Load() noexcept;
  // Parses a text in the format of /proc/<pid>/maps (copied, cut to
  // kMaxText). Lines that do not parse are skipped.
  void Parse(const char* text, std::size_t length) noexcept;

  std::size_t Size() const noexcept { return m_count; }
  const MemoryMapping& operator[](std::size_t index) const noexcept { return m_mappings[index]; }
  bool Truncated() const noexcept { return m_truncated; }
  std::string_view Path(const MemoryMapping& mapping) const noexcept {
    return std::string_view(m_text + mapping.pathOffset, mapping.pathLength);
  }

  // The mapping holding `address`, or null.
  const MemoryMapping* Find(uint64_t address) const noexcept;
  // The first mapping that starts at or above `address`, or null.
  const MemoryMapping* FindAtOrAbove(uint64_t address) const noexcept;

  // Steps through the modules in address order: mapped files (paths starting
  // with '/') with at least one executable mapping. Start with next = 0.
  bool NextModule(std::size_t& next, MappedModule& module) const noexcept;
  // The module whose mappings hold `address`.
  bool FindModule(uint64_t address, MappedModule& module) const noexcept;

 private:
  void ParseText() noexcept;

  char m_text[kMaxText + 1] = {};
  std::size_t m_textLength = 0;
  MemoryMapping m_mappings[kMaxMappings];
  std::size_t m_count = 0;
  bool m_truncated = false;
};

}  // namespace zor::platform
