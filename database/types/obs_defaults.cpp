#include "database/types/obs_defaults.h"

#include <cstdint>

#include "database/types/code_table.h"
#include "geodesy/quantity_units.h"
#include "platform/unit_library.h"

namespace {

constexpr int kTypeCount = 114;

constexpr auto kPrecision = MakeCodeTable<float, kTypeCount>(
    1.0f, {
              {0, 0, 0.0f},    {34, 36, 0.0f},  {41, 42, 0.0f},  {53, 53, 0.0f},
              {55, 55, 0.0f},  {72, 72, 0.0f},  {75, 76, 0.0f},  {78, 79, 0.0f},
              {84, 85, 0.0f},  {89, 90, 0.0f},  {96, 96, 0.0f},  {98, 98, 0.0f},
              {112, 112, 0.0f},
              {1, 1, 0.1f},    {8, 9, 0.1f},    {40, 40, 0.1f},  {50, 52, 0.1f},
              {56, 56, 0.1f},  {59, 59, 0.1f},  {62, 62, 0.1f},  {66, 67, 0.1f},
              {73, 74, 0.1f},  {77, 77, 0.1f},  {88, 88, 0.1f},  {92, 94, 0.1f},
              {102, 104, 0.1f}, {108, 109, 0.1f}, {113, 113, 0.1f},
              {10, 13, 0.5f},  {30, 31, 0.5f},  {68, 69, 0.5f},  {95, 95, 0.5f},
              {20, 21, 0.7f},  {33, 33, 0.7f},
              {37, 39, 0.01f}, {58, 58, 0.01f}, {91, 91, 0.01f},
              {46, 49, 0.05f}, {54, 54, 0.05f}, {64, 65, 0.05f}, {71, 71, 0.05f},
              {81, 81, 0.05f}, {83, 83, 0.05f},
              {60, 60, 2.0f},
              {80, 80, 0.001f}, {99, 101, 0.001f}, {105, 107, 0.001f}, {110, 111, 0.001f},
              {82, 82, 0.02f},
          });

constexpr auto kTimeout = MakeCodeTable<float, kTypeCount>(
    10.0f, {
               {0, 0, 0.0f},    {34, 39, 0.0f},  {41, 42, 0.0f},  {50, 50, 0.0f},
               {53, 55, 0.0f},  {57, 58, 0.0f},  {62, 65, 0.0f},  {73, 76, 0.0f},
               {80, 80, 0.0f},  {82, 87, 0.0f},  {89, 90, 0.0f},  {96, 96, 0.0f},
               {98, 98, 0.0f},  {110, 113, 0.0f},
               {1, 1, 5.0f},    {8, 13, 5.0f},   {20, 23, 5.0f},  {30, 32, 5.0f},
               {40, 40, 5.0f},  {49, 49, 5.0f},  {51, 52, 5.0f},  {56, 56, 5.0f},
               {66, 72, 5.0f},  {77, 77, 5.0f},  {81, 81, 5.0f},  {88, 88, 5.0f},
               {91, 95, 5.0f},
               {46, 48, 1.0f},  {99, 109, 1.0f},
               {59, 59, 60.0f}, {78, 79, 60.0f},
           });

constexpr auto kQuantity = MakeCodeTable<int, kTypeCount>(
    -1, {
            {1, 1, 0},     {6, 7, 0},     {20, 21, 0},   {32, 33, 0},   {37, 40, 0},
            {43, 45, 0},   {48, 48, 0},   {50, 52, 0},   {54, 54, 0},   {59, 60, 0},
            {62, 62, 0},   {64, 66, 0},   {68, 69, 0},   {71, 71, 0},   {73, 74, 0},
            {88, 88, 0},   {97, 97, 0},
            {8, 13, 3},    {30, 31, 3},   {46, 47, 3},   {49, 49, 3},   {57, 57, 3},
            {92, 94, 3},
            {3, 5, 8},     {34, 34, 8},   {36, 36, 8},   {58, 58, 8},
            {2, 2, 10},    {22, 22, 10},
            {23, 23, 11},
            {70, 70, 12},
            {82, 82, 13},
            {86, 86, 14},
            {87, 87, 15},
            {95, 95, 18},  {105, 107, 18},
            {56, 56, 20},  {67, 67, 20},  {77, 77, 20},  {81, 81, 20},  {83, 83, 20},
            {102, 104, 20}, {108, 109, 20}, {113, 113, 20},
            {61, 61, 26},  {80, 80, 26},
            {91, 91, 27},
            {99, 101, 31},
        });

// Sound velocity in metres per second assumed when none is given.
constexpr double kDefaultSoundVelocity = 1485.0;

// p * factor(base) / factor(quantity), each factor and each step in single
// precision; p unchanged when the divisor is 0.
float Rescale(float p, int base, int quantity) {
  const float from = static_cast<float>(GetQuantityFactor(static_cast<uint32_t>(base)));
  const float to = static_cast<float>(GetQuantityFactor(static_cast<uint32_t>(quantity)));
  if (to == 0.0f) return p;
  const float scaled = p * from;
  return scaled / to;
}

}  // namespace

float GetDefaultObsPrecision(int type) {
  if (type == -1) return 999.0f;
  return kPrecision.Get(type);
}

float GetDefaultObsPrecisionInUnits(int type, int quantity, double soundVelocity) {
  const float p = GetDefaultObsPrecision(type);
  switch (quantity) {
    case 1: case 19: case 20: case 21: case 22: case 23: case 24: case 25: case 31:
      return Rescale(p, 0, quantity);
    case 4: case 5: case 6: case 7: case 12: case 17: case 18:
      return Rescale(p, 3, quantity);
    case 28: case 29: case 30:
      return Rescale(p, 27, quantity);
    case 8:
    case 9: {
      if (type != 1) return p;
      const double c =
          soundVelocity == 0.0 ? kDefaultSoundVelocity : UnitsToMeters(soundVelocity);
      if (c == 0.0) return p;
      const double seconds = p / c;
      return static_cast<float>(quantity == 8 ? seconds : seconds * 1000.0);
    }
    default:
      return p;
  }
}

float GetDefaultObsTimeout(int type) { return kTimeout.Get(type); }

double GetDefaultObsExtrapolation(int /*type*/) { return 0.0; }

int GetObsQuantity(int type) { return kQuantity.Get(type); }
