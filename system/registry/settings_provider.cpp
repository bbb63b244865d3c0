#include "system/registry/settings_provider.h"

ISettingsProvider::~ISettingsProvider() = default;

BOOL ISettingsProvider::WriteStdString(const std::string& name, const std::string& value) {
  return WriteString(name, value);
}

BOOL ISettingsProvider::ReadStdString(const std::string& name, std::string& value) {
  std::string text = value;
  const BOOL result = ReadString(name, text);
  value = text;
  return result;
}
