// Runs a body in a forked child process and waits for it: the body's return
// value is the child's exit code.
//
//   EXPECT_EQ(InChild([&] { return counter.Open(folder) ? 0 : 1; }), 0);
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

// The body's exit code, 128 + the signal that killed the child, or -1 when
// no child could be started or waited for.
template <typename Body>
int InChild(Body body) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) ::_exit(body());
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
