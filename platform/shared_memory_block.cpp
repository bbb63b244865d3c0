#include "platform/shared_memory_block.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zor::platform {

bool IsOwnBlock(const struct stat& st) noexcept {
  return st.st_uid == ::getuid() || st.st_uid == ::geteuid();
}

void GiveToRealUser(int fd) noexcept {
  if (::getuid() == ::geteuid()) return;
  // Refused unless running as root; the block then stays this program's.
  if (::fchown(fd, ::getuid(), static_cast<gid_t>(-1)) != 0) {
  }
}

int ReserveBlockPages(int fd, std::size_t size) noexcept {
  int err = 0;
  do {
    err = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
  } while (err == EINTR);
  return err;
}

}  // namespace zor::platform
