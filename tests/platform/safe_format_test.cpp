#include "platform/safe_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

using zor::platform::SafeFormat;

// Formats with both SafeFormat and snprintf and expects the same text.
#define EXPECT_SAME_AS_SNPRINTF(...)                                  \
  do {                                                                \
    char ours[1024], theirs[1024];                                      \
    const std::size_t n = SafeFormat(ours, sizeof ours, __VA_ARGS__); \
    const int m = std::snprintf(theirs, sizeof theirs, __VA_ARGS__);  \
    EXPECT_EQ(std::string(ours), std::string(theirs));                \
    EXPECT_EQ(n, static_cast<std::size_t>(m));                        \
  } while (0)

TEST(SafeFormat, IntegersMatchTheCLibrary) {
  EXPECT_SAME_AS_SNPRINTF("%d|%i|%u", -42, 17, 4000000000u);
  EXPECT_SAME_AS_SNPRINTF("%d %d", INT_MIN, INT_MAX);
  EXPECT_SAME_AS_SNPRINTF("%lld %llu", LLONG_MIN, ULLONG_MAX);
  EXPECT_SAME_AS_SNPRINTF("%ld %lu %zu", -5L, 5UL, std::size_t{77});
  EXPECT_SAME_AS_SNPRINTF("%hd %hu %hhd %hhu", 70000, 70000, 300, 300);
  EXPECT_SAME_AS_SNPRINTF("%08x %08X %x", 0xBEEFu, 0xbeefu, 0u);
  EXPECT_SAME_AS_SNPRINTF("0x%016llx", 0x7ffd12345678ull);
  EXPECT_SAME_AS_SNPRINTF("%02x %02x %02x", 0u, 7u, 255u);
  EXPECT_SAME_AS_SNPRINTF("[%5d] [%-5d] [%05d]", -12, -12, -12);
  EXPECT_SAME_AS_SNPRINTF("[%.3d] [%8.3d] [%-8.3x] [%.0d] [%5.0d]", 7, -7, 10u, 0, 0);
  EXPECT_SAME_AS_SNPRINTF("[%-10lld]", 2190440LL);
  EXPECT_SAME_AS_SNPRINTF("[%*d] [%-*d] [%*d] [%.*d]", 6, 1, 6, 2, -6, 3, 4, 5);
  EXPECT_SAME_AS_SNPRINTF("%d%% done", 13);
}

TEST(SafeFormat, TextAndCharactersMatchTheCLibrary) {
  EXPECT_SAME_AS_SNPRINTF("%s caused %s (0x%08x) \r\n", "Drv.exe", "an Access Violation",
                          0xC0000005u);
  EXPECT_SAME_AS_SNPRINTF("[%10s] [%-10s] [%.3s] [%*s]", "abc", "abc", "abcdef", 9, "");
  EXPECT_SAME_AS_SNPRINTF("[%c%c] [%3c] [%-3c]", 'o', 'k', 'x', 'y');
  EXPECT_SAME_AS_SNPRINTF("%.518s", std::string(600, 'p').c_str());
}

TEST(SafeFormat, CutsAtTheBufferAndCountsWhatItWrote) {
  char small[8];
  EXPECT_EQ(SafeFormat(small, sizeof small, "%s-%d", "abcdef", 12345), 7u);
  EXPECT_STREQ(small, "abcdef-");
  EXPECT_EQ(SafeFormat(small, 1, "%s", "x"), 0u);
  EXPECT_STREQ(small, "");
  small[0] = 'k';
  EXPECT_EQ(SafeFormat(small, 0, "%s", "x"), 0u);
  EXPECT_EQ(small[0], 'k');  // nothing written, not even the zero
}

TEST(SafeFormat, OddFormatsAreCopiedAndNullTextIsNamed) {
  char out[64];
  const char* volatile missing = nullptr;
  SafeFormat(out, sizeof out, "%s", missing);
  EXPECT_STREQ(out, "(null)");
  // Conversions it does not know are copied as they stand, up to the end.
  const char* odd = "a %q b %";
  SafeFormat(out, sizeof out, odd);
  EXPECT_STREQ(out, "a %q b %");
  SafeFormat(out, sizeof out, "%p", reinterpret_cast<void*>(0x1234));
  EXPECT_STREQ(out, "0x1234");
}

}  // namespace
