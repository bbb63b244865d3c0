#include "system/process/child_redirecter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "system/files/file_helpers.h"
#include "platform/path_text.h"

extern char** environ;

namespace {

constexpr std::size_t kReadBlock = 4096;
// Without a descriptor to wake a poll of the input, it looks again this often.
constexpr int kUnwokenPollMs = 50;
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

uint32_t ExitCodeOf(int status) {
  if (WIFEXITED(status)) return static_cast<uint32_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128u + static_cast<uint32_t>(WTERMSIG(status));
  return kUnknownExitCode;
}

void Reap(pid_t pid) {
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

// Blocks SIGPIPE on this thread while writing to the child, so a child that
// stopped reading makes the write fail with EPIPE instead of ending the
// process; a SIGPIPE raised meanwhile is taken off again.
class SigpipeBlock {
 public:
  SigpipeBlock() {
    sigemptyset(&m_pipe);
    sigaddset(&m_pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    m_wasPending = sigismember(&pending, SIGPIPE) == 1;
  }
  ~SigpipeBlock() {
    if (m_raised && !m_wasPending) {
      const timespec none{0, 0};
      while (sigtimedwait(&m_pipe, nullptr, &none) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
  }
  SigpipeBlock(const SigpipeBlock&) = delete;
  SigpipeBlock& operator=(const SigpipeBlock&) = delete;
  void Raised() { m_raised = true; }

 private:
  sigset_t m_pipe;
  sigset_t m_old;
  bool m_wasPending = false;
  bool m_raised = false;
};

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

// The redirecter whose reader (or waiter) thread this is: input written
// from inside SendMessage must never wait for the child.
thread_local const CZORRedirecter* t_readerOf = nullptr;
thread_local const CZORRedirecter* t_waiterOf = nullptr;

// Writes without waiting; the count taken, or -1 with errno on a failure
// other than a full pipe.
ssize_t WriteSome(int fd, const char* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return done == 0 ? -1 : static_cast<ssize_t>(done);
    break;
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

CZORRedirecter::~CZORRedirecter() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    KillChildLocked();
  }
  JoinThreads();
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

bool CZORRedirecter::CreatePipes() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_running) return false;
  }
  JoinThreads();
  ClosePipes();
  int output[2];
  int input[2];
  if (!MakePipe(output)) return false;
  if (!MakePipe(input)) {
    CloseFd(output[0]);
    CloseFd(output[1]);
    return false;
  }
  m_outputRead = output[0];
  m_outputWrite = output[1];
  m_inputRead = input[0];
  std::lock_guard<std::mutex> lock(m_inputMutex);
  m_inputWrite = input[1];
  return true;
}

bool CZORRedirecter::Start(IRedirecterWindow* window) {
  if (!CreatePipes()) return false;

  std::string program;
  bool searchPath = false;
  std::vector<std::string> args;
  m_wakeReader = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  bool ready = m_wakeReader >= 0 && SetNonBlocking(m_outputRead) &&
               BuildArguments(m_application, m_commandLine, program, searchPath, args);
  {
    std::lock_guard<std::mutex> lock(m_inputMutex);
    ready = ready && SetNonBlocking(m_inputWrite);
  }
  if (!ready) {
    ClosePipes();
    return false;
  }

  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_adddup2(&actions, m_inputRead, 0);
  posix_spawn_file_actions_adddup2(&actions, m_outputWrite, 1);
  posix_spawn_file_actions_adddup2(&actions, m_outputWrite, 2);
  // Only the standard handles reach the child, whatever another thread has
  // opened without close-on-exec meanwhile.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  const std::string folder = Native(m_workingFolder);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
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

  pid_t pid = 0;
  const int failed = searchPath
                         ? ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ)
                         : ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) {
    ClosePipes();
    return false;
  }
  // The child holds its own copies; the output reaches end of file once the
  // child (and whatever it started) has closed them.
  CloseFd(m_inputRead);
  CloseFd(m_outputWrite);

  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pid = pid;
    m_terminated = false;
    m_running = true;
  }
  m_window = window;

  // A thread that cannot be started leaves nothing behind: the child is
  // killed and reaped, a reader already started is stopped and joined.
  try {
    m_reader = std::thread(&CZORRedirecter::ReaderThread, this);
    m_waiter = std::thread(&CZORRedirecter::WaiterThread, this);
  } catch (const std::system_error&) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      KillChildLocked();
      m_pid = 0;
      m_running = false;
    }
    Reap(pid);
    if (m_reader.joinable()) {
      WakeReader();
      m_reader.join();
    }
    m_window = nullptr;
    ClosePipes();
    return false;
  }
  return true;
}

void CZORRedirecter::WakeReader() {
  const uint64_t one = 1;
  while (::write(m_wakeReader, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

bool CZORRedirecter::Terminate() {
  std::lock_guard<std::mutex> lock(m_mutex);
  KillChildLocked();
  return true;
}

void CZORRedirecter::KillChildLocked() {
  if (m_pid <= 0 || m_terminated) return;
  // A child that has already ended keeps its own exit code. It stays a
  // zombie until the waiter reaps it under the lock, so its id (and group
  // id) cannot have been reused by another process here.
  siginfo_t info;
  std::memset(&info, 0, sizeof info);
  if (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
      info.si_pid == m_pid)
    return;
  ::kill(-m_pid, SIGKILL);
  ::kill(m_pid, SIGKILL);  // in case it left its group
  m_terminated = true;
}

int64_t CZORRedirecter::WriteInput(const void* data, std::size_t size, int timeoutMs) {
  const char* bytes = static_cast<const char*>(data);
  if (t_readerOf == this || t_waiterOf == this) return WriteInputWithoutWaiting(bytes, size);

  std::lock_guard<std::mutex> writer(m_writerMutex);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  std::size_t done = 0;
  bool failed = false;
  bool polling = false;
  SigpipeBlock sigpipe;
  for (;;) {
    pollfd ready[2] = {{-1, POLLOUT, 0}, {-1, POLLIN, 0}};
    int wait = -1;
    {
      // Leaving the poll and looking at the input in one hold of the lock:
      // a closed input is seen closed, never taken over by a new Start.
      std::lock_guard<std::mutex> lock(m_inputMutex);
      if (polling) {
        LeaveInputPollLocked();
        polling = false;
      }
      if (failed) break;
      if (m_inputWrite < 0 || m_closeAfterPending) {
        if (done == 0) return -1;
        break;
      }
      if (size == 0) return 0;
      bool brokenPipe = false;
      const int64_t n = WriteNowLocked(bytes + done, size - done, brokenPipe);
      if (n < 0) {
        if (brokenPipe) sigpipe.Raised();
        failed = true;
        break;
      }
      done += static_cast<std::size_t>(n);
      if (done == size) break;
      if (timeoutMs >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        wait = static_cast<int>(left);
      }
      ready[0].fd = m_inputWrite;
      ready[1].fd = EnterInputPollLocked();
      polling = true;
    }
    if (ready[1].fd < 0 && (wait < 0 || wait > kUnwokenPollMs)) wait = kUnwokenPollMs;
    // Waits without m_inputMutex: the reader may queue or flush meanwhile,
    // and a CloseInput on any thread wakes this poll.
    if (::poll(ready, 2, wait) < 0 && errno != EINTR) failed = true;
  }
  if (done == 0 && failed) return -1;
  return static_cast<int64_t>(done);
}

int64_t CZORRedirecter::WriteInputWithoutWaiting(const char* bytes, std::size_t size) {
  std::lock_guard<std::mutex> lock(m_inputMutex);
  if (m_inputWrite < 0 || m_closeAfterPending) return -1;
  if (size == 0) return 0;
  SigpipeBlock sigpipe;
  bool brokenPipe = false;
  const int64_t n = WriteNowLocked(bytes, size, brokenPipe);
  if (n < 0) {
    if (brokenPipe) sigpipe.Raised();
    return -1;
  }
  const auto done = static_cast<std::size_t>(n);
  if (done == size) return static_cast<int64_t>(size);
  // After the child's end nobody would write a queue: report what it took.
  if (t_waiterOf == this) return static_cast<int64_t>(done);
  m_pending.append(bytes + done, size - done);
  return static_cast<int64_t>(size);
}

int64_t CZORRedirecter::WriteNowLocked(const char* bytes, std::size_t size, bool& brokenPipe) {
  // Input queued from inside SendMessage goes first.
  if (!FlushPendingLocked()) {
    brokenPipe = true;
    return -1;
  }
  if (!m_pending.empty()) return 0;
  const ssize_t n = WriteSome(m_inputWrite, bytes, size);
  if (n < 0) brokenPipe = errno == EPIPE;
  return n;
}

bool CZORRedirecter::FlushPendingLocked() {
  if (m_inputWrite < 0) {
    m_pending.clear();
    return true;
  }
  bool ok = true;
  if (!m_pending.empty()) {
    const ssize_t n = WriteSome(m_inputWrite, m_pending.data(), m_pending.size());
    if (n < 0) {
      m_pending.clear();  // the child no longer reads: the queue goes
      ok = false;
    } else {
      m_pending.erase(0, static_cast<std::size_t>(n));
    }
  }
  if (m_pending.empty() && m_closeAfterPending) DropInputLocked();
  return ok;
}

void CZORRedirecter::DropInputLocked() {
  m_pending.clear();
  m_closeAfterPending = false;
  if (m_inputWrite < 0) return;
  if (m_inputPollers == 0) {
    CloseFd(m_inputWrite);
    CloseFd(m_wakeInput);
    return;
  }
  // Closed now, its number could be reused under another thread's poll:
  // that thread would watch a stranger's file, perhaps for ever.
  m_inputClosed = m_inputWrite;
  m_inputWrite = -1;
  const uint64_t one = 1;
  while (m_wakeInput >= 0 && ::write(m_wakeInput, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

int CZORRedirecter::EnterInputPollLocked() {
  if (m_wakeInput < 0) m_wakeInput = ::eventfd(0, EFD_CLOEXEC);
  ++m_inputPollers;
  return m_wakeInput;
}

void CZORRedirecter::LeaveInputPollLocked() {
  if (--m_inputPollers > 0) return;
  if (m_inputWrite < 0) {
    CloseFd(m_inputClosed);
    CloseFd(m_wakeInput);
  }
  m_inputIdle.notify_all();
}

void CZORRedirecter::CloseInput() {
  std::lock_guard<std::mutex> lock(m_inputMutex);
  if (!m_pending.empty()) {
    m_closeAfterPending = true;  // the reader closes it once the queue is written
    return;
  }
  DropInputLocked();
}

bool CZORRedirecter::WaitForEnd(int timeoutMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  // Inside SendMessage the end cannot come before the message returns:
  // waiting would wait for itself.
  if (t_readerOf == this || t_waiterOf == this) return !m_running;
  if (timeoutMs < 0) {
    m_ended.wait(lock, [this] { return !m_running; });
    return true;
  }
  return m_ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_running; });
}

pid_t CZORRedirecter::GetProcessId() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_pid;
}

void CZORRedirecter::Deliver(const char* bytes, std::size_t count) {
  if (m_window == nullptr) return;  // nobody listens: the output is drained only
  const std::string text(bytes, count);
  m_window->SendMessage(kRedirecterOutputMessage, count, reinterpret_cast<intptr_t>(text.c_str()));
}

void CZORRedirecter::ReaderThread() {
  t_readerOf = this;
  char buffer[kReadBlock];
  // Input queued from inside SendMessage is written as the child reads, while
  // its output goes on being drained, and after the output's end too: a child
  // may close its output and still read. Only the child's end, its closing
  // its input or an empty queue stops the writing.
  bool outputOpen = true;
  for (;;) {
    int inputFd = -1;
    int inputWake = -1;
    {
      std::lock_guard<std::mutex> lock(m_inputMutex);
      if (!m_pending.empty() && m_inputWrite >= 0) {
        inputFd = m_inputWrite;
        inputWake = EnterInputPollLocked();
      }
    }
    // Only this thread queues, from inside a message: once the output has
    // ended, an empty queue stays empty.
    if (!outputOpen && inputFd < 0) return;
    pollfd watched[4] = {{outputOpen ? m_outputRead : -1, POLLIN, 0},
                         {m_wakeReader, POLLIN, 0},
                         {inputFd, POLLOUT, 0},
                         {inputWake, POLLIN, 0}};
    const int polled = ::poll(watched, 4, inputFd >= 0 && inputWake < 0 ? kUnwokenPollMs : -1);
    const bool interrupted = polled < 0 && errno == EINTR;
    const bool ended = polled > 0 && watched[1].revents != 0;
    if (inputFd >= 0) {
      std::lock_guard<std::mutex> lock(m_inputMutex);
      LeaveInputPollLocked();
      if (polled > 0 && !ended && watched[2].revents != 0) {
        SigpipeBlock sigpipe;
        if (!FlushPendingLocked()) sigpipe.Raised();
      }
    }
    if (polled < 0) {
      if (interrupted) continue;
      return;
    }
    if (ended) {  // the child has ended
      if (!outputOpen) return;
      break;
    }
    if (watched[0].revents == 0) continue;
    const ssize_t n = ::read(m_outputRead, buffer, sizeof buffer);
    if (n > 0) {
      Deliver(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      outputOpen = false;  // end of output, or a failed read: silently
    }
  }

  // Everything the child wrote is in the pipe by the time it has ended. Take
  // that much and no more: something it started may keep writing forever.
  const int capacity = ::fcntl(m_outputRead, F_GETPIPE_SZ);
  const std::size_t limit = capacity > 0 ? static_cast<std::size_t>(capacity) : (1u << 20);
  std::size_t drained = 0;
  while (drained < limit) {
    const ssize_t n = ::read(m_outputRead, buffer, std::min(sizeof buffer, limit - drained));
    if (n > 0) {
      Deliver(buffer, static_cast<std::size_t>(n));
      drained += static_cast<std::size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      return;
    }
  }
}

void CZORRedirecter::WaiterThread() {
  t_waiterOf = this;
  pid_t pid;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    pid = m_pid;
  }
  // Wait without reaping, so Terminate never signals a reused process id.
  siginfo_t info;
  for (;;) {
    std::memset(&info, 0, sizeof info);
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) == 0 || errno != EINTR) break;
  }
  uint32_t exitCode = kUnknownExitCode;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    int status = 0;
    pid_t reaped;
    do {
      reaped = ::waitpid(pid, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    if (reaped == pid) exitCode = m_terminated ? 0u : ExitCodeOf(status);
    m_pid = 0;
  }

  WakeReader();
  m_reader.join();
  if (m_window != nullptr)
    m_window->SendMessage(kRedirecterEndedMessage, 0, static_cast<intptr_t>(exitCode));

  CloseFd(m_outputRead);
  CloseFd(m_wakeReader);
  {
    std::lock_guard<std::mutex> lock(m_inputMutex);
    DropInputLocked();
  }
  m_window = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
  }
  m_ended.notify_all();
}

void CZORRedirecter::JoinThreads() {
  if (m_waiter.joinable()) m_waiter.join();
  if (m_reader.joinable()) m_reader.join();  // only when no waiter ever started
}

void CZORRedirecter::ClosePipes() {
  CloseFd(m_inputRead);
  CloseFd(m_outputRead);
  CloseFd(m_outputWrite);
  CloseFd(m_wakeReader);
  std::unique_lock<std::mutex> lock(m_inputMutex);
  DropInputLocked();
  // A writer still polling the old input, woken by the drop, leaves before a
  // new input can take its place.
  m_inputIdle.wait(lock, [this] { return m_inputPollers == 0; });
}
