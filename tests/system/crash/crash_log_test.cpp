#include "system/crash/crash_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/proc_maps.h"
#include "platform/signal_crash.h"
#include "platform/version_resource.h"
#include "tests/platform/scoped_tz.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace zor::platform;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Hex16(uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
  return text;
}

// A log file for one test; Text() flushes the shared buffer into it first.
class LogFile {
 public:
  LogFile() : m_path(m_tmp.Path("log.txt")) {
    m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  }
  ~LogFile() { ::close(m_fd); }
  int fd() const { return m_fd; }
  // What was written since the last call.
  std::string Text() {
    FlushCrashLogBuffer(m_fd);
    const std::string all = Slurp(m_path);
    const std::string fresh = all.substr(m_read);
    m_read = all.size();
    return fresh;
  }
  std::string Unflushed() const { return Slurp(m_path).substr(m_read); }
  const TempFolder& tmp() const { return m_tmp; }

 private:
  TempFolder m_tmp;
  std::string m_path;
  int m_fd = -1;
  std::size_t m_read = 0;
};

FILETIME FileTimeOf(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME st{};
  st.wYear = static_cast<uint16_t>(year);
  st.wMonth = static_cast<uint16_t>(month);
  st.wDay = static_cast<uint16_t>(day);
  st.wHour = static_cast<uint16_t>(hour);
  st.wMinute = static_cast<uint16_t>(minute);
  st.wSecond = static_cast<uint16_t>(second);
  FILETIME ft{};
  SystemTimeToFileTime(st, ft);
  return ft;
}

TEST(CrashLog, DescribesExceptionCodesAndCutsPaths) {
  EXPECT_STREQ(GetExceptionDescription(0xC0000005), "an Access Violation");
  EXPECT_STREQ(GetExceptionDescription(0xC00000FD), "a Stack Overflow");
  EXPECT_STREQ(GetExceptionDescription(0xC000008C), "a Array Bounds Exceeded");
  EXPECT_STREQ(GetExceptionDescription(0xC0000094), "an Integer Divide by Zero");
  EXPECT_STREQ(GetExceptionDescription(0xE06D7363), "a Microsoft C++ Exception");
  EXPECT_STREQ(GetExceptionDescription(0x40010005), "a Control-C");
  EXPECT_STREQ(GetExceptionDescription(0xE0000001), "an Unknown exception type");
  EXPECT_STREQ(GetExceptionDescription(0xC0000409), "an Unknown exception type");

  EXPECT_STREQ(GetFileNamePart("C:\\Suite\\Drv.exe"), "Drv.exe");
  EXPECT_STREQ(GetFileNamePart("/opt/zor/bin/drv"), "drv");
  EXPECT_STREQ(GetFileNamePart("a\\b/c"), "c");
  EXPECT_STREQ(GetFileNamePart("plain"), "plain");
  EXPECT_STREQ(GetFileNamePart("ends/"), "");
  const char* text = "a.b.c";
  EXPECT_EQ(FindLastChar(text, '.'), text + 3);
  EXPECT_EQ(FindLastChar(text, '/'), nullptr);
}

TEST(CrashLog, FileTimesPrintInLocalTimeToTwoSeconds) {
  char out[64];
  {
    ScopedTz tz("UTC0");
    FormatFileTime(FileTimeOf(2024, 3, 1, 12, 34, 57), out, sizeof out);
    EXPECT_STREQ(out, "3/1/2024 12:34:56");
    FormatFileTime(FileTimeOf(2107, 12, 31, 23, 59, 59), out, sizeof out);
    EXPECT_STREQ(out, "12/31/2107 23:59:58");
    // Outside the DOS range there is no date: the zero date prints.
    FormatFileTime(FileTimeOf(1979, 12, 31, 23, 0, 0), out, sizeof out);
    EXPECT_STREQ(out, "0/0/1980 00:00:00");
    FormatFileTime(FileTimeOf(2108, 1, 1, 0, 0, 0), out, sizeof out);
    EXPECT_STREQ(out, "0/0/1980 00:00:00");
    FormatFileTime(FILETIME{0xFFFFFFFF, 0xFFFFFFFF}, out, sizeof out);
    EXPECT_STREQ(out, "0/0/1980 00:00:00");
  }
  ScopedTz tz(kCentralEurope);
  FormatFileTime(FileTimeOf(2024, 7, 1, 23, 30, 0), out, sizeof out);
  EXPECT_STREQ(out, "7/2/2024 01:30:00");  // summer time, two hours ahead
}

TEST(CrashLog, PiecesAreCutAndTheBufferNeverOverflows) {
  LogFile log;
  const std::string big(3000, 'b');
  EXPECT_EQ(CrashLogPrintf(log.fd(), "%s", big.c_str()), 1023);
  // Pieces of 1000 characters: the buffer goes to the file once it holds
  // more than 7,168, before the next piece is added.
  std::string expected(1023, 'b');
  for (int i = 0; i < 20; ++i) {
    const std::string piece(1000, static_cast<char>('A' + i));
    EXPECT_EQ(CrashLogPrintf(log.fd(), "%s", piece.c_str()), 1000);
    expected += piece;
    if (i == 6) {
      EXPECT_EQ(log.Unflushed().size(), 0u);  // 7,023 held
    }
    if (i == 7) {
      EXPECT_EQ(log.Unflushed().size(), 8023u);
    }
  }
  EXPECT_TRUE(log.Text() == expected);  // (too long to print)
  EXPECT_EQ(log.Text(), "");  // an empty buffer writes nothing more
}

TEST(CrashLog, RegistersPrintThreeToALine) {
  LogFile log;
  CONTEXT c{};
  c.Rdi = 0x1111;
  c.Rsi = 0x2222;
  c.Rax = 0xdeadbeefcafe;
  c.Rbx = 1;
  c.Rcx = 2;
  c.Rdx = 3;
  c.Rip = 0x0000555512345678;
  c.Rbp = 0x7ffd00001000;
  c.SegCs = 0x33;
  c.EFlags = 0x10246;
  c.Rsp = 0x7ffd00000ff8;
  c.SegSs = 0x2b;
  c.R8 = 8;
  c.R9 = 9;
  c.R10 = 10;
  c.R11 = 11;
  c.R12 = 12;
  c.R13 = 13;
  c.R14 = 14;
  c.R15 = 0xffffffffffffffff;
  DumpRegisters(log.fd(), c);
  EXPECT_EQ(log.Text(),
            "\r\nContext:\r\n"
            "RDI:    0x0000000000001111  RSI: 0x0000000000002222  RAX:   0x0000deadbeefcafe\r\n"
            "RBX:    0x0000000000000001  RCX: 0x0000000000000002  RDX:   0x0000000000000003\r\n"
            "RIP:    0x0000555512345678  RBP: 0x00007ffd00001000  SegCs: 0x00000033\r\n"
            "EFlags: 0x00010246  RSP: 0x00007ffd00000ff8  SegSs: 0x0000002b\r\n"
            "R8:     0x0000000000000008  R9:  0x0000000000000009  R10:   0x000000000000000a\r\n"
            "R11:    0x000000000000000b  R12: 0x000000000000000c  R13:   0x000000000000000d\r\n"
            "R14:    0x000000000000000e  R15: 0xffffffffffffffff\r\n");
}

// A stack of `pages` readable pages between two unreadable ones, so that the
// mapping of the stack pointer ends where the test says.
class FakeStack {
 public:
  explicit FakeStack(std::size_t pages) : m_pages(pages) {
    m_page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    m_base = static_cast<uint8_t*>(::mmap(nullptr, (pages + 2) * m_page, PROT_READ | PROT_WRITE,
                                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ::mprotect(m_base, m_page, PROT_NONE);
    ::mprotect(m_base + (pages + 1) * m_page, m_page, PROT_NONE);
  }
  ~FakeStack() { ::munmap(m_base, (m_pages + 2) * m_page); }
  uint8_t* Begin() const { return m_base + m_page; }
  uint8_t* End() const { return m_base + (m_pages + 1) * m_page; }
  uint8_t* Guard() const { return m_base; }

 private:
  uint8_t* m_base;
  std::size_t m_page;
  std::size_t m_pages;
};

TEST(CrashLog, AStackOfFiveWordsGivesAFullLineAndAPaddedOne) {
  FakeStack stack(1);
  uint8_t* sp = stack.End() - 5 * 8;
  const uint8_t bytes[40] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x00, 0x01, 0x1f, 0x20,
                             0x7e, 0x7f, 0x80, 0xff, 'z', 'o', 'r', ' ', 's', 't', 'a', 'c',
                             'k', '!', '?', '~', '0', '1', '2', '3', 'w', 'o', 'r', 'd',
                             '#', '5', 0x09, 0xc3};
  std::memcpy(sp, bytes, sizeof bytes);
  LogFile log;
  DumpStack(log.fd(), reinterpret_cast<uint64_t>(sp));
  auto word = [&](int i) {
    uint64_t v;
    std::memcpy(&v, bytes + 8 * i, 8);
    return Hex16(v);
  };
  const std::string address = Hex16(reinterpret_cast<uint64_t>(sp));
  const std::string second = Hex16(reinterpret_cast<uint64_t>(sp) + 32);
  EXPECT_EQ(log.Text(), "\r\n\r\nStack:\r\n0x" + address + ": " + word(0) + " " + word(1) + " " +
                            word(2) + " " + word(3) + " " + "ABCDEFGH... ~...zor stack!?~0123" +
                            "\r\n0x" + second + ": " + word(4) + " " + std::string(3 * 17, ' ') +
                            "word#5..\r\n\r\n");
}

TEST(CrashLog, TheStackDumpStopsAt12KBytesAndAtUnreadableMemory) {
  FakeStack big(5);
  std::memset(big.Begin(), 'x', big.End() - big.Begin());
  LogFile log;
  DumpStack(log.fd(), reinterpret_cast<uint64_t>(big.Begin()));
  const std::string text = log.Text();
  // 12,288 bytes are 1,536 words, 384 full lines.
  std::size_t lines = 0;
  for (std::size_t at = text.find("\r\n0x"); at != std::string::npos; at = text.find("\r\n0x", at + 1))
    ++lines;
  EXPECT_EQ(lines, 384u);
  EXPECT_EQ(text.find("Exception"), std::string::npos);

  DumpStack(log.fd(), reinterpret_cast<uint64_t>(big.Guard()) + 8);
  EXPECT_EQ(log.Text(), "\r\n\r\nStack:\r\n0x" +
                            Hex16(reinterpret_cast<uint64_t>(big.Guard()) + 8) +
                            ": Exception encountered during stack dump.\r\n");
}

__attribute__((noinline)) void CodeMarker() { asm volatile(""); }

std::string ProgramValue(const char* name) {
  std::string text;
  ProgramVersionBlock().Query(std::string("\\StringFileInfo\\040904B0\\") + name, text);
  return text;
}

TEST(CrashLog, ModuleEntriesNameTheFileAndItsVersion) {
  auto maps = std::make_unique<ProcMaps>();
  ASSERT_TRUE(maps->Load());
  MappedModule program, library;
  ASSERT_TRUE(maps->FindModule(reinterpret_cast<uint64_t>(&CodeMarker), program));
  ASSERT_TRUE(maps->FindModule(reinterpret_cast<uint64_t>(&::getpid), library));

  LogFile log;
  EXPECT_TRUE(WriteModuleEntry(log.fd(), program.base, 7));
  const std::string text = log.Text();
  EXPECT_EQ(text.rfind("Module 7\r\n" + std::string(program.path) + "\r\nImage Base: 0x" +
                           Hex16(program.base) + "  Image Size: 0x",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("Checksum:   0x00000000  Time Stamp: 0x00000000\r\nFile Size:  "),
            std::string::npos);
  EXPECT_NE(text.find("Version Information:\r\n   Company:    " + ProgramValue("CompanyName") +
                      "\r\n   Product:    " + ProgramValue("ProductName") +
                      "\r\n   FileDesc:   " + ProgramValue("FileDescription") + "\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");

  // Other files have no version record.
  EXPECT_TRUE(WriteModuleEntry(log.fd(), library.base, 2));
  EXPECT_NE(log.Text().find("   Company:    \r\n   Product:    \r\n   FileDesc:   \r\n"
                            "   FileVer:    0.0.0.0\r\n   ProdVer:    0.0.0.0\r\n\r\n"),
            std::string::npos);

  // Not the start of a module.
  EXPECT_FALSE(WriteModuleEntry(log.fd(), reinterpret_cast<uint64_t>(&CodeMarker), 3));
  EXPECT_FALSE(WriteModuleEntry(log.fd(), 0x1000, 3));
  EXPECT_EQ(log.Text(), "");

  ListModulesToLog(log.fd());
  const std::string all = log.Text();
  EXPECT_EQ(all.rfind("Module 1\r\n", 0), 0u);
  EXPECT_NE(all.find(std::string(program.path)), std::string::npos);
  EXPECT_NE(all.find(std::string(library.path)), std::string::npos);
}

// Writes a log for a synthetic failure with the context of this call.
std::string LogFor(uint32_t code, std::initializer_list<uint64_t> parameters, bool badIp = false,
                   CONTEXT* used = nullptr) {
  TempFolder tmp;
  EXCEPTION_RECORD record{};
  record.ExceptionCode = code;
  record.NumberParameters = static_cast<uint32_t>(parameters.size());
  std::size_t i = 0;
  for (uint64_t p : parameters) record.ExceptionInformation[i++] = p;
  CONTEXT context;
  CaptureContext(context);
  if (badIp) context.Rip = 0;
  record.ExceptionAddress = context.Rip;
  if (used) *used = context;
  EXCEPTION_POINTERS pointers{&record, &context};
  const std::string path = tmp.Path("CrashLog.txt");
  EXPECT_EQ(WriteCrashLog(path.c_str(), &pointers, "Tester"), 0u);
  return Slurp(path);
}

TEST(CrashLog, TheWholeLogInItsOrder) {
  CONTEXT context;
  const std::string text = LogFor(0xC0000005, {1, 0}, false, &context);
  const std::string program = GetFileNamePart(GetProgramFilePath().c_str());
  const std::string head = program + " caused an Access Violation (0xc0000005) \r\nin module " +
                           program + " at 0033:" + Hex16(context.Rip) +
                           ".\r\n\r\nException handler called in Tester.\r\nError occurred at ";
  EXPECT_EQ(text.rfind(head, 0), 0u) << text.substr(0, 300);
  std::size_t at = 0;
  for (const std::string& part :
       {std::string(".\r\n") + GetProgramFilePath() + " \r\nOperating system:  Unknown (0.0.0).\r\n",
        std::string(" processor(s), type 8664.\r\n"), std::string("% memory in use.\r\n"),
        std::string(" MBytes physical memory.\r\n"), std::string(" MBytes paging file free.\r\n"),
        std::string("134217728 MBytes user address space.\r\n"),
        std::string(" MBytes user address space free.\r\n"
                    "Write to location 0000000000000000 caused an access violation.\r\n"
                    "\r\nContext:\r\nRDI:    0x"),
        std::string("\r\nBytes at CS:EIP:\r\n"), std::string("\r\n\r\nStack:\r\n0x"),
        std::string("Module 1\r\n"), std::string("\r\n===== [end of crash log] =====\r\n")}) {
    const std::size_t found = text.find(part, at);
    ASSERT_NE(found, std::string::npos) << "missing, or out of order: " << part;
    at = found + part.size();
  }
  EXPECT_EQ(at, text.size());

  // The code bytes are the instruction pointer's.
  std::string bytes;
  for (int i = 0; i < 16; ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%02x ", reinterpret_cast<const uint8_t*>(context.Rip)[i]);
    bytes += b;
  }
  EXPECT_NE(text.find("Bytes at CS:EIP:\r\n" + bytes + "\r\n\r\nStack:"), std::string::npos);
}

TEST(CrashLog, UnreadableCodeAndOtherFailures) {
  const std::string unknown = LogFor(0xE0000001, {}, true);
  EXPECT_NE(unknown.find(" caused an Unknown exception type (0xe0000001) \r\nin module Unknown "
                         "at 0033:0000000000000000.\r\n"),
            std::string::npos);
  std::string questions;
  for (int i = 0; i < 16; ++i) questions += "?? ";
  EXPECT_NE(unknown.find("Bytes at CS:EIP:\r\n" + questions + "\r\n"), std::string::npos);
  EXPECT_EQ(unknown.find("access violation"), std::string::npos);

  // Only a write is a write: reading and fetching code are reads.
  EXPECT_NE(LogFor(0xC0000005, {0, 0x1234}).find(
                "\r\nRead from location 0000000000001234 caused an access violation.\r\n"),
            std::string::npos);
  EXPECT_NE(LogFor(0xC0000005, {8, 0x10}).find("Read from location 0000000000000010"),
            std::string::npos);
  // One parameter is not enough for the line.
  EXPECT_EQ(LogFor(0xC0000005, {1}).find("location"), std::string::npos);
}

TEST(CrashLog, AFileThatCannotBeCreatedIsReportedToTheDebuggerOutput) {
  TempFolder tmp;
  const std::string errors = tmp.Path("stderr.txt");
  EXCEPTION_RECORD record{};
  CONTEXT context{};
  EXCEPTION_POINTERS pointers{&record, &context};
  const int saved = ::dup(STDERR_FILENO);
  const int capture = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(capture, STDERR_FILENO);
  WriteCrashLog(tmp.Path("no/such/folder/log.txt").c_str(), &pointers, "Tester");
  // Without a record there is nothing to write, and nothing is said.
  const EXCEPTION_POINTERS empty{nullptr, nullptr};
  EXPECT_EQ(WriteCrashLog(tmp.Path("none.txt").c_str(), &empty, "Tester"), 0u);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  ::close(capture);
  EXPECT_EQ(Slurp(errors), "Error creating exception report\r\n");
  EXPECT_FALSE(std::ifstream(tmp.Path("none.txt")).good());
}

}  // namespace
