#include "platform/named_event.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/error_text.h"

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
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      if (e->Wait(10000) == kWaitObject0) ++released;
    });
  std::this_thread::sleep_for(milliseconds(200));  // let them all reach the wait
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
  const auto start = steady_clock::now();
  std::thread setter([&] {
    std::this_thread::sleep_for(milliseconds(50));
    stop.Set();
  });
  EXPECT_EQ(WaitForAny(both, 10000), kWaitObject0 + 1);
  EXPECT_LT(ElapsedMs(start), 2000);
  setter.join();
  EXPECT_FALSE(stop.IsSet());  // auto reset: taken by the wait

  // A second named event in the set is polled.
  UniqueEventName other;
  auto named2 = Event::CreateNamed(other.get(), false, false);
  ASSERT_NE(named2, nullptr);
  Event* const two[] = {named.get(), named2.get()};
  std::thread setter2([&] {
    std::this_thread::sleep_for(milliseconds(30));
    named2->Set();
  });
  EXPECT_EQ(WaitForAny(two, 10000), kWaitObject0 + 1);
  setter2.join();
}

TEST(NamedEventThreaded, AnotherProcessSetsTheEvent) {
  UniqueEventName name;
  auto e = Event::CreateNamed(name.get(), true, false);
  ASSERT_NE(e, nullptr);
  Event stop(false, false);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::usleep(50 * 1000);
    auto peer = Event::OpenNamed(name.get());
    ::_exit(peer && peer->Set() ? 0 : 1);
  }
  Event* const both[] = {e.get(), &stop};
  EXPECT_EQ(WaitForAny(both, 10000), kWaitObject0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace zor::platform
