#include "database/catalogue/record_catalogue.h"

#include <array>
#include <cstddef>
#include <initializer_list>

#include "platform/bytes.h"

namespace {

using zor::platform::GetLE;
using zor::platform::GetText;

struct TypeText {
  int32_t recId;
  const char* code;
  const char* name;
};

// Every row names its RecId, so that a row out of place stops the
// compilation instead of shifting every later text by one.
constexpr std::array<TypeText, kLastRecId + 1> kTypeTexts = {{
    {0, "undef", "Undefined"},
    {1, "iHxxxx", "Line Name"},
    {2, "iH0001", "Project Name"},
    {3, "iH0002", "Project Data"},
    {4, "iH0003", "Media Format"},
    {5, "iH0004", "Client"},
    {6, "iH0005", "Contractor"},
    {7, "iH0006", "Contractor"},
    {8, "iH0007", "Contractor"},
    {9, "iH00n8", "Line Data"},
    {10, "iH00n9", "Waypoint Data"},
    {11, "iH0100", "Magnetic Variation"},
    {12, "iH0101", "Magnetic Variation"},
    {13, "iH011n", "Datum Ellipsoid"},
    {14, "iHx12x", "Datum Shift"},
    {15, "iH0130", "Datum Shift"},
    {16, "iH0140", "Projection"},
    {17, "iH0150", "Transverse Mercator"},
    {18, "iH0160", "Mercator"},
    {19, "iH0170", "Lambert"},
    {20, "iH0180", "Oblique Mercator"},
    {21, "iH0181", "Tangent Plane"},
    {22, "iH0190", "Stereographic"},
    {23, "iH0199", "Projection"},
    {24, "iH0200", "Summary"},
    {25, "iH021x", "Object"},
    {26, "iH022x", "Streamer"},
    {27, "iH023x", "Gun Array"},
    {28, "iH024x", "Towed Buoy"},
    {29, "iH10xx", "Reference Point"},
    {30, "iH11n0", "Steered Point"},
    {31, "iH12n0", "Navigation"},
    {32, "iH12n1", "Quality"},
    {33, "iH13n0", "Vessel Time"},
    {34, "iH14xx", "Singlebeam"},
    {35, "iH15x0", "Sound Velocity"},
    {36, "iH15x1", "Sound Velocity"},
    {37, "iH16x0", "USBL System"},
    {38, "iH16x1", "USBL System"},
    {39, "iH16n2", "USBL System"},
    {40, "iH17xx", "PRH Sensor"},
    {41, "iH17x1", "PRH Sensor"},
    {42, "iH21n0", "Streamer Geometry"},
    {43, "iH21n1", "Streamer Geometry"},
    {44, "iH21n2", "Streamer Compass"},
    {45, "iH21n3", "Streamer Depth"},
    {46, "iH22n0", "Compass Location"},
    {47, "iH2300", "Compass Correction"},
    {48, "iH23n0", "Compass Correction"},
    {49, "iH2301", "Compass Correction"},
    {50, "iH23n1", "Compass Correction"},
    {51, "iH24n0", "Seismic Receiver"},
    {52, "iH24n1", "Auxiliary Channel"},
    {53, "iH25n0", "Streamer Depth"},
    {54, "iH31n0", "Gun Array Geometry"},
    {55, "iH31n1", "Gun Definition"},
    {56, "iH32n0", "Gun Array Depth"},
    {57, "iH32n1", "Gun Array Depth"},
    {58, "iH32n2", "Gun Array Depth"},
    {59, "iH33n0", "Gun Firing Sequence"},
    {60, "iH34n0", "Gun Array Pressure"},
    {61, "iH34n1", "Gun Array Pressure"},
    {62, "iH41n0", "Towed Buoy"},
    {63, "iH5066", "Fixed Node"},
    {64, "iH5166", "Variable Node"},
    {65, "iH52nn", "Observation"},
    {66, "iH5306", "Observation"},
    {67, "iH5307", "Composite Range"},
    {68, "iH54nn", "Observation"},
    {69, "iH5500", "Quality"},
    {70, "iH56n0", "Corrections"},
    {71, "iH600n", "GNSS System"},
    {72, "iH610n", "DGPS Station"},
    {73, "iH620n", "GNSS Position"},
    {74, "iH6300", "GNSS Strategy"},
    {75, "iH6301", "DGPS Strategy"},
    {76, "iH65nx", "GNSS Data"},
    {77, "iH66nn", "DGPS Source"},
    {78, "iH67n0", "GNSS Height"},
    {79, "iH7000", "User Defined"},
    {80, "iH7010", "User Defined"},
    {81, "iH7020", "User Defined"},
    {82, "iH7021", "User Defined"},
    {83, "iE1xxx", "Fix"},
    {84, "iE12n0", "Navigation"},
    {85, "iE14n0", "Singlebeam"},
    {86, "iE16n0", "USBL"},
    {87, "iE17n0", "PRH Sensor"},
    {88, "iE22n0", "Compass Data"},
    {89, "iE24n1", "Auxiliary Data"},
    {90, "iE25n0", "Streamer Data"},
    {91, "iE32n0", "Gun Array Depth"},
    {92, "iE33n0", "Gun Firing Sequence"},
    {93, "iE34n0", "Gun Array Pressure"},
    {94, "iE52nn", "Observation"},
    {95, "iE54nn", "Observation"},
    {96, "iE55nn", "Quality"},
    {97, "iE55nn", "Corrections"},
    {98, "iE620n", "GNSS Position"},
    {99, "iE621n", "GNSS Position"},
    {100, "iE6303", "GNSS Data"},
    {101, "iE640n", "GNSS Data"},
    {102, "iE65nn", "DGPS Source"},
    {103, "iE7010", "User Defined"},
    {104, "iT1001", "Cycle"},
    {105, "iT14n0", "Singlebeam"},
    {106, "iT16n0", "USBL"},
    {107, "iT17n0", "PRH Sensor"},
    {108, "iT52nn", "Observation"},
    {109, "iT54nn", "Observation"},
    {110, "iT55nn", "Quality"},
    {111, "iT56nn", "Corrections"},
    {112, "iT620n", "GNSS Position"},
    {113, "iT621n", "GNSS Position"},
    {114, "iT6303", "GNSS Data"},
    {115, "iT631x", "GNSS Ephemeris"},
    {116, "iT632x", "GNSS UTC Iono"},
    {117, "iT6330", "GNSS Meteo"},
    {118, "iT640n", "GNSS Data"},
    {119, "iT65nn", "DGPS Source"},
    {120, "iT67n0", "GNSS Height"},
    {121, "iT7010", "User Defined"},
    {122, "iC0001", "Comment"},
    {123, "iC0002", "Comment"},
    {124, "iC0003", "Comment"},
    {125, "iQ1xxx", "Fix"},
    {126, "iQ1001", "Cycle"},
    {127, "iQ12n0", "Navigation"},
    {128, "iQ16n0", "USBL"},
    {129, "iQ55nn", "Quality"},
    {130, "iQ621n", "GNSS Position"},
    {131, "iQ631x", "GNSS Ephemeris"},
    {132, "iQ632x", "GNSS UTC Iono"},
    {133, "iQ6330", "GNSS Meteo"},
    {134, "iQ65nn", "DGPS Source"},
    {135, "iQ0001", "Survey Comment"},
    {136, "iQ0002", "Line Comment"},
    {137, "iQ0003", "Event Comment"},
    {138, "iH8000", "Closure"},
    {139, "iH0020", "UTC to GPS"},
    {140, "iH8100", "Corrections"},
    {141, "iH81n0", "Corrections"},
    {142, "iQ5066", "Fixed Node"},
    {143, "iQ8600", "P5/94"},
    {144, "iH85x0", "Multibeam"},
    {145, "iE8500", "Multibeam"},
    {146, "iE8600", "P5/94"},
    {147, "iQ8700", "Gun Controller"},
    {148, "iE8700", "Gun Controller"},
    {149, "iQ1002", "Heartbeat"},
    {150, "iT1002", "Heartbeat"},
    {151, "iQ1003", "Version"},
    {152, "iE8800", "Manual Layback"},
    {153, "iH0021", "Survey Unit"},
    {154, "iH17x2", "PRH Sensor"},
    {155, "iQ8900", "Side Scan Sonar"},
    {156, "iE8900", "Side Scan Sonar"},
    {157, "iQ9000", "Raw Data"},
    {158, "iE9000", "Raw Data"},
    {159, "iQ1004", "Last ID"},
    {160, "iQ1466", "Chart Datum"},
    {161, "iQ1005", "Last ID"},
    {162, "iQ10x1", "Squat Model"},
    {163, "iQ10x2", "Squat Model"},
    {164, "iH6266", "GNSS Position"},
    {165, "iE62nn", "GNSS Position"},
    {166, "iH021n", "Object"},
    {167, "iH022n", "Streamer"},
    {168, "iH023n", "Gun Array"},
    {169, "iH024n", "Towed Buoy"},
    {170, "iH91x1", "Multitransducer"},
    {171, "iH9102", "Multitransducer"},
    {172, "iE9101", "Multitransducer"},
    {173, "iH9201", "Side Scan Sonar"},
    {174, "iH920n", "Side Scan Sonar"},
    {175, "iE9201", "Side Scan Sonar"},
    {176, "iH0000", "Line Name"},
    {177, "iQ8601", "Eventing OLD"},
    {178, "iE8601", "Eventing OLD"},
    {179, "iQ1470", "Chart Datum"},
    {180, "iH5070", "Fixed Node"},
    {181, "iH6270", "GNSS Position"},
    {182, "iH10x0", "Reference Point"},
    {183, "iH14nn", "Singlebeam"},
    {184, "iQ1471", "Chart Datum"},
    {185, "iQ9300", "Target"},
    {186, "iE9300", "Target"},
    {187, "iQ9400", "SVP"},
    {188, "iQ0120", "Datum Shift"},
    {189, "iH8200", "Output"},
    {190, "iH14nx", "Singlebeam"},
    {191, "iH8500", "Multibeam"},
    {192, "iH9101", "Multitransducer"},
    {193, "iH1500", "Sound Velocity"},
    {194, "iH1501", "Sound Velocity"},
    {195, "iH16n1", "USBL System"},
    {196, "iH17x0", "PRH Sensor"},
    {197, "iH10n0", "Reference Point"},
    {198, "iQ1472", "Chart Datum"},
    {199, "iH6272", "GNSS Position"},
    {200, "iH65nn", "DGPS Source"},
    {201, "iH51n0", "Variable Node"},
    {202, "iH16n0", "USBL System"},
    {203, "iQ1474", "Chart Datum"},
    {204, "iH5000", "Fixed Node"},
    {205, "iH62nn", "GNSS Position"},
    {206, "iH0120", "Datum Shift"},
    {207, "iH9500", "Dredging"},
    {208, "iH9510", "Dredging"},
    {209, "iH9511", "Dredging"},
    {210, "iH951n", "Dredging"},
    {211, "iE9500", "Dredging"},
    {212, "iH9600", "Trigger"},
    {213, "iQ10n1", "Squat Model"},
    {214, "iQ10n2", "Squat Model"},
    {215, "iQ1000", "Fix"},
    {216, "iE1000", "Fix"},
    {217, "iH9501", "Dredging"},
    {218, "iH17n0", "PRH Sensor"},
    {219, "iH1475", "Singlebeam"},
    {220, "iH8575", "Multibeam"},
    {221, "iH9175", "Multitransducer"},
    {222, "iE1475", "Singlebeam"},
    {223, "iE8575", "Multibeam"},
    {224, "iE9175", "Multitransducer"},
    {225, "iH9512", "Dredging"},
    {226, "iH1775", "PRH Sensor"},
    {227, "iE1775", "PRH Sensor"},
    {228, "iQ0140", "Chart Datum"},
    {229, "iH025n", "Pipe Bundle"},
    {230, "iH4200", "Node Link"},
    {231, "iH9700", "Control"},
    {232, "iT1003", "Event"},
    {233, "iH0010", "Meta Data"},
    {234, "iH9800", "Raw Data"},
    {235, "iE9800", "Raw Data"},
    {236, "iH0141", "Local Grid"},
    {237, "iH0191", "Rectangular"},
    {238, "iQ9001", "Raw Data"},
    {239, "iE9001", "Raw Data"},
    {240, "iQ9002", "Water Column"},
    {241, "iQ1006", "PPS"},
    {242, "iE1006", "PPS"},
    {243, "iQ9003", "Snippets"},
    {244, "iH5900", "Simplified ATT"},
    {245, "iH59nn", "Full Harmonics ATT"},
    {246, "iH0121", "Datum Epoch"},
    {247, "iQ0121", "Datum Epoch"},
    {248, "iH8400", "Multibeam"},
    {249, "iQ1007", "PPS Timetag"},
    {250, "iE1007", "PPS Timetag"},
    {251, "iQ1008", "PPS Pulse"},
    {252, "iE1008", "PPS Pulse"},
    {253, "iH9103", "Bending Model"},
    {254, "iQ8602", "Eventing"},
    {255, "iE8602", "Eventing"},
    {256, "iQ0300", "Driver Setting"},
    {257, "iQ9004", "Sub Bottom Profiling"},
    {258, "iH6282", "GNSS Position"},
    {259, "iE6282", "GNSS Position"},
    {260, "iQ1682", "USBL"},
    {261, "iE1682", "USBL"},
    {262, "iH9900", "ADCP"},
    {263, "iE9900", "ADCP"},
    {264, "iH9520", "Dumping"},
    {265, "iQ9005", "Sub Bottom Profiling"},
    {266, "iQ9005n", "Sub Bottom Profiling"},
    {267, "iH021m", "Object"},
    {268, "iH021s", "Shape"},
    {269, "iH0400", "BLOB"},
    {270, "iH0401", "BLOB"},
    {271, "iQ1009", "Last ID"},
}};

constexpr bool RowsInPlace() {
  for (std::size_t i = 0; i < kTypeTexts.size(); ++i) {
    if (kTypeTexts[i].recId != static_cast<int32_t>(i)) return false;
  }
  return true;
}
static_assert(RowsInPlace(), "a RecId text row is out of place");

// A RecId or an inclusive range of RecIds.
struct Ids {
  int32_t first;
  int32_t last;
  constexpr Ids(int32_t id) : first(id), last(id) {}  // NOLINT: a single id reads best bare
  constexpr Ids(int32_t a, int32_t b) : first(a), last(b) {}
};

// Which payload word each key is; kNoKey for none. secondPlusOne marks RecId
// 204, whose second key is its word 8 plus 1.
constexpr int8_t kNoKey = -1;

struct KeyWords {
  int8_t word[3] = {kNoKey, kNoKey, kNoKey};
  bool secondPlusOne = false;
};

struct KeyGroup {
  KeyWords keys;
  std::initializer_list<Ids> ids;
};

using KeyTable = std::array<KeyWords, kLastRecId + 1>;

// An id that two groups claim, or one outside 1..271, stops the compilation.
constexpr KeyTable BuildKeys(std::initializer_list<KeyGroup> groups) {
  KeyTable table{};
  std::array<bool, kLastRecId + 1> seen{};
  for (const KeyGroup& group : groups) {
    for (const Ids& ids : group.ids) {
      for (int32_t id = ids.first; id <= ids.last; ++id) {
        if (id < 1 || id > kLastRecId || seen[id]) throw "RecId out of range or claimed twice";
        seen[id] = true;
        table[id] = group.keys;
      }
    }
  }
  return table;
}

constexpr KeyWords K(int8_t a, int8_t b = kNoKey, int8_t c = kNoKey) { return {{a, b, c}, false}; }

constexpr KeyTable kKeys = BuildKeys({
    {K(0), {12, 13, {30, 33}, 66, 67, 69, 72, 126, 138, 143, 147, 155, 157, 173, 177, 185, 187,
            189, 193, 194, 197, 207, 213, 214, 229, 256, 268}},
    {K(0, 1), {39, {54, 61}, 127, 129, 188, 195, 202, 206, 230, 246, 247, 248}},
    {K(1), {68, 77, 131, 171, 201, {208, 210}, 212, 220, 221, 225, 231, 238, 240, 243, 249, 251,
            253, 254, 257, 262, 264, 265}},
    {K(1, 2), {70, 174, 219, 226, 234, 241, 266}},
    {K(1, 11), {65}},
    {K(0, 4), {71}},
    {K(0, 1, 2), {73, 128, 205}},
    {K(2, 3), {78}},
    {K(0, 2), {134}},
    {K(10), {{166, 169}, 267}},
    {K(1, 5), {200}},
    {KeyWords{{0, 8, kNoKey}, true}, {204}},
    {K(2), {217, 228}},
    {K(4, 2), {244, 245}},
    {K(2, 3, 4), {258}},
    {K(1, 2, 3), {260}},
});

// Where a header record keeps its name, and the width of its field where
// the layout fixes one (0: the name may run to the payload's end).
constexpr uint16_t kNoTitle = 0xFFFF;

struct TitleField {
  uint16_t at = kNoTitle;
  uint16_t width = 0;
};

struct TitleGroup {
  TitleField field;
  std::initializer_list<Ids> ids;
};

using TitleTable = std::array<TitleField, kLastRecId + 1>;

constexpr TitleTable BuildTitles(std::initializer_list<TitleGroup> groups) {
  TitleTable table{};
  std::array<bool, kLastRecId + 1> seen{};
  for (const TitleGroup& group : groups) {
    for (const Ids& ids : group.ids) {
      for (int32_t id = ids.first; id <= ids.last; ++id) {
        if (id < 1 || id > kLastRecId || seen[id]) throw "RecId out of range or claimed twice";
        seen[id] = true;
        table[id] = group.field;
      }
    }
  }
  return table;
}

constexpr TitleTable kTitles = BuildTitles({
    {{8, 0}, {39, 58, 65, 72}},
    {{8, 9}, {200}},
    {{8, 17}, {201}},
    {{12, 0}, {56, 66}},
    {{12, 11}, {128}},
    {{4, 0}, {69}},
    {{4, 17}, {204}},
    {{39, 0}, {71}},
    {{28, 0}, {73}},
    {{27, 0}, {77}},
    {{100, 29}, {193}},
    {{616, 37}, {205}},
    {{32, 32}, {219}},
    {{16, 0}, {220}},
    {{16, 11}, {260}},
    {{20, 0}, {221, 244, 245}},
    {{72, 22}, {226}},
    {{632, 37}, {258}},
});

const char* FixedTitle(int32_t recId) {
  switch (recId) {
    case 126: return "--- Cycle Record";
    case 149: return "--- Heartbeat";
    case 151: return "--- Version Info";
    case 159: return "--- Last Used ID's";
    case 161: return "--- Last Used ID's (extension)";
    case 195:
    case 202: return "-";
    case 215: return "--- Fix Info";
    case 241: return "--- PPS";
    case 271: return "--- Last Used ID's (extension 2)";
    default: return nullptr;
  }
}

}  // namespace

std::string_view RecordTypeCode(int32_t recId) noexcept {
  if (recId < 0 || recId > kLastRecId) return {};
  return kTypeTexts[static_cast<std::size_t>(recId)].code;
}

std::string_view RecordTypeName(int32_t recId) noexcept {
  if (recId < 0 || recId > kLastRecId) return {};
  return kTypeTexts[static_cast<std::size_t>(recId)].name;
}

std::string RecordTypeText(int32_t recId, int asCode) {
  if (recId < 0 || recId > kLastRecId) return "Unsupported (" + std::to_string(recId) + ")";
  return std::string(asCode != 0 ? RecordTypeCode(recId) : RecordTypeName(recId));
}

bool IsProjectHeaderRecord(int32_t recId) noexcept {
  switch (recId) {
    case 11: case 12: case 13:
    case 15: case 16: case 17: case 18: case 19: case 20: case 21: case 22: case 23:
    case 139: case 153: case 188: case 206: case 228: case 236: case 237: case 246: case 247:
      return true;
    default:
      return false;
  }
}

void GetRecordKeys(int32_t recId, std::span<const uint8_t> payload, int32_t* key1,
                   int32_t* key2, int32_t* key3) {
  KeyWords keys;
  if (IsKnownRecId(recId)) keys = kKeys[static_cast<std::size_t>(recId)];
  int32_t* const out[3] = {key1, key2, key3};
  for (int i = 0; i < 3; ++i) {
    if (out[i] == nullptr) continue;
    int32_t value = -1;
    if (keys.word[i] != kNoKey && GetLE(payload, 4 * uint64_t(keys.word[i]), value) &&
        i == 1 && keys.secondPlusOne) {
      value = static_cast<int32_t>(static_cast<uint32_t>(value) + 1u);  // wraps as stored
    }
    *out[i] = value;
  }
}

std::string RecordTitle(int32_t recId, std::span<const uint8_t> payload) {
  if (!IsKnownRecId(recId)) return RecordTypeText(recId, 1);
  if (const char* fixed = FixedTitle(recId)) return fixed;
  if (recId == 249 || recId == 251) {
    int32_t number = 0;
    if (!GetLE(payload, 4, number)) return RecordTypeText(recId, 1);
    return (recId == 249 ? "PPS timetag " : "PPS pulse ") + std::to_string(number);
  }
  const TitleField field = kTitles[static_cast<std::size_t>(recId)];
  if (field.at == kNoTitle || field.at >= payload.size()) return RecordTypeText(recId, 1);
  return GetText(payload, field.at, field.width != 0 ? field.width : payload.size() - field.at);
}

int32_t GetFirstWordOrZero(std::span<const uint8_t> record) noexcept {
  int32_t word = 0;
  if (!GetLE(record, 0, word) || word == -1) return 0;
  return word;
}
