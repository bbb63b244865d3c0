#include "core/text/text_shape.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/support/cpu_timer.h"

namespace {

TEST(PadTextTest, PadAndCut) {
  EXPECT_EQ(PadText("ab", 5, false, false), "ab   ");
  EXPECT_EQ(PadText("ab", 5, false, true), "   ab");
  EXPECT_EQ(PadText("abcdef", 3, false, true), "abcdef");  // long enough, not cut
  EXPECT_EQ(PadText("abcdef", 3, true, false), "abc");
  EXPECT_EQ(PadText("abcdef", 3, true, true), "def");
  EXPECT_EQ(PadText("abc", 3, true, true), "abc");
  EXPECT_EQ(PadText("abc", 0, true, false), "");
  EXPECT_EQ(PadText("abc", -4, true, true), "");
  EXPECT_EQ(PadText("abc", -4, false, true), "abc");
  EXPECT_EQ(PadText("", 2, true, false), "  ");
}

TEST(CutAtWordTest, CutsAtTheLastFittingSpace) {
  EXPECT_EQ(CutAtWord("hello world foo", 11), "hello world");
  EXPECT_EQ(CutAtWord("hello world foo", 12), "hello world");
  EXPECT_EQ(CutAtWord("hello world foo", 15), "hello world foo");
  EXPECT_EQ(CutAtWord("hello world foo", 100), "hello world foo");
  EXPECT_EQ(CutAtWord("hello world", 5), "hello");      // the space right after fits
  EXPECT_EQ(CutAtWord("helloworld foo", 5), "hello");   // no space: hard cut
  EXPECT_EQ(CutAtWord(" helloworld", 5), " hell");      // a leading space does not count
  EXPECT_EQ(CutAtWord("a b c d", 4), "a b");
  EXPECT_EQ(CutAtWord("abc", 0), "");
  EXPECT_EQ(CutAtWord("abc", -1), "");
  EXPECT_EQ(CutAtWord("abc", INT_MAX), "abc");
}

TEST(MakeUniqueNameTest, FirstFreeName) {
  const std::vector<std::string> names = {"Run", "RUN1"};
  EXPECT_EQ(MakeUniqueName(names, false, "run"), "run2");
  EXPECT_EQ(MakeUniqueName(names, true, "run"), "run");
  EXPECT_EQ(MakeUniqueName(names, true, "Run"), "Run1");
  EXPECT_EQ(MakeUniqueName({}, false, "x"), "x");
  EXPECT_EQ(MakeUniqueName({"a", "a1", "a2", "a3"}, true, "a"), "a4");
}

// A long run of taken names costs a look-up per candidate, not a walk over
// every name for each one.
TEST(MakeUniqueNameTest, LongRunOfTakenNamesStaysFast) {
  std::vector<std::string> names;
  for (int i = 50000; i >= 1; --i) names.push_back("Line" + std::to_string(i));
  names.push_back("LINE");
  const ThreadCpuTimer timer;
  EXPECT_EQ(MakeUniqueName(names, false, "line"), "line50001");
  EXPECT_EQ(MakeUniqueName(names, true, "Line"), "Line");
  EXPECT_LT(timer.Seconds(), 1.0);
}

TEST(AppendInParenthesesTest, OnlyWithSecond) {
  EXPECT_EQ(AppendInParentheses("Depth", "m"), "Depth (m)");
  EXPECT_EQ(AppendInParentheses("Depth", ""), "Depth");
  EXPECT_EQ(AppendInParentheses("", "m"), " (m)");
}

TEST(CopyToStringArrayTest, Replaces) {
  std::vector<std::string> out = {"old", "older"};
  CopyToStringArray({"a", "b", "c"}, out);
  EXPECT_EQ(out, (std::vector<std::string>{"a", "b", "c"}));
  CopyToStringArray(out, out);
  EXPECT_EQ(out.size(), 3u);
  CopyToStringArray({}, out);
  EXPECT_TRUE(out.empty());
}

}  // namespace

namespace {

TEST(LoadResourceStringTest, UnknownIdIsEmpty) {
  EXPECT_EQ(LoadResourceString(0), "");
  EXPECT_EQ(LoadResourceString(4000000000u), "");
}

}  // namespace
