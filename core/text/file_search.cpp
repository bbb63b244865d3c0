#include "core/text/file_search.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include <boost/filesystem.hpp>

#include "core/text/path_utils.h"

namespace fs = boost::filesystem;

namespace {

// Identity of a folder on disk, to notice a link that leads back into one of
// the folders being searched.
struct FolderId {
  dev_t dev;
  ino_t ino;
  bool operator==(const FolderId&) const = default;
};

bool ReadFolderId(const fs::path& folder, FolderId& id) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return false;
  id = FolderId{st.st_dev, st.st_ino};
  return true;
}

// Name order ignoring case; names that differ only in case keep a fixed order.
bool NameLess(const fs::directory_entry& a, const fs::directory_entry& b) {
  const std::string x = a.path().filename().string();
  const std::string y = b.path().filename().string();
  const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  const bool shorter_x = x.size() < y.size();
  const std::size_t n = shorter_x ? x.size() : y.size();
  for (std::size_t i = 0; i < n; ++i) {
    const int cx = lower(x[i]);
    const int cy = lower(y[i]);
    if (cx != cy) return cx < cy;
  }
  if (x.size() != y.size()) return shorter_x;
  return x < y;
}

class Search {
 public:
  Search(std::vector<std::string>& found, const std::string& pattern, bool recursive,
         bool full_path)
      : found_(found),
        pattern_(pattern.empty() ? std::string("*") : pattern),
        recursive_(recursive),
        full_path_(full_path) {}

  void Folder(const fs::path& folder) {
    FolderId id{};
    const bool known = ReadFolderId(folder, id);
    if (known) {
      if (std::find(open_.begin(), open_.end(), id) != open_.end()) return;
      open_.push_back(id);
    }
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder), end; it != end; ++it) entries.push_back(*it);
    std::sort(entries.begin(), entries.end(), NameLess);
    for (const fs::directory_entry& entry : entries) {
      const fs::file_status st = entry.status();
      if (recursive_ && fs::is_directory(st)) {
        Folder(entry.path());
        continue;
      }
      if (fs::is_regular_file(st)) Match(entry.path());
    }
    if (known) open_.pop_back();
  }

 private:
  void Match(const fs::path& file) {
    const std::string& text = file.string();
    if (!MatchesWildcard(text, pattern_)) return;
    found_.push_back(full_path_ ? text : file.filename().string());
  }

  std::vector<std::string>& found_;
  const std::string pattern_;
  const bool recursive_;
  const bool full_path_;
  std::vector<FolderId> open_;  // the folders from the top one down to the current one
};

}  // namespace

namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool PatternCharMatches(char p, char c) {
  if (p == '?') return true;
  if (IsSeparator(p)) return IsSeparator(c);
  return FoldCase(p) == FoldCase(c);
}

}  // namespace

// Greedy stars with one way back: on a mismatch only the last star takes one
// more character, since anything an earlier star could take instead the last
// one can take as well. At most text size times pattern size steps, never the
// exponential backtracking of a regular expression engine.
bool MatchesWildcard(std::string_view text, std::string_view pattern) {
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t t = 0;
  std::size_t p = 0;
  std::size_t afterStar = kNone;  // pattern position after the last star met
  std::size_t starText = 0;       // where the text stood when that star was met
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      afterStar = ++p;
      starText = t;
    } else if (p < pattern.size() && PatternCharMatches(pattern[p], text[t])) {
      ++p;
      ++t;
    } else if (afterStar != kNone) {
      p = afterStar;
      t = ++starText;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string WildcardToRegex(const std::string& pattern) {
  const std::string wildcard = pattern.empty() ? std::string("*") : pattern;
  std::string regex;
  regex.reserve(wildcard.size() * 2);
  for (char c : wildcard) {
    switch (c) {
      case '*':
        regex += ".*";
        break;
      case '?':
        regex += '.';
        break;
      case '\\':
      case '/':
        regex += "[\\\\/]";
        break;
      case '^':
      case '$':
      case '.':
      case '|':
      case '(':
      case ')':
      case '[':
      case ']':
      case '{':
      case '}':
      case '+':
        regex += '\\';
        regex += c;
        break;
      default:
        regex += c;
    }
  }
  return regex;
}

bool FindFilesByPattern(std::vector<std::string>& found, const std::string& folder,
                        const std::string& pattern, bool recursive, bool fullPath) {
  const fs::path top(ToNativePath(folder));
  boost::system::error_code ec;
  // Only a folder that is not there is quietly passed over; anything else
  // that exists is listed, and one that cannot be (a file) throws.
  const fs::file_type type = fs::status(top, ec).type();
  if (type == fs::status_error || type == fs::file_not_found) return false;
  const std::size_t before = found.size();
  Search(found, pattern, recursive, fullPath).Folder(top);
  return found.size() > before;
}

bool FindFilesInFolders(std::vector<std::string>& found,
                        const std::vector<std::string>& folders, const std::string& pattern,
                        bool recursive, bool fullPath, bool stopAtFirst) {
  if (folders.empty()) return false;
  const std::size_t before = found.size();
  for (const std::string& folder : folders) {
    if (FindFilesByPattern(found, folder, pattern, recursive, fullPath) && stopAtFirst) break;
  }
  return found.size() > before;
}
