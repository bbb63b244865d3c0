#include "platform/proc_maps.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zor::platform {
namespace {

bool ParseHex(const char*& p, const char* end, uint64_t& value) {
  const char* start = p;
  value = 0;
  while (p < end) {
    const char c = *p;
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else break;
    if (value >> 60) return false;  // more than 64 bits
    value = value << 4 | digit;
    ++p;
  }
  return p > start;
}

bool ParseDecimal(const char*& p, const char* end, uint64_t& value) {
  const char* start = p;
  value = 0;
  while (p < end && *p >= '0' && *p <= '9') {
    const uint64_t digit = static_cast<uint64_t>(*p - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
    ++p;
  }
  return p > start;
}

bool Skip(const char*& p, const char* end, char c) {
  if (p >= end || *p != c) return false;
  ++p;
  return true;
}

void SkipBlanks(const char*& p, const char* end) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
}

// "start-end perms offset dev inode   path"
bool ParseLine(const char* line, const char* end, const char* text, MemoryMapping& m) {
  const char* p = line;
  uint64_t dev = 0;
  if (!ParseHex(p, end, m.start) || !Skip(p, end, '-') || !ParseHex(p, end, m.end) ||
      !Skip(p, end, ' ') || m.end < m.start)
    return false;
  if (end - p < 4) return false;
  m.readable = p[0] == 'r';
  m.writable = p[1] == 'w';
  m.executable = p[2] == 'x';
  m.shared = p[3] == 's';
  p += 4;
  SkipBlanks(p, end);
  if (!ParseHex(p, end, m.offset)) return false;
  SkipBlanks(p, end);
  if (!ParseHex(p, end, dev) || !Skip(p, end, ':') || !ParseHex(p, end, dev)) return false;
  SkipBlanks(p, end);
  if (!ParseDecimal(p, end, m.inode)) return false;
  SkipBlanks(p, end);
  m.pathOffset = static_cast<uint32_t>(p - text);
  m.pathLength = static_cast<uint32_t>(end - p);
  return true;
}

}  // namespace

bool ProcMaps::Load() noexcept {
  const int savedErrno = errno;
  m_textLength = 0;
  m_count = 0;
  m_truncated = false;
  const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    errno = savedErrno;
    return false;
  }
  while (m_textLength < kMaxText) {
    const ssize_t n = ::read(fd, m_text + m_textLength, kMaxText - m_textLength);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    m_textLength += static_cast<std::size_t>(n);
  }
  if (m_textLength == kMaxText) {
    char probe;
    if (::read(fd, &probe, 1) > 0) m_truncated = true;
  }
  ::close(fd);
  ParseText();
  errno = savedErrno;
  return true;
}

void ProcMaps::Parse(const char* text, std::size_t length) noexcept {
  m_truncated = length > kMaxText;
  m_textLength = m_truncated ? kMaxText : length;
  std::memcpy(m_text, text, m_textLength);
  m_count = 0;
  ParseText();
}

void ProcMaps::ParseText() noexcept {
  m_text[m_textLength] = '\0';
  const char* p = m_text;
  const char* const end = m_text + m_textLength;
  while (p < end) {
    const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    // A last line without its line feed was cut by the size limit, unless the
    // whole text was read.
    if (lineEnd == nullptr) {
      if (m_truncated) break;
      lineEnd = end;
    }
    if (m_count == kMaxMappings) {
      m_truncated = true;
      break;
    }
    MemoryMapping m;
    if (ParseLine(p, lineEnd, m_text, m)) m_mappings[m_count++] = m;
    p = lineEnd + 1;
  }
}

const MemoryMapping* ProcMaps::Find(uint64_t address) const noexcept {
  for (std::size_t i = 0; i < m_count; ++i)
    if (address >= m_mappings[i].start && address < m_mappings[i].end) return &m_mappings[i];
  return nullptr;
}

const MemoryMapping* ProcMaps::FindAtOrAbove(uint64_t address) const noexcept {
  const MemoryMapping* best = nullptr;
  for (std::size_t i = 0; i < m_count; ++i)
    if (m_mappings[i].start >= address && (best == nullptr || m_mappings[i].start < best->start))
      best = &m_mappings[i];
  return best;
}

bool ProcMaps::NextModule(std::size_t& next, MappedModule& module) const noexcept {
  for (std::size_t i = next; i < m_count; ++i) {
    const MemoryMapping& head = m_mappings[i];
    const std::string_view path = Path(head);
    if (head.offset != 0 || path.empty() || path.front() != '/') continue;
    std::size_t last = i;
    bool executable = head.executable;
    while (last + 1 < m_count && m_mappings[last + 1].inode == head.inode &&
           Path(m_mappings[last + 1]) == path && m_mappings[last + 1].offset != 0) {
      ++last;
      executable = executable || m_mappings[last].executable;
    }
    if (!executable) continue;
    module.base = head.start;
    module.end = m_mappings[last].end;
    module.first = i;
    module.last = last;
    module.path = path;
    next = last + 1;
    return true;
  }
  next = m_count;
  return false;
}

bool ProcMaps::FindModule(uint64_t address, MappedModule& module) const noexcept {
  MappedModule candidate;
  for (std::size_t next = 0; NextModule(next, candidate);) {
    for (std::size_t i = candidate.first; i <= candidate.last; ++i) {
      if (address >= m_mappings[i].start && address < m_mappings[i].end) {
        module = candidate;
        return true;
      }
    }
  }
  return false;
}

}  // namespace zor::platform
