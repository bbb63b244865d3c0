#include "platform/report_thread.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace zor::platform {
namespace {

struct Request {
  ReportJob job;
  void* argument;
};
static_assert(sizeof(Request) <= PIPE_BUF, "a request must reach the pipe in one piece");

// The process that owns the thread and pipes below; a forked child sees its
// parent's id here and starts its own.
std::atomic<pid_t> g_owner{0};
std::atomic<pid_t> g_threadId{0};
int g_requestPipe[2] = {-1, -1};
int g_donePipe[2] = {-1, -1};
std::mutex g_startMutex;

bool ReadAll(int fd, void* data, std::size_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = ::read(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void* ThreadMain(void*) {
  g_threadId.store(::gettid(), std::memory_order_release);
  const int requests = g_requestPipe[0];
  const int done = g_donePipe[1];
  Request request;
  while (ReadAll(requests, &request, sizeof request)) {
    if (request.job != nullptr) request.job(request.argument);
    const char ack = 1;
    WriteAll(done, &ack, 1);
  }
  return nullptr;
}

void ClosePipe(int (&fds)[2]) {
  for (int& fd : fds) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

}  // namespace

bool StartReportThread() noexcept {
  std::lock_guard<std::mutex> lock(g_startMutex);
  const pid_t self = ::getpid();
  if (g_owner.load(std::memory_order_acquire) == self) return true;
  // Pipes inherited from a parent still lead to the parent's thread.
  ClosePipe(g_requestPipe);
  ClosePipe(g_donePipe);
  if (::pipe2(g_requestPipe, O_CLOEXEC) != 0) return false;
  if (::pipe2(g_donePipe, O_CLOEXEC) != 0) {
    ClosePipe(g_requestPipe);
    return false;
  }
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);  // the thread inherits the mask
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int rc = pthread_create(&thread, &attr, &ThreadMain, nullptr);
  pthread_attr_destroy(&attr);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (rc != 0) {
    ClosePipe(g_requestPipe);
    ClosePipe(g_donePipe);
    return false;
  }
  g_owner.store(self, std::memory_order_release);
  return true;
}

bool IsReportThreadRunning() noexcept {
  return g_owner.load(std::memory_order_acquire) == ::getpid();
}

bool IsReportThread() noexcept {
  return IsReportThreadRunning() && ::gettid() == g_threadId.load(std::memory_order_acquire);
}

bool RunOnReportThread(ReportJob job, void* argument) noexcept {
  const int savedErrno = errno;
  bool ran = false;
  if (IsReportThreadRunning() && !IsReportThread()) {
    const Request request{job, argument};
    char ack = 0;
    ran = WriteAll(g_requestPipe[1], &request, sizeof request) &&
          ReadAll(g_donePipe[0], &ack, 1);
  }
  errno = savedErrno;
  return ran;
}

}  // namespace zor::platform
