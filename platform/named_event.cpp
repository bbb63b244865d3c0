#include "platform/named_event.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <thread>

#include "platform/error_text.h"
#include "platform/shared_memory_block.h"

#ifndef SYS_futex_waitv
#define SYS_futex_waitv 449
#endif

namespace zor::platform {

// Shared between processes: the layout must not depend on anything but the
// platform, and a change of it changes the version in the shared-memory name,
// so that blocks of another layout are never opened.
struct EventBlock {
  // Bit 0: set. Bits 1 to 31: the generation. The futex word.
  std::atomic<uint32_t> word;
  std::atomic<uint32_t> manualReset;
  // kReady once the block is usable; before, 0 or the pid of the process
  // making it, so that a maker that died can be told from a slow one.
  std::atomic<uint32_t> ready;
  uint32_t reserved;
};
static_assert(std::atomic<uint32_t>::is_always_lock_free);
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));

namespace {

constexpr uint32_t kSetBit = 1;
constexpr uint32_t kGenerationStep = 2;
constexpr uint32_t kReady = 0x5A4F5202;  // above every pid Linux gives
constexpr uint32_t kMaxPid = 4194304;    // PID_MAX_LIMIT
constexpr auto kMakerPatience = std::chrono::milliseconds(100);
constexpr auto kPollSlice = std::chrono::milliseconds(1);
// The longest a waiter sleeps before it looks at the words again without
// being woken: a setter killed between its change of the word and its wake
// call leaves sleepers that nobody wakes.
constexpr auto kRecheck = std::chrono::milliseconds(200);
constexpr std::size_t kMaxWaitObjects = 64;

std::atomic<bool> g_forcePolling{false};
std::atomic<bool> g_noWaitv{false};  // futex_waitv was refused once

uint32_t* FutexWord(EventBlock* b) { return reinterpret_cast<uint32_t*>(&b->word); }

int PrivateFlag(bool named) { return named ? 0 : FUTEX_PRIVATE_FLAG; }

void WakeAll(EventBlock* b, bool named) {
  ::syscall(SYS_futex, FutexWord(b), FUTEX_WAKE | PrivateFlag(named), INT_MAX, nullptr, nullptr,
            0);
}

void Fill(EventBlock* b, bool manualReset, bool initialState) {
  b->word.store(initialState ? kSetBit : 0, std::memory_order_relaxed);
  b->manualReset.store(manualReset ? 1 : 0, std::memory_order_relaxed);
  b->ready.store(kReady, std::memory_order_release);
}

timespec ToTimespec(std::chrono::steady_clock::time_point t) {
  // steady_clock is CLOCK_MONOTONIC on Linux, the clock the futex waits use.
  const auto ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
  timespec ts;
  ts.tv_sec = static_cast<time_t>(ns / 1000000000);
  ts.tv_nsec = static_cast<long>(ns % 1000000000);
  return ts;
}

// Whether `v`, read from a block's ready word, names a running process.
bool IsLiveMaker(uint32_t v) {
  if (v == 0 || v > kMaxPid) return false;
  return ::kill(static_cast<pid_t>(v), 0) == 0 || errno == EPERM;
}

// Reserves the block's pages before it is mapped. No space (ENOSPC) reads
// as "not enough memory", as a full /dev/shm is memory.
bool ReservePages(int fd) {
  const int err = ReserveBlockPages(fd, sizeof(EventBlock));
  if (err == 0) return true;
  SetLastError(err == ENOSPC ? kErrorNotEnoughMemory : ErrorFromErrno(err));
  return false;
}

struct Kind {
  bool manualReset;
  bool initialState;
};

// kGone: the block is to be made anew, but its name was removed meanwhile (a
// maker whose page could not be had removes it): one made here would be an
// event no other process can open.
enum class Attached { kFailed, kOpened, kMade, kGone };

// Maps the block behind `fd`, made by this call (`created`: the name was
// created by it) or by another process. With `make`, a block whose maker
// died, that stays unsized or unmarked past the patience, or whose ready
// word is damaged is made anew; ready words are claimed by compare-exchange,
// so only one process makes a block.
Attached Attach(int fd, bool created, const Kind* make, EventBlock** out) {
  const auto until = std::chrono::steady_clock::now() + kMakerPatience;
  for (;;) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
      SetLastError(ErrorFromErrno(errno));
      return Attached::kFailed;
    }
    if (!IsOwnBlock(st)) {
      SetLastError(kErrorAccessDenied);
      return Attached::kFailed;
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size == sizeof(EventBlock)) break;
    if (size > sizeof(EventBlock)) {
      SetLastError(kErrorInvalidHandle);
      return Attached::kFailed;
    }
    // The maker sizes a new block at once: one that stays short lost it.
    if (size != 0 || std::chrono::steady_clock::now() >= until) {
      if (make == nullptr) {
        SetLastError(kErrorFileNotFound);
        return Attached::kFailed;
      }
      if (st.st_nlink == 0) return Attached::kGone;
      if (!ReservePages(fd)) return Attached::kFailed;
      continue;
    }
    std::this_thread::sleep_for(kPollSlice);
  }
  if (!created && !ReservePages(fd)) return Attached::kFailed;  // the maker reserved them
  void* p = ::mmap(nullptr, sizeof(EventBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) {
    SetLastError(ErrorFromErrno(errno));
    return Attached::kFailed;
  }
  auto* b = static_cast<EventBlock*>(p);
  const auto self = static_cast<uint32_t>(::getpid());
  for (;;) {
    uint32_t v = b->ready.load(std::memory_order_acquire);
    if (v == kReady) {
      *out = b;
      return Attached::kOpened;
    }
    const bool late = std::chrono::steady_clock::now() >= until;
    const bool makerGone = v != 0 && !IsLiveMaker(v);
    if (make != nullptr && (makerGone || (v == 0 && (created || late)))) {
      struct stat st;
      if (::fstat(fd, &st) == 0 && st.st_nlink == 0) {
        ::munmap(b, sizeof(EventBlock));
        return Attached::kGone;
      }
      if (b->ready.compare_exchange_strong(v, self, std::memory_order_acq_rel)) {
        Fill(b, make->manualReset, make->initialState);
        *out = b;
        return Attached::kMade;
      }
      continue;  // another process claimed it first
    }
    if (makerGone || late) {
      ::munmap(b, sizeof(EventBlock));
      SetLastError(makerGone || v == 0 ? kErrorFileNotFound : kErrorInvalidHandle);
      return Attached::kFailed;
    }
    std::this_thread::sleep_for(kPollSlice);
  }
}

// Sleeps until one of the words may differ from `seen`, the deadline passes
// or a signal comes; false when the kernel refuses the wait.
bool SleepOnWords(std::size_t n, EventBlock* const* blocks, const bool* named,
                  const uint32_t* seen, std::chrono::steady_clock::time_point deadlineAt) {
  const timespec ts = ToTimespec(deadlineAt);
  const timespec* deadline = &ts;
  long rc = 0;
  if (n == 1) {
    rc = ::syscall(SYS_futex, FutexWord(blocks[0]), FUTEX_WAIT_BITSET | PrivateFlag(named[0]),
                   seen[0], deadline, nullptr, FUTEX_BITSET_MATCH_ANY);
  } else if (!g_noWaitv.load(std::memory_order_relaxed) &&
             !g_forcePolling.load(std::memory_order_relaxed)) {
    futex_waitv waiters[kMaxWaitObjects] = {};
    for (std::size_t i = 0; i < n; ++i) {
      waiters[i].val = seen[i];
      waiters[i].uaddr = reinterpret_cast<uintptr_t>(FutexWord(blocks[i]));
      waiters[i].flags = FUTEX_32 | static_cast<uint32_t>(PrivateFlag(named[i]));
    }
    rc = ::syscall(SYS_futex_waitv, waiters, static_cast<unsigned>(n), 0u, deadline,
                   CLOCK_MONOTONIC);
    // Older kernels lack the call; sandboxes that do not know it refuse it.
    if (rc < 0 && (errno == ENOSYS || errno == EPERM)) {
      g_noWaitv.store(true, std::memory_order_relaxed);
      rc = 0;
    }
  } else {
    // No kernel wait on several words: look again after a short sleep.
    std::this_thread::sleep_until(
        std::min(std::chrono::steady_clock::now() + kPollSlice, deadlineAt));
  }
  return rc >= 0 || errno == EAGAIN || errno == ETIMEDOUT || errno == EINTR;
}

}  // namespace

namespace detail {
void ForcePollingWaitsForTesting(bool poll) { g_forcePolling.store(poll); }
}  // namespace detail

Event::Event(bool manualReset, bool initialState) {
  m_block = new EventBlock{};
  Fill(m_block, manualReset, initialState);
}

Event::~Event() {
  if (m_block == nullptr) return;
  if (m_named)
    ::munmap(m_block, sizeof(EventBlock));
  else
    delete m_block;
}

std::string Event::SharedMemoryName(const std::string& name) {
  std::string s = "/zor-event.v2." + std::to_string(::getuid()) + ".";
  // Escaped, so that names that differ stay apart ("a/b" and "a_b", "a\0").
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : name) {
    if (c == '/' || c == '%' || c == '\0') {
      const auto u = static_cast<unsigned char>(c);
      s += '%';
      s += kHex[u >> 4];
      s += kHex[u & 15];
    } else {
      s.push_back(c);
    }
  }
  return s;
}

std::unique_ptr<Event> Event::Open(const std::string& name, const bool* manualReset,
                                   bool initialState) {
  const std::string shm = SharedMemoryName(name);
  const Kind kind{manualReset != nullptr && *manualReset, initialState};
  const Kind* make = manualReset != nullptr ? &kind : nullptr;
  // Another process may create or remove the name between the two opens.
  for (int attempt = 0; attempt < 16; ++attempt) {
    bool created = false;
    int fd = -1;
    if (make != nullptr) {
      fd = OpenUserBlock(shm.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      created = fd >= 0;
      if (!created && errno != EEXIST) break;
      if (created && !ReservePages(fd)) {
        ::close(fd);
        UnlinkUserBlock(shm.c_str());
        return nullptr;
      }
    }
    if (fd < 0) fd = OpenUserBlock(shm.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
      if (errno == ENOENT && make != nullptr) continue;
      break;
    }
    EventBlock* b = nullptr;
    const Attached how = Attach(fd, created, make, &b);
    ::close(fd);
    if (how == Attached::kGone) continue;
    if (how == Attached::kFailed) return nullptr;
    std::unique_ptr<Event> e(new Event);
    e->m_block = b;
    e->m_named = true;
    SetLastError(make != nullptr && how == Attached::kOpened ? kErrorAlreadyExists
                                                               : kErrorSuccess);
    return e;
  }
  // No inode left in /dev/shm is as much "no room" as no page left.
  SetLastError(errno == ENOSPC ? kErrorNotEnoughMemory : ErrorFromErrno(errno));
  return nullptr;
}

std::unique_ptr<Event> Event::CreateNamed(const std::string& name, bool manualReset,
                                          bool initialState) {
  if (name.empty()) {
    SetLastError(kErrorSuccess);
    return std::make_unique<Event>(manualReset, initialState);
  }
  return Open(name, &manualReset, initialState);
}

std::unique_ptr<Event> Event::OpenNamed(const std::string& name) {
  return Open(name, nullptr, false);
}

bool Event::Unlink(const std::string& name) {
  if (UnlinkUserBlock(SharedMemoryName(name).c_str()) == 0) return true;
  SetLastError(ErrorFromErrno(errno));
  return false;
}

bool Event::Set() {
  uint32_t old = m_block->word.load();
  while (!m_block->word.compare_exchange_weak(old, (old | kSetBit) + kGenerationStep)) {
  }
  WakeAll(m_block, m_named);
  return true;
}

bool Event::Reset() {
  m_block->word.fetch_and(~kSetBit);
  return true;
}

uint32_t Event::GetGeneration() const { return m_block->word.load() >> 1; }

bool Event::ResetIfGeneration(uint32_t generation) {
  uint32_t cur = m_block->word.load();
  for (;;) {
    if ((cur >> 1) != generation) return false;
    if ((cur & kSetBit) == 0) return true;
    if (m_block->word.compare_exchange_weak(cur, cur & ~kSetBit)) return true;
  }
}

bool Event::IsSet() const { return (m_block->word.load() & kSetBit) != 0; }

uint32_t Event::Wait(uint32_t timeoutMs) {
  Event* self = this;
  return WaitForAny(std::span<Event* const>(&self, 1), timeoutMs);
}

uint32_t WaitForAny(std::span<Event* const> events, uint32_t timeoutMs) {
  if (events.empty() || events.size() > kMaxWaitObjects ||
      std::any_of(events.begin(), events.end(), [](Event* e) { return e == nullptr; })) {
    SetLastError(kErrorInvalidParameter);
    return kWaitFailed;
  }
  const std::size_t n = events.size();
  EventBlock* blocks[kMaxWaitObjects];
  bool named[kMaxWaitObjects];
  bool manual[kMaxWaitObjects];
  uint32_t seen[kMaxWaitObjects];
  uint32_t startGeneration[kMaxWaitObjects];
  for (std::size_t i = 0; i < n; ++i) {
    blocks[i] = events[i]->m_block;
    named[i] = events[i]->m_named;
    manual[i] = blocks[i]->manualReset.load(std::memory_order_relaxed) != 0;
    startGeneration[i] = blocks[i]->word.load() >> 1;
  }
  const bool infinite = timeoutMs == kInfinite;
  const auto deadlineAt =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
  for (;;) {
    // The words are read before they are judged and the kernel sleeps only
    // while they still hold what was read: a Set in between is never missed.
    for (std::size_t i = 0; i < n; ++i) seen[i] = blocks[i]->word.load();
    bool lostRace = false;
    for (std::size_t i = 0; i < n && !lostRace; ++i) {
      uint32_t cur = seen[i];
      if (manual[i]) {
        if ((cur & kSetBit) != 0 || (cur >> 1) != startGeneration[i])
          return kWaitObject0 + static_cast<uint32_t>(i);
      } else if ((cur & kSetBit) != 0) {
        // Exactly one waiter takes the set state of an auto-reset event.
        if (blocks[i]->word.compare_exchange_strong(cur, cur & ~kSetBit))
          return kWaitObject0 + static_cast<uint32_t>(i);
        lostRace = true;  // changed under us: judge every event again
      }
    }
    if (lostRace) continue;
    const auto now = std::chrono::steady_clock::now();
    if (!infinite && now >= deadlineAt) return kWaitTimeout;
    const auto wakeAt = infinite ? now + kRecheck : std::min(deadlineAt, now + kRecheck);
    if (!SleepOnWords(n, blocks, named, seen, wakeAt)) {
      SetLastError(kErrorInvalidHandle);
      return kWaitFailed;
    }
  }
}

}  // namespace zor::platform
