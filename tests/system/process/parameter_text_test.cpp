#include "system/process/parameter_text.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

using Args = std::vector<std::string>;

TEST(SplitParameters, BlanksAndQuotes) {
  EXPECT_EQ(SplitParameters(""), Args{});
  EXPECT_EQ(SplitParameters("  \t "), Args{});
  EXPECT_EQ(SplitParameters("/t  report.txt\t/wait"), (Args{"/t", "report.txt", "/wait"}));
  EXPECT_EQ(SplitParameters("/report \"C:\\My Files\\r.txt\" /wait"),
            (Args{"/report", "C:\\My Files\\r.txt", "/wait"}));
  EXPECT_EQ(SplitParameters("a\"b c\"d e"), (Args{"ab cd", "e"}));
  EXPECT_EQ(SplitParameters("\"\" x"), (Args{"", "x"}));
  EXPECT_EQ(SplitParameters("\"unterminated run"), (Args{"unterminated run"}));
  EXPECT_EQ(SplitParameters("\"say \"\"hi\"\"\""), (Args{"say \"hi\""}));
}

TEST(SplitParameters, BackslashesCountOnlyBeforeQuotes) {
  EXPECT_EQ(SplitParameters("a\\\\b c\\"), (Args{"a\\\\b", "c\\"}));
  EXPECT_EQ(SplitParameters("a\\\"b"), (Args{"a\"b"}));           // 1 -> literal quote
  EXPECT_EQ(SplitParameters("\"a\\\\\" b"), (Args{"a\\", "b"}));  // 2 -> one, quote closes
  EXPECT_EQ(SplitParameters("a\\\\\\\"b"), (Args{"a\\\"b"}));     // 3 -> one and a quote
}

TEST(ExpandEnvironmentText, SetVariablesOnly) {
  ::setenv("ZOR_EXPAND_A", "alpha", 1);
  ::setenv("ZOR_EXPAND_EMPTY", "", 1);
  ::unsetenv("ZOR_EXPAND_UNSET");
  EXPECT_EQ(ExpandEnvironmentText("%ZOR_EXPAND_A%/x/%ZOR_EXPAND_A%"), "alpha/x/alpha");
  EXPECT_EQ(ExpandEnvironmentText("[%ZOR_EXPAND_EMPTY%]"), "[]");
  EXPECT_EQ(ExpandEnvironmentText("%ZOR_EXPAND_UNSET%"), "%ZOR_EXPAND_UNSET%");
  EXPECT_EQ(ExpandEnvironmentText("%ZOR_EXPAND_UNSET%ZOR_EXPAND_A%"), "%ZOR_EXPAND_UNSETalpha");
  EXPECT_EQ(ExpandEnvironmentText("100% sure"), "100% sure");
  EXPECT_EQ(ExpandEnvironmentText("%%"), "%%");
  EXPECT_EQ(ExpandEnvironmentText("no references"), "no references");
  ::unsetenv("ZOR_EXPAND_A");
  ::unsetenv("ZOR_EXPAND_EMPTY");
}

}  // namespace
