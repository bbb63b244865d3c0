// Small programs for the process tests: scripts that record how they were
// started, and a fake desktop opener first in PATH.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

// An executable script that stores its argument count and arguments, one per
// line, in `record` (written aside and renamed, so never seen half-written).
inline void WriteRecorder(const std::string& path, const std::string& record) {
  std::ofstream(path) << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" << record << ".'$$\n"
                      << "mv '" << record << ".'$$ '" << record << "'\n";
  ::chmod(path.c_str(), 0755);
}

// The descriptors open in a /proc/<pid>/fd folder, without the one reading it.
inline std::set<std::string> OpenFds(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    const std::string own = std::to_string(::dirfd(dir));
    while (dirent* entry = ::readdir(dir))
      if (entry->d_name[0] != '.' && entry->d_name != own) names.insert(entry->d_name);
    ::closedir(dir);
  }
  return names;
}

inline std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Waits for a file to appear; false after thirty seconds, a generous bound on
// a hang.
inline bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 3000; ++i) {
    if (::access(path.c_str(), F_OK) == 0) return true;
    ::usleep(10000);
  }
  return false;
}

// Sets (null: unsets) an environment variable while the object lives.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : m_name(name) {
    const char* old = std::getenv(name);
    m_had = old != nullptr;
    if (m_had) m_old = old;
    value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { m_had ? ::setenv(m_name.c_str(), m_old.c_str(), 1) : ::unsetenv(m_name.c_str()); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string m_name;
  bool m_had = false;
  std::string m_old;
};

// A folder whose bin/ holds a fake "xdg-open" recording into opened.txt,
// first in PATH.
class FakeOpener {
 public:
  explicit FakeOpener(const std::filesystem::path& root = TempFolder::DefaultRoot())
      : m_tmp(root), m_path("PATH", (MakeBin(m_tmp) + ":" + std::getenv("PATH")).c_str()) {}
  std::string Record() const { return m_tmp.Path("opened.txt"); }
  std::string Bin() const { return m_tmp.Path("bin"); }
  const TempFolder& tmp() const { return m_tmp; }

 private:
  static std::string MakeBin(const TempFolder& tmp) {
    ::mkdir(tmp.Path("bin").c_str(), 0755);
    WriteRecorder(tmp.Path("bin/xdg-open"), tmp.Path("opened.txt"));
    return tmp.Path("bin");
  }
  TempFolder m_tmp;
  ScopedEnv m_path;
};
