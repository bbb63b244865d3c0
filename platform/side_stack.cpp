#include "platform/side_stack.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

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

// zor_side_stack_switch(save, load) pushes the registers a call must keep,
// stores the stack pointer at *save, takes `load` as the stack pointer and
// pops what the other side pushed: it returns on the other stack. A new
// stack is given a frame that pops into zor_side_stack_start, which calls
// the entry function held in one kept register with the argument held in
// another, and ends the unwinder's walk there. The signal mask is left alone
// (ucontext's swapcontext sets it with two system calls per switch, back to
// the mask of the thread that made the context).
extern "C" {
void zor_side_stack_switch(void** save, void* load);
void zor_side_stack_start();
}

#if defined(__x86_64__)
asm(R"(
  .pushsection .text
  .globl zor_side_stack_switch
  .hidden zor_side_stack_switch
  .type zor_side_stack_switch, @function
  .p2align 4
zor_side_stack_switch:
  .cfi_startproc
  pushq %rbp
  pushq %rbx
  pushq %r12
  pushq %r13
  pushq %r14
  pushq %r15
  subq $8, %rsp
  stmxcsr (%rsp)
  fnstcw 4(%rsp)
  movq %rsp, (%rdi)
  movq %rsi, %rsp
  ldmxcsr (%rsp)
  fldcw 4(%rsp)
  addq $8, %rsp
  popq %r15
  popq %r14
  popq %r13
  popq %r12
  popq %rbx
  popq %rbp
  ret
  .cfi_endproc
  .size zor_side_stack_switch, .-zor_side_stack_switch

  .globl zor_side_stack_start
  .hidden zor_side_stack_start
  .type zor_side_stack_start, @function
  .p2align 4
zor_side_stack_start:
  .cfi_startproc
  .cfi_undefined rip
  movq %r12, %rdi
  call *%r13
  ud2
  .cfi_endproc
  .size zor_side_stack_start, .-zor_side_stack_start
  .popsection
)");
#elif defined(__aarch64__)
asm(R"(
  .pushsection .text
  .globl zor_side_stack_switch
  .hidden zor_side_stack_switch
  .type zor_side_stack_switch, %function
  .p2align 4
zor_side_stack_switch:
  .cfi_startproc
  sub sp, sp, #176
  stp d8, d9, [sp, #0]
  stp d10, d11, [sp, #16]
  stp d12, d13, [sp, #32]
  stp d14, d15, [sp, #48]
  stp x19, x20, [sp, #64]
  stp x21, x22, [sp, #80]
  stp x23, x24, [sp, #96]
  stp x25, x26, [sp, #112]
  stp x27, x28, [sp, #128]
  stp x29, x30, [sp, #144]
  mov x9, sp
  str x9, [x0]
  mov sp, x1
  ldp d8, d9, [sp, #0]
  ldp d10, d11, [sp, #16]
  ldp d12, d13, [sp, #32]
  ldp d14, d15, [sp, #48]
  ldp x19, x20, [sp, #64]
  ldp x21, x22, [sp, #80]
  ldp x23, x24, [sp, #96]
  ldp x25, x26, [sp, #112]
  ldp x27, x28, [sp, #128]
  ldp x29, x30, [sp, #144]
  add sp, sp, #176
  ret
  .cfi_endproc
  .size zor_side_stack_switch, .-zor_side_stack_switch

  .globl zor_side_stack_start
  .hidden zor_side_stack_start
  .type zor_side_stack_start, %function
  .p2align 4
zor_side_stack_start:
  .cfi_startproc
  .cfi_undefined x30
  mov x0, x19
  blr x20
  brk #0
  .cfi_endproc
  .size zor_side_stack_start, .-zor_side_stack_start
  .popsection
)");
#else
#error "SideStack switches stacks on x86-64 and AArch64 only"
#endif

namespace zor::platform {

namespace {

// The first frame of a new stack, as zor_side_stack_switch pops it: the
// entry function and its argument in kept registers, and the start routine
// as the return address. The top of the frame is 16 bytes below the top of
// the stack, aligned as a call expects.
void* FirstFrame(char* top, void (*entry)(SideStack*), SideStack* self) {
#if defined(__x86_64__)
  constexpr std::size_t kFrame = 64;
  auto* frame = reinterpret_cast<std::uint64_t*>(top - 16 - kFrame);
  std::memset(frame, 0, kFrame);
  frame[0] = 0x1F80 | (std::uint64_t{0x037F} << 32);  // the default MXCSR and x87 control word
  frame[3] = reinterpret_cast<std::uintptr_t>(entry);  // r13
  frame[4] = reinterpret_cast<std::uintptr_t>(self);   // r12
  frame[7] = reinterpret_cast<std::uintptr_t>(&zor_side_stack_start);
#else
  constexpr std::size_t kFrame = 176;
  auto* frame = reinterpret_cast<std::uint64_t*>(top - 16 - kFrame);
  std::memset(frame, 0, kFrame);
  frame[8] = reinterpret_cast<std::uintptr_t>(self);    // x19
  frame[9] = reinterpret_cast<std::uintptr_t>(entry);   // x20
  frame[19] = reinterpret_cast<std::uintptr_t>(&zor_side_stack_start);  // x30
#endif
  return frame;
}

}  // namespace

SideStack::SideStack(void (*body)(void*), void* arg, std::size_t bytes)
    : body_(body), arg_(arg) {
  guard_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  bytes_ = (bytes + guard_ - 1) / guard_ * guard_;
  void* map = mmap(nullptr, guard_ + bytes_, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (map == MAP_FAILED) throw std::bad_alloc();
  map_ = static_cast<char*>(map);
  // An overflow faults on the guard page instead of writing past the stack.
  if (mprotect(map_, guard_, PROT_NONE) != 0) {
    munmap(map_, guard_ + bytes_);
    throw std::bad_alloc();
  }
  own_sp_ = FirstFrame(map_ + guard_ + bytes_, &Entry, this);
#if defined(ZOR_SIDE_STACK_TSAN)
  fiber_ = __tsan_create_fiber(0);
#endif
}

SideStack::~SideStack() {
  if (started_ && !finished_) {
    static const char kMessage[] = "SideStack destroyed while its body waits\n";
    [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    std::abort();
  }
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
  if (running_) throw std::logic_error("SideStack::Resume from its own body");
  // A finished body's frame is gone: there is nothing to go back to.
  if (finished_) throw std::logic_error("SideStack::Resume after its body returned");
  started_ = true;
  running_ = true;
#if defined(ZOR_SIDE_STACK_ASAN)
  void* fake_stack = nullptr;
  __sanitizer_start_switch_fiber(&fake_stack, map_ + guard_, bytes_);
#endif
#if defined(ZOR_SIDE_STACK_TSAN)
  caller_fiber_ = __tsan_get_current_fiber();
  __tsan_switch_to_fiber(fiber_, 0);
#endif
  zor_side_stack_switch(&caller_sp_, own_sp_);
#if defined(ZOR_SIDE_STACK_ASAN)
  __sanitizer_finish_switch_fiber(fake_stack, nullptr, nullptr);
#endif
  running_ = false;
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
  zor_side_stack_switch(&own_sp_, caller_sp_);
  Entered();
}

void SideStack::Entry(SideStack* self) noexcept {
  self->Entered();
  self->body_(self->arg_);
  self->finished_ = true;
#if defined(ZOR_SIDE_STACK_ASAN)
  __sanitizer_start_switch_fiber(nullptr, self->caller_bottom_, self->caller_size_);  // for good
#endif
#if defined(ZOR_SIDE_STACK_TSAN)
  __tsan_switch_to_fiber(self->caller_fiber_, 0);
#endif
  zor_side_stack_switch(&self->own_sp_, self->caller_sp_);
  __builtin_unreachable();
}

// On the side stack, after each switch to it: learns the caller's stack.
void SideStack::Entered() {
#if defined(ZOR_SIDE_STACK_ASAN)
  __sanitizer_finish_switch_fiber(fake_stack_, &caller_bottom_, &caller_size_);
#endif
}

}  // namespace zor::platform
