// The process's unhandled-exception filter on Linux: faults that end a
// process (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT) and C++
// exceptions that no catch took are turned into the exception record and
// register context Windows would have given, and handed to
// one filter function.
//
//   int32_t MyFilter(zor::platform::EXCEPTION_POINTERS* pointers) {
//     ...write a report (no allocation: the heap may be what failed)...
//     return zor::platform::kExceptionExecuteHandler;
//   }
//   zor::platform::SetUnhandledExceptionFilter(&MyFilter);
//
// The handlers run on an alternate signal stack, so a stack overflow is
// reported too, on any thread: the installing thread gets one, and so does
// every thread started after the install (platform/thread_signal_stack.h).
// A thread that already ran before it calls InstallAlternateSignalStack. One report per process: the first
// failing thread calls the filter, any other thread that fails meanwhile
// waits until the process ends. After the filter returns, the signal's
// default action is restored and the signal raised again, so the process
// still dies of it (an uncaught C++ exception ends in SIGABRT, after the
// previous terminate handler has run).
//
// Mapping of signals to exception codes (platform/exception_record.h):
//   SIGSEGV  0xC0000005 access violation (parameters: 0 read / 1 write /
//            8 execute, and the address; a fault the processor cannot name
//            an address for gives 0xFFFFFFFFFFFFFFFF), or 0xC00000FD stack
//            overflow when the address lies next to the stack pointer
//   SIGBUS   0x80000002 misalignment, else 0xC0000006 in-page error
//   SIGILL   0xC000001D illegal instruction, 0xC0000096 privileged one
//   SIGFPE   0xC0000094 integer divide by zero, 0xC0000095 integer
//            overflow, 0xC000008E..0xC0000093 floating-point faults
//   SIGTRAP  0x80000003 breakpoint, 0x80000004 single step
//   SIGABRT  0xC0000409 fail-fast, the code the platform gives abort() and a
//            detected stack buffer overrun
//   uncaught C++ exception  0xE06D7363
#pragma once

#include <ucontext.h>

#include <cstdint>

#include "platform/exception_record.h"

namespace zor::platform {

using ExceptionFilter = int32_t (*)(EXCEPTION_POINTERS* pointers);

// Installs `filter` (the first time: the signal handlers, the terminate
// handler, the calling thread's alternate stack and those of threads started
// from now on); null uninstalls and restores what was there before. Returns
// the previous filter.
ExceptionFilter SetUnhandledExceptionFilter(ExceptionFilter filter);

// Gives the calling thread an alternate signal stack, unless it has one
// already; it is released when the thread ends. False when it cannot be had.
bool InstallAlternateSignalStack() noexcept;

// The facts of a signal that the exception record is made of.
struct SignalFacts {
  int signalNumber = 0;
  int signalCode = 0;            // si_code
  uint64_t faultAddress = 0;     // si_addr
  uint64_t trapNumber = 0;       // the processor's trap (14: page fault)
  uint64_t errorCode = 0;        // the page fault's error bits
  uint64_t instructionPointer = 0;
  uint64_t stackPointer = 0;
};

// Fills the whole record (zeroing what the signal does not set).
void ExceptionFromSignal(const SignalFacts& facts, EXCEPTION_RECORD& record) noexcept;

// The signal that ends a process for an exception code (SIGABRT for codes
// that no signal stands for).
int SignalOfExceptionCode(uint32_t code) noexcept;

// The AMD64 context of a signal's machine context (zero on other processors).
void ContextFromUcontext(const ucontext_t& uc, CONTEXT& context) noexcept;

// The calling thread's context, at the point of the call.
void CaptureContext(CONTEXT& context) noexcept;

}  // namespace zor::platform
