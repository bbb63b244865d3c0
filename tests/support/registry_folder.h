// Points the registry store at a fresh folder for one test, so that no test
// ever touches the real user configuration, and restores the former setting.
//
//   ScopedRegistryFolder reg;     // ZOR_REGISTRY_DIR = a new temp folder
//   std::string hive = reg.Path("current_user.hive");
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/registry_change_counter.h"
#include "tests/support/temp_folder.h"

class ScopedRegistryFolder {
 public:
  explicit ScopedRegistryFolder(const std::filesystem::path& root = TempFolder::DefaultRoot())
      : m_tmp(root) {
    if (const char* old = std::getenv("ZOR_REGISTRY_DIR")) m_old = old;
    ::setenv("ZOR_REGISTRY_DIR", m_tmp.path().c_str(), 1);
  }
  ~ScopedRegistryFolder() {
    // The folder's change counter would outlive it in shared memory.
    zor::platform::RegistryChangeCounter::Remove(m_tmp.path());
    // Without a former setting the variable keeps naming the removed test
    // folder: a stray later call must not reach the real configuration.
    if (m_old) ::setenv("ZOR_REGISTRY_DIR", m_old->c_str(), 1);
  }
  ScopedRegistryFolder(const ScopedRegistryFolder&) = delete;
  ScopedRegistryFolder& operator=(const ScopedRegistryFolder&) = delete;

  const std::string& path() const { return m_tmp.path(); }
  std::string Path(const std::string& relative) const { return m_tmp.Path(relative); }
  std::string Write(const std::string& relative, const std::string& content) const {
    return m_tmp.Write(relative, content);
  }

 private:
  TempFolder m_tmp;
  std::optional<std::string> m_old;
};
