// One function run on a stack of its own, which it leaves with Yield() and
// its caller re-enters with Resume(): a coroutine, for code that must wait
// in the middle of a callback from a library that cannot stop there.
//
//   void Body(void* arg) noexcept { ...; stack->Yield(); ... }
//   zor::platform::SideStack stack(&Body, &data, 1 << 20);
//   while (!stack.finished()) stack.Resume();
//
// The body must catch every exception (none may cross a switch) and must
// return before the stack is destroyed: an owner that destroys the stack
// while the body waits first has it return (a stop flag the body checks
// after each Yield). Destroying a stack whose body waits would drop its
// frames without their destructors: the process is aborted instead.
//
// A switch saves and restores only the registers a function call keeps; it
// makes no system call, and the body runs with the signal mask of the thread
// that resumed it. The switches are announced to AddressSanitizer and
// ThreadSanitizer. A body may be resumed from a different thread each time,
// one thread at a time. x86-64 and AArch64 only.
#pragma once

#include <cstddef>

namespace zor::platform {

class SideStack {
 public:
  // Maps `bytes` of stack (resident only as far as it is used) above a guard
  // page that ends the process with SIGSEGV on an overflow; the body has not
  // started. Throws std::bad_alloc when the stack cannot be mapped.
  SideStack(void (*body)(void*), void* arg, std::size_t bytes);
  ~SideStack();
  SideStack(const SideStack&) = delete;
  SideStack& operator=(const SideStack&) = delete;

  // Whether the body has returned.
  bool finished() const { return finished_; }
  // Whether the body runs now (it called something that asks whether).
  bool running() const { return running_; }
  // From the caller: runs the body until it yields or returns. After the
  // body returned, or from the body itself: throws std::logic_error,
  // switching nothing.
  void Resume();
  // From the body: back to the caller of Resume().
  void Yield();

 private:
  [[noreturn]] static void Entry(SideStack* self) noexcept;
  void Entered();

  void (*body_)(void*);
  void* arg_;
  char* map_ = nullptr;  // the guard page, then the stack
  std::size_t guard_ = 0;
  std::size_t bytes_ = 0;
  void* own_sp_ = nullptr;     // where the body waits
  void* caller_sp_ = nullptr;  // where Resume() waits
  bool started_ = false;
  bool running_ = false;
  bool finished_ = false;
  // Sanitizer state, unused in other builds.
  [[maybe_unused]] void* fake_stack_ = nullptr;
  [[maybe_unused]] const void* caller_bottom_ = nullptr;
  [[maybe_unused]] std::size_t caller_size_ = 0;
  [[maybe_unused]] void* fiber_ = nullptr;
  [[maybe_unused]] void* caller_fiber_ = nullptr;
};

}  // namespace zor::platform
