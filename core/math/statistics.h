// Means of sample sets and a normally distributed random number.
//
//   const double depths[3] = {10.2, 10.4, 10.3};
//   double m = Mean(3, depths);                               // 10.3
//   const double sigmas[3] = {0.1, 0.2, 0.1};
//   double mean, sigma;
//   WeightedMeanBySigma(3, depths, sigmas, &mean, &sigma);    // 1/sigma^2 weights
//   double noise = GaussianRandom(0.05);
//
// Counts are 32-bit signed; a count below 1 or a null value array is an
// empty set. Sums are taken in index order with no compensation, so a mean of
// n values carries a relative rounding error of about n * 1.1e-16 of the
// largest |value|; sums that overflow give an infinite or NaN mean.
#pragma once

// Arithmetic mean: the sum divided by n. 0.0 for an empty set.
double Mean(int n, const double* values);

// Sum(v[i] * w[i]) / Sum(w[i]). A weight that is negative or NaN, and every
// weight when `weights` is null, counts as 1.0. A weighted sum of exactly 0
// is returned as it is (so all-zero weights give 0.0); otherwise a weight sum
// that is not above 0 divides by n instead. 0.0 for an empty set.
double WeightedMean(int n, const double* values, const double* weights);

// The mean weighted by 1 / sigma^2 and its standard deviation
// 1 / sqrt(Sum(weights)). A sigma that is not above 0 (zero, negative, NaN),
// and every sigma when `sigmas` is null, stands for 1.0. Returns the mean and
// stores it through `mean`, the sigma through `sigmaOfMean`; either may be
// null. An empty set gives mean 0.0 and sigma 1.0.
//
// Sigmas whose squares leave the double range (below about 1e-154 or above
// about 1e154) would make the weights infinite or zero; then the weights are
// taken relative to the smallest sigma, (sigma_min / sigma)^2, which gives the
// same mean and sigma_min / sqrt(Sum) as its sigma. When every sigma is
// infinite the mean is the arithmetic one and its sigma infinite.
double WeightedMeanBySigma(int n, const double* values, const double* sigmas, double* mean,
                           double* sigmaOfMean);

// (a + b) * 0.5. Overflows for two values of the same sign above ~9e307.
double Midpoint(double a, double b);

// (4b + a + c) / 6: the Simpson-weighted mean of three equally spaced samples
// (the integral over the two intervals divided by their length; exact for
// cubics). The factor 1/6 is the double 0.16666666666666666, so the result is
// within a few units in the last place of the exact quotient.
double SimpsonMean(double a, double b, double c);

// One draw of an approximately normal variable with mean 0 and standard
// deviation sigma: (Sum of 12 uniform draws in [0, 1]) - 6, times sigma
// (Irwin-Hall). The tails are cut at +-6 sigma and the kurtosis is 2.9 instead
// of 3, fine for simulated noise, not for statistics of the tails. The
// uniform draws come from the C library's rand(), so srand() makes a run
// repeatable; nothing here seeds it. Each draw is divided by RAND_MAX, so
// the variable spans [0, 1] whatever the library's range is.
double GaussianRandom(double sigma);
