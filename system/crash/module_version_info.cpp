#include "system/crash/module_version_info.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/bytes.h"

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedStrucVersion = 0x00010000;
constexpr uint32_t kFileFlagsMask = 0x3F;
constexpr uint32_t kFileTypeApplication = 1;
// The one translation the platform layer's records are kept under.
constexpr unsigned kDefaultLanguage = 0x0409;
constexpr unsigned kDefaultCodePage = 0x04B0;

// "a.b.c.d" (or "a, b, c, d"): up to four numbers, missing ones 0.
void ParseVersion(const std::string& text, uint16_t (&out)[4]) {
  std::size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    while (at < text.size() && !std::isdigit(static_cast<unsigned char>(text[at]))) {
      if (text[at] != '.' && text[at] != ',' && text[at] != ' ') return;
      ++at;
    }
    uint32_t value = 0;
    bool any = false;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
      value = value * 10 + static_cast<uint32_t>(text[at] - '0');
      if (value > 0xFFFF) value = 0xFFFF;
      ++at;
      any = true;
    }
    if (!any) return;
    out[i] = static_cast<uint16_t>(value);
  }
}

// The first translation listed: 8 hex digits, language then code page.
void Translation(const zor::platform::VersionBlock& block, unsigned& language,
                 unsigned& codePage) {
  language = kDefaultLanguage;
  codePage = kDefaultCodePage;
  std::string text;
  if (!block.Query("\\VarFileInfo\\Translation", text) || text.size() < 8) return;
  unsigned long value = 0;
  for (int i = 0; i < 8; ++i) {
    const char c = text[static_cast<std::size_t>(i)];
    if (!std::isxdigit(static_cast<unsigned char>(c))) return;
    value = value << 4 | static_cast<unsigned long>(std::isdigit(static_cast<unsigned char>(c))
                                                         ? c - '0'
                                                         : (std::tolower(c) - 'a' + 10));
  }
  language = static_cast<unsigned>(value >> 16);
  codePage = static_cast<unsigned>(value & 0xFFFF);
}

void CopyOut(const char* text, char* buffer, std::size_t size) {
  std::memset(buffer, 0, size);
  if (size < 2) return;
  std::size_t n = std::strlen(text);
  if (n > size - 2) n = size - 2;
  std::memcpy(buffer, text, n);
}

}  // namespace

void ModuleVersionInfo::Clear() noexcept {
  m_versionData.reset();
  std::memset(m_fileVersion, 0, sizeof m_fileVersion);
  std::memset(m_productVersion, 0, sizeof m_productVersion);
  m_fileFlags = m_fileOS = m_fileType = m_fileSubtype = 0;
  m_fixed = {};
  m_modulePath[0] = m_companyName[0] = m_productName[0] = m_fileDescription[0] = '\0';
}

bool ModuleVersionInfo::Load(const char* modulePath) {
  Clear();
  if (modulePath == nullptr) return false;
  const std::size_t n = std::min(std::strlen(modulePath), kMaxPathLength);
  std::memcpy(m_modulePath, modulePath, n);
  m_modulePath[n] = '\0';

  auto block = std::make_unique<zor::platform::VersionBlock>();
  if (!zor::platform::LoadVersionBlock(modulePath, *block)) return false;
  unsigned language = 0, codePage = 0;
  Translation(*block, language, codePage);
  auto value = [&](const char* name, char (&field)[kTextSize]) {
    char key[64];
    std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", language, codePage, name);
    std::string text;
    if (block->Query(key, text)) zor::platform::SetFieldText(field, text);
    return text;
  };
  value("CompanyName", m_companyName);
  value("FileDescription", m_fileDescription);
  value("ProductName", m_productName);
  char unused[kTextSize];
  ParseVersion(value("FileVersion", unused), m_fileVersion);
  ParseVersion(value("ProductVersion", unused), m_productVersion);

  m_fileType = kFileTypeApplication;
  m_fixed.dwSignature = kFixedSignature;
  m_fixed.dwStrucVersion = kFixedStrucVersion;
  m_fixed.dwFileVersionMS = uint32_t{m_fileVersion[0]} << 16 | m_fileVersion[1];
  m_fixed.dwFileVersionLS = uint32_t{m_fileVersion[2]} << 16 | m_fileVersion[3];
  m_fixed.dwProductVersionMS = uint32_t{m_productVersion[0]} << 16 | m_productVersion[1];
  m_fixed.dwProductVersionLS = uint32_t{m_productVersion[2]} << 16 | m_productVersion[3];
  m_fixed.dwFileFlagsMask = kFileFlagsMask;
  m_fixed.dwFileFlags = m_fileFlags;
  m_fixed.dwFileOS = m_fileOS;
  m_fixed.dwFileType = m_fileType;
  m_fixed.dwFileSubtype = m_fileSubtype;
  m_versionData = std::move(block);
  return true;
}

int ModuleVersionInfo::GetFileVersion(uint16_t (&out)[4]) const noexcept {
  std::memcpy(out, m_fileVersion, sizeof out);
  return 1;
}

int ModuleVersionInfo::GetProductVersion(uint16_t (&out)[4]) const noexcept {
  std::memcpy(out, m_productVersion, sizeof out);
  return 1;
}

int ModuleVersionInfo::GetFileFlags(uint32_t& out) const noexcept {
  out = m_fileFlags;
  return 1;
}

int ModuleVersionInfo::GetFileOS(uint32_t& out) const noexcept {
  out = m_fileOS;
  return 1;
}

int ModuleVersionInfo::GetFileType(uint32_t& out) const noexcept {
  out = m_fileType;
  return 1;
}

int ModuleVersionInfo::GetFileSubtype(uint32_t& out) const noexcept {
  out = m_fileSubtype;
  return 1;
}

int ModuleVersionInfo::GetFixedFileInfo(VS_FIXEDFILEINFO& out) const noexcept {
  out = m_fixed;
  return 1;
}

int ModuleVersionInfo::GetCompanyName(char* buffer, std::size_t size) const noexcept {
  if (buffer == nullptr) return 0;
  CopyOut(m_companyName, buffer, size);
  return 1;
}

int ModuleVersionInfo::GetProductName(char* buffer, std::size_t size) const noexcept {
  if (buffer == nullptr) return 0;
  CopyOut(m_productName, buffer, size);
  return 1;
}

int ModuleVersionInfo::GetFileDescription(char* buffer, std::size_t size) const noexcept {
  if (buffer == nullptr) return 0;
  CopyOut(m_fileDescription, buffer, size);
  return 1;
}
