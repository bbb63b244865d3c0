// The version record of one module file, as the crash log lists it.
//
//   ModuleVersionInfo info;
//   if (info.Load(zor::platform::GetProgramFilePath().c_str())) {
//     uint16_t v[4];
//     info.GetFileVersion(v);                 // 8, 0, 0, 0
//     char company[200];
//     info.GetCompanyName(company, sizeof company);
//   }
//   info.Release();                           // frees the record; the fields stay
//
// Linux executables carry no version resource: only the running program has
// a record (see platform/version_resource.h), so any other module reads as
// all zero and empty. The fixed record is made from the record's
// "FileVersion" and "ProductVersion" texts ("a.b.c.d"); Linux has no file-OS
// code, so that field is 0 (unknown), and the file type is 1 (application).
//
// Every field is a fixed array, so after Load and Release the object can be
// read without allocating, as a crash report must.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "platform/version_resource.h"

// The platform's fixed version record: 13 32-bit values.
struct VS_FIXEDFILEINFO {
  uint32_t dwSignature;  // 0xFEEF04BD
  uint32_t dwStrucVersion;
  uint32_t dwFileVersionMS;
  uint32_t dwFileVersionLS;
  uint32_t dwProductVersionMS;
  uint32_t dwProductVersionLS;
  uint32_t dwFileFlagsMask;
  uint32_t dwFileFlags;
  uint32_t dwFileOS;
  uint32_t dwFileType;
  uint32_t dwFileSubtype;
  uint32_t dwFileDateMS;
  uint32_t dwFileDateLS;
};
static_assert(std::is_standard_layout_v<VS_FIXEDFILEINFO> && sizeof(VS_FIXEDFILEINFO) == 52);
static_assert(offsetof(VS_FIXEDFILEINFO, dwFileVersionMS) == 8);
static_assert(offsetof(VS_FIXEDFILEINFO, dwProductVersionMS) == 16);
static_assert(offsetof(VS_FIXEDFILEINFO, dwFileFlags) == 28);
static_assert(offsetof(VS_FIXEDFILEINFO, dwFileOS) == 32);
static_assert(offsetof(VS_FIXEDFILEINFO, dwFileType) == 36);
static_assert(offsetof(VS_FIXEDFILEINFO, dwFileSubtype) == 40);
static_assert(offsetof(VS_FIXEDFILEINFO, dwFileDateLS) == 48);

class ModuleVersionInfo {
 public:
  static constexpr std::size_t kTextSize = 520;
  static constexpr std::size_t kMaxPathLength = 518;

  ModuleVersionInfo() = default;
  explicit ModuleVersionInfo(const char* modulePath) { Load(modulePath); }

  // Reads the module file's record; false (everything zero and empty but the
  // path) when it has none.
  bool Load(const char* modulePath);
  // Frees the version data block.
  void Release() noexcept { m_versionData.reset(); }
  bool HasVersionData() const noexcept { return m_versionData != nullptr; }

  // Copy four 16-bit numbers (major, minor, build, revision); return 1.
  int GetFileVersion(uint16_t (&out)[4]) const noexcept;
  int GetProductVersion(uint16_t (&out)[4]) const noexcept;
  // Copy one value; return 1.
  int GetFileFlags(uint32_t& out) const noexcept;
  int GetFileOS(uint32_t& out) const noexcept;
  int GetFileType(uint32_t& out) const noexcept;
  int GetFileSubtype(uint32_t& out) const noexcept;
  int GetFixedFileInfo(VS_FIXEDFILEINFO& out) const noexcept;
  // Zero the buffer, then copy at most size - 2 characters; 0 for a null
  // buffer, else 1.
  int GetCompanyName(char* buffer, std::size_t size) const noexcept;
  int GetProductName(char* buffer, std::size_t size) const noexcept;
  int GetFileDescription(char* buffer, std::size_t size) const noexcept;
  const char* GetModulePath() const noexcept { return m_modulePath; }

 private:
  void Clear() noexcept;

  std::unique_ptr<zor::platform::VersionBlock> m_versionData;
  uint16_t m_fileVersion[4] = {};
  uint16_t m_productVersion[4] = {};
  uint32_t m_fileFlags = 0;
  uint32_t m_fileOS = 0;
  uint32_t m_fileType = 0;
  uint32_t m_fileSubtype = 0;
  VS_FIXEDFILEINFO m_fixed = {};
  char m_modulePath[kTextSize] = {};
  char m_companyName[kTextSize] = {};
  char m_productName[kTextSize] = {};
  char m_fileDescription[kTextSize] = {};
};
