#include "system/files/file_helpers.h"

#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/file.h"
#include "platform/path_text.h"
#include "platform/safe_files.h"
#include "platform/shell_folders.h"

extern char** environ;

namespace fs = std::filesystem;
using zor::platform::FileFinder;

namespace {

using zor::platform::EndsWithPathSeparator;
using zor::platform::IsPathSeparator;

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

std::string WithSeparator(const std::string& folder) {
  return EndsWithPathSeparator(folder) ? folder : folder + "/";
}

// Paths as Linux calls take them, by the suite's one separator rule.
std::string Native(const std::string& path) { return zor::platform::ToNativePath(path); }

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

std::string ReplaceAllIn(const std::string& text, const std::string& what, const std::string& with,
                         bool& replaced) {
  replaced = false;
  if (what.empty()) return text;
  std::string out;
  std::size_t pos = 0;
  for (std::size_t hit; (hit = text.find(what, pos)) != std::string::npos; pos = hit + what.size()) {
    out.append(text, pos, hit - pos);
    out += with;
    replaced = true;
  }
  out.append(text, pos, std::string::npos);
  return out;
}

std::string RemoveChars(const std::string& text, const std::string& chars, std::size_t from,
                        bool replace, char replacement) {
  std::string out = text.substr(0, from);
  for (std::size_t i = from; i < text.size(); ++i) {
    if (chars.find(text[i]) == std::string::npos) {
      out += text[i];
    } else if (replace) {
      out += replacement;
    }
  }
  return out;
}

std::vector<std::string> SplitElements(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (IsPathSeparator(c)) {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

bool IsNativeFolder(const std::string& native) {
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The missing levels of the Linux form of a path, deepest first. The path is
// converted once and walked at its '/' only: converting each level anew would
// cost a conversion per level, and could read a folder whose own name ends in
// '\' as a missing one without it. False when the path is longer than any
// call takes (it can never be made).
bool MissingLevels(std::string native, std::vector<std::string>& missing) {
  missing.clear();
  while (!native.empty() && !IsNativeFolder(native)) {
    if (native.size() >= PATH_MAX) return false;
    missing.push_back(native);
    const std::size_t cut = native.rfind('/');
    std::string parent =
        cut == std::string::npos ? std::string() : native.substr(0, cut == 0 ? 1 : cut);
    if (parent == native) break;
    native = std::move(parent);
  }
  return true;
}

bool CreateLevels(const std::vector<std::string>& missingDeepestFirst) {
  for (auto it = missingDeepestFirst.rbegin(); it != missingDeepestFirst.rend(); ++it) {
    if (::mkdir(it->c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  return true;
}

}  // namespace

// --- Path texts --------------------------------------------------------------

std::string GetFileNameFromPath(const std::string& path) {
  const std::size_t cut = LastSeparator(path);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string GetFolderFromPath(const std::string& path, bool withoutSeparator) {
  const std::size_t cut = LastSeparator(path);
  if (cut == std::string::npos) return {};
  return path.substr(0, withoutSeparator ? cut : cut + 1);
}

std::string RemoveFileExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t cut = LastSeparator(path);
  if (dot == std::string::npos || (cut != std::string::npos && dot < cut)) return path;
  return path.substr(0, dot);
}

std::string GetFileExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t cut = LastSeparator(path);
  if (dot == std::string::npos || (cut != std::string::npos && dot < cut)) return {};
  return path.substr(dot + 1);
}

std::string GetFirstWord(const std::string& text) { return text.substr(0, text.find(' ')); }

void SplitPath(const std::string& path, std::string& drive, std::string& folder, std::string& name,
               std::string& extension) {
  std::size_t pos = 0;
  drive.clear();
  if (path.size() >= 2 && path[1] == ':') {
    drive = path.substr(0, 2);
    pos = 2;
  }
  const std::size_t cut = LastSeparator(path);
  if (cut != std::string::npos && cut >= pos) {
    folder = path.substr(pos, cut + 1 - pos);
    pos = cut + 1;
  } else {
    folder.clear();
  }
  const std::string rest = path.substr(pos);
  const std::size_t dot = rest.rfind('.');
  name = dot == std::string::npos ? rest : rest.substr(0, dot);
  extension = dot == std::string::npos ? std::string() : rest.substr(dot);
}

std::string JoinPath(const std::string& first, const std::string& second) {
  if (first.empty()) return second;
  if (second.empty()) return first;
  const bool a = EndsWithPathSeparator(first);
  const bool b = IsPathSeparator(second.front());
  if (a && b) return first + second.substr(1);
  if (!a && !b) return first + "/" + second;
  return first + second;
}

std::string AbbreviatePath(const std::string& path, std::size_t maximum) {
  if (path.size() <= maximum) return path;
  const std::size_t first = path.find_first_of("\\/");
  if (first == std::string::npos) return path;
  std::size_t next = path.find_first_of("\\/", first + 1);  // end of the element replaced
  if (next == std::string::npos) return path;
  // Only the last cut is built: building each on the way would cost the
  // path's length once per separator.
  const std::size_t head = first + 1 + 3;  // the first element, its separator and "..."
  for (;;) {
    if (head + (path.size() - next) <= maximum) break;
    const std::size_t further = path.find_first_of("\\/", next + 1);
    if (further == std::string::npos) break;
    next = further;
  }
  return path.substr(0, first + 1) + "..." + path.substr(next);
}

void ChangeFileExtension(std::string& path, const std::string& extension, bool onlyWhenMissing) {
  if (onlyWhenMissing && !GetFileExtension(path).empty()) return;
  path = RemoveFileExtension(path);
  if (extension.empty()) return;
  if (extension.front() != '.') path += '.';
  path += extension;
}

std::string ChangeFileExtensionCopy(const std::string& path, const std::string& extension,
                                    bool onlyWhenMissing) {
  std::string copy = path;
  ChangeFileExtension(copy, extension, onlyWhenMissing);
  return copy;
}

void ReplaceExtensionInText(std::string& text, const std::string& oldExtension,
                            const std::string& newExtension) {
  std::string from = oldExtension.empty() || oldExtension.front() != '.' ? "." + oldExtension
                                                                         : oldExtension;
  std::string to = newExtension.empty() || newExtension.front() != '.' ? "." + newExtension
                                                                       : newExtension;
  std::transform(from.begin(), from.end(), from.begin(), Lower);
  std::transform(to.begin(), to.end(), to.begin(), Lower);
  bool replaced = false;
  std::string out = ReplaceAllIn(text, from, to, replaced);
  if (!replaced) {
    std::transform(from.begin(), from.end(), from.begin(), Upper);
    std::transform(to.begin(), to.end(), to.begin(), Upper);
    out = ReplaceAllIn(text, from, to, replaced);
  }
  text = out;
}

std::string ReplaceExtensionInTextCopy(const std::string& text, const std::string& oldExtension,
                                       const std::string& newExtension) {
  std::string copy = text;
  ReplaceExtensionInText(copy, oldExtension, newExtension);
  return copy;
}

std::string MakeValidFileName(const std::string& name, bool replace, char replacement) {
  return RemoveChars(name, "\\?*/&:><\"|", 0, replace, replacement);
}

std::string MakeValidPath(const std::string& path, bool replace, char replacement) {
  std::string out = RemoveChars(path, "?*><\"|", 0, replace, replacement);
  // A drive root ("C:\" or "C:/") keeps its colon; every other colon goes.
  const bool driveRoot = out.size() >= 3 && std::isalpha(static_cast<unsigned char>(out[0])) &&
                         out[1] == ':' && IsPathSeparator(out[2]);
  return RemoveChars(out, ":", driveRoot ? 3 : 0, replace, replacement);
}

bool IsValidFileName(const std::string& name) {
  return !name.empty() && MakeValidFileName(name, false, 0) == name;
}

bool IsNotDotName(const std::string& name) { return !name.empty() && name.front() != '.'; }

std::string CompactPathToWidth(const std::string& path, const zor::platform::IWindowMetrics& window,
                               int width) {
  std::string drive, folder, name, ext;
  SplitPath(path, drive, folder, name, ext);
  if (folder.empty()) return path;
  if (width == -1) width = window.ClientWidth() - 4;
  if (window.TextExtent(path) <= width) return path;
  if (window.TextExtent(drive + name + ext) > width) return path;
  std::vector<std::string> elements = SplitElements(folder);
  while (!elements.empty()) {
    elements.erase(elements.begin());
    std::string candidate = drive + "/.../";
    for (const std::string& e : elements) candidate += e + "/";
    candidate += name + ext;
    if (window.TextExtent(candidate) <= width) return candidate;
  }
  return drive + "/.../" + name + ext;
}

// --- Tests and attributes ----------------------------------------------------

bool FileExists(const char* path, const char* folder, FileFinder* finder) {
  if (path == nullptr && folder == nullptr) return false;
  if (finder != nullptr && folder == nullptr) return false;
  FileFinder own;
  FileFinder& search = finder ? *finder : own;
  // The folder is joined to the path instead of being made current, so other
  // threads never see the process's folder change. A rooted path does not
  // depend on the current folder, so it is looked for as given.
  if (folder == nullptr || (path != nullptr && IsPathSeparator(path[0])))
    return search.FindFile(path);
  return search.FindFile(JoinPath(folder, path ? std::string(path) : std::string("*.*")));
}

bool IsExistingFolder(const std::string& path) {
  return !path.empty() && IsNativeFolder(Native(path));
}

bool IsFolderReadOnly(const char* folder) {
  if (folder == nullptr) return true;
  std::string probe = JoinPath(Native(folder), "~1BBC170XXXXXX");
  // mkstemp creates the file exclusively: an existing file is never touched.
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return true;
  ::close(fd);
  return ::unlink(probe.c_str()) != 0;
}

bool HasFileAccess(const std::string& path, uint32_t accessMask) {
  int mode = 0;
  if (accessMask & 0x10000000u) mode |= R_OK | W_OK | X_OK;           // generic all
  if (accessMask & (0x80000000u | 0x0001u)) mode |= R_OK;              // read data
  if (accessMask & (0x40000000u | 0x0002u | 0x0004u)) mode |= W_OK;    // write / append
  if (accessMask & (0x20000000u | 0x0020u)) mode |= X_OK;              // execute
  return ::faccessat(AT_FDCWD, Native(path).c_str(), mode == 0 ? F_OK : mode, AT_EACCESS) == 0;
}

bool CanOpenFile(const std::string& path, unsigned flags) {
  zor::platform::File file;
  zor::platform::FileException error;
  if (!file.Open(Native(path), flags, &error)) {
    if (error.m_cause == zor::platform::FileException::accessDenied ||
        error.m_cause == zor::platform::FileException::sharingViolation)
      return false;
    throw error;
  }
  file.Close();
  return true;
}

bool SetReadOnly(const std::string& path, bool readOnly) {
  bool current = false;
  if (!zor::platform::File::GetReadOnly(Native(path), current)) return false;
  if (current == readOnly) return true;
  return zor::platform::File::SetReadOnly(Native(path), readOnly);
}

uint32_t GetFileAttributesOf(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(Native(path).c_str(), &st) != 0) return 0;
  uint32_t attributes = 0;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= 0x1;
  if (S_ISDIR(st.st_mode)) attributes |= 0x10;
  return attributes == 0 ? 0x80 : attributes;
}

bool ClearFileAttributes(const std::string& path, uint32_t attributes) {
  if (path.empty() || !FileExists(path.c_str())) return false;
  const uint32_t held = GetFileAttributesOf(path);
  if ((held & attributes) == 0) return false;
  // Only the read-only bit can change here; the folder and normal bits are
  // not stored, so asking to clear them changes nothing and succeeds, as the
  // platform ignores them in a new attribute set.
  return (attributes & held & 0x1) ? zor::platform::File::SetReadOnly(Native(path), false) : true;
}

int64_t GetFileSize64(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(Native(path).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool IsSameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// --- Folders, searches and copies -------------------------------------------

bool CreateFolderTree(const std::string& path) {
  if (path.empty()) return false;
  if (IsExistingFolder(path)) return true;
  std::string drive, folder, name, ext;
  SplitPath(path, drive, folder, name, ext);
  // A Windows drive letter must exist as a folder; a Linux path has none and
  // starts from the root or the current folder, which always exist.
  if (!drive.empty() && !IsExistingFolder(drive)) return false;
  std::vector<std::string> missing;
  return MissingLevels(Native(path), missing) && CreateLevels(missing);
}

bool CreateFolderTreeUnc(const std::string& path) {
  if (path.empty()) return false;
  if (IsExistingFolder(path)) return true;
  std::string drive, folder, name, ext;
  SplitPath(path, drive, folder, name, ext);
  if (drive.empty() || !IsExistingFolder(drive)) {
    const bool unc = path.size() > 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]);
    if (unc) {
      const std::size_t server = path.find_first_of("\\/", 2);
      const std::size_t share =
          server == std::string::npos ? std::string::npos : path.find_first_of("\\/", server + 1);
      if (share == std::string::npos || !IsExistingFolder(path.substr(0, share))) return false;
    } else if (!drive.empty()) {
      return false;
    }
  }
  std::vector<std::string> missing;
  return MissingLevels(Native(path), missing) && CreateLevels(missing);
}

bool CanCreateFile(const std::string& path) {
  if (path.empty()) return false;
  if (FileExists(path.c_str())) return true;
  const std::string native = Native(path);
  const std::size_t cut = native.rfind('/');
  std::vector<std::string> missing;
  bool ok = MissingLevels(cut == std::string::npos ? std::string() : native.substr(0, cut), missing) &&
            CreateLevels(missing);
  if (ok) {
    const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    ok = fd >= 0;
    if (ok) {
      ::close(fd);
      ::unlink(native.c_str());
    }
  }
  for (const std::string& level : missing) ::rmdir(level.c_str());  // deepest first
  return ok;
}

void EmptyFolder(const std::string& folder) {
  for (const auto& e : zor::platform::FindEntries(WithSeparator(folder) + "*.*")) {
    if (e.name == "." || e.name == "..") continue;
    if (e.isDirectory && !e.isSymlink) {
      EmptyFolder(e.path);
      ::rmdir(e.path.c_str());
    } else {
      ::unlink(e.path.c_str());  // a link to a folder goes, its target stays
    }
  }
}

namespace {

// A trash folder of the freedesktop rules: files/ and info/ beside each
// other; Path= in an info file is absolute for the home trash and relative
// to the top folder of its file system for the others.
struct TrashFolder {
  fs::path root;
  fs::path pathBase;  // empty: absolute paths
};

// An existing one must be a real folder of our own: a trash folder that
// another user made in a shared top folder would hand them what we throw away.
bool MakePrivateFolder(const fs::path& folder) {
  return zor::platform::MakePrivateFolders(folder.string()) == 0;
}

bool PrepareTrash(const TrashFolder& trash) {
  return MakePrivateFolder(trash.root) && MakePrivateFolder(trash.root / "files") &&
         MakePrivateFolder(trash.root / "info");
}

// The top folder of the file system that holds `path` (an absolute,
// normal path whose parent exists): the highest ancestor on its device.
fs::path TopFolderOf(const fs::path& path) {
  struct stat st {};
  fs::path top = path.parent_path();
  if (::stat(top.c_str(), &st) != 0) return {};
  const dev_t device = st.st_dev;
  while (top != top.root_path()) {
    const fs::path up = top.parent_path();
    if (::stat(up.c_str(), &st) != 0 || st.st_dev != device) break;
    top = up;
  }
  return top;
}

// The trash of another file system: $top/.Trash/$uid when $top/.Trash is a
// real sticky folder, else $top/.Trash-$uid.
bool PrepareTopTrash(const fs::path& top, TrashFolder& trash) {
  const std::string uid = std::to_string(::getuid());
  struct stat st {};
  const fs::path shared = top / ".Trash";
  if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0) {
    trash = {shared / uid, top};
    if (PrepareTrash(trash)) return true;
  }
  trash = {top / (".Trash-" + uid), top};
  return PrepareTrash(trash);
}

std::string TrashInfo(const fs::path& source, const fs::path& base) {
  const std::string original = base.empty() ? source.string() : source.lexically_relative(base).string();
  std::string encoded;
  for (unsigned char c : original) {
    if (std::isalnum(c) || std::string_view("/-_.~").find(static_cast<char>(c)) != std::string_view::npos) {
      encoded += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      encoded += hex;
    }
  }
  char date[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  return "[Trash Info]\nPath=" + encoded + "\nDeletionDate=" + date + "\n";
}

// The trash name of `source`: its own name, cut (at a character boundary)
// so that the info file's name with a number and ".trashinfo" still fits in a
// name; Path= keeps the whole path.
std::string TrashBaseName(const fs::path& source) {
  constexpr std::size_t kRoom = NAME_MAX - (sizeof ".trashinfo" - 1) - (sizeof ".9999" - 1);
  std::string base = source.filename().string();
  if (base.size() <= kRoom) return base;
  std::size_t cut = kRoom;
  while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
  base.resize(cut);
  return base;
}

// Whether `path` exists on `device`: a rename into it cannot cross devices.
bool IsOnDevice(const fs::path& path, dev_t device) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && st.st_dev == device;
}

// Reserves a unique name through its info file (created exclusively), then
// moves the entry in: by rename, or across file systems by a copy that is
// removed again when it cannot be completed.
bool MoveIntoTrash(const fs::path& source, const TrashFolder& trash, bool copy) {
  const std::string base = TrashBaseName(source);
  for (int n = 0; n < 10000; ++n) {
    const std::string name = n == 0 ? base : base + "." + std::to_string(n);
    const fs::path infoPath = trash.root / "info" / (name + ".trashinfo");
    const int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    const std::string body = TrashInfo(source, trash.pathBase);
    const bool written = ::write(fd, body.data(), body.size()) == static_cast<ssize_t>(body.size());
    ::close(fd);
    const fs::path target = trash.root / "files" / name;
    if (written && !copy) {
      if (::rename(source.c_str(), target.c_str()) == 0) return true;
      copy = errno == EXDEV;  // one device mounted twice: a copy goes across
    }
    if (written && copy) {
      std::error_code ec;
      fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
      if (!ec) {
        fs::remove_all(source, ec);
        // When part of the source cannot be removed, part of it may be gone
        // already: the whole copy stays in the trash, so nothing is lost.
        return !ec;
      }
      // An incomplete copy goes; the source was not touched.
      std::error_code ignored;
      fs::remove_all(target, ignored);
    }
    ::unlink(infoPath.c_str());
    return false;
  }
  return false;
}

}  // namespace

bool MoveToRecycleBin(const std::string& path, const void* /*ownerWindow*/) {
  // "dir/" and "dir\" name the folder itself, not an entry without a name.
  std::error_code ec;
  fs::path source = fs::absolute(Native(path), ec).lexically_normal();
  if (ec) return false;
  if (!source.has_filename()) source = source.parent_path();
  if (source.empty() || source == source.root_path() || !source.has_filename() ||
      source.filename() == "." || source.filename() == "..")
    return false;
  struct stat sourceInfo {};
  if (::lstat(source.c_str(), &sourceInfo) != 0) return false;

  std::string home;
  if (!zor::platform::GetSpecialFolder(zor::platform::kCsidlLocalAppData, true, home)) return false;
  fs::create_directories(home, ec);
  const TrashFolder homeTrash{fs::path(home) / "Trash", {}};
  const bool homeReady = PrepareTrash(homeTrash);
  if (homeReady && IsOnDevice(homeTrash.root, sourceInfo.st_dev))
    return MoveIntoTrash(source, homeTrash, false);

  // Another file system: its own trash, as the freedesktop rules say; where
  // that cannot be made, a copy into the home trash.
  const fs::path top = TopFolderOf(source);
  TrashFolder topTrash;
  if (!top.empty() && PrepareTopTrash(top, topTrash) &&
      IsOnDevice(topTrash.root, sourceInfo.st_dev))
    return MoveIntoTrash(source, topTrash, false);
  return homeReady && MoveIntoTrash(source, homeTrash, true);
}

namespace {

bool IsInside(const fs::path& inner, const fs::path& outer) {
  std::error_code ec;
  const fs::path a = fs::weakly_canonical(inner, ec);
  const fs::path b = fs::weakly_canonical(outer, ec);
  auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return ib == b.end();
}

}  // namespace

bool CopyFolderContents(const std::string& source, const std::string& destination, bool recursive,
                        bool stopAtFirstError, std::string& firstFailure) {
  bool result = true;
  for (const auto& e : zor::platform::FindEntries(WithSeparator(source) + "*.*")) {
    if (e.name == "." || e.name == "..") continue;
    const std::string target = JoinPath(destination, e.name);
    bool ok = true;
    bool copiedFolder = false;
    std::error_code ec;
    if (e.isDirectory && !recursive) continue;
    if (e.isDirectory && e.isSymlink) {
      // A link to a folder is copied as a link, never followed, so a link to
      // an ancestor cannot make the copy loop.
      fs::remove(Native(target), ec);
      fs::copy_symlink(e.path, Native(target), ec);
      ok = !ec;
    } else if (e.isDirectory) {
      // A destination inside the source would be copied into itself forever.
      if (IsInside(Native(destination), e.path)) continue;
      if (!CreateFolderTreeUnc(target)) {
        ok = false;
      } else {
        copiedFolder = true;
        ok = CopyFolderContents(e.path, target, recursive, stopAtFirstError, firstFailure);
      }
    } else {
      fs::copy_file(e.path, Native(target), fs::copy_options::overwrite_existing, ec);
      ok = !ec;
    }
    if (!ok && result) {
      if (!copiedFolder) firstFailure = e.path;
      result = false;
    }
    if (!result && stopAtFirstError) break;
  }
  return result;
}

bool CopyFolderContents(const std::string& source, const std::string& destination, bool recursive) {
  std::string ignored;
  return CopyFolderContents(source, destination, recursive, false, ignored);
}

std::string FindFirstFileInFolder(const std::string& folder, const std::string& pattern) {
  for (const auto& e : zor::platform::FindEntries(JoinPath(folder, pattern)))
    if (!e.isDirectory && e.name != "." && e.name != "..") return e.path;
  return {};
}

namespace {

void AppendSubFolders(std::vector<std::string>& out, const std::string& folder,
                      const std::string& pattern, bool recursive, bool fullPath) {
  for (const auto& e : zor::platform::FindEntries(JoinPath(folder, pattern))) {
    if (!e.isDirectory || e.name == "." || e.name == "..") continue;
    // A recursive search leaves links to folders out altogether: listing one
    // would make the caller search its target, which may be an ancestor.
    if (recursive && e.isSymlink) continue;
    out.push_back(fullPath ? e.path : e.name);
    if (recursive) AppendSubFolders(out, e.path, pattern, recursive, fullPath);
  }
}

}  // namespace

bool FindSubFolders(std::vector<std::string>& out, const std::string& folder,
                    const std::string& pattern, bool recursive, bool fullPath) {
  out.clear();
  AppendSubFolders(out, folder, pattern, recursive, fullPath);
  return !out.empty();
}

bool FindFilesInFolderTree(std::vector<std::string>& out, const std::string& folder,
                           const std::string& pattern, bool recursive, bool fullPath) {
  std::vector<std::string> folders = {folder};
  if (recursive) {
    std::vector<std::string> below;
    FindSubFolders(below, folder, "*.*", true, true);
    folders.insert(folders.end(), below.begin(), below.end());
  }
  out.clear();
  for (const std::string& f : folders)
    for (const auto& e : zor::platform::FindEntries(JoinPath(f, pattern)))
      if (!e.isDirectory) out.push_back(fullPath ? e.path : e.name);
  return !out.empty();
}

bool MakeRelativePath(const std::string& from, const std::string& to, std::string& out) {
  out.clear();
  std::vector<std::string> a = SplitElements(from);
  const std::vector<std::string> b = SplitElements(to);
  if (!GetFileExtension(from).empty() && !a.empty()) a.pop_back();  // "from" is a file
  const bool rootedA = !from.empty() && IsPathSeparator(from.front());
  const bool rootedB = !to.empty() && IsPathSeparator(to.front());
  std::size_t common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
  if (rootedA != rootedB || (common == 0 && !rootedA)) return false;
  std::string rel = common == a.size() ? "./" : "";
  for (std::size_t i = common; i < a.size(); ++i) rel += "../";
  for (std::size_t i = common; i < b.size(); ++i) rel += b[i] + (i + 1 < b.size() ? "/" : "");
  out = rel;
  return true;
}

bool OpenWithShell(const std::string& path) {
  const char* opener = "/usr/bin/xdg-open";
  if (::access(opener, X_OK) != 0) return false;
  pid_t pid = 0;
  char* const argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(path.c_str()), nullptr};
  return ::posix_spawn(&pid, opener, nullptr, nullptr, argv, environ) == 0;
}

// --- Process-wide folders ----------------------------------------------------

std::string GetCurrentFolder(bool trailingSeparator) {
  std::error_code ec;
  std::string folder = fs::current_path(ec).string();
  if (ec) return {};
  // The system's own path: only '/' separates, and a name may end in '\'.
  if (trailingSeparator && folder.back() != '/') folder += '/';
  return folder;
}

void SetCurrentFolder(const char* path) {
  if (path == nullptr) return;
  if (::chdir(Native(path).c_str()) != 0) return;
}

std::string GetTempFolder() { return zor::platform::GetTempPath(); }

bool GetShellFolder(int csidl, const std::string& subPath, std::string& out, bool create) {
  std::string folder;
  if (!zor::platform::GetSpecialFolder(csidl, create, folder)) return false;
  out = JoinPath(folder, subPath);
  if (!out.empty() && IsExistingFolder(out)) return true;
  if (!create) return false;
  const zor::platform::AsRealUser as;  // the user's folders are the user's
  if (!as.ok()) return false;
  std::error_code ec;
  fs::create_directories(Native(out), ec);
  return IsExistingFolder(out);
}

std::string GetCommonProgramFilesFolder() {
  std::string folder;
  return zor::platform::GetSpecialFolder(zor::platform::kCsidlProgramFilesCommon, false, folder)
             ? folder
             : std::string();
}

std::string GetMyDocumentsFolder() {
  std::string folder;
  return zor::platform::GetSpecialFolder(zor::platform::kCsidlPersonal, false, folder)
             ? folder
             : std::string();
}

std::string GetLocalAppDataFolder(bool withMakerFolder) {
  std::string folder;
  if (!zor::platform::GetSpecialFolder(zor::platform::kCsidlLocalAppData, false, folder)) return {};
  if (!withMakerFolder) return folder;
  folder = JoinPath(folder, "Zor");
  if (!IsExistingFolder(folder)) {
    const zor::platform::AsRealUser as;  // the user's folder, made as the user
    if (as.ok()) ::mkdir(Native(folder).c_str(), 0777);
  }
  return folder;
}
