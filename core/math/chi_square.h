// Scale factors that turn a standard deviation into the radius of a 95 %
// confidence region: the square roots of the chi-square values of 95 %
// probability for one to four degrees of freedom (3.84146, 5.99147, 7.81473,
// 9.48773).
//
//   #include "core/math/chi_square.h"
//   double horizontal95 = ChiSquare95Factor2D * sigma;
//
// Written as the correctly rounded square roots, so they are usable in
// constant expressions and in any static initialiser.
#pragma once

inline constexpr double ChiSquare95Factor1D = 1.9599642853888946;  // sqrt(3.84146)
inline constexpr double ChiSquare95Factor2D = 2.447747944540042;   // sqrt(5.99147)
inline constexpr double ChiSquare95Factor3D = 2.7954838579394443;  // sqrt(7.81473)
inline constexpr double ChiSquare95Factor4D = 3.080215901523788;   // sqrt(9.48773)
