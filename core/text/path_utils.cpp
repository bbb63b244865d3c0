#include "core/text/path_utils.h"

#include "platform/path_text.h"

#include <algorithm>

#include <boost/filesystem.hpp>

namespace fs = boost::filesystem;

namespace {

// Which end of the path a part function's answer comes from.
enum class End { kFront, kBack };

// The library splits at '/' only, so the part functions run on the '/' form
// and then hand back the same stretch of the caller's own text, which keeps
// the separators it was written with. An answer that is not a stretch of the
// path (the "." of a path ending in a separator) is returned as it stands.
std::string SameStretchOf(const std::string& original, const std::string& native,
                          const std::string& answer, End end) {
  const std::size_t n = answer.size();
  if (n > native.size()) return answer;
  const bool front = native.compare(0, n, answer) == 0;
  const bool back = native.compare(native.size() - n, n, answer) == 0;
  if (front && (end == End::kFront || !back)) return original.substr(0, n);
  if (back) return original.substr(original.size() - n);
  return answer;
}

template <typename F>
std::string PathPart(const std::string& path, End end, F part) {
  try {
    const std::string native = ToNativePath(path);
    return SameStretchOf(path, native, part(fs::path(native)).string(), end);
  } catch (const fs::filesystem_error&) {
    return std::string();
  }
}

}  // namespace

std::string ToNativePath(const std::string& path) { return zor::platform::ToNativePath(path); }

bool IsDirectory(const std::string& path) {
  try {
    return fs::is_directory(fs::path(ToNativePath(path)));
  } catch (const fs::filesystem_error&) {
    return false;
  }
}

bool PathExists(const std::string& path) {
  try {
    const fs::file_status st = fs::status(fs::path(ToNativePath(path)));
    return st.type() != fs::status_error && st.type() != fs::file_not_found;
  } catch (const fs::filesystem_error&) {
    return false;
  }
}

bool MakeDirectory(const std::string& path) {
  try {
    return fs::create_directory(fs::path(ToNativePath(path)));
  } catch (const fs::filesystem_error&) {
    return false;
  }
}

std::string PathFileName(const std::string& path) {
  return PathPart(path, End::kBack, [](const fs::path& p) { return p.filename(); });
}

std::string PathParent(const std::string& path) {
  return PathPart(path, End::kFront, [](const fs::path& p) { return p.parent_path(); });
}

std::string PathWithoutExtension(const std::string& path) {
  return PathPart(path, End::kFront, [](fs::path p) { return p.replace_extension(""); });
}

std::string CurrentFolderPath() {
  try {
    return fs::current_path().string();
  } catch (const fs::filesystem_error&) {
    return std::string();
  }
}
