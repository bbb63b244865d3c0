#include "platform/shared_memory_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace zor::platform {

namespace {

// A set-user-id program (root's or another user's) takes the real user id as
// its effective one for the object's life, on the calling thread alone: the
// raw call changes this thread only (the C library's setresuid would change
// every thread of the process). The effective id comes back from the saved
// one, which stays as it is, so a program whose effective id is not its
// saved one (it changed its ids itself) is left as it is.
class AsRealUser {
 public:
  AsRealUser() {
    uid_t real = 0;
    uid_t saved = 0;
    if (::getresuid(&real, &m_effective, &saved) != 0 || real == m_effective ||
        m_effective != saved)
      return;
    m_switched = ::syscall(SYS_setresuid, -1, real, -1) == 0;
  }
  ~AsRealUser() {
    const int err = errno;
    // Cannot fail with the saved id unchanged; were it to, this thread would
    // go on with the real user's rights only, never with more.
    if (m_switched) ::syscall(SYS_setresuid, -1, m_effective, -1);
    errno = err;
  }
  AsRealUser(const AsRealUser&) = delete;
  AsRealUser& operator=(const AsRealUser&) = delete;

 private:
  uid_t m_effective = 0;
  bool m_switched = false;
};

}  // namespace

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
