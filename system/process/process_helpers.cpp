#include "system/process/process_helpers.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "platform/error_text.h"

extern char** environ;

namespace {

using zor::platform::ErrorFromErrno;
using zor::platform::kInfinite;
using zor::platform::kWaitFailed;
using zor::platform::kWaitObject0;
using zor::platform::kWaitTimeout;
using zor::platform::SetLastError;

// posix_spawn's attributes and file actions, released on every path.
class SpawnSetup {
 public:
  SpawnSetup() {
    m_attrReady = ::posix_spawnattr_init(&m_attr) == 0;
    m_actionsReady = ::posix_spawn_file_actions_init(&m_actions) == 0;
    if (!m_attrReady || !m_actionsReady) return;
    sigset_t empty;
    sigemptyset(&empty);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig = 1; sig < NSIG; ++sig)
      if (sig != SIGKILL && sig != SIGSTOP) sigaddset(&defaults, sig);
    m_ok =
        ::posix_spawnattr_setsigmask(&m_attr, &empty) == 0 &&
        ::posix_spawnattr_setsigdefault(&m_attr, &defaults) == 0 &&
        ::posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0 &&
        ::posix_spawn_file_actions_addclosefrom_np(&m_actions, STDERR_FILENO + 1) == 0;
  }
  ~SpawnSetup() {
    if (m_actionsReady) ::posix_spawn_file_actions_destroy(&m_actions);
    if (m_attrReady) ::posix_spawnattr_destroy(&m_attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool ok() const { return m_ok; }
  const posix_spawnattr_t* attr() const { return &m_attr; }
  const posix_spawn_file_actions_t* actions() const { return &m_actions; }

 private:
  posix_spawnattr_t m_attr;
  posix_spawn_file_actions_t m_actions;
  bool m_attrReady = false;
  bool m_actionsReady = false;
  bool m_ok = false;
};

// Pointers into `texts` followed by the terminating null.
std::vector<char*> PointerVector(const std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

ProcessHandle Spawn(const std::string& program, const std::vector<std::string>& arguments,
                    const std::vector<std::string>* environment) {
  if (program.empty() || program.find('\0') != std::string::npos) {
    SetLastError(zor::platform::kErrorInvalidParameter);
    return {};
  }
  SpawnSetup setup;
  if (!setup.ok()) {
    SetLastError(zor::platform::kErrorNotEnoughMemory);
    return {};
  }
  std::vector<std::string> argv;
  argv.reserve(arguments.size() + 1);
  argv.push_back(program);
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> argp = PointerVector(argv);
  std::vector<char*> envp;
  if (environment != nullptr) envp = PointerVector(*environment);
  char* const* env = environment != nullptr ? envp.data() : environ;

  pid_t pid = 0;
  const bool search = program.find('/') == std::string::npos;
  const int rc =
      search
          ? ::posix_spawnp(&pid, program.c_str(), setup.actions(), setup.attr(), argp.data(), env)
          : ::posix_spawn(&pid, program.c_str(), setup.actions(), setup.attr(), argp.data(), env);
  if (rc != 0) {
    SetLastError(ErrorFromErrno(rc));
    return {};
  }
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (pidfd < 0) {
    // Without a descriptor the child could be neither waited on nor handed
    // back: end it rather than leave it running unseen.
    const int err = errno;
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    SetLastError(ErrorFromErrno(err));
    return {};
  }
  SetLastError(zor::platform::kErrorSuccess);
  return ProcessHandle(pid, pidfd);
}

}  // namespace

ProcessHandle StartProcess(const std::string& program, const std::string* arguments,
                           const std::vector<std::string>* environment) {
  if (arguments == nullptr) return Spawn(program, {}, environment);
  return Spawn(program, {*arguments}, environment);
}

ProcessHandle StartProcess(const std::string& program, const std::string& arguments,
                           const std::vector<std::string>* environment) {
  return StartProcess(program, &arguments, environment);
}

ProcessHandle StartProcessWithArgs(const std::string& program,
                                   const std::vector<std::string>& arguments,
                                   const std::vector<std::string>* environment) {
  return Spawn(program, arguments, environment);
}

uint32_t WaitForManyObjects(uint32_t count, const int* handles, uint32_t timeoutMs) {
  if (count == 0 || handles == nullptr) {
    SetLastError(zor::platform::kErrorInvalidParameter);
    return kWaitFailed;
  }
  std::vector<pollfd> entries(count);
  for (uint32_t i = 0; i < count; ++i) {
    // poll would skip a negative descriptor and let the wait run out.
    if (handles[i] < 0) {
      SetLastError(zor::platform::kErrorInvalidHandle);
      return kWaitFailed;
    }
    entries[i] = pollfd{handles[i], POLLIN, 0};
  }

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int wait = -1;
    if (timeoutMs != kInfinite) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
    }
    const int ready = ::poll(entries.data(), entries.size(), wait);
    if (ready == 0) return kWaitTimeout;
    if (ready < 0) {
      if (errno == EINTR) continue;
      SetLastError(ErrorFromErrno(errno));
      return kWaitFailed;
    }
    for (uint32_t i = 0; i < count; ++i) {
      if (entries[i].revents & POLLNVAL) {
        SetLastError(zor::platform::kErrorInvalidHandle);
        return kWaitFailed;
      }
    }
    for (uint32_t i = 0; i < count; ++i)
      if (entries[i].revents & (POLLIN | POLLHUP | POLLERR)) return kWaitObject0 + i;
  }
}
