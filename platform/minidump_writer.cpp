#include "platform/minidump_writer.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <span>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/bytes.h"
#include "platform/proc_maps.h"
#include "platform/safe_memory.h"
#include "platform/signal_crash.h"

namespace zor::platform {
namespace {

constexpr uint32_t kHeaderSize = 32;
constexpr uint32_t kDirectoryEntrySize = 12;
constexpr uint32_t kMaxStreams = 12;
constexpr uint32_t kSystemInfoSize = 56;
constexpr uint32_t kMiscInfoSize = 24;
constexpr uint32_t kExceptionStreamSize = 168;
constexpr uint32_t kThreadSize = 48;
constexpr uint32_t kModuleSize = 108;
constexpr uint32_t kMemoryDescriptorSize = 16;

constexpr std::size_t kMaxModules = 1024;
constexpr std::size_t kMaxRanges = 256;
constexpr uint64_t kStackBelowPointer = 128;  // the red zone of leaf functions
constexpr uint64_t kMaxStackBytes = 256 * 1024;
constexpr uint64_t kStackSearch = 64 * 1024;
constexpr uint64_t kCodeAround = 256;
constexpr uint64_t kMaxRegionBytes = 8 * 1024 * 1024;
constexpr uint64_t kMaxDataBytes = 16 * 1024 * 1024;
constexpr uint64_t kMaxProcFileBytes = 1024 * 1024;
constexpr std::size_t kMaxBuildId = 64;
constexpr std::size_t kMaxNameUnits = 4096;

struct Location {
  uint32_t size = 0;
  uint32_t rva = 0;
};

struct Range {
  uint64_t start = 0;
  Location data;
};

// Fixed storage: one dump at a time.
std::atomic<bool> g_busy{false};
ProcMaps g_maps;
uint8_t g_chunk[64 * 1024];
uint8_t g_modules[kMaxModules][kModuleSize];
Range g_ranges[kMaxRanges];
char16_t g_units[kMaxNameUnits + 1];

// Appends to the file at increasing 8-aligned offsets and patches earlier
// parts in place.
class DumpFile {
 public:
  explicit DumpFile(int fd) : m_fd(fd) {}
  bool Failed() const { return m_failed; }
  uint32_t Position() const { return m_position; }

  void Reserve(uint32_t size) { m_position += size; }

  uint32_t Append(const void* data, std::size_t size) {
    Align();
    const uint32_t rva = m_position;
    WriteAt(rva, data, size);
    m_position += static_cast<uint32_t>(size);
    return rva;
  }

  // Starts a piece written in parts by AppendMore; returns its offset.
  uint32_t Begin() {
    Align();
    return m_position;
  }
  void AppendMore(const void* data, std::size_t size) {
    WriteAt(m_position, data, size);
    m_position += static_cast<uint32_t>(size);
  }

  void WriteAt(uint32_t rva, const void* data, std::size_t size) {
    // Offsets are 32-bit in this format; stop before they would wrap.
    if (m_failed || uint64_t{rva} + size > UINT32_MAX) {
      m_failed = true;
      return;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    off_t at = rva;
    while (size > 0) {
      const ssize_t n = ::pwrite(m_fd, p, size, at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        m_failed = true;
        return;
      }
      p += n;
      at += n;
      size -= static_cast<std::size_t>(n);
    }
  }

 private:
  void Align() {
    static const uint8_t zeros[8] = {};
    const uint32_t pad = (8 - m_position % 8) % 8;
    if (pad) AppendMore(zeros, pad);
  }

  int m_fd;
  uint32_t m_position = 0;
  bool m_failed = false;
};

class Directory {
 public:
  void Add(uint32_t type, Location where) {
    if (m_count == kMaxStreams) return;
    uint8_t* e = m_entries + m_count * kDirectoryEntrySize;
    std::span<uint8_t> s(e, kDirectoryEntrySize);
    SetLE<uint32_t>(s, 0, type);
    SetLE<uint32_t>(s, 4, where.size);
    SetLE<uint32_t>(s, 8, where.rva);
    ++m_count;
  }
  uint32_t Count() const { return m_count; }
  const uint8_t* Bytes() const { return m_entries; }

 private:
  uint8_t m_entries[kMaxStreams * kDirectoryEntrySize] = {};
  uint32_t m_count = 0;
};

// UTF-8 to UTF-16, lenient: a byte that does not start a valid sequence
// becomes U+FFFD. Returns the number of units.
std::size_t ToUtf16(std::string_view text, char16_t* out, std::size_t capacity) {
  std::size_t n = 0;
  std::size_t i = 0;
  while (i < text.size() && n < capacity) {
    const auto lead = static_cast<uint8_t>(text[i]);
    uint32_t value = 0xFFFD;
    std::size_t length = 1;
    if (lead < 0x80) {
      value = lead;
    } else {
      const std::size_t need = lead >= 0xF0 && lead <= 0xF4   ? 4
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                                                              : 0;
      if (need != 0 && i + need <= text.size()) {
        uint32_t v = lead & (0xFF >> (need + 1));
        bool ok = true;
        for (std::size_t k = 1; k < need && ok; ++k) {
          const auto c = static_cast<uint8_t>(text[i + k]);
          ok = (c & 0xC0) == 0x80;
          v = v << 6 | (c & 0x3F);
        }
        const uint32_t minimum = need == 2 ? 0x80 : need == 3 ? 0x800 : 0x10000;
        if (ok && v >= minimum && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
          value = v;
          length = need;
        }
      }
    }
    i += length;
    if (value >= 0x10000) {
      if (n + 2 > capacity) break;
      value -= 0x10000;
      out[n++] = static_cast<char16_t>(0xD800 + (value >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 + (value & 0x3FF));
    } else {
      out[n++] = static_cast<char16_t>(value);
    }
  }
  return n;
}

// MINIDUMP_STRING: byte length (without the terminator), UTF-16 units, zero.
uint32_t AppendString(DumpFile& file, std::string_view text) {
  const std::size_t units = ToUtf16(text, g_units, kMaxNameUnits);
  g_units[units] = 0;
  uint8_t length[4];
  SetLE<uint32_t>(std::span<uint8_t>(length), 0, static_cast<uint32_t>(units * 2));
  const uint32_t rva = file.Begin();
  file.AppendMore(length, sizeof length);
  for (std::size_t i = 0; i <= units; ++i) {
    uint8_t unit[2];
    SetLE<uint16_t>(std::span<uint8_t>(unit), 0, static_cast<uint16_t>(g_units[i]));
    file.AppendMore(unit, sizeof unit);
  }
  return rva;
}

// Copies up to `size` bytes of this process's memory from `start` into the
// file, stopping at the first unreadable byte; 0 copied gives an empty
// location.
Location AppendMemory(DumpFile& file, uint64_t start, uint64_t size) {
  Location where;
  where.rva = file.Begin();
  uint64_t done = 0;
  while (done < size && !file.Failed()) {
    const std::size_t want =
        size - done < sizeof g_chunk ? static_cast<std::size_t>(size - done) : sizeof g_chunk;
    const std::size_t got = SafeRead(start + done, g_chunk, want);
    if (got > 0) file.AppendMore(g_chunk, got);
    done += got;
    if (got < want) break;
  }
  where.size = static_cast<uint32_t>(done);
  if (done == 0) where.rva = 0;
  return where;
}

Location AppendProcFile(DumpFile& file, const char* path) {
  Location where;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return where;
  where.rva = file.Begin();
  uint64_t total = 0;
  while (total < kMaxProcFileBytes && !file.Failed()) {
    const ssize_t n = ::read(fd, g_chunk, sizeof g_chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    file.AppendMore(g_chunk, static_cast<std::size_t>(n));
    total += static_cast<uint64_t>(n);
  }
  ::close(fd);
  where.size = static_cast<uint32_t>(total);
  return where;
}

class RangeList {
 public:
  bool Overlaps(uint64_t start, uint64_t end) const {
    for (std::size_t i = 0; i < m_count; ++i) {
      const uint64_t s = g_ranges[i].start;
      if (start < s + g_ranges[i].data.size && s < end) return true;
    }
    return false;
  }
  // Copies [start, start + size) unless it overlaps a range already written.
  Location Add(DumpFile& file, uint64_t start, uint64_t size) {
    if (size == 0 || m_count == kMaxRanges || Overlaps(start, start + size)) return {};
    const Location where = AppendMemory(file, start, size);
    if (where.size == 0) return {};
    g_ranges[m_count++] = Range{start, where};
    m_bytes += where.size;
    return where;
  }
  std::size_t Count() const { return m_count; }
  uint64_t Bytes() const { return m_bytes; }

 private:
  std::size_t m_count = 0;
  uint64_t m_bytes = 0;
};

void AppendCpuInfo(std::span<uint8_t> record) {
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
    SetLE<uint32_t>(record, 32, ebx);  // vendor text "GenuineIntel": ebx, edx, ecx
    SetLE<uint32_t>(record, 36, edx);
    SetLE<uint32_t>(record, 40, ecx);
  }
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
    SetLE<uint32_t>(record, 44, eax);
    SetLE<uint32_t>(record, 48, edx);
    uint32_t family = (eax >> 8) & 0xF;
    uint32_t model = (eax >> 4) & 0xF;
    if (family == 0xF) family += (eax >> 20) & 0xFF;
    if (family == 0x6 || family >= 0xF) model += ((eax >> 16) & 0xF) << 4;
    SetLE<uint16_t>(record, 2, static_cast<uint16_t>(family));
    SetLE<uint16_t>(record, 4, static_cast<uint16_t>(model << 8 | (eax & 0xF)));
  }
  if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx)) SetLE<uint32_t>(record, 52, edx);
#else
  (void)record;
#endif
}

uint32_t ParseVersionPart(const char*& p) {
  uint32_t v = 0;
  while (*p >= '0' && *p <= '9') {
    if (v < 100000000) v = v * 10 + static_cast<uint32_t>(*p - '0');
    ++p;
  }
  if (*p == '.') ++p;
  return v;
}

Location AppendSystemInfo(DumpFile& file) {
  uint8_t record[kSystemInfoSize] = {};
  std::span<uint8_t> r(record);
  SetLE<uint16_t>(r, 0, kProcessorArchitectureAmd64);
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  int count = ::sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) : 1;
  SetLE<uint8_t>(r, 6, static_cast<uint8_t>(count > 255 ? 255 : count));
  SetLE<uint32_t>(r, 20, kMinidumpPlatformLinux);
  AppendCpuInfo(r);
  // The kernel's name, release, build and machine stand where the platform
  // keeps its service-pack text; the release gives the version numbers.
  struct utsname names;
  uint32_t csd = 0;
  if (::uname(&names) == 0) {
    const char* p = names.release;
    SetLE<uint32_t>(r, 8, ParseVersionPart(p));
    SetLE<uint32_t>(r, 12, ParseVersionPart(p));
    SetLE<uint32_t>(r, 16, ParseVersionPart(p));
    char text[sizeof names.sysname + sizeof names.release + sizeof names.version +
              sizeof names.machine + 4];
    std::size_t n = 0;
    for (const char* part : {names.sysname, names.release, names.version, names.machine}) {
      if (n > 0) text[n++] = ' ';
      for (const char* c = part; *c != '\0' && n < sizeof text - 1; ++c) text[n++] = *c;
    }
    csd = AppendString(file, std::string_view(text, n));
  } else {
    csd = AppendString(file, "Linux");
  }
  SetLE<uint32_t>(r, 24, csd);
  return Location{kSystemInfoSize, file.Append(record, sizeof record)};
}

Location AppendMiscInfo(DumpFile& file) {
  constexpr uint32_t kMiscProcessId = 0x1;
  uint8_t record[kMiscInfoSize] = {};
  std::span<uint8_t> r(record);
  SetLE<uint32_t>(r, 0, kMiscInfoSize);
  SetLE<uint32_t>(r, 4, kMiscProcessId);
  SetLE<uint32_t>(r, 8, static_cast<uint32_t>(::getpid()));
  return Location{kMiscInfoSize, file.Append(record, sizeof record)};
}

Location AppendException(DumpFile& file, const MinidumpRequest& request, Location context) {
  const EXCEPTION_RECORD& e = *request.exception;
  uint8_t record[kExceptionStreamSize] = {};
  std::span<uint8_t> r(record);
  SetLE<uint32_t>(r, 0, request.threadId);
  SetLE<uint32_t>(r, 8, static_cast<uint32_t>(SignalOfExceptionCode(e.ExceptionCode)));
  const bool hasDataAddress = (e.ExceptionCode == kExceptionAccessViolation ||
                               e.ExceptionCode == kExceptionStackOverflow ||
                               e.ExceptionCode == kExceptionInPageError) &&
                              e.NumberParameters >= 2;
  SetLE<uint64_t>(r, 24, hasDataAddress ? e.ExceptionInformation[1] : e.ExceptionAddress);
  const uint32_t parameters = e.NumberParameters < kExceptionMaximumParameters
                                  ? e.NumberParameters
                                  : kExceptionMaximumParameters;
  SetLE<uint32_t>(r, 32, parameters);
  for (uint32_t i = 0; i < parameters; ++i) SetLE<uint64_t>(r, 40 + 8 * i, e.ExceptionInformation[i]);
  SetLE<uint32_t>(r, 160, context.size);
  SetLE<uint32_t>(r, 164, context.rva);
  return Location{kExceptionStreamSize, file.Append(record, sizeof record)};
}

// The stack from just below the stack pointer up to the top of its mapping,
// bounded. A stack pointer left in the gap or the guard page below an
// overflowed stack (a thread's stack has an inaccessible guard mapping of its
// own) takes the mapping just above it.
void StackRange(uint64_t sp, uint64_t& start, uint64_t& size) {
  start = size = 0;
  const MemoryMapping* m = g_maps.Find(sp);
  uint64_t from = sp;
  if (m != nullptr && !m->readable) {
    const uint64_t above = m->end;
    m = g_maps.FindAtOrAbove(above);
    if (m == nullptr || m->start != above || !m->readable) return;
    from = m->start;
  } else if (m == nullptr) {
    m = g_maps.FindAtOrAbove(sp);
    if (m == nullptr || m->start - sp > kStackSearch) return;
    from = m->start;
  } else {
    from = sp - m->start > kStackBelowPointer ? sp - kStackBelowPointer : m->start;
  }
  start = from;
  size = m->end - from < kMaxStackBytes ? m->end - from : kMaxStackBytes;
}

// The GNU build id of the ELF image mapped at `base`; 0 when none is found.
std::size_t ReadBuildId(uint64_t base, uint8_t (&id)[kMaxBuildId]) {
  uint8_t header[64];
  if (!SafeReadAll(base, header, sizeof header)) return 0;
  std::span<const uint8_t> h(header);
  if (std::memcmp(header, "\x7f" "ELF", 4) != 0 || header[4] != 2 /* 64-bit */) return 0;
  const uint64_t phoff = GetLEOr<uint64_t>(h, 32, 0);
  const uint16_t phentsize = GetLEOr<uint16_t>(h, 54, 0);
  const uint16_t phnum = GetLEOr<uint16_t>(h, 56, 0);
  if (phentsize < 56 || phnum == 0 || phnum > 128) return 0;
  uint8_t phdrs[128 * 56];
  uint64_t lowest = UINT64_MAX;
  for (uint16_t i = 0; i < phnum; ++i) {
    std::span<uint8_t> ph(phdrs + i * 56, 56);
    if (!SafeReadAll(base + phoff + uint64_t{i} * phentsize, ph.data(), 56)) return 0;
    if (GetLEOr<uint32_t>(ph, 0, 0) == 1 /* PT_LOAD */) {
      const uint64_t vaddr = GetLEOr<uint64_t>(ph, 16, 0) & ~uint64_t{4095};
      if (vaddr < lowest) lowest = vaddr;
    }
  }
  if (lowest == UINT64_MAX) return 0;
  const uint64_t bias = base - lowest;
  for (uint16_t i = 0; i < phnum; ++i) {
    std::span<const uint8_t> ph(phdrs + i * 56, 56);
    if (GetLEOr<uint32_t>(ph, 0, 0) != 4 /* PT_NOTE */) continue;
    uint8_t notes[4096];
    const uint64_t memsz = GetLEOr<uint64_t>(ph, 40, 0);
    const std::size_t size = SafeRead(bias + GetLEOr<uint64_t>(ph, 16, 0), notes,
                                      memsz < sizeof notes ? memsz : sizeof notes);
    std::span<const uint8_t> n(notes, size);
    for (uint64_t at = 0; at + 12 <= size;) {
      const uint32_t namesz = GetLEOr<uint32_t>(n, at, 0);
      const uint32_t descsz = GetLEOr<uint32_t>(n, at + 4, 0);
      const uint32_t type = GetLEOr<uint32_t>(n, at + 8, 0);
      const uint64_t name = at + 12;
      const uint64_t desc = name + ((uint64_t{namesz} + 3) & ~uint64_t{3});
      const uint64_t next = desc + ((uint64_t{descsz} + 3) & ~uint64_t{3});
      if (next > size) break;
      if (type == 3 /* NT_GNU_BUILD_ID */ && namesz == 4 && std::memcmp(notes + name, "GNU", 4) == 0 &&
          descsz > 0 && descsz <= kMaxBuildId) {
        std::memcpy(id, notes + desc, descsz);
        return descsz;
      }
      at = next;
    }
  }
  return 0;
}

bool IsElfImage(uint64_t base) {
  uint8_t magic[4];
  return SafeReadAll(base, magic, 4) && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
}

Location AppendModuleList(DumpFile& file) {
  std::size_t count = 0;
  MappedModule module;
  for (std::size_t next = 0; count < kMaxModules && g_maps.NextModule(next, module);) {
    if (!IsElfImage(module.base)) continue;
    std::span<uint8_t> r(g_modules[count], kModuleSize);
    std::memset(r.data(), 0, kModuleSize);
    SetLE<uint64_t>(r, 0, module.base);
    const uint64_t size = module.end - module.base;
    SetLE<uint32_t>(r, 8, size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size));
    SetLE<uint32_t>(r, 20, AppendString(file, module.path));
    SetLE<uint32_t>(r, 24, 0xFEEF04BD);  // version record signature, no version
    SetLE<uint32_t>(r, 28, 0x00010000);
    uint8_t cv[4 + kMaxBuildId];
    uint8_t id[kMaxBuildId];
    const std::size_t idSize = ReadBuildId(module.base, id);
    if (idSize > 0) {
      SetLE<uint32_t>(std::span<uint8_t>(cv), 0, kCvSignatureElfBuildId);
      std::memcpy(cv + 4, id, idSize);
      SetLE<uint32_t>(r, 76, static_cast<uint32_t>(4 + idSize));
      SetLE<uint32_t>(r, 80, file.Append(cv, 4 + idSize));
    }
    ++count;
  }
  uint8_t number[4];
  SetLE<uint32_t>(std::span<uint8_t>(number), 0, static_cast<uint32_t>(count));
  const uint32_t rva = file.Begin();
  file.AppendMore(number, sizeof number);
  for (std::size_t i = 0; i < count; ++i) file.AppendMore(g_modules[i], kModuleSize);
  return Location{static_cast<uint32_t>(4 + count * kModuleSize), rva};
}

// The modules' writable mappings and the anonymous mapping right after a
// module (its zero-filled data), each bounded, all together bounded.
void AddDataSegments(DumpFile& file, RangeList& ranges) {
  MappedModule module;
  for (std::size_t next = 0; g_maps.NextModule(next, module);) {
    std::size_t last = module.last;
    if (last + 1 < g_maps.Size() && g_maps[last + 1].start == g_maps[last].end &&
        g_maps[last + 1].pathLength == 0)
      ++last;
    for (std::size_t i = module.first; i <= last; ++i) {
      const MemoryMapping& m = g_maps[i];
      if (!m.writable || !m.readable || ranges.Bytes() >= kMaxDataBytes) continue;
      uint64_t size = m.end - m.start;
      if (size > kMaxRegionBytes) size = kMaxRegionBytes;
      if (size > kMaxDataBytes - ranges.Bytes()) size = kMaxDataBytes - ranges.Bytes();
      ranges.Add(file, m.start, size);
    }
  }
}

Location AppendMemoryList(DumpFile& file, const RangeList& ranges) {
  uint8_t number[4];
  SetLE<uint32_t>(std::span<uint8_t>(number), 0, static_cast<uint32_t>(ranges.Count()));
  const uint32_t rva = file.Begin();
  file.AppendMore(number, sizeof number);
  for (std::size_t i = 0; i < ranges.Count(); ++i) {
    uint8_t d[kMemoryDescriptorSize];
    std::span<uint8_t> s(d);
    SetLE<uint64_t>(s, 0, g_ranges[i].start);
    SetLE<uint32_t>(s, 8, g_ranges[i].data.size);
    SetLE<uint32_t>(s, 12, g_ranges[i].data.rva);
    file.AppendMore(d, sizeof d);
  }
  return Location{static_cast<uint32_t>(4 + ranges.Count() * kMemoryDescriptorSize), rva};
}

bool WriteDump(int fd, const MinidumpRequest& request) {
  DumpFile file(fd);
  Directory directory;
  file.Reserve(kHeaderSize + kMaxStreams * kDirectoryEntrySize);
  g_maps.Load();

  directory.Add(kSystemInfoStream, AppendSystemInfo(file));
  directory.Add(kMiscInfoStream, AppendMiscInfo(file));

  const Location context{sizeof(CONTEXT), file.Append(request.context, sizeof(CONTEXT))};
  RangeList ranges;
  uint64_t stackStart = 0, stackSize = 0;
  StackRange(request.context->Rsp, stackStart, stackSize);
  const Location stack = ranges.Add(file, stackStart, stackSize);

  uint8_t thread[4 + kThreadSize] = {};
  std::span<uint8_t> t(thread);
  SetLE<uint32_t>(t, 0, 1);
  SetLE<uint32_t>(t, 4, request.threadId);
  SetLE<uint64_t>(t, 4 + 24, stack.size ? stackStart : 0);
  SetLE<uint32_t>(t, 4 + 32, stack.size);
  SetLE<uint32_t>(t, 4 + 36, stack.rva);
  SetLE<uint32_t>(t, 4 + 40, context.size);
  SetLE<uint32_t>(t, 4 + 44, context.rva);
  directory.Add(kThreadListStream, Location{sizeof thread, file.Append(thread, sizeof thread)});

  if (request.exception != nullptr)
    directory.Add(kExceptionStream, AppendException(file, request, context));
  directory.Add(kModuleListStream, AppendModuleList(file));

  // Code bytes around the instruction pointer, inside its mapping.
  const uint64_t ip = request.context->Rip;
  if (const MemoryMapping* m = g_maps.Find(ip)) {
    const uint64_t from = ip - m->start > kCodeAround ? ip - kCodeAround : m->start;
    const uint64_t to = m->end - ip > kCodeAround ? ip + kCodeAround : m->end;
    ranges.Add(file, from, to - from);
  }
  if (request.dumpType & kMiniDumpWithDataSegs) AddDataSegments(file, ranges);
  directory.Add(kMemoryListStream, AppendMemoryList(file, ranges));

  directory.Add(kLinuxProcStatusStream, AppendProcFile(file, "/proc/self/status"));
  directory.Add(kLinuxCmdLineStream, AppendProcFile(file, "/proc/self/cmdline"));
  directory.Add(kLinuxMapsStream, AppendProcFile(file, "/proc/self/maps"));

  uint8_t header[kHeaderSize] = {};
  std::span<uint8_t> h(header);
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  SetLE<uint32_t>(h, 0, kMinidumpSignature);
  SetLE<uint32_t>(h, 4, kMinidumpVersion);
  SetLE<uint32_t>(h, 8, directory.Count());
  SetLE<uint32_t>(h, 12, kHeaderSize);
  SetLE<uint32_t>(h, 20, static_cast<uint32_t>(now.tv_sec));
  SetLE<uint64_t>(h, 24, request.dumpType);
  file.WriteAt(0, header, sizeof header);
  file.WriteAt(kHeaderSize, directory.Bytes(), directory.Count() * kDirectoryEntrySize);
  return !file.Failed();
}

}  // namespace

bool WriteMinidump(int fd, const MinidumpRequest& request) noexcept {
  if (request.context == nullptr || fd < 0) return false;
  if (g_busy.exchange(true)) return false;
  const int savedErrno = errno;
  const bool ok = WriteDump(fd, request);
  errno = savedErrno;
  g_busy.store(false);
  return ok;
}

}  // namespace zor::platform
