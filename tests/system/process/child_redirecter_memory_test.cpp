#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <string>

#include "system/process/child_redirecter.h"
#include "tests/support/failing_allocation.h"
#include "tests/support/in_child.h"
#include "tests/system/process/process_test_support.h"

namespace {

// Memory running out at any allocation of a Start fails it cleanly: no child
// is left running or unreaped, no descriptor open, and the next Start works.
TEST(ChildRedirecterThreaded, RunningOutOfMemoryInAStartLeavesNothingBehind) {
  const std::size_t before = OpenFds("/proc/self/fd").size();
  for (long k = 0;; ++k) {
    CZORRedirecter r;
    r.SetCommandLine("cat -");
    bool started = false;
    bool fired = false;
    try {
      FailingAllocation fail(k);
      started = r.Start(nullptr);
      fired = fail.Fired();
    } catch (const std::bad_alloc&) {
      ADD_FAILURE() << "allocation " << k << " escaped the Start";
      fired = true;
    }
    if (started) r.CloseInput();
    EXPECT_TRUE(r.WaitForEnd(10000)) << "allocation " << k;
    EXPECT_TRUE(r.Start(nullptr)) << "allocation " << k;
    r.CloseInput();
    EXPECT_TRUE(r.WaitForEnd(10000)) << "allocation " << k;
    if (!fired || k > 100) break;
  }
  EXPECT_EQ(OpenFds("/proc/self/fd").size(), before);
}

// A window that keeps the output, and makes the next allocation of the
// thread that delivers it fail once it has the first block.
class FailingWindow : public IRedirecterWindow {
 public:
  intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (message == kRedirecterOutputMessage) {
      m_text.append(reinterpret_cast<const char*>(lParam), wParam);  // may throw
      if (!m_fail) m_fail.emplace(0);
    } else {
      ++m_ended;
      m_exitCode = static_cast<uint32_t>(lParam);
    }
    m_changed.notify_all();
    return 0;
  }
  bool WaitForText(const std::string& text) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(30),  // a bound on a hang
                              [&] { return m_text == text; });
  }
  std::string m_text;
  int m_ended = 0;
  uint32_t m_exitCode = 0;

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::optional<FailingAllocation> m_fail;
};

// Memory running out on the I/O thread, while a block of output is handed to
// the window, ends the run: the child is ended, the ended message names the
// cause, the program goes on and the redirecter starts again.
TEST(ChildRedirecterThreaded, RunningOutOfMemoryWhileDeliveringEndsTheRun) {
  const int result = InChild([] {
    ::alarm(60);  // a bound on a hang
    FailingWindow window;
    CZORRedirecter r;
    // The second block comes on request, larger than a string holds inline;
    // the child would then sleep far beyond the wait below.
    r.SetCommandLine("sh -c \"echo first; read go; seq 1 1000; exec sleep 120\"");
    if (!r.Start(&window)) return 1;
    const pid_t child = r.GetProcessId();
    if (!window.WaitForText("first\n")) return 2;
    if (r.WriteInput("go\n", 3, -1) != 3) return 3;
    if (!r.WaitForEnd(30000)) return 4;
    if (window.m_ended != 1 || window.m_exitCode != kRedirecterOutOfMemory) return 5;
    if (window.m_text != "first\n") return 6;
    if (::waitpid(child, nullptr, WNOHANG) != -1) return 7;  // reaped
    FailingWindow next;
    r.SetCommandLine("echo again");
    if (!r.Start(&next) || !r.WaitForEnd(30000)) return 8;
    return next.m_text == "again\n" && next.m_exitCode == 0 ? 0 : 9;
  });
  EXPECT_EQ(result, 0);
}

}  // namespace
