#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>

#include "platform/error_text.h"
#include "platform/path_text.h"
#include "platform/safe_files.h"

namespace zor::platform {
namespace {

// Share modes live in open file description locks on a few bytes far past
// any data a file can hold: a lock belongs to its open file, so a second
// open in the same process is another holder, a descriptor inherited by a
// child keeps it, and the kernel drops it with its last descriptor, a
// killed holder's at once. Reads and writes of the file never meet these
// locks: they are advisory.
constexpr off_t kShareBase = INT64_MAX - 15;
constexpr off_t kShareGuard = kShareBase;           // held while a holder tests and takes
constexpr off_t kHasRead = kShareBase + 1;          // held by every open with read access
constexpr off_t kHasWrite = kShareBase + 2;         // ... with write access
constexpr off_t kDeniesRead = kShareBase + 3;       // ... whose share mode denies reading
constexpr off_t kDeniesWrite = kShareBase + 4;      // ... whose share mode denies writing
// A shared mark needs a descriptor that can read. An open of a file it may
// write and not read marks a byte of its own instead, one free byte of the
// kind's range below the shared bytes, so that it keeps the same table.
constexpr off_t kOwnMarks = 4096;
constexpr off_t kOwnMarkBase = kShareBase - 4 * kOwnMarks;
constexpr off_t OwnMarksOf(off_t shared) { return kOwnMarkBase + (shared - kHasRead) * kOwnMarks; }
// The guard is held for a few system calls: a holder stopped inside them
// makes an open give up after this long.
constexpr int kGuardTries = kLockWaitTries;
constexpr long kGuardPauseNs = kLockWaitPauseNs;

struct ShareRequest {
  bool read = false;
  bool write = false;
  bool denyRead = false;
  bool denyWrite = false;
  // The open cuts the file: a write while it is tested and cut.
  bool cut = false;
};

ShareRequest ShareRequestOf(unsigned flags) {
  ShareRequest r;
  switch (flags & 0x3) {
    case File::modeWrite: r.write = true; break;
    case File::modeReadWrite: r.read = r.write = true; break;
    default: r.read = true; break;
  }
  // As the class library maps them: compatibility mode is exclusive.
  switch (flags & 0x70) {
    case File::shareDenyWrite: r.denyWrite = true; break;
    case File::shareDenyRead: r.denyRead = true; break;
    case File::shareDenyNone: break;
    default: r.denyRead = r.denyWrite = true; break;
  }
  r.cut = (flags & File::modeCreate) && !(flags & File::modeNoTruncate);
  return r;
}

struct flock ByteLock(short type, off_t at, off_t length = 1) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = at;
  lock.l_len = length;
  return lock;
}

int LockBytes(int fd, short type, off_t at, off_t length = 1) {
  struct flock lock = ByteLock(type, at, length);
  while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

// 1 when another open file holds a lock on one of the bytes, 0 when none
// does, -1 with errno when the kernel cannot say.
int HeldByOther(int fd, off_t at, off_t length = 1) {
  struct flock lock = ByteLock(F_WRLCK, at, length);
  while (::fcntl(fd, F_OFD_GETLK, &lock) != 0) {
    if (errno != EINTR) return -1;
  }
  return lock.l_type == F_UNLCK ? 0 : 1;
}

bool IsConflict(int err) { return err == EAGAIN || err == EACCES; }
// File systems without locks (some network and pseudo file systems) keep
// no share modes: their files open as before. NFS without its lock service
// says ENOLCK; elsewhere ENOLCK is a kernel out of lock memory, which fails
// the open rather than let it in without its share mode.
constexpr decltype(statfs::f_type) kNfsMagic = 0x6969;
bool LocksUnsupported(int fd, int err) {
  if (err == EINVAL || err == EOPNOTSUPP || err == ENOSYS) return true;
  struct statfs fs;
  return err == ENOLCK && ::fstatfs(fd, &fs) == 0 && fs.f_type == kNfsMagic;
}

// Pauses between tries for the guard. Two readers that met in it both
// step back: they wait for different times, so that one gets it next.
void PauseForGuard(bool jitter) {
  thread_local uint32_t seed = (static_cast<uint32_t>(::getpid()) * 2654435761u ^
                                static_cast<uint32_t>(::clock())) | 1u;
  seed ^= seed << 13;
  seed ^= seed >> 17;
  seed ^= seed << 5;
  const long ns = jitter ? kGuardPauseNs / 2 + static_cast<long>(seed % kGuardPauseNs)
                         : kGuardPauseNs;
  const struct timespec pause {0, ns};
  ::nanosleep(&pause, nullptr);
}

// Takes the guard, which one open holds at a time. An open that can write
// locks it exclusively; one that can only read cannot, and takes a shared
// lock, then steps back if anyone else holds the guard too: of two readers
// that meet there, neither goes on.
int TakeGuard(int fd, bool writable) {
  const short type = writable ? F_WRLCK : F_RDLCK;
  for (int i = 0;; ++i) {
    int err = LockBytes(fd, type, kShareGuard);
    if (err == 0 && !writable) {
      const int held = HeldByOther(fd, kShareGuard);
      if (held != 0) {
        err = held > 0 ? EAGAIN : errno;
        LockBytes(fd, F_UNLCK, kShareGuard);
      }
    }
    if (err == 0 || !IsConflict(err)) return err;
    if (i == kGuardTries) return EBUSY;
    PauseForGuard(!writable);
  }
}

// Takes one mark: the shared byte where the descriptor can read, otherwise
// a free byte of the kind's own range.
int TakeMark(int fd, bool readable, off_t at) {
  if (readable) return LockBytes(fd, F_RDLCK, at);
  const off_t own = OwnMarksOf(at);
  for (off_t i = 0; i < kOwnMarks; ++i) {
    const int err = LockBytes(fd, F_WRLCK, own + i);
    if (!IsConflict(err)) return err;
  }
  return EBUSY;
}

int MarkHeldByOther(int fd, off_t at) {
  const int shared = HeldByOther(fd, at);
  return shared != 0 ? shared : HeldByOther(fd, OwnMarksOf(at), kOwnMarks);
}

// Takes the share mode of a new open on `fd`, and cuts the file when asked,
// or gives the errno that refuses it: EBUSY for a sharing violation. Every
// mark is taken before any other holder's is looked at, and under the
// guard, so two opens never both pass a test the other's take would have
// failed. A refused open takes its marks off with the guard, in one call:
// no other open ever sees them.
int TakeShareMode(int fd, bool readable, bool writable, const ShareRequest& r) {
  int err = TakeGuard(fd, writable);
  if (err != 0) {
    if (!LocksUnsupported(fd, err)) return err;
    return r.cut && ::ftruncate(fd, 0) != 0 ? errno : 0;
  }
  const bool write = r.write || r.cut;
  const std::pair<bool, off_t> marks[] = {{r.read, kHasRead},
                                          {write, kHasWrite},
                                          {r.denyRead, kDeniesRead},
                                          {r.denyWrite, kDeniesWrite}};
  const std::pair<bool, off_t> tests[] = {{r.read, kDeniesRead},
                                          {write, kDeniesWrite},
                                          {r.denyRead, kHasRead},
                                          {r.denyWrite, kHasWrite}};
  for (const auto& [wanted, at] : marks) {
    if (!wanted) continue;
    err = TakeMark(fd, readable, at);
    if (err != 0) break;
  }
  if (err == 0) {
    for (const auto& [wanted, at] : tests) {
      if (!wanted) continue;
      const int held = MarkHeldByOther(fd, at);
      if (held != 0) {
        err = held > 0 ? EBUSY : errno;
        break;
      }
    }
  }
  // The cut is made under the guard; an open that only reads then holds
  // no more than it asked for.
  if (err == 0 && r.cut && ::ftruncate(fd, 0) != 0) err = errno;
  if (err == 0 && r.cut && !r.write) err = LockBytes(fd, F_UNLCK, kHasWrite);
  if (IsConflict(err)) err = EBUSY;
  if (err == 0) {
    LockBytes(fd, F_UNLCK, kShareGuard);
  } else {
    // The marks and the guard, to the end of the file's range.
    LockBytes(fd, F_UNLCK, kOwnMarkBase, 0);
  }
  return err;
}

}  // namespace


const char* FileException::what() const noexcept {
  switch (m_cause) {
    case none: return "No error occurred.";
    case fileNotFound: return "The file could not be located.";
    case badPath: return "All or part of the path is invalid.";
    case tooManyOpenFiles: return "The permitted number of open files was exceeded.";
    case accessDenied: return "The file could not be accessed.";
    case invalidFile: return "There was an attempt to use an invalid file handle.";
    case removeCurrentDir: return "The current working directory cannot be removed.";
    case directoryFull: return "There are no more directory entries.";
    case badSeek: return "There was an error trying to set the file pointer.";
    case hardIO: return "There was a hardware error.";
    case sharingViolation: return "A sharing violation occurred.";
    case lockViolation: return "There was an attempt to lock a region that was already locked.";
    case diskFull: return "The disk is full.";
    case endOfFile: return "The end of file was reached.";
    default: return "An unspecified error occurred.";
  }
}

int FileException::CauseFromErrno(int err) noexcept {
  switch (err) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return badPath;
    case EMFILE:
    case ENFILE: return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EEXIST: return accessDenied;
    case EBADF: return invalidFile;
    case EINVAL:
    case ESPIPE:
    case EOVERFLOW: return badSeek;
    case EIO: return hardIO;
    case ETXTBSY:
    case EBUSY: return sharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return diskFull;
    default: return genericException;
  }
}

File::~File() { Abort(); }

void File::Throw(int err) const { throw FileException(FileException::CauseFromErrno(err), err, m_fileName); }

bool File::Open(const std::string& fileName, unsigned flags, FileException* error) {
  Abort();
  m_fileName = fileName;
  return OpenNative(ToNativePath(fileName), flags, error);
}

bool File::Reopen(unsigned flags, FileException* error) {
  if (m_fd < 0) {
    SetLastError(ErrorFromErrno(EBADF));
    if (error) *error = FileException(FileException::invalidFile, EBADF, m_fileName);
    return false;
  }
  // The kernel's name of this very descriptor: whatever the file's own
  // name has come to mean, it opens the file open here.
  File again;
  again.m_fileName = m_fileName;
  if (!again.OpenNative("/proc/self/fd/" + std::to_string(m_fd), flags & ~modeCreate, error)) {
    return false;
  }
  Abort();
  std::swap(m_fd, again.m_fd);
  m_canRead = again.m_canRead;
  m_canWrite = again.m_canWrite;
  return true;
}

bool File::OpenNative(const std::string& native, unsigned flags, FileException* error) {
  const auto fail = [&](int cause, int osError) {
    SetLastError(cause == FileException::sharingViolation ? kErrorSharingViolation
                                                          : ErrorFromErrno(osError));
    if (error) *error = FileException(cause, osError, m_fileName);
    return false;
  };
  const ShareRequest share = ShareRequestOf(flags);
  // Nothing is truncated before the share mode is granted, and then only
  // through the descriptor granted it: an open that cuts needs write
  // access, whatever access it asks for.
  const int create = (flags & modeCreate) ? O_CREAT : 0;
  // A write-only open reads too where the file lets it: its share mode is
  // a shared lock, which needs read access. Read still refuses it. Only
  // regular files keep share modes (Windows leaves devices and pipes to
  // their drivers, which share freely) and are cut; the others open with
  // the access asked for, so a FIFO opened to write still waits for its
  // reader. Only a write-only or cutting open looks at the path before
  // opening it.
  struct stat st;
  const bool looks = (share.write && !share.read) || share.cut;
  const bool irregular = looks && ::stat(native.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
  const bool alsoRead = share.write && !share.read && !irregular;
  const bool write = share.write || (share.cut && !irregular);
  const int access = share.read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  int fd = ::open(native.c_str(), O_CLOEXEC | create | (alsoRead ? O_RDWR : access), 0666);
  bool readable = share.read || alsoRead;
  if (fd < 0 && errno == EACCES && alsoRead) {
    fd = ::open(native.c_str(), O_CLOEXEC | create | O_WRONLY, 0666);
    readable = false;
  }
  if (fd < 0) {
    const int err = errno;
    return fail(FileException::CauseFromErrno(err), err);
  }
  const bool known = ::fstat(fd, &st) == 0;
  if (known && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return fail(FileException::accessDenied, EISDIR);
  }
  const bool regular = !known || S_ISREG(st.st_mode);
  const int err = regular ? TakeShareMode(fd, readable, write, share) : 0;
  if (err != 0) {
    ::close(fd);
    if (err == EBUSY) return fail(FileException::sharingViolation, kErrorSharingViolation);
    return fail(FileException::CauseFromErrno(err), err);
  }
  m_fd = fd;
  m_canRead = share.read;
  m_canWrite = share.write;
  return true;
}

uint64_t File::GetPosition() const {
  const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
  if (pos < 0) Throw(errno);
  return static_cast<uint64_t>(pos);
}

uint64_t File::Seek(int64_t offset, int origin) {
  const int whence = origin == current ? SEEK_CUR : origin == end ? SEEK_END : SEEK_SET;
  const off_t pos = ::lseek(m_fd, static_cast<off_t>(offset), whence);
  if (pos < 0) Throw(errno);
  return static_cast<uint64_t>(pos);
}

void File::SetLength(uint64_t length) {
  if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0) Throw(errno);
}

uint64_t File::GetLength() const {
  struct stat st;
  if (::fstat(m_fd, &st) != 0) Throw(errno);
  return static_cast<uint64_t>(st.st_size);
}

uint64_t File::NextDataOffset(uint64_t offset) const {
  const off_t keep = ::lseek(m_fd, 0, SEEK_CUR);
  if (keep < 0 || offset > static_cast<uint64_t>(INT64_MAX)) return offset;
  const off_t data = ::lseek(m_fd, static_cast<off_t>(offset), SEEK_DATA);
  const int err = errno;
  ::lseek(m_fd, keep, SEEK_SET);
  if (data >= 0) return std::max(offset, static_cast<uint64_t>(data));
  // No data at or after the offset: a hole to the end, or the offset is
  // at or past the end.
  struct stat st;
  if (err == ENXIO && ::fstat(m_fd, &st) == 0 && static_cast<uint64_t>(st.st_size) > offset) {
    return static_cast<uint64_t>(st.st_size);
  }
  return offset;
}

uint32_t File::Read(void* buffer, uint32_t count) {
  if (!m_canRead) Throw(EBADF);
  auto* p = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(m_fd, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Throw(errno);
    }
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

void File::Write(const void* buffer, uint32_t count) {
  if (!m_canWrite) Throw(EBADF);
  const auto* p = static_cast<const uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(m_fd, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Throw(errno);
    }
    done += static_cast<uint32_t>(n);
  }
}

void File::Abort() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_canRead = false;
  m_canWrite = false;
}

void File::Close() {
  if (m_fd < 0) return;
  const int fd = m_fd;
  m_fd = -1;
  m_canRead = false;
  m_canWrite = false;
  if (::close(fd) != 0 && errno != EINTR) Throw(errno);
}

void File::Flush() {
  if (m_fd >= 0 && ::fsync(m_fd) != 0 && errno != EINVAL) Throw(errno);
}

bool File::GetReadOnly(const std::string& path, bool& readOnly) {
  struct stat st;
  if (::stat(ToNativePath(path).c_str(), &st) != 0) return false;
  readOnly = (st.st_mode & S_IWUSR) == 0;
  return true;
}

namespace {

mode_t WithReadOnly(mode_t mode, bool readOnly) {
  mode &= 07777;
  return readOnly ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
}

}  // namespace

bool File::SetReadOnly(const std::string& path, bool readOnly) {
  // A path descriptor needs no access to the file; the kernel's name of
  // it changes the file it names, not what the path names meanwhile.
  const int fd = ::open(ToNativePath(path).c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  const bool done = ::fstat(fd, &st) == 0 && !S_ISLNK(st.st_mode) &&
                    ::chmod(("/proc/self/fd/" + std::to_string(fd)).c_str(),
                            WithReadOnly(st.st_mode, readOnly)) == 0;
  ::close(fd);
  return done;
}

bool File::GetReadOnlyOfOpen(bool& readOnly) const {
  struct stat st;
  if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return false;
  readOnly = (st.st_mode & S_IWUSR) == 0;
  return true;
}

bool File::SetOwnerWritable(bool writable) {
  struct stat st;
  if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return false;
  const mode_t mode = writable ? (st.st_mode & 07777) | S_IWUSR
                               : st.st_mode & 07777 & ~static_cast<mode_t>(S_IWUSR);
  return ::fchmod(m_fd, mode) == 0;
}

bool File::Remove(const std::string& path) { return ::unlink(ToNativePath(path).c_str()) == 0; }

}  // namespace zor::platform
