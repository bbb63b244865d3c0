#include "platform/safe_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/in_child.h"
#include "tests/support/temp_folder.h"

namespace zor::platform {
namespace {

constexpr uid_t kNobody = 65534;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int Errno(int result) { return result < 0 ? errno : 0; }

// What an attacker leaves under a name the library is about to make: an
// old file, and a link to someone's private file. Neither is ever written.
TEST(SafeFiles, CreateFreshNeverWritesAnOldFileOrALink) {
  TempFolder tmp;
  const std::string victim = tmp.Write("victim", "secret");
  ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
  const std::string link = tmp.Path("link"), dangling = tmp.Path("dangling");
  ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
  ASSERT_EQ(::symlink(tmp.Path("nowhere").c_str(), dangling.c_str()), 0);

  EXPECT_EQ(Errno(CreateFresh(victim.c_str(), O_WRONLY, 0600)), EEXIST);
  EXPECT_EQ(Errno(CreateFresh(link.c_str(), O_WRONLY, 0600)), EEXIST);
  EXPECT_EQ(Errno(CreateFresh(dangling.c_str(), O_WRONLY, 0600)), EEXIST);
  EXPECT_FALSE(std::filesystem::exists(tmp.Path("nowhere")));
  EXPECT_EQ(Slurp(victim), "secret");

  UniqueFd fresh(CreateFresh(tmp.Path("new").c_str(), O_WRONLY, 0600));
  ASSERT_TRUE(fresh);
  EXPECT_EQ(::write(fresh.get(), "x", 1), 1);
  EXPECT_EQ(fresh.Close(), 0);
  EXPECT_FALSE(fresh);
  EXPECT_EQ(Slurp(tmp.Path("new")), "x");
}

// An open of an existing name takes a regular file and nothing else, never
// follows a last link, and never waits on a FIFO that has no other end.
TEST(SafeFiles, OpenExistingTakesOnlyARegularFileAndNeverWaits) {
  TempFolder tmp;
  const std::string file = tmp.Write("file", "data");
  const std::string link = tmp.Path("link"), fifo = tmp.Path("fifo");
  ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  EXPECT_EQ(Errno(OpenExisting(link.c_str(), O_RDONLY)), ELOOP);
  EXPECT_EQ(Errno(OpenExisting(fifo.c_str(), O_RDONLY)), ENXIO);  // returns at once
  EXPECT_EQ(Errno(OpenExisting(fifo.c_str(), O_WRONLY)), ENXIO);
  EXPECT_EQ(Errno(OpenExisting(tmp.path().c_str(), O_RDONLY)), EISDIR);
  EXPECT_EQ(Errno(OpenExisting("/dev/null", O_RDONLY)), ENXIO);
  EXPECT_EQ(Errno(OpenExisting(tmp.Path("none").c_str(), O_RDONLY)), ENOENT);
  EXPECT_EQ(Errno(OpenExisting(file.c_str(), O_RDWR | O_TRUNC)), EINVAL);
  EXPECT_EQ(Errno(OpenExisting(file.c_str(), O_RDWR | O_CREAT)), EINVAL);
  EXPECT_EQ(Slurp(file), "data");

  const UniqueFd device(OpenExisting("/dev/null", O_RDONLY, true));
  EXPECT_TRUE(device);
  const UniqueFd fd(OpenExisting(file.c_str(), O_RDONLY));
  ASSERT_TRUE(fd);
  EXPECT_EQ(::fcntl(fd.get(), F_GETFL) & O_NONBLOCK, 0);  // blocks again once open
  char buf[8] = {};
  EXPECT_EQ(::read(fd.get(), buf, sizeof buf), 4);
}

TEST(SafeFiles, MakePrivateFoldersMakesUserFoldersAndRefusesOthers) {
  TempFolder tmp;
  const mode_t mask = ::umask(0);  // a careless umask gives no loose folder
  const std::string deep = tmp.Path("a//b/c/");
  EXPECT_EQ(MakePrivateFolders(deep), 0);
  for (const char* part : {"a", "a/b", "a/b/c"}) {
    struct stat st {};
    ASSERT_EQ(::lstat(tmp.Path(part).c_str(), &st), 0) << part;
    EXPECT_TRUE(S_ISDIR(st.st_mode)) << part;
    EXPECT_EQ(st.st_mode & 07777, 0700u) << part;
  }
  ::umask(mask);
  EXPECT_EQ(MakePrivateFolders(deep), 0);  // again: nothing to do
  ASSERT_EQ(::chmod(tmp.Path("a/b/c").c_str(), 0777), 0);  // left loose by an earlier build
  EXPECT_EQ(MakePrivateFolders(deep), 0);
  struct stat tightened {};
  ASSERT_EQ(::stat(tmp.Path("a/b/c").c_str(), &tightened), 0);
  EXPECT_EQ(tightened.st_mode & 07777, 0755u);

  const std::string link = tmp.Path("link");
  ASSERT_EQ(::symlink(tmp.Path("a").c_str(), link.c_str()), 0);
  EXPECT_EQ(MakePrivateFolders(link), ENOTDIR);
  EXPECT_EQ(MakePrivateFolders(tmp.Write("file", "") + "/below"), ENOTDIR);
  EXPECT_EQ(MakePrivateFolders(std::string()), ENOENT);

  char buffer[4096];
  const std::string made = tmp.Path("x/y");
  std::snprintf(buffer, sizeof buffer, "%s", made.c_str());
  EXPECT_EQ(MakePrivateFolders(buffer), 0);
  EXPECT_EQ(std::string(buffer), made);  // given back as it came

  if (::geteuid() != 0) return;
  const std::string others = tmp.Path("others");
  ASSERT_EQ(::mkdir(others.c_str(), 0700), 0);
  ASSERT_EQ(::chown(others.c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(MakePrivateFolders(others), EPERM);
}

// The target is replaced whole or not at all, a link under its name is
// replaced rather than followed, and a writer that gives up leaves nothing.
TEST(SafeFiles, TemporaryFileReplacesTheTargetWholeOrNotAtAll) {
  TempFolder tmp;
  const std::string target = tmp.Write("settings", "old");
  {
    TemporaryFile next;
    ASSERT_EQ(next.Create(target, 0600), 0);
    EXPECT_EQ(next.path().rfind(target + ".", 0), 0u);
    EXPECT_EQ(::write(next.fd(), "half", 4), 4);
  }  // given up: not committed
  EXPECT_EQ(Slurp(target), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 1);

  TemporaryFile next;
  ASSERT_EQ(next.Create(target, 0600), 0);
  EXPECT_EQ(::write(next.fd(), "new", 3), 3);
  EXPECT_EQ(next.Commit(), 0);
  EXPECT_EQ(Slurp(target), "new");
  EXPECT_EQ(next.Commit(), EBADF);  // once
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 1);

  const std::string victim = tmp.Write("victim", "secret");
  const std::string link = tmp.Path("link");
  ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
  TemporaryFile over;
  ASSERT_EQ(over.Create(link, 0600), 0);
  EXPECT_EQ(::write(over.fd(), "mine", 4), 4);
  EXPECT_EQ(over.Commit(), 0);
  EXPECT_EQ(Slurp(victim), "secret");
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));

  TemporaryFile nowhere;
  EXPECT_EQ(nowhere.Create(tmp.Path("missing/file"), 0600), ENOENT);
  EXPECT_EQ(nowhere.Commit(), EBADF);
}

// A lock that another open of the file holds is given up on after the
// bound instead of waited for without end; a free one is taken at once. The
// alarm only bounds a hang.
TEST(SafeFiles, ALockHeldByAnotherIsWaitedForWithinTheBound) {
  TempFolder tmp;
  const std::string path = tmp.Write("lock", "");
  const UniqueFd holder(::open(path.c_str(), O_RDONLY));
  const UniqueFd waiter(::open(path.c_str(), O_RDONLY));
  ASSERT_TRUE(holder && waiter);
  ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
  EXPECT_EQ(InChild([&] {
              ::alarm(30);
              return LockExclusiveBounded(waiter.get()) == EWOULDBLOCK ? 0 : 1;
            }),
            0);
  ASSERT_EQ(::flock(holder.get(), LOCK_UN), 0);
  EXPECT_EQ(LockExclusiveBounded(waiter.get()), 0);
  EXPECT_EQ(LockExclusiveBounded(-1), EBADF);
}

// A set-user-id root program, and a set-group-id program of a group the
// user is not in, make and open files with the user's rights only: what the
// user could not make is not made, and what is made is the user's.
TEST(SafeFiles, BorrowedIdsAreNeverUsedForFiles) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  TempFolder tmp(kEveryUsersRoot);
  ASSERT_EQ(::chmod(tmp.path().c_str(), 0755), 0);
  const std::string rootOnly = tmp.Path("root-only"), groupOnly = tmp.Path("group-only");
  const std::string open = tmp.Path("open"), secret = tmp.Write("secret", "root's");
  ASSERT_EQ(::mkdir(rootOnly.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(groupOnly.c_str(), 0770), 0);
  ASSERT_EQ(::chmod(groupOnly.c_str(), 0770), 0);  // root's group may write
  ASSERT_EQ(::mkdir(open.c_str(), 01777), 0);
  ASSERT_EQ(::chmod(open.c_str(), 01777), 0);
  ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);

  const auto run = [&](bool setGroup, auto body) {
    return InChild([&] {
      // A program's supplementary groups are its user's, not root's.
      if (::setgroups(0, nullptr) != 0) return 77;
      if (::setresgid(kNobody, setGroup ? 0 : kNobody, setGroup ? 0 : kNobody) != 0) return 77;
      if (::setresuid(kNobody, setGroup ? kNobody : 0, setGroup ? kNobody : 0) != 0) return 77;
      return body();
    });
  };
  for (const bool setGroup : {false, true}) {
    SCOPED_TRACE(setGroup ? "set-group-id" : "set-user-id root");
    const std::string where = setGroup ? groupOnly : rootOnly;
    const int child = run(setGroup, [&] {
      if (RunsWithBorrowedIds() != true) return 1;
      if (Errno(CreateFresh((where + "/f").c_str(), O_WRONLY, 0600)) != EACCES) return 2;
      if (MakePrivateFolders(where + "/d/e") != EACCES) return 3;
      if (Errno(OpenExisting(secret.c_str(), O_RDONLY)) != EACCES) return 4;
      TemporaryFile t;
      if (t.Create(where + "/t", 0600) != EACCES) return 5;
      const int fd = CreateFresh((open + "/mine").c_str(), O_WRONLY, 0600);
      if (fd < 0) return 6;
      ::close(fd);
      return MakePrivateFolders(open + "/dir") == 0 ? 0 : 7;
    });
    if (child == 77) GTEST_SKIP() << "cannot run as user 65534 here";
    EXPECT_EQ(child, 0);
    EXPECT_TRUE(std::filesystem::is_empty(where));
    for (const char* name : {"/mine", "/dir"}) {
      struct stat st {};
      ASSERT_EQ(::lstat((open + name).c_str(), &st), 0) << name;
      EXPECT_EQ(st.st_uid, kNobody) << name;
      EXPECT_EQ(st.st_gid, kNobody) << name;
    }
    std::filesystem::remove_all(open + "/mine");
    std::filesystem::remove_all(open + "/dir");
  }
  EXPECT_EQ(Slurp(secret), "root's");
  EXPECT_FALSE(RunsWithBorrowedIds());
}

}  // namespace
}  // namespace zor::platform
