// The rules every per-user block in /dev/shm follows (named events, the
// registry's change counter), so that one program's blocks are another's.
//
//   int fd = ::shm_open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
//   GiveToRealUser(fd);                                    // a block made here
//   if (!IsOwnBlock(st)) return refuse();                  // fstat of one opened
//   if (const int err = ReserveBlockPages(fd, sizeof(Block))) return fail(err);
//   void* p = ::mmap(nullptr, sizeof(Block), ..., MAP_SHARED, fd, 0);
//
// Names carry the real user id, so a set-user-id program shares the blocks
// of the user running it.
#pragma once

#include <sys/stat.h>

#include <cstddef>

namespace zor::platform {

// Whether the real or the effective user owns the block. Another user's
// block under this user's name, made with loose rights, could be changed or
// cut short under us at that user's will.
bool IsOwnBlock(const struct stat& st) noexcept;

// A block made by a set-user-id program lies under the name of the user
// running it (the real user), whose own programs must be able to open it: it
// is given to that user. Only a program running as root can; for any other
// the block stays its own, which those programs cannot open.
void GiveToRealUser(int fd) noexcept;

// Reserves the block's pages, sizing it to `size` when it is shorter: 0, or
// the errno (ENOSPC when /dev/shm is full). tmpfs gives a page only at its
// first touch, and a full one answers that touch with SIGBUS, so every block
// is reserved before it is mapped; a block already of the size keeps its
// size and contents.
int ReserveBlockPages(int fd, std::size_t size) noexcept;

}  // namespace zor::platform
