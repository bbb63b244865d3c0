#include "core/math/interpolation.h"

#include <algorithm>

double Lerp(double t, double a, double b) { return a + (b - a) * t; }

double InterpolateLinear(double x1, double x2, double y1, double y2, double x,
                         bool allowExtrapolation) {
  double y;
  if (x1 == x2) {
    y = (y1 + y2) * 0.5;
  } else {
    y = (x - x1) / (x2 - x1) * (y2 - y1) + y1;
  }
  if (allowExtrapolation) return y;
  const double high = std::max(y1, y2);
  const double low = std::min(y1, y2);
  if (y > high) return high;
  if (y < low) return low;
  return y;
}

double InterpolateClamped(double x1, double x2, double y1, double y2, double x) {
  return InterpolateLinear(x1, x2, y1, y2, x, false);
}

double InterpolateUnclamped(double x1, double x2, double y1, double y2, double x) {
  return InterpolateLinear(x1, x2, y1, y2, x, true);
}

bool InterpolateChecked(double x1, double x2, double y1, double y2, double x, double* y) {
  double value;
  if (x1 == x2) {
    value = (y1 + y2) * 0.5;
  } else if (x == x1) {
    value = y1;
  } else if (x == x2) {
    value = y2;
  } else {
    value = (y2 - y1) * ((x - x1) / (x2 - x1)) + y1;
  }
  if (y != nullptr) *y = value;
  return std::min(y1, y2) <= value && value <= std::max(y1, y2);
}

bool InterpolateWithin(double x1, double x2, double y1, double y2, double x, double* y) {
  if (x < std::min(x1, x2) || x > std::max(x1, x2)) return false;
  return InterpolateChecked(x1, x2, y1, y2, x, y);
}
