#include "core/text/path_utils.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <boost/filesystem.hpp>

namespace {

namespace fs = boost::filesystem;

// A fresh folder under $ZOR_TEST_TMP (or /tmp), removed with everything in it.
class PathUtilsTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("ZOR_TEST_TMP");
    fs::path root = base && *base ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(root);
    dir_ = (root / fs::unique_path("path-utils-%%%%-%%%%")).string();
    fs::create_directory(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string dir_;
};

TEST_F(PathUtilsTest, MakeDirectoryCreatesOneLevelOnly) {
  const std::string deep = dir_ + "/missing/child";
  EXPECT_FALSE(MakeDirectory(deep));
  EXPECT_FALSE(fs::exists(dir_ + "/missing"));

  const std::string one = dir_ + "/one";
  EXPECT_TRUE(MakeDirectory(one));
  EXPECT_TRUE(IsDirectory(one));
  EXPECT_FALSE(MakeDirectory(one)) << "an existing folder is not created again";
}

TEST_F(PathUtilsTest, QueriesReadBackslashAsSeparator) {
  fs::create_directory(dir_ + "/sub");
  std::ofstream(dir_ + "/sub/file.txt") << "x";

  EXPECT_TRUE(IsDirectory(dir_ + "\\sub"));
  EXPECT_FALSE(IsDirectory(dir_ + "\\sub\\file.txt"));
  EXPECT_TRUE(PathExists(dir_ + "\\sub\\file.txt"));
  EXPECT_FALSE(PathExists(dir_ + "\\sub\\none.txt"));
  EXPECT_FALSE(IsDirectory(dir_ + "/none"));

  EXPECT_TRUE(MakeDirectory(dir_ + "\\sub\\made"));
  EXPECT_TRUE(fs::is_directory(dir_ + "/sub/made"));
  EXPECT_FALSE(fs::exists(dir_ + "/sub\\made")) << "no file named with a backslash";
}

TEST(PathParts, WindowsPathsSplitAtBackslash) {
  EXPECT_EQ(PathFileName("C:\\Logs\\run.log"), "run.log");
  EXPECT_EQ(PathParent("C:\\Logs\\run.log"), "C:\\Logs");
  EXPECT_EQ(PathWithoutExtension("C:\\Logs\\run.log"), "C:\\Logs\\run");
  EXPECT_EQ(PathFileName(PathWithoutExtension("C:\\Logs\\driver.log")), "driver");
}

TEST(PathParts, MixedSeparatorsKeepTheCallersText) {
  EXPECT_EQ(PathParent("a/b\\c/d.txt"), "a/b\\c");
  EXPECT_EQ(PathWithoutExtension("a/b\\c.d.txt"), "a/b\\c.d");
  EXPECT_EQ(PathFileName("a/b\\c.d.txt"), "c.d.txt");
}

TEST(PathParts, EdgeForms) {
  EXPECT_EQ(PathFileName("C:\\Logs\\"), ".");
  EXPECT_EQ(PathFileName("/var/log/"), ".");
  EXPECT_EQ(PathFileName(""), "");
  EXPECT_EQ(PathParent("run.log"), "");
  EXPECT_EQ(PathWithoutExtension("C:\\Logs\\run"), "C:\\Logs\\run");
  EXPECT_EQ(PathWithoutExtension("C:\\Logs.d\\run"), "C:\\Logs.d\\run")
      << "a dot in a folder name is not an extension";
}

TEST(PathParts, CurrentFolderIsTheWorkingFolder) {
  char buf[4096];
  ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
  EXPECT_EQ(CurrentFolderPath(), std::string(buf));
}

}  // namespace
