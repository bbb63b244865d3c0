#include "core/text/file_search.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>
#include <vector>

#include <boost/filesystem.hpp>

#include "core/text/path_utils.h"
#include "core/text/text_search.h"

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

// Whether `segment` (no stars) matches text at `at`, character by character.
bool SegmentMatchesAt(std::string_view text, std::size_t at, std::string_view segment) {
  for (std::size_t i = 0; i < segment.size(); ++i)
    if (!PatternCharMatches(segment[i], text[at + i])) return false;
  return true;
}

// The first place in text[from, limit) where `literal` (no '?' or '*')
// matches, the bytes compared by their class (letters folded, separators
// alike): a linear search.
std::size_t FindLiteral(std::string_view text, std::size_t from, std::size_t limit,
                        std::string_view literal) {
  static const ByteFold classes = [] {
    ByteFold f{};
    for (int b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      f[static_cast<std::size_t>(b)] = static_cast<unsigned char>(IsSeparator(c) ? '/' : FoldCase(c));
    }
    return f;
  }();
  return FindFolded(text.substr(0, limit), literal, classes, from);
}

// The first place in text[from, limit) where `segment` (no stars) matches,
// or npos. Shift-And over bit sets: one pass over the text at a cost of
// (segment size / 64) words per character, so a long segment full of '?'
// does not restart a compare at every text position.
std::size_t FindWithBitSets(std::string_view text, std::size_t from, std::size_t limit,
                            std::string_view segment) {
  const std::size_t m = segment.size();
  if (m == 0) return from;
  if (limit < from || limit - from < m) return std::string_view::npos;
  const std::size_t words = (m + 63) / 64;
  // Bit j of masks[c] says whether segment[j] matches byte c; '?' bits are
  // kept apart in `any` rather than written into all 256 rows.
  std::vector<uint64_t> masks(256 * words, 0);
  std::vector<uint64_t> any(words, 0);
  for (std::size_t j = 0; j < m; ++j) {
    const uint64_t bit = uint64_t{1} << (j % 64);
    const char p = segment[j];
    if (p == '?') {
      any[j / 64] |= bit;
    } else if (IsSeparator(p)) {
      masks[static_cast<unsigned char>('\\') * words + j / 64] |= bit;
      masks[static_cast<unsigned char>('/') * words + j / 64] |= bit;
    } else {
      const char lower = FoldCase(p);
      masks[static_cast<unsigned char>(lower) * words + j / 64] |= bit;
      if (lower >= 'a' && lower <= 'z')
        masks[static_cast<unsigned char>(lower - 'a' + 'A') * words + j / 64] |= bit;
    }
  }
  const std::size_t lastWord = (m - 1) / 64;
  const uint64_t lastBit = uint64_t{1} << ((m - 1) % 64);
  std::vector<uint64_t> state(words, 0);
  for (std::size_t t = from; t < limit; ++t) {
    const uint64_t* mask = &masks[static_cast<unsigned char>(text[t]) * words];
    // The states that reached segment[j - 1] go on to segment[j]; a new
    // attempt starts at segment[0] with every character.
    uint64_t carry = 1;
    const std::size_t live = std::min(words, (t - from) / 64 + 1);
    for (std::size_t w = 0; w < live; ++w) {
      const uint64_t next = state[w] >> 63;
      state[w] = ((state[w] << 1) | carry) & (mask[w] | any[w]);
      carry = next;
    }
    if (state[lastWord] & lastBit) return t + 1 - m;
  }
  return std::string_view::npos;
}

// The first place in text[from, limit) where `segment` (no stars) matches,
// or npos. Its leading and trailing '?' only ask for room; what lies
// between is searched as a literal when it holds no '?'.
std::size_t FindSegment(std::string_view text, std::size_t from, std::size_t limit,
                        std::string_view segment) {
  const std::size_t m = segment.size();
  if (limit < from || limit - from < m) return std::string_view::npos;
  const std::size_t lead = std::min(segment.find_first_not_of('?'), m);
  if (lead == m) return from;
  const std::size_t trail = m - 1 - segment.find_last_not_of('?');
  const std::string_view core = segment.substr(lead, m - lead - trail);
  const std::size_t found = core.find('?') == std::string_view::npos
                                ? FindLiteral(text, from + lead, limit - trail, core)
                                : FindWithBitSets(text, from + lead, limit - trail, core);
  return found == std::string_view::npos ? found : found - lead;
}

}  // namespace

// The stars cut the pattern into segments. The first must match at the start
// and the last at the end; each one between is taken where it first matches
// after the one before, since anything a later place would allow the first
// place allows as well. The segments' searches cover the text once between
// them, never with the backtracking of a regular expression engine.
bool MatchesWildcard(std::string_view text, std::string_view pattern) {
  const std::size_t firstStar = pattern.find('*');
  if (firstStar == std::string_view::npos)
    return text.size() == pattern.size() && SegmentMatchesAt(text, 0, pattern);
  const std::string_view head = pattern.substr(0, firstStar);
  const std::size_t lastStar = pattern.rfind('*');
  const std::string_view tail = pattern.substr(lastStar + 1);
  if (head.size() + tail.size() > text.size()) return false;
  if (!SegmentMatchesAt(text, 0, head)) return false;
  const std::size_t limit = text.size() - tail.size();
  if (!SegmentMatchesAt(text, limit, tail)) return false;
  std::size_t at = head.size();
  std::size_t p = firstStar;
  while (p < lastStar) {
    while (p < lastStar && pattern[p] == '*') ++p;
    const std::size_t next = pattern.find('*', p);
    const std::string_view segment = pattern.substr(p, next - p);
    const std::size_t found = FindSegment(text, at, limit, segment);
    if (found == std::string_view::npos) return false;
    at = found + segment.size();
    p = next;
  }
  return true;
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
