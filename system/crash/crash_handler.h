// The crash handler: when a process of the suite meets a failure that nothing
// handles, it leaves a minidump for the debugger and a plain-text crash log
// in "<local application data>/Zor/CrashDumps/<program file name>/", named
// MiniDump<stamp>.dmp and CrashLog<stamp>.txt (stamp: local time as
// "yyyymmdd-hhmmss").
//
//   int main() {
//     CCrashHandler::Install();     // once, early, while the process is sound
//     ...
//   }
//
// Install sets the process's unhandled-exception filter (platform/
// signal_crash.h) to one that calls HandleInThread, gathers what the report
// needs, and starts the report thread. The report is written on that thread,
// also after a stack overflow, and once per process: a second failure, on any
// thread, writes nothing. The process then dies of its original signal.
// A stack overflow is reported on the installing thread and on every thread
// started after Install (std::thread or pthread_create); a thread that was
// already running calls zor::platform::InstallAlternateSignalStack itself.
// Threads the C library starts on its own (SIGEV_THREAD timer and message
// queue notifications) bypass pthread_create and run with every signal
// blocked: a failure on one of them ends the process without a report.
// A forked child that wants reports calls Install again.
//
// The crash files are the user's: the folders are made 0700 and the files
// 0600 as the user running the program, also in a set-user-id or
// set-group-id program, and only new files are written (a file or link
// already under a name is left alone and that file is not written). Where
// the user could not make the folder, or it is not the user's, nothing is
// written. A program that runs with borrowed ids writes no minidump (it
// would hold memory its user may not see; the kernel makes no core dump of
// such a process either) and a crash log without registers, code bytes and
// stack (system/crash/crash_log.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/exception_record.h"

class CCrashHandler {
 public:
  // True when the filter is set and the report thread runs.
  static bool Install();

  // Called by the filter on the failing thread: for a stack overflow sends
  // "A stack overflow occurred\n" to the debugger output (standard error),
  // fills the process's hand-off record, has Handle run on the report thread
  // and waits for it (runs it here when the process has no report thread).
  // Always 0.
  static uint32_t HandleInThread(zor::platform::EXCEPTION_POINTERS* pointers);

  // Writes the minidump and the crash log, on its first call only. Always 0.
  static uint32_t Handle(zor::platform::EXCEPTION_POINTERS* pointers);
};

// The crash folder for this program ("Unknown" when its name cannot be had),
// created with its parents (0700, as the user) when `create` is set.
std::string GetCrashFolder(bool create);

// Local time as "%04d%02d%02d-%02d%02d%02d".
std::string FormatCrashTimeStamp();
// The same into a caller's buffer, without allocating.
void FormatCrashTimeStamp(char* out, std::size_t size) noexcept;

// Creates the file anew (nothing happens when that fails, or in a program
// with borrowed ids) and writes the dump
// of this process: with the exception when pointers are given (its thread
// from the hand-off record), else of the calling thread without one.
void WriteMiniDump(const char* path, zor::platform::EXCEPTION_POINTERS* pointers) noexcept;
