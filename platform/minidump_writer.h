// Writes a minidump of the running process: the public crash-dump format
// ("MDMP", version 0xA793) that post-mortem debuggers open, e.g.
//   lldb -c MiniDump20240301-120000.dmp --batch -o "thread list" -o "bt"
//
//   zor::platform::CONTEXT context;
//   zor::platform::CaptureContext(context);
//   zor::platform::MinidumpRequest request;
//   request.threadId = gettid();
//   request.context = &context;
//   request.exception = &record;                   // or null: no exception stream
//   bool ok = zor::platform::WriteMinidump(fd, request);
//
// Streams: system information (AMD64, platform Linux 0x8201, the kernel's
// name and release as the service-pack text), process id (misc info), the
// exception, the thread list (the given thread with its context and stack),
// the module list (mapped ELF files with an executable mapping, their build
// ids as CodeView records), the memory list (the stack, the code around the
// instruction pointer, the modules' writable data, each bounded), and copies
// of /proc/self/status, /proc/self/cmdline and /proc/self/maps.
//
// Exception stream on Linux (as debuggers read dumps of this platform id):
// the code is the signal number (SignalOfExceptionCode), the address is the
// faulting data address for access violations and in-page errors, else the
// instruction's; the record's parameters follow as they are.
//
// Async-signal-safe: no allocation, no locks, only system calls and memory
// read through SafeRead; fixed storage inside, so one dump at a time (a
// second call while one runs returns false). Only the given thread is
// written: the other threads cannot be stopped and read from inside the
// process.
#pragma once

#include <cstdint>

#include "platform/exception_record.h"

namespace zor::platform {

inline constexpr uint32_t kMinidumpSignature = 0x504D444D;  // "MDMP"
inline constexpr uint32_t kMinidumpVersion = 0xA793;
inline constexpr uint16_t kProcessorArchitectureAmd64 = 9;
inline constexpr uint32_t kMinidumpPlatformLinux = 0x8201;
// Dump types (header flags): data segments, process and thread data.
inline constexpr uint64_t kMiniDumpWithDataSegs = 0x1;
inline constexpr uint64_t kMiniDumpWithProcessThreadData = 0x100;

// Stream types.
inline constexpr uint32_t kThreadListStream = 3;
inline constexpr uint32_t kModuleListStream = 4;
inline constexpr uint32_t kMemoryListStream = 5;
inline constexpr uint32_t kExceptionStream = 6;
inline constexpr uint32_t kSystemInfoStream = 7;
inline constexpr uint32_t kMiscInfoStream = 15;
inline constexpr uint32_t kLinuxProcStatusStream = 0x47670004;
inline constexpr uint32_t kLinuxCmdLineStream = 0x47670006;
inline constexpr uint32_t kLinuxMapsStream = 0x47670009;
// CodeView record of an ELF module: this signature and the build id.
inline constexpr uint32_t kCvSignatureElfBuildId = 0x4270454C;  // "BpEL"

struct MinidumpRequest {
  uint32_t threadId = 0;                        // the thread of `context`
  const CONTEXT* context = nullptr;             // required
  const EXCEPTION_RECORD* exception = nullptr;  // null: no exception stream
  uint64_t dumpType = kMiniDumpWithDataSegs | kMiniDumpWithProcessThreadData;
};

// Writes the dump from offset 0 of `fd` (opened for writing). False when a
// write failed, the request has no context, or another dump is being written.
bool WriteMinidump(int fd, const MinidumpRequest& request) noexcept;

}  // namespace zor::platform
