#include "platform/registry_tree.h"

#include <algorithm>

namespace zor::platform {
namespace {

constexpr unsigned char Fold(unsigned char c) noexcept {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

template <typename Item>
auto LowerBound(std::vector<Item>& items, std::string_view name) {
  return std::lower_bound(items.begin(), items.end(), name, [](const Item& item, std::string_view n) {
    return CompareRegistryNames(item.name, n) < 0;
  });
}

template <typename Item>
auto LowerBound(const std::vector<Item>& items, std::string_view name) {
  return std::lower_bound(items.begin(), items.end(), name, [](const Item& item, std::string_view n) {
    return CompareRegistryNames(item.name, n) < 0;
  });
}

template <typename Vector>
auto FindByName(Vector& items, std::string_view name) -> decltype(items.data()) {
  auto it = LowerBound(items, name);
  if (it == items.end() || !RegistryNamesEqual(it->name, name)) return nullptr;
  return &*it;
}

}  // namespace

int CompareRegistryNames(std::string_view a, std::string_view b) noexcept {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char ca = Fold(static_cast<unsigned char>(a[i]));
    const unsigned char cb = Fold(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool SplitRegistryPath(std::string_view path, std::vector<std::string>& parts) {
  parts.clear();
  if (path.empty()) return true;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find('\\', start);
    const std::string_view part =
        path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty() || part.size() > kMaxRegistryKeyName) return false;
    parts.emplace_back(part);
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

const RegistryValue* RegistryNode::FindValue(std::string_view value_name) const {
  return FindByName(values, value_name);
}

const RegistryNode* RegistryNode::FindSubKey(std::string_view key_name) const {
  return FindByName(subkeys, key_name);
}

RegistryNode* RegistryNode::FindSubKey(std::string_view key_name) {
  return FindByName(subkeys, key_name);
}

const RegistryNode* RegistryNode::Find(std::span<const std::string> parts) const {
  const RegistryNode* node = this;
  for (const std::string& part : parts) {
    node = node->FindSubKey(part);
    if (node == nullptr) return nullptr;
  }
  return node;
}

RegistryNode* RegistryNode::Find(std::span<const std::string> parts) {
  return const_cast<RegistryNode*>(static_cast<const RegistryNode*>(this)->Find(parts));
}

RegistryNode& RegistryNode::AddSubKey(std::string_view key_name) {
  auto it = LowerBound(subkeys, key_name);
  if (it != subkeys.end() && RegistryNamesEqual(it->name, key_name)) return *it;
  it = subkeys.insert(it, RegistryNode{});
  it->name.assign(key_name);
  return *it;
}

bool RegistryNode::SetValue(std::string_view value_name, uint32_t type,
                            std::span<const uint8_t> data) {
  auto it = LowerBound(values, value_name);
  if (it != values.end() && RegistryNamesEqual(it->name, value_name)) {
    if (it->type == type && std::equal(it->data.begin(), it->data.end(), data.begin(), data.end()))
      return false;
    it->type = type;
    it->data.assign(data.begin(), data.end());
    return true;
  }
  RegistryValue value;
  value.name.assign(value_name);
  value.type = type;
  value.data.assign(data.begin(), data.end());
  values.insert(it, std::move(value));
  return true;
}

bool RegistryNode::RemoveValue(std::string_view value_name) {
  auto it = LowerBound(values, value_name);
  if (it == values.end() || !RegistryNamesEqual(it->name, value_name)) return false;
  values.erase(it);
  return true;
}

bool RegistryNode::RemoveSubKey(std::string_view key_name) {
  auto it = LowerBound(subkeys, key_name);
  if (it == subkeys.end() || !RegistryNamesEqual(it->name, key_name)) return false;
  subkeys.erase(it);
  return true;
}

}  // namespace zor::platform
