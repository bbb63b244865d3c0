// Texts of the platform's error codes (the Windows error space that the
// platform layer keeps; errno is translated into it, never passed through).
//
//   std::string text;
//   if (zor::platform::FormatErrorMessage(2, text)) ...  // "The system cannot find the file specified.\r\n"
//
// Only the codes the platform layer itself produces have a text; any other
// code gives false, as the system's message table does for unknown codes.
#pragma once

#include <cstdint>
#include <string>

namespace zor::platform {

// Well-known codes of the platform layer.
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorPathNotFound = 3;
inline constexpr uint32_t kErrorTooManyOpenFiles = 4;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorSharingViolation = 32;
inline constexpr uint32_t kErrorFileExists = 80;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorDiskFull = 112;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorDirNotEmpty = 145;
inline constexpr uint32_t kErrorAlreadyExists = 183;
inline constexpr uint32_t kErrorMoreData = 234;
inline constexpr uint32_t kErrorNoMoreItems = 259;
inline constexpr uint32_t kErrorBadKey = 1010;
inline constexpr uint32_t kErrorIoDevice = 1117;

// The message text of `code`, ending in "\r\n" like the system's own texts.
bool FormatErrorMessage(uint32_t code, std::string& text);

// The calling thread's last error, as set by the platform layer.
uint32_t GetLastError() noexcept;
void SetLastError(uint32_t code) noexcept;

// Translates an errno value into the platform's error space.
uint32_t ErrorFromErrno(int err) noexcept;

}  // namespace zor::platform
