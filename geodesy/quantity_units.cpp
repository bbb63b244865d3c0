#include "geodesy/quantity_units.h"

#include <numbers>

#include "core/math/rounding.h"
#include "platform/unit_library.h"

namespace {

constexpr uint32_t kLastCode = 35;

// How each code finds its factor.
enum class Source {
  kFixed,         // value is the factor
  kLinearUnit,    // value is a linear unit number
  kAngularUnit,   // value is an angular unit number
  kMetresPerSec,  // value is metres per second of one unit
  kDegreesPerSec  // value is degrees per second of one unit
};

struct QuantityInfo {
  QuantityKind kind;
  Source source;
  double value;
  int unit;  // GetQuantityUnit; 0 means the current survey unit
};

constexpr int kNoUnit = 14;

constexpr QuantityInfo kQuantities[kLastCode + 1] = {
    /* 0 */ {QuantityKind::kLength, Source::kLinearUnit, 1, 1},
    /* 1 */ {QuantityKind::kLength, Source::kLinearUnit, 2, 2},
    /* 2 */ {QuantityKind::kOther, Source::kFixed, 1.0, kNoUnit},
    /* 3 */ {QuantityKind::kAngle, Source::kAngularUnit, 1, 1},
    /* 4 */ {QuantityKind::kAngle, Source::kAngularUnit, 2, 2},
    /* 5 */ {QuantityKind::kAngle, Source::kAngularUnit, 4, 4},
    /* 6 */ {QuantityKind::kAngle, Source::kAngularUnit, 5, 5},
    /* 7 */ {QuantityKind::kAngle, Source::kAngularUnit, 6, 6},
    /* 8 */ {QuantityKind::kTime, Source::kFixed, 1.0, kNoUnit},
    /* 9 */ {QuantityKind::kTime, Source::kFixed, 0.001, kNoUnit},
    /* 10 */ {QuantityKind::kOther, Source::kFixed, 1.0, kNoUnit},
    /* 11 */ {QuantityKind::kOther, Source::kFixed, 1.0, kNoUnit},
    /* 12 */ {QuantityKind::kAngle, Source::kDegreesPerSec, 1.0, kNoUnit},
    /* 13 */ {QuantityKind::kSpeed, Source::kMetresPerSec, 1.0, kNoUnit},
    /* 14 */ {QuantityKind::kOther, Source::kFixed, 1.0, kNoUnit},
    /* 15 */ {QuantityKind::kSpeed, Source::kMetresPerSec, 1852.0 / 3600.0, kNoUnit},
    /* 16 */ {QuantityKind::kOther, Source::kFixed, 1.0, kNoUnit},
    /* 17 */ {QuantityKind::kAngle, Source::kDegreesPerSec, 1.0 / 60.0, kNoUnit},
    /* 18 */ {QuantityKind::kAngle, Source::kAngularUnit, 1, 1},
    /* 19 */ {QuantityKind::kLength, Source::kFixed, 1.0, 0},
    /* 20 */ {QuantityKind::kLength, Source::kLinearUnit, 1, 1},
    /* 21 */ {QuantityKind::kLength, Source::kLinearUnit, 2, 2},
    /* 22 */ {QuantityKind::kLength, Source::kLinearUnit, 14, kNoUnit},
    /* 23 */ {QuantityKind::kLength, Source::kLinearUnit, 11, 11},
    /* 24 */ {QuantityKind::kLength, Source::kLinearUnit, 13, 13},
    /* 25 */ {QuantityKind::kLength, Source::kFixed, 1.0, 0},
    /* 26 */ {QuantityKind::kOther, Source::kFixed, 1.0, kNoUnit},
    /* 27 */ {QuantityKind::kPressure, Source::kFixed, 1.0, kNoUnit},
    /* 28 */ {QuantityKind::kPressure, Source::kFixed, 1.01325, kNoUnit},
    /* 29 */ {QuantityKind::kPressure, Source::kFixed, 0.06894757, kNoUnit},
    /* 30 */ {QuantityKind::kPressure, Source::kFixed, 1e-5, kNoUnit},
    /* 31 */ {QuantityKind::kLength, Source::kLinearUnit, 1, 1},
    /* 32 */ {QuantityKind::kSpeed, Source::kMetresPerSec, 1000.0 / 3600.0, kNoUnit},
    /* 33 */ {QuantityKind::kOther, Source::kFixed, 0.01, kNoUnit},
    /* 34 */ {QuantityKind::kOther, Source::kFixed, 1e-6, kNoUnit},
    /* 35 */ {QuantityKind::kOther, Source::kFixed, 1e-9, kNoUnit},
};

// Ratio of the two factors when a conversion applies: both above 0.0 and
// the ratio neither 0.0 nor 1.0.
bool ConversionRatio(uint32_t from, uint32_t to, double* ratio) {
  const double f = GetQuantityFactor(from);
  const double t = GetQuantityFactor(to);
  if (!(f > 0.0 && t > 0.0)) return false;
  *ratio = f / t;
  return *ratio != 0.0 && *ratio != 1.0;
}

}  // namespace

QuantityKind GetQuantityKind(uint32_t code) {
  return code <= kLastCode ? kQuantities[code].kind : QuantityKind::kNone;
}

double GetQuantityFactor(uint32_t code) {
  if (code > kLastCode) return 0.0;
  const QuantityInfo& q = kQuantities[code];
  switch (q.source) {
    case Source::kFixed:
      return q.value;
    case Source::kLinearUnit:
      return MetersToUnits(GetConvToMeters(static_cast<int>(q.value)));
    case Source::kAngularUnit:
      return DegreesToAngUnits(GetConvToDegrees(static_cast<int>(q.value)));
    case Source::kMetresPerSec:
      return MetersToUnits(q.value);
    case Source::kDegreesPerSec:
      return DegreesToAngUnits(q.value);
  }
  return 0.0;
}

double ConvertQuantity(double value, uint32_t from, uint32_t to) {
  if (from == to) return value;
  const double f = GetQuantityFactor(from);
  if (f != 0.0) value *= f;
  const double t = GetQuantityFactor(to);
  if (t != 0.0) value /= t;
  return value;
}

void ConvertTripleUnits(double* values, uint32_t from, uint32_t to, int decimals) {
  if (values == nullptr) return;
  double ratio = 1.0;
  if (ConversionRatio(from, to, &ratio)) {
    for (int i = 0; i < 3; ++i) values[i] *= ratio;
  }
  if (decimals < 0) return;
  for (int i = 0; i < 3; ++i) values[i] = RoundToDecimals(values[i], decimals);
}

void ConvertPositionUnits(double* values, int positionMode, uint32_t from, uint32_t to,
                          int angleKind, int decimals) {
  if (values == nullptr) return;
  if (positionMode != 0) {
    if (from != to) ConvertTripleUnits(values, from, to, decimals);
    return;
  }
  if (angleKind == 5) {
    values[0] *= std::numbers::pi / 180.0;
    values[1] *= std::numbers::pi / 180.0;
  }
  if (from == to) return;
  double ratio = 1.0;
  if (ConversionRatio(from, to, &ratio)) values[2] *= ratio;
  if (decimals >= 0) values[2] = RoundToDecimals(values[2], decimals);
}

int GetQuantityUnit(uint32_t code) {
  if (code > kLastCode) return kNoUnit;
  const int unit = kQuantities[code].unit;
  return unit == 0 ? GetUnitConstant() : unit;
}
