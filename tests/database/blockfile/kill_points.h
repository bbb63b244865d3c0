// Runs a file operation in a child process that dies at its n-th write or
// truncate call, for n = 1, 2, ... until the operation completes: the file
// is left as a kill at that point leaves it (the calls before reached the
// file, none after), and the test checks what a reader then sees.
//
//   const int calls = ForEachKillPoint(
//       [&] { path = tmp.Write("db.zdb", start); },            // before each run
//       [&] { KillableBlockFile db; db.AddHistoryEntry(path, 1, 0); },
//       [&](int n) { ...read the file the kill at call n left... });
//
// The operation runs in the child only; use no test assertions there.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "database/blockfile/block_file.h"

namespace kill_points {

inline int g_killAt = 0;
inline int g_calls = 0;
inline constexpr int kKilled = 86;
inline constexpr int kDone = 87;
inline constexpr int kThrew = 88;

inline void Count() {
  if (++g_calls == g_killAt) _exit(kKilled);
}

}  // namespace kill_points

// A block file whose writes and truncations are kill points.
class KillableBlockFile : public CBlockFile {
 public:
  void Write(const void* buffer, uint32_t count) override {
    kill_points::Count();
    CBlockFile::Write(buffer, count);
  }
  void SetLength(uint64_t length) override {
    kill_points::Count();
    CBlockFile::SetLength(length);
  }
};

// Returns the number of kill points the operation has (-1 after a failure).
inline int ForEachKillPoint(const std::function<void()>& prepare, const std::function<void()>& op,
                            const std::function<void(int)>& check) {
  for (int n = 1; n < 1000; ++n) {
    prepare();
    const pid_t pid = ::fork();
    if (pid == 0) {
      kill_points::g_killAt = n;
      kill_points::g_calls = 0;
      try {
        op();
      } catch (...) {
        _exit(kill_points::kThrew);
      }
      _exit(kill_points::kDone);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
      ADD_FAILURE() << "the child of kill point " << n << " did not exit";
      return -1;
    }
    if (WEXITSTATUS(status) == kill_points::kDone) return n - 1;
    if (WEXITSTATUS(status) != kill_points::kKilled) {
      ADD_FAILURE() << "the operation failed before kill point " << n;
      return -1;
    }
    check(n);
    if (testing::Test::HasFailure()) return -1;
  }
  ADD_FAILURE() << "the operation never completed";
  return -1;
}
