// Tying started programs to the lifetime of this process: every process
// added to the kill-on-close job is killed when this process ends, whether it
// returns, exits, crashes or is killed.
//
//   ProcessHandle helper = StartProcess("zorhelper", nullptr, nullptr);
//   if (!AddProcessToKillOnCloseJob(helper)) { /* it would outlive us */ }
//
// Linux has no job objects: the job is a guard process, forked on first use,
// that holds a process descriptor of each added process and kills them all
// once this process's end closes the socket between the two. Processes that
// an added process starts itself are not added with it.
#pragma once

#include <sys/types.h>

#include <memory>
#include <mutex>

#include "system/process/process_handle.h"

class KillOnCloseJob {
 public:
  // Forks the guard; null when that fails.
  static std::unique_ptr<KillOnCloseJob> Create();
  KillOnCloseJob(const KillOnCloseJob&) = delete;
  KillOnCloseJob& operator=(const KillOnCloseJob&) = delete;
  // Closing the job kills its processes, as the end of this process does.
  ~KillOnCloseJob();

  // True when the guard has taken the process over. Once the guard is gone
  // (killed from outside) or stops answering, every further call fails.
  bool Add(const ProcessHandle& process);
  pid_t GuardPid() const noexcept { return m_guard; }

 private:
  KillOnCloseJob(int socket, pid_t guard) noexcept : m_socket(socket), m_guard(guard) {}
  // Closes our end and reaps the guard.
  void Close() noexcept;

  std::mutex m_mutex;
  int m_socket;
  pid_t m_guard;
  bool m_broken = false;
};

// The process-wide job, created on first use and kept for the life of the
// process; null when it could not be created (a later call tries again).
KillOnCloseJob* GetKillOnCloseJob();
bool AddProcessToKillOnCloseJob(const ProcessHandle& process);
