// A fresh folder for one test, removed with everything in it afterwards.
//
//   TempFolder tmp;                       // under $ZOR_TEST_TMP or /tmp
//   std::string file = tmp.Path("a.txt");
//   TempFolder shared(kEveryUsersRoot);   // for a test that switches user
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// $ZOR_TEST_TMP may lie in a folder only its owner enters (a build under
// /root): a test that hands its folder to another user makes it here instead.
inline constexpr char kEveryUsersRoot[] = "/tmp";

class TempFolder {
 public:
  TempFolder() : TempFolder(DefaultRoot()) {}
  explicit TempFolder(const std::filesystem::path& root) {
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

  static std::filesystem::path DefaultRoot() {
    const char* base = std::getenv("ZOR_TEST_TMP");
    return base && *base ? base : "/tmp";
  }

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
