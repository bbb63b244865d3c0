#include "platform/unit_library.h"

#include <strings.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <numbers>
#include <string>

namespace {

struct LinearUnit {
  const char* name;
  const char* shortName;
  double metersPerUnit;
};

struct AngularUnit {
  const char* name;
  double degreesPerUnit;
};

// Index = unit number - 1.
constexpr LinearUnit kLinearUnits[] = {
    {"Metre", "m", 1.0},
    {"International Foot", "ft", 0.3048},
    {"Kilometre", "km", 1000.0},
    {"International Nautical Mile", "NM", 1852.0},
    {"Statute Mile", "mi", 1609.344},
    {"Yard", "yd", 0.9144},
    {"Fathom", "fm", 1.8288},
    {"Inch", "in", 0.0254},
    {"Chain", "ch", 20.1168},
    {"Link", "lk", 0.201168},
    {"Centimetre", "cm", 0.01},
    {"Decimetre", "dm", 0.1},
    {"Millimetre", "mm", 0.001},
    {"US Survey Foot", "ftUS", 1200.0 / 3937.0},
};
constexpr int kLinearCount = static_cast<int>(std::size(kLinearUnits));

constexpr AngularUnit kAngularUnits[] = {
    {"Degree", 1.0},
    {"Radian", 180.0 / std::numbers::pi},
    {"Gon", 0.9},
    {"Arc Minute", 1.0 / 60.0},
    {"Arc Second", 1.0 / 3600.0},
    {"Mil", 360.0 / 6400.0},
};
constexpr int kAngularCount = static_cast<int>(std::size(kAngularUnits));

const LinearUnit* FindLinear(int unit) {
  return unit >= 1 && unit <= kLinearCount ? &kLinearUnits[unit - 1] : nullptr;
}

const AngularUnit* FindAngular(int unit) {
  return unit >= 1 && unit <= kAngularCount ? &kAngularUnits[unit - 1] : nullptr;
}

bool IsUsableFactor(double factor) { return std::isfinite(factor) && factor > 0.0; }

// The process-wide current units. Factors are read on every conversion and
// are lock-free; the names are read rarely and share one mutex.
struct CurrentUnits {
  std::atomic<double> metersPerUnit{kLinearUnits[0].metersPerUnit};
  std::atomic<double> degreesPerUnit{kAngularUnits[0].degreesPerUnit};
  std::mutex nameMutex;
  std::string unitName = kLinearUnits[0].name;
  std::string angUnitName = kAngularUnits[0].name;
};

CurrentUnits& Current() {
  static CurrentUnits current;
  return current;
}

}  // namespace

double MetersToUnits(double meters) { return meters / Current().metersPerUnit.load(); }

double UnitsToMeters(double value) { return value * Current().metersPerUnit.load(); }

const char* GetUnitName(int unit) {
  const LinearUnit* u = FindLinear(unit);
  return u != nullptr ? u->name : "";
}

const char* GetUnitShort(int unit) {
  const LinearUnit* u = FindLinear(unit);
  return u != nullptr ? u->shortName : "";
}

double GetConvToMeters(int unit) {
  const LinearUnit* u = FindLinear(unit);
  return u != nullptr ? u->metersPerUnit : 0.0;
}

const char* GetAngUnitName(int unit) {
  const AngularUnit* u = FindAngular(unit);
  return u != nullptr ? u->name : "";
}

double GetConvToDegrees(int unit) {
  const AngularUnit* u = FindAngular(unit);
  return u != nullptr ? u->degreesPerUnit : 0.0;
}

void SetUnitName(const char* name) {
  if (name == nullptr) return;
  CurrentUnits& current = Current();
  std::lock_guard lock(current.nameMutex);
  current.unitName = name;
}

void SetConvToMeters(double metersPerUnit) {
  if (!IsUsableFactor(metersPerUnit)) return;
  Current().metersPerUnit.store(metersPerUnit);
}

void SetAngUnitName(const char* name) {
  if (name == nullptr) return;
  CurrentUnits& current = Current();
  std::lock_guard lock(current.nameMutex);
  current.angUnitName = name;
}

void SetConvToDegrees(double degreesPerUnit) {
  if (!IsUsableFactor(degreesPerUnit)) return;
  Current().degreesPerUnit.store(degreesPerUnit);
}

std::string GetCurrentUnitName() {
  CurrentUnits& current = Current();
  std::lock_guard lock(current.nameMutex);
  return current.unitName;
}

double GetCurrentConvToMeters() { return Current().metersPerUnit.load(); }

std::string GetCurrentAngUnitName() {
  CurrentUnits& current = Current();
  std::lock_guard lock(current.nameMutex);
  return current.angUnitName;
}

double GetCurrentConvToDegrees() { return Current().degreesPerUnit.load(); }

int GetUnitConstant() {
  const double factor = GetCurrentConvToMeters();
  const std::string name = GetCurrentUnitName();
  int first = 0;
  for (int unit = 1; unit <= kLinearCount; ++unit) {
    // A factor typed or stored as text may differ in its last bits.
    const double table = kLinearUnits[unit - 1].metersPerUnit;
    if (std::fabs(factor - table) > 1e-12 * table) continue;
    if (strcasecmp(name.c_str(), kLinearUnits[unit - 1].name) == 0) return unit;
    if (first == 0) first = unit;
  }
  return first;
}

double DegreesToAngUnits(double degrees) { return degrees / Current().degreesPerUnit.load(); }

double AngUnitsToDegrees(double value) { return value * Current().degreesPerUnit.load(); }
