#include "system/crash/crash_handler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/bytes.h"
#include "platform/debug_output.h"
#include "platform/minidump_writer.h"
#include "platform/report_thread.h"
#include "platform/safe_files.h"
#include "platform/safe_format.h"
#include "platform/shell_folders.h"
#include "platform/signal_crash.h"
#include "system/crash/crash_log.h"
#include "system/files/file_helpers.h"
#include "system/os/os_info.h"

namespace {

using zor::platform::EXCEPTION_POINTERS;

constexpr std::size_t kMaxFolder = 4096;
// Crash files of one program within one second before the handler gives up.
constexpr int kMaxSameSecond = 99;

// Starts set; the first Handle clears it.
std::atomic<bool> g_onceFlag{true};
zor::platform::MINIDUMP_EXCEPTION_INFORMATION g_exceptionInfo{};
// The crash folder, worked out by Install so that Handle need not allocate.
char g_crashFolder[kMaxFolder] = {};

int32_t CrashFilter(EXCEPTION_POINTERS* pointers) {
  CCrashHandler::HandleInThread(pointers);
  return zor::platform::kExceptionExecuteHandler;
}

void HandleJob(void* pointers) {
  CCrashHandler::Handle(static_cast<EXCEPTION_POINTERS*>(pointers));
}

void StripTrailingSeparators(char* path) {
  std::size_t n = std::strlen(path);
  while (n > 1 && (path[n - 1] == '/' || path[n - 1] == '\\')) path[--n] = '\0';
}

}  // namespace

std::string GetCrashFolder(bool create) {
  std::string name = GetModuleName(true);
  if (name.empty()) name = "Unknown";
  std::string folder;
  GetShellFolder(zor::platform::kCsidlLocalAppData, "Zor/CrashDumps/" + name, folder, false);
  if (create && !folder.empty()) zor::platform::MakePrivateFolders(folder);
  return folder;
}

void FormatCrashTimeStamp(char* out, std::size_t size) noexcept {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct tm local{};
  ::localtime_r(&now.tv_sec, &local);
  zor::platform::SafeFormat(out, size, "%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900,
                            local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                            local.tm_sec);
}

std::string FormatCrashTimeStamp() {
  char stamp[32];
  FormatCrashTimeStamp(stamp, sizeof stamp);
  return stamp;
}

void WriteMiniDump(const char* path, EXCEPTION_POINTERS* pointers) noexcept {
  // The dump holds the process's memory: none of a program that borrows
  // another user's rights, whose memory its user may not see.
  if (path == nullptr || zor::platform::RunsWithBorrowedIds()) return;
  const int file = zor::platform::CreateFresh(path, O_WRONLY, 0600);
  if (file < 0) return;
  zor::platform::MinidumpRequest request;
  zor::platform::CONTEXT own;
  if (pointers != nullptr && pointers->ContextRecord != nullptr) {
    request.context = pointers->ContextRecord;
    request.exception = pointers->ExceptionRecord;
    request.threadId = g_exceptionInfo.ExceptionPointers == pointers
                           ? g_exceptionInfo.ThreadId
                           : static_cast<uint32_t>(::gettid());
  } else {
    zor::platform::CaptureContext(own);
    request.context = &own;
    request.threadId = static_cast<uint32_t>(::gettid());
  }
  zor::platform::WriteMinidump(file, request);
  ::fsync(file);
  ::close(file);
}

bool CCrashHandler::Install() {
  PrepareCrashLog();
  zor::platform::SetFieldText(g_crashFolder, GetCrashFolder(false));
  StripTrailingSeparators(g_crashFolder);
  const bool started = zor::platform::StartReportThread();
  zor::platform::SetUnhandledExceptionFilter(&CrashFilter);
  return started;
}

uint32_t CCrashHandler::HandleInThread(EXCEPTION_POINTERS* pointers) {
  if (pointers != nullptr && pointers->ExceptionRecord != nullptr &&
      pointers->ExceptionRecord->ExceptionCode == zor::platform::kExceptionStackOverflow)
    zor::platform::OutputDebugString("A stack overflow occurred\n");
  g_exceptionInfo.ThreadId = static_cast<uint32_t>(::gettid());
  g_exceptionInfo.ExceptionPointers = pointers;
  g_exceptionInfo.ClientPointers = 0;
  if (!zor::platform::RunOnReportThread(&HandleJob, pointers)) Handle(pointers);
  return 0;
}

uint32_t CCrashHandler::Handle(EXCEPTION_POINTERS* pointers) {
  if (!g_onceFlag.exchange(false)) return 0;
  char folder[kMaxFolder];
  if (g_crashFolder[0] != '\0') {
    std::memcpy(folder, g_crashFolder, sizeof folder);
  } else {
    // Not installed: nothing was worked out ahead, so allocate now.
    zor::platform::SetFieldText(folder, GetCrashFolder(false));
    StripTrailingSeparators(folder);
  }
  // Without a folder there is nowhere to write (not the file system's
  // root), nor in one the user could not make or does not own.
  if (folder[0] == '\0' || zor::platform::MakePrivateFolders(folder) != 0) return 0;
  char stamp[32];
  FormatCrashTimeStamp(stamp, sizeof stamp);
  // The files are made fresh, never over an old one: a second crash within
  // the same second (a restart loop, two instances), or a name someone took
  // ahead, moves both files to the next free "-<n>".
  char dump[kMaxFolder + 64];
  char log[kMaxFolder + 64];
  for (int n = 1; n <= kMaxSameSecond; ++n) {
    char suffix[16] = "";
    if (n > 1) zor::platform::SafeFormat(suffix, sizeof suffix, "-%d", n);
    zor::platform::SafeFormat(dump, sizeof dump, "%s/MiniDump%s%s.dmp", folder, stamp, suffix);
    zor::platform::SafeFormat(log, sizeof log, "%s/CrashLog%s%s.txt", folder, stamp, suffix);
    struct stat st;
    if (::lstat(dump, &st) != 0 && errno == ENOENT && ::lstat(log, &st) != 0 && errno == ENOENT)
      break;
  }
  WriteMiniDump(dump, pointers);
  WriteCrashLog(log, pointers, "CCrashHandler::Handle");
  return 0;
}
