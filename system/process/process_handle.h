// A started child process, held through a process file descriptor.
//
//   ProcessHandle child = StartProcessWithArgs("/usr/bin/tool", {"--fast"}, nullptr);
//   if (!child) return;                         // nothing started
//   if (child.Wait(5000)) use(*child.ExitCode());
//   // Going out of scope never stops the child; a child that is still running
//   // is reaped in the background once it ends, so none is left a zombie.
//
// Fd() is a descriptor that polls readable once the process has ended, so it
// can be waited on with others (WaitForManyObjects). -1 stands for "no
// process", the failure value of the starting functions.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

#include "platform/named_event.h"

class ProcessHandle {
 public:
  ProcessHandle() noexcept = default;
  // Takes over a child of this process and the process descriptor opened for
  // it; the handle reaps the child.
  ProcessHandle(pid_t pid, int pidfd) noexcept : m_pid(pid), m_fd(pidfd) {}
  ProcessHandle(ProcessHandle&& other) noexcept;
  ProcessHandle& operator=(ProcessHandle&& other) noexcept;
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  ~ProcessHandle() { Close(); }

  explicit operator bool() const noexcept { return m_fd >= 0; }
  int Fd() const noexcept { return m_fd; }
  pid_t Pid() const noexcept { return m_pid; }

  // Waits up to `timeoutMs` (zor::platform::kInfinite: no limit) for the
  // process to end and reaps it; true when it has ended.
  bool Wait(uint32_t timeoutMs);
  // The exit status once Wait has seen the end: the program's exit code, or
  // 128 plus the signal number when a signal ended it. Empty while running,
  // and when something else in the process (a wait for any child, SIGCHLD
  // set to be ignored) took the status first.
  std::optional<int> ExitCode() const noexcept { return m_exitCode; }

  // Lets go of the process, which keeps running: reaped now when it has
  // ended, else by a background thread when it ends.
  void Close() noexcept;

 private:
  // Reaps the ended process (with `block`, waits for its end first); true
  // when it has been reaped, now or before.
  bool TryReap(bool block) noexcept;

  pid_t m_pid = 0;
  int m_fd = -1;
  bool m_reaped = false;
  std::optional<int> m_exitCode;
};
