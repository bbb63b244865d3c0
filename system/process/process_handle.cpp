#include "system/process/process_handle.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>
#include <utility>

namespace {

// The exit status of a reaped child: its code, or 128 + the signal.
int StatusOf(const siginfo_t& info) {
  return info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
}

// Blocks until the child behind `pidfd` ends, reaps it and closes the descriptor.
void ReapInBackground(int pidfd) noexcept {
  siginfo_t info{};
  while (::waitid(P_PIDFD, static_cast<id_t>(pidfd), &info, WEXITED) != 0 && errno == EINTR) {
  }
  ::close(pidfd);
}

}  // namespace

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
    : m_pid(std::exchange(other.m_pid, 0)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_reaped(std::exchange(other.m_reaped, false)),
      m_exitCode(std::exchange(other.m_exitCode, std::nullopt)) {}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
  if (this != &other) {
    Close();
    m_pid = std::exchange(other.m_pid, 0);
    m_fd = std::exchange(other.m_fd, -1);
    m_reaped = std::exchange(other.m_reaped, false);
    m_exitCode = std::exchange(other.m_exitCode, std::nullopt);
  }
  return *this;
}

bool ProcessHandle::TryReap(bool block) noexcept {
  if (m_reaped) return true;
  siginfo_t info{};
  int rc;
  do {
    rc = ::waitid(P_PIDFD, static_cast<id_t>(m_fd), &info, WEXITED | (block ? 0 : WNOHANG));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    // ECHILD: reaped elsewhere (SIGCHLD ignored, or a wait for any child).
    if (errno != ECHILD) return false;
    m_reaped = true;
    return true;
  }
  if (info.si_pid == 0) return false;  // still running
  m_reaped = true;
  m_exitCode = StatusOf(info);
  return true;
}

bool ProcessHandle::Wait(uint32_t timeoutMs) {
  if (m_fd < 0) return false;
  if (m_reaped) return true;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int wait = -1;
    if (timeoutMs != zor::platform::kInfinite) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
    }
    pollfd entry{m_fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, wait);
    if (ready > 0) return TryReap(true);
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

void ProcessHandle::Close() noexcept {
  if (m_fd < 0) return;
  if (!TryReap(false)) {
    try {
      std::thread(ReapInBackground, m_fd).detach();
      m_fd = -1;
    } catch (...) {
      // No thread to spare: the child stays a zombie until this process ends.
    }
  }
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_pid = 0;
  m_reaped = false;
}
