#include "database/blockfile/block_types.h"

#include <array>

namespace {

constexpr std::array<std::string_view, kLastBlockType + 1> kNames = {
    "Unused block type",                  // 0
    "Header Definitions (old)",           // 1
    "System Definitions (old)",           // 2
    "Adjustment Definitions (old)",       // 3
    "Observation Definitions (old)",      // 4
    "Object Definitions",                 // 5
    "Node Definitions (old)",             // 6
    "Observation Events",                 // 7
    "History Information (old)",          // 8
    "Fix Definition",                     // 9
    "Adjustment Definitions",             // 10
    "Observation Definitions",            // 11
    "Node Definitions",                   // 12
    "Fix Events",                         // 13
    "Adjustment Events",                  // 14
    "Observation Events",                 // 15
    "Node Events",                        // 16
    "Filter Definitions (old)",           // 17
    "Filter Definitions (old)",           // 18
    "Observation Filter Definitions",     // 19
    "Position Filter Definitions (old)",  // 20
    "Echosounder Adjustment id (old)",    // 21
    "Echosounder Definitions (old)",      // 22
    "Echosounder Definitions",            // 23
    "Height Definitions (old)",           // 24
    "Height Definitions (old)",           // 25
    "Version Information",                // 26
    "System Definitions",                 // 27
    "Height Definitions (old)",           // 28
    "Anchor Definitions (old)",           // 29
    "Height Definitions (old)",           // 30
    "Height Definitions",                 // 31
    "Position Filter Definitions",        // 32
    "Header Definitions",                 // 33
    "Adjustment Definitions",             // 34
    "History Information",                // 35
    "Snippet Definitions",                // 36
    "Observation Definitions (old)",      // 37
    "Node Definitions",                   // 38
    "Anchor Definitions",                 // 39
    "Observation Definitions",            // 40
    "ADCP Definitions",                   // 41
    "Monitor Definitions",                // 42
};

}  // namespace

std::string_view BlockTypeNameView(uint32_t type) noexcept {
  return type < kNames.size() ? kNames[type] : std::string_view("Unknown block type");
}

std::string GetBlockTypeName(int32_t type) {
  return std::string(BlockTypeNameView(static_cast<uint32_t>(type)));
}
