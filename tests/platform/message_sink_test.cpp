#include "platform/message_sink.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace zor::platform {
namespace {

TEST(MessageSink, DefaultAnswerIsTheDefaultButton) {
  EXPECT_EQ(DefaultButton(MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(DefaultButton(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
  EXPECT_EQ(DefaultButton(MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(DefaultButton(MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(DefaultButton(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
  EXPECT_EQ(DefaultButton(MB_ABORTRETRYIGNORE | MB_DEFBUTTON2), IDRETRY);
  EXPECT_EQ(DefaultButton(MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(DefaultButton(0xE), IDOK) << "an unknown button set";
}

// The default sink writes one line to standard error and does not wait.
TEST(MessageSink, DefaultSinkWritesOneLineToStandardError) {
  std::fflush(stderr);
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  const int saved = dup(STDERR_FILENO);
  dup2(pipe_fds[1], STDERR_FILENO);
  const int answer = ShowMessageBox("Disk full\r\non C:", "Logger : Error", MB_YESNO | MB_DEFBUTTON2);
  dup2(saved, STDERR_FILENO);
  close(saved);
  close(pipe_fds[1]);
  char buf[256] = {};
  const ssize_t n = read(pipe_fds[0], buf, sizeof buf - 1);
  close(pipe_fds[0]);
  EXPECT_EQ(answer, IDNO);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(n)), "Logger : Error: Disk full on C:\n");
}

TEST(MessageSink, ScopedSinksNestAndRestore) {
  std::vector<std::string> outer;
  std::vector<std::string> inner;
  {
    ScopedMessageSink a([&](const MessageBoxCall& box) {
      outer.push_back(box.caption + "/" + box.text);
      return IDCANCEL;
    });
    EXPECT_EQ(ShowMessageBox("one", "A", MB_OKCANCEL), IDCANCEL);
    {
      ScopedMessageSink b([&](const MessageBoxCall& box) {
        inner.push_back(box.text);
        // A sink may show a box itself: no lock is held while it runs.
        SetMessageSink(SetMessageSink(nullptr));
        return IDYES;
      });
      EXPECT_EQ(ShowMessageBox("two", "B", MB_YESNO), IDYES);
    }
    EXPECT_EQ(ShowMessageBox("three", "C", MB_OK), IDCANCEL);
  }
  EXPECT_EQ(outer, (std::vector<std::string>{"A/one", "C/three"}));
  EXPECT_EQ(inner, std::vector<std::string>{"two"});
  EXPECT_FALSE(SetMessageSink(nullptr)) << "the default sink is back";
}

TEST(MessageSinkThreaded, BoxesFromManyThreadsReachTheSink) {
  std::atomic<int> count{0};
  ScopedMessageSink sink([&](const MessageBoxCall&) {
    ++count;
    return IDOK;
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 100; ++i) ShowMessageBox("x", "y", MB_OK);
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(count.load(), 400);
}

}  // namespace
}  // namespace zor::platform
