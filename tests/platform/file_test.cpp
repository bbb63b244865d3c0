#include "platform/file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <fstream>
#include <string>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "platform/error_text.h"
#include "platform/file_find.h"
#include "tests/support/in_child.h"
#include "tests/support/temp_folder.h"

namespace zor::platform {
namespace {

TEST(File, OpenModesReadWriteSeekAndLength) {
  TempFolder tmp;
  const std::string path = tmp.Path("f.bin");
  File f;
  FileException error;
  EXPECT_FALSE(f.Open(path, File::modeRead, &error));
  EXPECT_EQ(error.m_cause, FileException::fileNotFound);
  EXPECT_EQ(error.m_strFileName, path);

  ASSERT_TRUE(f.Open(path, File::modeCreate | File::modeReadWrite | File::shareExclusive));
  f.Write("abcdef", 6);
  EXPECT_EQ(f.GetLength(), 6u);
  EXPECT_EQ(f.GetPosition(), 6u);
  f.SeekToBegin();
  char buf[10] = {};
  EXPECT_EQ(f.Read(buf, 10), 6u);  // short read at the end, no exception
  EXPECT_EQ(std::string(buf, 6), "abcdef");
  EXPECT_EQ(f.Read(buf, 1), 0u);
  EXPECT_EQ(f.Seek(-2, File::end), 4u);
  f.SetLength(uint64_t{5} << 32);  // positions and lengths are 64-bit
  EXPECT_EQ(f.GetLength(), uint64_t{5} << 32);
  EXPECT_EQ(f.Seek(int64_t{1} << 33, File::begin), uint64_t{1} << 33);
  // The holes around one byte at 8 GiB: skipped where the file system
  // keeps them (asked here directly), never past data, and the position
  // stays.
  f.Write("x", 1);
  const uint64_t x = uint64_t{1} << 33;
  EXPECT_EQ(f.NextDataOffset(2), 2u);
  const int raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(raw, 0);
  const bool keepsHoles = ::lseek(raw, 0, SEEK_HOLE) < static_cast<off_t>(x);
  ::close(raw);
  for (const auto& [from, holeEnd] : {std::pair{uint64_t{1} << 20, x},
                                      std::pair{x + (1 << 20), uint64_t{5} << 32}}) {
    EXPECT_EQ(f.NextDataOffset(from), keepsHoles ? holeEnd : from) << from;
  }
  EXPECT_EQ(f.NextDataOffset(uint64_t{6} << 32), uint64_t{6} << 32);
  EXPECT_EQ(f.GetPosition(), x + 1);
  f.SetLength(3);
  EXPECT_THROW(f.Seek(-10, File::begin), FileException);
  f.Close();
  EXPECT_FALSE(f.IsOpen());

  // modeNoTruncate keeps the content.
  File a;
  ASSERT_TRUE(a.Open(path, File::modeCreate | File::modeNoTruncate | File::modeReadWrite |
                               File::shareExclusive));
  EXPECT_EQ(a.GetLength(), 3u);
  EXPECT_FALSE(f.Open(tmp.path(), File::modeRead, &error));
  EXPECT_EQ(error.m_cause, FileException::accessDenied);
}

TEST(File, WriteFailureThrowsWithCauseAndName) {
  TempFolder tmp;
  File f;
  ASSERT_TRUE(f.Open(tmp.Write("r.txt", "x"), File::modeRead));
  try {
    f.Write("y", 1);
    FAIL() << "no exception";
  } catch (const FileException& e) {
    EXPECT_EQ(e.m_cause, FileException::invalidFile);
    EXPECT_EQ(e.m_strFileName, tmp.Path("r.txt"));
  }
}

TEST(File, WriteOnlyOpenRefusesReads) {
  TempFolder tmp;
  File f;
  ASSERT_TRUE(f.Open(tmp.Write("w.txt", "x"), File::modeWrite | File::modeNoTruncate |
                                                  File::modeCreate));
  char c = 0;
  try {
    f.Read(&c, 1);
    FAIL() << "no exception";
  } catch (const FileException& e) {
    EXPECT_EQ(e.m_cause, FileException::invalidFile);
  }
}

// Windows' rule: an open is refused when it asks for an access that an open
// handle's share mode does not share, or when its own share mode does not
// share an access an open handle has.
struct Mode {
  unsigned flags;
  bool read, write, sharesRead, sharesWrite;
};
constexpr Mode kAccesses[] = {{File::modeRead, true, false, false, false},
                              {File::modeWrite, false, true, false, false},
                              {File::modeReadWrite, true, true, false, false}};
constexpr Mode kShares[] = {{File::shareCompat, false, false, false, false},
                            {File::shareExclusive, false, false, false, false},
                            {File::shareDenyWrite, false, false, true, false},
                            {File::shareDenyRead, false, false, false, true},
                            {File::shareDenyNone, false, false, true, true}};
std::vector<Mode> AllModes() {
  std::vector<Mode> all;
  for (const Mode& a : kAccesses) {
    for (const Mode& s : kShares) {
      all.push_back({a.flags | s.flags, a.read, a.write, s.sharesRead, s.sharesWrite});
    }
  }
  return all;
}
bool WindowsRefuses(const Mode& held, const Mode& next) {
  return (next.read && !held.sharesRead) || (next.write && !held.sharesWrite) ||
         (held.read && !next.sharesRead) || (held.write && !next.sharesWrite);
}

TEST(FileShareModes, EveryPairOfAccessAndShareAsWindowsInThisAndAnotherProcess) {
  TempFolder tmp;
  const std::string path = tmp.Write("s.bin", "data");
  for (const Mode& held : AllModes()) {
    File first;
    ASSERT_TRUE(first.Open(path, held.flags | File::modeNoTruncate));
    for (const Mode& next : AllModes()) {
      const bool refused = WindowsRefuses(held, next);
      File second;
      FileException error;
      EXPECT_EQ(second.Open(path, next.flags | File::modeCreate | File::modeNoTruncate, &error),
                !refused)
          << std::hex << held.flags << " then " << next.flags;
      if (refused) {
        EXPECT_EQ(error.m_cause, FileException::sharingViolation);
        EXPECT_EQ(error.m_lOsError, 32);
        EXPECT_EQ(GetLastError(), kErrorSharingViolation);
      }
      second.Abort();
      // The same open from another process.
      const int other = InChild([&] {
        File third;
        FileException e;
        if (third.Open(path, next.flags | File::modeNoTruncate, &e)) return 0;
        return e.m_cause == FileException::sharingViolation ? 1 : 2;
      });
      EXPECT_EQ(other, refused ? 1 : 0) << std::hex << held.flags << " then " << next.flags;
    }
  }
}

TEST(FileShareModes, OnlyOpenHandlesCountAndInheritedOnesKeepTheirMode) {
  TempFolder tmp;
  const std::string path = tmp.Write("s.bin", "data");
  File holder;
  ASSERT_TRUE(holder.Open(path, File::modeReadWrite | File::shareDenyWrite));
  // A refused open truncates nothing and leaves no mark, and closing its
  // descriptor takes none of the holder's.
  File refused;
  EXPECT_FALSE(refused.Open(path, File::modeCreate | File::modeWrite | File::shareDenyNone));
  EXPECT_EQ(holder.GetLength(), 4u);
  File reader;
  EXPECT_TRUE(reader.Open(path, File::modeRead | File::shareDenyNone));
  EXPECT_FALSE(refused.Open(path, File::modeWrite | File::shareDenyNone));
  reader.Close();
  // A child that inherits the descriptor and ends keeps nothing open that
  // was not, and takes nothing away.
  EXPECT_EQ(InChild([] { return 0; }), 0);
  EXPECT_FALSE(refused.Open(path, File::modeRead | File::shareExclusive));
  // Reading and writing the data are not blocked by the marks.
  EXPECT_TRUE(reader.Open(path, File::modeRead | File::shareDenyNone));
  char buf[4] = {};
  EXPECT_EQ(reader.Read(buf, 4), 4u);
  holder.Write("DATA", 4);
  reader.Close();
  holder.Close();
  EXPECT_TRUE(refused.Open(path, File::modeWrite | File::shareExclusive));
}

void Kill(pid_t pid) {
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

// Opens `path` and holds the share modes' guard byte through that open, as
// an open stopped inside its test would: the descriptor, or -1.
int TakeShareGuard(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  struct flock guard {};
  guard.l_type = F_WRLCK;
  guard.l_whence = SEEK_SET;
  guard.l_start = INT64_MAX - 15;
  guard.l_len = 1;
  if (fd >= 0 && ::fcntl(fd, F_OFD_SETLK, &guard) == 0) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

// Runs `hold` in a child that then waits to be killed; the child's pid
// once `hold` has returned true, -1 otherwise (the child is gone then).
template <typename Hold>
pid_t HoldInChild(Hold hold) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const char ok = hold() ? 'y' : 'n';
    if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  pollfd p{ready[0], POLLIN, 0};
  char ok = 0;
  const bool told = pid > 0 && ::poll(&p, 1, 10'000) == 1 && ::read(ready[0], &ok, 1) == 1;
  ::close(ready[0]);
  if (told && ok == 'y') return pid;
  if (pid > 0) Kill(pid);
  return -1;
}

TEST(FileShareModes, AKilledHolderReleasesAtOnceAndAStoppedOneIsWaitedForBriefly) {
  TempFolder tmp;
  const std::string path = tmp.Write("k.bin", "data");
  pid_t pid = HoldInChild([&] {
    static File held;
    return held.Open(path, File::modeReadWrite | File::shareExclusive);
  });
  ASSERT_GT(pid, 0);
  File f;
  FileException error;
  EXPECT_FALSE(f.Open(path, File::modeRead | File::shareDenyNone, &error));
  EXPECT_EQ(error.m_cause, FileException::sharingViolation);
  Kill(pid);
  EXPECT_TRUE(f.Open(path, File::modeReadWrite | File::shareExclusive));
  f.Close();

  // A holder stopped between its test and its take keeps the others out
  // for a second, then they give up with a sharing violation.
  pid = HoldInChild([&] {
    return TakeShareGuard(path) >= 0;
  });
  ASSERT_GT(pid, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(f.Open(path, File::modeRead | File::shareDenyNone, &error));
  const double waited =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(error.m_cause, FileException::sharingViolation);
  EXPECT_GT(waited, 0.5);
  EXPECT_LT(waited, 5.0);
  Kill(pid);
  EXPECT_TRUE(f.Open(path, File::modeRead | File::shareDenyNone));
}

// A file that can be written and not read: its writers keep the Windows
// table between them, as writers of a readable file do. Root reads any
// file: the opens are made as another user then.
TEST(FileShareModes, AWriteOnlyFileStillKeepsItsShareModes) {
  TempFolder tmp(kEveryUsersRoot);  // the user it runs as must reach it
  const std::string path = tmp.Write("w.bin", "data");
  constexpr uid_t kNobody = 65534;
  const bool root = ::geteuid() == 0;
  ASSERT_EQ(::chmod(path.c_str(), 0200), 0);
  if (root) {
    ASSERT_EQ(::chmod(tmp.path().c_str(), 0711), 0);
    ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
  }
  const int status = InChild([&] {
    if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) return 10;
    int wrong = 0;
    for (const Mode& held : AllModes()) {
      if (held.read) continue;
      File a;
      if (!a.Open(path, held.flags)) return 11;
      a.Write("x", 1);
      for (const Mode& next : AllModes()) {
        if (next.read) continue;
        File b;
        FileException error;
        const bool opened = b.Open(path, next.flags, &error);
        if (opened == WindowsRefuses(held, next)) ++wrong;
        if (!opened && error.m_cause != FileException::sharingViolation) ++wrong;
      }
    }
    if (wrong != 0) return 20 + std::min(wrong, 50);
    // With every byte such writers mark taken by others, one more is
    // refused as shared out, until one is given back.
    const int others = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    struct flock all {};
    all.l_type = F_WRLCK;
    all.l_whence = SEEK_SET;
    all.l_start = INT64_MAX - 15 - 3 * 4096;
    all.l_len = 4096;
    if (others < 0 || ::fcntl(others, F_OFD_SETLK, &all) != 0) return 15;
    File c;
    FileException error;
    if (c.Open(path, File::modeWrite | File::shareDenyNone, &error)) return 16;
    if (error.m_cause != FileException::sharingViolation) return 17;
    all.l_type = F_UNLCK;
    all.l_len = 1;
    if (::fcntl(others, F_OFD_SETLK, &all) != 0) return 18;
    return c.Open(path, File::modeWrite | File::shareDenyNone) ? 0 : 19;
  });
  EXPECT_EQ(status, 0);
}

// Whether the process `pid` has a descriptor open on the file at `path`.
bool HasOpen(pid_t pid, const std::string& path) {
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::canonical(path, ec);
  for (const auto& fd :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::error_code gone;
    if (std::filesystem::read_symlink(fd.path(), gone) == file) return true;
  }
  return false;
}

// An open that truncates writes, whatever access it asks for: it is refused
// beside a holder that denies writing, and it cuts the file it was granted,
// never one put in the name's place meanwhile.
TEST(FileShareModes, ATruncatingOpenIsAWriteAndCutsOnlyTheFileItWasGranted) {
  TempFolder tmp;
  const std::string path = tmp.Write("t.bin", "data");
  const pid_t holder = HoldInChild([&] {
    static File held;
    return held.Open(path, File::modeRead | File::shareDenyWrite);
  });
  ASSERT_GT(holder, 0);
  for (const unsigned access : {File::modeRead, File::modeWrite, File::modeReadWrite}) {
    File f;
    FileException error;
    EXPECT_FALSE(f.Open(path, access | File::modeCreate | File::shareDenyNone, &error)) << access;
    EXPECT_EQ(error.m_cause, FileException::sharingViolation) << access;
  }
  Kill(holder);
  EXPECT_EQ(std::filesystem::file_size(path), 4u);

  // Once it has cut, a reader holds only what it asked for: it neither
  // writes nor keeps out a writer that denies writing.
  File reader;
  ASSERT_TRUE(reader.Open(path, File::modeRead | File::modeCreate | File::shareDenyNone));
  EXPECT_EQ(reader.GetLength(), 0u);
  EXPECT_THROW(reader.Write("x", 1), FileException);
  File writer;
  EXPECT_TRUE(writer.Open(path, File::modeWrite | File::shareDenyWrite));
  writer.Abort();
  reader.Abort();

  // The open waits for the share guard, held here, while another file held
  // exclusively is renamed into the name.
  tmp.Write("t.bin", "data");
  const std::string other = tmp.Write("other.bin", "kept");
  File exclusive;
  ASSERT_TRUE(exclusive.Open(other, File::modeRead | File::shareExclusive));
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  const pid_t opener = ::fork();
  if (opener == 0) {
    // Started before the guard is taken, so that it inherits no hold of it.
    char c = 0;
    File f;
    ::_exit(::read(go[0], &c, 1) == 1 &&
                    f.Open(path, File::modeRead | File::modeCreate | File::shareDenyNone)
                ? 0
                : 1);
  }
  ASSERT_GT(opener, 0);
  ::close(go[0]);
  const int guardFd = TakeShareGuard(path);
  ASSERT_GE(guardFd, 0);
  ASSERT_EQ(::write(go[1], "g", 1), 1);
  ::close(go[1]);
  // The bound only ends a hang.
  const auto hang = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!HasOpen(opener, path) && std::chrono::steady_clock::now() < hang) sched_yield();
  ASSERT_EQ(::rename(other.c_str(), path.c_str()), 0);
  ::close(guardFd);
  int status = -1;
  ASSERT_EQ(::waitpid(opener, &status, 0), opener);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(exclusive.GetLength(), 4u);
}

// A refused open is seen by no one: beside a holder that shares
// everything, a process whose opens that holder refuses, again and again,
// never makes a compatible open of a third process fail.
TEST(FileShareModes, ARefusedOpenIsNeverSeenByOtherOpens) {
  TempFolder tmp;
  const std::string path = tmp.Write("v.bin", "data");
  File holder;
  ASSERT_TRUE(holder.Open(path, File::modeRead | File::shareDenyNone));
  auto* done = static_cast<std::atomic<bool>*>(::mmap(nullptr, sizeof(std::atomic<bool>),
                                                      PROT_READ | PROT_WRITE,
                                                      MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(done, MAP_FAILED);
  new (done) std::atomic<bool>(false);
  for (const unsigned refused : {File::modeRead | File::shareExclusive,
                                 File::modeReadWrite | File::shareExclusive,
                                 File::modeWrite | File::shareDenyRead}) {
    done->store(false);
    const pid_t looper = ::fork();
    if (looper == 0) {
      int opened = 0;
      while (!done->load()) {
        File f;
        if (f.Open(path, refused)) ++opened;
      }
      ::_exit(opened == 0 ? 0 : 1);
    }
    ASSERT_GT(looper, 0);
    const int refusals = InChild([&] {
      int n = 0;
      for (int i = 0; i < 5000; ++i) {
        File f;
        if (!f.Open(path, File::modeRead | File::shareDenyNone)) ++n;
      }
      return std::min(n, 200);
    });
    done->store(true);
    int status = -1;
    ASSERT_EQ(::waitpid(looper, &status, 0), looper);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << std::hex << refused;
    EXPECT_EQ(refusals, 0) << std::hex << refused;
  }
  ::munmap(done, sizeof(std::atomic<bool>));
}

TEST(FileShareModes, OpensAtOnceInTwoProcessesNeverBothHoldWhatConflicts) {
  TempFolder tmp;
  const std::string path = tmp.Write("r.bin", "");
  // Two writers denying write, and a writer against a reader denying write:
  // at no moment do two of them hold the file.
  auto* holders = static_cast<std::atomic<int>*>(::mmap(nullptr, sizeof(std::atomic<int>),
                                                        PROT_READ | PROT_WRITE,
                                                        MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(holders, MAP_FAILED);
  new (holders) std::atomic<int>(0);
  for (const unsigned second : {File::modeReadWrite | File::shareDenyWrite,
                                File::modeRead | File::shareDenyWrite}) {
    // Both children are forked from this one thread: a child forked while
    // another thread allocates may inherit its lock taken, and wait forever.
    const auto start = [&](unsigned flags) {
      const pid_t pid = ::fork();
      if (pid != 0) return pid;
      int both = 0;
      for (int i = 0; i < 3000; ++i) {
        sched_yield();
        File f;
        if (!f.Open(path, flags)) continue;
        if (holders->fetch_add(1) != 0) ++both;
        sched_yield();
        holders->fetch_sub(1);
      }
      ::_exit(both == 0 ? 0 : 1);
    };
    const auto status = [](pid_t pid) {
      int s = 0;
      return pid > 0 && ::waitpid(pid, &s, 0) == pid && WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    };
    const pid_t a = start(File::modeReadWrite | File::shareDenyWrite);
    const pid_t b = start(second);
    EXPECT_EQ(status(a), 0);
    EXPECT_EQ(status(b), 0);
  }
  ::munmap(holders, sizeof(std::atomic<int>));
}

// Devices and pipes keep no share modes (Windows leaves them to their
// drivers, which share freely) and open with the access asked for.
TEST(FileShareModesThreaded, DevicesAndPipesOpenAsAskedWithoutShareModes) {
  File a, b;
  FileException error;
  EXPECT_TRUE(a.Open("/dev/null", File::modeCreate | File::modeWrite | File::shareExclusive,
                     &error))
      << error.m_lOsError;
  EXPECT_TRUE(b.Open("/dev/null", File::modeCreate | File::modeReadWrite | File::shareExclusive,
                     &error))
      << error.m_lOsError;

  // A FIFO opened to write waits for its reader, and what it writes
  // reaches that reader.
  TempFolder tmp;
  const std::string fifo = tmp.Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<bool> opened{false};
  std::atomic<pid_t> writerId{0};
  std::thread writer([&] {
    writerId = static_cast<pid_t>(::syscall(SYS_gettid));
    File w;
    if (!w.Open(fifo, File::modeWrite | File::shareExclusive)) return;
    opened = true;
    w.Write("y", 1);
  });
  // The writer is seen asleep in its open (the kernel's record of the
  // system call it is in); the bound only ends a hang.
  const std::string inOpen = std::to_string(SYS_openat) + " ";
  bool waiting = false;
  const auto hang = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!waiting && !opened && std::chrono::steady_clock::now() < hang) {
    if (writerId != 0) {
      std::ifstream call("/proc/self/task/" + std::to_string(writerId.load()) + "/syscall");
      std::string text;
      std::getline(call, text);
      waiting = text.rfind(inOpen, 0) == 0;
    }
    if (!waiting) sched_yield();
  }
  EXPECT_TRUE(waiting);
  EXPECT_FALSE(opened);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // frees it
  writer.join();
  ASSERT_GE(reader, 0);
  pollfd p{reader, POLLIN, 0};
  char c = 0;
  EXPECT_TRUE(::poll(&p, 1, 2000) == 1 && ::read(reader, &c, 1) == 1 && c == 'y');
  ::close(reader);
}

// Where the file system keeps no locks (older kernels know no open file
// description locks) files open as they did before share modes were kept;
// a kernel out of lock memory on a local file system (ENOLCK) fails the
// open instead of letting it in without its share mode, and cuts nothing.
TEST(FileShareModes, FilesOpenWithoutShareModesOnlyWhereLocksAreUnsupported) {
  TempFolder tmp;
  const std::string path = tmp.Write("n.bin", "data");
  for (const int refusal : {EINVAL, ENOLCK}) {
    const int status = InChild([&] {
      sock_filter rules[] = {
          BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
          BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fcntl, 0, 3),
          BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[1])),
          BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, F_OFD_SETLK, 0, 1),
          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<uint32_t>(refusal)),
          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)};
      const sock_fprog program{static_cast<unsigned short>(std::size(rules)), rules};
      if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
          ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        return 10;
      }
      File a, b;
      FileException error;
      if (refusal == ENOLCK) {
        if (a.Open(path, File::modeCreate | File::modeReadWrite | File::shareExclusive, &error))
          return 14;
        if (error.m_cause == FileException::sharingViolation) return 15;
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && st.st_size == 4 ? 0 : 16;
      }
      if (!a.Open(path, File::modeReadWrite | File::shareExclusive, &error)) return 11;
      if (!b.Open(path, File::modeRead | File::shareDenyNone, &error)) return 12;
      char buf[4] = {};
      return b.Read(buf, 4) == 4 ? 0 : 13;
    });
    EXPECT_EQ(status, 0) << refusal;
  }
}

// Reopen goes through the descriptor: the file open here is opened again
// whatever now has its name, and a refused reopen keeps the old open.
TEST(File, ReopenOpensTheFileOpenHereAndKeepsItWhenRefused) {
  TempFolder tmp;
  const std::string path = tmp.Write("r.txt", "first");
  File f;
  FileException error;
  EXPECT_FALSE(f.Reopen(File::modeRead, &error));
  EXPECT_EQ(error.m_cause, FileException::invalidFile);
  ASSERT_TRUE(f.Open(path, File::modeRead | File::shareDenyNone));
  File holder;
  ASSERT_TRUE(holder.Open(path, File::modeRead | File::shareDenyWrite));
  EXPECT_FALSE(f.Reopen(File::modeReadWrite | File::shareDenyNone, &error));
  EXPECT_EQ(error.m_cause, FileException::sharingViolation);
  char c = 0;
  EXPECT_EQ(f.Read(&c, 1), 1u);
  holder.Close();

  const std::string other = tmp.Write("other.txt", "second");
  ASSERT_EQ(::rename(other.c_str(), path.c_str()), 0);
  ASSERT_TRUE(f.Reopen(File::modeReadWrite | File::shareDenyWrite | File::modeCreate, &error))
      << error.m_lOsError;
  EXPECT_EQ(f.GetFilePath(), path);
  EXPECT_EQ(f.GetLength(), 5u);
  f.Write("F", 1);
  f.Close();
  std::ifstream named(path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(named), {}), "second");
  File g;
  EXPECT_TRUE(g.Open(path, File::modeReadWrite | File::shareDenyWrite));
}

TEST(File, ReadOnlyAttributeIsTheOwnerWriteBit) {
  TempFolder tmp;
  const std::string path = tmp.Write("ro.txt", "x");
  bool ro = true;
  ASSERT_TRUE(File::GetReadOnly(path, ro));
  EXPECT_FALSE(ro);
  ASSERT_TRUE(File::SetReadOnly(path, true));
  ASSERT_TRUE(File::GetReadOnly(path, ro));
  EXPECT_TRUE(ro);
  if (::geteuid() != 0) {
    File f;
    FileException error;
    EXPECT_FALSE(f.Open(path, File::modeWrite, &error));
    EXPECT_EQ(error.m_cause, FileException::accessDenied);
  }
  ASSERT_TRUE(File::SetReadOnly(path, false));
  EXPECT_FALSE(File::GetReadOnly(tmp.Path("none"), ro));
  // A link at the name is not followed: what it points at keeps its bits.
  const std::string link = tmp.Path("link.txt");
  ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
  EXPECT_FALSE(File::SetReadOnly(link, true));
  ASSERT_TRUE(File::GetReadOnly(path, ro));
  EXPECT_FALSE(ro);
}

TEST(FileFind, WindowsWildcardRules) {
  EXPECT_TRUE(WildcardMatch("*.*", "noextension"));
  EXPECT_TRUE(WildcardMatch("*", ".hidden"));
  EXPECT_TRUE(WildcardMatch("*.io", "DRIVERS.IO"));
  EXPECT_TRUE(WildcardMatch("d?ivers.*", "Drivers.io"));
  EXPECT_FALSE(WildcardMatch("?.io", "ab.io"));
  EXPECT_TRUE(WildcardMatch("a*b*c*d", "axxbyyczzd"));
  EXPECT_FALSE(WildcardMatch("a*b*c*d", "axxbyyczz"));
  EXPECT_TRUE(WildcardMatch("[x]{1}.io", "[X]{1}.IO"));  // no regex meaning
  // Many stars against a long name must stay fast.
  EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*b", std::string(5000, 'a')));
}

TEST(FileFind, EntriesAreSortedWithoutCaseAndIncludeDots) {
  TempFolder tmp;
  tmp.Write("b.txt", "");
  tmp.Write("A.txt", "12");
  tmp.Write("c/d.txt", "");
  const auto all = FindEntries(tmp.path() + "\\*.*");
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[0].name, ".");
  EXPECT_EQ(all[1].name, "..");
  EXPECT_EQ(all[2].name, "A.txt");
  EXPECT_EQ(all[2].size, 2u);
  EXPECT_EQ(all[2].path, tmp.Path("A.txt"));
  EXPECT_EQ(all[3].name, "b.txt");
  EXPECT_TRUE(all[4].isDirectory);
  EXPECT_TRUE(FindEntries(tmp.Path("missing/*")).empty());

  FileFinder finder;
  ASSERT_TRUE(finder.FindFile(tmp.Path("*.TXT")));
  EXPECT_TRUE(finder.FindNextFile());
  EXPECT_EQ(finder.GetFileName(), "A.txt");
  EXPECT_FALSE(finder.FindNextFile());  // b.txt is the last
  EXPECT_EQ(finder.GetFileName(), "b.txt");
  EXPECT_FALSE(finder.IsDots());
}

}  // namespace
}  // namespace zor::platform
