#include "core/math/statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// The sigma a sample stands for: sigmas that are not above 0 count as 1.0,
// as a weight of 1.0 does.
double EffectiveSigma(const double* sigmas, int i) {
  if (sigmas == nullptr || !(sigmas[i] > 0.0)) return 1.0;
  return sigmas[i];
}

// The weighted mean with weights (sMin / s)^2 in [0, 1]: the same mean as
// 1 / s^2 weights, for sigmas whose squares under- or overflow.
void RelativeWeightedMean(int n, const double* values, const double* sigmas, double* mean,
                          double* sigma) {
  double sMin = std::numeric_limits<double>::infinity();
  for (int i = 0; i < n; ++i) sMin = std::min(sMin, EffectiveSigma(sigmas, i));
  if (std::isinf(sMin)) {
    *mean = Mean(n, values);
    *sigma = sMin;
    return;
  }
  double sum = 0.0;
  double weightSum = 0.0;
  for (int i = 0; i < n; ++i) {
    const double ratio = sMin / EffectiveSigma(sigmas, i);
    const double weight = ratio * ratio;
    sum += values[i] * weight;
    weightSum += weight;
  }
  *mean = sum / weightSum;  // weightSum >= 1: the smallest sigma weighs 1.0
  *sigma = sMin / std::sqrt(weightSum);
}

}  // namespace

double Mean(int n, const double* values) {
  if (n < 1 || values == nullptr) return 0.0;
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += values[i];
  return sum / n;
}

double WeightedMean(int n, const double* values, const double* weights) {
  if (n < 1 || values == nullptr) return 0.0;
  double sum = 0.0;
  double weightSum = 0.0;
  for (int i = 0; i < n; ++i) {
    const double weight = (weights != nullptr && weights[i] >= 0.0) ? weights[i] : 1.0;
    sum += values[i] * weight;
    weightSum += weight;
  }
  if (sum == 0.0) return sum;
  if (weightSum > 0.0) return sum / weightSum;
  return sum / n;
}

double WeightedMeanBySigma(int n, const double* values, const double* sigmas, double* mean,
                           double* sigmaOfMean) {
  double m = 0.0;
  double s = 1.0;
  if (n >= 1 && values != nullptr) {
    double sum = 0.0;
    double weightSum = 0.0;
    for (int i = 0; i < n; ++i) {
      const double sigma = EffectiveSigma(sigmas, i);
      const double weight = 1.0 / (sigma * sigma);
      sum += values[i] * weight;
      weightSum += weight;
    }
    if (weightSum > 0.0 && std::isfinite(weightSum)) {
      m = sum / weightSum;
      s = 1.0 / std::sqrt(weightSum);
    } else {
      RelativeWeightedMean(n, values, sigmas, &m, &s);
    }
  }
  if (mean != nullptr) *mean = m;
  if (sigmaOfMean != nullptr) *sigmaOfMean = s;
  return m;
}

double Midpoint(double a, double b) { return (a + b) * 0.5; }

double SimpsonMean(double a, double b, double c) {
  return (b * 4.0 + a + c) * 0.16666666666666666;
}

double GaussianRandom(double sigma) {
  double sum = 0.0;
  for (int i = 0; i < 12; ++i) sum += std::rand() / static_cast<double>(RAND_MAX);
  return (sum - 6.0) * sigma;
}
