#include "database/types/record_checks.h"

#include <cmath>

#include "core/time/zor_time.h"
#include "platform/bytes.h"

namespace {

using zor::platform::GetLE;
using zor::platform::GetText;

constexpr std::size_t kEllipsoidPayloadSize = 72;
constexpr uint64_t kDatumNameAt = 4;
constexpr std::size_t kDatumNameWidth = 19;      // bytes 4..22
constexpr uint64_t kEllipsoidNameAt = 23;
constexpr std::size_t kEllipsoidNameWidth = 25;  // bytes 23..47
constexpr double kTolerance = 1e-6;

bool ReadTime(std::span<const uint8_t> record, uint64_t offset, sTimeRecord& out) {
  return GetLE(record, offset, out.day) && GetLE(record, offset + 8, out.seconds);
}

// |a - b| / |b| below the tolerance; equal values (zeros included) are the
// same, a NaN never is.
bool Close(double a, double b) {
  if (a == b) return true;
  return std::fabs(a - b) / std::fabs(b) < kTolerance;
}

double Axis(std::span<const uint8_t> p) {
  double axis = 0.0, metresPerUnit = 0.0;
  GetLE(p, 48, axis);
  GetLE(p, 56, metresPerUnit);
  return axis * metresPerUnit;
}

}  // namespace

bool IsTimeInsideWindow(std::span<const uint8_t> record) {
  sTimeRecord start, end, probe;
  if (!ReadTime(record, 16, start) || !ReadTime(record, 32, end) || !ReadTime(record, 56, probe))
    return false;
  if (start.day == 0 || end.day == 0 || probe.day == 0) return false;
  const CZORTime s(start), e(end), p(probe);
  return p > s && p < e;
}

bool IsSameEllipsoid(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  if (a.size() < kEllipsoidPayloadSize || b.size() < kEllipsoidPayloadSize) return false;
  double fa = 0.0, fb = 0.0;
  GetLE(a, 64, fa);
  GetLE(b, 64, fb);
  return Close(Axis(a), Axis(b)) && Close(fa, fb);
}

bool IsSameEllipsoidAndName(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return IsSameEllipsoid(a, b) &&
         GetText(a, kEllipsoidNameAt, kEllipsoidNameWidth) ==
             GetText(b, kEllipsoidNameAt, kEllipsoidNameWidth) &&
         GetText(a, kDatumNameAt, kDatumNameWidth) == GetText(b, kDatumNameAt, kDatumNameWidth);
}
