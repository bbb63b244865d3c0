// Alternate signal stacks for every thread the process starts, so that a
// stack overflow on any thread still reaches the crash handler (a handler
// cannot run on the stack that overflowed).
//
//   zor::platform::GiveNewThreadsAlternateSignalStacks(true);
//   std::thread worker(...);   // runs with its own alternate signal stack
//
// This library defines pthread_create: while switched on, the new thread
// first sets up an alternate signal stack (mmap'ed, with a guard page, freed
// when the thread ends), unblocks the fault signals (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE) its creator may have blocked, and then runs the caller's start
// routine. It reaches
// std::thread and every other caller of pthread_create in the program,
// because the program exports the definition and the dynamic linker binds
// the C++ library's calls to it; the next definition (the C library's, or a
// sanitizer's that wraps it) is found with dlsym(RTLD_NEXT). Threads that
// existed before the switch get nothing: each calls
// InstallAlternateSignalStack (platform/signal_crash.h) itself.
//
// Not available (NewThreadsGetAlternateSignalStacks stays false) in builds
// with a sanitizer runtime linked into the program, as clang does: its own
// pthread_create would be replaced instead of wrapped.
#pragma once

namespace zor::platform {

// Switches the wrapping on or off for threads started from now on.
void GiveNewThreadsAlternateSignalStacks(bool on) noexcept;

// True when threads started now get an alternate signal stack.
bool NewThreadsGetAlternateSignalStacks() noexcept;

}  // namespace zor::platform
