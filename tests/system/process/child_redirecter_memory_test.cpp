#include <gtest/gtest.h>

#include <new>

#include "system/process/child_redirecter.h"
#include "tests/support/failing_allocation.h"
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

}  // namespace
