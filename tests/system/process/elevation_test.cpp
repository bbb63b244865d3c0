#include "system/process/elevation.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/system/process/process_test_support.h"

namespace {

// Exit code 0 when the process is told what an unprivileged one is told.
int CheckUnprivileged() {
  ProcessHandle handle;
  if (IsUserAdministrator() || HasRequiredPrivileges()) return 10;
  if (RunElevated("/bin/true", "x", &handle) || handle) return 11;
  return 0;
}

TEST(Elevation, RootStartsDirectlyWithSplitParameters) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  EXPECT_TRUE(IsUserAdministrator());
  EXPECT_TRUE(HasRequiredPrivileges());
  TempFolder tmp;
  const std::string program = tmp.Path("setup tool");
  WriteRecorder(program, tmp.Path("args.txt"));
  ProcessHandle handle;
  ASSERT_TRUE(RunElevated(program, "/install \"C:\\Program Files\\Zor\"", &handle));
  ASSERT_TRUE(handle.Wait(5000));
  EXPECT_EQ(ReadLines(tmp.Path("args.txt")),
            (std::vector<std::string>{"2", "/install", "C:\\Program Files\\Zor"}));
  EXPECT_FALSE(RunElevated(tmp.Path("missing"), "", &handle));
  EXPECT_FALSE(handle);
}

TEST(Elevation, WithoutRootNothingStarts) {
  if (::geteuid() != 0) {
    EXPECT_EQ(CheckUnprivileged(), 0);
    return;
  }
  // A child that gives up root answers for an unprivileged user.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)
          ::_exit(2);
        ::_exit(CheckUnprivileged());
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
