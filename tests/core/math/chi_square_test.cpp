#include "core/math/chi_square.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ChiSquare95Factors, AreTheRoundedRootsOfTheQuantiles) {
  const double quantiles[] = {3.84146, 5.99147, 7.81473, 9.48773};
  const double factors[] = {ChiSquare95Factor1D, ChiSquare95Factor2D, ChiSquare95Factor3D,
                            ChiSquare95Factor4D};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(factors[i], std::sqrt(quantiles[i])) << i + 1 << "D";
    // Squared, within one unit in the last place of the quantile.
    const double ulp = std::nextafter(quantiles[i], 1e9) - quantiles[i];
    EXPECT_NEAR(factors[i] * factors[i], quantiles[i], ulp) << i + 1 << "D";
  }
}

}  // namespace
