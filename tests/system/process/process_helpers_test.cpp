#include "system/process/process_helpers.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/error_text.h"
#include "tests/system/process/process_test_support.h"

namespace {

using zor::platform::kInfinite;
using zor::platform::kWaitFailed;
using zor::platform::kWaitTimeout;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The process's state letter ('Z' for a zombie), or 0 once it is gone.
char StateOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && line.size() > close + 2 ? line[close + 2] : '?';
}

// Whether a thread of this process is asleep in poll.
bool IsPolling(pid_t tid) {
  std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/syscall");
  long number = -1;
  if (!(file >> number)) return false;
#ifdef SYS_poll
  if (number == SYS_poll) return true;
#endif
  return number == SYS_ppoll;
}

// Event descriptors that a test signals by writing to them.
struct Events {
  explicit Events(int count) {
    for (int i = 0; i < count; ++i) fds.push_back(::eventfd(0, EFD_CLOEXEC));
  }
  ~Events() {
    for (int fd : fds) ::close(fd);
  }
  void Signal(int index) const {
    const uint64_t one = 1;
    EXPECT_EQ(::write(fds[index], &one, sizeof one), 8);
  }
  uint32_t Wait(uint32_t timeoutMs) const {
    return WaitForManyObjects(static_cast<uint32_t>(fds.size()), fds.data(), timeoutMs);
  }
  std::vector<int> fds;
};

TEST(StartProcess, ArgumentsPassWholeWithoutAShell) {
  TempFolder tmp;
  const std::string program = tmp.Path("my tool");  // a blank in the program's name
  WriteRecorder(program, tmp.Path("args.txt"));

  ProcessHandle child = StartProcess(program, "a b", nullptr);  // the text is one argument
  ASSERT_TRUE(child.Wait(5000));
  EXPECT_EQ(child.ExitCode(), 0);
  EXPECT_EQ(ReadLines(tmp.Path("args.txt")), (Lines{"1", "a b"}));
  ASSERT_TRUE(StartProcess(program, nullptr, nullptr).Wait(5000));
  EXPECT_EQ(ReadLines(tmp.Path("args.txt")), (Lines{"0"}));

  const std::string marker = tmp.Path("pwned");
  const Lines args = {"say \"hi\"", "ends\\", "$(touch " + marker + ")", "x; touch " + marker, ""};
  ASSERT_TRUE(StartProcessWithArgs(program, args, nullptr).Wait(5000));
  Lines expected = {"5"};
  expected.insert(expected.end(), args.begin(), args.end());
  EXPECT_EQ(ReadLines(tmp.Path("args.txt")), expected);
  EXPECT_NE(::access(marker.c_str(), F_OK), 0);
}

TEST(StartProcess, EnvironmentPathSearchAndFailures) {
  TempFolder tmp;
  const std::string out = tmp.Path("env.txt");
  const Lines environment = {"ZOR_PROBE=42"};
  ProcessHandle child = StartProcessWithArgs(
      "sh", {"-c", "printf '%s|%s' \"$ZOR_PROBE\" \"$HOME\" > '" + out + "'; exit 3"},
      &environment);
  ASSERT_TRUE(child.Wait(5000));
  EXPECT_EQ(child.ExitCode(), 3);
  EXPECT_EQ(ReadLines(out), (Lines{"42|"}));

  ProcessHandle none = StartProcess("/nonexistent/zor-program", "x", nullptr);
  EXPECT_FALSE(none);
  EXPECT_EQ(none.Fd(), -1);
  EXPECT_EQ(zor::platform::GetLastError(), zor::platform::kErrorFileNotFound);
  EXPECT_FALSE(StartProcess("zor-no-such-program-anywhere", nullptr, nullptr));
  EXPECT_FALSE(StartProcess("", nullptr, nullptr));
}

TEST(StartProcess, ChildInheritsNoDescriptorAndNoBlockedSignal) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);  // deliberately without close-on-exec
  ProcessHandle sleeper = StartProcessWithArgs("sleep", {"600"}, nullptr);
  ::close(ends[1]);
  // Hangs up at once unless the child holds the write end; the time-out is
  // a generous bound, far below the child's own end.
  pollfd entry{ends[0], POLLIN, 0};
  EXPECT_EQ(::poll(&entry, 1, 30000), 1);
  ::close(ends[0]);
  ::kill(sleeper.Pid(), SIGKILL);
  ASSERT_TRUE(sleeper.Wait(30000));
  EXPECT_EQ(sleeper.ExitCode(), 128 + SIGKILL);

  sigset_t term, old;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  ::pthread_sigmask(SIG_BLOCK, &term, &old);
  ProcessHandle blocked = StartProcessWithArgs("sleep", {"10"}, nullptr);
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  ::kill(blocked.Pid(), SIGTERM);
  ASSERT_TRUE(blocked.Wait(30000));
  EXPECT_EQ(blocked.ExitCode(), 128 + SIGTERM);
}

TEST(ProcessHandle, EndedChildIsReapedOnClose) {
  ProcessHandle child = StartProcessWithArgs("true", {}, nullptr);
  const pid_t pid = child.Pid();
  pollfd entry{child.Fd(), POLLIN, 0};
  ASSERT_EQ(::poll(&entry, 1, 30000), 1);
  EXPECT_EQ(StateOf(pid), 'Z');  // ended, but the handle still holds it
  ProcessHandle moved = std::move(child);
  EXPECT_FALSE(child);
  moved.Close();
  EXPECT_EQ(StateOf(pid), 0);
}

TEST(ProcessHandleThreaded, RunningChildIsReapedOnceItEnds) {
  TempFolder tmp;
  const std::string fifo = tmp.Path("go");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // cat waits for a writer of the fifo, and ends once that one closes it.
  pid_t pid = StartProcessWithArgs("cat", {fifo}, nullptr).Pid();  // let go at once
  const char running = StateOf(pid);
  EXPECT_TRUE(running != 0 && running != 'Z') << running;
  const int go = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(go, 0);
  ::close(go);
  const auto start = Clock::now();  // a generous bound on a hang
  while (StateOf(pid) != 0 && MillisecondsSince(start) < 30000) ::usleep(10000);
  EXPECT_EQ(StateOf(pid), 0);
}

TEST(WaitForManyObjects, IndexInTheWholeArrayOrTimeOut) {
  const Events events(100);
  auto start = Clock::now();
  EXPECT_EQ(events.Wait(10), kWaitTimeout);
  EXPECT_GE(MillisecondsSince(start), 9);
  EXPECT_LT(MillisecondsSince(start), 30000);  // a generous bound on a hang
  events.Signal(70);
  EXPECT_EQ(events.Wait(1000), 70u);
  events.Signal(3);
  EXPECT_EQ(events.Wait(1000), 3u);  // the lowest signalled

  ProcessHandle slow = StartProcessWithArgs("sleep", {"600"}, nullptr);  // ended below
  ProcessHandle quick = StartProcessWithArgs("true", {}, nullptr);
  const int handles[] = {slow.Fd(), quick.Fd()};
  EXPECT_EQ(WaitForManyObjects(2, handles, kInfinite), 1u);
  ::kill(slow.Pid(), SIGKILL);
  EXPECT_TRUE(slow.Wait(30000));
}

TEST(WaitForManyObjectsThreaded, EveryHandleIsWatchedForTheWholeWait) {
  // Handle 10 lies in the first 64; it is signalled only while the wait runs.
  const Events events(100);
  const pid_t waiter = ::gettid();
  std::thread signaller([&] {
    // Signalled once the wait is asleep in the kernel (a generous bound on a hang).
    const auto start = Clock::now();
    while (!IsPolling(waiter) && MillisecondsSince(start) < 30000) ::usleep(1000);
    events.Signal(10);
  });
  const auto start = Clock::now();
  EXPECT_EQ(events.Wait(10000), 10u);
  EXPECT_LT(MillisecondsSince(start), 5000);
  signaller.join();
}

TEST(WaitForManyObjects, BadHandlesFail) {
  EXPECT_EQ(WaitForManyObjects(0, nullptr, 0), kWaitFailed);
  EXPECT_EQ(zor::platform::GetLastError(), zor::platform::kErrorInvalidParameter);
  const Events valid(1);
  const int closed = ::eventfd(0, EFD_CLOEXEC);
  ::close(closed);
  for (int bad : {-1, closed}) {
    const int handles[] = {valid.fds[0], bad};
    EXPECT_EQ(WaitForManyObjects(2, handles, 10), kWaitFailed);
    EXPECT_EQ(zor::platform::GetLastError(), zor::platform::kErrorInvalidHandle);
  }
}

}  // namespace
