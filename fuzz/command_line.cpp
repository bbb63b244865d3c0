// ParseCommandLine on arbitrary text: it must end, never throw for the named
// form, and whatever it reads must build and parse back to the same map when
// it holds no quote.
#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>

#include "system/os/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::map<std::string, std::string> args;
  ParseCommandLine(args, text);

  std::string line;
  try {
    BuildCommandLine(line, args);
  } catch (const std::invalid_argument&) {
    return 0;  // a name or value with a quote cannot be written
  }
  std::map<std::string, std::string> again;
  ParseCommandLine(again, line);
  // Names holding "--" or "=" do not survive the trip; everything else must.
  bool plainNames = true;
  for (const auto& [name, value] : args)
    if (name.find("--") != std::string::npos || name.find('=') != std::string::npos ||
        name.empty() || name.back() == '-')
      plainNames = false;
  if (plainNames && again != args) __builtin_trap();

  std::map<eCmdLineParamKey, std::string> keyed;
  try {
    ParseCommandLine(keyed, text);
  } catch (const std::invalid_argument&) {
  }
  return 0;
}
