// Tolerances derived from the double machine epsilon (2^-52), for comparisons
// and step sizes in the maths functions.
//
//   #include "core/math/epsilon.h"
//   if (std::fabs(a - b) <= SqrtEpsilon * std::fabs(b)) ...
//
// Both are powers of two, so the literals are exact: SqrtEpsilon squared is
// the machine epsilon and FourthRootEpsilon squared is SqrtEpsilon.
#pragma once

inline constexpr double SqrtEpsilon = 0x1p-26;        // 1.4901161193847656e-08
inline constexpr double FourthRootEpsilon = 0x1p-13;  // 0.0001220703125
