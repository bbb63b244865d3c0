#include "core/math/attitude.h"

#include <cmath>
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {


struct Arm {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

Arm ReadArm(const double* leverArm) {
  if (leverArm == nullptr) return {};
  return {leverArm[0], leverArm[1], leverArm[2]};
}

bool BothZero(double pitch, double roll) { return pitch == 0.0 && roll == 0.0; }

double Sign(bool upPositive) { return upPositive ? 1.0 : -1.0; }

// The steps run in the order the callers' stored corrections were computed
// with, so results agree to the last bit.
double InducedHeave(const Arm& arm, double pitch, double roll, int order) {
  if (order >= 2) return 0.0;
  const double p = pitch * kDegToRad;
  const double r = roll * kDegToRad;
  if (order < 1) {
    double t = -std::sin(r) * arm.x;
    t = std::cos(r) * arm.z + t;
    t = std::cos(p) * t;
    return std::sin(p) * arm.y + t - arm.z;
  }
  double t = std::sin(p) * arm.y;
  t = std::cos(p) * arm.z + t;
  t = std::cos(r) * t;
  return t - std::sin(r) * arm.x - arm.z;
}

double VerticalInducedHeave(double offset, double pitch, double roll) {
  if (BothZero(pitch, roll)) return 0.0;
  return offset * std::cos(roll * kDegToRad) * std::cos(pitch * kDegToRad) - offset;
}

}  // namespace

double CalcInducedHeave(const double* leverArm, double pitch, double roll, int order) {
  return InducedHeave(ReadArm(leverArm), pitch, roll, order);
}

double CalcInducedHeaveDiff(const double* leverArm, double pitch1, double roll1,
                            double pitch2, double roll2, int order) {
  const Arm arm = ReadArm(leverArm);
  return InducedHeave(arm, pitch1, roll1, order) - InducedHeave(arm, pitch2, roll2, order);
}

double CalcCorrectedHeaveDiff(const double* leverArm, double pitch1, double roll1,
                              double value1, double pitch2, double roll2, double value2,
                              int order) {
  const double diff = CalcInducedHeaveDiff(leverArm, pitch1, roll1, pitch2, roll2, order);
  return (value1 - diff) - value2;
}

double AddInducedHeaveDiff(const double* leverArm, double pitch1, double roll1, double value,
                           double pitch2, double roll2, double /*unused*/, int order) {
  return CalcInducedHeaveDiff(leverArm, pitch1, roll1, pitch2, roll2, order) + value;
}

double RemoveLeverArmHeight(const double* leverArm, double value, bool upPositive,
                            double pitch, double roll, int order) {
  const Arm arm = ReadArm(leverArm);
  const double s = Sign(upPositive);
  if (BothZero(pitch, roll)) return value - s * arm.z;
  return (value - s * InducedHeave(arm, pitch, roll, order)) - s * arm.z;
}

double AddLeverArmHeight(const double* leverArm, double value, bool upPositive,
                         double pitch, double roll, int order) {
  const Arm arm = ReadArm(leverArm);
  const double s = Sign(upPositive);
  if (BothZero(pitch, roll)) return value + s * arm.z;
  return (value + s * InducedHeave(arm, pitch, roll, order)) + s * arm.z;
}

double CalcVerticalInducedHeave(double offset, double pitch, double roll) {
  return VerticalInducedHeave(offset, pitch, roll);
}

double CalcVerticalInducedHeaveDiff(double offset, double pitch1, double roll1,
                                    double pitch2, double roll2) {
  return VerticalInducedHeave(offset, pitch1, roll1) - VerticalInducedHeave(offset, pitch2, roll2);
}

double VerticalToSlant(double value, bool upPositive, double pitch, double roll) {
  const double w = upPositive ? value : -value;
  if (BothZero(pitch, roll)) return w;
  return w / std::cos(roll * kDegToRad) / std::cos(pitch * kDegToRad);
}

double SlantToVertical(double value, bool upPositive, double pitch, double roll) {
  const double w = upPositive ? value : -value;
  if (BothZero(pitch, roll)) return w;
  return w * std::cos(roll * kDegToRad) * std::cos(pitch * kDegToRad);
}
