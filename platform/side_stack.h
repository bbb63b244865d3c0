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
// after each Yield). The switches are announced to AddressSanitizer and
// ThreadSanitizer. A body may be resumed from a different thread each time,
// one thread at a time.
#pragma once

#include <ucontext.h>

#include <cstddef>

namespace zor::platform {

class SideStack {
 public:
  // Maps `bytes` of stack (resident only as far as it is used) below a guard
  // page; the body has not started. Throws std::bad_alloc when the stack
  // cannot be mapped.
  SideStack(void (*body)(void*), void* arg, std::size_t bytes);
  ~SideStack();
  SideStack(const SideStack&) = delete;
  SideStack& operator=(const SideStack&) = delete;

  // Whether the body has returned.
  bool finished() const { return finished_; }
  // From the caller: runs the body until it yields or returns. Not after it
  // returned.
  void Resume();
  // From the body: back to the caller of Resume().
  void Yield();

 private:
  static void Entry(unsigned high, unsigned low);
  void Entered();

  void (*body_)(void*);
  void* arg_;
  char* map_ = nullptr;  // the guard page, then the stack
  std::size_t guard_ = 0;
  std::size_t bytes_ = 0;
  ucontext_t own_{};
  ucontext_t caller_{};
  bool finished_ = false;
  // Sanitizer state, unused in other builds.
  [[maybe_unused]] void* fake_stack_ = nullptr;
  [[maybe_unused]] const void* caller_bottom_ = nullptr;
  [[maybe_unused]] std::size_t caller_size_ = 0;
  [[maybe_unused]] void* fiber_ = nullptr;
  [[maybe_unused]] void* caller_fiber_ = nullptr;
};

}  // namespace zor::platform
