#include "system/os/command_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

namespace {

TEST(CommandLine, BuildsInAscendingOrderOfName) {
  std::string line = "stale";
  BuildCommandLine(line, std::map<std::string, std::string>{{"mode", "run"}, {"database", "x"}});
  EXPECT_EQ(line, "--database=\"x\" --mode=\"run\" ");

  std::map<eCmdLineParamKey, std::string> keyed = {{eCmdLineMode, "m"},
                                                    {eCmdLineProjectSettings, "p"},
                                                    {eCmdLineExportFormat, "e"},
                                                    {eCmdLineDatabase, "d"}};
  BuildCommandLine(line, keyed);
  EXPECT_EQ(line,
            "--database=\"d\" --export-format=\"e\" --mode=\"m\" --project-settings=\"p\" ");
}

TEST(CommandLine, QuotesAndUnknownKeysThrow) {
  std::string line = "stale";
  EXPECT_THROW(BuildCommandLine(line, std::map<std::string, std::string>{{"a\"b", "x"}}),
               std::invalid_argument);
  EXPECT_EQ(line, "");
  EXPECT_THROW(BuildCommandLine(line, std::map<std::string, std::string>{{"a", "x\""}}),
               std::invalid_argument);
  EXPECT_THROW(CmdLineKeyFromName("Mode"), std::invalid_argument);
  EXPECT_EQ(CmdLineKeyFromName("export-format"), eCmdLineExportFormat);
  // Any int is a valid value of the key type (UBSan checks the loads), and
  // every key outside 0..3 throws, in the text look-up and in the builder.
  for (int bad : {4, 7, -1, INT_MAX, INT_MIN}) {
    const auto key = static_cast<eCmdLineParamKey>(bad);
    EXPECT_THROW(CmdLineKeyText(key), std::invalid_argument) << bad;
    line = "stale";
    EXPECT_THROW(BuildCommandLine(line, std::map<eCmdLineParamKey, std::string>{
                                            {eCmdLineMode, "m"}, {key, "x"}}),
                 std::invalid_argument)
        << bad;
  }
  std::map<eCmdLineParamKey, std::string> keyed;
  EXPECT_THROW(ParseCommandLine(keyed, "--mode=\"a\" --other=\"b\""), std::invalid_argument);
}

TEST(CommandLine, ParsesQuotedAndUnquotedValues) {
  std::map<std::string, std::string> out = {{"old", "1"}};
  ParseCommandLine(out, "--mode=\"a b\" --database=c");
  EXPECT_EQ(out, (std::map<std::string, std::string>{{"mode", "a b"}, {"database", "c"}}));

  ParseCommandLine(out, "--mode=a --database=c");
  EXPECT_EQ(out["mode"], "a ");
  EXPECT_EQ(out["database"], "c");

  ParseCommandLine(out, "--mode=\"x\" --mode=\"y\" --empty=\"\" --open=\"runs to end");
  EXPECT_EQ(out["mode"], "y");
  EXPECT_EQ(out["empty"], "");
  EXPECT_EQ(out["open"], "runs to end");

  ParseCommandLine(out, "no arguments --butnoequals");
  EXPECT_TRUE(out.empty());
}

TEST(CommandLine, RoundTripsEveryKeyAndAwkwardValues) {
  std::map<eCmdLineParamKey, std::string> in = {{eCmdLineMode, "with -- dashes"},
                                                {eCmdLineDatabase, "/data/p 1.db"},
                                                {eCmdLineProjectSettings, ""},
                                                {eCmdLineExportFormat, "a=b"}};
  std::string line;
  BuildCommandLine(line, in);
  std::map<eCmdLineParamKey, std::string> out;
  ParseCommandLine(out, line);
  EXPECT_EQ(out, in);
}

}  // namespace
