#include "core/text/file_search.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <boost/regex.hpp>

#include "tests/support/cpu_timer.h"

namespace {

namespace fs = boost::filesystem;
using Names = std::vector<std::string>;

TEST(WildcardToRegex, EscapesEverythingButTheWildcards) {
  EXPECT_EQ(WildcardToRegex("*.log"), ".*\\.log");
  EXPECT_EQ(WildcardToRegex("a+b?.txt"), "a\\+b.\\.txt");
  EXPECT_EQ(WildcardToRegex(""), ".*");
  EXPECT_EQ(WildcardToRegex("x{2}(y)[z]^$|"), "x\\{2\\}\\(y\\)\\[z\\]\\^\\$\\|");
  EXPECT_EQ(WildcardToRegex("*\\DRIVERS.IO"), ".*[\\\\/]DRIVERS\\.IO");
  EXPECT_EQ(WildcardToRegex("a/b"), "a[\\\\/]b");
}

// The matcher agrees with the regular expression of the pattern, matched as
// the search always matched (Perl syntax, ignoring case), on short random
// patterns and texts where the expression cannot run out of budget.
TEST(MatchesWildcard, AgreesWithTheRegularExpression) {
  std::mt19937 rng(12345);
  const std::string patternChars = "aAb*?\\/.+(\n";
  const std::string textChars = "aAbB\\/.+(\n";
  auto draw = [&](const std::string& from, std::size_t maxLen) {
    std::string s(std::uniform_int_distribution<std::size_t>(0, maxLen)(rng), ' ');
    for (char& c : s) c = from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string pattern = draw(patternChars, 7);
    const std::string text = draw(textChars, 9);
    const boost::regex re(WildcardToRegex(pattern), boost::regex::perl | boost::regex::icase);
    const bool expected = boost::regex_match(text, re);
    ASSERT_EQ(MatchesWildcard(text, pattern.empty() ? "*" : pattern), expected)
        << "pattern '" << pattern << "' text '" << text << "'";
  }
  EXPECT_TRUE(MatchesWildcard("C:/Data/X.INI", "c:\\data\\*.ini"));
  EXPECT_TRUE(MatchesWildcard("a\\b", "a/b"));
  EXPECT_FALSE(MatchesWildcard("ab", "a?b"));
  EXPECT_TRUE(MatchesWildcard("", "***"));
  EXPECT_FALSE(MatchesWildcard("x", ""));
}

// Many stars against long paths: a backtracking matcher takes exponential
// time or gives up here; this one answers at once, whether or not it matches.
TEST(MatchesWildcard, ManyStarsOnLongPathsStayFast) {
  const ThreadCpuTimer timer;
  const std::string longPath = "/" + std::string(4000, 'a') + "/file.txt";
  std::string manyStars;
  for (int i = 0; i < 60; ++i) manyStars += "*a";
  EXPECT_FALSE(MatchesWildcard(longPath, manyStars + "*b"));
  EXPECT_TRUE(MatchesWildcard(longPath, manyStars + "*\\*.TXT"));
  EXPECT_FALSE(MatchesWildcard(std::string(4000, 'a'), std::string(200, '*') + "?b"));
  EXPECT_TRUE(MatchesWildcard(std::string(4000, 'a'), std::string(200, '*') + "?a"));
  EXPECT_FALSE(MatchesWildcard(std::string(100000, '*'), "*?*?*?*x*"));
  // Long segments between stars: a compare restarted at every text position
  // costs the product of the two lengths.
  const std::string longText(100000, 'a');
  EXPECT_FALSE(MatchesWildcard(longText, "*" + std::string(50000, '?') + "b*"));
  EXPECT_FALSE(MatchesWildcard(longText, "*" + std::string(50000, 'A') + "b*"));
  EXPECT_TRUE(MatchesWildcard(longText, "*" + std::string(99999, '?') + "*"));
  EXPECT_FALSE(MatchesWildcard(longText, "*" + std::string(100001, '?') + "*"));
  EXPECT_TRUE(MatchesWildcard(longText + "/x", "*?" + std::string(70000, 'a') + "\\?"));
  std::string mixed;
  for (int i = 0; i < 2000; ++i) mixed += "a?";
  EXPECT_FALSE(MatchesWildcard(longText, "*" + mixed + "b*"));
  EXPECT_TRUE(MatchesWildcard(longText + "b", "*" + mixed + "b*"));
  EXPECT_LT(timer.Seconds(), 1.0);
}

// A fresh folder under $ZOR_TEST_TMP (or /tmp), removed with everything in it.
class FileSearchTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("ZOR_TEST_TMP");
    fs::path root = base && *base ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(root);
    dir_ = (root / fs::unique_path("file-search-%%%%-%%%%")).string();
    fs::create_directory(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Touch(const std::string& relative) {
    const fs::path p = fs::path(dir_) / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p.string()) << "x";
    return p.string();
  }
  std::string Folder(const std::string& relative) {
    const fs::path p = fs::path(dir_) / relative;
    fs::create_directories(p);
    return p.string();
  }

  std::string dir_;
};

TEST_F(FileSearchTest, MatchesTheWholePathIgnoringCase) {
  Touch("x.ini");
  Touch("x.ini.bak");
  Touch("xaini");
  Names found;
  EXPECT_TRUE(FindFilesByPattern(found, dir_, "*.INI", false, false));
  EXPECT_EQ(found, Names{"x.ini"}) << "'.' is literal and the match is anchored";

  found.clear();
  EXPECT_FALSE(FindFilesByPattern(found, dir_, "x.ini", false, true))
      << "a bare name does not match a full path";
}

// Patterns of several stars on paths of a few hundred characters made the
// regular expression engine give up with an exception.
TEST_F(FileSearchTest, ManyStarPatternsOnLongPathsDoNotThrow) {
  std::string deep;
  for (int i = 0; i < 12; ++i) deep += "folder-with-a-long-name-" + std::to_string(i) + "/";
  const std::string file = Touch(deep + "target.dat");
  ASSERT_GT(file.size(), 300u);
  Touch(deep + "other.txt");
  for (const char* pattern : {"*\\*\\*\\*.dat", "*a*a*a*a*a*a*a*.DAT", "*\\*-1*\\*-11\\*.dat",
                              "*o*l*d*e*r*-*w*i*t*h*.dat", "*?*?*?*?*?*t*a*r*g*e*t*.d?t"}) {
    Names found;
    EXPECT_NO_THROW(EXPECT_TRUE(FindFilesByPattern(found, dir_, pattern, true, true)))
        << pattern;
    EXPECT_EQ(found, Names{file}) << pattern;
  }
  for (const char* pattern : {"*a*a*a*a*a*a*a*.zip", "*\\*\\*\\*x*y*z*"}) {
    Names found;
    EXPECT_NO_THROW(EXPECT_FALSE(FindFilesInFolders(found, {dir_}, pattern, true, true, true)))
        << pattern;
  }
}

TEST_F(FileSearchTest, BracesInNamesAreLiteral) {
  Touch("run{2}.log");
  Touch("runn.log");
  Names found;
  EXPECT_TRUE(FindFilesByPattern(found, dir_, "*\\run{2}.log", false, false));
  EXPECT_EQ(found, Names{"run{2}.log"});
}

TEST_F(FileSearchTest, RecursiveSearchIsDepthFirstInNameOrder) {
  Touch("b.io");
  Touch("A.io");
  Touch("Sub/drivers.io");
  Touch("Sub/deeper/DRIVERS.IO");
  Touch("c.io");
  Touch("sub2/Drivers.io");
  Folder("empty");

  Names found;
  EXPECT_TRUE(FindFilesByPattern(found, dir_, "*.io", true, false));
  EXPECT_EQ(found, (Names{"A.io", "b.io", "c.io", "DRIVERS.IO", "drivers.io", "Drivers.io"}));

  found.clear();
  EXPECT_TRUE(FindFilesByPattern(found, dir_, "*\\DRIVERS.IO", true, true));
  EXPECT_EQ(found, (Names{dir_ + "/Sub/deeper/DRIVERS.IO", dir_ + "/Sub/drivers.io",
                          dir_ + "/sub2/Drivers.io"}));

  found.clear();
  EXPECT_FALSE(FindFilesByPattern(found, dir_, "*\\DRIVERS.IO", false, true))
      << "without recursion subfolders give nothing";
  EXPECT_TRUE(found.empty());
}

TEST_F(FileSearchTest, FolderMayBeWrittenWithBackslashes) {
  Touch("Sub/one.ini");
  Names found;
  EXPECT_TRUE(FindFilesByPattern(found, dir_ + "\\Sub", "*\\Sub\\*.ini", false, true));
  EXPECT_EQ(found, Names{dir_ + "/Sub/one.ini"});
}

TEST_F(FileSearchTest, AppendsAndReportsOnlyItsOwnFinds) {
  Touch("a.txt");
  Names found{"kept"};
  EXPECT_FALSE(FindFilesByPattern(found, dir_, "*.ini", true, true));
  EXPECT_FALSE(FindFilesByPattern(found, dir_ + "/missing", "*", true, true));
  EXPECT_FALSE(FindFilesByPattern(found, dir_ + "/a.txt/below", "*", true, true));
  EXPECT_EQ(found, Names{"kept"});
  // A file is there but cannot be listed: that is an error, not a miss.
  EXPECT_THROW(FindFilesByPattern(found, dir_ + "/a.txt", "*", true, true),
               fs::filesystem_error);
  EXPECT_EQ(found, Names{"kept"});
  EXPECT_TRUE(FindFilesByPattern(found, dir_, "*.txt", true, false));
  EXPECT_EQ(found, (Names{"kept", "a.txt"}));
}

TEST_F(FileSearchTest, LinkBackToAParentIsNotFollowed) {
  Touch("top.txt");
  Touch("sub/low.txt");
  fs::create_directory_symlink(dir_, dir_ + "/sub/loop");
  fs::create_directory_symlink(dir_ + "/sub", dir_ + "/twin");
  Names found;
  EXPECT_TRUE(FindFilesByPattern(found, dir_, "*.txt", true, true));
  // "twin" leads to a folder beside it, not above it, so it is searched.
  EXPECT_EQ(found, (Names{dir_ + "/sub/low.txt", dir_ + "/top.txt", dir_ + "/twin/low.txt"}));
}

TEST_F(FileSearchTest, UnreadableEntryThrowsAndKeepsEarlierFinds) {
  Touch("a/one.txt");
  Touch("c/two.txt");
  // A link to itself: its status cannot be read (too many levels of links).
  fs::create_symlink("b", dir_ + "/b");
  Names found;
  EXPECT_THROW(FindFilesByPattern(found, dir_, "*.txt", true, false), fs::filesystem_error);
  EXPECT_EQ(found, Names{"one.txt"});
}

TEST_F(FileSearchTest, FoldersInOrderWithOrWithoutStopping) {
  const std::string first = Folder("1");
  Touch("2/a.ini");
  Touch("2/b.ini");
  Touch("3/c.ini");
  const Names folders{first, dir_ + "/2", dir_ + "/3"};

  Names found;
  EXPECT_TRUE(FindFilesInFolders(found, folders, "*.ini", false, false, true));
  EXPECT_EQ(found, (Names{"a.ini", "b.ini"}));

  found.clear();
  EXPECT_TRUE(FindFilesInFolders(found, folders, "*.ini", false, false, false));
  EXPECT_EQ(found, (Names{"a.ini", "b.ini", "c.ini"}));

  EXPECT_FALSE(FindFilesInFolders(found, {}, "*.ini", false, false, false));
  EXPECT_FALSE(FindFilesInFolders(found, {first}, "*.ini", false, false, false));
  EXPECT_EQ(found.size(), 3u);
}

}  // namespace
