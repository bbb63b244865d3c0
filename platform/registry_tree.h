// The in-memory form of one registry hive: a tree of keys, each holding typed
// values, with names that compare case-insensitively and keep their case.
//
//   zor::platform::RegistryNode root;
//   RegistryNode& key = root.AddSubKey("Software").AddSubKey("Zor");
//   const uint8_t one = 1;
//   key.SetValue("Enable File Logging", REG_BINARY, {&one, 1});
//   const RegistryValue* v = root.FindSubKey("SOFTWARE")->FindSubKey("zor")
//                                ->FindValue("enable file logging");
//
// Sub-keys and values are kept sorted by CompareRegistryNames, so enumeration
// by index follows that order. References to a node's children stay valid only
// until a sibling is added or removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zor::platform {

// Value types, with the numbers the stored files and callers rely on.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;
inline constexpr uint32_t REG_QWORD = 11;

// Limits of the store: the longest key name, the deepest key below a hive
// root and the longest value name.
inline constexpr std::size_t kMaxRegistryKeyName = 255;
inline constexpr std::size_t kMaxRegistryDepth = 512;
inline constexpr std::size_t kMaxRegistryValueName = 16383;

// Orders names as the registry does: ASCII letters without regard to case,
// every other byte by its value. Returns <0, 0 or >0.
int CompareRegistryNames(std::string_view a, std::string_view b) noexcept;
inline bool RegistryNamesEqual(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && CompareRegistryNames(a, b) == 0;
}

// Splits a key path such as "Software\Zor\Tridu" at its backslashes. An empty
// path gives no parts. False when a part is empty (a leading, trailing or
// doubled backslash) or longer than kMaxRegistryKeyName.
bool SplitRegistryPath(std::string_view path, std::vector<std::string>& parts);

struct RegistryValue {
  std::string name;
  uint32_t type = REG_NONE;
  std::vector<uint8_t> data;

  bool operator==(const RegistryValue&) const = default;
};

struct RegistryNode {
  std::string name;
  std::vector<RegistryValue> values;  // sorted by name
  std::vector<RegistryNode> subkeys;  // sorted by name

  const RegistryValue* FindValue(std::string_view value_name) const;
  const RegistryNode* FindSubKey(std::string_view key_name) const;
  RegistryNode* FindSubKey(std::string_view key_name);
  // The node at `parts` below this one, or null.
  const RegistryNode* Find(std::span<const std::string> parts) const;
  RegistryNode* Find(std::span<const std::string> parts);

  // The sub-key of that name, added when missing (an existing one keeps the
  // case it was created with).
  RegistryNode& AddSubKey(std::string_view key_name);
  // Stores a value, replacing one of the same name (whose stored case is
  // kept). False when the value already held exactly this type and data.
  bool SetValue(std::string_view value_name, uint32_t type, std::span<const uint8_t> data);
  bool RemoveValue(std::string_view value_name);
  bool RemoveSubKey(std::string_view key_name);

  bool operator==(const RegistryNode&) const = default;
};

}  // namespace zor::platform
