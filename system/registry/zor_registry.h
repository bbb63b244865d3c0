// Settings of one program in the registry: CZORRegistry opens (creating it
// when needed) the key of a product, category and up to two sub-keys, and
// reads and writes typed values there.
//
//   {
//     CZORRegistry reg("Drv", kRegistryProductTridu8, kRegistryCategoryDrivers);
//     // key Software\Zor\Tridu\8.0\Drivers\Drv\Settings of the current user
//     uint8_t enabled = 0;
//     reg.ReadByteDefault("Enable File Logging", enabled, 0);
//     reg.WriteByte("Enable File Logging", 1);
//   }  // the key closes here
//
// When the key cannot be created (the hive is not writable) it is opened for
// reading only, and every write fails with 0. When it cannot be opened at all,
// every read and write fails with 0. Objects are short-lived and used by one
// thread; the registry store serialises access between threads and processes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "system/registry/registry_paths.h"
#include "system/registry/settings_provider.h"

using zor::platform::HKEY;
using zor::platform::HKEY_CURRENT_USER;
using zor::platform::HKEY_LOCAL_MACHINE;

class CZORRegistry : public ISettingsProvider {
 public:
  // Product, category, hive; no sub-key: opens the bare key path.
  CZORRegistry(int32_t product, int32_t category, HKEY hive = HKEY_CURRENT_USER);
  // One sub-key: opens "<key path>\Settings" (also for an empty sub-key,
  // which then adds no path element).
  CZORRegistry(const std::string& sub_key, int32_t product, int32_t category,
               HKEY hive = HKEY_CURRENT_USER);
  // Two sub-keys: the second counts only when the first is not empty.
  CZORRegistry(const std::string& sub_key, const std::string& sub_key2, int32_t product,
               int32_t category, HKEY hive = HKEY_CURRENT_USER);
  ~CZORRegistry() override;
  CZORRegistry(const CZORRegistry&) = delete;
  CZORRegistry& operator=(const CZORRegistry&) = delete;

  // Stores the arguments, builds the key path and opens the key: created with
  // KEY_READ | KEY_WRITE, else opened read-only; 0 when neither works. A null
  // sub-key means none. A key the object held before is closed.
  BOOL Open(const char* sub_key, const char* sub_key2, int32_t product, int32_t category,
            HKEY hive);

  BOOL WriteByte(const std::string& name, uint8_t value) override;
  BOOL WriteWord(const std::string& name, uint16_t value) override;
  BOOL WriteDword(const std::string& name, uint32_t value) override;
  BOOL WriteByteArray(const std::string& name, const std::vector<uint8_t>& bytes) override;
  BOOL WriteBinary(const std::string& name, const void* data, uint32_t size) override;
  BOOL WriteText(const std::string& name, const char* text) override;
  BOOL WriteString(const std::string& name, const std::string& value) override;
  BOOL WriteDouble(const std::string& name, double value) override;
  BOOL WriteFloat(const std::string& name, float value) override;
  BOOL WriteInt(const std::string& name, int32_t value) override;
  BOOL WriteLong(const std::string& name, int32_t value) override;
  BOOL WriteUnsigned(const std::string& name, uint32_t value) override;
  BOOL WriteBool(const std::string& name, bool value) override;
  BOOL WriteChar(const std::string& name, char value) override;
  BOOL SaveBarState(CFrameWnd* frame, const std::string& prefix) override;
  BOOL WriteWindowPlacement(WINDOWPLACEMENT placement) override;
  BOOL WriteDisplaySettings(sDisplaySettings settings) override;

  BOOL ReadByteDefault(const std::string& name, uint8_t& value, uint8_t fallback) override;
  BOOL ReadWordDefault(const std::string& name, uint16_t& value, uint16_t fallback) override;
  BOOL ReadDwordDefault(const std::string& name, uint32_t& value, uint32_t fallback) override;
  BOOL ReadStringDefault(const std::string& name, std::string& value,
                         const std::string& fallback) override;
  BOOL ReadDoubleDefault(const std::string& name, double& value, double fallback) override;
  BOOL ReadFloatDefault(const std::string& name, float& value, float fallback) override;
  BOOL ReadIntDefault(const std::string& name, int32_t& value, int32_t fallback) override;
  BOOL ReadLongDefault(const std::string& name, int32_t& value, int32_t fallback) override;
  BOOL ReadUnsignedDefault(const std::string& name, uint32_t& value, uint32_t fallback) override;
  BOOL ReadBoolDefault(const std::string& name, bool& value, bool fallback) override;
  BOOL ReadCharDefault(const std::string& name, char& value, char fallback) override;

  BOOL ReadByte(const std::string& name, uint8_t& value) override;
  BOOL ReadWord(const std::string& name, uint16_t& value) override;
  BOOL ReadDword(const std::string& name, uint32_t& value) override;
  BOOL ReadByteArray(const std::string& name, std::vector<uint8_t>& bytes) override;
  BOOL ReadBinary(const std::string& name, void* data, uint32_t size) override;
  BOOL ReadString(const std::string& name, std::string& value) override;
  BOOL ReadDouble(const std::string& name, double& value) override;
  BOOL ReadFloat(const std::string& name, float& value) override;
  BOOL ReadInt(const std::string& name, int32_t& value) override;
  BOOL ReadLong(const std::string& name, int32_t& value) override;
  BOOL ReadUnsigned(const std::string& name, uint32_t& value) override;
  BOOL ReadBool(const std::string& name, bool& value) override;
  BOOL ReadChar(const std::string& name, char& value) override;
  BOOL LoadBarState(CFrameWnd* frame, const std::string& prefix) override;
  BOOL ReadWindowPlacement(WINDOWPLACEMENT& placement) override;
  BOOL ReadDisplaySettings(sDisplaySettings& settings) override;

  std::string GetKeyPath() const override;
  uint32_t DeleteKey(const std::string& key_name) override;

  // Deletes one value of the open key; 0 when none is open or it is missing.
  virtual BOOL DeleteValue(const std::string& name);
  // True when no bar state is stored for the profile "BarState", i.e. the key
  // "BarState-Summary" below the open key holds no "Bars" count above 0: no
  // frame window on Linux knows the bars a stored state would name.
  virtual BOOL VerifyBarState(CFrameWnd* frame);

  // The first sub-key, then "\" and the second when the second is not empty.
  std::string GetSubKeyPath() const;
  // Raw write and query on the open key; 0 when none is open or the call
  // fails. QueryValue follows RegQueryValueEx: `size` in and out.
  BOOL SetValue(const std::string& name, uint32_t type, const void* data, uint32_t size);
  BOOL QueryValue(const std::string& name, uint32_t* type, void* data, uint32_t* size);

  // Copies every value and sub-key of `source` into the key `dest_name`
  // below `dest_parent` (created when missing). The copy skips the sub-key of
  // the source that is the destination itself, so a key can be copied into a
  // sub-key of itself. Returns the platform error code (0 success).
  static uint32_t CopyKey(HKEY source, HKEY dest_parent, const std::string& dest_name);
  // For product 2 only: when the current user has no Software\Zor\Tridu\8.0
  // but a Software\Zor\Tridu\7.0, copies the latter into the former. 1 when a
  // copy was made.
  static BOOL CopyPreviousVersionSettings(int32_t product);
  // Replaces the object's key by Software\Zor\<product>\<version> of the local
  // machine and reads its "Release Version"; when that is missing or empty,
  // uses "<ProductVersion>.<FileVersion>" of the program's own version record.
  // 1 when either was found; `release` (may be null) receives the text. With
  // `show_message`, shows the outcome in a message box.
  BOOL GetReleaseVersion(const char* product_name, const char* version, std::string* release,
                         bool show_message);

 private:
  // Fixed-width read: exactly sizeof(T) stored bytes, else 0 and `value` kept.
  template <typename T>
  BOOL ReadExact(const std::string& name, T& value);

  HKEY m_hKey = nullptr;
  std::string m_KeyPath;
  std::string m_SubKey2;
  std::string m_SubKey;
  int32_t m_Product = 0;
  int32_t m_Category = 0;
};
