#include "platform/safe_files.h"

#include <fcntl.h>
#include <sys/auxv.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zor::platform {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

int UniqueFd::release() noexcept {
  const int fd = m_fd;
  m_fd = -1;
  return fd;
}

void UniqueFd::reset(int fd) noexcept {
  const int err = errno;
  if (m_fd >= 0) ::close(m_fd);
  m_fd = fd;
  errno = err;
}

int UniqueFd::Close() noexcept {
  if (m_fd < 0) return 0;
  const int result = ::close(release());
  // Linux frees the descriptor even when close reports an error: never again.
  return result == 0 || errno == EINTR ? 0 : errno;
}

// The file-system ids alone, on this thread alone: the C library's setresuid
// would change every thread of the process, and a changed effective id would
// take the file-system id with it when it came back. Any program may take
// its real ids; one with root's id loses root's rights over files meanwhile
// and gets them back after. The calls answer with the previous id whether
// they worked or not, so a second call with an invalid id reads the id now.
// A program that borrows no ids has nothing to give up and makes no call: a
// sandbox that refuses the calls leaves it working.
AsRealUser::AsRealUser() noexcept
    : m_previousUser(0),
      m_previousGroup(0),
      m_switched(::getuid() != ::geteuid() || ::getgid() != ::getegid()),
      m_ok(true) {
  if (!m_switched) return;
  const int err = errno;
  const uid_t user = ::getuid();
  const gid_t group = ::getgid();
  m_previousGroup = static_cast<gid_t>(::syscall(SYS_setfsgid, group));
  m_previousUser = static_cast<uid_t>(::syscall(SYS_setfsuid, user));
  m_ok = static_cast<gid_t>(::syscall(SYS_setfsgid, static_cast<gid_t>(-1))) == group &&
         static_cast<uid_t>(::syscall(SYS_setfsuid, static_cast<uid_t>(-1))) == user;
  errno = err;
}

AsRealUser::~AsRealUser() {
  if (!m_switched) return;
  const int err = errno;
  ::syscall(SYS_setfsuid, m_previousUser);
  ::syscall(SYS_setfsgid, m_previousGroup);
  errno = err;
}

bool RunsWithBorrowedIds() noexcept {
  return ::getauxval(AT_SECURE) != 0 || ::getuid() != ::geteuid() || ::getgid() != ::getegid();
}

namespace {

constexpr int kSafeOpen = O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;

int Fail(int err) noexcept {
  errno = err;
  return -1;
}

}  // namespace

int CreateFresh(const char* path, int flags, mode_t mode) noexcept {
  const AsRealUser as;
  if (!as.ok()) return Fail(EPERM);
  int fd;
  do {
    fd = ::open(path, flags | O_CREAT | O_EXCL | kSafeOpen, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int OpenExisting(const char* path, int flags, bool allowDevice) noexcept {
  if ((flags & (O_CREAT | O_TRUNC)) != 0) return Fail(EINVAL);
  const AsRealUser as;
  if (!as.ok()) return Fail(EPERM);
  int fd;
  do {
    fd = ::open(path, flags | O_NONBLOCK | kSafeOpen);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  UniqueFd owned(fd);
  struct stat st;
  if (::fstat(fd, &st) != 0) return -1;
  const bool device = S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode);
  if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
  if (!S_ISREG(st.st_mode) && !(allowDevice && device)) return Fail(ENXIO);
  if ((flags & O_NONBLOCK) == 0) {
    const int now = ::fcntl(fd, F_GETFL);
    if (now < 0 || ::fcntl(fd, F_SETFL, now & ~O_NONBLOCK) != 0) return -1;
  }
  return owned.release();
}

int MakePrivateFolders(char* path) noexcept {
  if (path == nullptr || path[0] == '\0') return ENOENT;
  const AsRealUser as;
  if (!as.ok()) return EPERM;
  const auto make = [](const char* folder) {
    return ::mkdir(folder, 0700) == 0 || errno == EEXIST ? 0 : errno;
  };
  int err = 0;
  for (char* p = path + 1; *p != '\0' && err == 0; ++p) {
    if (*p != '/' || p[-1] == '/') continue;
    *p = '\0';
    err = make(path);
    *p = '/';
  }
  if (err == 0) err = make(path);
  if (err != 0) return err;
  // The last folder is checked through a descriptor: a link or another
  // user's folder under the name is refused, not used.
  const int fd = ::open(path, O_RDONLY | O_DIRECTORY | kSafeOpen);
  if (fd < 0) return errno == ELOOP ? ENOTDIR : errno;
  const UniqueFd owned(fd);
  struct stat st;
  if (::fstat(fd, &st) != 0) return errno;
  if (st.st_uid != ::getuid()) return EPERM;
  // A folder of the user's that others may write (made by an earlier build
  // under a loose umask) would let them rename over the files made in it.
  const mode_t loose = S_IWGRP | S_IWOTH;
  if ((st.st_mode & loose) != 0 && ::fchmod(fd, st.st_mode & 07777 & ~loose) != 0) return errno;
  return 0;
}

int MakePrivateFolders(const std::string& path) {
  std::string copy = path;
  return MakePrivateFolders(copy.data());
}

int LockExclusiveBounded(int fd) noexcept {
  for (int i = 0;; ++i) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
    if (errno != EWOULDBLOCK && errno != EINTR) return errno;
    if (i == kLockWaitTries) return EWOULDBLOCK;
    const timespec pause{0, kLockWaitPauseNs};
    ::nanosleep(&pause, nullptr);
  }
}

void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) ::fsync(fd.get());
}

namespace {

// 64 random bits for a temporary name. The kernel's pool is the source; if
// it cannot answer, the clock, the process and a counter still give a name
// that O_EXCL makes safe, if guessable.
uint64_t RandomBits() noexcept {
  uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits))
    return bits;
  static std::atomic<uint64_t> counter{0};
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return (static_cast<uint64_t>(now.tv_nsec) << 20) ^ static_cast<uint64_t>(now.tv_sec) ^
         (static_cast<uint64_t>(::getpid()) << 40) ^ counter.fetch_add(0x9E3779B97F4A7C15u);
}

}  // namespace

TemporaryFile::~TemporaryFile() { Discard(); }

int TemporaryFile::Create(const std::string& target, mode_t mode) {
  Discard();
  int err = EEXIST;
  // A taken name is someone else's file or link: another name, a few times.
  for (int attempt = 0; attempt < 16 && err == EEXIST; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp",
                  static_cast<unsigned long long>(RandomBits()));
    std::string path = target + suffix;
    const int fd = CreateFresh(path.c_str(), O_RDWR, mode);
    if (fd >= 0) {
      m_fd.reset(fd);
      m_path = std::move(path);
      m_target = target;
      m_flushed = false;
      return 0;
    }
    err = errno;
  }
  return err;
}

int TemporaryFile::Flush() noexcept {
  if (!m_fd) return EBADF;
  if (::fsync(m_fd.get()) != 0 && errno != EINVAL) return errno;
  m_flushed = true;
  return 0;
}

int TemporaryFile::Commit() {
  if (!m_fd) return EBADF;
  int err = m_flushed ? 0 : Flush();
  if (err == 0) err = m_fd.Close();
  if (err == 0) {
    const AsRealUser as;
    err = !as.ok() ? EPERM : ::rename(m_path.c_str(), m_target.c_str()) == 0 ? 0 : errno;
  }
  if (err != 0) {
    Discard();
    return err;
  }
  m_path.clear();
  SyncFolderOf(m_target);
  return 0;
}

void TemporaryFile::Discard() noexcept {
  m_fd.reset();
  if (m_path.empty()) return;
  {
    const AsRealUser as;
    ::unlink(m_path.c_str());
  }
  m_path.clear();
}

}  // namespace zor::platform
