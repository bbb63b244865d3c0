#include "system/process/child_redirecter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <exception>
#include <new>
#include <vector>

#include "system/files/file_helpers.h"
#include "platform/path_text.h"

extern char** environ;

namespace {

constexpr std::size_t kReadBlock = 4096;
// Reported when the child was reaped by someone else (SIGCHLD ignored).
constexpr uint32_t kUnknownExitCode = 0xFFFFFFFFu;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The Windows run-time's rules: the program name ends at the first blank
// outside quotes and takes no escapes; in later arguments 2n backslashes
// before a quote give n and the quote groups, 2n+1 give n and a literal
// quote, and "" inside quotes is a literal quote.
std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n && IsBlank(line[i])) ++i;
  if (i == n) return args;

  std::string program;
  bool quoted = false;
  for (; i < n && (quoted || !IsBlank(line[i])); ++i) {
    if (line[i] == '"')
      quoted = !quoted;
    else
      program += line[i];
  }
  args.push_back(std::move(program));

  for (;;) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i == n) break;
    std::string arg;
    quoted = false;
    while (i < n && (quoted || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        std::size_t count = 0;
        for (; i < n && line[i] == '\\'; ++i) ++count;
        if (i < n && line[i] == '"') {
          arg.append(count / 2, '\\');
          if (count % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(count, '\\');
        }
      } else if (line[i] == '"') {
        if (quoted && i + 1 < n && line[i + 1] == '"') {
          arg += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += line[i++];
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::string Native(const std::string& path) { return zor::platform::ToNativePath(path); }

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);  // never retried: Linux frees the number even on EINTR
  fd = -1;
}

// Pipe ends numbered 3 or above, so that moving them onto the child's 0, 1
// and 2 can never overwrite one another when the caller has closed its own
// standard handles.
bool MakePipe(int ends[2]) {
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  for (int k = 0; k < 2; ++k) {
    if (ends[k] >= 3) continue;
    const int moved = ::fcntl(ends[k], F_DUPFD_CLOEXEC, 3);
    ::close(ends[k]);
    ends[k] = moved;
  }
  if (ends[0] >= 0 && ends[1] >= 0) return true;
  CloseFd(ends[0]);
  CloseFd(ends[1]);
  return false;
}

bool SetNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// What the pidfd calls answer, for the child they name only: its id may
// already belong to another process.
int SendSignal(int pidfd, int signal, unsigned flags) {
  return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, flags));
}

// Signals the child's whole process group (Linux 6.9 and later).
constexpr unsigned kSignalProcessGroup = 1u << 2;

// True once the child has ended, or was reaped by someone else.
bool HasEnded(int pidfd) {
  siginfo_t info;
  std::memset(&info, 0, sizeof info);
  int rc;
  do {
    rc = ::waitid(P_PIDFD, static_cast<id_t>(pidfd), &info, WEXITED | WNOHANG | WNOWAIT);
  } while (rc != 0 && errno == EINTR);
  return rc != 0 || info.si_pid != 0;
}

// Whether the pidfd names a child of this process, ended or not.
bool IsChild(int pidfd) {
  siginfo_t info;
  int rc;
  do {
    rc = ::waitid(P_PIDFD, static_cast<id_t>(pidfd), &info, WEXITED | WNOHANG | WNOWAIT);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 || errno != ECHILD;
}

// The exit code of a child that has ended, reaping it; unknown when someone
// else reaped it first.
uint32_t Reap(int pidfd) {
  siginfo_t info;
  std::memset(&info, 0, sizeof info);
  int rc;
  do {
    rc = ::waitid(P_PIDFD, static_cast<id_t>(pidfd), &info, WEXITED);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0 || info.si_pid == 0) return kUnknownExitCode;
  if (info.si_code == CLD_EXITED) return static_cast<uint32_t>(info.si_status);
  return 128u + static_cast<uint32_t>(info.si_status);
}

// The child's program and arguments from the redirecter's settings.
bool BuildArguments(const std::string& application, const std::string& commandLine,
                    std::string& program, bool& searchPath, std::vector<std::string>& args) {
  args = SplitCommandLine(commandLine);
  program = Native(application);
  searchPath = false;
  if (program.empty()) {
    if (args.empty() || args[0].empty()) return false;
    program = Native(args[0]);
    searchPath = program.find('/') == std::string::npos;
  }
  if (args.empty()) args.push_back(program);
  // A relative path means the caller's folder, not the child's new one.
  if (!searchPath && program[0] != '/') {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(program, ec);
    if (ec) return false;
    program = absolute.string();
  }
  return true;
}


// The redirecter whose I/O thread this is: calls from inside SendMessage.
thread_local const CZORRedirecter* t_ioOf = nullptr;

// Writes what the pipe takes now: the count, or -1 (errno set) when the
// child no longer reads and nothing was written.
ssize_t WriteNow(int fd, const char* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      break;
    } else {
      return done == 0 ? -1 : static_cast<ssize_t>(done);
    }
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

struct CZORRedirecter::Write {
  const char* bytes;
  std::size_t size;
  std::size_t done = 0;
  bool tried = false;     // the I/O thread has offered it to the child
  bool finished = false;  // nothing more will be written
  bool failed = false;    // the child no longer reads
};

// A call that may wait: the destructor waits until none is left.
class CZORRedirecter::Call {
 public:
  explicit Call(CZORRedirecter& r) : m_r(r) {
    std::lock_guard<std::mutex> lock(m_r.m_mutex);
    ++m_r.m_calls;
  }
  ~Call() {
    std::lock_guard<std::mutex> lock(m_r.m_mutex);
    --m_r.m_calls;
    m_r.m_changed.notify_all();  // under the lock: the destructor may free it next
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

 private:
  CZORRedirecter& m_r;
};

CZORRedirecter::~CZORRedirecter() {
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_destroying = true;
    // A Start under way on another thread may still make a child: end each.
    for (;;) {
      KillChildLocked();
      FinishWritersLocked(false);
      if (m_calls == 0) break;
      m_changed.wait(lock);
    }
  }
  if (m_io.joinable()) m_io.join();
  ClosePipes();
}

bool CZORRedirecter::SetApplication(const std::string& path) {
  if (path.empty() || !FileExists(path.c_str())) return false;
  m_application = path;
  return true;
}

bool CZORRedirecter::SetCommandLine(const std::string& commandLine) {
  m_commandLine = commandLine;
  return true;
}

bool CZORRedirecter::SetWorkingDirectory(const std::string& path) {
  if ((GetFileAttributesOf(path) & 0x10) == 0) return false;
  m_workingFolder = path;
  return true;
}

bool CZORRedirecter::Claim() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_state != State::kIdle || m_destroying) return false;
    m_state = State::kStarting;
  }
  if (m_io.joinable()) m_io.join();  // it has ended: the state was idle
  ClosePipes();
  return true;
}

void CZORRedirecter::ClosePipes() {
  CloseFd(m_inputRead);
  CloseFd(m_inputWrite);
  CloseFd(m_outputRead);
  CloseFd(m_outputWrite);
  CloseFd(m_childEnded);
  CloseFd(m_wake);
}

bool CZORRedirecter::MakePipes() {
  int output[2];
  int input[2];
  if (!MakePipe(output)) return false;
  m_outputRead = output[0];
  m_outputWrite = output[1];
  if (!MakePipe(input)) {
    ClosePipes();
    return false;
  }
  m_inputRead = input[0];
  m_inputWrite = input[1];
  return true;
}

bool CZORRedirecter::CreatePipes() {
  Call call(*this);
  if (!Claim()) return false;
  const bool made = MakePipes();
  std::lock_guard<std::mutex> lock(m_mutex);
  m_state = State::kIdle;
  return made;
}

// False, with nothing started, also when memory runs out: a child must never
// get the program's own standard handles or other descriptors.
bool CZORRedirecter::Spawn(pid_t& pid) try {
  std::string program;
  bool searchPath = false;
  std::vector<std::string> args;
  if (!BuildArguments(m_application, m_commandLine, program, searchPath, args)) return false;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string folder = Native(m_workingFolder);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  bool ready = posix_spawn_file_actions_adddup2(&actions, m_inputRead, 0) == 0 &&
               posix_spawn_file_actions_adddup2(&actions, m_outputWrite, 1) == 0 &&
               posix_spawn_file_actions_adddup2(&actions, m_outputWrite, 2) == 0 &&
               // Only the standard handles reach the child, whatever another
               // thread has opened without close-on-exec meanwhile.
               posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0 &&
               (folder.empty() || posix_spawn_file_actions_addchdir_np(&actions, folder.c_str()) == 0);
  // Its own process group, so Terminate reaches what the child starts, with
  // default signal handling whatever this thread blocks or ignores.
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  ready = ready && (searchPath ? ::posix_spawnp(&pid, program.c_str(), &actions, &attributes,
                                                argv.data(), environ)
                               : ::posix_spawn(&pid, program.c_str(), &actions, &attributes,
                                               argv.data(), environ)) == 0;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return ready;
} catch (const std::bad_alloc&) {
  return false;
}

bool CZORRedirecter::Start(IRedirecterWindow* window) {
  Call call(*this);
  if (!Claim()) return false;
  const auto fail = [this] {
    ClosePipes();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state = State::kIdle;
    return false;
  };
  if (!MakePipes()) return fail();
  m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  pid_t pid = 0;
  if (m_wake < 0 || !SetNonBlocking(m_outputRead) || !SetNonBlocking(m_inputWrite) || !Spawn(pid))
    return fail();
  // The child holds its own copies; the output reaches end of file once the
  // child (and whatever it started) has closed them.
  CloseFd(m_inputRead);
  CloseFd(m_outputWrite);
  m_childEnded = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  // A child that has already ended and been reaped by someone else (SIGCHLD
  // ignored, or a handler waiting for any child) was started all the same:
  // the I/O thread only drains its output. Its id may have been taken by
  // another process meanwhile, which is then no child of ours.
  bool reaped = m_childEnded < 0 && errno == ESRCH;
  if (m_childEnded >= 0 && !IsChild(m_childEnded)) {
    CloseFd(m_childEnded);
    reaped = true;
  }

  std::lock_guard<std::mutex> lock(m_mutex);
  m_pid = pid;
  m_terminated = false;
  if (m_childEnded >= 0 || reaped) {
    m_window = window;
    m_state = State::kRunning;
    try {
      m_io = std::thread(&CZORRedirecter::Run, this);
      return true;
    } catch (const std::exception&) {  // no thread (system_error) or no memory for it
      m_state = State::kStarting;
    }
  }
  // Nothing may be left running: the child is killed and reaped.
  if (m_childEnded >= 0) {
    KillChildLocked();
    Reap(m_childEnded);
  } else if (!reaped) {
    // No descriptor to spare for a pidfd: the child, just started, is killed
    // by its id. A handler that reaps every child could have reaped it
    // already and let the id go to another process: a window of a few
    // system calls that only a pidfd would close.
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  m_pid = 0;
  ClosePipes();
  m_state = State::kIdle;
  return false;
}

bool CZORRedirecter::Terminate() {
  std::lock_guard<std::mutex> lock(m_mutex);
  KillChildLocked();
  return true;
}

void CZORRedirecter::KillChildLocked() {
  if (m_pid <= 0 || m_terminated || m_childEnded < 0) return;
  // A child that has already ended keeps its own exit code, and one reaped
  // by someone else is not signalled: its id may be another process's now.
  // Hence the pidfd alone names it.
  if (HasEnded(m_childEnded)) return;
  if (SendSignal(m_childEnded, SIGKILL, kSignalProcessGroup) != 0 && errno == EINVAL) {
    // A kernel that cannot signal a group through a pidfd: the child was
    // running an instant ago, so its group still bears its id.
    ::kill(-m_pid, SIGKILL);
  }
  SendSignal(m_childEnded, SIGKILL, 0);  // in case it left its group
  m_terminated = true;
}

int64_t CZORRedirecter::WriteInput(const void* data, std::size_t size, int timeoutMs) {
  const char* bytes = static_cast<const char*>(data);
  if (t_ioOf == this) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return WriteFromWindowLocked(bytes, size);
  }
  Call call(*this);
  std::unique_lock<std::mutex> lock(m_mutex);
  // A child already reaped (m_pid 0) takes no more input.
  if (m_state != State::kRunning || m_pid == 0 || m_inputWrite < 0 || m_closeInput ||
      m_destroying)
    return -1;
  if (size == 0) return 0;
  Write write{bytes, size};
  m_writers.push_back(&write);
  WakeLocked();
  // Past the deadline the I/O thread still gets its turn at the bytes,
  // unless it is inside SendMessage: a time-out of 0 writes what fits now.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  const auto done = [&] { return write.finished; };
  if (timeoutMs < 0) {
    m_changed.wait(lock, done);
  } else if (!m_changed.wait_until(lock, deadline, done)) {
    m_changed.wait(lock, [&] { return write.finished || write.tried || m_delivering; });
  }
  if (!write.finished) std::erase(m_writers, &write);
  if (write.failed && write.done == 0) return -1;
  return static_cast<int64_t>(write.done);
}

int64_t CZORRedirecter::WriteFromWindowLocked(const char* bytes, std::size_t size) {
  if (m_inputWrite < 0 || m_closeInput) return -1;
  if (size == 0) return 0;
  std::size_t done = 0;
  if (m_queued.empty()) {
    const ssize_t n = WriteNow(m_inputWrite, bytes, size);
    if (n < 0) {
      DropInputLocked();
      return -1;
    }
    done = static_cast<std::size_t>(n);
  }
  // After the child's end (reaped: m_pid 0) nobody would write a queue:
  // report what it took.
  if (m_pid == 0) return static_cast<int64_t>(done);
  m_queued.append(bytes + done, size - done);
  return static_cast<int64_t>(size);
}

void CZORRedirecter::CloseInput() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_state != State::kRunning) {
    if (m_state == State::kIdle) CloseFd(m_inputWrite);  // pipes made by CreatePipes
    return;
  }
  m_closeInput = true;
  FinishWritersLocked(false);
  if (t_ioOf == this) {
    if (m_queued.empty()) DropInputLocked();
    return;
  }
  WakeLocked();
}

void CZORRedirecter::WakeLocked() {
  const uint64_t one = 1;
  while (::write(m_wake, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void CZORRedirecter::FinishWritersLocked(bool failed) {
  for (Write* w : m_writers) {
    w->failed = failed;
    w->finished = true;
  }
  m_writers.clear();
  m_changed.notify_all();
}

void CZORRedirecter::DropInputLocked() {
  CloseFd(m_inputWrite);
  m_queued.clear();
  FinishWritersLocked(true);
}

bool CZORRedirecter::ServeInputLocked() {
  if (m_inputWrite < 0) return false;
  // Each waiting writer has had its turn, even one behind the queue.
  for (Write* w : m_writers) w->tried = true;
  m_changed.notify_all();
  if (!m_queued.empty()) {
    const ssize_t n = WriteNow(m_inputWrite, m_queued.data(), m_queued.size());
    if (n < 0) {
      DropInputLocked();
      return false;
    }
    m_queued.erase(0, static_cast<std::size_t>(n));
  }
  while (m_queued.empty() && !m_writers.empty()) {
    Write& w = *m_writers.front();
    const ssize_t n = WriteNow(m_inputWrite, w.bytes + w.done, w.size - w.done);
    if (n < 0) {
      DropInputLocked();
      return false;
    }
    w.done += static_cast<std::size_t>(n);
    if (w.done < w.size) break;
    w.finished = true;
    m_writers.pop_front();
  }
  if (m_queued.empty() && m_writers.empty()) {
    if (m_closeInput) DropInputLocked();
    return false;
  }
  return true;
}

pid_t CZORRedirecter::GetProcessId() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_pid;
}

bool CZORRedirecter::WaitForEnd(int timeoutMs) {
  Call call(*this);
  std::unique_lock<std::mutex> lock(m_mutex);
  // Inside SendMessage the end cannot come before the message returns:
  // waiting would wait for itself.
  const auto ended = [this] { return m_state != State::kRunning; };
  if (t_ioOf == this) return ended();
  if (timeoutMs < 0) {
    m_changed.wait(lock, ended);
    return true;
  }
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended);
}

bool CZORRedirecter::Deliver(char* bytes, std::size_t count) {
  if (m_window == nullptr) return true;  // nobody listens: the output is drained only
  bytes[count] = '\0';  // the buffer has room for it: no memory needed
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delivering = true;
    m_changed.notify_all();  // a writer past its deadline stops waiting for a turn
  }
  bool delivered = true;
  try {
    m_window->SendMessage(kRedirecterOutputMessage, count, reinterpret_cast<intptr_t>(bytes));
  } catch (const std::bad_alloc&) {
    delivered = false;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  m_delivering = false;
  return delivered;
}

void CZORRedirecter::Run() {
  t_ioOf = this;
  // A child that stops reading makes a write raise SIGPIPE; blocked here for
  // the thread's whole life, it stays pending and harmless, and the write
  // fails with EPIPE.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

  char buffer[kReadBlock + 1];  // a block and its terminating zero
  bool outputOpen = true;
  bool outOfMemory = false;
  // Input is written as the child reads, while its output goes on being
  // drained, and after the output's end too: a child may close its output
  // and still read. Only the child's end stops the loop.
  while (m_childEnded >= 0) {
    bool inputWaits = false;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      inputWaits = ServeInputLocked();
    }
    pollfd watched[4] = {{outputOpen ? m_outputRead : -1, POLLIN, 0},
                         {m_childEnded, POLLIN, 0},
                         {m_wake, POLLIN, 0},
                         {inputWaits ? m_inputWrite : -1, POLLOUT, 0}};
    if (::poll(watched, 4, -1) < 0) {
      // EINTR, or no memory for the poll right now: look again shortly.
      if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    if (watched[2].revents != 0) {
      uint64_t count;
      while (::read(m_wake, &count, sizeof count) < 0 && errno == EINTR) {
      }
    }
    if (watched[1].revents != 0) break;  // the child has ended
    if (watched[0].revents == 0) continue;
    const ssize_t n = ::read(m_outputRead, buffer, kReadBlock);
    if (n > 0) {
      if (!Deliver(buffer, static_cast<std::size_t>(n))) {
        // The window has lost a block: the run ends, and the output after
        // it goes nowhere.
        outOfMemory = true;
        outputOpen = false;
        std::lock_guard<std::mutex> lock(m_mutex);
        KillChildLocked();
      }
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      outputOpen = false;  // end of output, or a failed read: silently
    }
  }

  uint32_t exitCode;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    exitCode = m_childEnded >= 0 ? Reap(m_childEnded) : kUnknownExitCode;
    if (m_terminated) exitCode = 0;
    if (outOfMemory) exitCode = kRedirecterOutOfMemory;
    m_pid = 0;  // the child has ended: from here on WriteInput waits for nothing
    m_queued.clear();
    FinishWritersLocked(true);  // -1 unless some bytes went in
  }
  // Everything the child wrote is in the pipe by the time it has ended. Take
  // that much and no more: something it started may keep writing forever.
  const int capacity = ::fcntl(m_outputRead, F_GETPIPE_SZ);
  const std::size_t limit = capacity > 0 ? static_cast<std::size_t>(capacity) : (1u << 20);
  for (std::size_t drained = 0; outputOpen && drained < limit;) {
    const ssize_t n = ::read(m_outputRead, buffer, std::min(kReadBlock, limit - drained));
    if (n > 0) {
      if (!Deliver(buffer, static_cast<std::size_t>(n))) {
        exitCode = kRedirecterOutOfMemory;
        break;
      }
      drained += static_cast<std::size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  if (m_window != nullptr) {
    try {
      m_window->SendMessage(kRedirecterEndedMessage, 0, static_cast<intptr_t>(exitCode));
    } catch (const std::bad_alloc&) {
      // The run is over all the same.
    }
  }

  std::lock_guard<std::mutex> lock(m_mutex);
  DropInputLocked();
  CloseFd(m_outputRead);
  CloseFd(m_childEnded);
  CloseFd(m_wake);
  m_closeInput = false;
  m_state = State::kIdle;
  m_changed.notify_all();
}
