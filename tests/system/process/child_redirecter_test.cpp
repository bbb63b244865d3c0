#include "system/process/child_redirecter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/in_child.h"
#include "tests/support/temp_folder.h"
#include "tests/system/process/process_test_support.h"

namespace {

using namespace std::chrono_literals;

// Records every message; the redirecter's threads call it.
class RecordingWindow : public IRedirecterWindow {
 public:
  struct Record {
    std::string text;
    std::size_t largestBlock = 0;
    bool wellFormed = true;  // zero-terminated, non-empty, none after the end
    int ended = 0;
    uint32_t exitCode = 0xDEAD;
  };

  intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    const char* bytes = reinterpret_cast<const char*>(lParam);
    std::function<void()> onOutput;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (message == kRedirecterOutputMessage) {
        m_record.text.append(bytes, wParam);
        m_record.largestBlock = std::max<std::size_t>(m_record.largestBlock, wParam);
        if (wParam == 0 || bytes[wParam] != '\0' || m_record.ended > 0) m_record.wellFormed = false;
        onOutput = m_onOutput;
      } else {
        EXPECT_EQ(message, kRedirecterEndedMessage);
        EXPECT_EQ(wParam, 0u);
        ++m_record.ended;
        m_record.exitCode = static_cast<uint32_t>(lParam);
      }
    }
    m_changed.notify_all();
    if (onOutput) onOutput();
    return 0;
  }

  bool WaitFor(const std::function<bool(const Record&)>& done) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, 30s, [&] { return done(m_record); });
  }
  bool WaitForEnded() {
    return WaitFor([](const Record& r) { return r.ended > 0; });
  }
  bool WaitForText(const std::string& text) {
    return WaitFor([&](const Record& r) { return r.text.find(text) != std::string::npos; });
  }
  Record Get() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_record;
  }
  void OnOutput(std::function<void()> call) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onOutput = std::move(call);
  }

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  Record m_record;
  std::function<void()> m_onOutput;
};

// A thread of this process waiting in the kernel (a futex, a poll).
bool IsAsleep(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const std::size_t close = line.rfind(')');
  return close + 2 < line.size() && line[close + 2] == 'S';
}

bool IsReaped(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) < 0 && errno == ECHILD; }

// Gone, or a zombie waiting for whoever adopted it.
bool IsDead(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const std::size_t close = line.rfind(')');
  return close + 2 < line.size() && (line[close + 2] == 'Z' || line[close + 2] == 'X');
}

// Runs a scenario that could hang or kill the process in a child of its
// own, ended by an alarm: a hang or a signal fails the test instead of the run.
int Bounded(int seconds, const std::function<int()>& body) {
  return InChild([&] {
    ::alarm(static_cast<unsigned>(seconds));
    return body();
  });
}

std::string ChildText(int result) {
  if (result > 128) return std::string("the child died of ") + ::strsignal(result - 128);
  return "the child's check " + std::to_string(result) + " failed";
}

TEST(ChildRedirecterThreaded, FailedStartsLeaveNothingOpen) {
  const std::size_t before = OpenFds("/proc/self/fd").size();
  CZORRedirecter none;
  EXPECT_FALSE(none.Start(nullptr));  // neither application nor command line
  CZORRedirecter missing;
  missing.SetCommandLine("no-such-program-zq7 -x");
  EXPECT_FALSE(missing.Start(nullptr));
  EXPECT_EQ(missing.GetProcessId(), 0);
  EXPECT_TRUE(missing.WaitForEnd(0));
  EXPECT_EQ(OpenFds("/proc/self/fd").size(), before);

  CZORRedirecter pipesOnly;
  EXPECT_TRUE(pipesOnly.CreatePipes());
  EXPECT_TRUE(pipesOnly.CreatePipes());  // the first pair is closed, not leaked
  EXPECT_EQ(OpenFds("/proc/self/fd").size(), before + 4);
}

TEST(ChildRedirecterThreaded, RejectedSettingsKeepTheEarlierOnes) {
  TempFolder tmp;
  const std::string file = tmp.Write("plain.txt", "x");
  RecordingWindow window;
  CZORRedirecter r;
  ASSERT_TRUE(r.SetApplication("/bin/sh"));
  EXPECT_FALSE(r.SetApplication(tmp.Path("missing")));
  ASSERT_TRUE(r.SetWorkingDirectory(tmp.path()));
  EXPECT_FALSE(r.SetWorkingDirectory(tmp.Path("missing")));
  EXPECT_FALSE(r.SetWorkingDirectory(file));
  // Windows quoting: \" is a quote, \\ before a quote one backslash, ""
  // inside quotes a quote, any other backslash itself.
  r.SetCommandLine(R"(sh -c "pwd -P; printf '<%s>' \"$@\"" zero "a b" c\"d e\f "g\\" "x""y" h)");
  ASSERT_TRUE(r.Start(&window));
  ASSERT_TRUE(window.WaitForEnded());
  EXPECT_EQ(window.Get().text, std::filesystem::canonical(tmp.path()).string() +
                                   "\n" R"(<a b><c"d><e\f><g\><x"y><h>)");
}

TEST(ChildRedirecterThreaded, OutputArrivesWholeInOrderBeforeTheExitCode) {
  RecordingWindow window;
  RecordingWindow signalled;  // windows outlive the redirecter
  CZORRedirecter r;  // no application: the first word is looked up in PATH
  // Far more than a pipe holds, and the child ends the moment it has written.
  r.SetCommandLine("sh -c \"seq 1 200000; echo err 1>&2; exit 7\"");
  ASSERT_TRUE(r.Start(&window));
  ASSERT_TRUE(window.WaitForEnded());
  std::string expected;
  for (int i = 1; i <= 200000; ++i) expected += std::to_string(i) + "\n";
  const RecordingWindow::Record got = window.Get();
  EXPECT_EQ(got.text, expected + "err\n");
  EXPECT_LE(got.largestBlock, 4096u);
  EXPECT_TRUE(got.wellFormed);
  EXPECT_EQ(got.exitCode, 7u);

  ASSERT_TRUE(r.WaitForEnd(-1));  // the ended message comes before the clean-up
  r.SetCommandLine("sh -c \"kill -TERM $$\"");
  ASSERT_TRUE(r.Start(&signalled));  // the ended run is replaced
  ASSERT_TRUE(signalled.WaitForEnded());
  EXPECT_EQ(signalled.Get().exitCode, 128u + SIGTERM);
  EXPECT_EQ(window.Get().ended, 1);
}

TEST(ChildRedirecterThreaded, WithoutAWindowTheChildStillRunsToItsEnd) {
  TempFolder tmp;
  CZORRedirecter r;
  ASSERT_TRUE(r.SetWorkingDirectory(tmp.path()));
  // More output than a pipe holds: nobody listens, yet the child must not block.
  r.SetCommandLine("sh -c \"read go; seq 1 100000; echo done > mark\"");
  ASSERT_TRUE(r.Start(nullptr));
  const pid_t pid = r.GetProcessId();
  ASSERT_GT(pid, 0);
  ASSERT_EQ(r.WriteInput("go\n", 3, -1), 3);
  ASSERT_TRUE(r.WaitForEnd(30000));
  EXPECT_EQ(r.GetProcessId(), 0);
  EXPECT_TRUE(IsReaped(pid));
  EXPECT_TRUE(std::filesystem::exists(tmp.Path("mark")));
}

TEST(ChildRedirecterThreaded, InputReachesTheChildUntilClosed) {
  RecordingWindow window;
  CZORRedirecter r;
  ASSERT_TRUE(r.SetApplication("/bin/cat"));
  ASSERT_TRUE(r.Start(&window));
  // Larger than both pipes together: written in parts while cat echoes it.
  std::string big;
  for (int i = 0; big.size() < (1u << 20); ++i) big += std::to_string(i) + ",";
  EXPECT_EQ(r.WriteInput(big.data(), big.size(), -1), static_cast<int64_t>(big.size()));
  ASSERT_TRUE(window.WaitFor([&](const auto& got) { return got.text.size() == big.size(); }));
  EXPECT_FALSE(r.WaitForEnd(0));  // cat waits for more
  r.CloseInput();
  ASSERT_TRUE(window.WaitForEnded());
  EXPECT_EQ(window.Get().text, big);
  EXPECT_EQ(window.Get().exitCode, 0u);
  EXPECT_EQ(r.WriteInput("x", 1, 0), -1);
}

TEST(ChildRedirecterThreaded, InputWrittenFromInsideTheWindowNeverBlocks) {
  // cat echoes its input: a megabyte written from inside SendMessage (on the
  // reader thread) would fill both pipes if nothing drained the output.
  std::string big;
  for (int i = 0; big.size() < (1u << 20); ++i) big += std::to_string(i) + ";";
  RecordingWindow window;
  CZORRedirecter r;
  std::vector<int64_t> results;  // only the reader thread touches it until the end
  bool once = false;
  window.OnOutput([&] {
    if (once) return;
    once = true;
    results.push_back(r.WriteInput(big.data(), big.size(), -1));
    results.push_back(r.WriteInput("END", 3, -1));
    r.CloseInput();  // closes once the queue is written
  });
  ASSERT_TRUE(r.SetApplication("/bin/cat"));
  ASSERT_TRUE(r.Start(&window));
  // An owner thread writing meanwhile waits for the queue, never ahead of it.
  ASSERT_EQ(r.WriteInput("go\n", 3, -1), 3);
  ASSERT_TRUE(window.WaitForEnded());
  EXPECT_EQ(results, (std::vector<int64_t>{static_cast<int64_t>(big.size()), 3}));
  const std::string text = window.Get().text;
  EXPECT_EQ(text.size(), 3 + big.size() + 3);
  EXPECT_TRUE(text == "go\n" + big + "END");
  EXPECT_EQ(window.Get().exitCode, 0u);
  EXPECT_TRUE(r.WaitForEnd(10000));  // the ended message comes before the clean-up
}

// The queue is written until the child ends or closes its input, whatever
// its output does; a CloseInput from the owner then closes it after the queue.
TEST(ChildRedirecterThreaded, QueuedInputOutlivesTheChildsOutput) {
  TempFolder tmp;
  const std::string big(1u << 20, 'q');
  RecordingWindow window;
  CZORRedirecter r;
  std::atomic<int64_t> queued{0};
  window.OnOutput([&] {
    if (queued == 0) queued = r.WriteInput(big.data(), big.size(), -1);
  });
  r.SetCommandLine("sh -c \"echo start; exec >/dev/null 2>&1; cat | wc -c > " + tmp.Path("count") +
                   "\"");
  ASSERT_TRUE(r.Start(&window));
  while (queued == 0) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(queued, static_cast<int64_t>(big.size()));
  r.CloseInput();
  ASSERT_TRUE(r.WaitForEnd(30000));
  std::ifstream count(tmp.Path("count"));
  std::size_t counted = 0;
  EXPECT_TRUE(count >> counted);
  EXPECT_EQ(counted, big.size());
  EXPECT_EQ(window.Get().exitCode, 0u);
}

TEST(ChildRedirecterThreaded, DestroyingWithInputQueuedDoesNotHang) {
  const auto started = std::chrono::steady_clock::now();
  {
    const std::string big(4u << 20, 'q');
    RecordingWindow window;
    auto r = std::make_unique<CZORRedirecter>();
    // The child never reads: the queue can never be written.
    r->SetCommandLine("sh -c \"echo ready; exec sleep 60\"");
    std::atomic<bool> queued{false};
    window.OnOutput([&] {
      EXPECT_EQ(r->WriteInput(big.data(), big.size(), -1), 4 << 20);
      queued = true;
    });
    ASSERT_TRUE(r->Start(&window));
    while (!queued) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(r->WriteInput("x", 1, 100), 0);  // behind the queue, in time
    r.reset();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

// Waits until the standard input of the child `pid` holds all its pipe
// takes (the redirecter made that descriptor); false after a long time.
bool WaitUntilInputIsFull(pid_t pid) {
  const int fd = ::open(("/proc/" + std::to_string(pid) + "/fd/0").c_str(),
                        O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const int capacity = ::fcntl(fd, F_GETPIPE_SZ);
  int held = 0;
  const auto deadline = std::chrono::steady_clock::now() + 30s;  // a bound on a hang
  while (fd >= 0 && ::ioctl(fd, FIONREAD, &held) == 0 && held < capacity &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  if (fd >= 0) ::close(fd);
  return capacity > 0 && held == capacity;
}

TEST(ChildRedirecterThreaded, AChildThatIgnoresItsInputNeverBlocksTheOwner) {
  const std::string big(1u << 20, 'z');
  const auto started = std::chrono::steady_clock::now();
  {
    CZORRedirecter r;
    r.SetCommandLine("sh -c \"exec sleep 60\"");
    ASSERT_TRUE(r.Start(nullptr));
    const int64_t written = r.WriteInput(big.data(), big.size(), 200);
    EXPECT_GE(written, 0);
    EXPECT_LT(written, static_cast<int64_t>(big.size()));
    EXPECT_EQ(r.WriteInput(big.data(), big.size(), 0), 0);  // still full
  }  // the destructor ends the sleeping child
  EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);

  RecordingWindow window;
  CZORRedirecter r;
  r.SetCommandLine("sh -c \"exec 0<&-; echo closed; exec sleep 60\"");
  ASSERT_TRUE(r.Start(&window));
  ASSERT_TRUE(window.WaitForText("closed"));
  EXPECT_EQ(r.WriteInput("x", 1, 1000), -1);  // EPIPE, and no SIGPIPE ends this process
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  EXPECT_FALSE(sigismember(&pending, SIGPIPE));

  // A CloseInput on another thread ends a write that waits without limit,
  // while a third thread opens files that may take the input's number.
  const std::set<std::string> fds = OpenFds("/proc/self/fd");
  std::atomic<bool> churn{true};
  std::thread opener([&] {
    int ends[2];
    while (churn)
      if (::pipe2(ends, O_CLOEXEC) == 0) {
        ::close(ends[0]);
        ::close(ends[1]);
      }
  });
  for (int round = 0; round < 3; ++round) {
    auto blocked = std::make_shared<CZORRedirecter>();
    blocked->SetCommandLine("sh -c \"exec sleep 30\"");
    if (!blocked->Start(nullptr)) {
      ADD_FAILURE() << "start";
      break;
    }
    std::promise<int64_t> result;
    std::future<int64_t> written = result.get_future();
    std::thread writer([blocked, data = big, result = std::move(result)]() mutable {
      result.set_value(blocked->WriteInput(data.data(), data.size(), -1));
    });
    // Part of the writer's bytes are in: the pipe is full, the writer waits.
    if (!WaitUntilInputIsFull(blocked->GetProcessId())) ADD_FAILURE() << "round " << round;
    blocked->CloseInput();
    // Generous bounds on a hang: the writer returns at once.
    if (written.wait_for(30s) != std::future_status::ready) {
      ADD_FAILURE() << "round " << round << ": the writer still waits after CloseInput";
      blocked->Terminate();  // the child's end may still release it
      if (written.wait_for(30s) != std::future_status::ready) {
        writer.detach();  // it holds the redirecter; the process ends with it
        continue;
      }
    }
    writer.join();
    const int64_t n = written.get();
    EXPECT_GT(n, 0);
    EXPECT_LT(n, static_cast<int64_t>(big.size()));
  }
  churn = false;
  opener.join();
  EXPECT_EQ(OpenFds("/proc/self/fd"), fds);  // nothing left open
}

TEST(ChildRedirecterThreaded, TerminateEndsTheWholeProcessGroupWithCodeZero) {
  RecordingWindow window;
  CZORRedirecter r;
  r.SetCommandLine("sh -c \"sleep 60 & echo $!; wait\"");
  ASSERT_TRUE(r.Start(&window));
  ASSERT_TRUE(window.WaitForText("\n"));
  const pid_t grandchild = static_cast<pid_t>(std::stol(window.Get().text));
  const pid_t child = r.GetProcessId();
  EXPECT_EQ(::getpgid(grandchild), child);

  EXPECT_TRUE(r.Terminate());
  ASSERT_TRUE(r.WaitForEnd(-1));
  EXPECT_EQ(window.Get().exitCode, 0u);
  EXPECT_TRUE(IsReaped(child));
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!IsDead(grandchild) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(IsDead(grandchild));
  EXPECT_TRUE(r.Terminate());  // nothing held any more
  EXPECT_EQ(window.Get().ended, 1);
}

TEST(ChildRedirecterThreaded, TheWindowMayTerminateAndTheOwnerMayDestroyEarly) {
  RecordingWindow inside;
  CZORRedirecter r;
  inside.OnOutput([&r] { r.Terminate(); });
  r.SetCommandLine("sh -c \"echo go; exec sleep 60\"");
  ASSERT_TRUE(r.Start(&inside));
  ASSERT_TRUE(inside.WaitForEnded());
  EXPECT_EQ(inside.Get().text, "go\n");
  EXPECT_EQ(inside.Get().exitCode, 0u);

  RecordingWindow outlives;
  pid_t child = 0;
  {
    CZORRedirecter early;
    early.SetCommandLine("sh -c \"echo up; exec sleep 60\"");
    ASSERT_TRUE(early.Start(&outlives));
    ASSERT_TRUE(outlives.WaitForText("up\n"));
    child = early.GetProcessId();
  }
  EXPECT_EQ(outlives.Get().ended, 1);
  EXPECT_EQ(outlives.Get().exitCode, 0u);
  EXPECT_TRUE(IsReaped(child));
}

// A window that asks, from inside each message, whether the child has ended.
class AskingWindow : public IRedirecterWindow {
 public:
  explicit AskingWindow(CZORRedirecter& r) : m_r(r) {}
  intptr_t SendMessage(uint32_t message, uintptr_t, intptr_t) override {
    // A wait without limit that waited would wait for itself for ever.
    const bool ended = m_r.WaitForEnd(-1);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back({message, ended});
    return 0;
  }
  struct Answer {
    uint32_t message;
    bool ended;
  };
  std::vector<Answer> Answers() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_answers;
  }

 private:
  CZORRedirecter& m_r;
  std::mutex m_mutex;
  std::vector<Answer> m_answers;
};

TEST(ChildRedirecterThreaded, WaitingForTheEndFromInsideTheWindowAnswersAtOnce) {
  const int result = Bounded(60, [] {
    CZORRedirecter r;
    AskingWindow window(r);
    r.SetCommandLine("sh -c \"echo one\"");
    if (!r.Start(&window) || !r.WaitForEnd(30000)) return 1;
    const auto answers = window.Answers();
    if (answers.size() != 2 || answers[0].message != kRedirecterOutputMessage ||
        answers[1].message != kRedirecterEndedMessage)
      return 2;
    // Not yet: the ended message is still being handled.
    return answers[0].ended || answers[1].ended ? 3 : 0;
  });
  EXPECT_EQ(result, 0) << ChildText(result);
}

TEST(ChildRedirecterThreaded, OnlyStandardHandlesReachTheChildAndNoneLeak) {
  const std::set<std::string> before = OpenFds("/proc/self/fd");
  CZORRedirecter r;
  ASSERT_TRUE(r.SetApplication("/bin/cat"));
  for (int run = 0; run < 3; ++run) {
    RecordingWindow window;
    ASSERT_TRUE(r.Start(&window));
    EXPECT_FALSE(r.Start(&window));  // one child at a time
    const pid_t pid = r.GetProcessId();
    // Once cat echoes, the loader's own files are closed again.
    ASSERT_EQ(r.WriteInput("x", 1, -1), 1);
    ASSERT_TRUE(window.WaitForText("x"));
    EXPECT_EQ(OpenFds("/proc/" + std::to_string(pid) + "/fd"),
              (std::set<std::string>{"0", "1", "2"}));
    r.CloseInput();
    ASSERT_TRUE(r.WaitForEnd(30000));
    EXPECT_EQ(window.Get().ended, 1);
    EXPECT_TRUE(IsReaped(pid));
    EXPECT_EQ(OpenFds("/proc/self/fd"), before);
  }
}

// A child that stops reading in the middle of one write (it reads 150,000
// bytes of each megabyte and ends) makes the write fail with EPIPE. The
// pending SIGPIPE must never end the program, also when a busy core (here
// one CPU shared with a spinning thread) lets the child end mid-write.
TEST(ChildRedirecterThreaded, AChildThatStopsReadingHalfWayNeverKillsTheProgram) {
  const int result = Bounded(60, [] {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(static_cast<unsigned>(std::max(::sched_getcpu(), 0)), &one);
    if (::sched_setaffinity(0, sizeof one, &one) != 0) return 1;
    std::atomic<bool> spin{true};
    std::thread busy([&] {
      while (spin) {
      }
    });
    const std::string big(1u << 20, 'b');
    int failures = 0;
    for (int round = 0; round < 10 && failures == 0; ++round) {
      CZORRedirecter r;
      r.SetCommandLine("sh -c \"head -c 150000 >/dev/null\"");
      if (!r.Start(nullptr)) {
        failures = 2;
        break;
      }
      int64_t total = 0;
      int64_t n = 0;
      while ((n = r.WriteInput(big.data(), big.size(), round % 2 == 0 ? 0 : 5)) >= 0) {
        if (n > static_cast<int64_t>(big.size())) failures = 3;
        total += n;
      }
      if (total < 150000) failures = 4;  // the child took that much before it ended
      if (!r.WaitForEnd(10000)) failures = 5;
      if (r.WriteInput("x", 1, 0) != -1) failures = 6;
    }
    spin = false;
    busy.join();
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    if (sigismember(&pending, SIGPIPE)) return 7;  // never left on the caller's thread
    return failures;
  });
  EXPECT_EQ(result, 0) << ChildText(result);
}

// WriteInput on one thread while the owner starts child after child: the
// writer must never hold up a Start, nor a Start the writer.
TEST(ChildRedirecterThreaded, WritingWhileAnotherThreadStartsNeverDeadlocks) {
  const int result = Bounded(60, [] {
    CZORRedirecter r;
    r.SetApplication("/bin/true");
    std::atomic<bool> writing{true};
    std::atomic<int> bad{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < 2; ++w)
      writers.emplace_back([&] {
        const std::string block(1000, 'w');
        while (writing) {
          const int64_t n = r.WriteInput(block.data(), block.size(), -1);
          if (n < -1 || n > 1000) bad = 1;
        }
      });
    int failures = 0;
    for (int start = 0; start < 300 && failures == 0; ++start) {
      if (!r.Start(nullptr)) failures = 2;
      if (!r.WaitForEnd(10000)) failures = 3;
    }
    writing = false;
    for (std::thread& w : writers) w.join();
    return failures != 0 ? failures : bad.load();
  });
  EXPECT_EQ(result, 0) << ChildText(result);
}

// Deleting the redirecter while other threads wait inside WriteInput and
// WaitForEnd (a child that never reads) ends their calls first: each returns
// its count, and nothing is freed under them.
TEST(ChildRedirecterThreaded, DestroyedWhileOtherThreadsWaitInsideItsCalls) {
  const std::string big(1u << 20, 'd');
  for (int round = 0; round < 5; ++round) {
    auto r = std::make_unique<CZORRedirecter>();
    r->SetCommandLine("sh -c \"exec sleep 30\"");
    ASSERT_TRUE(r->Start(nullptr));
    CZORRedirecter* shared = r.get();
    std::vector<std::atomic<pid_t>> tids(4);
    std::vector<int64_t> written(3, -2);
    std::atomic<bool> ended{false};
    std::vector<std::thread> callers;
    for (int i = 0; i < 3; ++i)
      callers.emplace_back([&, i] {
        tids[i] = ::gettid();
        written[i] = shared->WriteInput(big.data(), big.size(), -1);
      });
    callers.emplace_back([&] {
      tids[3] = ::gettid();
      ended = shared->WaitForEnd(-1);
    });
    // Each caller asleep inside its call: destroying the object under a
    // thread still on its way in would be the caller's error.
    for (std::atomic<pid_t>& tid : tids) {
      const auto deadline = std::chrono::steady_clock::now() + 30s;  // a bound on a hang
      bool asleep = false;
      while (!(asleep = tid != 0 && IsAsleep(tid)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
      EXPECT_TRUE(asleep) << "a caller never reached its wait";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(round * 5));
    const auto started = std::chrono::steady_clock::now();
    r.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    for (std::thread& t : callers) t.join();
    int64_t total = 0;
    for (const int64_t n : written) {
      EXPECT_GE(n, -1);
      EXPECT_LT(n, static_cast<int64_t>(big.size()));  // the pipe holds far less
      total += std::max<int64_t>(n, 0);
    }
    EXPECT_LE(total, 1 << 20);
    EXPECT_TRUE(ended);
  }
}

// WriteInput, CloseInput, Start, WaitForEnd and Terminate from several
// threads at once, on children that read everything, never read, stop
// half-way or close their input first, end by themselves or are killed, with
// a window that writes from inside its messages too; then the redirecter is
// destroyed under callers. Every call returns within its time-out with a
// result the header allows, no child or descriptor is left behind.
TEST(ChildRedirecterThreaded, CallsFromSeveralThreadsOnChildrenThatMisbehave) {
  const std::set<std::string> fds = OpenFds("/proc/self/fd");
  const int result = Bounded(120, [] {
    const char* const children[] = {"cat", "sh -c \"exec sleep 30\"", "head -c 3000",
                                    "sh -c \"exec 0<&-; echo closed; exec sleep 30\"",
                                    "sh -c \"head -c 100 >/dev/null; exit 3\""};
    RecordingWindow window;
    auto r = std::make_unique<CZORRedirecter>();
    std::atomic<int> bad{0};
    window.OnOutput([&] {
      const int64_t n = r->WriteInput("echo\n", 5, -1);
      if (n != 5 && n != -1) bad = 1;
    });
    const std::string big(256 * 1024, 'm');
    const unsigned seed = static_cast<unsigned>(::getpid());
    for (int round = 0; round < 30 && bad == 0; ++round) {
      r->SetCommandLine(children[round % 5]);
      std::vector<std::thread> threads;
      for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
          std::mt19937 random(seed + static_cast<unsigned>(round * 8 + t));
          for (int op = 0; op < 25; ++op) {
            const int timeout = static_cast<int>(random() % 3) * 10;
            const std::size_t size = random() % big.size();
            const auto before = std::chrono::steady_clock::now();
            switch (random() % 8) {
              case 0:
                r->Start(random() % 2 ? &window : nullptr);
                break;
              case 1:
                if (random() % 4 == 0) r->CloseInput();
                break;
              case 2:
                if (random() % 8 == 0) r->Terminate();
                break;
              case 3:
                r->WaitForEnd(timeout);
                break;
              default: {
                const int64_t n = r->WriteInput(big.data(), size, timeout);
                if (n < -1 || n > static_cast<int64_t>(size)) bad = 2;
              }
            }
            if (std::chrono::steady_clock::now() - before > 5s) bad = 3;  // a time-out overrun
          }
        });
      for (std::thread& t : threads) t.join();
      r->Terminate();
      if (!r->WaitForEnd(10000)) bad = 4;
    }
    // Destroyed while threads still write and wait.
    r->SetCommandLine("sh -c \"exec sleep 30\"");
    if (!r->Start(&window)) return 5;
    CZORRedirecter* shared = r.get();
    std::vector<std::atomic<pid_t>> tids(3);
    std::vector<std::thread> callers;
    for (int t = 0; t < 3; ++t)
      callers.emplace_back([&, t] {
        tids[t] = ::gettid();
        if (t == 2) {
          shared->WaitForEnd(-1);
          return;
        }
        const int64_t n = shared->WriteInput(big.data(), big.size(), -1);
        if (n < -1 || n >= static_cast<int64_t>(big.size())) bad = 6;
      });
    // Each caller asleep inside its call, as destroying the object under a
    // thread still on its way in would be the caller's error.
    for (std::atomic<pid_t>& tid : tids) {
      const auto deadline = std::chrono::steady_clock::now() + 30s;  // a bound on a hang
      while (tid == 0 || !IsAsleep(tid)) {
        if (std::chrono::steady_clock::now() > deadline) return 7;
        std::this_thread::sleep_for(1ms);
      }
    }
    r.reset();
    for (std::thread& t : callers) t.join();
    return bad.load();
  });
  EXPECT_EQ(result, 0) << ChildText(result);
  EXPECT_EQ(OpenFds("/proc/self/fd"), fds);
}

// Running out of descriptors at any step of Start fails it and leaves
// nothing open or running; with enough of them the run works.
TEST(ChildRedirecterThreaded, RunningOutOfDescriptorsFailsTheStartCleanly) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer build's type checks open a pipe of their own, which an exhausted "
                  "descriptor table refuses: they would report every virtual call";
#endif
  const int result = Bounded(60, [] {
    rlimit old{};
    if (::getrlimit(RLIMIT_NOFILE, &old) != 0) return 1;
    int highest = 2;
    for (const std::string& name : OpenFds("/proc/self/fd"))
      highest = std::max(highest, std::stoi(name));
    rlimit low = old;
    low.rlim_cur = static_cast<rlim_t>(highest + 64);
    if (::setrlimit(RLIMIT_NOFILE, &low) != 0) return 2;
    int failed = 0;
    int worked = 0;
    for (int extra = 0; extra <= 8; ++extra) {
      const std::set<std::string> before = OpenFds("/proc/self/fd");
      {
        RecordingWindow window;
        CZORRedirecter r;
        r.SetApplication("/bin/cat");
        // Every descriptor number taken but `extra` of them, for the Start.
        std::vector<int> fillers;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers.push_back(fd);
        for (int i = 0; i < extra && !fillers.empty(); ++i) {
          ::close(fillers.back());
          fillers.pop_back();
        }
        const bool started = r.Start(&window);
        for (const int fd : fillers) ::close(fd);
        if (started) {
          ++worked;
          if (r.WriteInput("x", 1, 10000) != 1 || !window.WaitForText("x")) return 4;
          r.CloseInput();
          if (!r.WaitForEnd(10000) || window.Get().exitCode != 0) return 5;
        } else {
          ++failed;
          if (r.GetProcessId() != 0 || !r.WaitForEnd(0)) return 6;
        }
      }
      if (OpenFds("/proc/self/fd") != before) return 7;
    }
    // One to five descriptors short fails (two pipes, the wake, the pidfd).
    return failed >= 5 && worked > 0 ? 0 : 8;
  });
  EXPECT_EQ(result, 0) << ChildText(result);
}

}  // namespace

// A program that ignores SIGCHLD has its children reaped by the kernel the
// moment they end, maybe before the redirecter has looked at its child: a
// child that ends at once is still started (its exit code unknown).
TEST(ChildRedirecterThreaded, AChildReapedByTheKernelStillCountsAsStarted) {
  const int result = Bounded(60, [] {
    ::signal(SIGCHLD, SIG_IGN);
    for (int round = 0; round < 200; ++round) {
      RecordingWindow window;
      CZORRedirecter r;
      r.SetApplication("/bin/true");
      if (!r.Start(&window)) return 1;
      if (!r.WaitForEnd(10000) || !window.WaitForEnded()) return 2;
      if (window.Get().ended != 1 || window.Get().exitCode != 0xFFFFFFFFu) return 3;
    }
    return 0;
  });
  EXPECT_EQ(result, 0) << ChildText(result);
}

namespace {

// Runs `body` as the first process of a new process-id namespace (owned by a
// new user namespace), where the test may choose the next process id:
// kNoNamespace when the system allows neither.
constexpr int kNoNamespace = 200;

int InNewPidNamespace(const std::function<int()>& body) {
  return InChild([&] {
    if (::unshare(CLONE_NEWUSER | CLONE_NEWPID) != 0) return kNoNamespace;
    const pid_t init = ::fork();
    if (init < 0) return kNoNamespace;
    if (init == 0) ::_exit(body());
    // Signals from inside do not reach a namespace's first process, so the
    // bound on a hang is kept here: generous, as the scenario takes
    // milliseconds.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, init, 0));
    pollfd entry{pidfd, POLLIN, 0};
    if (::poll(&entry, 1, 60000) != 1)
      ::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0);
    int status = 0;
    ::waitpid(init, &status, 0);
    ::close(pidfd);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  });
}

// Makes the next process started in this process's namespace take `id`.
bool NextIdWillBe(pid_t id) {
  const int fd = ::open("/proc/sys/kernel/ns_last_pid", O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const std::string text = std::to_string(id - 1);
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return written;
}

// A window that holds the I/O thread inside the first output message until
// released.
class HeldWindow : public IRedirecterWindow {
 public:
  intptr_t SendMessage(uint32_t message, uintptr_t, intptr_t lParam) override {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (message == kRedirecterOutputMessage) {
      m_inside = true;
      m_changed.notify_all();
      m_changed.wait(lock, [&] { return m_released; });
    } else {
      ++m_ended;
      m_exitCode = static_cast<uint32_t>(lParam);
    }
    return 0;
  }
  bool WaitInside() {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, 30s, [&] { return m_inside; });  // a bound on a hang
  }
  void Release() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_released = true;
    m_changed.notify_all();
  }
  std::pair<int, uint32_t> Ended() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_ended, m_exitCode};
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_inside = false;
  bool m_released = false;
  int m_ended = 0;
  uint32_t m_exitCode = 0xDEAD;
};

int g_reapedReports = -1;  // the handler below writes each (id, status) there

void ReapEveryChild(int) {
  const int saved = errno;
  int status = 0;
  for (pid_t id; (id = ::waitpid(-1, &status, WNOHANG)) > 0;) {
    const int report[2] = {id, status};
    if (::write(g_reapedReports, report, sizeof report) < 0) break;
  }
  errno = saved;
}

// Waits until `fd` can be read (the handler above interrupts the wait),
// false after a long time: a bound on a hang.
bool Readable(int fd) {
  pollfd entry{fd, POLLIN, 0};
  int ready;
  while ((ready = ::poll(&entry, 1, 30000)) < 0 && errno == EINTR) {
  }
  return ready == 1;
}

// The next (id, status) the handler reported, or {0, 0} after a long wait.
std::pair<pid_t, int> NextReaped(int fd) {
  int report[2] = {0, 0};
  if (!Readable(fd) || ::read(fd, report, sizeof report) != sizeof report) return {0, 0};
  return {report[0], report[1]};
}

// A child of this process that answers each 'p' on `ask` on `answer` and
// ends with code 42 at 'q'. Alive: its answer comes, not end of file.
bool Answers(int ask, int answer) {
  char c = 'p';
  return ::write(ask, &c, 1) == 1 && Readable(answer) && ::read(answer, &c, 1) == 1;
}

// The redirecter's child ends and someone else reaps it (the kernel, SIGCHLD
// being ignored, or a handler that reaps every child) while the I/O thread
// is held inside a message; an unrelated child of the program then takes its
// id. Neither Terminate nor the I/O thread may touch that one.
int ReusedIdScenario(bool handler, bool terminate) {
  int reports[2] = {-1, -1};
  if (handler) {
    if (::pipe2(reports, O_CLOEXEC) != 0) return 1;
    g_reapedReports = reports[1];
    struct sigaction action{};
    action.sa_handler = ReapEveryChild;
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGCHLD, &action, nullptr);
  } else {
    ::signal(SIGCHLD, SIG_IGN);
  }
  HeldWindow window;
  CZORRedirecter r;
  r.SetCommandLine("sh -c \"echo held; exec sleep 60\"");
  if (!r.Start(&window)) return 2;
  struct Release {  // on every return, before the redirecter waits for its thread
    HeldWindow& window;
    ~Release() { window.Release(); }
  } release{window};
  const pid_t id = r.GetProcessId();
  if (!window.WaitInside()) return 3;
  // Still running, so still this id's owner: ended only now.
  if (::kill(id, SIGTERM) != 0) return 14;
  if (handler && NextReaped(reports[0]).first != id) return 4;
  for (const auto deadline = std::chrono::steady_clock::now() + 30s;  // a bound on a hang
       !(::kill(id, 0) != 0 && errno == ESRCH);)
    if (std::chrono::steady_clock::now() > deadline) return 5;

  int ask[2];
  int answer[2];
  if (::pipe2(ask, O_CLOEXEC) != 0 || ::pipe2(answer, O_CLOEXEC) != 0) return 6;
  if (!NextIdWillBe(id)) return kNoNamespace;
  const pid_t unrelated = ::fork();
  if (unrelated == 0) {
    ::close(answer[0]);
    for (char c; ::read(ask[0], &c, 1) == 1 && c == 'p';)
      if (::write(answer[1], &c, 1) != 1) break;
    ::_exit(42);
  }
  ::close(answer[1]);
  if (unrelated != id) return 7;  // the id could not be steered

  if (terminate) {
    r.Terminate();
    if (!Answers(ask[1], answer[0])) return 8;  // the unrelated child was killed
  }
  window.Release();
  // The I/O thread neither waits for the unrelated child (which still runs)
  // nor reports its end: the real child's exit code is unknown.
  if (!r.WaitForEnd(30000)) return 9;  // a bound on a hang
  if (window.Ended() != std::pair<int, uint32_t>{1, 0xFFFFFFFFu}) return 10;
  if (!Answers(ask[1], answer[0])) return 11;
  // Its status goes to its owner.
  const char quit = 'q';
  if (::write(ask[1], &quit, 1) != 1) return 12;
  if (handler) {
    const auto [reaped, status] = NextReaped(reports[0]);
    if (reaped != unrelated || !WIFEXITED(status) || WEXITSTATUS(status) != 42) return 13;
  }
  return 0;
}

}  // namespace

TEST(ChildRedirecterThreaded, AReusedChildIdIsNeverSignalledNorWaitedFor) {
  for (const bool handler : {false, true})
    for (const bool terminate : {false, true}) {
      const int result =
          InNewPidNamespace([&] { return ReusedIdScenario(handler, terminate); });
      if (result == kNoNamespace)
        GTEST_SKIP() << "no process-id namespace of its own (a threaded process, as every child "
                        "under ThreadSanitizer, cannot make one), or its next id cannot be chosen";
      EXPECT_EQ(result, 0) << ChildText(result) << (handler ? ", a handler" : ", the kernel")
                           << " reaping" << (terminate ? ", with Terminate" : "");
    }
}

// A writer without a time limit waits for the child to take its bytes; when
// the child ends first (its input still held open by a process it started),
// none went in: -1, never 0.
TEST(ChildRedirecterThreaded, AWriterWithoutLimitGetsMinusOneWhenTheChildEndsFirst) {
  const int result = Bounded(30, [] {
    CZORRedirecter r;
    r.SetCommandLine(
        "sh -c \"exec 3<&0; setsid sleep 3 <&3 >/dev/null 2>&1 & exec sleep 30\"");
    if (!r.Start(nullptr)) return 1;
    const std::string block(64 * 1024, 'b');
    int64_t n = 0;
    while ((n = r.WriteInput(block.data(), block.size(), 0)) > 0) {
    }
    if (n != 0) return 2;  // the pipe is full
    std::atomic<pid_t> tid{0};
    auto waiting = std::async(std::launch::async, [&] {
      tid = ::gettid();
      return r.WriteInput("x", 1, -1);
    });
    // Asleep inside the call, or (wrongly) back already.
    while ((tid == 0 || !IsAsleep(tid)) &&
           waiting.wait_for(1ms) == std::future_status::timeout) {
    }
    if (waiting.wait_for(0s) != std::future_status::timeout) return 3;
    r.Terminate();
    if (waiting.wait_for(10s) != std::future_status::ready) return 4;
    return waiting.get() == -1 ? 0 : 5;
  });
  EXPECT_EQ(result, 0) << ChildText(result);
}
