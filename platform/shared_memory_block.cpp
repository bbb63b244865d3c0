#include "platform/shared_memory_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace zor::platform {

// The file system user id alone, on this thread alone: the C library's
// setresuid would change every thread of the process, and a changed
// effective id would take the file system id with it when it came back.
// Any program may take its real id; one with root's id loses root's rights
// over files meanwhile and gets them back after.
AsRealUser::AsRealUser() noexcept {
  const uid_t real = ::getuid();
  m_previous = static_cast<uid_t>(::syscall(SYS_setfsuid, real));
  m_switched = m_previous != real;
}

AsRealUser::~AsRealUser() {
  const int err = errno;
  if (m_switched) ::syscall(SYS_setfsuid, m_previous);
  errno = err;
}

int OpenUserBlock(const char* name, int flags, mode_t mode) noexcept {
  const AsRealUser as;
  return ::shm_open(name, flags, mode);
}

int UnlinkUserBlock(const char* name) noexcept {
  const AsRealUser as;
  return ::shm_unlink(name);
}

bool IsOwnBlock(const struct stat& st) noexcept {
  return st.st_uid == ::getuid() || st.st_uid == ::geteuid();
}

int ReserveBlockPages(int fd, std::size_t size) noexcept {
  int err = 0;
  do {
    err = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
  } while (err == EINTR);
  return err;
}

}  // namespace zor::platform
