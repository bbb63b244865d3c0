// Folder search with Windows' wildcard rules.
//
//   zor::platform::FileFinder finder;
//   bool more = finder.FindFile("/data/drivers/*.io");
//   while (more) {
//     more = finder.FindNextFile();          // steps onto the next entry
//     if (finder.IsDots() || finder.IsDirectory()) continue;
//     use(finder.GetFilePath());
//   }
//
// The last path element is the pattern: '*' matches any run of characters,
// '?' any one, names compare case-insensitively, and "*.*" matches every name
// (also names without a dot). The folder part may use '\' or '/'. Entries
// come sorted by name, case-insensitively, so results do not depend on
// readdir order; "." and ".." are listed when the pattern matches them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zor::platform {

struct FindEntry {
  std::string name;
  std::string path;  // folder + '/' + name
  bool isDirectory = false;  // a folder, or a link to one
  bool isSymlink = false;    // the entry itself is a symbolic link
  bool isReadOnly = false;
  uint64_t size = 0;
};

// True when `name` matches the wildcard `pattern` under the rules above.
bool WildcardMatch(const std::string& pattern, const std::string& name);

// Every entry matching `pattern` ("folder/wildcard"), sorted.
std::vector<FindEntry> FindEntries(const std::string& pattern);

class FileFinder {
 public:
  // Starts a search; true when at least one entry matches. The first entry
  // becomes current after the first FindNextFile.
  bool FindFile(const std::string& pattern = "*.*");
  // Steps onto the next entry; false when that entry is the last one.
  bool FindNextFile();
  void Close();

  const std::string& GetFileName() const { return Current().name; }
  const std::string& GetFilePath() const { return Current().path; }
  bool IsDirectory() const { return Current().isDirectory; }
  bool IsReadOnly() const { return Current().isReadOnly; }
  bool IsDots() const { return Current().name == "." || Current().name == ".."; }
  uint64_t GetLength() const { return Current().size; }

 private:
  const FindEntry& Current() const;

  std::vector<FindEntry> m_entries;
  std::size_t m_next = 0;
};

}  // namespace zor::platform
