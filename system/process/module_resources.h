// Typed resources compiled into a program or library, found by type name and
// number.
//
//   std::vector<uint8_t> bytes;
//   if (!LoadResourceBytes(bytes, "XML", 101, "")) { /* use the built-in default */ }
//
// ELF programs and libraries carry no typed resources, so on Linux there is
// never one to load: both functions return 0 and leave `out` as it was.
// (Texts by number are string resources: platform/string_resources.h.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using BOOL = int32_t;

// The resource's bytes of the module loaded under `moduleName` (the program
// itself when empty); 0 when there is none or it is empty.
BOOL LoadResourceBytes(std::vector<uint8_t>& out, const std::string& typeName, uint16_t id,
                       const std::string& moduleName);
// The same bytes as a text.
BOOL LoadResourceText(std::string& out, const std::string& typeName, uint16_t id,
                      const std::string& moduleName);
