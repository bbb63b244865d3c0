#include "system/process/kill_on_close_job.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// How long an Add waits for the guard's answer.
constexpr int kAnswerTimeoutMs = 5000;

// The guard is a fork of a process that may run other threads, so it makes
// system calls only: no allocation, no locks, nothing that libc may hold.
long Sys(long number, long a = 0, long b = 0, long c = 0, long d = 0, long e = 0) {
  return ::syscall(number, a, b, c, d, e);
}

bool HasEnded(int pidfd) {
  pollfd entry{pidfd, POLLIN, 0};
  timespec zero{0, 0};
  return Sys(SYS_ppoll, reinterpret_cast<long>(&entry), 1, reinterpret_cast<long>(&zero), 0,
             sizeof(sigset_t)) == 1 &&
         (entry.revents & POLLIN) != 0;
}

// Receives one process descriptor; -1 when the message held none, -2 when
// the owner is gone.
int ReceiveDescriptor(int sock) {
  for (;;) {
    char byte = 0;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    iovec part{&byte, 1};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const long n = Sys(SYS_recvmsg, sock, reinterpret_cast<long>(&message), MSG_CMSG_CLOEXEC);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -2;
    const cmsghdr* header = CMSG_FIRSTHDR(&message);
    if (header == nullptr || header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS ||
        header->cmsg_len != CMSG_LEN(sizeof(int)))
      return -1;
    int fd = -1;
    std::memcpy(&fd, CMSG_DATA(header), sizeof fd);
    return fd;
  }
}

[[noreturn]] void RunGuard(int sock) {
  // Only the socket stays open, so every other descriptor the guard holds is
  // a process descriptor it received.
  if (sock > 0) Sys(SYS_close_range, 0, sock - 1, 0);
  Sys(SYS_close_range, sock + 1, ~0U, 0);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP})
    ::sigaction(sig, &ignore, nullptr);
  Sys(SYS_prctl, PR_SET_NAME, reinterpret_cast<long>("zor-job-guard"));

  int highest = -1;
  for (;;) {
    const int fd = ReceiveDescriptor(sock);
    if (fd == -2) break;
    if (fd >= 0) {
      // Let go of processes that have ended, so descriptors do not pile up.
      for (int old = 0; old <= highest; ++old)
        if (old != sock && HasEnded(old)) Sys(SYS_close, old);
      if (fd > highest) highest = fd;
    }
    const char answer = fd >= 0 ? 1 : 0;
    Sys(SYS_sendto, sock, reinterpret_cast<long>(&answer), 1, MSG_NOSIGNAL, 0);
  }
  for (int fd = 0; fd <= highest; ++fd)
    if (fd != sock) Sys(SYS_pidfd_send_signal, fd, SIGKILL, 0, 0);
  Sys(SYS_exit_group, 0);
  __builtin_unreachable();
}

}  // namespace

std::unique_ptr<KillOnCloseJob> KillOnCloseJob::Create() {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return nullptr;
  const pid_t guard = ::fork();
  if (guard == 0) RunGuard(ends[1]);
  ::close(ends[1]);
  if (guard < 0) {
    ::close(ends[0]);
    return nullptr;
  }
  return std::unique_ptr<KillOnCloseJob>(new KillOnCloseJob(ends[0], guard));
}

KillOnCloseJob::~KillOnCloseJob() { Close(); }

void KillOnCloseJob::Close() noexcept {
  if (m_socket < 0) return;
  // Closing our end is what tells the guard to end the processes and itself.
  ::close(m_socket);
  m_socket = -1;
  while (::waitpid(m_guard, nullptr, 0) < 0 && errno == EINTR) {
  }
}

bool KillOnCloseJob::Add(const ProcessHandle& process) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_socket < 0 || m_broken || !process) return false;

  char byte = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  iovec part{&byte, 1};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof(int));
  const int fd = process.Fd();
  std::memcpy(CMSG_DATA(header), &fd, sizeof fd);

  ssize_t sent;
  do {
    sent = ::sendmsg(m_socket, &message, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent != 1) {
    // The guard is gone (its processes are no longer covered): reap it.
    Close();
    return false;
  }
  pollfd entry{m_socket, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&entry, 1, kAnswerTimeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready != 1) {
    // A late answer would be taken for the next one's: stop adding, but
    // leave the guard watching what it already holds.
    m_broken = true;
    return false;
  }
  char answer = 0;
  ssize_t got;
  do {
    got = ::recv(m_socket, &answer, 1, 0);
  } while (got < 0 && errno == EINTR);
  if (got == 1) return answer == 1;
  // The guard ended (or reset the connection) before it answered.
  Close();
  return false;
}

KillOnCloseJob* GetKillOnCloseJob() {
  static std::mutex mutex;
  // Never destroyed: the job lasts as long as the process.
  static KillOnCloseJob* job = nullptr;
  std::lock_guard<std::mutex> lock(mutex);
  if (job == nullptr) job = KillOnCloseJob::Create().release();
  return job;
}

bool AddProcessToKillOnCloseJob(const ProcessHandle& process) {
  KillOnCloseJob* job = GetKillOnCloseJob();
  return job != nullptr && job->Add(process);
}
