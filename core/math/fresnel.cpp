#include "core/math/fresnel.h"

#include <cmath>

namespace {

// c_n = (-1)^n (pi/2)^(2n) / ((2n)! (4n+1)) and
// s_n = (-1)^n (pi/2)^(2n+1) / ((2n+1)! (4n+3)), from pi/2 as a double.
constexpr double kSeriesC[11] = {
    1.0,
    -0.24674011002723395,
    0.028185500877894218,
    -0.001604883135642535,
    5.40741338140839e-05,
    -1.2000972558600284e-06,
    1.8843499115272676e-08,
    -2.202276925445465e-10,
    1.9896857924180207e-12,
    -1.430918973171519e-14,
    8.384729705118549e-17,
};
constexpr double kSeriesS[11] = {
    0.5235987755982988,     -0.09228058535803516,    0.007244784204197003,   -0.0003121169423545791,
    8.444272883545251e-06,  -1.5647144500922104e-07, 2.1082121933214533e-09, -2.157430680584343e-11,
    1.7334102088874833e-13, -1.1223244787983947e-15, 5.980053239210399e-18,
};

// Auxiliary functions f and g of the asymptotic form, as polynomials in 1/x^2
// from the constant term up.
constexpr double kAuxF[12] = {0.318309844, 9.34636e-08, -0.09676631,  0.000606222,
                              0.325539361, 0.325206461, -7.450551455, 32.20380908,
                              -78.8035274, 118.5343352, -102.4339798, 39.06207702};
constexpr double kAuxG[12] = {0.0,          0.101321519,  -4.07292e-05, -0.152068115,
                              -0.046292605, 1.622793598,  -5.199186089, 7.477942354,
                              -0.695291507, -15.10996796, 22.28401942,  -10.89968491};

constexpr double kSeriesLimit = 1.6;
// 1/(pi x) < 2^-53 * 0.5 from here on.
constexpr double kFlatLimit = 1e15;

template <int N>
double Horner(const double (&coefficients)[N], double x) {
  double sum = coefficients[N - 1];
  for (int i = N - 2; i >= 0; --i) sum = sum * x + coefficients[i];
  return sum;
}

}  // namespace

bool FresnelIntegrals(double x, double* fc, double* fs) {
  const double a = std::fabs(x);
  double c;
  double s;
  if (a < kSeriesLimit) {
    const double q = a * a * a * a;
    c = a * Horner(kSeriesC, q);
    s = a * a * a * Horner(kSeriesS, q);
  } else if (a < kFlatLimit) {
    const double u = 1.0 / (a * a);
    const double f = Horner(kAuxF, u);
    const double g = Horner(kAuxG, u);
    const double t = (1.5707963267948966 * a) * a;
    const double sint = std::sin(t);
    const double cost = std::cos(t);
    c = (sint * (f / a) + 0.5) - cost * (g / a);
    s = (0.5 - cost * (f / a)) - sint * (g / a);
  } else if (a >= kFlatLimit) {
    c = 0.5;
    s = 0.5;
  } else {  // NaN
    c = s = a;
  }
  if (x < 0) {
    c = -c;
    s = -s;
  }
  if (fc != nullptr) *fc = c;
  if (fs != nullptr) *fs = s;
  return !std::isnan(c);
}
