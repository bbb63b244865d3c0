#include "system/version/file_version.h"

#include <cstdio>

#include "system/files/file_helpers.h"

CFileVersion::CFileVersion() : m_translations{"040904B0", "040904E4"} {
  Load(zor::platform::GetProgramFilePath().c_str());
}

CFileVersion::CFileVersion(const char* path, const std::string& translation)
    : m_translationCount(1), m_translations{translation, ""} {
  Load(path);
}

CFileVersion::CFileVersion(const char* path, const std::string& translation1,
                           const std::string& translation2)
    : m_translations{translation1, translation2} {
  Load(path);
}

bool CFileVersion::Load(const char* path) {
  m_loaded = path != nullptr && zor::platform::LoadVersionBlock(path, m_block);
  return m_loaded;
}

std::string CFileVersion::QueryValue(const std::string& name) {
  std::string result;
  if (!m_loaded) return result;
  for (int i = 0; i < m_translationCount && i < 2; ++i) {
    const std::string subBlock = "\\StringFileInfo\\" + m_translations[i] + "\\" + name;
    if (!m_block.Query(subBlock, result)) continue;
    if (i != 0) {
      m_translations[0] = m_translations[i];
      m_translations[i].clear();
      m_translationCount = 1;
    }
    return result;
  }
  return {};
}

bool CVersionInfo::Open(const std::string& path) {
  Close();
  m_path = FileExists(path.c_str()) ? path : zor::platform::GetProgramFilePath();
  m_loaded = zor::platform::LoadVersionBlock(m_path, m_block);
  return m_loaded;
}

bool CVersionInfo::GetValue(const std::string& name, std::string& out) const {
  out.clear();
  if (!m_loaded) return false;
  char subBlock[64];
  std::snprintf(subBlock, sizeof subBlock, "\\StringFileInfo\\%04x%04x\\", 1033u, 1200u);
  if (m_block.Query(subBlock + name, out)) return true;
  out.clear();
  return false;
}

void CVersionInfo::Close() {
  m_loaded = false;
  m_block = zor::platform::VersionBlock();
}
