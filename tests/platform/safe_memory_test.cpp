#include "platform/safe_memory.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using zor::platform::SafeRead;
using zor::platform::SafeReadAll;

uint64_t Address(const void* p) { return reinterpret_cast<uint64_t>(p); }

// Two pages: the first readable, the second not.
class TwoPages {
 public:
  TwoPages() {
    m_page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    m_base = static_cast<uint8_t*>(
        ::mmap(nullptr, 2 * m_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    for (std::size_t i = 0; i < m_page; ++i) m_base[i] = static_cast<uint8_t>(i * 7);
    ::mprotect(m_base + m_page, m_page, PROT_NONE);
  }
  ~TwoPages() { ::munmap(m_base, 2 * m_page); }
  uint8_t* Readable() const { return m_base; }
  uint8_t* Unreadable() const { return m_base + m_page; }
  std::size_t Page() const { return m_page; }

 private:
  uint8_t* m_base;
  std::size_t m_page;
};

TEST(SafeMemory, CopiesReadableMemoryAcrossPages) {
  std::vector<uint8_t> source(3 * 4096 + 123);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i ^ 0x5A);
  std::vector<uint8_t> copy(source.size());
  ASSERT_TRUE(SafeReadAll(Address(source.data() + 1), copy.data(), source.size() - 1));
  EXPECT_EQ(0, std::memcmp(copy.data(), source.data() + 1, source.size() - 1));
}

// Both ways of reading: the system call and the pipe it falls back to.
class SafeMemoryWays : public testing::TestWithParam<std::size_t (*)(uint64_t, void*, std::size_t)> {};

TEST_P(SafeMemoryWays, StopsAtTheFirstUnreadablePageWithoutFaulting) {
  const auto SafeRead = GetParam();
  auto SafeReadAll = [SafeRead](uint64_t a, void* o, std::size_t n) { return SafeRead(a, o, n) == n; };
  TwoPages pages;
  uint8_t out[64] = {};
  // The last 16 bytes of the readable page, then the protected page.
  const std::size_t n = SafeRead(Address(pages.Unreadable() - 16), out, sizeof out);
  EXPECT_EQ(n, 16u);
  EXPECT_EQ(0, std::memcmp(out, pages.Unreadable() - 16, 16));
  EXPECT_EQ(SafeRead(Address(pages.Unreadable()), out, 1), 0u);
  EXPECT_EQ(SafeRead(0, out, 8), 0u);
  EXPECT_EQ(SafeRead(~uint64_t{0} - 3, out, 8), 0u);  // would wrap around the top
  std::vector<uint8_t> page(pages.Page() + 1);
  EXPECT_FALSE(SafeReadAll(Address(pages.Readable()), page.data(), page.size()));
  EXPECT_EQ(SafeRead(Address(pages.Readable()), page.data(), page.size()), pages.Page());
}

INSTANTIATE_TEST_SUITE_P(SystemCallAndPipe, SafeMemoryWays,
                         testing::Values(&zor::platform::SafeRead,
                                         &zor::platform::SafeReadThroughPipe));

TEST(SafeMemory, LeavesErrnoAlone) {
  uint8_t out[4];
  errno = 1234;
  SafeRead(0, out, sizeof out);
  EXPECT_EQ(errno, 1234);
  zor::platform::SafeReadThroughPipe(0, out, sizeof out);
  EXPECT_EQ(errno, 1234);
}

}  // namespace
