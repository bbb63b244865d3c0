#include "platform/safe_memory.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace zor::platform {
namespace {

// Pieces never cross a 4 KiB boundary, so a piece is either wholly readable
// or not at all (every page size is a multiple of 4 KiB).
constexpr uint64_t kPiece = 4096;

// Set once process_vm_readv turned out to be unavailable (ENOSYS, or EPERM
// under a restrictive sandbox).
std::atomic<bool> g_usePipe{false};

// -1: the call itself is unavailable; 0: unreadable; 1: copied.
int ReadPieceWithVm(uint64_t address, void* out, std::size_t size) noexcept {
  iovec local{out, size};
  iovec remote{reinterpret_cast<void*>(address), size};
  const long n = ::syscall(SYS_process_vm_readv, static_cast<long>(::getpid()), &local, 1L,
                           &remote, 1L, 0L);
  if (n == static_cast<long>(size)) return 1;
  if (n < 0 && (errno == ENOSYS || errno == EPERM)) return -1;
  return 0;
}

// The kernel reads the source of write(2) itself and answers EFAULT for a
// bad address instead of faulting. Raw system calls: a sanitizer's write()
// would check the source itself, and any memory may be dumped.
bool ReadPieceWithPipe(uint64_t address, void* out, std::size_t size) noexcept {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  bool ok = ::syscall(SYS_write, static_cast<long>(fds[1]), address, size) ==
            static_cast<long>(size);
  if (ok) ok = ::syscall(SYS_read, static_cast<long>(fds[0]), out, size) == static_cast<long>(size);
  ::close(fds[0]);
  ::close(fds[1]);
  return ok;
}

// Copies piece by piece with `read` (1: copied, 0: unreadable), stopping at
// the first piece that cannot be read.
template <typename PieceReader>
std::size_t ReadPieces(uint64_t address, void* out, std::size_t size, PieceReader read) {
  const int savedErrno = errno;
  auto* dest = static_cast<uint8_t*>(out);
  std::size_t done = 0;
  while (done < size) {
    const uint64_t at = address + done;
    if (at < address) break;  // wrapped past the top of the address space
    const uint64_t toBoundary = kPiece - (at % kPiece);
    const std::size_t piece = size - done < toBoundary ? size - done : toBoundary;
    if (read(at, dest + done, piece) <= 0) break;
    done += piece;
  }
  errno = savedErrno;
  return done;
}

}  // namespace

std::size_t SafeRead(uint64_t address, void* out, std::size_t size) noexcept {
  return ReadPieces(address, out, size, [](uint64_t at, uint8_t* dest, std::size_t piece) {
    if (!g_usePipe.load(std::memory_order_relaxed)) {
      const int vm = ReadPieceWithVm(at, dest, piece);
      if (vm >= 0) return vm;
      g_usePipe.store(true, std::memory_order_relaxed);
    }
    return ReadPieceWithPipe(at, dest, piece) ? 1 : 0;
  });
}

std::size_t SafeReadThroughPipe(uint64_t address, void* out, std::size_t size) noexcept {
  return ReadPieces(address, out, size, [](uint64_t at, uint8_t* dest, std::size_t piece) {
    return ReadPieceWithPipe(at, dest, piece) ? 1 : 0;
  });
}

}  // namespace zor::platform
