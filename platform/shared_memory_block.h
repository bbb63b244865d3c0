// The rules every per-user block in /dev/shm follows (named events, the
// registry's change counter), so that one program's blocks are another's.
//
//   int fd = OpenUserBlock(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
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

#include "platform/safe_files.h"

namespace zor::platform {

// shm_open and shm_unlink as the real user (AsRealUser), so that a
// set-user-id program opens and removes that user's 0600 blocks and the
// blocks it makes are that user's.
int OpenUserBlock(const char* name, int flags, mode_t mode) noexcept;
int UnlinkUserBlock(const char* name) noexcept;

// Whether the real or the effective user owns the block. Another user's
// block under this user's name, made with loose rights, could be changed or
// cut short under us at that user's will.
bool IsOwnBlock(const struct stat& st) noexcept;

// Reserves the block's pages, sizing it to `size` when it is shorter: 0, or
// the errno (ENOSPC when /dev/shm is full). tmpfs gives a page only at its
// first touch, and a full one answers that touch with SIGBUS, so every block
// is reserved before it is mapped; a block already of the size keeps its
// size and contents.
int ReserveBlockPages(int fd, std::size_t size) noexcept;

}  // namespace zor::platform
