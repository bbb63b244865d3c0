#include "platform/path_text.h"

#include <sys/stat.h>

#include <algorithm>

namespace zor::platform {

std::string ToNativeSubPath(std::string_view path) {
  std::string native(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

std::string ToNativePath(std::string_view path) {
  const std::size_t firstBackslash = path.find('\\');
  if (firstBackslash == std::string_view::npos) return std::string(path);

  // Ends of leading parts that hold a '\', longest first: the whole path,
  // before each later separator, and just after each '\' (a name may end in
  // one). Each is looked up once; paths rarely hold more than a few.
  std::string prefix;
  for (std::size_t end = path.size(); end > firstBackslash; --end) {
    const bool atEnd = end == path.size();
    const bool beforeSeparator = !atEnd && IsPathSeparator(path[end]);
    const bool afterBackslash = path[end - 1] == '\\';
    if (!atEnd && !beforeSeparator && !afterBackslash) continue;
    prefix.assign(path.substr(0, end));
    struct stat st {};
    if (::lstat(prefix.c_str(), &st) != 0) continue;
    std::string rest = ToNativeSubPath(path.substr(end));
    if (!rest.empty() && rest.front() != '/' && prefix.back() == '\\' && S_ISDIR(st.st_mode))
      prefix += '/';
    return prefix + rest;
  }
  return ToNativeSubPath(path);
}

}  // namespace zor::platform
