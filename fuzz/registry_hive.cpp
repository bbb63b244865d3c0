// Feeds arbitrary bytes to the registry hive parser. A damaged file must be
// refused without a crash; a file that parses must give the same tree back
// after it is written and read again, and its written form must be stable.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry_file_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  zor::platform::RegistryNode root;
  std::string why;
  if (!zor::platform::ParseHive(text, root, &why)) {
    if (why.empty() || !(root == zor::platform::RegistryNode{})) __builtin_trap();
    return 0;
  }
  const std::string written = zor::platform::SerializeHive(root);
  zor::platform::RegistryNode back;
  if (!zor::platform::ParseHive(written, back, &why)) __builtin_trap();
  if (!(back == root)) __builtin_trap();
  if (zor::platform::SerializeHive(back) != written) __builtin_trap();
  return 0;
}
