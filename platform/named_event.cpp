#include "platform/named_event.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "platform/error_text.h"

namespace zor::platform {

// Shared between processes: the layout must not depend on anything but the
// platform. The state words are atomics so a waiter may look at an event it
// does not hold the mutex of; they are changed under the mutex, so that a
// waiter on the condition variable never misses a change.
struct EventBlock {
  std::atomic<uint32_t> magic;
  uint32_t manualReset;
  std::atomic<uint32_t> signaled;
  std::atomic<uint32_t> generation;
  pthread_mutex_t mutex;
  pthread_cond_t cond;
};
static_assert(std::atomic<uint32_t>::is_always_lock_free);

namespace {

constexpr uint32_t kMagic = 0x5A4F5201;  // "ZOR" and the layout's version
constexpr auto kAttachPatience = std::chrono::milliseconds(1000);
constexpr auto kNamedPollSlice = std::chrono::milliseconds(10);
constexpr std::size_t kMaxWaitObjects = 64;

bool InitBlock(EventBlock* b, bool shared, bool manualReset, bool initialState) {
  pthread_mutexattr_t ma;
  pthread_condattr_t ca;
  if (pthread_mutexattr_init(&ma) != 0) return false;
  if (pthread_condattr_init(&ca) != 0) {
    pthread_mutexattr_destroy(&ma);
    return false;
  }
  const int pshared = shared ? PTHREAD_PROCESS_SHARED : PTHREAD_PROCESS_PRIVATE;
  bool ok = pthread_mutexattr_setpshared(&ma, pshared) == 0 &&
            pthread_mutexattr_setrobust(&ma, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_condattr_setpshared(&ca, pshared) == 0 &&
            pthread_condattr_setclock(&ca, CLOCK_MONOTONIC) == 0;
  if (ok) ok = pthread_mutex_init(&b->mutex, &ma) == 0;
  if (ok && pthread_cond_init(&b->cond, &ca) != 0) {
    pthread_mutex_destroy(&b->mutex);
    ok = false;
  }
  pthread_condattr_destroy(&ca);
  pthread_mutexattr_destroy(&ma);
  if (!ok) return false;
  b->manualReset = manualReset ? 1 : 0;
  b->signaled.store(initialState ? 1 : 0);
  b->generation.store(0);
  b->magic.store(kMagic, std::memory_order_release);
  return true;
}

// A process that died holding the mutex leaves it to the next locker; the
// event's words are single stores, so nothing half-written needs repair.
bool LockBlock(EventBlock* b) {
  const int rc = pthread_mutex_lock(&b->mutex);
  if (rc == EOWNERDEAD) return pthread_mutex_consistent(&b->mutex) == 0;
  return rc == 0;
}

void UnlockBlock(EventBlock* b) { pthread_mutex_unlock(&b->mutex); }

void Broadcast(EventBlock* b) {
  if (!LockBlock(b)) return;
  pthread_cond_broadcast(&b->cond);
  UnlockBlock(b);
}

// Whether the event released a waiter that started at `startGeneration`; an
// auto-reset event is consumed by the answer yes.
bool TakeSignal(EventBlock* b, uint32_t startGeneration) {
  if (b->manualReset)
    return b->signaled.load() != 0 || b->generation.load() != startGeneration;
  uint32_t one = 1;
  return b->signaled.compare_exchange_strong(one, 0);
}

std::string ShmName(const std::string& name) {
  std::string s = "/zor-event." + std::to_string(::getuid()) + ".";
  for (char c : name) s.push_back(c == '/' ? '_' : c);
  return s;
}

EventBlock* MapBlock(int fd) {
  void* p = ::mmap(nullptr, sizeof(EventBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return p == MAP_FAILED ? nullptr : static_cast<EventBlock*>(p);
}

// Maps a block that another process created, once it has finished setting
// it up; null when it never does.
EventBlock* AttachBlock(int fd) {
  const auto until = std::chrono::steady_clock::now() + kAttachPatience;
  for (;;) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return nullptr;
    if (static_cast<uint64_t>(st.st_size) >= sizeof(EventBlock)) break;
    if (std::chrono::steady_clock::now() >= until) {
      errno = EINVAL;
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EventBlock* b = MapBlock(fd);
  if (b == nullptr) return nullptr;
  while (b->magic.load(std::memory_order_acquire) != kMagic) {
    if (std::chrono::steady_clock::now() >= until) {
      ::munmap(b, sizeof(EventBlock));
      errno = EINVAL;
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return b;
}

timespec ToTimespec(std::chrono::steady_clock::time_point t) {
  // steady_clock is CLOCK_MONOTONIC on Linux, the clock of the conditions.
  const auto ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
  timespec ts;
  ts.tv_sec = static_cast<time_t>(ns / 1000000000);
  ts.tv_nsec = static_cast<long>(ns % 1000000000);
  return ts;
}

}  // namespace

Event::Event(bool manualReset, bool initialState) {
  auto* b = new EventBlock;
  if (!InitBlock(b, /*shared=*/false, manualReset, initialState)) {
    delete b;
    std::abort();  // only fails when the system is out of resources
  }
  m_block = b;
}

Event::~Event() {
  if (m_block == nullptr) return;
  if (m_named) {
    ::munmap(m_block, sizeof(EventBlock));
    return;
  }
  pthread_cond_destroy(&m_block->cond);
  pthread_mutex_destroy(&m_block->mutex);
  delete m_block;
}

std::unique_ptr<Event> Event::CreateNamed(const std::string& name, bool manualReset,
                                          bool initialState) {
  if (name.empty()) {
    SetLastError(kErrorSuccess);
    return std::make_unique<Event>(manualReset, initialState);
  }
  const std::string shm = ShmName(name);
  // Another process may create or remove the name between the two opens.
  for (int attempt = 0; attempt < 16; ++attempt) {
    int fd = ::shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      EventBlock* b = nullptr;
      if (::ftruncate(fd, sizeof(EventBlock)) == 0) b = MapBlock(fd);
      const int err = errno;
      ::close(fd);
      if (b != nullptr && InitBlock(b, /*shared=*/true, manualReset, initialState)) {
        std::unique_ptr<Event> e(new Event);
        e->m_block = b;
        e->m_named = true;
        SetLastError(kErrorSuccess);
        return e;
      }
      if (b != nullptr) ::munmap(b, sizeof(EventBlock));
      ::shm_unlink(shm.c_str());
      SetLastError(ErrorFromErrno(err != 0 ? err : ENOMEM));
      return nullptr;
    }
    if (errno != EEXIST) break;
    std::unique_ptr<Event> e = OpenNamed(name);
    if (e) {
      SetLastError(kErrorAlreadyExists);
      return e;
    }
    if (GetLastError() != kErrorFileNotFound) return nullptr;
  }
  SetLastError(ErrorFromErrno(errno));
  return nullptr;
}

std::unique_ptr<Event> Event::OpenNamed(const std::string& name) {
  const std::string shm = ShmName(name);
  const int fd = ::shm_open(shm.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return nullptr;
  }
  EventBlock* b = AttachBlock(fd);
  const int err = errno;
  ::close(fd);
  if (b == nullptr) {
    SetLastError(ErrorFromErrno(err));
    return nullptr;
  }
  std::unique_ptr<Event> e(new Event);
  e->m_block = b;
  e->m_named = true;
  SetLastError(kErrorSuccess);
  return e;
}

bool Event::Unlink(const std::string& name) {
  if (::shm_unlink(ShmName(name).c_str()) == 0) return true;
  SetLastError(ErrorFromErrno(errno));
  return false;
}

bool Event::Set() {
  if (!LockBlock(m_block)) return false;
  m_block->signaled.store(1);
  m_block->generation.fetch_add(1);
  pthread_cond_broadcast(&m_block->cond);
  UnlockBlock(m_block);
  if (!m_named) {
    std::lock_guard<std::mutex> lock(m_targetsMutex);
    for (EventBlock* target : m_wakeTargets) Broadcast(target);
  }
  return true;
}

bool Event::Reset() {
  if (!LockBlock(m_block)) return false;
  m_block->signaled.store(0);
  UnlockBlock(m_block);
  return true;
}

uint32_t Event::GetGeneration() const { return m_block->generation.load(); }

bool Event::ResetIfGeneration(uint32_t generation) {
  if (!LockBlock(m_block)) return false;
  const bool reset = m_block->generation.load() == generation;
  if (reset) m_block->signaled.store(0);
  UnlockBlock(m_block);
  return reset;
}

bool Event::IsSet() const { return m_block->signaled.load() != 0; }

uint32_t Event::Wait(uint32_t timeoutMs) {
  Event* self = this;
  return WaitForAny(std::span<Event* const>(&self, 1), timeoutMs);
}

void Event::AddWakeTarget(EventBlock* target) {
  std::lock_guard<std::mutex> lock(m_targetsMutex);
  m_wakeTargets.push_back(target);
}

void Event::RemoveWakeTarget(EventBlock* target) {
  std::lock_guard<std::mutex> lock(m_targetsMutex);
  auto it = std::find(m_wakeTargets.begin(), m_wakeTargets.end(), target);
  if (it != m_wakeTargets.end()) m_wakeTargets.erase(it);
}

uint32_t WaitForAny(std::span<Event* const> events, uint32_t timeoutMs) {
  if (events.empty() || events.size() > kMaxWaitObjects ||
      std::any_of(events.begin(), events.end(), [](Event* e) { return e == nullptr; })) {
    SetLastError(kErrorInvalidParameter);
    return kWaitFailed;
  }
  const std::size_t n = events.size();
  std::size_t primary = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (events[i]->m_named) {
      primary = i;
      break;
    }
  EventBlock* sleepOn = events[primary]->m_block;
  bool pollOthers = false;
  uint32_t startGeneration[kMaxWaitObjects];
  for (std::size_t i = 0; i < n; ++i) {
    startGeneration[i] = events[i]->m_block->generation.load();
    if (i == primary) continue;
    if (events[i]->m_named)
      pollOthers = true;  // a peer's Set cannot reach the block we sleep on
    else
      events[i]->AddWakeTarget(sleepOn);
  }
  struct Unregister {
    std::span<Event* const> events;
    std::size_t primary;
    EventBlock* target;
    ~Unregister() {
      for (std::size_t i = 0; i < events.size(); ++i)
        if (i != primary && !events[i]->m_named) events[i]->RemoveWakeTarget(target);
    }
  } unregister{events, primary, sleepOn};

  const bool infinite = timeoutMs == kInfinite;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
  if (!LockBlock(sleepOn)) {
    SetLastError(kErrorInvalidHandle);
    return kWaitFailed;
  }
  for (;;) {
    // Looked at under the mutex we sleep on: an unnamed event set after this
    // look must take that mutex to wake us, so its wake-up cannot be missed.
    for (std::size_t i = 0; i < n; ++i) {
      if (TakeSignal(events[i]->m_block, startGeneration[i])) {
        UnlockBlock(sleepOn);
        return kWaitObject0 + static_cast<uint32_t>(i);
      }
    }
    const auto now = std::chrono::steady_clock::now();
    if (!infinite && now >= deadline) {
      UnlockBlock(sleepOn);
      return kWaitTimeout;
    }
    int rc = 0;
    if (infinite && !pollOthers) {
      rc = pthread_cond_wait(&sleepOn->cond, &sleepOn->mutex);
    } else {
      auto wakeAt = infinite ? now + kNamedPollSlice : deadline;
      if (pollOthers) wakeAt = std::min(wakeAt, now + kNamedPollSlice);
      const timespec ts = ToTimespec(wakeAt);
      rc = pthread_cond_timedwait(&sleepOn->cond, &sleepOn->mutex, &ts);
    }
    if (rc == EOWNERDEAD) {
      pthread_mutex_consistent(&sleepOn->mutex);
    } else if (rc != 0 && rc != ETIMEDOUT) {
      UnlockBlock(sleepOn);
      SetLastError(kErrorInvalidHandle);
      return kWaitFailed;
    }
  }
}

}  // namespace zor::platform
