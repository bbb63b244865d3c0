// File work by descriptor, as the real user. Every file the library makes,
// replaces, cuts or reads by a name that someone else may control goes
// through these helpers, and after the open acts on the descriptor
// (ftruncate, fchmod, fstat), never on the name again:
//
//   UniqueFd fd(OpenExisting(path, O_RDONLY));        // no link, no FIFO wait
//   if (!fd) return Translate(errno);                  // ELOOP, ENXIO, EISDIR, ...
//
//   UniqueFd log(CreateFresh(path, O_WRONLY, 0600));  // never an old file or a link
//
//   TemporaryFile next;                                // beside the target
//   if (int err = next.Create(target, 0600)) return err;
//   write(next.fd(), ...); fchmod(next.fd(), mode);
//   if (int err = next.Commit()) return err;           // fsync, rename, fsync of the folder
//
//   MakePrivateFolders(folder);                        // missing folders made 0700
//
// In a set-user-id or set-group-id program every helper runs with the real
// user's and group's file-system ids (AsRealUser): it gets no file the user
// could not get, and what it makes is the user's. The functions taking
// `const char*` allocate nothing and may be called from a crash handler.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace zor::platform {

// Owns one descriptor and closes it once. Closing keeps errno.
class UniqueFd {
 public:
  UniqueFd() noexcept = default;
  explicit UniqueFd(int fd) noexcept : m_fd(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const noexcept { return m_fd; }
  explicit operator bool() const noexcept { return m_fd >= 0; }
  int release() noexcept;
  void reset(int fd = -1) noexcept;
  // Closes now: 0, or the errno of a close that failed (a write the file
  // system had deferred, on NFS say).
  int Close() noexcept;

 private:
  int m_fd = -1;
};

// While it lives, the calling thread opens, makes and removes files with the
// real user's and group's file-system ids: a set-user-id or set-group-id
// program then gets no file its user could not get, and the files it makes
// are the user's. Other threads keep their ids.
class AsRealUser {
 public:
  AsRealUser() noexcept;
  ~AsRealUser();
  AsRealUser(const AsRealUser&) = delete;
  AsRealUser& operator=(const AsRealUser&) = delete;

  // False when the thread could not take both real ids: a helper then makes
  // and opens nothing (EPERM).
  bool ok() const noexcept { return m_ok; }

 private:
  uid_t m_previousUser;
  gid_t m_previousGroup;
  bool m_switched;
  bool m_ok;
};

// Whether the program runs with ids other than its user's (set-user-id or
// set-group-id), so that it must not act with its borrowed rights.
bool RunsWithBorrowedIds() noexcept;

// Makes a file that did not exist: O_CREAT | O_EXCL | O_NOFOLLOW, so that
// neither an old file nor a link under the name is ever written. `flags`
// gives the access (O_WRONLY, O_RDWR) and extras such as O_APPEND. A
// descriptor, or -1 with errno (EEXIST when the name is taken).
int CreateFresh(const char* path, int flags, mode_t mode) noexcept;

// Opens a file that exists without following a final link (ELOOP) and
// without waiting for a FIFO's other end. Only a regular file is kept
// unless `allowDevice` (then a character or block device too): a folder
// fails with EISDIR, anything else with ENXIO. `flags` may not ask to create
// or cut (EINVAL): cut through the descriptor. The descriptor blocks again
// once it is open.
int OpenExisting(const char* path, int flags, bool allowDevice = false) noexcept;

// Makes every missing folder of `path` (a writable, zero-terminated copy;
// given back unchanged) with mode 0700, then checks that the last one is a
// folder, not a link, that the real user owns, and takes from it any right
// of others to write in it. 0, or an errno: EACCES where
// the user may not make a folder, ENOTDIR where a part is no folder, EPERM
// where the last folder is another user's.
int MakePrivateFolders(char* path) noexcept;
int MakePrivateFolders(const std::string& path);

// How long a lock that another holds is waited for before the call fails
// with a sharing violation: the bound the share modes of open files keep
// (platform/file.cpp), about a second and a fifth on a quiet machine.
inline constexpr int kLockWaitTries = 2000;
inline constexpr long kLockWaitPauseNs = 500'000;

// Takes an exclusive flock on `fd` within that bound: 0, EWOULDBLOCK while
// another still holds it, or the errno. A holder that never lets go (a hung
// program, or anyone who may open the file) then costs a caller no more.
int LockExclusiveBounded(int fd) noexcept;

// fsync of the folder holding `path`, so that a rename into it survives a
// power cut. Errors are ignored: the file itself is already on disk.
void SyncFolderOf(const std::string& path);

// A new file beside a target that replaces it whole when committed: made
// fresh under a random name ("<target>.<16 hex digits>.tmp") and removed
// again unless committed, so that a killed or failed writer leaves the old
// target in place and at most a temporary file.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();

  // 0, or the errno of the last try. The mode goes through the umask; fchmod
  // the descriptor for an exact mode.
  int Create(const std::string& target, mode_t mode);
  int fd() const noexcept { return m_fd.get(); }
  const std::string& path() const noexcept { return m_path; }
  // fsync of the written bytes; Commit does it too.
  int Flush() noexcept;
  // Flushes, closes and renames the file over the target, then syncs the
  // folder: 0 or the errno. On failure the temporary file is removed.
  int Commit();
  // Removes the temporary file now.
  void Discard() noexcept;

 private:
  UniqueFd m_fd;
  std::string m_path;
  std::string m_target;
  bool m_flushed = false;
};

}  // namespace zor::platform
