#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/path_text.h"

namespace zor::platform {

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
  int oflags = O_CLOEXEC;
  switch (flags & 0x3) {
    case modeWrite: oflags |= O_WRONLY; break;
    case modeReadWrite: oflags |= O_RDWR; break;
    default: oflags |= O_RDONLY; break;
  }
  if (flags & modeCreate) {
    oflags |= O_CREAT;
    if (!(flags & modeNoTruncate)) oflags |= O_TRUNC;
  }
  // Share modes are accepted and ignored: Linux has no mandatory sharing.
  const int fd = ::open(ToNativePath(fileName).c_str(), oflags, 0666);
  if (fd < 0) {
    const int err = errno;
    if (error) *error = FileException(FileException::CauseFromErrno(err), err, fileName);
    return false;
  }
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    if (error) *error = FileException(FileException::accessDenied, EISDIR, fileName);
    return false;
  }
  m_fd = fd;
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
}

void File::Close() {
  if (m_fd < 0) return;
  const int fd = m_fd;
  m_fd = -1;
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

bool File::SetReadOnly(const std::string& path, bool readOnly) {
  const std::string native = ToNativePath(path);
  struct stat st;
  if (::stat(native.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
  return ::chmod(native.c_str(), mode) == 0;
}

bool File::Remove(const std::string& path) { return ::unlink(ToNativePath(path).c_str()) == 0; }

}  // namespace zor::platform
