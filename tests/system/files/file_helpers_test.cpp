#include "system/files/file_helpers.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <fstream>

#include "platform/file.h"
#include "tests/support/cpu_timer.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

TEST(PathTexts, PartsWithEitherSeparator) {
  EXPECT_EQ(GetFileNameFromPath("C:\\Data\\run.log"), "run.log");
  EXPECT_EQ(GetFileNameFromPath("/data/run.log"), "run.log");
  EXPECT_EQ(GetFileNameFromPath("run.log"), "run.log");
  EXPECT_EQ(GetFolderFromPath("C:\\Data\\run.log", false), "C:\\Data\\");
  EXPECT_EQ(GetFolderFromPath("/data/x/run.log", true), "/data/x");
  EXPECT_EQ(GetFolderFromPath("file.txt", false), "");
  EXPECT_EQ(GetFileExtension("C:\\dir.old\\file"), "");
  EXPECT_EQ(RemoveFileExtension("C:\\dir.old\\file"), "C:\\dir.old\\file");
  EXPECT_EQ(GetFileExtension("/a/b.tar.gz"), "gz");
  EXPECT_EQ(RemoveFileExtension("/a/b.tar.gz"), "/a/b.tar");
  EXPECT_EQ(GetFirstWord("abc def"), "abc");
  EXPECT_EQ(GetFirstWord("abc"), "abc");

  std::string drive, folder, name, ext;
  SplitPath("C:\\Data\\run.log", drive, folder, name, ext);
  EXPECT_EQ(drive, "C:");
  EXPECT_EQ(folder, "\\Data\\");
  EXPECT_EQ(name, "run");
  EXPECT_EQ(ext, ".log");
  SplitPath("/opt/zor/drv", drive, folder, name, ext);
  EXPECT_EQ(drive, "");
  EXPECT_EQ(folder, "/opt/zor/");
  EXPECT_EQ(name, "drv");
  EXPECT_EQ(ext, "");
}

TEST(PathTexts, JoinUsesExactlyOneSeparator) {
  EXPECT_EQ(JoinPath("C:\\Data\\", "\\Sub"), "C:\\Data\\Sub");
  EXPECT_EQ(JoinPath("C:\\Data", "Sub"), "C:\\Data/Sub");
  EXPECT_EQ(JoinPath("/data/", "sub"), "/data/sub");
  EXPECT_EQ(JoinPath("/data", "/sub"), "/data/sub");
  EXPECT_EQ(JoinPath("", "\\Sub"), "\\Sub");
  EXPECT_EQ(JoinPath("/data", ""), "/data");
  EXPECT_EQ(JoinPath("/data/", "//sub"), "/data//sub");  // doubling inside is kept
}

TEST(PathTexts, AbbreviateDropsLeadingElements) {
  const std::string p = "C:\\alpha\\beta\\gamma\\file.txt";
  EXPECT_EQ(AbbreviatePath(p, p.size()), p);
  EXPECT_EQ(AbbreviatePath(p, 27), "C:\\...\\beta\\gamma\\file.txt");
  EXPECT_EQ(AbbreviatePath(p, 22), "C:\\...\\gamma\\file.txt");
  EXPECT_EQ(AbbreviatePath(p, 3), "C:\\...\\file.txt");  // nothing further to drop
  EXPECT_EQ(AbbreviatePath("nofolder.txt", 3), "nofolder.txt");
}

TEST(PathTexts, ExtensionsAndValidNames) {
  std::string p = "/a/run.log";
  ChangeFileExtension(p, "txt", false);
  EXPECT_EQ(p, "/a/run.txt");
  ChangeFileExtension(p, ".bak", true);
  EXPECT_EQ(p, "/a/run.txt");
  EXPECT_EQ(ChangeFileExtensionCopy("/a/run", ".bak", true), "/a/run.bak");
  EXPECT_EQ(ChangeFileExtensionCopy("/a/run.x", "", false), "/a/run");

  EXPECT_EQ(ReplaceExtensionInTextCopy("a.LOG b.LOG", "log", "txt"), "a.TXT b.TXT");
  EXPECT_EQ(ReplaceExtensionInTextCopy("a.log b.Log", ".LOG", ".txt"), "a.txt b.Log");
  EXPECT_EQ(ReplaceExtensionInTextCopy("none", "log", "txt"), "none");

  EXPECT_EQ(MakeValidFileName("a:b?c", false, 0), "abc");
  EXPECT_EQ(MakeValidFileName("a:b?c", true, '_'), "a_b_c");
  EXPECT_EQ(MakeValidFileName("x\\y/z&w|v\"u<t>s*", false, 0), "xyzwvuts");
  EXPECT_EQ(MakeValidPath("C:\\a:b?\\c", false, 0), "C:\\ab\\c");
  EXPECT_EQ(MakeValidPath("/a:b/c*", true, '-'), "/a-b/c-");
  EXPECT_EQ(MakeValidPath("ab:\\c", false, 0), "ab\\c");
  EXPECT_TRUE(IsValidFileName("run.log"));
  EXPECT_FALSE(IsValidFileName("a/b"));
  EXPECT_FALSE(IsValidFileName(""));
  EXPECT_TRUE(IsNotDotName("a.b"));
  EXPECT_FALSE(IsNotDotName(".hidden"));
  EXPECT_FALSE(IsNotDotName(""));
  EXPECT_TRUE(IsSameText("Drivers.IO", "DRIVERS.io"));
  EXPECT_FALSE(IsSameText("a", "ab"));
}

struct FixedPitch : zor::platform::IWindowMetrics {
  int ClientWidth() const override { return 24; }
  int TextExtent(const std::string& text) const override { return static_cast<int>(text.size()); }
};

TEST(PathTexts, CompactToWidth) {
  FixedPitch window;
  EXPECT_EQ(CompactPathToWidth("/aa/bb/cc/file.txt", window, 40), "/aa/bb/cc/file.txt");
  EXPECT_EQ(CompactPathToWidth("/aa/bb/cc/file.txt", window, 16), "/.../cc/file.txt");
  EXPECT_EQ(CompactPathToWidth("/aaaa/bbbb/cccc/file.txt", window, -1), "/.../cccc/file.txt");
  EXPECT_EQ(CompactPathToWidth("/aa/averyveryverylongname.txt", window, 10),
            "/aa/averyveryverylongname.txt");  // the name alone does not fit
  EXPECT_EQ(CompactPathToWidth("file.txt", window, 2), "file.txt");
}

TEST(FileTests, ExistsWithFolderFinderAndCurrentFolderUntouched) {
  TempFolder tmp;
  tmp.Write("DRIVERS.IO", "x");
  const std::string before = GetCurrentFolder(false);
  EXPECT_TRUE(FileExists(tmp.Path("DRIVERS.IO").c_str()));
  EXPECT_TRUE(FileExists(tmp.Path("drivers.io").c_str()));  // names compare without case
  EXPECT_TRUE(FileExists("drivers.io", tmp.path().c_str()));
  EXPECT_TRUE(FileExists(nullptr, tmp.path().c_str()));
  EXPECT_FALSE(FileExists("missing.io", tmp.path().c_str()));
  zor::platform::FileFinder finder;
  EXPECT_FALSE(FileExists(tmp.Path("DRIVERS.IO").c_str(), nullptr, &finder));  // finder needs a folder
  EXPECT_TRUE(FileExists("*.IO", tmp.path().c_str(), &finder));
  finder.FindNextFile();
  EXPECT_EQ(finder.GetFileName(), "DRIVERS.IO");
  EXPECT_FALSE(FileExists(nullptr));
  // A rooted path does not depend on the folder it is looked for in.
  const std::string other = tmp.Path("other");
  fs::create_directory(other);
  EXPECT_TRUE(FileExists(tmp.Path("DRIVERS.IO").c_str(), other.c_str()));
  EXPECT_FALSE(FileExists(tmp.Path("missing.io").c_str(), other.c_str()));
  EXPECT_EQ(GetCurrentFolder(false), before);
}

TEST(FileTests, ReadOnlyProbeLeavesNothingAndNeverTouchesExistingFiles) {
  TempFolder tmp;
  const std::string planted = tmp.Write("~1BBC170.tmp", "keep me");
  EXPECT_FALSE(IsFolderReadOnly(tmp.path().c_str()));
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
  EXPECT_EQ(fs::file_size(planted), 7u);
  EXPECT_TRUE(IsFolderReadOnly(nullptr));
  EXPECT_TRUE(IsFolderReadOnly(tmp.Path("missing").c_str()));
  if (::geteuid() != 0) {  // root writes anywhere
    ::chmod(tmp.path().c_str(), 0555);
    EXPECT_TRUE(IsFolderReadOnly(tmp.path().c_str()));
    ::chmod(tmp.path().c_str(), 0755);
  }
}

TEST(FileTests, AttributesSizesAndAccess) {
  TempFolder tmp;
  const std::string f = tmp.Write("a.bin", "12345");
  EXPECT_EQ(GetFileSize64(f), 5);
  EXPECT_EQ(GetFileSize64(tmp.Path("none")), -1);
  EXPECT_EQ(GetFileSize64(tmp.path()), -1);
  EXPECT_EQ(GetFileAttributesOf(f), 0x80u);
  EXPECT_EQ(GetFileAttributesOf(tmp.path()), 0x10u);

  EXPECT_TRUE(SetReadOnly(f, true));
  EXPECT_EQ(GetFileAttributesOf(f), 0x1u);
  EXPECT_TRUE(SetReadOnly(f, true));  // nothing to change
  EXPECT_FALSE(ClearFileAttributes(f, 0x20));
  EXPECT_TRUE(ClearFileAttributes(f, 0x1));
  EXPECT_EQ(GetFileAttributesOf(f), 0x80u);
  EXPECT_FALSE(ClearFileAttributes(tmp.Path("none"), 0x1));
  // The folder bit cannot be cleared, but asking for it with the read-only
  // bit still clears the latter.
  const std::string dir = tmp.Path("ro");
  fs::create_directory(dir);
  ASSERT_TRUE(SetReadOnly(dir, true));
  EXPECT_EQ(GetFileAttributesOf(dir), 0x11u);
  EXPECT_TRUE(ClearFileAttributes(dir, 0x11));
  EXPECT_EQ(GetFileAttributesOf(dir), 0x10u);
  EXPECT_TRUE(ClearFileAttributes(dir, 0x10));
  EXPECT_EQ(GetFileAttributesOf(dir), 0x10u);
  EXPECT_FALSE(SetReadOnly(tmp.Path("none"), true));

  EXPECT_TRUE(HasFileAccess(f, 0x80000000u));
  EXPECT_TRUE(HasFileAccess(f, 0x40000000u));
  EXPECT_FALSE(HasFileAccess(f, 0x20000000u));
  EXPECT_FALSE(HasFileAccess(tmp.Path("none"), 0));

  using zor::platform::File;
  EXPECT_TRUE(CanOpenFile(f, File::modeRead));
  EXPECT_THROW(CanOpenFile(tmp.Path("none"), File::modeRead), zor::platform::FileException);
  EXPECT_FALSE(CanOpenFile(tmp.path(), File::modeRead));  // a folder: access denied
  // Held by a writer that denies writing: a reader sharing it opens, a
  // second writer meets a sharing violation, and the size (no access to
  // the data) is read as ever.
  File writer;
  ASSERT_TRUE(writer.Open(f, File::modeReadWrite | File::shareDenyWrite));
  EXPECT_TRUE(CanOpenFile(f, File::modeRead | File::shareDenyNone));
  EXPECT_FALSE(CanOpenFile(f, File::modeWrite | File::shareDenyNone));
  EXPECT_EQ(GetFileSize64(f), 5);
}

TEST(Folders, CreateTreeAbsoluteRelativeAndMissingDrive) {
  TempFolder tmp;
  const std::string deep = tmp.Path("a/b/c");
  EXPECT_TRUE(CreateFolderTree(deep));
  EXPECT_TRUE(IsExistingFolder(deep));
  EXPECT_TRUE(CreateFolderTree(deep));
  EXPECT_TRUE(CreateFolderTree(tmp.Path("x\\y")));  // either separator
  EXPECT_TRUE(IsExistingFolder(tmp.Path("x/y")));

  const std::string cwd = GetCurrentFolder(false);
  SetCurrentFolder(tmp.path().c_str());
  EXPECT_TRUE(CreateFolderTree("rel/one"));
  EXPECT_TRUE(IsExistingFolder(tmp.Path("rel/one")));
  EXPECT_FALSE(CreateFolderTree("Q:\\nowhere\\x"));
  EXPECT_FALSE(fs::exists(tmp.Path("Q:")));
  SetCurrentFolder(cwd.c_str());
  EXPECT_FALSE(CreateFolderTree(""));

  EXPECT_FALSE(CreateFolderTreeUnc("//server-that-is-not/share/x"));
  const std::string share = tmp.Path("srv/share");
  fs::create_directories(share);
  EXPECT_TRUE(CreateFolderTreeUnc("/" + tmp.Path("srv/share/new/deeper")));
}

TEST(Folders, CanCreateFileRemovesWhatItCreated) {
  TempFolder tmp;
  EXPECT_TRUE(CanCreateFile(tmp.Path("p/q/r.txt")));
  EXPECT_FALSE(fs::exists(tmp.Path("p")));
  const std::string existing = tmp.Write("e.txt", "1");
  EXPECT_TRUE(CanCreateFile(existing));
  EXPECT_TRUE(fs::exists(existing));
}

// A folder whose own name ends in '\' is one level of the tree, not a
// missing folder without the '\'; and paths of thousands of levels cost a
// walk, not a conversion per level.
TEST(Folders, TreesAreWalkedInTheirLinuxFormOnce) {
  TempFolder tmp;
  fs::create_directories(tmp.Path("run\\"));
  ASSERT_TRUE(CreateFolderTree(tmp.Path("run\\Settings\\x")));
  EXPECT_TRUE(fs::is_directory(tmp.Path("run\\/Settings/x")));
  EXPECT_FALSE(fs::exists(tmp.Path("run")));  // no stray folder beside it
  EXPECT_TRUE(CanCreateFile(tmp.Path("run\\New\\f.txt")));
  EXPECT_FALSE(fs::exists(tmp.Path("run\\/New")));
  EXPECT_FALSE(fs::exists(tmp.Path("run")));

  std::string deep = tmp.path();
  for (int i = 0; i < 20000; ++i) deep += "\\a";
  const ThreadCpuTimer timer;
  EXPECT_FALSE(CreateFolderTree(deep));  // longer than any call takes
  EXPECT_FALSE(CreateFolderTreeUnc(deep));
  EXPECT_FALSE(CanCreateFile(deep + "\\f.txt"));
  const std::string many = "C:" + std::string(200000, '\\') + "file.txt";
  EXPECT_EQ(AbbreviatePath(many, 10), "C:\\...\\file.txt");
  EXPECT_LT(timer.Seconds(), 1.0);
  EXPECT_FALSE(fs::exists(tmp.Path("a")));
}

TEST(Folders, EmptyFolderRemovesLinksNotTheirTargets) {
  TempFolder tmp;
  tmp.Write("victim/a.txt", "1");
  tmp.Write("victim/sub/b.txt", "2");
  tmp.Write("outside/keep.txt", "3");
  fs::create_directory_symlink(tmp.Path("outside"), tmp.Path("victim/link"));
  fs::create_directory_symlink(tmp.Path("victim"), tmp.Path("victim/sub/cycle"));
  EmptyFolder(tmp.Path("victim"));
  EXPECT_TRUE(fs::is_empty(tmp.Path("victim")));
  EXPECT_TRUE(fs::exists(tmp.Path("outside/keep.txt")));
}

TEST(Folders, SearchesAreSortedDepthFirstAndSurviveCycles) {
  TempFolder tmp;
  tmp.Write("B.io", "");
  tmp.Write("a.io", "");
  tmp.Write("c.txt", "");
  tmp.Write("sub2/z.io", "");
  tmp.Write("Sub1/y.io", "");
  tmp.Write("Sub1/inner/x.io", "");
  fs::create_directory_symlink(tmp.path(), tmp.Path("Sub1/loop"));

  std::vector<std::string> out = {"stale"};
  EXPECT_TRUE(FindSubFolders(out, tmp.path(), "*.*", true, false));
  EXPECT_EQ(out, (std::vector<std::string>{"Sub1", "inner", "sub2"}));
  EXPECT_TRUE(FindFilesInFolderTree(out, tmp.path(), "*.io", true, false));
  EXPECT_EQ(out, (std::vector<std::string>{"a.io", "B.io", "y.io", "x.io", "z.io"}));
  EXPECT_TRUE(FindSubFolders(out, tmp.Path("Sub1"), "*", false, false));
  EXPECT_EQ(out, (std::vector<std::string>{"inner", "loop"}));  // listed, not followed
  EXPECT_TRUE(FindFilesInFolderTree(out, tmp.path(), "*.IO", false, true));
  EXPECT_EQ(out, (std::vector<std::string>{tmp.Path("a.io"), tmp.Path("B.io")}));
  EXPECT_FALSE(FindFilesInFolderTree(out, tmp.path(), "*.none", true, true));
  EXPECT_EQ(FindFirstFileInFolder(tmp.path(), "*.*"), tmp.Path("a.io"));
  EXPECT_EQ(FindFirstFileInFolder(tmp.path(), "?.txt"), tmp.Path("c.txt"));
  EXPECT_EQ(FindFirstFileInFolder(tmp.path(), "Sub*"), "");
}

TEST(Folders, CopyContentsRecursiveAndIntoItself) {
  TempFolder tmp;
  tmp.Write("src/a.txt", "a");
  tmp.Write("src/d/b.txt", "b");
  fs::create_directory(tmp.Path("dst"));
  EXPECT_TRUE(CopyFolderContents(tmp.Path("src"), tmp.Path("dst"), true));
  EXPECT_TRUE(fs::exists(tmp.Path("dst/d/b.txt")));

  // Copying a folder into a sub-folder of itself must end.
  EXPECT_TRUE(CopyFolderContents(tmp.Path("src"), tmp.Path("src/d"), true));
  EXPECT_TRUE(fs::exists(tmp.Path("src/d/a.txt")));
  EXPECT_FALSE(fs::exists(tmp.Path("src/d/d")));

  // Without recursion a link to a folder is left out like a folder; a link
  // to a file is copied as the file's contents.
  tmp.Write("links/target/t.txt", "t");
  tmp.Write("links/file.txt", "content");
  fs::create_directory_symlink(tmp.Path("links/target"), tmp.Path("links/dirlink"));
  fs::create_symlink(tmp.Path("links/file.txt"), tmp.Path("links/filelink"));
  fs::create_directory(tmp.Path("flat"));
  EXPECT_TRUE(CopyFolderContents(tmp.Path("links"), tmp.Path("flat"), false));
  EXPECT_FALSE(fs::exists(fs::symlink_status(tmp.Path("flat/dirlink"))));
  EXPECT_FALSE(fs::exists(tmp.Path("flat/target")));
  EXPECT_FALSE(fs::is_symlink(tmp.Path("flat/filelink")));
  EXPECT_EQ(fs::file_size(tmp.Path("flat/filelink")), 7u);
  // With recursion a link to a folder stays a link and is not followed.
  fs::create_directory(tmp.Path("deep"));
  EXPECT_TRUE(CopyFolderContents(tmp.Path("links"), tmp.Path("deep"), true));
  EXPECT_TRUE(fs::is_symlink(tmp.Path("deep/dirlink")));
  EXPECT_TRUE(fs::exists(tmp.Path("deep/target/t.txt")));

  std::string failure;
  EXPECT_FALSE(CopyFolderContents(tmp.Path("src"), tmp.Path("missing"), false, true, failure));
  EXPECT_EQ(failure, tmp.Path("src/a.txt"));
}

TEST(Folders, RelativePaths) {
  std::string out = "stale";
  EXPECT_TRUE(MakeRelativePath("/data/project", "/data/project/sub/f.txt", out));
  EXPECT_EQ(out, "./sub/f.txt");
  EXPECT_TRUE(MakeRelativePath("/data/project/p.zdb", "/data/other/f.txt", out));
  EXPECT_EQ(out, "../other/f.txt");
  EXPECT_TRUE(MakeRelativePath("/a/b", "/c/d", out));
  EXPECT_EQ(out, "../../c/d");
  EXPECT_FALSE(MakeRelativePath("rel/a", "/abs/b", out));
  EXPECT_EQ(out, "");
}

TEST(Folders, ShellFoldersFollowTheirOverrides) {
  TempFolder tmp;
  ::setenv("ZOR_LOCAL_APPDATA_DIR", tmp.Path("local").c_str(), 1);
  ::setenv("ZOR_DOCUMENTS_DIR", tmp.Path("docs").c_str(), 1);
  std::string out = "unchanged";
  EXPECT_FALSE(GetShellFolder(28, "Zor/CrashDumps", out, false));
  EXPECT_TRUE(GetShellFolder(28, "Zor/CrashDumps", out, true));
  EXPECT_EQ(out, tmp.Path("local/Zor/CrashDumps"));
  EXPECT_TRUE(IsExistingFolder(out));
  EXPECT_FALSE(GetShellFolder(9999, "x", out, true));
  EXPECT_EQ(out, tmp.Path("local/Zor/CrashDumps"));
  EXPECT_EQ(GetLocalAppDataFolder(true), tmp.Path("local/Zor"));
  EXPECT_EQ(GetMyDocumentsFolder(), tmp.Path("docs"));
  EXPECT_FALSE(IsExistingFolder(tmp.Path("docs")));  // asked without creating

  const std::string victim = tmp.Write("gone.txt", "x");
  EXPECT_TRUE(MoveToRecycleBin(victim));
  EXPECT_FALSE(fs::exists(victim));
  EXPECT_TRUE(fs::exists(tmp.Path("local/Trash/files/gone.txt")));
  EXPECT_TRUE(fs::exists(tmp.Path("local/Trash/info/gone.txt.trashinfo")));
  tmp.Write("gone.txt", "again");
  EXPECT_TRUE(MoveToRecycleBin(victim));
  EXPECT_TRUE(fs::exists(tmp.Path("local/Trash/files/gone.txt.1")));
  EXPECT_FALSE(MoveToRecycleBin(tmp.Path("never.txt")));
  ::unsetenv("ZOR_LOCAL_APPDATA_DIR");
  ::unsetenv("ZOR_DOCUMENTS_DIR");
  EXPECT_EQ(GetTempFolder().back(), '/');
}

// A set-user-id root program that makes its user's folders (the local
// application data tree, the maker's folder in it) makes them as that user,
// and makes nothing where the user could not.
TEST(Folders, ASetUserIdRootProgramMakesItsUsersFoldersAsTheUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  constexpr uid_t kNobody = 65534;
  TempFolder tmp(kEveryUsersRoot);
  ASSERT_EQ(::chmod(tmp.path().c_str(), 0755), 0);
  const std::string home = tmp.Path("home"), rootOnly = tmp.Path("root-only");
  ASSERT_EQ(::mkdir(home.c_str(), 0755), 0);
  ASSERT_EQ(::chown(home.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::mkdir(rootOnly.c_str(), 0755), 0);
  const auto as = [&](const std::string& local) {
    const pid_t child = ::fork();
    if (child == 0) {
      if (::setresgid(kNobody, kNobody, kNobody) != 0 || ::setresuid(kNobody, 0, 0) != 0)
        ::_exit(77);
      ::setenv("ZOR_LOCAL_APPDATA_DIR", local.c_str(), 1);
      std::string out;
      const bool made = GetShellFolder(28, "Zor/CrashDumps", out, true);
      ::_exit(made && !GetLocalAppDataFolder(true).empty() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  };
  const int made = as(home + "/.local/share");
  if (made == 77) GTEST_SKIP() << "cannot run as user 65534 here";
  EXPECT_EQ(made, 0);
  for (const char* part : {"/.local", "/.local/share", "/.local/share/Zor",
                           "/.local/share/Zor/CrashDumps"}) {
    struct stat st {};
    ASSERT_EQ(::lstat((home + part).c_str(), &st), 0) << part;
    EXPECT_EQ(st.st_uid, kNobody) << part;
  }
  EXPECT_EQ(as(rootOnly + "/local"), 1);
  EXPECT_TRUE(fs::is_empty(rootOnly));
}

// The home trash under a temporary local application data folder.
class RecycleBin : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("ZOR_LOCAL_APPDATA_DIR", tmp.Path("local").c_str(), 1); }
  void TearDown() override { ::unsetenv("ZOR_LOCAL_APPDATA_DIR"); }
  std::string Trashed(const std::string& name) const { return tmp.Path("local/Trash/files/" + name); }
  std::string Info(const std::string& name) const {
    std::ifstream in(tmp.Path("local/Trash/info/" + name + ".trashinfo"));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Whether /dev/shm lies on another file system than the test folder.
  bool ShmIsAnotherFileSystem() const {
    struct stat shm {};
    struct stat here {};
    return ::stat("/dev/shm", &shm) == 0 && ::stat(tmp.path().c_str(), &here) == 0 &&
           shm.st_dev != here.st_dev;
  }
  TempFolder tmp{kEveryUsersRoot};  // some of these tests hand it to another user
};

TEST_F(RecycleBin, AFolderNamedWithATrailingSeparatorIsTrashedWhole) {
  for (const std::string end : {"/", "\\", "//", "/./"}) {
    fs::create_directories(tmp.Path("data/run"));
    tmp.Write("data/run/a.txt", "x");
    ASSERT_TRUE(MoveToRecycleBin(tmp.Path("data/run") + end)) << end;
    EXPECT_FALSE(fs::exists(tmp.Path("data/run"))) << end;
    EXPECT_TRUE(fs::exists(tmp.Path("data")));
  }
  EXPECT_TRUE(fs::exists(Trashed("run/a.txt")));
  EXPECT_TRUE(fs::exists(Trashed("run.3/a.txt")));
  EXPECT_NE(Info("run").find("Path=" + tmp.Path("data/run") + "\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(tmp.Path("local/Trash/info/.trashinfo")));
  // A path that names no entry of its own is refused.
  EXPECT_FALSE(MoveToRecycleBin("/"));
  EXPECT_FALSE(MoveToRecycleBin(tmp.Path("data") + "/.."));
  EXPECT_TRUE(fs::exists(tmp.Path("data")));
}

TEST_F(RecycleBin, NamesAsLongAsTheFileSystemTakesAreTrashed) {
  // 255 bytes, the last characters two bytes each: the trash name is cut at
  // a character boundary and the info file keeps the whole path.
  const std::string longName = std::string(239, 'n') + std::string(8, 'x') + "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
  ASSERT_EQ(longName.size(), 255u);
  for (int round = 0; round < 2; ++round) {
    tmp.Write(longName, "data");
    ASSERT_TRUE(MoveToRecycleBin(tmp.Path(longName))) << round;
    EXPECT_FALSE(fs::exists(tmp.Path(longName)));
  }
  int trashed = 0;
  for (const auto& e : fs::directory_iterator(tmp.Path("local/Trash/files"))) {
    const std::string name = e.path().filename().string();
    EXPECT_EQ(name.rfind(std::string(239, 'n'), 0), 0u) << name;
    const std::string info = Info(name);
    EXPECT_NE(info.find("nnnnnnnnxxxxxxxx%C3%A9%C3%A9%C3%A9%C3%A9\n"), std::string::npos) << info;
    ++trashed;
  }
  EXPECT_EQ(trashed, 2);
}

// A trash folder that another user made in a shared top folder is not used:
// what the user throws away goes to the home trash instead. Needs root to
// play both users; the trash name is that of an otherwise unused uid.
TEST_F(RecycleBin, AnotherUsersTrashFolderIsNeverUsed) {
  if (::geteuid() != 0 || !ShmIsAnotherFileSystem())
    GTEST_SKIP() << "needs root and a second file system at /dev/shm";
  const uid_t user = 47000 + static_cast<uid_t>(::getpid() % 1000);
  const uid_t other = user + 1000;
  const fs::path foreign = "/dev/shm/.Trash-" + std::to_string(user);
  const fs::path folder = "/dev/shm/zor-trash-owner-" + std::to_string(::getpid());
  fs::remove_all(foreign);
  for (const fs::path& f : {foreign, foreign / "files", foreign / "info"}) {
    fs::create_directories(f);
    ASSERT_EQ(::chown(f.c_str(), other, other), 0);
    ::chmod(f.c_str(), 0777);
  }
  fs::create_directories(folder);
  std::ofstream(folder / "line.txt") << "data";
  fs::create_directories(tmp.Path("local"));
  for (const std::string& p : {tmp.path(), tmp.Path("local"), folder.string(), (folder / "line.txt").string()})
    ASSERT_EQ(::chown(p.c_str(), user, user), 0);

  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(user) != 0 || ::setuid(user) != 0) ::_exit(2);
    ::_exit(MoveToRecycleBin((folder / "line.txt").string()) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(fs::exists(folder / "line.txt"));
  EXPECT_TRUE(fs::is_empty(foreign / "files"));
  EXPECT_TRUE(fs::exists(Trashed("line.txt")));
  fs::remove_all(foreign);
  fs::remove_all(folder);
}

// One file system mounted twice: the device is the same, yet rename refuses
// to cross the mounts, and the entry is copied into the trash instead.
TEST_F(RecycleBin, ASecondMountOfTheSameDeviceIsCopiedAcross) {
  fs::create_directories(tmp.Path("src"));
  fs::create_directories(tmp.Path("mnt"));
  fs::create_directories(tmp.Path("local"));
  tmp.Write("src/line.txt", "data");
  const pid_t child = ::fork();
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(tmp.Path("src").c_str(), tmp.Path("mnt").c_str(), nullptr, MS_BIND, nullptr) != 0)
      ::_exit(77);
    tmp.Write("src/probe", "");
    if (::rename(tmp.Path("mnt/probe").c_str(), tmp.Path("probe").c_str()) == 0 || errno != EXDEV)
      ::_exit(77);
    ::_exit(MoveToRecycleBin(tmp.Path("mnt/line.txt")) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "needs CAP_SYS_ADMIN for a bind mount in a mount namespace of its own";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(fs::exists(tmp.Path("src/line.txt")));
  EXPECT_TRUE(fs::exists(Trashed("line.txt")));
  EXPECT_NE(Info("line.txt").find("Path=" + tmp.Path("mnt/line.txt") + "\n"), std::string::npos);
}

// Copied across file systems, a folder whose contents can be removed but not
// the folder itself (its parent is read-only) loses nothing: what left the
// source is in the trash. Needs root to play a user bound by the modes.
TEST_F(RecycleBin, AFolderThatCannotBeRemovedWholeLosesNothing) {
  if (::geteuid() != 0 || !ShmIsAnotherFileSystem())
    GTEST_SKIP() << "needs root and a second file system at /dev/shm";
  const uid_t user = 49000 + static_cast<uid_t>(::getpid() % 1000);
  // That file system's trash cannot be made: the entry is copied home.
  const fs::path blocked = "/dev/shm/.Trash-" + std::to_string(user);
  std::ofstream(blocked) << "not a folder";
  const fs::path folder = "/dev/shm/zor-trash-part-" + std::to_string(::getpid());
  const fs::path survey = folder / "survey";
  fs::create_directories(survey / "sub");
  const std::vector<std::string> names = {"a.txt", "b.txt", "sub/c.txt"};
  for (const std::string& name : names) std::ofstream(survey / name) << name;
  fs::create_directories(tmp.Path("local"));
  std::vector<std::string> owned = {tmp.path(), tmp.Path("local"), folder.string(),
                                    survey.string(), (survey / "sub").string()};
  for (const std::string& name : names) owned.push_back((survey / name).string());
  for (const std::string& p : owned) ASSERT_EQ(::chown(p.c_str(), user, user), 0);
  ::chmod(folder.c_str(), 0555);

  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(user) != 0 || ::setuid(user) != 0) ::_exit(2);
    ::_exit(MoveToRecycleBin(survey.string()) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;  // it could not all go
  for (const std::string& name : names)
    EXPECT_TRUE(fs::exists(survey / name) || fs::exists(Trashed("survey/" + name))) << name;
  fs::remove(blocked);
  ::chmod(folder.c_str(), 0755);
  fs::remove_all(folder);
}

TEST_F(RecycleBin, AnotherFileSystemUsesItsOwnTrash) {
  // /dev/shm is a file system of its own on the machines the suite runs on.
  if (!ShmIsAnotherFileSystem() || ::access("/dev/shm", W_OK) != 0)
    GTEST_SKIP() << "no second writable file system at /dev/shm";
  const fs::path folder = fs::path("/dev/shm") / ("zor-trash-test-" + std::to_string(::getpid()));
  fs::create_directories(folder / "survey");
  std::ofstream(folder / "survey" / "line.txt") << "data";
  const fs::path top = "/dev/shm";
  const fs::path topTrash = top / (".Trash-" + std::to_string(::getuid()));
  const bool hadTrash = fs::exists(topTrash);

  ASSERT_TRUE(MoveToRecycleBin((folder / "survey").string() + "\\"));
  EXPECT_FALSE(fs::exists(folder / "survey"));
  const std::string name = "survey";
  fs::path moved;
  for (const auto& entry : fs::directory_iterator(topTrash / "files"))
    if (entry.path().filename().string().rfind(name, 0) == 0 &&
        fs::exists(entry.path() / "line.txt"))
      moved = entry.path();
  EXPECT_FALSE(moved.empty());
  EXPECT_FALSE(fs::exists(Trashed("survey")));  // not copied into the home trash
  if (!moved.empty()) {
    std::ifstream in(topTrash / "info" / (moved.filename().string() + ".trashinfo"));
    const std::string info((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Relative to the top of its file system, as the freedesktop rules ask.
    EXPECT_NE(info.find("Path=" + (folder / "survey").lexically_relative(top).string() + "\n"),
              std::string::npos);
    fs::remove_all(moved);
    fs::remove(topTrash / "info" / (moved.filename().string() + ".trashinfo"));
  }
  fs::remove_all(folder);
  if (!hadTrash) fs::remove_all(topTrash);
}

}  // namespace
