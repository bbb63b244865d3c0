#include "system/process/kill_on_close_job.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "system/process/process_helpers.h"
#include "tests/support/temp_folder.h"

namespace {

ProcessHandle Sleeper() { return StartProcessWithArgs("sleep", {"30"}, nullptr); }

TEST(KillOnCloseJob, ClosingTheJobKillsItsProcessesOnly) {
  std::unique_ptr<KillOnCloseJob> job = KillOnCloseJob::Create();
  ASSERT_TRUE(job);
  ProcessHandle first = Sleeper();
  ProcessHandle outside = Sleeper();
  EXPECT_TRUE(job->Add(first));
  EXPECT_FALSE(job->Add(ProcessHandle()));
  // Ended processes are let go of, so the guard's descriptors do not pile up.
  for (int i = 0; i < 5; ++i) {
    ProcessHandle quick = StartProcessWithArgs("true", {}, nullptr);
    ASSERT_TRUE(job->Add(quick));
    ASSERT_TRUE(quick.Wait(5000));
  }
  ProcessHandle second = Sleeper();
  EXPECT_TRUE(job->Add(second));
  const auto fds = std::filesystem::path("/proc") / std::to_string(job->GuardPid()) / "fd";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(fds), {}), 3);  // socket + 2

  job.reset();
  ASSERT_TRUE(first.Wait(5000));
  EXPECT_EQ(first.ExitCode(), 128 + SIGKILL);
  ASSERT_TRUE(second.Wait(5000));
  EXPECT_EQ(second.ExitCode(), 128 + SIGKILL);
  EXPECT_FALSE(outside.Wait(100));
  ::kill(outside.Pid(), SIGKILL);
}

TEST(KillOnCloseJob, AddFailsOnceTheGuardIsGone) {
  std::unique_ptr<KillOnCloseJob> job = KillOnCloseJob::Create();
  ASSERT_TRUE(job);
  const pid_t guard = job->GuardPid();
  ASSERT_EQ(::kill(guard, SIGKILL), 0);
  ProcessHandle child = Sleeper();
  EXPECT_FALSE(job->Add(child));  // whether the guard is dead or still dying
  EXPECT_FALSE(job->Add(child));
  EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(guard)));  // reaped
  ::kill(child.Pid(), SIGKILL);
}

TEST(KillOnCloseJob, EndOfTheOwnerKillsTheProcesses) {
  EXPECT_EQ(GetKillOnCloseJob(), GetKillOnCloseJob());
  // The owner is a fresh run of this test binary; it finds where to leave its
  // child's pid in the environment it inherits.
  const char* inherited = std::getenv("ZOR_TEST_JOB_PID_FILE");
  std::optional<TempFolder> tmp;
  if (inherited == nullptr) tmp.emplace();
  const std::string pidFile = inherited != nullptr ? inherited : tmp->Path("pid");
  ::setenv("ZOR_TEST_JOB_PID_FILE", pidFile.c_str(), 1);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ProcessHandle child = Sleeper();
        if (!AddProcessToKillOnCloseJob(child)) ::_exit(1);
        std::ofstream(pidFile) << child.Pid();
        ::_exit(0);  // no clean-up of its own
      },
      ::testing::ExitedWithCode(0), "");
  ::unsetenv("ZOR_TEST_JOB_PID_FILE");
  pid_t pid = 0;
  std::ifstream(pidFile) >> pid;
  ASSERT_GT(pid, 0);
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (pidfd < 0) return;  // already gone and reaped
  pollfd entry{pidfd, POLLIN, 0};
  EXPECT_EQ(::poll(&entry, 1, 5000), 1);
  ::close(pidfd);
}

}  // namespace
