#include "platform/version_resource.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#ifndef ZOR_COMPANY_NAME
#define ZOR_COMPANY_NAME "Zor"
#endif
#ifndef ZOR_PRODUCT_NAME
#define ZOR_PRODUCT_NAME "Tridu"
#endif
#ifndef ZOR_PRODUCT_VERSION
#define ZOR_PRODUCT_VERSION "8.0.0.0"
#endif
#ifndef ZOR_FILE_VERSION
#define ZOR_FILE_VERSION "8.0.0.0"
#endif
#ifndef ZOR_FILE_DESCRIPTION
#define ZOR_FILE_DESCRIPTION "Zor base library"
#endif

namespace zor::platform {
namespace {

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

void VersionBlock::Set(const std::string& subBlock, const std::string& text) {
  m_values[Upper(subBlock)] = text;
}

bool VersionBlock::Query(const std::string& subBlock, std::string& text) const {
  const auto it = m_values.find(Upper(subBlock));
  if (it == m_values.end()) return false;
  text = it->second;
  return true;
}

std::string GetProgramFilePath() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return {};
  path.resize(static_cast<std::size_t>(n));
  return path;
}

const VersionBlock& ProgramVersionBlock() {
  static const VersionBlock block = [] {
    VersionBlock b;
    const std::string prefix = "\\StringFileInfo\\040904B0\\";
    b.Set(prefix + "CompanyName", ZOR_COMPANY_NAME);
    b.Set(prefix + "ProductName", ZOR_PRODUCT_NAME);
    b.Set(prefix + "ProductVersion", ZOR_PRODUCT_VERSION);
    b.Set(prefix + "FileVersion", ZOR_FILE_VERSION);
    b.Set(prefix + "FileDescription", ZOR_FILE_DESCRIPTION);
    b.Set(prefix + "InternalName", ZOR_PRODUCT_NAME);
    b.Set(prefix + "LegalCopyright", ZOR_COMPANY_NAME);
    const std::string self = GetProgramFilePath();
    b.Set(prefix + "OriginalFilename", self.substr(self.rfind('/') + 1));
    return b;
  }();
  return block;
}

bool LoadVersionBlock(const std::string& path, VersionBlock& block) {
  block = VersionBlock();
  if (path.empty() || !SameFile(path, GetProgramFilePath())) return false;
  block = ProgramVersionBlock();
  return true;
}

}  // namespace zor::platform
