#include "platform/file_find.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/path_text.h"

namespace zor::platform {
namespace {

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool LessIgnoreCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Upper(x) < Upper(y); });
}

// Iterative match with one backtrack point: linear in practice and never
// exponential, whatever the number of stars.
bool Match(const char* p, const char* pe, const char* s, const char* se) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (s < se) {
    if (p < pe && (*p == '?' || Upper(*p) == Upper(*s))) {
      ++p;
      ++s;
    } else if (p < pe && *p == '*') {
      star = ++p;
      resume = s;
    } else if (star) {
      p = star;
      s = ++resume;
    } else {
      return false;
    }
  }
  while (p < pe && *p == '*') ++p;
  return p == pe;
}

}  // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;
  return Match(pattern.data(), pattern.data() + pattern.size(), name.data(),
               name.data() + name.size());
}

std::vector<FindEntry> FindEntries(const std::string& pattern) {
  const std::size_t cut = pattern.find_last_of("/\\");
  std::string folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut);
  const std::string wildcard = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
  folder = ToNativePath(folder);
  if (cut != std::string::npos && folder.empty()) folder.push_back('/');

  std::vector<FindEntry> entries;
  if (wildcard.empty()) return entries;
  const std::string dirPath = folder.empty() ? "." : folder;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(dirPath.c_str()), ::closedir);
  if (!dir) return entries;
  while (const dirent* d = ::readdir(dir.get())) {
    std::string name = d->d_name;
    if (!WildcardMatch(wildcard, name)) continue;
    FindEntry e;
    e.path = folder;
    if (!e.path.empty() && e.path.back() != '/') e.path.push_back('/');
    e.path.append(name);
    e.name = std::move(name);
    struct stat st;
    if (::lstat(e.path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) e.isSymlink = true;
    if (::stat(e.path.c_str(), &st) == 0) {
      e.isDirectory = S_ISDIR(st.st_mode);
      e.isReadOnly = (st.st_mode & S_IWUSR) == 0;
      e.size = e.isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
    }
    entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(),
            [](const FindEntry& a, const FindEntry& b) { return LessIgnoreCase(a.name, b.name); });
  return entries;
}

bool FileFinder::FindFile(const std::string& pattern) {
  m_entries = FindEntries(pattern);
  m_next = 0;
  return !m_entries.empty();
}

bool FileFinder::FindNextFile() {
  if (m_next < m_entries.size()) ++m_next;
  return m_next < m_entries.size();
}

void FileFinder::Close() {
  m_entries.clear();
  m_next = 0;
}

const FindEntry& FileFinder::Current() const {
  static const FindEntry kNone;
  return m_next == 0 || m_next > m_entries.size() ? kNone : m_entries[m_next - 1];
}

}  // namespace zor::platform
