#include "platform/minidump_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/signal_crash.h"
#include "platform/version_resource.h"
#include "tests/support/lldb_runner.h"
#include "tests/support/minidump_reader.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace zor::platform;

// Data the dump must carry: a writable global of this program.
char g_globalMarker[32] = "zor-global-marker-0123456789";

struct Written {
  std::string path;
  CONTEXT context;
  EXCEPTION_RECORD record;
  uint64_t localAddress = 0;
  char localCopy[24] = {};
};

__attribute__((noinline)) void WriteDumpHere(const std::string& path, bool withException,
                                            Written& out) {
  volatile char local[24] = "zor-stack-marker-98765";
  out.localAddress = reinterpret_cast<uint64_t>(&local[0]);
  std::memcpy(out.localCopy, const_cast<char*>(&local[0]), sizeof local);
  CaptureContext(out.context);
  std::memset(&out.record, 0, sizeof out.record);
  out.record.ExceptionCode = kExceptionAccessViolation;
  out.record.ExceptionAddress = out.context.Rip;
  out.record.NumberParameters = 2;
  out.record.ExceptionInformation[0] = 1;
  out.record.ExceptionInformation[1] = 0x10;
  MinidumpRequest request;
  request.threadId = static_cast<uint32_t>(::gettid());
  request.context = &out.context;
  request.exception = withException ? &out.record : nullptr;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(WriteMinidump(fd, request));
  ::close(fd);
  out.path = path;
}

TEST(MinidumpWriter, WritesTheStreamsADebuggerNeeds) {
  TempFolder tmp;
  Written w;
  WriteDumpHere(tmp.Path("a.dmp"), true, w);
  MinidumpReader dump(ReadFileBytes(w.path));
  std::string why;
  ASSERT_TRUE(dump.Check(why)) << why;
  EXPECT_EQ(dump.U32(20) != 0, true);       // time stamp
  EXPECT_EQ(dump.U64(24), 0x101u);          // data segments, process and thread data

  const auto system = dump.System();
  ASSERT_TRUE(system);
  EXPECT_EQ(system->architecture, kProcessorArchitectureAmd64);
  EXPECT_EQ(system->platform, kMinidumpPlatformLinux);
  EXPECT_GE(system->processors, 1);
  EXPECT_EQ(system->csdVersion.rfind("Linux ", 0), 0u) << system->csdVersion;
  ASSERT_TRUE(dump.Find(kMiscInfoStream));
  EXPECT_EQ(dump.U32(dump.Find(kMiscInfoStream)->rva + 8), static_cast<uint32_t>(::getpid()));

  // The thread: its id, its context byte for byte, its stack with our local.
  const auto threads = dump.Threads();
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_EQ(threads[0].id, static_cast<uint32_t>(::gettid()));
  ASSERT_EQ(threads[0].contextSize, sizeof(CONTEXT));
  EXPECT_EQ(0, std::memcmp(dump.Data(threads[0].contextRva, sizeof(CONTEXT)).data(), &w.context,
                           sizeof(CONTEXT)));
  EXPECT_LE(threads[0].stackStart, w.context.Rsp);
  EXPECT_GT(threads[0].stackStart + threads[0].stackSize, w.localAddress);
  const auto local = dump.ReadMemory(w.localAddress, sizeof w.localCopy);
  ASSERT_EQ(local.size(), sizeof w.localCopy);
  EXPECT_EQ(0, std::memcmp(local.data(), w.localCopy, sizeof w.localCopy));

  // The exception, as debuggers read Linux dumps: the signal and the data address.
  const auto e = dump.ExceptionStream();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->threadId, static_cast<uint32_t>(::gettid()));
  EXPECT_EQ(e->code, static_cast<uint32_t>(SIGSEGV));
  EXPECT_EQ(e->address, 0x10u);
  EXPECT_EQ(e->parameterCount, 2u);
  EXPECT_EQ(e->parameters[0], 1u);
  EXPECT_EQ(e->contextRva, threads[0].contextRva);

  // Modules: this program, with its build id, and the C library.
  const auto modules = dump.Modules();
  const std::string self = GetProgramFilePath();
  bool sawSelf = false, sawLibc = false;
  for (const auto& m : modules) {
    if (m.name == self) {
      sawSelf = true;
      EXPECT_EQ(m.cvSignature, kCvSignatureElfBuildId);
      EXPECT_GE(m.buildId.size(), 8u);
      EXPECT_LE(m.base, w.context.Rip);
      EXPECT_GT(m.base + m.size, w.context.Rip);
      const auto head = dump.ReadMemory(w.context.Rip, 16);
      EXPECT_EQ(head.size(), 16u);  // code bytes around the instruction pointer
    }
    sawLibc = sawLibc || m.name.find("libc.so") != std::string::npos;
  }
  EXPECT_TRUE(sawSelf);
  EXPECT_TRUE(sawLibc);

  // The program's writable data.
  const auto global = dump.ReadMemory(reinterpret_cast<uint64_t>(g_globalMarker),
                                      sizeof g_globalMarker);
  ASSERT_EQ(global.size(), sizeof g_globalMarker);
  EXPECT_EQ(0, std::memcmp(global.data(), g_globalMarker, sizeof g_globalMarker));

  // Every memory range lies inside the file and none overlaps another.
  const auto ranges = dump.MemoryRanges();
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    EXPECT_EQ(dump.Data(ranges[i].rva, ranges[i].size).size(), ranges[i].size);
    for (std::size_t j = i + 1; j < ranges.size(); ++j)
      EXPECT_TRUE(ranges[i].start + ranges[i].size <= ranges[j].start ||
                  ranges[j].start + ranges[j].size <= ranges[i].start);
  }

  EXPECT_NE(dump.StreamText(kLinuxMapsStream).find("[stack]"), std::string::npos);
  EXPECT_NE(dump.StreamText(kLinuxProcStatusStream).find("Pid:"), std::string::npos);
}

TEST(MinidumpWriter, WithoutAnExceptionThereIsNoExceptionStream) {
  TempFolder tmp;
  Written w;
  WriteDumpHere(tmp.Path("b.dmp"), false, w);
  MinidumpReader dump(ReadFileBytes(w.path));
  std::string why;
  ASSERT_TRUE(dump.Check(why)) << why;
  EXPECT_FALSE(dump.Find(kExceptionStream));
  EXPECT_EQ(dump.Threads().size(), 1u);
}

TEST(MinidumpWriter, RefusesWhatItCannotWrite) {
  CONTEXT context{};
  MinidumpRequest request;
  EXPECT_FALSE(WriteMinidump(1, request));  // no context
  request.context = &context;
  EXPECT_FALSE(WriteMinidump(-1, request));
  const int readOnly = ::open("/dev/null", O_RDONLY);
  EXPECT_FALSE(WriteMinidump(readOnly, request));
  ::close(readOnly);
}

TEST(MinidumpWriter, OpensInLldb) {
  if (!LldbInstalled()) GTEST_SKIP() << "lldb is not installed";
  TempFolder tmp;
  Written w;
  WriteDumpHere(tmp.Path("c.dmp"), true, w);
  const auto out = RunLldbOnCore(w.path, {"thread list", "bt"});
  ASSERT_TRUE(out);
  EXPECT_NE(out->find("tid = " + std::to_string(::gettid())), std::string::npos) << *out;
  EXPECT_NE(out->find("stop reason = signal SIGSEGV"), std::string::npos) << *out;
  EXPECT_NE(out->find("WriteDumpHere"), std::string::npos) << *out;
}

}  // namespace
