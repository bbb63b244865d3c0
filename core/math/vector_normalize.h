// In-place normalisation of a vector of doubles.
//
//   double v[2] = {3.0, 4.0};
//   double length = NormalizeVector(v, 2);   // 5.0; v is now {0.6, 0.8}
#pragma once

// Divides the n elements by their Euclidean length (the squares summed in
// index order) and returns that length. A length below 1e-6 returns 0.0 and
// leaves the vector as it was. A single element (n = 1) is returned as it
// was and set to 1.0, so the result times the new vector is the old one.
// n < 1 returns 0.0 and touches nothing.
double NormalizeVector(double* vector, int n);
