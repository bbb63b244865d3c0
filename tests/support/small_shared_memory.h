// Runs a body in a child process whose /dev/shm is a 4 KiB tmpfs of its own
// (in a mount namespace of the child alone), to see what the users of shared
// memory do when it runs out. Mounting needs root; where it is refused the
// child ends with kNoSmallSharedMemory and the test skips.
//
//   const int result = InChildWithSmallSharedMemory([] {
//     FillSharedMemory();
//     return Event::CreateNamed("x", true, false) == nullptr ? 0 : 1;
//   });
//   if (result == kNoSmallSharedMemory) GTEST_SKIP() << kNoSmallSharedMemoryText;
//   EXPECT_EQ(result, 0) << ChildResultText(result);
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "tests/support/in_child.h"

inline constexpr int kNoSmallSharedMemory = 77;
inline constexpr char kNoSmallSharedMemoryText[] =
    "needs CAP_SYS_ADMIN to mount a small tmpfs on /dev/shm in a mount namespace of its own";

// Writes into /dev/shm until it is full.
inline void FillSharedMemory() {
  const int fd = ::open("/dev/shm/zor-test-filler", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const char page[4096] = {};
  while (::write(fd, page, sizeof page) > 0) {
  }
  ::close(fd);
}

// Creates files in /dev/shm until it has no inode left.
inline void UseUpSharedMemoryInodes() {
  for (int i = 0;; ++i) {
    const std::string name = "/dev/shm/zor-test-inode-" + std::to_string(i);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    ::close(fd);
  }
}

// The body's exit code, or 128 + the signal that killed the child. `options`
// are the tmpfs mount's: its size, and its number of inodes where that is
// what is to run out.
template <typename Body>
int InChildWithSmallSharedMemory(Body body, const std::string& options = "size=4k") {
  return InChild([&body, &options] {
    // The mounts must not reach the parent's namespace through shared ones.
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV,
                (options + ",mode=1777").c_str()) != 0)
      return kNoSmallSharedMemory;
    return body();
  });
}

inline std::string ChildResultText(int result) {
  if (result > 128) return std::string("the child died of ") + ::strsignal(result - 128);
  return "the child's check " + std::to_string(result) + " failed";
}
