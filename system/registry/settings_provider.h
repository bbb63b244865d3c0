// Typed settings by value name: writes, reads, and reads with a default.
//
//   void Remember(ISettingsProvider& settings) {
//     settings.WriteLong("Port", 3);                  // REG_DWORD, 4 bytes
//     uint8_t logging = 0;
//     settings.ReadByteDefault("Enable File Logging", logging, 0);
//   }
//
// Every operation returns BOOL 1 on success and 0 on failure, except
// GetKeyPath and DeleteKey. A failed read leaves its destination as it was;
// a failed read with a default stores the default there. Nothing is written by
// a read. CZORRegistry (system/registry/zor_registry.h) implements the
// interface over the registry; the order of the operations is the order of
// the Windows programs' interface table and must not change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using BOOL = int32_t;

// A frame window of the user-interface programs. Nothing on Linux has one;
// the bar-state operations take it only to keep their shape.
class CFrameWnd;

// The window placement record as the platform stores it: 44 bytes.
struct WINDOWPLACEMENT {
  uint32_t length;
  uint32_t flags;
  uint32_t showCmd;
  int32_t ptMinPosition[2];
  int32_t ptMaxPosition[2];
  int32_t rcNormalPosition[4];  // left, top, right, bottom
};
static_assert(sizeof(WINDOWPLACEMENT) == 44);
static_assert(offsetof(WINDOWPLACEMENT, showCmd) == 8);
static_assert(offsetof(WINDOWPLACEMENT, ptMinPosition) == 12);
static_assert(offsetof(WINDOWPLACEMENT, ptMaxPosition) == 20);
static_assert(offsetof(WINDOWPLACEMENT, rcNormalPosition) == 28);

// The display programs' 64-byte settings record. Its layout beyond the first
// field belongs to those programs; the write and read preset that field to 44.
struct sDisplaySettings {
  uint32_t size;
  uint8_t data[60];
};
static_assert(sizeof(sDisplaySettings) == 64);
static_assert(offsetof(sDisplaySettings, data) == 4);

class ISettingsProvider {
 public:
  virtual ~ISettingsProvider();

  // ---- Writes: REG_BINARY of the value's width unless said otherwise ----
  // REG_SZ through WriteString.
  virtual BOOL WriteStdString(const std::string& name, const std::string& value);
  virtual BOOL WriteByte(const std::string& name, uint8_t value) = 0;
  virtual BOOL WriteWord(const std::string& name, uint16_t value) = 0;
  virtual BOOL WriteDword(const std::string& name, uint32_t value) = 0;
  // The element count as REG_DWORD under "<name>-size of bytearray", then the
  // bytes under the name; 1 only when both writes succeed.
  virtual BOOL WriteByteArray(const std::string& name, const std::vector<uint8_t>& bytes) = 0;
  virtual BOOL WriteBinary(const std::string& name, const void* data, uint32_t size) = 0;
  // REG_SZ; a null text stores "".
  virtual BOOL WriteText(const std::string& name, const char* text) = 0;
  // REG_SZ, the text and its terminating zero.
  virtual BOOL WriteString(const std::string& name, const std::string& value) = 0;
  virtual BOOL WriteDouble(const std::string& name, double value) = 0;
  virtual BOOL WriteFloat(const std::string& name, float value) = 0;
  virtual BOOL WriteInt(const std::string& name, int32_t value) = 0;
  // REG_DWORD.
  virtual BOOL WriteLong(const std::string& name, int32_t value) = 0;
  // REG_DWORD.
  virtual BOOL WriteUnsigned(const std::string& name, uint32_t value) = 0;
  // One byte, 1 or 0.
  virtual BOOL WriteBool(const std::string& name, bool value) = 0;
  virtual BOOL WriteChar(const std::string& name, char value) = 0;
  // Frame windows do not exist on Linux: stores nothing and returns 1.
  virtual BOOL SaveBarState(CFrameWnd* frame, const std::string& prefix) = 0;
  // Value "Window", 44 bytes, with the length field set to 44.
  virtual BOOL WriteWindowPlacement(WINDOWPLACEMENT placement) = 0;
  // Value "Display Registry Settings", 64 bytes, with the first field set to 44.
  virtual BOOL WriteDisplaySettings(sDisplaySettings settings) = 0;

  // ---- Reads with a default: the plain read, else the default stored ----
  virtual BOOL ReadByteDefault(const std::string& name, uint8_t& value, uint8_t fallback) = 0;
  virtual BOOL ReadWordDefault(const std::string& name, uint16_t& value, uint16_t fallback) = 0;
  virtual BOOL ReadDwordDefault(const std::string& name, uint32_t& value, uint32_t fallback) = 0;
  virtual BOOL ReadStringDefault(const std::string& name, std::string& value,
                                 const std::string& fallback) = 0;
  virtual BOOL ReadDoubleDefault(const std::string& name, double& value, double fallback) = 0;
  virtual BOOL ReadFloatDefault(const std::string& name, float& value, float fallback) = 0;
  virtual BOOL ReadIntDefault(const std::string& name, int32_t& value, int32_t fallback) = 0;
  virtual BOOL ReadLongDefault(const std::string& name, int32_t& value, int32_t fallback) = 0;
  virtual BOOL ReadUnsignedDefault(const std::string& name, uint32_t& value,
                                   uint32_t fallback) = 0;
  virtual BOOL ReadBoolDefault(const std::string& name, bool& value, bool fallback) = 0;
  virtual BOOL ReadCharDefault(const std::string& name, char& value, char fallback) = 0;

  // ---- Reads: the stored type is not checked ----
  // Through ReadString; a failed read leaves the text as it was.
  virtual BOOL ReadStdString(const std::string& name, std::string& value);
  // Fixed-width reads succeed only when the stored value has exactly the
  // width of the destination.
  virtual BOOL ReadByte(const std::string& name, uint8_t& value) = 0;
  virtual BOOL ReadWord(const std::string& name, uint16_t& value) = 0;
  virtual BOOL ReadDword(const std::string& name, uint32_t& value) = 0;
  // The count from "<name>-size of bytearray", then that many bytes; the
  // count must equal the stored size of the data. On failure the array is
  // emptied.
  virtual BOOL ReadByteArray(const std::string& name, std::vector<uint8_t>& bytes) = 0;
  // Up to `size` bytes: a longer value fails, a shorter one fills only its
  // own number of leading bytes.
  virtual BOOL ReadBinary(const std::string& name, void* data, uint32_t size) = 0;
  // A text of up to 259 characters (260 bytes with its terminator); the text
  // ends at the first zero or at the stored size.
  virtual BOOL ReadString(const std::string& name, std::string& value) = 0;
  virtual BOOL ReadDouble(const std::string& name, double& value) = 0;
  virtual BOOL ReadFloat(const std::string& name, float& value) = 0;
  virtual BOOL ReadInt(const std::string& name, int32_t& value) = 0;
  virtual BOOL ReadLong(const std::string& name, int32_t& value) = 0;
  virtual BOOL ReadUnsigned(const std::string& name, uint32_t& value) = 0;
  // One byte; any byte but 0 reads as true.
  virtual BOOL ReadBool(const std::string& name, bool& value) = 0;
  virtual BOOL ReadChar(const std::string& name, char& value) = 0;
  // Loads nothing (no frame windows on Linux); returns what the verification
  // of the stored bar state answers.
  virtual BOOL LoadBarState(CFrameWnd* frame, const std::string& prefix) = 0;
  virtual BOOL ReadWindowPlacement(WINDOWPLACEMENT& placement) = 0;
  virtual BOOL ReadDisplaySettings(sDisplaySettings& settings) = 0;

  // The key path the settings live under (without "\Settings").
  virtual std::string GetKeyPath() const = 0;
  // Deletes the key of that path below the current user's hive root, with
  // everything below it; returns the platform error code (0 success).
  virtual uint32_t DeleteKey(const std::string& key_name) = 0;
};
