#include "platform/side_stack.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "tests/support/in_child.h"

namespace {

using zor::platform::SideStack;

struct MaskProbe {
  SideStack* stack = nullptr;
  bool blocked[2] = {};  // SIGTERM blocked, as the body saw it after each resume
};

void ProbeMask(void* arg) noexcept {
  auto* probe = static_cast<MaskProbe*>(arg);
  for (bool& blocked : probe->blocked) {
    sigset_t now;
    pthread_sigmask(SIG_BLOCK, nullptr, &now);
    blocked = sigismember(&now, SIGTERM) == 1;
    probe->stack->Yield();
  }
}

TEST(SideStack, TheBodyRunsWithTheMaskOfTheThreadThatResumesIt) {
  // A program that blocks a signal after making the stack, to take it with
  // sigwait on another thread, must not have the body run with it unblocked.
  sigset_t term, old;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  pthread_sigmask(SIG_UNBLOCK, &term, &old);
  MaskProbe probe;
  SideStack stack(&ProbeMask, &probe, 64 << 10);
  probe.stack = &stack;
  pthread_sigmask(SIG_BLOCK, &term, nullptr);
  stack.Resume();
  pthread_sigmask(SIG_UNBLOCK, &term, nullptr);
  stack.Resume();
  stack.Resume();
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  EXPECT_TRUE(stack.finished());
  EXPECT_TRUE(probe.blocked[0]);
  EXPECT_FALSE(probe.blocked[1]);
  EXPECT_THROW(stack.Resume(), std::logic_error);  // the body's frame is gone
}

// Addresses seen by the child that overflows its side stack, in a page
// shared with the parent.
struct OverflowSeen {
  std::uintptr_t top;    // the top of the side stack, rounded up to a page
  std::uintptr_t fault;  // the address of the fault
};
OverflowSeen* g_seen = nullptr;

void RecordFault(int, siginfo_t* info, void*) {
  g_seen->fault = reinterpret_cast<std::uintptr_t>(info->si_addr);
  // Returns with the default action back in place: the access faults again
  // and the process dies of it.
}

// Small frames, each written whole, so that every page on the way down is
// touched and none is jumped over.
[[gnu::noinline]] int Recurse(int n) {
  volatile unsigned char frame[256];
  std::memset(const_cast<unsigned char*>(frame), 0xA5, sizeof frame);
  return frame[n % 256] + (n > 0 ? Recurse(n + 1) : 0);
}

void OverflowBody(void*) noexcept {
  const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  g_seen->top = (here + page - 1) / page * page;
  Recurse(1);
  _exit(0);
}

TEST(SideStack, AnOverflowEndsOnTheGuardPageWithSigsegv) {
  // Without the guard page the overflow would go on into whatever lies
  // below the stack, and fault, if at all, somewhere else.
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  constexpr std::size_t kBytes = 256 << 10;
  void* shared = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  g_seen = static_cast<OverflowSeen*>(shared);
  const int result = InChild([&] {
    static char alternate[64 << 10];
    stack_t on{};
    on.ss_sp = alternate;
    on.ss_size = sizeof alternate;
    struct sigaction action {};
    action.sa_sigaction = &RecordFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    if (sigaltstack(&on, nullptr) != 0 || sigaction(SIGSEGV, &action, nullptr) != 0) return 3;
    SideStack stack(&OverflowBody, nullptr, kBytes);
    stack.Resume();
    return 4;
  });
  EXPECT_EQ(result, 128 + SIGSEGV);
  const std::uintptr_t guard = g_seen->top - kBytes - page;
  EXPECT_GE(g_seen->fault, guard);
  EXPECT_LT(g_seen->fault, guard + page);
  munmap(shared, page);
}

void WaitOnce(void* arg) noexcept { static_cast<SideStack*>(*static_cast<void**>(arg))->Yield(); }

TEST(SideStack, DestroyedWhileTheBodyWaitsAbortsRatherThanDropItsFrames) {
  // Its frames may own memory or locks: dropping them silently would leak
  // them. An owner must have the body return first.
  void* self = nullptr;
  EXPECT_DEATH(
      {
        SideStack stack(&WaitOnce, &self, 64 << 10);
        self = &stack;
        stack.Resume();
      },
      "destroyed while its body waits");
  SideStack stack(&WaitOnce, &self, 64 << 10);  // a stack never resumed needs nothing
}

}  // namespace
