#include "core/math/vector_normalize.h"

#include <cmath>

double NormalizeVector(double* vector, int n) {
  if (n < 1) return 0.0;
  if (n == 1) {
    const double old = vector[0];
    vector[0] = 1.0;
    return old;
  }
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += vector[i] * vector[i];
  const double length = std::sqrt(sum);
  if (length < 1e-6) return 0.0;
  for (int i = 0; i < n; ++i) vector[i] /= length;
  return length;
}
