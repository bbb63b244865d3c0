// Readers of a program file's version record.
//
//   CFileVersion own;                       // the running program, 040904B0 then 040904E4
//   std::string product = own.GetProductVersion();
//
//   CVersionInfo info;
//   std::string company;
//   if (info.Open("/opt/zor/bin/tool") && info.GetValue("CompanyName", company)) ...
//
// Linux executables carry no version resource: only the running program has
// a record (compiled in from the build); any other file has none, so Load
// and Open of it fail and every getter gives an empty text.
#pragma once

#include <string>

#include "platform/version_resource.h"

class CFileVersion {
 public:
  // The running program's own file, translations "040904B0" then "040904E4".
  CFileVersion();
  CFileVersion(const char* path, const std::string& translation);
  CFileVersion(const char* path, const std::string& translation1, const std::string& translation2);
  virtual ~CFileVersion() = default;

  bool Load(const char* path);
  // The text of one entry under the first translation that has it; a later
  // translation that answers becomes the only one tried afterwards.
  std::string QueryValue(const std::string& name);

  std::string GetComments() { return QueryValue("Comments"); }
  std::string GetCompanyName() { return QueryValue("CompanyName"); }
  std::string GetFileDescription() { return QueryValue("FileDescription"); }
  std::string GetFileVersion() { return QueryValue("FileVersion"); }
  std::string GetInternalName() { return QueryValue("InternalName"); }
  std::string GetLegalCopyright() { return QueryValue("LegalCopyright"); }
  std::string GetLegalTrademarks() { return QueryValue("LegalTrademarks"); }
  std::string GetOriginalFilename() { return QueryValue("OriginalFilename"); }
  std::string GetPrivateBuild() { return QueryValue("PrivateBuild"); }
  std::string GetProductName() { return QueryValue("ProductName"); }
  std::string GetProductVersion() { return QueryValue("ProductVersion"); }
  std::string GetSpecialBuild() { return QueryValue("SpecialBuild"); }

  int TranslationCount() const noexcept { return m_translationCount; }
  const std::string& Translation(int index) const { return m_translations[index & 1]; }
  // Replaces the held block, for readers that already have one.
  void SetBlock(const zor::platform::VersionBlock& block) {
    m_block = block;
    m_loaded = !block.Empty();
  }

 private:
  zor::platform::VersionBlock m_block;
  bool m_loaded = false;
  int m_translationCount = 2;
  std::string m_translations[2];
};

class CVersionInfo {
 public:
  // Holds the file's block, or the running program's when the file does not
  // exist; true when a block is held.
  bool Open(const std::string& path);
  // The entry under language 1033, code page 1200 ("\StringFileInfo\040904b0\name").
  bool GetValue(const std::string& name, std::string& out) const;
  void Close();
  const std::string& Path() const noexcept { return m_path; }

 private:
  std::string m_path;
  bool m_loaded = false;
  zor::platform::VersionBlock m_block;
};
