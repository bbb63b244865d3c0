#include "platform/error_text.h"

#include <cerrno>

namespace zor::platform {
namespace {

struct Message {
  uint32_t code;
  const char* text;
};

constexpr Message kMessages[] = {
    {kErrorSuccess, "The operation completed successfully."},
    {kErrorFileNotFound, "The system cannot find the file specified."},
    {kErrorPathNotFound, "The system cannot find the path specified."},
    {kErrorTooManyOpenFiles, "The system cannot open the file."},
    {kErrorAccessDenied, "Access is denied."},
    {kErrorInvalidHandle, "The handle is invalid."},
    {kErrorNotEnoughMemory, "Not enough memory resources are available to process this command."},
    {kErrorSharingViolation,
     "The process cannot access the file because it is being used by another process."},
    {kErrorFileExists, "The file exists."},
    {kErrorInvalidParameter, "The parameter is incorrect."},
    {kErrorDiskFull, "There is not enough space on the disk."},
    {kErrorInsufficientBuffer, "The data area passed to a system call is too small."},
    {kErrorDirNotEmpty, "The directory is not empty."},
    {kErrorAlreadyExists, "Cannot create a file when that file already exists."},
    {kErrorMoreData, "More data is available."},
    {kErrorNoMoreItems, "No more data is available."},
    {kErrorBadKey, "The configuration registry key is invalid."},
    {kErrorIoDevice, "The request could not be performed because of an I/O device error."},
};

thread_local uint32_t t_lastError = 0;

}  // namespace

bool FormatErrorMessage(uint32_t code, std::string& text) {
  for (const Message& m : kMessages) {
    if (m.code == code) {
      text = std::string(m.text) + "\r\n";
      return true;
    }
  }
  return false;
}

uint32_t GetLastError() noexcept { return t_lastError; }
void SetLastError(uint32_t code) noexcept { t_lastError = code; }

uint32_t ErrorFromErrno(int err) noexcept {
  switch (err) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EIO: return kErrorIoDevice;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kErrorAccessDenied;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK: return kErrorSharingViolation;
    case EEXIST: return kErrorAlreadyExists;
    case EINVAL: return kErrorInvalidParameter;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case ENAMETOOLONG:
    case ERANGE: return kErrorInsufficientBuffer;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    default: return kErrorInvalidParameter;
  }
}

}  // namespace zor::platform
