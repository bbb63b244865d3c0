// A small reader of minidump files for tests: checks the header and the
// stream directory, and decodes the streams the crash handler writes.
//
//   MinidumpReader dump(ReadFileBytes(path));
//   std::string why;
//   ASSERT_TRUE(dump.Check(why)) << why;
//   auto threads = dump.Threads();
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/bytes.h"

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

class MinidumpReader {
 public:
  struct Stream {
    uint32_t type = 0, size = 0, rva = 0;
  };
  struct Thread {
    uint32_t id = 0;
    uint64_t stackStart = 0;
    uint32_t stackSize = 0, stackRva = 0, contextSize = 0, contextRva = 0;
  };
  struct Module {
    uint64_t base = 0;
    uint32_t size = 0;
    std::string name;
    uint32_t cvSignature = 0;
    std::vector<uint8_t> buildId;
  };
  struct Memory {
    uint64_t start = 0;
    uint32_t size = 0, rva = 0;
  };
  struct Exception {
    uint32_t threadId = 0, code = 0, flags = 0, parameterCount = 0;
    uint64_t address = 0;
    uint64_t parameters[15] = {};
    uint32_t contextSize = 0, contextRva = 0;
  };
  struct SystemInfo {
    uint16_t architecture = 0;
    uint8_t processors = 0;
    uint32_t platform = 0;
    std::string csdVersion;
  };

  explicit MinidumpReader(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}

  const std::vector<uint8_t>& Bytes() const { return m_bytes; }

  // Header, directory and every stream inside the file; no stream type twice.
  bool Check(std::string& why) {
    m_streams.clear();
    if (U32(0) != 0x504D444D) return Fail(why, "bad signature");
    if ((U32(4) & 0xFFFF) != 0xA793) return Fail(why, "bad version");
    const uint32_t count = U32(8), directory = U32(12);
    if (!zor::platform::InBounds(m_bytes.size(), directory, uint64_t{count} * 12))
      return Fail(why, "directory outside the file");
    for (uint32_t i = 0; i < count; ++i) {
      Stream s{U32(directory + 12 * i), U32(directory + 12 * i + 4), U32(directory + 12 * i + 8)};
      if (!zor::platform::InBounds(m_bytes.size(), s.rva, s.size))
        return Fail(why, "stream " + std::to_string(s.type) + " outside the file");
      for (const Stream& other : m_streams)
        if (other.type == s.type) return Fail(why, "stream " + std::to_string(s.type) + " twice");
      m_streams.push_back(s);
    }
    return true;
  }

  std::optional<Stream> Find(uint32_t type) const {
    for (const Stream& s : m_streams)
      if (s.type == type) return s;
    return std::nullopt;
  }
  std::span<const uint8_t> Data(uint32_t rva, uint32_t size) const {
    if (!zor::platform::InBounds(m_bytes.size(), rva, size)) return {};
    return std::span<const uint8_t>(m_bytes.data() + rva, size);
  }
  std::string StreamText(uint32_t type) const {
    const auto s = Find(type);
    if (!s) return {};
    const auto d = Data(s->rva, s->size);
    return std::string(d.begin(), d.end());
  }

  uint16_t U16(uint64_t at) const { return zor::platform::GetLEOr<uint16_t>(m_bytes, at, 0); }
  uint32_t U32(uint64_t at) const { return zor::platform::GetLEOr<uint32_t>(m_bytes, at, 0); }
  uint64_t U64(uint64_t at) const { return zor::platform::GetLEOr<uint64_t>(m_bytes, at, 0); }

  // MINIDUMP_STRING as UTF-8 (code points below 0x800 and ASCII are enough
  // for paths in tests; others are written as '?').
  std::string String(uint32_t rva) const {
    const uint32_t length = U32(rva);
    if (!zor::platform::InBounds(m_bytes.size(), uint64_t{rva} + 4, uint64_t{length} + 2) ||
        U16(uint64_t{rva} + 4 + length) != 0)
      return "<bad string>";
    std::string out;
    for (uint32_t i = 0; i < length; i += 2) {
      const uint16_t u = U16(uint64_t{rva} + 4 + i);
      out += u < 0x80 ? static_cast<char>(u) : '?';
    }
    return out;
  }

  std::vector<Thread> Threads() const {
    std::vector<Thread> out;
    const auto s = Find(3);
    if (!s) return out;
    const uint32_t count = U32(s->rva);
    if (uint64_t{count} * 48 + 4 > s->size) return out;
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t t = uint64_t{s->rva} + 4 + 48 * i;
      out.push_back({U32(t), U64(t + 24), U32(t + 32), U32(t + 36), U32(t + 40), U32(t + 44)});
    }
    return out;
  }

  std::vector<Module> Modules() const {
    std::vector<Module> out;
    const auto s = Find(4);
    if (!s) return out;
    const uint32_t count = U32(s->rva);
    if (uint64_t{count} * 108 + 4 > s->size) return out;
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t m = uint64_t{s->rva} + 4 + 108 * i;
      Module mod;
      mod.base = U64(m);
      mod.size = U32(m + 8);
      mod.name = String(U32(m + 20));
      const uint32_t cvSize = U32(m + 76), cvRva = U32(m + 80);
      if (cvSize >= 4) {
        mod.cvSignature = U32(cvRva);
        const auto id = Data(cvRva + 4, cvSize - 4);
        mod.buildId.assign(id.begin(), id.end());
      }
      out.push_back(mod);
    }
    return out;
  }

  std::vector<Memory> MemoryRanges() const {
    std::vector<Memory> out;
    const auto s = Find(5);
    if (!s) return out;
    const uint32_t count = U32(s->rva);
    if (uint64_t{count} * 16 + 4 > s->size) return out;
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t d = uint64_t{s->rva} + 4 + 16 * i;
      out.push_back({U64(d), U32(d + 8), U32(d + 12)});
    }
    return out;
  }

  std::optional<Exception> ExceptionStream() const {
    const auto s = Find(6);
    if (!s || s->size < 168) return std::nullopt;
    const uint64_t e = s->rva;
    Exception x;
    x.threadId = U32(e);
    x.code = U32(e + 8);
    x.flags = U32(e + 12);
    x.address = U64(e + 24);
    x.parameterCount = U32(e + 32);
    for (int i = 0; i < 15; ++i) x.parameters[i] = U64(e + 40 + 8 * i);
    x.contextSize = U32(e + 160);
    x.contextRva = U32(e + 164);
    return x;
  }

  std::optional<SystemInfo> System() const {
    const auto s = Find(7);
    if (!s || s->size < 56) return std::nullopt;
    SystemInfo info;
    info.architecture = U16(s->rva);
    info.processors = m_bytes[s->rva + 6];
    info.platform = U32(s->rva + 20);
    info.csdVersion = String(U32(s->rva + 24));
    return info;
  }

  // The bytes the memory list holds at [address, address + size), or empty.
  std::vector<uint8_t> ReadMemory(uint64_t address, std::size_t size) const {
    for (const Memory& m : MemoryRanges()) {
      if (address >= m.start && address - m.start + size <= m.size) {
        const auto d = Data(static_cast<uint32_t>(m.rva + (address - m.start)),
                            static_cast<uint32_t>(size));
        return std::vector<uint8_t>(d.begin(), d.end());
      }
    }
    return {};
  }

 private:
  static bool Fail(std::string& why, std::string text) {
    why = std::move(text);
    return false;
  }

  std::vector<uint8_t> m_bytes;
  std::vector<Stream> m_streams;
};
