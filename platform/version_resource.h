// Version resources of program files: the standard text entries (company,
// product, versions, ...) under language-and-code-page translations.
//
//   zor::platform::VersionBlock block;
//   if (zor::platform::LoadVersionBlock(path, block)) {
//     std::string text;
//     block.Query("\\StringFileInfo\\040904B0\\ProductVersion", text);
//   }
//
// ELF files carry no version resource. The running program's own record is
// compiled in from the build (ZOR_COMPANY_NAME, ZOR_PRODUCT_NAME,
// ZOR_PRODUCT_VERSION, ZOR_FILE_VERSION, ZOR_FILE_DESCRIPTION, translation
// 040904B0); every other file has none.
#pragma once

#include <map>
#include <string>

namespace zor::platform {

class VersionBlock {
 public:
  // Sub-block paths compare without case, as the platform's query does.
  void Set(const std::string& subBlock, const std::string& text);
  bool Query(const std::string& subBlock, std::string& text) const;
  bool Empty() const noexcept { return m_values.empty(); }

 private:
  std::map<std::string, std::string> m_values;  // key: upper-cased sub-block
};

// The running program's own file (from /proc/self/exe).
std::string GetProgramFilePath();
// Fills `block` with the file's version information; false (block empty)
// when the file has none, which on Linux is every file but the program's own.
bool LoadVersionBlock(const std::string& path, VersionBlock& block);
// The compiled-in record of the program.
const VersionBlock& ProgramVersionBlock();

}  // namespace zor::platform
