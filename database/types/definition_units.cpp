#include "database/types/definition_units.h"

#include <cstring>

#include "database/catalogue/definition_records.h"
#include "database/types/obs_defaults.h"
#include "geodesy/quantity_units.h"
#include "platform/bytes.h"
#include "platform/unit_library.h"

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

// Offsets are kept in survey units unless a node says otherwise.
constexpr int kSurveyUnitsOffsets = 25;

// Quantity codes as the unit service takes them: a negative code is no
// quantity and finds no factor.
uint32_t Quantity(int code) { return static_cast<uint32_t>(code); }

// The quantity factor of an observation, with a range (type 1) in seconds or
// milliseconds also scaled by its ratio numerator.
double ObsQuantityFactor(const sObsDef& obs) {
  const int unit = obs.word88;
  double f = GetQuantityFactor(Quantity(unit));
  if (obs.type == 1 && (unit == 8 || unit == 9)) f *= obs.ratioB;
  return f;
}

bool IsLengthQuantity(int unit) {
  return unit == 0 || unit == 1 || (unit >= 19 && unit <= 25) || unit == 31;
}

// The f32 values of the node's reserved area, at bytes 112, 116 and 120.
void ScaleReservedFloats(sNodeDef& node, double f) {
  std::span<uint8_t> area(node.reserved);
  for (uint64_t offset = 0; offset < 12; offset += 4) {
    float v = 0.0f;
    if (!zor::platform::GetLE(std::span<const uint8_t>(area), offset, v)) continue;
    zor::platform::SetLE(area, offset, static_cast<float>(v * f));
  }
}

void CopyOffsets(double out[3], const sNodeDef& node) {
  for (int i = 0; i < 3; ++i) out[i] = node.offset[i];
}

bool AllZero(double x, double y, double z) { return x == 0.0 && y == 0.0 && z == 0.0; }

}  // namespace

bool SetObsDefaults(sObsDef* obs, bool fillPrecision) {
  if (!obs) return false;
  const int unit = obs->word88;
  if (fillPrecision && !(obs->value160 > 0.0f))
    obs->value160 = GetDefaultObsPrecisionInUnits(obs->type, unit, 0.0);
  if (obs->scale == 0.0) obs->scale = ObsQuantityFactor(*obs);
  if (obs->word96 == 0) obs->word96 = obs->fromNodeId;
  return true;
}

double GetObsUnitFactor(const sObsDef* obs, bool toSurveyUnits, bool toRadians) {
  if (!obs) return 1.0;
  const int unit = obs->word88;
  double f = ObsQuantityFactor(*obs);
  if (toSurveyUnits && IsLengthQuantity(unit)) f *= UnitsToMeters(1.0);
  if (toRadians && unit >= 3 && unit <= 7) f *= kRadiansPerDegree;
  return f;
}

bool ConvertObsDefUnits(sObsDef* out, const sObsDef* in, int newUnit) {
  if (!out || !in) return false;
  if (out != in) std::memcpy(out, in, sizeof(sObsDef));
  if (out->type == 89 || out->type == 110 || out->word88 == newUnit) return true;
  const int oldUnit = out->word88;
  out->word88 = newUnit;
  const double f = ConvertQuantity(1.0, Quantity(oldUnit), Quantity(newUnit));
  out->c1 *= f;
  out->c2 *= f;
  out->scale *= f;
  out->quadratic *= f * f;
  out->value160 = static_cast<float>(out->value160 * f);
  return true;
}

bool InitNodeDefUnits(sNodeDef* node) {
  if (!node) return false;
  if (node->displayFlag == 0) {
    node->displayFlag = 1;
    node->display74 = 25;
    node->display75 = 2;
  }
  return true;
}

bool ConvertNodeDefUnits(sNodeDef* out, const sNodeDef* in, int newUnit) {
  if (!out || !in) return false;
  if (out != in) std::memcpy(out, in, sizeof(sNodeDef));
  const uint8_t newByte = static_cast<uint8_t>(newUnit);
  if (out->display74 == newByte) return true;
  const int oldUnit = out->display74;
  out->display74 = newByte;
  const double f = ConvertQuantity(1.0, Quantity(oldUnit), Quantity(newUnit));
  if (out->display75 != 0) {
    out->offset[0] *= f;
    out->offset[1] *= f;
  }
  out->offset[2] *= f;
  ScaleReservedFloats(*out, f);
  return true;
}

bool GetNodeOffset(double out[3], const sNodeDef* node) {
  if (!out) return false;
  if (!node) {
    out[0] = out[1] = out[2] = 0.0;
    return false;
  }
  CopyOffsets(out, *node);
  if (node->display74 != kSurveyUnitsOffsets)
    ConvertTripleUnits(out, node->display74, kSurveyUnitsOffsets, -1);
  return true;
}

bool GetNodeOffsetInUnits(double out[3], const sNodeDef* node, int unit, int mode) {
  if (!out) return false;
  if (!node) {
    out[0] = out[1] = out[2] = 0.0;
    return false;
  }
  CopyOffsets(out, *node);
  if (node->display74 != unit)
    ConvertPositionUnits(out, node->display75, node->display74, Quantity(unit), mode, -1);
  return true;
}

bool IsNodeOffsetZero(const sNodeDef* node) {
  return node && AllZero(node->offset[0], node->offset[1], node->offset[2]);
}

bool IsNodeOffsetSet(const sNodeDef* node) {
  return node && !AllZero(node->offset[0], node->offset[1], node->offset[2]);
}

namespace {

// Reads the three f32 offsets at 32, 36, 40; false when the record is short.
bool ReadFloatOffsets(std::span<const uint8_t> record, float (&xyz)[3]) {
  for (int i = 0; i < 3; ++i)
    if (!zor::platform::GetLE(record, 32 + 4 * uint64_t(i), xyz[i])) return false;
  return true;
}

}  // namespace

bool IsOffsetZeroF(std::span<const uint8_t> record) {
  float xyz[3];
  return ReadFloatOffsets(record, xyz) && AllZero(xyz[0], xyz[1], xyz[2]);
}

bool IsOffsetSetF(std::span<const uint8_t> record) {
  float xyz[3];
  return ReadFloatOffsets(record, xyz) && !AllZero(xyz[0], xyz[1], xyz[2]);
}
