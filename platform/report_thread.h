// A thread started while the process is sound that later runs one job for a
// signal handler: a crash report needs a healthy stack of its own (the failing
// one may have overflowed), and a thread cannot be created from a handler.
//
//   zor::platform::StartReportThread();                  // at start-up
//   ...
//   // in a signal handler: runs Report(&info) on the report thread and waits
//   if (!zor::platform::RunOnReportThread(&Report, &info)) Report(&info);
//
// The report thread blocks every signal, so a fault inside the job ends the
// process at once instead of re-entering the crash handler. After fork() the
// child has no report thread until it calls StartReportThread itself.
#pragma once

namespace zor::platform {

using ReportJob = void (*)(void* argument);

// Starts the thread (once per process; again in a forked child). False when
// it cannot be started.
bool StartReportThread() noexcept;

// True when this process has a report thread.
bool IsReportThreadRunning() noexcept;

// Async-signal-safe. True when called on the report thread itself.
bool IsReportThread() noexcept;

// Async-signal-safe. Hands the job to the report thread and waits, without a
// time-out, until it returns. False (job not run) when this process has no
// report thread, or when called on the report thread itself.
bool RunOnReportThread(ReportJob job, void* argument) noexcept;

}  // namespace zor::platform
