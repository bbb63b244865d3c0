#include "core/text/file_search.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

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
