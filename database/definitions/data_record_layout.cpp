#include "database/definitions/data_record_layout.h"

#include <array>
#include <cstddef>
#include <initializer_list>

#include "database/catalogue/record_type_size.h"
#include "database/definitions/hdr_entry.h"
#include "platform/bytes.h"

namespace {

using zor::platform::GetLE;

struct Ids {
  int32_t first;
  int32_t last;
  constexpr Ids(int32_t id) : first(id), last(id) {}  // NOLINT: a single id reads best bare
};

struct Layout {
  uint32_t head = 0;
  bool variable = false;
};

struct LayoutGroup {
  Layout layout;
  std::initializer_list<Ids> ids;
};

using LayoutTable = std::array<Layout, kLastRecId + 1>;

// An id that two groups claim, or one outside 1..271, stops the compilation.
constexpr LayoutTable BuildLayouts(std::initializer_list<LayoutGroup> groups) {
  LayoutTable table{};
  std::array<bool, kLastRecId + 1> seen{};
  for (const LayoutGroup& group : groups) {
    for (const Ids& ids : group.ids) {
      for (int32_t id = ids.first; id <= ids.last; ++id) {
        if (id < 1 || id > kLastRecId || seen[id]) throw "RecId out of range or claimed twice";
        seen[id] = true;
        table[id] = group.layout;
      }
    }
  }
  return table;
}

constexpr Layout Fixed(uint32_t head) { return {head, false}; }
constexpr Layout Variable(uint32_t head) { return {head, true}; }

constexpr LayoutTable kLayouts = BuildLayouts({
    {Fixed(64), {83, 86, 87, 96}},
    {Fixed(24), {85, 104, 150, 156}},
    {Fixed(40), {94, 117}},
    {Fixed(104), {98}},
    {Fixed(72), {102}},
    {Fixed(256), {115}},
    {Fixed(120), {116}},
    {Fixed(216), {146, 250}},
    {Fixed(48), {152}},
    {Fixed(160), {165}},
    {Fixed(312), {178}},
    {Fixed(152), {211, 227, 242}},
    {Fixed(56), {216}},
    {Fixed(112), {222, 232}},
    {Fixed(96), {252}},
    {Fixed(288), {259}},
    {Fixed(128), {261}},
    {Variable(40), {145, 172, 255}},
    {Variable(136), {148}},
    {Variable(32), {158, 175, 186}},
    {Variable(112), {223, 224}},
    {Variable(320), {235}},
    {Variable(88), {239}},
    {Variable(92), {263}},
});

Layout LayoutOf(int32_t recId) {
  if (recId < 1 || recId > kLastRecId) return {};
  return kLayouts[static_cast<std::size_t>(recId)];
}

// The tail of a variable record in bytes, in 64 bits so that no count
// overflows; -1 when the record does not hold its counts.
int64_t TailSize(int32_t recId, std::span<const uint8_t> r) {
  auto word = [r](std::size_t n, int64_t& out) {
    int32_t w = 0;
    if (!GetLE(r, 4 * uint64_t{n}, w)) return false;
    out = w;
    return true;
  };
  auto half = [r](uint64_t at, int64_t& out) {
    uint16_t h = 0;
    if (!GetLE(r, at, h)) return false;
    out = h;
    return true;
  };
  int64_t a = 0, b = 0;
  switch (recId) {
    case 145: return half(20, a) ? 32 * a : -1;
    case 148: return word(20, a) && word(19, b) ? 4 * (9 * a + b) : -1;
    case 158: return word(6, a) ? a : -1;
    case 172: return half(18, a) ? 24 * a : -1;
    case 175: case 186: case 223: case 224: case 263: return word(7, a) ? a : -1;
    case 235: case 255: return word(8, a) ? a : -1;
    case 239: return word(20, a) ? a : -1;
    default: return 0;
  }
}

// The first text for a key below 1, the second otherwise.
const char* Pair(int32_t key, const char* below1, const char* otherwise) {
  return key < 1 ? below1 : otherwise;
}

const char* VariantText(int32_t recId, int32_t key) {
  switch (recId) {
    case 65: return key == 60 ? "E8800" : "E52nn";
    case 207: return Pair(key, "Initial", "Current");
    case 219: return Pair(key, "E14n0", "E1475");
    case 220: return Pair(key, "E8500", "E8575");
    case 221: return Pair(key, "E9101", "E9175");
    case 226: return Pair(key, "E17n0", "E1775");
    case 238: return Pair(key, "E9000", "E9001");
    case 240:
    case 243: return "E9001";
    case 242: return Pair(key, "Old", "Current");
    case 244: return Pair(key, "Initial", "Suffix");
    case 245: return key < 0 ? "Initial" : "Suffix";
    case 254: return Pair(key, "E8601", "E8602");
    case 257:
    case 265: return Pair(key, "Q9004 E9001", "Q9005 E9001");
    case 258: return key >= 1 ? "E6282" : key == 0 ? "E62nn" : "E620n";
    case 260: return Pair(key, "E16n0", "E1682");
    case 262: return "E9900";
    case 264: return "Initial";
    default: return nullptr;
  }
}

}  // namespace

int32_t GetDataRecId(int32_t headerRecId, int32_t key) noexcept {
  switch (headerRecId) {
    case 34: case 183: case 190: return 85;
    case 40: case 196: case 218: return 87;
    case 65: return key == 60 ? 152 : 94;  // observation type 60 "Manual Layback"
    case 73: return 98;
    case 125: return 83;
    case 126: return 104;
    case 128: return 86;
    case 129: return 96;
    case 131: return 115;
    case 132: return 116;
    case 133: return 117;
    case 134: return 102;
    case 143: return 146;
    case 144: case 191: return 145;
    case 147: return 148;
    case 149: return 150;
    case 151: return 232;
    case 155: return 156;
    case 157: return 158;
    case 170: case 192: return 172;
    case 173: return 175;
    case 177: return 178;
    case 185: return 186;
    case 205: return 165;
    case 207: return 211;
    case 215: return 216;
    case 219: return key < 1 ? 85 : 222;
    case 220: return key < 1 ? 145 : 223;
    case 221: return key < 1 ? 172 : 224;
    case 226: return key < 1 ? 87 : 227;
    case 234: return 235;
    case 238: return key < 1 ? 158 : 239;
    case 240: case 243: case 257: case 265: return 239;
    case 241: return 242;
    case 249: return 250;
    case 251: return 252;
    case 254: return key < 1 ? 178 : 255;
    case 258: return key >= 1 ? 259 : key == 0 ? 165 : 98;
    case 260: return key < 1 ? 86 : 261;
    case 262: return 263;
    default: return 0;
  }
}

int32_t GetEntryDataRecId(const sHdrEntry& entry) noexcept {
  const int32_t recId = static_cast<int32_t>(entry.recId);
  int32_t key = 0;
  switch (recId) {
    case 65: case 68: case 219: case 220: case 221: case 226: case 238: case 240: case 243:
    case 254: case 257: case 258: case 260: case 262: case 265:
      entry.GetWord(0, key);
      break;
    default:
      break;
  }
  return GetDataRecId(recId, key);
}

void GetDataRecordLayout(int32_t dataRecId, uint32_t& headSize, bool& variable) noexcept {
  const Layout layout = LayoutOf(dataRecId);
  headSize = layout.head;
  variable = layout.variable;
}

uint32_t GetDataRecordHeadSize(int32_t dataRecId) noexcept { return LayoutOf(dataRecId).head; }

uint32_t GetDataRecordSize(int32_t dataRecId, std::span<const uint8_t> record) noexcept {
  const Layout layout = LayoutOf(dataRecId);
  if (!layout.variable || record.empty()) return layout.head;
  const int64_t tail = TailSize(dataRecId, record);
  if (tail < 0) return 0;
  const int64_t total = int64_t{layout.head} + tail;
  if (total > int64_t{UINT32_MAX}) return 0;
  return static_cast<uint32_t>(total);
}

std::string GetDataRecordVariantText(int32_t headerRecId, int32_t key, int32_t mode) {
  const char* text = VariantText(headerRecId, key);
  if (text == nullptr) return std::to_string(key);
  if (mode == 1) return std::to_string(key) + " (" + text + ")";
  if (mode == -1) return std::string(text) + " (" + std::to_string(key) + ")";
  return text;
}
