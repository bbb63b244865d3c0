// Windows' debugger output. A Linux program has no
// debugger output channel, so the text goes to standard error, with one raw
// write: safe inside a signal handler.
//
//   zor::platform::OutputDebugString("A stack overflow occurred\n");
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zor::platform {

inline void OutputDebugString(const char* text) noexcept {
  if (text == nullptr) return;
  const int savedErrno = errno;
  std::size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, text, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
  errno = savedErrno;
}

}  // namespace zor::platform
