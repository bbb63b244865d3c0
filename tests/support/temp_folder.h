// A fresh folder for one test, removed with everything in it afterwards.
//
//   TempFolder tmp;                       // under $ZOR_TEST_TMP or /tmp
//   std::string file = tmp.Path("a.txt");
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
 public:
  TempFolder() {
    const char* base = std::getenv("ZOR_TEST_TMP");
    std::filesystem::path root = base && *base ? base : "/tmp";
    std::filesystem::create_directories(root);
    std::string templ = (root / "zorXXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) std::abort();
    m_path = templ;
  }
  ~TempFolder() {
    std::error_code ec;
    // Make everything writable again so read-only test files do not stay.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add |
                                       std::filesystem::perm_options::nofollow, ec);
    std::filesystem::remove_all(m_path, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return m_path; }
  std::string Path(const std::string& relative) const { return m_path + "/" + relative; }

  // Writes `content` to the relative path, creating its folders.
  std::string Write(const std::string& relative, const std::string& content) const {
    const std::filesystem::path p = Path(relative);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

 private:
  std::string m_path;
};
