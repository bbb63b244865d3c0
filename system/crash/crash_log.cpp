#include "system/crash/crash_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "platform/bytes.h"
#include "platform/debug_output.h"
#include "platform/proc_maps.h"
#include "platform/safe_files.h"
#include "platform/safe_format.h"
#include "platform/safe_memory.h"
#include "system/crash/module_version_info.h"
#include "system/os/os_info.h"

namespace {

using zor::platform::ProcMaps;
using zor::platform::SafeFormat;

constexpr std::size_t kFlushAbove = kCrashLogBufferSize - kCrashLogMaxPiece;  // 7,168
constexpr std::size_t kWordSize = sizeof(uint64_t);
constexpr int kWordsPerLine = 4;
// The processor type the platform reports for x86-64.
constexpr int kProcessorTypeAmd64 = 8664;
// Top of the user address space of x86-64 Linux (47-bit addresses).
constexpr uint64_t kUserAddressSpace = 0x7FFFFFFFF000;
constexpr uint64_t kMegabyte = 1048576;
constexpr int kVersionTextSize = 199;  // 197 characters of each version text

char g_buffer[kCrashLogBufferSize];
std::size_t g_count = 0;

struct CrashLogFacts {
  std::atomic<bool> ready{false};
  char programPath[ModuleVersionInfo::kMaxPathLength + 1] = {};  // "" when unknown
  char osName[64] = {};
  char osVersion[64] = {};
  int processors = 0;
  ModuleVersionInfo programVersion;
};
CrashLogFacts g_facts;
const ModuleVersionInfo g_noVersion;
ProcMaps g_maps;
uint8_t g_stack[kCrashLogMaxStackBytes];

void EnsurePrepared() {
  if (!g_facts.ready.load(std::memory_order_acquire)) PrepareCrashLog();
}

void WriteRaw(int file, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(file, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// A path of the maps text (not zero-terminated) as a zero-terminated copy.
void CopyPath(std::string_view path, char (&out)[4096]) {
  const std::size_t n = path.size() < sizeof out - 1 ? path.size() : sizeof out - 1;
  std::memcpy(out, path.data(), n);
  out[n] = '\0';
}

// Kilobyte figures of /proc/meminfo.
struct MemoryFigures {
  uint64_t total = 0, available = 0, swapTotal = 0, swapFree = 0;
};

uint64_t MeminfoValue(const char* text, const char* key, bool& found) {
  const std::size_t keyLength = std::strlen(key);
  for (const char* line = text; *line != '\0';) {
    if (std::strncmp(line, key, keyLength) == 0 && line[keyLength] == ':') {
      const char* p = line + keyLength + 1;
      while (*p == ' ') ++p;
      uint64_t v = 0;
      while (*p >= '0' && *p <= '9') v = v * 10 + static_cast<uint64_t>(*p++ - '0');
      found = true;
      return v * 1024;
    }
    const char* next = std::strchr(line, '\n');
    if (next == nullptr) break;
    line = next + 1;
  }
  found = false;
  return 0;
}

MemoryFigures ReadMemoryFigures() {
  MemoryFigures m;
  char text[8192];
  std::size_t length = 0;
  const int fd = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    while (length < sizeof text - 1) {
      const ssize_t n = ::read(fd, text + length, sizeof text - 1 - length);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      length += static_cast<std::size_t>(n);
    }
    ::close(fd);
  }
  text[length] = '\0';
  bool found = false;
  m.total = MeminfoValue(text, "MemTotal", found);
  m.available = MeminfoValue(text, "MemAvailable", found);
  if (!found) m.available = MeminfoValue(text, "MemFree", found);
  m.swapTotal = MeminfoValue(text, "SwapTotal", found);
  m.swapFree = MeminfoValue(text, "SwapFree", found);
  return m;
}

int Megabytes(uint64_t bytes) {
  const uint64_t mb = (bytes + kMegabyte - 1) / kMegabyte;
  return mb > INT32_MAX ? INT32_MAX : static_cast<int>(mb);
}

void FormatNow(char* out, std::size_t size) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  FormatFileTime(zor::platform::TicksToFileTime(
                     zor::platform::UnixTimeToFileTime(now.tv_sec, now.tv_nsec)),
                 out, size);
}

void DumpSystemInfoWith(int file, const ProcMaps& maps) {
  char time[64];
  FormatNow(time, sizeof time);
  CrashLogPrintf(file, "Error occurred at %s.\r\n", time);
  CrashLogPrintf(file, "%s \r\n", g_facts.programPath[0] ? g_facts.programPath : "Unknown");
  CrashLogPrintf(file, "Operating system:  %s (%s).\r\n", g_facts.osName, g_facts.osVersion);
  CrashLogPrintf(file, "%d processor(s), type %d.\r\n", g_facts.processors, kProcessorTypeAmd64);

  // The paging file is the swap space; the address space is x86-64 Linux's.
  const MemoryFigures m = ReadMemoryFigures();
  const uint64_t used = m.total > m.available ? m.total - m.available : 0;
  const int load = m.total ? static_cast<int>(used * 100 / m.total) : 0;
  uint64_t mapped = 0;
  for (std::size_t i = 0; i < maps.Size(); ++i)
    if (maps[i].end <= kUserAddressSpace) mapped += maps[i].end - maps[i].start;
  const uint64_t freeSpace = mapped < kUserAddressSpace ? kUserAddressSpace - mapped : 0;
  CrashLogPrintf(file, "%d%% memory in use.\r\n", load);
  CrashLogPrintf(file, "%d MBytes physical memory.\r\n", Megabytes(m.total));
  CrashLogPrintf(file, "%d MBytes physical memory free.\r\n", Megabytes(m.available));
  CrashLogPrintf(file, "%d MBytes paging file.\r\n", Megabytes(m.swapTotal));
  CrashLogPrintf(file, "%d MBytes paging file free.\r\n", Megabytes(m.swapFree));
  CrashLogPrintf(file, "%d MBytes user address space.\r\n", Megabytes(kUserAddressSpace));
  CrashLogPrintf(file, "%d MBytes user address space free.\r\n", Megabytes(freeSpace));
}

void DumpStackWith(int file, const ProcMaps& maps, uint64_t sp) {
  CrashLogPrintf(file, "\r\n\r\nStack:\r\n");
  // The top of the mapping that holds the stack pointer is the stack's base.
  uint64_t end = sp + kCrashLogMaxStackBytes < sp ? UINT64_MAX : sp + kCrashLogMaxStackBytes;
  if (const auto* m = maps.Find(sp); m != nullptr && m->end < end) end = m->end;
  const uint64_t length = end - sp;
  const std::size_t readable =
      zor::platform::SafeRead(sp, g_stack, static_cast<std::size_t>(length));

  std::size_t lineStart = 0;
  for (std::size_t offset = 0; length - offset >= kWordSize; offset += kWordSize) {
    const std::size_t column = (offset / kWordSize) % kWordsPerLine;
    if (column == 0) {
      lineStart = offset;
      CrashLogPrintf(file, "0x%016llx: ", static_cast<unsigned long long>(sp + offset));
    }
    if (offset + kWordSize > readable) {
      CrashLogPrintf(file, "Exception encountered during stack dump.\r\n");
      return;
    }
    uint64_t word = 0;
    std::memcpy(&word, g_stack + offset, kWordSize);
    CrashLogPrintf(file, "%016llx ", static_cast<unsigned long long>(word));
    const bool last = length - (offset + kWordSize) < kWordSize;
    if (column + 1 < static_cast<std::size_t>(kWordsPerLine) && !last) continue;
    for (std::size_t missing = column + 1; missing < kWordsPerLine; ++missing)
      CrashLogPrintf(file, "%*s", static_cast<int>(2 * kWordSize + 1), "");
    char chars[kWordsPerLine * kWordSize + 1];
    std::size_t n = 0;
    for (std::size_t b = lineStart; b < offset + kWordSize; ++b) {
      const uint8_t c = g_stack[b];
      chars[n++] = c < 32 || c >= 127 ? '.' : static_cast<char>(c);
    }
    chars[n] = '\0';
    CrashLogPrintf(file, "%s\r\n", chars);
  }
  CrashLogPrintf(file, "\r\n");
}

bool WriteModuleEntryWith(int file, const zor::platform::MappedModule& module, int number) {
  static char path[4096];
  CopyPath(module.path, path);
  if (path[0] == '\0') return false;
  uint8_t magic[4];
  if (!zor::platform::SafeReadAll(module.base, magic, sizeof magic) ||
      std::memcmp(magic, "\x7f" "ELF", 4) != 0)
    return false;

  long long fileSize = 0;
  char fileTime[64] = "";
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    struct stat st;
    if (::fstat(fd, &st) == 0) {
      fileSize = static_cast<long long>(st.st_size);
      FormatFileTime(zor::platform::TicksToFileTime(zor::platform::UnixTimeToFileTime(
                         st.st_mtim.tv_sec, st.st_mtim.tv_nsec)),
                     fileTime, sizeof fileTime);
    }
    ::close(fd);
  }
  // Only the running program has a version record on Linux.
  const ModuleVersionInfo& version =
      std::strcmp(path, g_facts.programPath) == 0 ? g_facts.programVersion : g_noVersion;
  char company[kVersionTextSize], product[kVersionTextSize], description[kVersionTextSize];
  version.GetCompanyName(company, sizeof company);
  version.GetProductName(product, sizeof product);
  version.GetFileDescription(description, sizeof description);
  uint16_t fileVersion[4], productVersion[4];
  version.GetFileVersion(fileVersion);
  version.GetProductVersion(productVersion);

  const uint64_t size = module.end - module.base;
  CrashLogPrintf(file, "Module %d\r\n", number);
  CrashLogPrintf(file, "%.518s\r\n", path);
  CrashLogPrintf(file, "Image Base: 0x%016llx  Image Size: 0x%08x\r\n",
                 static_cast<unsigned long long>(module.base),
                 static_cast<unsigned>(size > UINT32_MAX ? UINT32_MAX : size));
  // ELF files carry neither a checksum nor a link time stamp.
  CrashLogPrintf(file, "Checksum:   0x%08x  Time Stamp: 0x%08x\r\n", 0u, 0u);
  CrashLogPrintf(file, "File Size:  %-10lld  File Time:  %s\r\n", fileSize, fileTime);
  CrashLogPrintf(file, "Version Information:\r\n");
  CrashLogPrintf(file, "   Company:    %s\r\n", company);
  CrashLogPrintf(file, "   Product:    %s\r\n", product);
  CrashLogPrintf(file, "   FileDesc:   %s\r\n", description);
  CrashLogPrintf(file, "   FileVer:    %d.%d.%d.%d\r\n", fileVersion[0], fileVersion[1],
                 fileVersion[2], fileVersion[3]);
  CrashLogPrintf(file, "   ProdVer:    %d.%d.%d.%d\r\n", productVersion[0], productVersion[1],
                 productVersion[2], productVersion[3]);
  CrashLogPrintf(file, "\r\n");
  return true;
}

void ListModulesWith(int file, const ProcMaps& maps) {
  int number = 1;
  zor::platform::MappedModule module;
  for (std::size_t next = 0; maps.NextModule(next, module);)
    if (WriteModuleEntryWith(file, module, number)) ++number;
}

}  // namespace

void PrepareCrashLog() {
  const std::string path = GetModulePath(false);
  zor::platform::SetFieldText(g_facts.programPath, path);
  OSVERSIONINFOEX info;
  GetOsVersionInfo(info);
  zor::platform::SetFieldText(g_facts.osName, GetWindowsName(info));
  zor::platform::SetFieldText(g_facts.osVersion, FormatWindowsVersion(info));
  const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
  g_facts.processors = processors > 0 ? static_cast<int>(processors) : 1;
  g_facts.programVersion.Load(g_facts.programPath);
  g_facts.programVersion.Release();
  ::tzset();  // later local-time conversions then read no files
  g_facts.ready.store(true, std::memory_order_release);
}

const char* GetExceptionDescription(uint32_t code) noexcept {
  switch (code) {
    case 0x40010005: return "a Control-C";
    case 0x40010008: return "a Control-Break";
    case 0x80000002: return "a Datatype Misalignment";
    case 0x80000003: return "a Breakpoint";
    case 0xC0000005: return "an Access Violation";
    case 0xC0000006: return "an In Page Error";
    case 0xC0000017: return "a No Memory";
    case 0xC000001D: return "an Illegal Instruction";
    case 0xC0000025: return "a Noncontinuable Exception";
    case 0xC0000026: return "an Invalid Disposition";
    case 0xC000008C: return "a Array Bounds Exceeded";
    case 0xC000008D: return "a Float Denormal Operand";
    case 0xC000008E: return "a Float Divide by Zero";
    case 0xC000008F: return "a Float Inexact Result";
    case 0xC0000090: return "a Float Invalid Operation";
    case 0xC0000091: return "a Float Overflow";
    case 0xC0000092: return "a Float Stack Check";
    case 0xC0000093: return "a Float Underflow";
    case 0xC0000094: return "an Integer Divide by Zero";
    case 0xC0000095: return "an Integer Overflow";
    case 0xC0000096: return "a Privileged Instruction";
    case 0xC00000FD: return "a Stack Overflow";
    case 0xC0000142: return "a DLL Initialization Failed";
    case 0xE06D7363: return "a Microsoft C++ Exception";
    default: return "an Unknown exception type";
  }
}

const char* FindLastChar(const char* text, char c) noexcept {
  if (text == nullptr) return nullptr;
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; ++p)
    if (*p == c) last = p;
  return last;
}

const char* GetFileNamePart(const char* text) noexcept {
  if (text == nullptr) return nullptr;
  const char* back = FindLastChar(text, '\\');
  const char* slash = FindLastChar(text, '/');
  const char* cut = back > slash ? back : slash;
  return cut ? cut + 1 : text;
}

void FormatFileTime(const zor::platform::FILETIME& time, char* out, std::size_t size) noexcept {
  const uint64_t ticks = zor::platform::FileTimeToTicks(time);
  int month = 0, day = 0, year = 1980, hour = 0, minute = 0, second = 0;
  if (ticks < 0x8000000000000000ull) {
    const int64_t seconds =
        (static_cast<int64_t>(ticks) - static_cast<int64_t>(zor::platform::kUnixEpochTicks)) /
        static_cast<int64_t>(zor::platform::kTicksPerSecond);
    const time_t t = static_cast<time_t>(seconds);
    struct tm local;
    if (::localtime_r(&t, &local) != nullptr && local.tm_year + 1900 >= 1980 &&
        local.tm_year + 1900 <= 2107) {
      month = local.tm_mon + 1;
      day = local.tm_mday;
      year = local.tm_year + 1900;
      hour = local.tm_hour;
      minute = local.tm_min;
      second = local.tm_sec / 2 * 2;  // DOS time keeps seconds halved
    }
  }
  SafeFormat(out, size, "%d/%d/%d %02d:%02d:%02d", month, day, year, hour, minute, second);
}

int CrashLogPrintf(int file, const char* format, ...) noexcept {
  if (g_count > kFlushAbove) FlushCrashLogBuffer(file);
  const std::size_t room = kCrashLogBufferSize - g_count;
  va_list args;
  va_start(args, format);
  const std::size_t n = zor::platform::SafeFormatV(
      g_buffer + g_count, room < kCrashLogMaxPiece ? room : kCrashLogMaxPiece, format, args);
  va_end(args);
  g_count += n;
  return static_cast<int>(n);
}

void FlushCrashLogBuffer(int file) noexcept {
  WriteRaw(file, g_buffer, g_count);
  g_count = 0;
}

void DumpSystemInfo(int file) noexcept {
  EnsurePrepared();
  g_maps.Load();
  DumpSystemInfoWith(file, g_maps);
}

void DumpRegisters(int file, const zor::platform::CONTEXT& c) noexcept {
  using ull = unsigned long long;
  CrashLogPrintf(file, "\r\n");
  CrashLogPrintf(file, "Context:\r\n");
  CrashLogPrintf(file, "RDI:    0x%016llx  RSI: 0x%016llx  RAX:   0x%016llx\r\n", ull{c.Rdi},
                 ull{c.Rsi}, ull{c.Rax});
  CrashLogPrintf(file, "RBX:    0x%016llx  RCX: 0x%016llx  RDX:   0x%016llx\r\n", ull{c.Rbx},
                 ull{c.Rcx}, ull{c.Rdx});
  CrashLogPrintf(file, "RIP:    0x%016llx  RBP: 0x%016llx  SegCs: 0x%08x\r\n", ull{c.Rip},
                 ull{c.Rbp}, unsigned{c.SegCs});
  CrashLogPrintf(file, "EFlags: 0x%08x  RSP: 0x%016llx  SegSs: 0x%08x\r\n", c.EFlags, ull{c.Rsp},
                 unsigned{c.SegSs});
  CrashLogPrintf(file, "R8:     0x%016llx  R9:  0x%016llx  R10:   0x%016llx\r\n", ull{c.R8},
                 ull{c.R9}, ull{c.R10});
  CrashLogPrintf(file, "R11:    0x%016llx  R12: 0x%016llx  R13:   0x%016llx\r\n", ull{c.R11},
                 ull{c.R12}, ull{c.R13});
  CrashLogPrintf(file, "R14:    0x%016llx  R15: 0x%016llx\r\n", ull{c.R14}, ull{c.R15});
}

void DumpStack(int file, uint64_t stackPointer) noexcept {
  g_maps.Load();
  DumpStackWith(file, g_maps, stackPointer);
}

void ListModulesToLog(int file) noexcept {
  EnsurePrepared();
  g_maps.Load();
  ListModulesWith(file, g_maps);
}

bool WriteModuleEntry(int file, uint64_t moduleHandle, int moduleNumber) noexcept {
  EnsurePrepared();
  g_maps.Load();
  zor::platform::MappedModule module;
  if (!g_maps.FindModule(moduleHandle, module) || module.base != moduleHandle) return false;
  return WriteModuleEntryWith(file, module, moduleNumber);
}

uint32_t WriteCrashLog(const char* path, const zor::platform::EXCEPTION_POINTERS* pointers,
                       const char* caller) noexcept {
  if (pointers == nullptr || pointers->ExceptionRecord == nullptr ||
      pointers->ContextRecord == nullptr)
    return 0;
  EnsurePrepared();
  const int file = path ? zor::platform::CreateFresh(path, O_WRONLY, 0600) : -1;
  if (file < 0) {
    zor::platform::OutputDebugString("Error creating exception report\r\n");
    return 0;
  }
  // The user of a program with borrowed rights gets no more of its memory
  // than the kernel would give in a core dump: none.
  const bool borrowed = zor::platform::RunsWithBorrowedIds();
  g_count = 0;  // whatever an earlier writer left belongs to another file
  const zor::platform::EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  const zor::platform::CONTEXT& context = *pointers->ContextRecord;
  g_maps.Load();

  static char moduleName[4096];
  zor::platform::MappedModule module;
  if (g_maps.FindModule(context.Rip, module)) CopyPath(module.path, moduleName);
  else std::strcpy(moduleName, "Unknown");
  const char* program = GetFileNamePart(g_facts.programPath[0] ? g_facts.programPath : "Unknown");

  CrashLogPrintf(file, "%s caused %s (0x%08x) \r\nin module %s at %04x:%016llx.\r\n\r\n", program,
                 GetExceptionDescription(record.ExceptionCode), record.ExceptionCode,
                 GetFileNamePart(moduleName), unsigned{context.SegCs},
                 static_cast<unsigned long long>(context.Rip));
  CrashLogPrintf(file, "Exception handler called in %s.\r\n", caller ? caller : "");
  DumpSystemInfoWith(file, g_maps);

  if (record.ExceptionCode == zor::platform::kExceptionAccessViolation &&
      record.NumberParameters >= 2) {
    // Only 1 is a write: 0 is a read and 8 the fetch of an instruction.
    char line[128];
    SafeFormat(line, sizeof line, "%s location %016llx caused an access violation.\r\n",
               record.ExceptionInformation[0] == 1 ? "Write to" : "Read from",
               static_cast<unsigned long long>(record.ExceptionInformation[1]));
    CrashLogPrintf(file, "%s", line);
  }

  if (borrowed) {
    CrashLogPrintf(file, "%s", kCrashLogMemoryLeftOut);
  } else {
    DumpRegisters(file, context);

    CrashLogPrintf(file, "\r\nBytes at CS:EIP:\r\n");
    for (uint64_t i = 0; i < 16; ++i) {
      uint8_t byte = 0;
      if (zor::platform::SafeReadAll(context.Rip + i, &byte, 1)) CrashLogPrintf(file, "%02x ", byte);
      else CrashLogPrintf(file, "?? ");
    }

    DumpStackWith(file, g_maps, context.Rsp);
  }
  ListModulesWith(file, g_maps);
  CrashLogPrintf(file, "\r\n===== [end of %s] =====\r\n", "crash log");
  FlushCrashLogBuffer(file);
  ::fsync(file);
  ::close(file);
  return 0;
}
