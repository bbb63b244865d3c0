#include "core/text/text_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "tests/support/cpu_timer.h"

namespace {

TEST(FindNoCaseTest, IgnoresAsciiCase) {
  EXPECT_EQ(FindNoCase("Hello World", "WORLD"), 6);
  EXPECT_EQ(FindNoCase("Hello World", "o w"), 4);
  EXPECT_EQ(FindNoCase("Hello", "xyz"), -1);
  EXPECT_EQ(FindNoCase("Hi", "Hi there"), -1);
  EXPECT_EQ(FindNoCase("abc", ""), 0);
  EXPECT_EQ(FindNoCase("", ""), 0);
  EXPECT_EQ(FindNoCase("", "a"), -1);
  EXPECT_EQ(FindNoCase("\xC4" "a", "\xE4"), -1);  // only ASCII letters fold
}

// The first occurrence, as a compare at every position finds it, over small
// alphabets where partial matches overlap; and in linear time on a long run
// of one letter, where such a compare costs text times pattern.
TEST(FindNoCaseTest, FirstOccurrenceInLinearTime) {
  std::srand(5);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    std::string pattern;
    for (int n = std::rand() % 30; n > 0; --n) text += "abAB"[std::rand() % 4];
    for (int n = std::rand() % 6; n > 0; --n) pattern += "abAB"[std::rand() % 4];
    int expected = -1;
    for (std::size_t at = 0; at + pattern.size() <= text.size() && expected < 0; ++at) {
      bool same = true;
      for (std::size_t j = 0; j < pattern.size() && same; ++j)
        same = std::tolower(text[at + j]) == std::tolower(pattern[j]);
      if (same) expected = static_cast<int>(at);
    }
    ASSERT_EQ(FindNoCase(text, pattern), expected) << text << ' ' << pattern;
    const std::size_t from = static_cast<std::size_t>(std::rand() % 4);
    const std::size_t exact = text.find(pattern, from);
    ASSERT_EQ(FindFolded(text, pattern, ExactBytes(), from), exact) << text << ' ' << pattern;
  }
  const ThreadCpuTimer timer;
  const std::string text(200000, 'a');
  EXPECT_EQ(FindNoCase(text, std::string(100000, 'A') + "b"), -1);
  EXPECT_EQ(FindNoCase(text + "b", std::string(100000, 'A') + "B"), 100000);
  EXPECT_EQ(FindFolded(text, std::string(100000, 'a') + "b", ExactBytes()), std::string::npos);
  EXPECT_LT(timer.Seconds(), 1.0);
}

TEST(CountCharTest, Counts) {
  EXPECT_EQ(CountChar("a,b,,c", ','), 3);
  EXPECT_EQ(CountChar("", ','), 0);
  EXPECT_EQ(CountCharStd(std::string("\xff\xff" "a", 3), '\xff'), 2u);
}

class GuessSeparatorTest : public ::testing::Test {
 protected:
  void TearDown() override { zor::platform::ResetUserLocale(); }
};

TEST_F(GuessSeparatorTest, MostFrequentRemainingCharacter) {
  char sep = 'x';
  EXPECT_EQ(GuessSeparator(sep, "1.5;2.5;-3;+4"), 1);
  EXPECT_EQ(sep, ';');
  // A tie goes to the lower code: ',' (0x2C) before ';' (0x3B).
  EXPECT_EQ(GuessSeparator(sep, "1;2,3"), 1);
  EXPECT_EQ(sep, ',');
  EXPECT_EQ(GuessSeparator(sep, "1\t2\t3 4"), 1);
  EXPECT_EQ(sep, '\t');
}

TEST_F(GuessSeparatorTest, NothingLeft) {
  char sep = 'x';
  EXPECT_EQ(GuessSeparator(sep, ""), 0);
  EXPECT_EQ(sep, 0);
  sep = 'x';
  EXPECT_EQ(GuessSeparator(sep, "-1.5+2"), 0);
  EXPECT_EQ(sep, 0);
  sep = 'x';
  EXPECT_EQ(GuessSeparator(sep, "1\xB0" "2\xB0"), 0);  // high bytes are not counted
  EXPECT_EQ(sep, 0);
}

TEST_F(GuessSeparatorTest, UserDecimalSeparatorIsRemoved) {
  zor::platform::LocaleInfo loc = zor::platform::DefaultLocale();
  loc.decimalSeparator = ",";
  zor::platform::SetUserLocale(loc);
  char sep = 0;
  EXPECT_EQ(GuessSeparator(sep, "1,5;2,5;3,5.1"), 1);
  EXPECT_EQ(sep, ';');
}

TEST(CompareNoCaseTest, OrderIgnoringCase) {
  EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
  EXPECT_EQ(CompareNoCase("abc", "abd"), -1);
  EXPECT_EQ(CompareNoCase("ABD", "abc"), 1);
  EXPECT_EQ(CompareNoCase("ab", "abc"), -1);
  EXPECT_EQ(CompareNoCase("abc", "AB"), 1);
  EXPECT_EQ(CompareNoCase("", ""), 0);
  // Upper-casing puts '_' (0x5F) after letters: "A_" > "AB" ignoring case.
  EXPECT_EQ(CompareNoCase("a_", "ab"), 1);
  // Bytes of 0x80 and above compare as negative values.
  EXPECT_EQ(CompareNoCase("\xE9", "a"), -1);
}

TEST(CompareNoCaseTest, PointerComparatorSorts) {
  std::vector<const char*> names = {"delta", "Alpha", "charlie", "BRAVO", "alpha"};
  std::stable_sort(names.begin(), names.end(), [](const char* a, const char* b) {
    return CompareNoCasePtr(&a, &b) < 0;
  });
  EXPECT_STREQ(names[0], "Alpha");
  EXPECT_STREQ(names[1], "alpha");
  EXPECT_STREQ(names[2], "BRAVO");
  EXPECT_STREQ(names[4], "delta");
  const char* none = nullptr;
  const char* some = "a";
  EXPECT_LT(CompareNoCasePtr(&none, &some), 0);
  EXPECT_GT(CompareNoCasePtr(&some, &none), 0);
  EXPECT_EQ(CompareNoCasePtr(&none, &none), 0);
}

}  // namespace
