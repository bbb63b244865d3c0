#include "platform/shared_memory_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

namespace zor::platform {

int OpenUserBlock(const char* name, int flags, mode_t mode) noexcept {
  const AsRealUser as;
  if (!as.ok()) {
    errno = EPERM;
    return -1;
  }
  return ::shm_open(name, flags, mode);
}

int UnlinkUserBlock(const char* name) noexcept {
  const AsRealUser as;
  if (!as.ok()) {
    errno = EPERM;
    return -1;
  }
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
