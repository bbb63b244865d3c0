#include "platform/side_stack.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOR_SIDE_STACK_ASAN 1
#endif
#if __has_feature(thread_sanitizer)
#define ZOR_SIDE_STACK_TSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZOR_SIDE_STACK_ASAN 1
#endif
#if defined(__SANITIZE_THREAD__)
#define ZOR_SIDE_STACK_TSAN 1
#endif
#if defined(ZOR_SIDE_STACK_ASAN)
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif
#if defined(ZOR_SIDE_STACK_TSAN)
#include <sanitizer/tsan_interface.h>
#endif

namespace zor::platform {

SideStack::SideStack(void (*body)(void*), void* arg, std::size_t bytes)
    : body_(body), arg_(arg), bytes_(bytes) {
  guard_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* map = mmap(nullptr, guard_ + bytes_, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (map == MAP_FAILED) throw std::bad_alloc();
  map_ = static_cast<char*>(map);
  // An overflow faults on the guard page instead of writing past the stack.
  if (mprotect(map_, guard_, PROT_NONE) != 0 || getcontext(&own_) != 0) {
    munmap(map_, guard_ + bytes_);
    throw std::bad_alloc();
  }
  own_.uc_stack.ss_sp = map_ + guard_;
  own_.uc_stack.ss_size = bytes_;
  own_.uc_link = nullptr;
  // makecontext passes int arguments only: the pointer goes in two halves.
  const auto self = reinterpret_cast<std::uintptr_t>(this);
  makecontext(&own_, reinterpret_cast<void (*)()>(&Entry), 2, static_cast<unsigned>(self >> 32),
              static_cast<unsigned>(self & 0xFFFFFFFFu));
#if defined(ZOR_SIDE_STACK_TSAN)
  fiber_ = __tsan_create_fiber(0);
#endif
}

SideStack::~SideStack() {
#if defined(ZOR_SIDE_STACK_TSAN)
  __tsan_destroy_fiber(fiber_);
#endif
#if defined(ZOR_SIDE_STACK_ASAN)
  // Frames that never returned leave poisoned shadow behind, which would
  // stay with whatever is mapped here next.
  __asan_unpoison_memory_region(map_ + guard_, bytes_);
#endif
  munmap(map_, guard_ + bytes_);
}

void SideStack::Resume() {
#if defined(ZOR_SIDE_STACK_ASAN)
  void* fake_stack = nullptr;
  __sanitizer_start_switch_fiber(&fake_stack, map_ + guard_, bytes_);
#endif
#if defined(ZOR_SIDE_STACK_TSAN)
  caller_fiber_ = __tsan_get_current_fiber();
  __tsan_switch_to_fiber(fiber_, 0);
#endif
  swapcontext(&caller_, &own_);
#if defined(ZOR_SIDE_STACK_ASAN)
  __sanitizer_finish_switch_fiber(fake_stack, nullptr, nullptr);
#endif
}

// ThreadSanitizer wants its switch in the function that switches (it keeps
// a shadow stack per fiber): the annotations are not put into a helper.
void SideStack::Yield() {
#if defined(ZOR_SIDE_STACK_ASAN)
  __sanitizer_start_switch_fiber(&fake_stack_, caller_bottom_, caller_size_);
#endif
#if defined(ZOR_SIDE_STACK_TSAN)
  __tsan_switch_to_fiber(caller_fiber_, 0);
#endif
  swapcontext(&own_, &caller_);
  Entered();
}

void SideStack::Entry(unsigned high, unsigned low) {
  auto* self = reinterpret_cast<SideStack*>((std::uintptr_t{high} << 32) | low);
  self->Entered();
  self->body_(self->arg_);
  self->finished_ = true;
#if defined(ZOR_SIDE_STACK_ASAN)
  __sanitizer_start_switch_fiber(nullptr, self->caller_bottom_, self->caller_size_);  // for good
#endif
#if defined(ZOR_SIDE_STACK_TSAN)
  __tsan_switch_to_fiber(self->caller_fiber_, 0);
#endif
  setcontext(&self->caller_);
}

// On the side stack, after each switch to it: learns the caller's stack.
void SideStack::Entered() {
#if defined(ZOR_SIDE_STACK_ASAN)
  __sanitizer_finish_switch_fiber(fake_stack_, &caller_bottom_, &caller_size_);
#endif
}

}  // namespace zor::platform
