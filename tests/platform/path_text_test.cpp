#include "platform/path_text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/cpu_timer.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using zor::platform::ToNativePath;
using zor::platform::ToNativeSubPath;

TEST(PathText, BackslashesReadAsSlashesUnlessANameHoldsThem) {
  EXPECT_EQ(ToNativePath(""), "");
  EXPECT_EQ(ToNativePath("/a/b.txt"), "/a/b.txt");
  EXPECT_EQ(ToNativePath("Geo\\Geoid\\Egm\\2008\\"), "Geo/Geoid/Egm/2008/");
  EXPECT_EQ(ToNativeSubPath("\\\\server\\share"), "//server/share");

  TempFolder tmp;
  const std::string root = tmp.path();
  fs::create_directories(root + "/run\\");       // a folder whose name ends in '\'
  fs::create_directories(root + "/a\\b/c");      // a name with '\' inside
  fs::create_directories(root + "/plain/x");
  // Nothing of the path exists as written: every '\' separates.
  EXPECT_EQ(ToNativePath(root + "\\plain\\x\\new"), root + "/plain/x/new");
  // The longest part that exists as written is kept.
  EXPECT_EQ(ToNativePath(root + "/run\\"), root + "/run\\");
  EXPECT_EQ(ToNativePath(root + "/run\\/Settings"), root + "/run\\/Settings");
  EXPECT_EQ(ToNativePath(root + "/a\\b\\c\\d"), root + "/a\\b/c/d");
  // A folder's trailing '\' also separates it from what follows.
  EXPECT_EQ(ToNativePath(root + "/run\\Settings\\x"), root + "/run\\/Settings/x");
  // Applying the rule twice changes nothing.
  for (const std::string& p : {root + "/run\\Settings\\x", root + "\\plain\\x", root + "/a\\b\\c"})
    EXPECT_EQ(ToNativePath(ToNativePath(p)), ToNativePath(p)) << p;

  // A symbolic link to a folder is a folder; one to a file or to nothing is not.
  fs::create_directory_symlink(root + "/plain", root + "/link\\");
  fs::create_symlink(root + "/plain/x", root + "/deep\\");
  fs::create_symlink(root + "/missing", root + "/dangling\\");
  tmp.Write("file\\", "");
  fs::create_symlink(root + "/file\\", root + "/tofile\\");
  EXPECT_EQ(ToNativePath(root + "/link\\sub"), root + "/link\\/sub");
  EXPECT_EQ(ToNativePath(root + "/deep\\sub\\y"), root + "/deep\\/sub/y");
  EXPECT_EQ(ToNativePath(root + "/dangling\\sub"), root + "/dangling\\sub");
  EXPECT_EQ(ToNativePath(root + "/tofile\\sub"), root + "/tofile\\sub");
}

// Hostile sizes: thousands of '\' in one name, thousands of short parts.
// Every answer must come without a look at the disk per '\' or per part.
TEST(PathText, ManyBackslashesStayCheap) {
  TempFolder tmp;
  const std::string root = tmp.path();
  fs::create_directories(root + "/d\\");
  // The longest name a file system takes, ending in '\', as a folder.
  const std::string longName = std::string(250, 'n') + std::string(5, '\\');
  fs::create_directories(root + "/" + longName);

  std::string parts;
  for (int i = 0; i < 60000; ++i) parts += "a\\/";
  std::string xs;
  for (int i = 0; i < 60000; ++i) xs += "\\x";
  const std::string slashes(400000, '\\');

  const ThreadCpuTimer timer;
  EXPECT_EQ(ToNativePath(root + "/" + slashes), root + "/" + ToNativeSubPath(slashes));
  EXPECT_EQ(ToNativePath(slashes), std::string(slashes.size(), '/'));
  EXPECT_EQ(ToNativePath(parts), ToNativeSubPath(parts));
  EXPECT_EQ(ToNativePath(root + "/" + parts), root + "/" + ToNativeSubPath(parts));
  EXPECT_EQ(ToNativePath(root + "/d\\" + xs), root + "/d\\" + ToNativeSubPath(xs));
  EXPECT_EQ(ToNativePath(root + "/d\\" + slashes), root + "/d\\" + ToNativeSubPath(slashes));
  EXPECT_LT(timer.Seconds(), 1.0);

  // The bound on a name's length keeps a name of exactly that length.
  EXPECT_EQ(ToNativePath(root + "/" + longName + "tail\\more"),
            root + "/" + longName + "/tail/more");
  EXPECT_EQ(ToNativePath(root + "\\" + longName + "x"), root + "/" + ToNativeSubPath(longName) + "x");
  // A folder holding '\' deep inside a path is still found behind others.
  fs::create_directories(root + "/p/q\\r/s/t");
  EXPECT_EQ(ToNativePath(root + "/p/q\\r/s/t\\u\\v"), root + "/p/q\\r/s/t/u/v");
  EXPECT_EQ(ToNativePath(root + "/p/q\\r/s/missing\\u"), root + "/p/q\\r/s/missing/u");
  EXPECT_EQ(ToNativePath(root + "/p/q\\r\\s"), root + "/p/q\\r/s");
}

}  // namespace
