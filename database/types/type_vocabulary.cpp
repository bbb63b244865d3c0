#include "database/types/type_vocabulary.h"

#include <array>
#include <cstddef>
#include <string>

#include "database/types/code_table.h"

namespace {

constexpr const char* kUndefined = "Undefined";

// Entry `code` of a table, or null for a code outside it.
template <typename T, std::size_t N>
constexpr const T* At(const std::array<T, N>& table, int code) {
  if (code < 0 || static_cast<std::size_t>(code) >= N) return nullptr;
  return &table[static_cast<std::size_t>(code)];
}

constexpr std::array<const char*, 47> kSystemTypeTexts = {
    nullptr,
    "Singlebeam Echosounder",
    "USBL System",
    "Pitch Roll Heave Sensor",
    "Streamer Compass",
    "Gyro Compass",
    "Auxiliary Seismic Channel",
    "Streamer Depth Sensor",
    "Gun Array Depth Sensor",
    "Gun Array Pressure Sensor",
    "Surface Navigation System",
    "Satellite Navigation System",
    "Position Navigation System",
    "Differential Corrections System",
    "External Header System",
    "Output System",
    "Offset System",
    "Closure Output System",
    "Time Synchronization System",
    "P5/94 Generator",
    "Multibeam Echosounder",
    "Gun Controller",
    "Tide Gauge",
    "Miscellaneous System",
    "Layback System",
    "Sidescan Sonar (old)",
    "Multi-Transducer Echosounder",
    "Sidescan Sonar",
    "Eventing System",
    "Dredging System",
    "Speed Log",
    "Underwater Sensor",
    "AIS System",
    "ARPA System",
    "Sound Velocity Profile System",
    "Magnetometer",
    "Dredging Sensor",
    "Bundle Gyro Compass",
    "Bundle Depth Sensor",
    "Bundle Auxiliary Sensor",
    "Rotation Angle Sensor",
    "Computed Attitude",
    "Acceleration Velocity Sensor",
    "PPS Pulse System",
    "Sub Bottom Profiling",
    "Acoustic Doppler Current Profiler",
    "Computed Height",
};

constexpr std::array<const char*, 6> kNodeTypeTexts = {
    "Undefined",        "DCS Station",   "Fixed Node",
    "Constrained Node", "Variable Node", "Satellite Vehicle",
};

// Codes 14-19 and 24-29 have no text of their own.
constexpr std::array<const char*, 114> kObsTypeTexts = {
    "Undefined",                            // 0
    "Range",
    "Hyperbolic (Phase Difference)",
    "Hyperbolic (Time Difference)",
    "Pseudo-Range (Common Clock Bias)",
    "Pseudo-Range (Clock Bias per Range)",  // 5
    "Differential Observation",
    "Composite Observation",
    "Angle",
    "Direction",
    "Bearing (Magnetic)",                   // 10
    "Bearing (True)",
    "Differential Bearing (True)",
    "Bearing (Grid)",
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 14-19
    "GPS Pseudo-Range",                     // 20
    "GPS Code Phase",
    "GPS Carrier Phase",
    "GPS Doppler Frequency",
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 24-29
    "Latitude",                             // 30
    "Longitude",
    "Height",
    "Differential Correction",
    "Fix Number",
    "Ephemerides",                          // 35
    "Cycle Time",
    "Offset (X)",
    "Offset (Y)",
    "Offset (Z)",
    "Height Aiding",                        // 40
    "Ionospheric Data",
    "Meteo Data",
    "USBL (dX)",
    "USBL (dY)",
    "USBL (dZ)",                            // 45
    "Pitch",
    "Roll",
    "Heave",
    "Vertical Angle",
    "Singlebeam",                           // 50
    "ROV Depth",
    "ROV Altitude",
    "P5/94 Code",
    "Multibeam",
    "Gun Control",                          // 55
    "Speed",
    "Course",
    "Heartbeat Time",
    "Tide",
    "Manual Layback",                       // 60
    "Generic",
    "Sidescan Old",
    "Raw Data",
    "Multibeam (dX)",
    "Multibeam (dZ)",                       // 65
    "Delta Position",
    "Position Speed",
    "Easting",
    "Northing",
    "Revolution",                           // 70
    "Squat",
    "Froude",
    "Multi-Transducer",
    "Sidescan",
    "Generic Event",                        // 75
    "Dredging",
    "Vertical Speed",
    "AIS Target",
    "ARPA Target",
    "Magnetic Field",                       // 80
    "Sound Velocity",
    "Density",
    "Mixture Velocity",
    "Status",
    "Flag",                                 // 85
    "Weight",
    "Volume",
    "Draft",
    "Device Control",
    "Echosounder Raw Samples",              // 90
    "Pressure",
    "Rotation (X)",
    "Rotation (Y)",
    "Rotation (Z)",
    "Rate-of-Turn",                         // 95
    "Water Column Data",
    "Layback",
    "Multibeam Snippets",
    "Acceleration (X)",
    "Acceleration (Y)",                     // 100
    "Acceleration (Z)",
    "Velocity (X)",
    "Velocity (Y)",
    "Velocity (Z)",
    "Rate-of-Turn (X)",                     // 105
    "Rate-of-Turn (Y)",
    "Rate-of-Turn (Z)",
    "Easting Speed",
    "Northing Speed",
    "PPS Timetag",                          // 110
    "PPS Pulse",
    "SBP Data",
    "ADCP Speed",
};

// A table that lost an entry would shift every text after it.
static_assert(kSystemTypeTexts[46] != nullptr && kObsTypeTexts[113] != nullptr &&
              kObsTypeTexts[30] != nullptr && kObsTypeTexts[29] == nullptr);

constexpr auto kObsTypeIcons = MakeCodeTable<int, 114>(
    0, {
           {1, 1, 1},    {2, 3, 2},    {4, 5, 3},    {6, 6, 4},    {7, 7, 5},    {8, 8, 6},
           {9, 9, 7},    {10, 13, 8},  {57, 57, 8},  {20, 23, 9},  {49, 49, 10}, {33, 33, 11},
           {30, 30, 12}, {31, 31, 13}, {32, 32, 14}, {37, 37, 15}, {38, 38, 16}, {39, 39, 17},
           {40, 40, 18}, {48, 48, 18}, {46, 46, 19}, {92, 92, 19}, {47, 47, 20}, {93, 93, 20},
           {94, 94, 21}, {43, 43, 22}, {44, 44, 23}, {45, 45, 24}, {50, 50, 25}, {52, 52, 26},
           {51, 51, 27}, {53, 53, 28}, {75, 75, 28}, {34, 34, 29}, {55, 55, 30}, {59, 59, 31},
           {58, 58, 32}, {56, 56, 33}, {60, 60, 34}, {61, 61, 35}, {54, 54, 36}, {62, 62, 37},
           {64, 64, 38}, {65, 65, 39}, {66, 67, 40}, {68, 68, 41}, {69, 69, 42}, {95, 95, 43},
           {70, 70, 44}, {71, 71, 45}, {72, 72, 46}, {73, 73, 47}, {74, 74, 48}, {98, 98, 48},
           {77, 77, 49}, {78, 78, 50}, {79, 79, 51}, {36, 36, 52}, {80, 80, 53}, {81, 81, 54},
           {82, 82, 55}, {83, 83, 56}, {84, 84, 57}, {85, 85, 58}, {76, 76, 59}, {86, 86, 60},
           {87, 87, 61}, {88, 88, 62}, {63, 63, 63}, {90, 90, 63}, {91, 91, 64}, {96, 96, 65},
           {97, 97, 66},
           // Types 99..113 take the icons 67..81 in order.
           {99, 99, 67},   {100, 100, 68}, {101, 101, 69}, {102, 102, 70}, {103, 103, 71},
           {104, 104, 72}, {105, 105, 73}, {106, 106, 74}, {107, 107, 75}, {108, 108, 76},
           {109, 109, 77}, {110, 110, 78}, {111, 111, 79}, {112, 112, 80}, {113, 113, 81},
       });

}  // namespace

std::string ObjectTypeText(int code) {
  switch (code) {
    case 0: return "Vessel";
    case 1: return "Streamer";
    case 2: return "Gun Array";
    case 3: return "Towed Object";
    case 10: return "Survey Vessel";
    case 11: return "ROV, AUV, Towhead";
    case 12: return "Dredging Tool";
    case 13: return "Pipe Bundle";
    case 14: return "Towed Fish";
    case 15: return "Link Tool";
    case 20: return "Benchmark";
    case 21: return "Anchor";
    case 101: return "Earth";
    case 102: return "Space";
    default: return kUndefined;
  }
}

std::string SystemTypeText(int code) {
  const char* const* text = At(kSystemTypeTexts, code);
  return text && *text ? *text : kUndefined;
}

std::string NodeTypeText(int code) {
  const char* const* text = At(kNodeTypeTexts, code);
  return text ? *text : kUndefined;
}

std::string ObservationTypeText(int code, bool combined, int systemType) {
  if (code == 52 && systemType == 36) return "Hopper Level";
  if (combined) {
    switch (code) {
      case 30: case 31: case 32: case 68: case 69: return "Position";
      case 37: case 38: case 39: return "Offset (X, Y, Z)";
      case 43: case 44: case 45: return "USBL (dX, dY, dZ)";
      case 46: case 47: case 48: return "Pitch, Roll and Heave";
      case 92: case 93: case 94: return "Rotation (X, Y, Z)";
      default: break;
    }
  }
  const char* const* text = At(kObsTypeTexts, code);
  return text && *text ? *text : kUndefined;
}

int GetObsTypeIcon(int code) { return kObsTypeIcons.Get(code); }

int GetNodeTypeIcon(int code, bool a, bool b) {
  switch (code) {
    case 1: return 3;
    case 2: return b ? 6 : 1;
    case 3:
    case 4: return a ? 5 : 2;
    case 5: return 4;
    default: return 0;
  }
}

int GetObjectTypeIcon(int code, int flag) {
  switch (code) {
    case 0:
    case 10: return flag == 1 ? 7 : 3;
    case 1: return 4;
    case 2: return 5;
    case 3: return 6;
    case 11: return 10;
    case 12: return 8;
    case 13: return 11;
    case 14: return 9;
    case 15: return 14;
    case 20: return 12;
    case 21: return 13;
    case 101: return 1;
    case 102: return 2;
    default: return 0;
  }
}

int GetSystemTypeIcon(int code) { return code; }
