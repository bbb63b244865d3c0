#include "database/definitions/calibration.h"

#include <cmath>

#include "database/catalogue/definition_records.h"

double ApplyCalibration(double value, double c, double s, double q) {
  const double x = value + c;
  if (s == 0.0) return x;
  if (q == 0.0) return s * x;
  return value * (q * value) + s * x;
}

double RemoveCalibration(double y, double c, double s, double q) {
  if (s == 0.0) return y - c;
  if (q == 0.0) return y / s - c;
  const double d = std::sqrt(s * s + 4.0 * q * (y - c * s));
  const double r1 = -(s + d) / (2.0 * q);
  const double r2 = (d - s) / (2.0 * q);
  const double e1 = std::fabs(r1 - y);
  const double e2 = std::fabs(r2 - y);
  // Without a real root both are NaN and neither comparison holds.
  if (e2 < e1 || std::isunordered(e1, e2)) return r2;
  return r1;
}

double ApplyScale(double value, double s) { return s == 0.0 ? value : s * value; }

double ApplyObsCalibration(double value, const sObsDef* obs) {
  if (obs == nullptr) return value;
  return ApplyCalibration(value, obs->c2 + obs->c1, obs->scale, obs->quadratic);
}

double RemoveObsCalibration(double value, const sObsDef* obs) {
  if (obs == nullptr) return value;
  return RemoveCalibration(value, obs->c2 + obs->c1, obs->scale, obs->quadratic);
}

double ApplyObsScale(double value, const sObsDef* obs) {
  if (obs == nullptr) return value;
  return ApplyScale(value, obs->scale);
}

double ApplyObsRatio(double value, const sObsDef* obs) {
  if (obs == nullptr || obs->ratioA == 0.0 || obs->ratioB == 0.0) return value;
  return obs->ratioB / obs->ratioA * value;
}

double ApplyObsInverseRatio(double value, const sObsDef* obs) {
  if (obs == nullptr || obs->ratioA == 0.0 || obs->ratioB == 0.0) return value;
  return obs->ratioA / obs->ratioB * value;
}
