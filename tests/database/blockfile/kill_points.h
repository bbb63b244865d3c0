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
//
// With ForEachPartialKillPoint the write call at the kill point writes only
// the first `part` bytes of its buffer before the child dies, as a kill, a
// full disk or an I/O error in the middle of one write call leaves it.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>

#include "database/blockfile/block_file.h"

namespace kill_points {

inline int g_killAt = 0;
inline int g_calls = 0;
// Bytes the write at the kill point still writes; -1: none.
inline int64_t g_partBytes = -1;
inline constexpr int kKilled = 86;
inline constexpr int kDone = 87;
inline constexpr int kThrew = 88;

inline void Count() {
  if (++g_calls == g_killAt) _exit(kKilled);
}

// True when this call is the kill point and writes a part before dying.
inline bool PartialKillHere() { return g_partBytes >= 0 && g_calls + 1 == g_killAt; }

}  // namespace kill_points

// A block file whose writes and truncations are kill points.
class KillableBlockFile : public CBlockFile {
 public:
  void Write(const void* buffer, uint32_t count) override {
    if (kill_points::PartialKillHere()) {
      CBlockFile::Write(buffer, static_cast<uint32_t>(
                                    std::min<int64_t>(count, kill_points::g_partBytes)));
      _exit(kill_points::kKilled);
    }
    kill_points::Count();
    CBlockFile::Write(buffer, count);
  }
  void SetLength(uint64_t length) override {
    kill_points::Count();
    CBlockFile::SetLength(length);
  }
};

// Runs the operation in a child that dies at its n-th write or truncate call
// (never for n = 0) and returns the child's exit status: kKilled, kDone,
// kThrew or the operation's own; -1 when the child did not exit.
inline int RunToKillPoint(int n, const std::function<void()>& op, int64_t partBytes = -1) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    kill_points::g_killAt = n;
    kill_points::g_calls = 0;
    kill_points::g_partBytes = partBytes;
    try {
      op();
    } catch (...) {
      _exit(kill_points::kThrew);
    }
    _exit(kill_points::kDone);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Returns the number of kill points the operation has (-1 after a failure).
inline int ForEachKillPoint(const std::function<void()>& prepare, const std::function<void()>& op,
                            const std::function<void(int)>& check, int64_t partBytes = -1) {
  for (int n = 1; n < 1000; ++n) {
    prepare();
    const int status = RunToKillPoint(n, op, partBytes);
    if (status < 0) {
      ADD_FAILURE() << "the child of kill point " << n << " did not exit";
      return -1;
    }
    if (status == kill_points::kDone) return n - 1;
    if (status != kill_points::kKilled) {
      ADD_FAILURE() << "the operation failed before kill point " << n;
      return -1;
    }
    check(n);
    if (testing::Test::HasFailure()) return -1;
  }
  ADD_FAILURE() << "the operation never completed";
  return -1;
}

// ForEachKillPoint where the write at the kill point writes its first
// `partBytes` bytes (or all it has, when fewer).
inline int ForEachPartialKillPoint(int64_t partBytes, const std::function<void()>& prepare,
                                   const std::function<void()>& op,
                                   const std::function<void(int)>& check) {
  return ForEachKillPoint(prepare, op, check, partBytes);
}
