#include "database/catalogue/record_type_size.h"

#include <array>
#include <cstddef>
#include <initializer_list>

namespace {

// A RecId or an inclusive range of RecIds.
struct Ids {
  int32_t first;
  int32_t last;
  constexpr Ids(int32_t id) : first(id), last(id) {}  // NOLINT: a single id reads best bare
  constexpr Ids(int32_t a, int32_t b) : first(a), last(b) {}
};

struct SizeGroup {
  uint32_t size;
  std::initializer_list<Ids> ids;
};

using SizeTable = std::array<uint32_t, kLastRecId + 1>;

// Builds the table; an id that two groups claim, or one outside 1..271,
// stops the compilation.
constexpr SizeTable Build(std::initializer_list<SizeGroup> groups) {
  SizeTable table{};
  std::array<bool, kLastRecId + 1> seen{};
  for (const SizeGroup& group : groups) {
    for (const Ids& ids : group.ids) {
      for (int32_t id = ids.first; id <= ids.last; ++id) {
        if (id < 1 || id > kLastRecId || seen[id]) throw "RecId out of range or claimed twice";
        seen[id] = true;
        table[id] = group.size;
      }
    }
  }
  for (int32_t id = 1; id <= kLastRecId; ++id) {
    if (!seen[id]) throw "RecId without a size group";
  }
  return table;
}

// Size 0 lists the record types without a fixed size, so that every RecId
// 1..271 is named exactly once.
constexpr SizeTable kSizes = Build({
    {0, {{83, 124}, 145, 146, 148, 150, 152, 156, 158, 165, 172, 175, 178, 186, 211, 216,
         {222, 224}, 227, 232, 235, 239, 242, 250, 252, 255, 259, 261, 263}},
    {1, {{135, 137}}},
    {3, {74}},
    {4, {125, 126, 132, 133, 139, 143, 147, 149, 155, 157, 177, 187, 215}},
    {8, {129, 131, 151}},
    {12, {67, 127, 130, 134, 142, 154, 231, 269}},
    {16, {33, 141, 160}},
    {20, {36, 75, 159, 161}},
    {24, {81, 163, 185, 266}},
    {28, {24, 48, 50, 55, 60}},
    {32, {53, 162, 171, 179, 189, 194, 213, 271}},
    {36, {57, 128}},
    {40, {37, 42, 46, 140, 173, 188, 247}},
    {44, {64}},
    {48, {51, 153, 214, 253}},
    {52, {174, 202}},
    {53, {3, {5, 8}}},
    {56, {1, 4, 10, 18, 38, 54, 62, 184, 201}},
    {60, {2, 43}},
    {64, {12, 17, 68, 210}},
    {72, {13, 14, 21, 22, 34, 66, 73, 164, 195, 198, 241, 248, 260, 264}},
    {75, {47}},
    {76, {56, 69, 79, 82, 267}},
    {80, {9, 16, 23, {29, 32}, 44, 45, 49, 52, 58, 61, 70, 80, 249, 251}},
    {84, {11, 15, 39, 41, 71, 72, 77}},
    {88, {19, 181, 182, 206, 229, 238, 240, 246, 254}},
    {96, {40, 63, 144, 257, 265}},
    {100, {59, 138}},
    {104, {20, 65, 76, 78, 170, 197, 199, 237}},
    {108, {183}},
    {112, {35, 200, 208, 212, 230, 262}},
    {120, {176, 196}},
    {128, {180}},
    {136, {193}},
    {152, {256}},
    {160, {192}},
    {176, {234, 236}},
    {180, {191}},
    {184, {190}},
    {200, {217}},
    {208, {243}},
    {248, {218}},
    {296, {209}},
    {312, {226}},
    {336, {221}},
    {352, {219}},
    {360, {220}},
    {368, {225}},
    {376, {244}},
    {400, {268}},
    {552, {207}},
    {664, {205}},
    {688, {204}},
    {712, {258}},
    {1184, {203}},
    {1192, {228}},
    {1280, {233}},
    {1608, {245}},
    {2060, {270}},
    {2864, {28}},
    {2868, {27}},
    {2872, {26}},
    {2880, {25}},
    {28064, {169}},
    {28068, {168}},
    {28072, {167}},
    {28080, {166}},
});

}  // namespace

uint32_t RecordTypeSize(int32_t recId) noexcept {
  if (recId < 1 || recId > kLastRecId) return 0;
  return kSizes[static_cast<std::size_t>(recId)];
}
