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
// A named event is a block of POSIX shared memory ("/zor-event.<uid>.<name>")
// holding a process-shared, robust mutex and condition variable, the state
// and a generation counter. Set bumps the generation, so a waiter on a
// manual-reset event is released by a Set even when a Reset follows before
// it runs. A process that dies holding the mutex leaves it usable. The block
// stays until Unlink: peers that open the name later still meet the same
// event, as they do on the system the suite came from.
//
// Failures set the platform's last error (platform/error_text.h).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

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
  // stay and the last error is 183 (already exists); otherwise it is 0.
  static std::unique_ptr<Event> CreateNamed(const std::string& name, bool manualReset,
                                            bool initialState);
  // Opens an existing named event; null with last error 2 when there is none.
  static std::unique_ptr<Event> OpenNamed(const std::string& name);
  // Removes the name; processes holding the event keep it. False when there
  // was none.
  static bool Unlink(const std::string& name);

  bool Set();
  bool Reset();
  // How many times the event was set; with ResetIfGeneration a waiter resets
  // only when nobody set the event again since it looked.
  uint32_t GetGeneration() const;
  // Resets when the generation still equals `generation`; true when it did.
  bool ResetIfGeneration(uint32_t generation);
  // kWaitObject0 when signalled (an auto-reset event is reset by the wait),
  // kWaitTimeout, or kWaitFailed.
  uint32_t Wait(uint32_t timeoutMs);
  bool IsSet() const;

 private:
  friend uint32_t WaitForAny(std::span<Event* const> events, uint32_t timeoutMs);

  Event() = default;
  void AddWakeTarget(EventBlock* target);
  void RemoveWakeTarget(EventBlock* target);

  EventBlock* m_block = nullptr;
  bool m_named = false;
  // Unnamed events only: blocks that waiters of several events sleep on, to
  // be woken when this event is set.
  std::mutex m_targetsMutex;
  std::vector<EventBlock*> m_wakeTargets;
};

// Waits until any one of the events is signalled: kWaitObject0 + the index of
// the first signalled one (an auto-reset event is reset by the wait),
// kWaitTimeout, or kWaitFailed (no events, more than 64, or a broken event).
// The waiter sleeps on the first named event and is woken by the unnamed ones
// when they are set; further named events are looked at every 10 ms.
uint32_t WaitForAny(std::span<Event* const> events, uint32_t timeoutMs);

}  // namespace zor::platform
