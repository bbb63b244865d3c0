// The rules every per-user block in /dev/shm follows (named events, the
// registry's change counter), so that one program's blocks are another's.
//
//   int fd = OpenUserBlock(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
//   GiveToRealUser(fd);                                    // a block made here
//   if (!IsOwnBlock(st)) return refuse();                  // fstat of one opened
//   if (const int err = ReserveBlockPages(fd, sizeof(Block))) return fail(err);
//   void* p = ::mmap(nullptr, sizeof(Block), ..., MAP_SHARED, fd, 0);
//
// Names carry the real user id, so a set-user-id program shares the blocks
// of the user running it: it opens and makes them as that user.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace zor::platform {

// shm_open and shm_unlink as the real user: a set-user-id program (root's
// or another user's) takes the real user id as its effective one, on the
// calling thread alone and for the moment of the call, so that it can open
// and remove that user's 0600 blocks and the blocks it makes are that
// user's. A program whose effective id is not its saved one (it changed its
// ids itself) calls as it is.
int OpenUserBlock(const char* name, int flags, mode_t mode) noexcept;
int UnlinkUserBlock(const char* name) noexcept;

// Whether the real or the effective user owns the block. Another user's
// block under this user's name, made with loose rights, could be changed or
// cut short under us at that user's will.
bool IsOwnBlock(const struct stat& st) noexcept;

// A file a set-user-id program made for the user running it (a block its
// OpenUserBlock could not make as that user, a registry file) is given to
// that user, whose own programs must be able to open and replace it. Only a
// program running as root can; for any other it stays its own.
void GiveToRealUser(int fd) noexcept;

// Reserves the block's pages, sizing it to `size` when it is shorter: 0, or
// the errno (ENOSPC when /dev/shm is full). tmpfs gives a page only at its
// first touch, and a full one answers that touch with SIGBUS, so every block
// is reserved before it is mapped; a block already of the size keeps its
// size and contents.
int ReserveBlockPages(int fd, std::size_t size) noexcept;

}  // namespace zor::platform
