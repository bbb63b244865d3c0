// Events that threads and processes wait on: manual-reset or auto-reset,
// unnamed (this process) or named (every process of the user that opens the
// same name).
//
//   auto changed = Event::CreateNamed("Console_Global_Settings", /*manualReset=*/true,
//                                     /*initialState=*/false);
//   Event stop(/*manualReset=*/false, /*initialState=*/false);
//   Event* both[] = {changed.get(), &stop};
//   switch (WaitForAny(both, kInfinite)) {
//     case kWaitObject0:     ...  // the settings changed
//     case kWaitObject0 + 1: ...  // asked to stop
//   }
//   changed->Set();                 // in any process: every waiter wakes
//
// An event is one 32-bit word: bit 0 tells whether it is set, the bits above
// count the Sets (the generation). Waiters sleep on that word with a futex
// (a shared one for a named event, whose word lies in POSIX shared memory
// "/zor-event.v2.<uid>.<name>", '/', '%' and NUL of the name written %HH),
// several events at once with futex_waitv. Nobody holds a lock while waiting
// or setting, so a process killed at any moment leaves every event it used
// fully working; waiters also look at the word every 200 ms, so a Set whose
// process was killed before its wake call still releases them. Because Set bumps the
// generation, a waiter on a manual-reset event is released by a Set even when
// a Reset follows before it runs. The named block stays until Unlink: peers
// that open the name later still meet the same event.
//
// A named block's page is reserved before it is mapped, so a full /dev/shm
// fails the create or open (last error 8) instead of killing the process
// with SIGBUS at its first touch. Names are per user (the real user id: a
// set-user-id program, root's or another user's, opens and makes the blocks
// as the user running it, so it shares that user's events and the blocks it
// makes are that user's; see platform/shared_memory_block.h); a block owned
// by neither the real nor the effective user is refused (5). A process of
// the same user that cuts a block short while others map it kills them with
// SIGBUS at their next call on the event: the word is read and changed in
// place, and nothing cheaper than a system call per access could
// tell a shrunk block first.
//
// Failures set the platform's last error (platform/error_text.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace zor::platform {

inline constexpr uint32_t kWaitObject0 = 0;
inline constexpr uint32_t kWaitTimeout = 258;
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFF;
inline constexpr uint32_t kInfinite = 0xFFFFFFFF;

struct EventBlock;

class Event {
 public:
  // An unnamed event of this process.
  Event(bool manualReset, bool initialState);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Opens the event of that name, or creates it with the given reset kind and
  // state. Null on failure. When it existed already its own kind and state
  // stay and the last error is 183 (already exists); otherwise it is 0. A
  // block that its creator never finished (it died while making it) or that
  // is damaged is made anew with the given kind and state; one of a size no
  // event has, or whose maker is alive but does not finish within 100 ms, is
  // refused (null, last error 6); one owned by another user too (5). When
  // /dev/shm has no room for the block's page, or no inode for a new block:
  // null, last error 8 (not enough memory: the space is memory), and a new
  // name is not left behind.
  static std::unique_ptr<Event> CreateNamed(const std::string& name, bool manualReset,
                                            bool initialState);
  // Opens an existing named event; null with last error 2 when there is none
  // or its maker died before finishing it, 6, 5 or 8 when it cannot be used
  // (as above).
  static std::unique_ptr<Event> OpenNamed(const std::string& name);
  // Removes the name; processes holding the event keep it. False when there
  // was none.
  static bool Unlink(const std::string& name);
  // The POSIX shared-memory name that holds the named event.
  static std::string SharedMemoryName(const std::string& name);

  // Never blocks. Set on an event that is already set changes nothing but
  // the generation: two Sets of an auto-reset event before any waiter took
  // the first release one waiter, not two.
  bool Set();
  bool Reset();
  // How many times the event was set (31 bits, wrapping); with
  // ResetIfGeneration a waiter resets only when nobody set the event again
  // since it looked.
  uint32_t GetGeneration() const;
  // Resets when the generation still equals `generation`, in one atomic
  // step; true when it did.
  bool ResetIfGeneration(uint32_t generation);
  // kWaitObject0 when signalled (an auto-reset event is reset by the wait),
  // kWaitTimeout, or kWaitFailed.
  uint32_t Wait(uint32_t timeoutMs);
  bool IsSet() const;

 private:
  friend uint32_t WaitForAny(std::span<Event* const> events, uint32_t timeoutMs);

  Event() = default;
  static std::unique_ptr<Event> Open(const std::string& name, const bool* manualReset,
                                     bool initialState);

  EventBlock* m_block = nullptr;
  bool m_named = false;
};

// Waits until any one of the events is signalled: kWaitObject0 + the index of
// the first signalled one (an auto-reset event is reset by the wait that
// takes it: exactly one waiter is released each time it goes from reset to
// set, however many Sets came meanwhile), kWaitTimeout, or kWaitFailed (no
// events, more than 64, or a null one: last error 87). All events are
// watched by the kernel at once; on a kernel older than 5.16, which cannot, a
// wait on several events looks at them every millisecond.
uint32_t WaitForAny(std::span<Event* const> events, uint32_t timeoutMs);

namespace detail {
// Makes waits on several events look at them every millisecond, as they do
// on kernels without futex_waitv, so that path can be tested; false restores.
void ForcePollingWaitsForTesting(bool poll);
}  // namespace detail

}  // namespace zor::platform
