#include "core/text/text_split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Parts = std::vector<std::string>;

Parts Split(const std::string& text, char sep, bool merge) {
  Parts parts = {"left", "over", "from", "before"};
  const int n = SplitString(text, parts, sep, merge);
  EXPECT_EQ(n, static_cast<int>(parts.size())) << text;
  return parts;
}

TEST(SplitStringTest, SeparatorsAtEdgesAndAdjacent) {
  struct Case {
    const char* text;
    Parts plain;
    Parts merged;
  };
  const Case cases[] = {
      {"a,,b", {"a", "", "b"}, {"a", "b"}},
      {",a", {"", "a"}, {"a"}},
      {"a,", {"a", ""}, {"a"}},
      {"abc", {"abc"}, {"abc"}},
      {",", {"", ""}, {}},
      {",,,", {"", "", "", ""}, {}},
      {",,a,,,b,,", {"", "", "a", "", "", "b", "", ""}, {"a", "b"}},
      {"", {}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Split(c.text, ',', false), c.plain) << c.text;
    EXPECT_EQ(Split(c.text, ',', true), c.merged) << c.text;
  }
}

TEST(SplitStringTest, ReusedVectorHoldsOnlyTheNewPieces) {
  Parts parts;
  SplitString("$GPGGA,1,2,3,4,5,6,7", parts, ',', false);
  ASSERT_EQ(parts.size(), 8u);
  EXPECT_EQ(SplitString("x;y", parts, ',', false), 1);
  EXPECT_EQ(parts, Parts{"x;y"});
  EXPECT_EQ(SplitString("", parts, ',', true), 0);
  EXPECT_TRUE(parts.empty());
}

TEST(SplitStringTest, LinesWithMergingAndEmbeddedZeros) {
  Parts parts;
  EXPECT_EQ(SplitString("t1 10.5\n\n\nt2 11\n", parts, '\n', true), 2);
  EXPECT_EQ(parts, (Parts{"t1 10.5", "t2 11"}));
  const std::string with_zero("a\0b,c", 5);
  ASSERT_EQ(SplitString(with_zero, parts, ',', false), 2);
  EXPECT_EQ(parts[0], std::string("a\0b", 3));
}

TEST(SplitStringAnyTest, KeepEmptyAndTrim) {
  Parts parts = {"stale"};
  EXPECT_EQ(SplitStringAny("a,;b", parts, ",;", false, false), 2);
  EXPECT_EQ(parts, (Parts{"a", "b"}));
  EXPECT_EQ(SplitStringAny("a,;b", parts, ",;", true, false), 3);
  EXPECT_EQ(parts, (Parts{"a", "", "b"}));
  // A trailing separator closes the last piece and adds nothing after it.
  EXPECT_EQ(SplitStringAny("a,b,", parts, ",", true, false), 3);
  EXPECT_EQ(parts, (Parts{"a", "b", ""}));
  EXPECT_EQ(SplitStringAny("a,b", parts, ",", true, false), 2);
  // Trimming removes white space at both ends and at the front of pieces only.
  EXPECT_EQ(SplitStringAny("  a ,  b  ", parts, ",", false, true), 2);
  EXPECT_EQ(parts, (Parts{"a ", "b"}));
  EXPECT_EQ(SplitStringAny("  a ,  b  ", parts, ",", false, false), 2);
  EXPECT_EQ(parts, (Parts{"  a ", "  b  "}));
  EXPECT_EQ(SplitStringAny("   ", parts, ",", true, true), 0);
  EXPECT_TRUE(parts.empty());
}

TEST(SplitStringAnyTest, WhiteSpaceSeparatorWithTrim) {
  Parts parts;
  // The closing separator is a blank that trimming the rest swallows.
  EXPECT_EQ(SplitStringAny("a,", parts, " ,", true, true), 1);
  EXPECT_EQ(parts, Parts{"a"});
  EXPECT_EQ(SplitStringAny("a  b\tc", parts, " \t", false, true), 3);
  EXPECT_EQ(parts, (Parts{"a", "b", "c"}));
}

TEST(SplitStringAnyTest, NoSeparatorsGiveTheWholeText) {
  Parts parts = {"stale"};
  EXPECT_EQ(SplitStringAny(" a,b ", parts, "", true, true), 1);
  EXPECT_EQ(parts, Parts{"a,b"});
  EXPECT_EQ(SplitStringAny("", parts, "", true, false), 0);
  EXPECT_TRUE(parts.empty());
}

TEST(SplitStdStringTest, KeepsEveryPiece) {
  EXPECT_EQ(SplitStdString("a,,b", ','), (Parts{"a", "", "b"}));
  EXPECT_EQ(SplitStdString("a,", ','), (Parts{"a", ""}));
  EXPECT_EQ(SplitStdString(",", ','), (Parts{"", ""}));
  EXPECT_TRUE(SplitStdString("", ',').empty());
  EXPECT_EQ(SplitStdStringAny("a;b,c;", ",;"), (Parts{"a", "b", "c", ""}));
  EXPECT_EQ(SplitStdStringAny("abc", ""), Parts{"abc"});
  EXPECT_EQ(SplitStdStringAny("a\xff" "b", "\xff"), (Parts{"a", "b"}));
}

TEST(GetFieldTest, FieldsByIndex) {
  EXPECT_EQ(GetField("a;b;c", 0, ';'), "a");
  EXPECT_EQ(GetField("a;b;c", 1, ';'), "b");
  EXPECT_EQ(GetField("a;b;c", 2, ';'), "c");
  EXPECT_EQ(GetField("a;b;c", 3, ';'), "");
  EXPECT_EQ(GetField("a;;c", 1, ';'), "");
  EXPECT_EQ(GetField("a;b;", 2, ';'), "");
  EXPECT_EQ(GetField("a;b", -1, ';'), "");
  EXPECT_EQ(GetField("", 0, ';'), "");
  EXPECT_EQ(GetField("abc", 0, ';'), "abc");
  EXPECT_EQ(GetField("a;b", 1000000, ';'), "");
}

TEST(ExtractBetweenTest, FirstOpenAndFirstClose) {
  EXPECT_EQ(ExtractBetween("x[abc]y", '[', ']'), "abc");
  EXPECT_EQ(ExtractBetween("x[a[b]c]", '[', ']'), "a[b");
  EXPECT_EQ(ExtractBetween("[]", '[', ']'), "");
  EXPECT_EQ(ExtractBetween("]x[", '[', ']'), "");
  EXPECT_EQ(ExtractBetween("x[abc", '[', ']'), "");
  EXPECT_EQ(ExtractBetween("abc]", '[', ']'), "");
  EXPECT_EQ(ExtractBetween("'quoted'", '\'', '\''), "");  // both find the same first quote
}

}  // namespace

namespace {

TEST(SplitStringTest, TextHeldByThePartsItself) {
  Parts parts = {"x", "a,b,c"};
  EXPECT_EQ(SplitString(parts[1], parts, ',', false), 3);
  EXPECT_EQ(parts, (Parts{"a", "b", "c"}));
  parts = {std::string(100, ';') + "long;enough;to;live;on;the;heap"};
  EXPECT_EQ(SplitString(parts[0], parts, ';', true), 7);
  EXPECT_EQ(parts.back(), "heap");
  parts = {"p q", " "};
  EXPECT_EQ(SplitStringAny(parts[0], parts, parts[1], false, false), 2);
  EXPECT_EQ(parts, (Parts{"p", "q"}));
}

}  // namespace
