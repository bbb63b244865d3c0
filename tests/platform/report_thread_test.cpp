#include "platform/report_thread.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>

namespace {

using zor::platform::RunOnReportThread;

struct JobRecord {
  pid_t caller = 0;
  pid_t runner = 0;
  int value = 0;
  bool nestedRan = true;
};

void Job(void* argument) {
  auto* record = static_cast<JobRecord*>(argument);
  record->runner = ::gettid();
  record->value += 1;
  // The report thread cannot wait for itself.
  record->nestedRan = RunOnReportThread(&Job, argument);
}

TEST(ReportThreadThreaded, RunsTheJobOnItsOwnThreadAndWaits) {
  ASSERT_TRUE(zor::platform::StartReportThread());
  ASSERT_TRUE(zor::platform::StartReportThread());  // once per process
  EXPECT_TRUE(zor::platform::IsReportThreadRunning());
  for (int round = 1; round <= 3; ++round) {
    JobRecord record;
    record.caller = ::gettid();
    record.value = round;
    ASSERT_TRUE(RunOnReportThread(&Job, &record));
    // Finished when the call returned: the result is there.
    EXPECT_EQ(record.value, round + 1);
    EXPECT_NE(record.runner, 0);
    EXPECT_NE(record.runner, record.caller);
    EXPECT_FALSE(record.nestedRan);
  }
}

}  // namespace

namespace {

// Not "Threaded": fork() and ThreadSanitizer do not mix.
TEST(ReportThreadFork, AForkedChildStartsItsOwnThread) {
  ASSERT_TRUE(zor::platform::StartReportThread());
  // Fork only once the thread has started up and waits for work, as it
  // does in a program: one still starting may hold a lock of the address
  // sanitizer's allocator, which the child would inherit taken for good.
  JobRecord first;
  ASSERT_TRUE(RunOnReportThread(&Job, &first));
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    JobRecord record;
    // The parent's thread is not in this process: nothing may reach it.
    if (zor::platform::IsReportThreadRunning() || RunOnReportThread(&Job, &record)) ::_exit(1);
    if (!zor::platform::StartReportThread() || !RunOnReportThread(&Job, &record)) ::_exit(2);
    ::_exit(record.value == 1 && record.runner != ::gettid() ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
