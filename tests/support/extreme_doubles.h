// The arguments every maths entry point is fed in its extreme-argument test:
// NaN, both infinities, both ends of the double range, the smallest denormal
// of either sign and zero.
//
//   for (double v : kExtremeDoubles) {
//     double a[] = {1, 2, 3};
//     for (double& slot : a) { double keep = slot; slot = v; Check(a); slot = keep; }
//   }
#pragma once

#include <cfloat>
#include <limits>

inline constexpr double kNaNValue = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInfValue = std::numeric_limits<double>::infinity();
inline constexpr double kDenormValue = std::numeric_limits<double>::denorm_min();
inline constexpr double kExtremeDoubles[] = {kNaNValue, kInfValue,    -kInfValue,  DBL_MAX,
                                            -DBL_MAX,  kDenormValue, -kDenormValue, 0.0};

// Calls check(args) once for every argument slot holding each extreme value,
// the other slots keeping `base`.
template <typename Array, typename Check>
void ForEachExtremeArgument(Array base, Check check) {
  for (double& slot : base) {
    const double keep = slot;
    for (double v : kExtremeDoubles) {
      slot = v;
      check(base);
    }
    slot = keep;
  }
}
