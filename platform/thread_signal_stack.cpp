#include "platform/thread_signal_stack.h"

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/signal_crash.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define ZOR_STATIC_SANITIZER_RUNTIME 1
#endif
#endif

namespace zor::platform {

#if defined(ZOR_STATIC_SANITIZER_RUNTIME)

void GiveNewThreadsAlternateSignalStacks(bool) noexcept {}
bool NewThreadsGetAlternateSignalStacks() noexcept { return false; }

}  // namespace zor::platform

#else

namespace {
std::atomic<bool> g_wrapNewThreads{false};
}  // namespace

void GiveNewThreadsAlternateSignalStacks(bool on) noexcept { g_wrapNewThreads.store(on); }
bool NewThreadsGetAlternateSignalStacks() noexcept { return g_wrapNewThreads.load(); }

namespace {

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

CreateFunction NextCreate() noexcept {
  static std::atomic<CreateFunction> next{nullptr};
  CreateFunction f = next.load(std::memory_order_acquire);
  if (f == nullptr) {
    f = reinterpret_cast<CreateFunction>(::dlsym(RTLD_NEXT, "pthread_create"));
    next.store(f, std::memory_order_release);
  }
  return f;
}

struct Start {
  void* (*routine)(void*);
  void* argument;
};

void* RunWithAlternateStack(void* boot) {
  const Start start = *static_cast<Start*>(boot);
  std::free(boot);
  // Without one the thread still runs; only an overflow of it goes unreported.
  InstallAlternateSignalStack();
  // Libraries often start helpers with every signal blocked. A blocked fault
  // signal does not stop the fault: the kernel then kills the process without
  // running a handler, so unblocking these loses nothing and lets it report.
  sigset_t faults;
  ::sigemptyset(&faults);
  for (int s : {SIGSEGV, SIGBUS, SIGILL, SIGFPE}) ::sigaddset(&faults, s);
  ::pthread_sigmask(SIG_UNBLOCK, &faults, nullptr);
  return start.routine(start.argument);
}

}  // namespace
}  // namespace zor::platform

extern "C" __attribute__((visibility("default"))) int pthread_create(
    pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*), void* argument) {
  using namespace zor::platform;
  const CreateFunction next = NextCreate();
  if (next == nullptr) return EAGAIN;
  if (!g_wrapNewThreads.load(std::memory_order_relaxed)) return next(thread, attributes, routine, argument);
  auto* boot = static_cast<Start*>(std::malloc(sizeof(Start)));
  if (boot == nullptr) return next(thread, attributes, routine, argument);
  *boot = {routine, argument};
  const int result = next(thread, attributes, &RunWithAlternateStack, boot);
  if (result != 0) std::free(boot);
  return result;
}

#endif
