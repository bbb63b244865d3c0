#include "system/registry/zor_registry.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <span>

#include "platform/bytes.h"
#include "platform/message_sink.h"
#include "system/registry/program_version.h"
#include "system/registry/registry_diagnostics.h"
#include "system/registry/registry_keys.h"

namespace reg = zor::platform;

namespace {

constexpr uint32_t kStringCapacity = 260;
const char kByteArraySizeSuffix[] = "-size of bytearray";

}  // namespace

CZORRegistry::CZORRegistry(int32_t product, int32_t category, HKEY hive) {
  Open(nullptr, nullptr, product, category, hive);
}

CZORRegistry::CZORRegistry(const std::string& sub_key, int32_t product, int32_t category,
                           HKEY hive) {
  Open(sub_key.c_str(), nullptr, product, category, hive);
}

CZORRegistry::CZORRegistry(const std::string& sub_key, const std::string& sub_key2,
                           int32_t product, int32_t category, HKEY hive) {
  Open(sub_key.c_str(), sub_key2.c_str(), product, category, hive);
}

CZORRegistry::~CZORRegistry() {
  if (m_hKey != nullptr) reg::RegCloseKey(m_hKey);
}

BOOL CZORRegistry::Open(const char* sub_key, const char* sub_key2, int32_t product,
                        int32_t category, HKEY hive) {
  EnsureRegistryDiagnostics();
  m_SubKey = sub_key != nullptr ? sub_key : "";
  m_SubKey2 = sub_key2 != nullptr ? sub_key2 : "";
  m_Product = product;
  m_Category = category;
  m_KeyPath = MakeRegistryKeyPath(sub_key, sub_key2, product, category);

  std::string key = m_KeyPath;
  if (sub_key != nullptr) key += "\\Settings";
  if (m_hKey != nullptr) reg::RegCloseKey(m_hKey);
  m_hKey = nullptr;
  if (reg::RegCreateKeyEx(hive, key, reg::KEY_READ | reg::KEY_WRITE, &m_hKey) == 0) return 1;
  if (reg::RegOpenKeyEx(hive, key, reg::KEY_QUERY_VALUE, &m_hKey) == 0) return 1;
  m_hKey = nullptr;
  return 0;
}

// ---- raw access ----

BOOL CZORRegistry::SetValue(const std::string& name, uint32_t type, const void* data,
                            uint32_t size) {
  if (m_hKey == nullptr) return 0;
  return reg::RegSetValueEx(m_hKey, name, type, data, size) == 0 ? 1 : 0;
}

BOOL CZORRegistry::QueryValue(const std::string& name, uint32_t* type, void* data,
                              uint32_t* size) {
  if (m_hKey == nullptr) return 0;
  return reg::RegQueryValueEx(m_hKey, name, type, data, size) == 0 ? 1 : 0;
}

BOOL CZORRegistry::DeleteValue(const std::string& name) {
  if (m_hKey == nullptr) return 0;
  return reg::RegDeleteValue(m_hKey, name) == 0 ? 1 : 0;
}

std::string CZORRegistry::GetKeyPath() const { return m_KeyPath; }

std::string CZORRegistry::GetSubKeyPath() const {
  if (m_SubKey2.empty()) return m_SubKey;
  return m_SubKey + "\\" + m_SubKey2;
}

uint32_t CZORRegistry::DeleteKey(const std::string& key_name) {
  return DeleteRegistryKeyTree(HKEY_CURRENT_USER, key_name.c_str());
}

// ---- writes ----

BOOL CZORRegistry::WriteByte(const std::string& name, uint8_t value) {
  return SetValue(name, reg::REG_BINARY, &value, 1);
}

BOOL CZORRegistry::WriteWord(const std::string& name, uint16_t value) {
  return SetValue(name, reg::REG_BINARY, &value, 2);
}

BOOL CZORRegistry::WriteDword(const std::string& name, uint32_t value) {
  return SetValue(name, reg::REG_BINARY, &value, 4);
}

BOOL CZORRegistry::WriteByteArray(const std::string& name, const std::vector<uint8_t>& bytes) {
  if (bytes.size() > std::numeric_limits<uint32_t>::max()) return 0;
  const auto count = static_cast<uint32_t>(bytes.size());
  const BOOL counted = WriteUnsigned(name + kByteArraySizeSuffix, count);
  const BOOL stored = WriteBinary(name, bytes.data(), count);
  return counted && stored ? 1 : 0;
}

BOOL CZORRegistry::WriteBinary(const std::string& name, const void* data, uint32_t size) {
  return SetValue(name, reg::REG_BINARY, data, size);
}

BOOL CZORRegistry::WriteText(const std::string& name, const char* text) {
  return WriteString(name, text != nullptr ? text : "");
}

BOOL CZORRegistry::WriteString(const std::string& name, const std::string& value) {
  if (value.size() >= std::numeric_limits<uint32_t>::max()) return 0;
  return SetValue(name, reg::REG_SZ, value.c_str(), static_cast<uint32_t>(value.size() + 1));
}

BOOL CZORRegistry::WriteDouble(const std::string& name, double value) {
  return SetValue(name, reg::REG_BINARY, &value, 8);
}

BOOL CZORRegistry::WriteFloat(const std::string& name, float value) {
  return SetValue(name, reg::REG_BINARY, &value, 4);
}

BOOL CZORRegistry::WriteInt(const std::string& name, int32_t value) {
  return SetValue(name, reg::REG_BINARY, &value, 4);
}

BOOL CZORRegistry::WriteLong(const std::string& name, int32_t value) {
  return SetValue(name, reg::REG_DWORD, &value, 4);
}

BOOL CZORRegistry::WriteUnsigned(const std::string& name, uint32_t value) {
  return SetValue(name, reg::REG_DWORD, &value, 4);
}

BOOL CZORRegistry::WriteBool(const std::string& name, bool value) {
  const uint8_t byte = value ? 1 : 0;
  return SetValue(name, reg::REG_BINARY, &byte, 1);
}

BOOL CZORRegistry::WriteChar(const std::string& name, char value) {
  return SetValue(name, reg::REG_BINARY, &value, 1);
}

BOOL CZORRegistry::SaveBarState(CFrameWnd*, const std::string&) {
  return 1;  // no frame window, no bars to store
}

BOOL CZORRegistry::WriteWindowPlacement(WINDOWPLACEMENT placement) {
  placement.length = sizeof(WINDOWPLACEMENT);
  return SetValue("Window", reg::REG_BINARY, &placement, sizeof(WINDOWPLACEMENT));
}

BOOL CZORRegistry::WriteDisplaySettings(sDisplaySettings settings) {
  settings.size = 44;
  return SetValue("Display Registry Settings", reg::REG_BINARY, &settings,
                  sizeof(sDisplaySettings));
}

// ---- reads ----

template <typename T>
BOOL CZORRegistry::ReadExact(const std::string& name, T& value) {
  uint8_t buf[sizeof(T)];
  uint32_t size = sizeof(T);
  if (!QueryValue(name, nullptr, buf, &size) || size != sizeof(T)) return 0;
  std::memcpy(&value, buf, sizeof(T));
  return 1;
}

BOOL CZORRegistry::ReadByte(const std::string& name, uint8_t& value) {
  return ReadExact(name, value);
}

BOOL CZORRegistry::ReadWord(const std::string& name, uint16_t& value) {
  return ReadExact(name, value);
}

BOOL CZORRegistry::ReadDword(const std::string& name, uint32_t& value) {
  return ReadExact(name, value);
}

BOOL CZORRegistry::ReadDouble(const std::string& name, double& value) {
  return ReadExact(name, value);
}

BOOL CZORRegistry::ReadFloat(const std::string& name, float& value) {
  return ReadExact(name, value);
}

BOOL CZORRegistry::ReadInt(const std::string& name, int32_t& value) {
  return ReadExact(name, value);
}

BOOL CZORRegistry::ReadLong(const std::string& name, int32_t& value) {
  return ReadExact(name, value);
}

BOOL CZORRegistry::ReadUnsigned(const std::string& name, uint32_t& value) {
  return ReadExact(name, value);
}

BOOL CZORRegistry::ReadBool(const std::string& name, bool& value) {
  uint8_t byte = 0;
  if (!ReadExact(name, byte)) return 0;
  value = byte != 0;
  return 1;
}

BOOL CZORRegistry::ReadChar(const std::string& name, char& value) {
  return ReadExact(name, value);
}

BOOL CZORRegistry::ReadBinary(const std::string& name, void* data, uint32_t size) {
  return QueryValue(name, nullptr, data, &size);
}

BOOL CZORRegistry::ReadString(const std::string& name, std::string& value) {
  uint8_t buf[kStringCapacity];
  uint32_t size = sizeof buf;
  if (!QueryValue(name, nullptr, buf, &size)) return 0;
  value = reg::GetText(std::span<const uint8_t>(buf, size), 0, size);
  return 1;
}

BOOL CZORRegistry::ReadByteArray(const std::string& name, std::vector<uint8_t>& bytes) {
  uint32_t count = 0;
  uint32_t stored = 0;
  // The count comes from outside: it must match the data really stored
  // before anything is allocated.
  if (!ReadUnsigned(name + kByteArraySizeSuffix, count) ||
      !QueryValue(name, nullptr, nullptr, &stored) || stored != count) {
    bytes.clear();
    return 0;
  }
  std::vector<uint8_t> data(count);
  uint32_t size = count;
  if (!QueryValue(name, nullptr, data.data(), &size) || size != count) {
    bytes.clear();
    return 0;
  }
  bytes = std::move(data);
  return 1;
}

BOOL CZORRegistry::LoadBarState(CFrameWnd* frame, const std::string&) {
  // The profile would be GetSubKeyPath's second part and the prefix; there is
  // no frame window to load a state into, so only the verification remains.
  return VerifyBarState(frame);
}

BOOL CZORRegistry::VerifyBarState(CFrameWnd*) {
  if (m_hKey == nullptr) return 1;
  HKEY summary = nullptr;
  if (reg::RegOpenKeyEx(m_hKey, "BarState-Summary", reg::KEY_QUERY_VALUE, &summary) != 0)
    return 1;
  uint32_t bars = 0;
  uint32_t size = sizeof bars;
  const bool stored = reg::RegQueryValueEx(summary, "Bars", nullptr, &bars, &size) == 0 &&
                      size == sizeof bars && bars > 0;
  reg::RegCloseKey(summary);
  return stored ? 0 : 1;
}

BOOL CZORRegistry::ReadWindowPlacement(WINDOWPLACEMENT& placement) {
  placement.length = sizeof(WINDOWPLACEMENT);
  return ReadBinary("Window", &placement, sizeof(WINDOWPLACEMENT));
}

BOOL CZORRegistry::ReadDisplaySettings(sDisplaySettings& settings) {
  settings.size = 44;
  return ReadBinary("Display Registry Settings", &settings, sizeof(sDisplaySettings));
}

// ---- reads with a default ----

BOOL CZORRegistry::ReadByteDefault(const std::string& name, uint8_t& value, uint8_t fallback) {
  if (ReadByte(name, value)) return 1;
  value = fallback;
  return 0;
}

BOOL CZORRegistry::ReadWordDefault(const std::string& name, uint16_t& value, uint16_t fallback) {
  if (ReadWord(name, value)) return 1;
  value = fallback;
  return 0;
}

BOOL CZORRegistry::ReadDwordDefault(const std::string& name, uint32_t& value, uint32_t fallback) {
  if (ReadDword(name, value)) return 1;
  value = fallback;
  return 0;
}

BOOL CZORRegistry::ReadStringDefault(const std::string& name, std::string& value,
                                     const std::string& fallback) {
  if (ReadString(name, value)) return 1;
  value = fallback;
  return 0;
}

BOOL CZORRegistry::ReadDoubleDefault(const std::string& name, double& value, double fallback) {
  if (ReadDouble(name, value)) return 1;
  value = fallback;
  return 0;
}

BOOL CZORRegistry::ReadFloatDefault(const std::string& name, float& value, float fallback) {
  if (ReadFloat(name, value)) return 1;
  value = fallback;
  return 0;
}

BOOL CZORRegistry::ReadIntDefault(const std::string& name, int32_t& value, int32_t fallback) {
  if (ReadInt(name, value)) return 1;
  value = fallback;
  return 0;
}

BOOL CZORRegistry::ReadLongDefault(const std::string& name, int32_t& value, int32_t fallback) {
  if (ReadLong(name, value)) return 1;
  value = fallback;
  return 0;
}

BOOL CZORRegistry::ReadUnsignedDefault(const std::string& name, uint32_t& value,
                                       uint32_t fallback) {
  if (ReadUnsigned(name, value)) return 1;
  value = fallback;
  return 0;
}

BOOL CZORRegistry::ReadBoolDefault(const std::string& name, bool& value, bool fallback) {
  if (ReadBool(name, value)) return 1;
  value = fallback;
  return 0;
}

BOOL CZORRegistry::ReadCharDefault(const std::string& name, char& value, char fallback) {
  if (ReadChar(name, value)) return 1;
  value = fallback;
  return 0;
}

// ---- copying ----

namespace {

// Copies the values and sub-keys of `source` into the open key `dest`,
// leaving out `top` (the key the whole copy goes to) wherever it turns up.
uint32_t CopyInto(HKEY source, HKEY dest, HKEY top) {
  std::vector<uint8_t> data(1024);
  for (uint32_t index = 0;; ++index) {
    std::string name;
    uint32_t type = 0;
    uint32_t size = static_cast<uint32_t>(data.size());
    uint32_t code = reg::RegEnumValue(source, index, &name, &type, data.data(), &size);
    for (int reports = 1; code == reg::kErrorMoreData; ++reports) {
      if (reports == 3) return code;  // the value keeps growing under us
      data.resize(size);
      code = reg::RegEnumValue(source, index, &name, &type, data.data(), &size);
    }
    if (code == reg::kErrorNoMoreItems) break;
    if (code != 0) return code;
    code = reg::RegSetValueEx(dest, name, type, data.data(), size);
    if (code != 0) return code;
  }

  for (uint32_t index = 0;; ++index) {
    std::string name;
    uint32_t code = reg::RegEnumKeyEx(source, index, &name);
    if (code == reg::kErrorNoMoreItems) return 0;
    if (code != 0) return code;
    HKEY child = nullptr;
    code = reg::RegOpenKeyEx(source, name, reg::KEY_READ, &child);
    if (code != 0) return code;
    if (reg::RegKeysEqual(child, top)) {
      reg::RegCloseKey(child);
      continue;
    }
    HKEY child_dest = nullptr;
    code = reg::RegCreateKeyEx(dest, name, reg::KEY_ALL_ACCESS, &child_dest);
    if (code == 0) {
      code = CopyInto(child, child_dest, top);
      reg::RegCloseKey(child_dest);
    }
    reg::RegCloseKey(child);
    if (code != 0 && code != reg::kErrorNoMoreItems) return code;
  }
}

}  // namespace

uint32_t CZORRegistry::CopyKey(HKEY source, HKEY dest_parent, const std::string& dest_name) {
  HKEY dest = nullptr;
  const uint32_t created = reg::RegCreateKeyEx(dest_parent, dest_name, reg::KEY_ALL_ACCESS, &dest);
  if (created != 0) return created;
  const uint32_t code = CopyInto(source, dest, dest);
  reg::RegCloseKey(dest);
  return code;
}

BOOL CZORRegistry::CopyPreviousVersionSettings(int32_t product) {
  if (product != kRegistryProductTridu8) return 0;
  if (RegistrySettingsKeyExists(nullptr, kRegistryProductTridu8, 0) ||
      !RegistrySettingsKeyExists(nullptr, kRegistryProductTridu7, 0))
    return 0;
  HKEY source = nullptr;
  if (reg::RegOpenKeyEx(HKEY_CURRENT_USER, MakeRegistryKeyPath(nullptr, nullptr, kRegistryProductTridu7, 0),
                        reg::KEY_READ, &source) != 0)
    return 0;
  // The parent must allow creating the new version's key below it.
  HKEY parent = nullptr;
  const std::string parent_path = "Software\\Zor" + GetRegistryProductName(kRegistryProductTridu8);
  uint32_t code = reg::RegOpenKeyEx(HKEY_CURRENT_USER, parent_path,
                                    reg::KEY_READ | reg::KEY_CREATE_SUB_KEY, &parent);
  if (code == 0) {
    code = CopyKey(source, parent, FormatRegistryProductVersion(kRegistryProductTridu8));
    reg::RegCloseKey(parent);
  }
  reg::RegCloseKey(source);
  return code == 0 ? 1 : 0;
}

// ---- release version ----

BOOL CZORRegistry::GetReleaseVersion(const char* product_name, const char* version,
                                     std::string* release, bool show_message) {
  const std::string product = product_name != nullptr ? product_name : "";
  const std::string ver = version != nullptr ? version : "";
  std::string text;
  BOOL result = 0;

  if (m_hKey != nullptr) reg::RegCloseKey(m_hKey);
  m_hKey = nullptr;
  if (reg::RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zor\\" + product + "\\" + ver,
                        reg::KEY_QUERY_VALUE, &m_hKey) != 0) {
    m_hKey = nullptr;
  } else {
    result = ReadStringDefault("Release Version", text, "");
  }

  if (!result || text.empty()) {
    result = 0;
    ProgramVersionRecord record;
    if (GetProgramVersionRecord(record)) {
      text = record.productVersion + "." + record.fileVersion;
      result = 1;
    }
  }
  if (release != nullptr) *release = text;

  if (show_message) {
    const std::string message = "Product: " + product + "\nVersion: " + ver +
                                "\nProduct Release Version: " + (result ? text : "[NOT FOUND]");
    zor::platform::ShowMessageBox(
        message, "", result ? zor::platform::MB_ICONINFORMATION : zor::platform::MB_ICONWARNING);
  }
  return result;
}
