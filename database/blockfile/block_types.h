// The blocks of a project database file: the 8-byte header in front of each
// block, the block type ids and their display names.
//
//   BlockHeader header{};                      // read from the file as it stands
//   if (header.type == kBlockHistory) ...
//   std::string name = GetBlockTypeName(33);   // "Header Definitions"
//
// Ids 0..42 are the types the suite has ever written; several older layouts
// share a name with their successor (4 and 37 both read
// "Observation Definitions (old)"). Any other id, negative ones included,
// is "Unknown block type".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

// In front of every block: its type and the number of data bytes behind the
// header. Little-endian, the same in the file and in memory.
struct BlockHeader {
  uint32_t type;
  uint32_t size;
};
static_assert(std::is_standard_layout_v<BlockHeader> && sizeof(BlockHeader) == 8);
static_assert(offsetof(BlockHeader, type) == 0);
static_assert(offsetof(BlockHeader, size) == 4);
inline constexpr uint32_t kBlockHeaderSize = sizeof(BlockHeader);

// A discarded block: readers skip it, its bytes stay in place.
inline constexpr uint32_t kBlockUnused = 0;
inline constexpr uint32_t kBlockHeaderDefinitionsOld = 1;
inline constexpr uint32_t kBlockSystemDefinitionsOld = 2;
inline constexpr uint32_t kBlockObservationEvents = 7;
inline constexpr uint32_t kBlockHistoryOld = 8;
inline constexpr uint32_t kBlockFixDefinition = 9;
inline constexpr uint32_t kBlockNodeDefinitions = 12;
inline constexpr uint32_t kBlockFixEvents = 13;
inline constexpr uint32_t kBlockObservationEvents2 = 15;
inline constexpr uint32_t kBlockNodeEvents = 16;
inline constexpr uint32_t kBlockVersion = 26;
inline constexpr uint32_t kBlockSystemDefinitions = 27;
inline constexpr uint32_t kBlockHeaderDefinitions = 33;
inline constexpr uint32_t kBlockHistory = 35;
// The highest id with a name of its own.
inline constexpr uint32_t kLastBlockType = 42;

// A header no writer of this suite leaves among the counted blocks unless a
// block was discarded empty: {0, 0}, or a type above the last. A walk that
// met one may have read data as headers.
constexpr bool IsImpossibleHeader(const BlockHeader& header) noexcept {
  return (header.type == kBlockUnused && header.size == 0) || header.type > kLastBlockType;
}

// The name of a block type; ids are compared as unsigned.
std::string GetBlockTypeName(int32_t type);
// The same without a copy, for walkers that name every block.
std::string_view BlockTypeNameView(uint32_t type) noexcept;
