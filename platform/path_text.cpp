#include "platform/path_text.h"

#include <limits.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace zor::platform {

std::string ToNativeSubPath(std::string_view path) {
  std::string native(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

namespace {

// The result once `path` is known to exist as written up to `end`.
std::string KeepPrefix(std::string_view path, std::size_t end, bool isFolder) {
  std::string native(path.substr(0, end));
  std::string rest = ToNativeSubPath(path.substr(end));
  if (!rest.empty() && rest.front() != '/' && native.back() == '\\' && isFolder) native += '/';
  return native + rest;
}

}  // namespace

std::string ToNativePath(std::string_view path) {
  const std::size_t firstBackslash = path.find('\\');
  if (firstBackslash == std::string_view::npos) return std::string(path);

  // The kernel separates at '/' only, so a leading part exists only when
  // every '/'-ended part before it is a folder, and the parts that are folders
  // are the first few. Find how many by bisection, then look only inside the
  // one name after them, and only at its first NAME_MAX bytes: a longer name
  // cannot exist. A path of many thousand '\' costs a few hundred looks at
  // most, not one per '\'.
  std::vector<std::size_t> slashes;
  for (std::size_t i = 1; i < path.size(); ++i)
    if (path[i] == '/') slashes.push_back(i);
  std::string prefix;
  const auto isFolder = [&](std::size_t end) {
    if (end >= PATH_MAX) return false;
    prefix.assign(path.substr(0, end));
    struct stat st {};
    return ::stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  };
  std::size_t folders = 0;  // slashes[0 .. folders) end folders
  for (std::size_t hi = slashes.size(); folders < hi;) {
    const std::size_t mid = folders + (hi - folders + 1) / 2;
    if (isFolder(slashes[mid - 1]))
      folders = mid;
    else
      hi = mid - 1;
  }

  // Ends of leading parts within that name that hold a '\', longest first:
  // the name's end, before each '\' and just after each '\' (a name may end
  // in one).
  const std::size_t nameStart = folders == 0 ? 0 : slashes[folders - 1] + 1;
  const std::size_t nameEnd = folders < slashes.size() ? slashes[folders] : path.size();
  const std::size_t last = std::min(nameEnd, nameStart + NAME_MAX);
  for (std::size_t end = last; end > firstBackslash && end >= nameStart && end > 0; --end) {
    const bool whole = end == nameEnd;
    if (!whole && path[end] != '\\' && path[end - 1] != '\\') continue;
    if (end >= PATH_MAX) continue;
    prefix.assign(path.substr(0, end));
    // A link exists as written even when it leads nowhere; one to a folder
    // is that folder, as it is to every later call on the path.
    struct stat st {};
    if (::lstat(prefix.c_str(), &st) != 0) continue;
    if (S_ISLNK(st.st_mode) && ::stat(prefix.c_str(), &st) != 0) st.st_mode = S_IFLNK;
    return KeepPrefix(path, end, S_ISDIR(st.st_mode));
  }
  // The deepest folder, when it holds a '\', is kept as written.
  if (folders > 0 && slashes[folders - 1] > firstBackslash)
    return KeepPrefix(path, slashes[folders - 1], true);
  return ToNativeSubPath(path);
}

}  // namespace zor::platform
