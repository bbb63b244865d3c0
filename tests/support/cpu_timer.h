// Processor time spent by the calling thread, for bounds on how the cost of
// an algorithm grows with its input. Unlike the wall clock it leaves out the
// time a busy machine keeps the test waiting for a core, so a bound that
// tells linear from quadratic work holds however loaded the machine is.
//
//   const ThreadCpuTimer timer;
//   EXPECT_EQ(Parse(hugeInput), expected);
//   EXPECT_LT(timer.Seconds(), 1.0);
#pragma once

#include <time.h>

class ThreadCpuTimer {
 public:
  ThreadCpuTimer() : m_start(Now()) {}

  // User and system time of this thread since the timer was made.
  double Seconds() const { return Now() - m_start; }

 private:
  static double Now() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }

  double m_start;
};
