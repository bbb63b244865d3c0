#include "platform/named_event.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/futex.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/error_text.h"
#include "tests/support/in_child.h"
#include "tests/support/small_shared_memory.h"

namespace zor::platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// A name no other test run uses, removed again at the end.
class UniqueEventName {
 public:
  UniqueEventName() {
    static std::atomic<int> counter{0};
    m_name = "zor-test-event-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
  }
  ~UniqueEventName() { Event::Unlink(m_name); }
  const std::string& get() const { return m_name; }

 private:
  std::string m_name;
};

long long ElapsedMs(steady_clock::time_point since) {
  return std::chrono::duration_cast<milliseconds>(steady_clock::now() - since).count();
}

// A wait that is not over after this long hangs: the bounds below only turn
// a hang into a failure, whatever the load of the machine.
constexpr uint32_t kHangMs = 20000;

// The system calls a waiter sleeps in: one event, several (the vector wait),
// and the sleep between looks of the polling wait.
constexpr long kSysFutexWaitv = 449;
const std::string kFutexWait = std::to_string(SYS_futex);
const std::string kVectorWait = std::to_string(kSysFutexWaitv);
const std::string kPollingSleep = std::to_string(SYS_clock_nanosleep);

// The number of the system call that thread `tid` of process `pid` sleeps in,
// "running" while it runs, "" once it is gone.
std::string SyscallOf(pid_t pid, pid_t tid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/syscall");
  std::string call;
  in >> call;
  return call;
}

// Waits until the thread sleeps in one of `calls`: the state the kernel
// shows, not a guess at how long it takes to get there. False on a hang.
bool AsleepIn(pid_t pid, pid_t tid, std::initializer_list<std::string> calls) {
  const auto start = steady_clock::now();
  for (;;) {
    const std::string call = SyscallOf(pid, tid);
    for (const std::string& c : calls)
      if (call == c) return true;
    if (call.empty() || ElapsedMs(start) > kHangMs) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
}

bool AsleepInAWait(pid_t pid, pid_t tid) {
  return AsleepIn(pid, tid, {kFutexWait, kVectorWait, kPollingSleep});
}

TEST(NamedEvent, CreateOpenAndUnlinkByName) {
  UniqueEventName name;
  EXPECT_EQ(Event::OpenNamed(name.get()), nullptr);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);

  auto first = Event::CreateNamed(name.get(), /*manualReset=*/true, /*initialState=*/false);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), kErrorSuccess);
  // A second creation opens the same event; its own kind and state are ignored.
  auto second = Event::CreateNamed(name.get(), /*manualReset=*/false, /*initialState=*/true);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_FALSE(second->IsSet());
  first->Set();
  EXPECT_TRUE(second->IsSet());
  EXPECT_EQ(second->Wait(0), kWaitObject0);
  EXPECT_EQ(second->Wait(0), kWaitObject0);  // manual reset: stays set
  second->Reset();
  EXPECT_FALSE(first->IsSet());

  EXPECT_TRUE(Event::Unlink(name.get()));
  EXPECT_FALSE(Event::Unlink(name.get()));
  first->Set();  // holders keep the event after the name is gone
  EXPECT_EQ(second->Wait(0), kWaitObject0);
  EXPECT_EQ(Event::OpenNamed(name.get()), nullptr);
}

TEST(NamedEvent, AutoResetAndTimeouts) {
  Event e(/*manualReset=*/false, /*initialState=*/true);
  EXPECT_EQ(e.Wait(0), kWaitObject0);
  EXPECT_EQ(e.Wait(0), kWaitTimeout);  // consumed by the first wait
  const auto start = steady_clock::now();
  EXPECT_EQ(e.Wait(50), kWaitTimeout);
  EXPECT_GE(ElapsedMs(start), 45);

  const uint32_t generation = e.GetGeneration();
  e.Set();
  EXPECT_FALSE(e.ResetIfGeneration(generation));  // set since: stays set
  EXPECT_TRUE(e.IsSet());
  EXPECT_TRUE(e.ResetIfGeneration(e.GetGeneration()));
  EXPECT_FALSE(e.IsSet());
}

TEST(NamedEvent, WaitForAnyGivesTheLowestSignalledIndex) {
  Event a(true, false), b(false, true), c(true, true);
  Event* const all[] = {&a, &b, &c};
  EXPECT_EQ(WaitForAny(all, 0), kWaitObject0 + 1);  // consumes b
  EXPECT_EQ(WaitForAny(all, 0), kWaitObject0 + 2);
  c.Reset();
  EXPECT_EQ(WaitForAny(all, 10), kWaitTimeout);
  EXPECT_EQ(WaitForAny(std::span<Event* const>(), 0), kWaitFailed);
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
}

TEST(NamedEventThreaded, SetThenResetReleasesEveryWaiter) {
  UniqueEventName name;
  auto e = Event::CreateNamed(name.get(), true, false);
  ASSERT_NE(e, nullptr);
  std::atomic<int> released{0};
  std::atomic<pid_t> tids[4] = {};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&, i] {
      tids[i] = ::gettid();
      if (e->Wait(kHangMs) == kWaitObject0) ++released;
    });
  for (auto& tid : tids) {
    while (tid.load() == 0) std::this_thread::yield();
    EXPECT_TRUE(AsleepIn(::getpid(), tid.load(), {kFutexWait}));
  }
  e->Set();
  e->Reset();  // before any waiter ran: the generation still releases them
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 4);
  EXPECT_FALSE(e->IsSet());
}

TEST(NamedEventThreaded, UnnamedEventWakesAWaiterSleepingOnANamedOne) {
  UniqueEventName name;
  auto named = Event::CreateNamed(name.get(), true, false);
  ASSERT_NE(named, nullptr);
  Event stop(false, false);
  Event* const both[] = {named.get(), &stop};
  const pid_t self = ::gettid();
  const auto start = steady_clock::now();
  std::thread setter([&] {
    EXPECT_TRUE(AsleepInAWait(::getpid(), self));
    stop.Set();
  });
  EXPECT_EQ(WaitForAny(both, 2 * kHangMs), kWaitObject0 + 1);
  EXPECT_LT(ElapsedMs(start), kHangMs);
  setter.join();
  EXPECT_FALSE(stop.IsSet());  // auto reset: taken by the wait

  // A second named event in the set wakes the waiter as well.
  UniqueEventName other;
  auto named2 = Event::CreateNamed(other.get(), false, false);
  ASSERT_NE(named2, nullptr);
  Event* const two[] = {named.get(), named2.get()};
  std::thread setter2([&] {
    EXPECT_TRUE(AsleepInAWait(::getpid(), self));
    named2->Set();
  });
  EXPECT_EQ(WaitForAny(two, kHangMs), kWaitObject0 + 1);
  setter2.join();
}

TEST(NamedEventThreaded, AnotherProcessSetsTheEvent) {
  UniqueEventName name;
  auto e = Event::CreateNamed(name.get(), true, false);
  ASSERT_NE(e, nullptr);
  Event stop(false, false);
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {  // sets the event once this process sleeps on it
    char c = 0;
    if (::read(go[0], &c, 1) != 1) ::_exit(2);
    auto peer = Event::OpenNamed(name.get());
    ::_exit(peer && peer->Set() ? 0 : 1);
  }
  const pid_t self = ::gettid();
  std::thread starter([&] {
    EXPECT_TRUE(AsleepInAWait(::getpid(), self));
    EXPECT_EQ(::write(go[1], "g", 1), 1);
  });
  Event* const both[] = {e.get(), &stop};
  EXPECT_EQ(WaitForAny(both, kHangMs), kWaitObject0);
  starter.join();
  ::close(go[0]);
  ::close(go[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Waits on several events, with the kernel's vector wait and with the
// polling that kernels without it get.
TEST(NamedEventThreaded, SeveralEventsWakeTheWaiterWithAndWithoutVectorWait) {
  struct RestoreWaits {
    ~RestoreWaits() { detail::ForcePollingWaitsForTesting(false); }
  } restore;
  for (bool polling : {false, true}) {
    SCOPED_TRACE(polling ? "polling" : "vector wait");
    detail::ForcePollingWaitsForTesting(polling);
    UniqueEventName first, second;
    auto autoEvent = Event::CreateNamed(first.get(), false, false);
    auto manualEvent = Event::CreateNamed(second.get(), true, false);
    ASSERT_NE(autoEvent, nullptr);
    ASSERT_NE(manualEvent, nullptr);
    Event local(false, false);
    Event* const all[] = {autoEvent.get(), manualEvent.get(), &local};
    const pid_t self = ::gettid();
    for (uint32_t target = 0; target < 3; ++target) {
      SCOPED_TRACE(target);
      std::thread setter([&] {
        EXPECT_TRUE(AsleepInAWait(::getpid(), self));
        all[target]->Set();
      });
      const auto start = steady_clock::now();
      EXPECT_EQ(WaitForAny(all, 2 * kHangMs), kWaitObject0 + target);
      EXPECT_LT(ElapsedMs(start), kHangMs);
      setter.join();
      manualEvent->Reset();
      EXPECT_FALSE(autoEvent->IsSet());
      EXPECT_FALSE(local.IsSet());
    }
    // Several set at once: the lowest index; the auto-reset ones are taken
    // one wait at a time.
    local.Set();
    autoEvent->Set();
    EXPECT_EQ(WaitForAny(all, 0), kWaitObject0);
    EXPECT_EQ(WaitForAny(all, 0), kWaitObject0 + 2);
    const auto start = steady_clock::now();
    EXPECT_EQ(WaitForAny(all, 30), kWaitTimeout);
    EXPECT_GE(ElapsedMs(start), 29);
  }
}

TEST(NamedEventThreaded, EachSetOfAnAutoResetEventReleasesExactlyOneWaiter) {
  UniqueEventName name;
  auto e = Event::CreateNamed(name.get(), false, false);
  ASSERT_NE(e, nullptr);
  std::atomic<int> released{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      auto own = Event::OpenNamed(name.get());  // each its own mapping
      if (!own) return;
      while (!stop)
        if (own->Wait(5) == kWaitObject0) ++released;
    });
  constexpr int kSets = 20;
  for (int i = 1; i <= kSets; ++i) {
    e->Set();
    const auto start = steady_clock::now();
    while (released.load() < i && ElapsedMs(start) < kHangMs) std::this_thread::yield();
    EXPECT_EQ(released.load(), i);
  }
  stop = true;
  for (auto& t : waiters) t.join();
  // A second, wrong release of any Set shows here at the latest.
  EXPECT_EQ(released.load(), kSets);
  EXPECT_FALSE(e->IsSet());
}

// The state a setter leaves when it is killed after changing the word but
// before its wake call: the word says "set", nobody woke the sleepers.
class SilentSetter {
 public:
  explicit SilentSetter(const std::string& eventName) {
    const int fd = ::shm_open(Event::SharedMemoryName(eventName).c_str(), O_RDWR, 0);
    EXPECT_GE(fd, 0) << std::strerror(errno);
    if (fd < 0) return;
    void* p = ::mmap(nullptr, sizeof(uint32_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    EXPECT_NE(p, MAP_FAILED);
    if (p != MAP_FAILED) m_word = static_cast<std::atomic<uint32_t>*>(p);
  }
  ~SilentSetter() {
    if (m_word != nullptr) ::munmap(m_word, sizeof(uint32_t));
  }
  // Set's change of the word (set bit, generation + 1), without the wake.
  void SetWithoutWake() {
    if (m_word == nullptr) return;
    uint32_t old = m_word->load();
    while (!m_word->compare_exchange_weak(old, (old | 1u) + 2u)) {
    }
  }
  // Wakes whoever sleeps on the word; how many did.
  long WakeSleepers() {
    if (m_word == nullptr) return -1;
    return ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(m_word), FUTEX_WAKE, INT_MAX,
                     nullptr, nullptr, 0);
  }

 private:
  std::atomic<uint32_t>* m_word = nullptr;
};

TEST(NamedEventThreaded, ASetterKilledBeforeItsWakeStillReleasesTheWaiters) {
  UniqueEventName manualName, autoName;
  auto manual = Event::CreateNamed(manualName.get(), /*manualReset=*/true, false);
  auto autoReset = Event::CreateNamed(autoName.get(), /*manualReset=*/false, false);
  ASSERT_NE(manual, nullptr);
  ASSERT_NE(autoReset, nullptr);
  SilentSetter manualSetter(manualName.get()), autoSetter(autoName.get());

  // One waiter on each event, one on both at once (the vector wait).
  Event* const both[] = {manual.get(), autoReset.get()};
  // Deadlines far past the recheck a waiter makes on its own, which is what
  // releases them here: a waiter that slept until its deadline fails.
  const auto waitBoth = [&] { return WaitForAny(both, 3 * kHangMs); };
  const auto waitManual = [&] { return manual->Wait(kInfinite); };
  const auto waitAuto = [&] { return autoReset->Wait(3 * kHangMs); };
  struct Case {
    std::function<uint32_t()> wait;
    SilentSetter* setter;
    uint32_t expected;
  };
  const Case cases[] = {{waitManual, &manualSetter, kWaitObject0},
                        {waitAuto, &autoSetter, kWaitObject0},
                        {waitBoth, &autoSetter, kWaitObject0 + 1}};
  for (const Case& c : cases) {
    manual->Reset();
    autoReset->Reset();
    std::atomic<uint32_t> result{kWaitFailed};
    std::atomic<long long> tookMs{-1};
    std::atomic<pid_t> tid{0};
    std::thread waiter([&] {
      tid = ::gettid();
      const auto start = steady_clock::now();
      result = c.wait();
      tookMs = ElapsedMs(start);
    });
    while (tid.load() == 0) std::this_thread::yield();
    EXPECT_TRUE(AsleepInAWait(::getpid(), tid.load()));
    c.setter->SetWithoutWake();
    const auto start = steady_clock::now();
    while (tookMs.load() < 0 && ElapsedMs(start) < kHangMs) std::this_thread::sleep_for(milliseconds(1));
    if (tookMs.load() < 0) {  // never leave the thread hanging
      manual->Set();
      autoReset->Set();
    }
    waiter.join();
    EXPECT_EQ(result.load(), c.expected);
    EXPECT_LT(tookMs.load(), kHangMs);
  }
}

// Names that differ name different events, whatever characters they hold.
TEST(NamedEvent, NamesThatDifferNeverShareAnEvent) {
  const std::string base = "zor-test-event-" + std::to_string(::getpid()) + "-names";
  const std::string names[] = {base + "/a", base + "_a", base + "%2Fa", base + "%a",
                               base + std::string(1, '\0') + "a", base};
  std::vector<std::unique_ptr<Event>> events;
  for (const std::string& n : names) {
    events.push_back(Event::CreateNamed(n, /*manualReset=*/true, /*initialState=*/false));
    ASSERT_NE(events.back(), nullptr) << n;
    EXPECT_EQ(GetLastError(), kErrorSuccess) << n;  // not an existing one
  }
  events[0]->Set();
  for (std::size_t i = 1; i < events.size(); ++i) EXPECT_FALSE(events[i]->IsSet()) << i;
  auto again = Event::OpenNamed(names[0]);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->IsSet());
  for (const std::string& n : names) EXPECT_TRUE(Event::Unlink(n)) << n;
}

// What a crashed or foreign process may leave under an event's name.
class LeftBlock {
 public:
  // The ready word (0 while a maker works, else the maker's pid or the
  // finished mark) is the block's third 32-bit word.
  static constexpr std::size_t kReadyWordOffset = 8;

  LeftBlock(const std::string& eventName, std::size_t size, const std::string& bytes = {})
      : m_shm(Event::SharedMemoryName(eventName)) {
    const int fd = ::shm_open(m_shm.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    EXPECT_GE(fd, 0) << std::strerror(errno);
    if (fd < 0) return;
    if (size > 0) {
      EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    }
    if (!bytes.empty()) {
      EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    }
    ::close(fd);
  }
  ~LeftBlock() { ::shm_unlink(m_shm.c_str()); }

  // A block of the event's size whose ready word holds `ready`.
  static std::string WithReadyWord(std::size_t size, uint32_t ready) {
    std::string bytes(size, '\0');
    std::memcpy(bytes.data() + kReadyWordOffset, &ready, sizeof ready);
    return bytes;
  }

 private:
  std::string m_shm;
};

std::size_t EventBlockSize() {
  UniqueEventName probe;
  auto e = Event::CreateNamed(probe.get(), true, false);
  if (!e) return 0;
  const int fd = ::shm_open(Event::SharedMemoryName(probe.get()).c_str(), O_RDONLY, 0);
  struct stat st {};
  if (fd >= 0) ::fstat(fd, &st);
  if (fd >= 0) ::close(fd);
  return static_cast<std::size_t>(st.st_size);
}

// The event made anew over a left block works: auto reset and set, as asked.
void ExpectMadeAnew(const std::string& name) {
  auto e = Event::CreateNamed(name, /*manualReset=*/false, /*initialState=*/true);
  ASSERT_NE(e, nullptr) << GetLastError();
  EXPECT_EQ(GetLastError(), kErrorSuccess);
  auto peer = Event::OpenNamed(name);
  ASSERT_NE(peer, nullptr);
  EXPECT_EQ(peer->Wait(0), kWaitObject0);
  EXPECT_EQ(e->Wait(0), kWaitTimeout);
}

TEST(NamedEventThreaded, BlocksLeftByCrashedOrForeignProcessesNeverHangAnOpener) {
  const std::size_t size = EventBlockSize();
  ASSERT_GE(size, LeftBlock::kReadyWordOffset + 4);
  const auto start = steady_clock::now();

  {  // The maker died before sizing the block.
    UniqueEventName name;
    LeftBlock left(name.get(), 0);
    EXPECT_EQ(Event::OpenNamed(name.get()), nullptr);
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    ExpectMadeAnew(name.get());
  }
  {  // ... after sizing it, before marking it.
    UniqueEventName name;
    LeftBlock left(name.get(), size);
    EXPECT_EQ(Event::OpenNamed(name.get()), nullptr);
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    ExpectMadeAnew(name.get());
  }
  {  // ... while filling it in: its pid is in the ready word.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    UniqueEventName name;
    LeftBlock left(name.get(), size, LeftBlock::WithReadyWord(size, static_cast<uint32_t>(child)));
    EXPECT_EQ(Event::OpenNamed(name.get()), nullptr);
    // A dead maker is not waited for: one given up on after the wait would
    // fail with kErrorInvalidHandle.
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    ExpectMadeAnew(name.get());
  }
  {  // A damaged ready word, and a block cut short.
    UniqueEventName damaged, shortName;
    LeftBlock left(damaged.get(), size, LeftBlock::WithReadyWord(size, 0xDEADBEEF));
    LeftBlock cut(shortName.get(), 6, "\xA5\xA5\xA5\xA5\xA5\xA5");
    for (const std::string& name : {damaged.get(), shortName.get()}) {
      EXPECT_EQ(Event::OpenNamed(name), nullptr);
      EXPECT_EQ(GetLastError(), kErrorFileNotFound);
      ExpectMadeAnew(name);
    }
  }
  {  // A block of a size no event has is refused, not mapped.
    UniqueEventName name;
    LeftBlock left(name.get(), 4096, std::string(4096, '\xFF'));
    EXPECT_EQ(Event::OpenNamed(name.get()), nullptr);
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    EXPECT_EQ(Event::CreateNamed(name.get(), true, false), nullptr);
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  }
  // Root only, and only where user 65534 exists (a user namespace that maps
  // root alone refuses both the chown and the change of user).
  if (::geteuid() == 0) {  // Another user's block under this user's name, open to all.
    UniqueEventName name;
    auto made = Event::CreateNamed(name.get(), true, false);
    ASSERT_NE(made, nullptr);
    const int fd = ::shm_open(Event::SharedMemoryName(name.get()).c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::fchmod(fd, 0666), 0);
    const bool givenAway = ::fchown(fd, 65534, 65534) == 0;
    ::close(fd);
    if (givenAway) {
      EXPECT_EQ(Event::OpenNamed(name.get()), nullptr);
      EXPECT_EQ(GetLastError(), kErrorAccessDenied);
      EXPECT_EQ(Event::CreateNamed(name.get(), true, false), nullptr);
      EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    }
  }
  {  // A maker whose page could not be had removes the new name while another
     // creator waits for it to size the block: that one makes the event under
     // the name again, not in the removed block that no other process sees.
    UniqueEventName name;
    const std::string shm = Event::SharedMemoryName(name.get());
    const int fd = ::shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    std::unique_ptr<Event> made;
    uint32_t madeError = 99;
    std::thread creator([&] {
      made = Event::CreateNamed(name.get(), /*manualReset=*/true, false);
      madeError = GetLastError();
    });
    // Removed once the creator holds the block open (and waits on its size).
    const auto holdsBlock = [&] {
      for (int i = 0; i < 1024; ++i) {
        char link[512];
        const std::string path = "/proc/self/fd/" + std::to_string(i);
        const ssize_t n = ::readlink(path.c_str(), link, sizeof link - 1);
        if (n > 0 && std::string(link, static_cast<std::size_t>(n)) == "/dev/shm" + shm)
          return true;
      }
      return false;
    };
    const auto t = steady_clock::now();
    while (!holdsBlock() && ElapsedMs(t) < kHangMs) std::this_thread::sleep_for(milliseconds(1));
    ::shm_unlink(shm.c_str());
    creator.join();
    ASSERT_NE(made, nullptr) << madeError;
    EXPECT_EQ(madeError, kErrorSuccess);
    auto peer = Event::OpenNamed(name.get());
    ASSERT_NE(peer, nullptr) << GetLastError();
    EXPECT_TRUE(made->Set());
    EXPECT_TRUE(peer->IsSet());
  }
  {  // A maker that stays busy (this live process) is given up on in time.
    UniqueEventName name;
    LeftBlock left(name.get(), size, LeftBlock::WithReadyWord(size, static_cast<uint32_t>(::getpid())));
    const auto t = steady_clock::now();
    EXPECT_EQ(Event::CreateNamed(name.get(), true, false), nullptr);
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    EXPECT_LT(ElapsedMs(t), kHangMs);
  }
  {  // A block of an earlier layout, under the name earlier versions used,
     // is never opened.
    UniqueEventName name;
    const std::string old = "/zor-event." + std::to_string(::getuid()) + "." + name.get();
    const int fd = ::shm_open(old.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 3), 0);
    ::close(fd);
    ExpectMadeAnew(name.get());
    ::shm_unlink(old.c_str());
  }
  EXPECT_LT(ElapsedMs(start), kHangMs);
}

// A set-user-id program shares the events of the user who runs it: the
// name carries that user's id, and the block is that user's, whether the
// program belongs to root or to another user (65533).
TEST(NamedEvent, ASetUserIdProgramSharesTheEventsOfItsUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as other users";
  for (const uid_t owner : {0u, 65533u}) {
    SCOPED_TRACE("program of user " + std::to_string(owner));
    UniqueEventName name;
    const int made = InChild([&] {
      if (::setresuid(65534, 65534, 65534) != 0) return 77;
      auto user = Event::CreateNamed(name.get(), true, false);
      return user && user->Set() ? 0 : 1;
    });
    if (made == 77) GTEST_SKIP() << "cannot run as user 65534 here";
    EXPECT_EQ(made, 0);
    EXPECT_EQ(InChild([&] {
                if (::setresuid(65534, owner, owner) != 0) return 1;
                auto program = Event::OpenNamed(name.get());
                if (!program) return 10 + static_cast<int>(GetLastError());
                if (!Event::Unlink(name.get())) return 2;
                return program->IsSet() ? 0 : 3;
              }),
              0);
    // The other way round: what the program makes, the user's own programs open.
    UniqueEventName first;
    EXPECT_EQ(InChild([&] {
                if (::setresuid(65534, owner, owner) != 0) return 1;
                auto program = Event::CreateNamed(first.get(), true, false);
                if (!program) return 10 + static_cast<int>(GetLastError());
                return program->Set() ? 0 : 2;
              }),
              0);
    EXPECT_EQ(InChild([&] {
                if (::setresuid(65534, 65534, 65534) != 0) return 1;
                auto user = Event::OpenNamed(first.get());
                if (!user) return 10 + static_cast<int>(GetLastError());
                return Event::Unlink(first.get()) && user->IsSet() ? 0 : 2;
              }),
              0);
  }
}

// With /dev/shm full, an event whose page cannot be had is refused with
// "not enough memory" (8), never a signal; one made before still works.
TEST(NamedEvent, AFullSharedMemoryIsAnErrorNotASignal) {
  const std::size_t size = EventBlockSize();
  ASSERT_GT(size, 0u);
  const std::string base = "zor-test-event-" + std::to_string(::getpid()) + "-full-";
  const int result = InChildWithSmallSharedMemory([&] {
    auto before = Event::CreateNamed(base + "made", /*manualReset=*/false, false);
    if (!before) return 1;
    // A block sized but never written, as an earlier build that died of the
    // lack of space leaves it: it holds no page.
    const int fd = ::shm_open(Event::SharedMemoryName(base + "hole").c_str(),
                              O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) return 2;
    ::close(fd);
    FillSharedMemory();
    if (Event::CreateNamed(base + "new", true, false) != nullptr ||
        GetLastError() != kErrorNotEnoughMemory)
      return 3;
    if (Event::OpenNamed(base + "new") != nullptr || GetLastError() != kErrorFileNotFound)
      return 4;  // the failed maker left no name behind
    if (Event::CreateNamed(base + "hole", true, false) != nullptr ||
        GetLastError() != kErrorNotEnoughMemory)
      return 5;
    if (Event::OpenNamed(base + "hole") != nullptr || GetLastError() != kErrorNotEnoughMemory)
      return 6;
    auto peer = Event::OpenNamed(base + "made");
    if (!peer || !before->Set() || peer->Wait(0) != kWaitObject0 || before->IsSet()) return 7;
    return 0;
  });
  if (result == kNoSmallSharedMemory) GTEST_SKIP() << kNoSmallSharedMemoryText;
  EXPECT_EQ(result, 0) << ChildResultText(result);

  // No inode left for a new block is as full as no page left.
  const int inodes = InChildWithSmallSharedMemory(
      [&] {
        auto before = Event::CreateNamed(base + "made", /*manualReset=*/false, false);
        if (!before) return 1;
        UseUpSharedMemoryInodes();
        if (Event::CreateNamed(base + "new", true, false) != nullptr ||
            GetLastError() != kErrorNotEnoughMemory)
          return 2;
        auto peer = Event::OpenNamed(base + "made");
        return peer && before->Set() && peer->IsSet() ? 0 : 3;
      },
      "size=64k,nr_inodes=8");
  EXPECT_EQ(inodes, 0) << ChildResultText(inodes);
}

// Child processes that are killed at a random moment, whatever they do.
[[noreturn]] void RunDoomedChild(int role, const std::string& manualName,
                                 const std::string& autoName) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a test that failed hard
  if (role == 2) {  // opens and drops the events over and over
    for (unsigned i = 0;; ++i) {
      auto e = Event::CreateNamed(i % 2 ? manualName : autoName, i % 2 != 0, false);
      if (e) e->Wait(0);
    }
  }
  auto manualEvent = Event::CreateNamed(manualName, true, false);
  auto autoEvent = Event::CreateNamed(autoName, false, false);
  if (!manualEvent || !autoEvent) ::_exit(3);
  if (role == 1) {  // sets and resets as fast as it can
    for (;;) {
      autoEvent->Set();
      manualEvent->Set();
      manualEvent->Reset();
    }
  }
  Event local(false, false);
  Event* const all[] = {manualEvent.get(), autoEvent.get(), &local};
  for (;;)
    if (WaitForAny(all, 2) == kWaitObject0) manualEvent->Reset();
}

// Kills and reaps the children left when a check fails.
class Children {
 public:
  ~Children() { KillAll(); }
  void Add(pid_t pid) { m_pids.push_back(pid); }
  void KillAll() {
    for (pid_t pid : m_pids) ::kill(pid, SIGKILL);
    for (pid_t pid : m_pids) ::waitpid(pid, nullptr, 0);
    m_pids.clear();
  }
  // Reaps a child that ends by itself; its exit status, or -1.
  int Reap(pid_t pid) {
    int status = -1;
    if (::waitpid(pid, &status, 0) != pid) status = -1;
    std::erase(m_pids, pid);
    return status;
  }
  const std::vector<pid_t>& pids() const { return m_pids; }

 private:
  std::vector<pid_t> m_pids;
};

// Reads one byte within `timeoutMs`; 0 when none came.
char ReadByte(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  char c = 0;
  if (::poll(&p, 1, timeoutMs) != 1 || ::read(fd, &c, 1) != 1) return 0;
  return c;
}

// The live waiter of the stress test: each round, on "g", opens the events
// anew, answers "r", waits on both and answers the index it was woken by.
[[noreturn]] void RunLiveWaiter(int goFd, int answerFd, const std::string& manualName,
                                const std::string& autoName) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  while (ReadByte(goFd, -1) == 'g') {
    auto m = Event::OpenNamed(manualName);
    auto a = Event::OpenNamed(autoName);
    if (!m || !a) ::_exit(3);
    Event* const both[] = {m.get(), a.get()};
    if (::write(answerFd, "r", 1) != 1) ::_exit(4);
    const uint32_t got = WaitForAny(both, kHangMs);
    const char answer = got < 2 ? static_cast<char>('0' + got) : 'x';
    if (::write(answerFd, &answer, 1) != 1) ::_exit(5);
  }
  ::_exit(0);
}

TEST(NamedEventThreaded, ProcessesKilledAtAnyMomentLeaveTheEventsWorking) {
  UniqueEventName manualName, autoName;
  const unsigned seed = static_cast<unsigned>(steady_clock::now().time_since_epoch().count());
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  ::alarm(300);  // a Set or wait that hangs ends the run instead of blocking it

  int go[2], answers[2];
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(answers), 0);
  Children live;
  const pid_t waiter = ::fork();
  ASSERT_GE(waiter, 0);
  if (waiter == 0) RunLiveWaiter(go[0], answers[1], manualName.get(), autoName.get());
  live.Add(waiter);

  long long slowestSetUs = 0, slowestWakeMs = 0;
  const auto start = steady_clock::now();
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Now and then the doomed children race to create the events anew.
    if (round % 4 == 0) {
      Event::Unlink(manualName.get());
      Event::Unlink(autoName.get());
    }
    Children doomed;
    for (int role = 0; role < 3; ++role) {
      const pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) RunDoomedChild(role, manualName.get(), autoName.get());
      doomed.Add(pid);
    }
    for (pid_t pid : doomed.pids()) {
      ::usleep(static_cast<useconds_t>(random() % 1200));
      ::kill(pid, SIGKILL);
    }
    doomed.KillAll();

    auto manualEvent = Event::CreateNamed(manualName.get(), true, false);
    ASSERT_NE(manualEvent, nullptr) << GetLastError();
    auto autoEvent = Event::CreateNamed(autoName.get(), false, false);
    ASSERT_NE(autoEvent, nullptr) << GetLastError();
    manualEvent->Reset();
    autoEvent->Reset();

    // The live waiter in another process is woken by one Set.
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    ASSERT_EQ(ReadByte(answers[0], kHangMs), 'r');
    ASSERT_TRUE(AsleepInAWait(waiter, waiter));
    const int target = round % 2;
    Event& setEvent = target == 0 ? *manualEvent : *autoEvent;
    SilentSetter setWord(target == 0 ? manualName.get() : autoName.get());
    const auto setAt = steady_clock::now();
    ASSERT_TRUE(setEvent.Set());
    const long long setUs =
        std::chrono::duration_cast<std::chrono::microseconds>(steady_clock::now() - setAt).count();
    // Set takes the waiter off the word's queue before it returns: one
    // still queued was not woken and would come out only at its own recheck.
    EXPECT_EQ(setWord.WakeSleepers(), 0);
    const char answer = ReadByte(answers[0], kHangMs);
    const long long wakeMs = ElapsedMs(setAt);
    ASSERT_EQ(answer, static_cast<char>('0' + target));
    if (target == 1) {
      EXPECT_FALSE(autoEvent->IsSet());  // the waiter took it
    }
    slowestSetUs = std::max(slowestSetUs, setUs);
    slowestWakeMs = std::max(slowestWakeMs, wakeMs);
    if (HasFailure()) break;
  }
  ASSERT_EQ(::write(go[1], "q", 1), 1);
  const int status = live.Reap(waiter);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (int fd : {go[0], go[1], answers[0], answers[1]}) ::close(fd);
  ::alarm(0);
  std::printf("[ stress   ] 200 rounds in %lld ms, slowest Set %lld us, slowest wake %lld ms\n",
              ElapsedMs(start), slowestSetUs, slowestWakeMs);
}

}  // namespace
}  // namespace zor::platform
