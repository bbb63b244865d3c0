#include "database/types/record_checks.h"

#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/time/zor_time.h"
#include "platform/bytes.h"

namespace {

std::vector<uint8_t> Window(sTimeRecord start, sTimeRecord end, sTimeRecord probe) {
  std::vector<uint8_t> record(72, 0);
  std::memcpy(record.data() + 16, &start, sizeof start);
  std::memcpy(record.data() + 32, &end, sizeof end);
  std::memcpy(record.data() + 56, &probe, sizeof probe);
  return record;
}

TEST(RecordChecksTest, TimeWindowIsOpenAtBothEnds) {
  const sTimeRecord start{60000, 0, 100.0}, end{60001, 0, 50.0};
  EXPECT_TRUE(IsTimeInsideWindow(Window(start, end, {60000, 0, 100.5})));
  // A later day counts even with fewer seconds.
  EXPECT_TRUE(IsTimeInsideWindow(Window(start, end, {60001, 0, 10.0})));
  EXPECT_FALSE(IsTimeInsideWindow(Window(start, end, start)));
  EXPECT_FALSE(IsTimeInsideWindow(Window(start, end, end)));
  EXPECT_FALSE(IsTimeInsideWindow(Window(start, end, {59999, 0, 86399.0})));
}

TEST(RecordChecksTest, TimeWindowNeedsThreeDatedTimesInAFullRecord) {
  const sTimeRecord start{60000, 0, 0.0}, end{60002, 0, 0.0}, probe{60001, 0, 0.0};
  EXPECT_FALSE(IsTimeInsideWindow(Window({0, 0, 0.0}, end, probe)));
  EXPECT_FALSE(IsTimeInsideWindow(Window(start, {0, 0, 0.0}, probe)));
  EXPECT_FALSE(IsTimeInsideWindow(Window(start, end, {0, 0, 5.0})));
  std::vector<uint8_t> record = Window(start, end, probe);
  record.pop_back();
  EXPECT_FALSE(IsTimeInsideWindow(record));
  EXPECT_FALSE(IsTimeInsideWindow({}));
}

std::vector<uint8_t> Ellipsoid(std::string_view datum, std::string_view ellipsoid, double axis,
                               double metresPerUnit, double inverseFlattening) {
  std::vector<uint8_t> p(72, 0);
  zor::platform::SetText(p, 4, 19, datum);
  zor::platform::SetText(p, 23, 25, ellipsoid);
  zor::platform::SetLE(std::span<uint8_t>(p), 48, axis);
  zor::platform::SetLE(std::span<uint8_t>(p), 56, metresPerUnit);
  zor::platform::SetLE(std::span<uint8_t>(p), 64, inverseFlattening);
  return p;
}

TEST(RecordChecksTest, SameEllipsoidComparesTheAxisInMetres) {
  const auto wgs = Ellipsoid("WGS84", "WGS 1984", 6378137.0, 1.0, 298.257223563);
  const auto inKm = Ellipsoid("Other", "Other", 6378.137, 1000.0, 298.257223563);
  const auto clarke = Ellipsoid("NAD27", "Clarke 1866", 6378206.4, 1.0, 294.9786982);
  const auto offAxis = Ellipsoid("WGS84", "WGS 1984", 6378137.0 * (1 + 2e-6), 1.0, 298.257223563);
  EXPECT_TRUE(IsSameEllipsoid(wgs, inKm));
  EXPECT_FALSE(IsSameEllipsoidAndName(wgs, inKm));
  EXPECT_FALSE(IsSameEllipsoid(wgs, clarke));
  EXPECT_FALSE(IsSameEllipsoid(wgs, offAxis));
}

TEST(RecordChecksTest, SameEllipsoidWithZeroNegativeAndNaNValues) {
  // Equal values are the same even when they are zero (an empty record).
  const auto empty = Ellipsoid("", "", 0.0, 0.0, 0.0);
  EXPECT_TRUE(IsSameEllipsoid(empty, empty));
  const auto sphere = Ellipsoid("S", "Sphere", 6371000.0, 1.0, 0.0);
  const auto flat = Ellipsoid("S", "Sphere", 6371000.0, 1.0, 300.0);
  EXPECT_FALSE(IsSameEllipsoid(flat, sphere));
  EXPECT_FALSE(IsSameEllipsoid(sphere, flat));
  // A negative reference value must not make every difference look small.
  const auto neg = Ellipsoid("S", "Sphere", -6371000.0, 1.0, 300.0);
  const auto negFar = Ellipsoid("S", "Sphere", -6000000.0, 1.0, 300.0);
  EXPECT_FALSE(IsSameEllipsoid(negFar, neg));
  const auto nan =
      Ellipsoid("S", "Sphere", std::numeric_limits<double>::quiet_NaN(), 1.0, 300.0);
  EXPECT_FALSE(IsSameEllipsoid(nan, nan));
  // Short payloads are never the same.
  std::vector<uint8_t> shortPayload = flat;
  shortPayload.resize(71);
  EXPECT_FALSE(IsSameEllipsoid(shortPayload, shortPayload));
}

TEST(RecordChecksTest, NamesCompareWithCaseAndWithinTheirFields) {
  const auto a = Ellipsoid("WGS84", "WGS 1984", 6378137.0, 1.0, 298.257223563);
  const auto lower = Ellipsoid("wgs84", "WGS 1984", 6378137.0, 1.0, 298.257223563);
  EXPECT_TRUE(IsSameEllipsoidAndName(a, a));
  EXPECT_FALSE(IsSameEllipsoidAndName(a, lower));

  // Datum names that fill their 19 bytes without a zero: the ellipsoid name
  // that follows is not part of the datum name.
  auto full1 = Ellipsoid("", "E1", 6378137.0, 1.0, 298.257223563);
  auto full2 = Ellipsoid("", "E1", 6378137.0, 1.0, 298.257223563);
  std::memset(full1.data() + 4, 'D', 19);
  std::memset(full2.data() + 4, 'D', 19);
  EXPECT_TRUE(IsSameEllipsoidAndName(full1, full2));
  full2[22] = 'X';
  EXPECT_FALSE(IsSameEllipsoidAndName(full1, full2));
}

}  // namespace
