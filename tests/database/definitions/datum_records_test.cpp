#include "database/definitions/datum_records.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "core/time/system_time.h"
#include "database/catalogue/definition_records.h"
#include "database/definitions/hdr_list.h"
#include "tests/database/catalogue/payload_builder.h"

namespace {

constexpr double kWgs84F = 298.257223563;
constexpr double kGrs80F = 298.257222101;

void AddPayload(CHdrList& list, int32_t recId, const std::vector<uint8_t>& p) {
  list.AddEntry(recId, static_cast<uint32_t>(p.size()), p.data(), -1);
}

// A datum with the axis in kilometres, so the unit factor takes part.
void AddDatum(CHdrList& list, int32_t id, const std::string& name, const std::string& ellipsoid,
              double axisMetres, double inverseFlattening) {
  AddPayload(list, kRecIdDatumEllipsoid,
             PayloadBuilder(72)
                 .Word(0, id)
                 .Text(4, name)
                 .Text(23, ellipsoid)
                 .Put(48, axisMetres / 1000.0)
                 .Put(56, 1000.0)
                 .Put(64, inverseFlattening)
                 .bytes());
}

void AddWords(CHdrList& list, int32_t recId, uint32_t size, std::initializer_list<int32_t> w) {
  AddPayload(list, recId, PayloadBuilder(size).Words(0, w).bytes());
}

// ---- Names and the standard datums ------------------------------------------------

TEST(DatumRecords, NamesADatumOrTheSurveyDatum) {
  CHdrList list;
  AddDatum(list, 1, "ED50   ", "International 1924", 6378388.0, 297.0);
  // 19 name bytes without a terminator run straight into the ellipsoid name.
  AddDatum(list, 2, "ABCDEFGHIJKLMNOPQRS", "Bessel 1841", 6377397.155, 299.1528128);
  EXPECT_EQ(list.GetDatumName(1), "ED50");
  EXPECT_EQ(list.GetDatumName(2), "ABCDEFGHIJKLMNOPQRS");
  EXPECT_EQ(list.GetDatumName(3), "Survey Datum");
  EXPECT_EQ(list.GetDatumName(0), "Survey Datum");
  EXPECT_EQ(list.GetDatumNameByIndex(0), "ED50");
  EXPECT_EQ(list.GetDatumNameByIndex(-1), "Survey Datum");
  EXPECT_EQ(list.GetDatumNameByIndex(std::numeric_limits<int32_t>::max()), "Survey Datum");
  EXPECT_TRUE(list.HasDatumOne());
  EXPECT_EQ(list.FindDatum(2), list.GetEntry(13, 2));
  EXPECT_EQ(list.FindDatum(-1), nullptr);

  CHdrList cut;  // a datum record too short for its ellipsoid
  AddPayload(cut, kRecIdDatumEllipsoid, PayloadBuilder(64).Word(0, 1).Text(4, "Cut").bytes());
  int32_t id = 0;
  EXPECT_FALSE(cut.FindWgs84Datum(id));
  EXPECT_EQ(cut.GetDatumName(1), "Cut");
}

TEST(DatumRecords, FindsWgs84ByItsEllipsoidAndStopsAtAWgsName) {
  CHdrList list;
  AddDatum(list, 4, "Local", "Custom", 6378137.0, kWgs84F);  // WGS84 ellipsoid, other name
  int32_t id = 0;
  EXPECT_TRUE(list.FindWgs84Datum(id));
  EXPECT_EQ(id, 4);

  AddDatum(list, 5, "World", "WGS 1984", 6378137.0, kWgs84F);
  AddDatum(list, 6, "Later", "Custom", 6378137.0, kWgs84F);
  EXPECT_TRUE(list.FindWgs84Datum(id));
  EXPECT_EQ(id, 5);  // the walk stops at the WGS name
  EXPECT_EQ(list.GetWgs84DatumIndex(false), 4);

  // A relative 2e-6 off the axis is another ellipsoid.
  CHdrList other;
  AddDatum(other, 1, "Near", "WGS 84", 6378137.0 * (1 + 2e-6), kWgs84F);
  AddDatum(other, 2, "Flat", "WGS 84", 6378137.0, kWgs84F * (1 - 2e-6));
  id = 9;  // a stale id is not taken for an answer
  EXPECT_FALSE(other.FindWgs84Datum(id));
  EXPECT_EQ(id, -1);
  EXPECT_EQ(other.GetWgs84DatumIndex(true), -1);
}

TEST(DatumRecords, TellsGrs80FromItrfDatums) {
  CHdrList list;
  AddDatum(list, 2, "ITRF2008  ", "GRS 1980", 6378137.0, kGrs80F);
  AddDatum(list, 3, "ITRF2014  ", "GRS 1980", 6378137.0, kGrs80F);
  AddDatum(list, 4, "ETRS89", "GRS 1980", 6378137.0, kGrs80F);
  AddDatum(list, 5, "ITRF2020  ", "GRS 1980", 6378137.0, kGrs80F);
  int32_t id = 0;
  EXPECT_TRUE(list.FindGrs80Datum(id));
  EXPECT_EQ(id, 4);
  EXPECT_TRUE(list.FindItrfDatum(id, "ITRF2014"));
  EXPECT_EQ(id, 3);
  EXPECT_TRUE(list.FindItrfDatum(id));
  EXPECT_EQ(id, 5);  // no name: the last ITRF datum
  EXPECT_TRUE(list.FindItrfDatum(id, "4"));  // too short to name one
  EXPECT_EQ(id, 5);
  // The two ellipsoids differ by less than the tolerance, so without a
  // WGS-named datum the WGS84 walk ends at the last of them.
  EXPECT_EQ(list.GetWgs84DatumIndex(false), 4);
}

// ---- Shifts, epochs and systems --------------------------------------------------

TEST(DatumRecords, FindsShiftsAndEpochsOfAPairInEitherOrder) {
  CHdrList list;
  AddWords(list, kRecIdOldDatumShift, 40, {1, 2});
  AddWords(list, kRecIdDatumShift, 88, {3, 1});
  AddWords(list, kRecIdDatumShift, 88, {1, 3});
  AddWords(list, kRecIdDatumEpoch, 88, {2, 3});
  AddWords(list, kRecIdOldDatumEpoch, 4, {3});  // too short to name a pair

  EXPECT_TRUE(list.IsDatumShiftDefined(1, 3));
  EXPECT_EQ(list.FindDatumShift(1, 3), list.GetEntry(206, 1));
  EXPECT_FALSE(list.IsDatumShiftDefined(1, 2));
  EXPECT_TRUE(list.IsOldDatumShiftDefined(2, 1));
  EXPECT_EQ(list.FindDatumEpoch(3, 2), list.GetEntry(246, 1));
  EXPECT_EQ(list.FindOldDatumEpoch(3, 0), nullptr);
  EXPECT_EQ(list.FindOldDatumShift(0, 0), nullptr);
}

TEST(DatumRecords, ResolvesTheDatumOfAPositionSystem) {
  CHdrList list;
  AddDatum(list, 2, "ETRS89", "GRS 1980", 6378137.0, kGrs80F);
  AddWords(list, 73, 72, {9, 9, 9});
  AddWords(list, 258, 712, {0, 4, 7, 1, 2});
  AddWords(list, kRecIdGnssSystem, 84, {7, 0, 0, 0, 2});

  sSysDef sys{};
  sys.type = 12;
  sys.link1 = 7;
  sys.link2 = 1;
  sys.link3 = 2;
  EXPECT_EQ(list.GetSystemGnssId(sys), 7);
  EXPECT_EQ(list.GetSystemDatumId(sys), 2);
  EXPECT_EQ(list.GetSystemDatum(sys), list.FindDatum(2));
  EXPECT_EQ(list.GetSystemDatumIndex(sys), 1);
  EXPECT_EQ(list.FindGnssSystemByDatum(2), list.GetEntry(71, 1));

  sys.link1 = sys.link2 = sys.link3 = 9;  // the RecId 73 record
  EXPECT_EQ(list.GetSystemGnssId(sys), 9);
  EXPECT_EQ(list.GetSystemDatumId(sys), -1);  // no GNSS system 9
  EXPECT_EQ(list.GetSystemDatum(sys), nullptr);
  EXPECT_EQ(list.GetSystemDatumIndex(sys), 0);

  sys.type = 11;
  EXPECT_EQ(list.GetSystemGnssId(sys), -1);
}

TEST(DatumRecords, SetsTheEpochsThatApplyAndAreNotSet) {
  CHdrList list;
  AddPayload(list, 247, PayloadBuilder(40).Words(0, {1, 2, 2}).Put(32, 0.0).bytes());
  AddPayload(list, 247, PayloadBuilder(40).Words(0, {1, 3, 2}).Put(32, 2005.5).bytes());
  AddPayload(list, 247, PayloadBuilder(40).Words(0, {1, 4, 1}).Put(32, 0.0).bytes());
  AddPayload(list, 247, PayloadBuilder(36).Words(0, {1, 5, 2}).bytes());  // no epoch field
  auto epoch = [&list](int32_t n) {
    double value = -1.0;
    zor::platform::GetLE(std::span<const uint8_t>(list.GetEntry(247, n)->payload), 32, value);
    return value;
  };

  EXPECT_FALSE(list.SetDatumEpochs(1899.99, false));
  EXPECT_FALSE(list.SetDatumEpochs(std::nan(""), true));
  EXPECT_EQ(epoch(1), 0.0);

  EXPECT_TRUE(list.SetDatumEpochs(2024.25, false));
  EXPECT_EQ(epoch(1), 2024.25);
  EXPECT_EQ(epoch(2), 2005.5);
  EXPECT_EQ(epoch(3), 0.0);  // kind 1
  EXPECT_FALSE(list.SetDatumEpochs(2024.5, false));  // nothing left below 1900

  EXPECT_TRUE(list.SetDatumEpochsToday(true));
  const double today = GetDecimalYearToday();
  EXPECT_NEAR(epoch(1), today, 1.0 / 365.0);
  EXPECT_EQ(epoch(2), epoch(1));
  EXPECT_EQ(list.GetEntry(247, 4)->Size(), 36u);
}

// ---- Reversal ---------------------------------------------------------------------

sDatumShiftRecord Shift(int32_t method, int32_t unit, int32_t sign, double tx, double ty,
                        double tz, double rx, double ry, double rz, double s) {
  sDatumShiftRecord r{};
  r.fromDatum = 1;
  r.toDatum = 2;
  r.rotationSign = sign;
  r.rotationUnit = unit;
  r.method = method;
  r.translation[0] = tx;
  r.translation[1] = ty;
  r.translation[2] = tz;
  r.rotation[0] = rx;
  r.rotation[1] = ry;
  r.rotation[2] = rz;
  r.scale = s;
  return r;
}

template <typename Record>
std::vector<uint8_t> Bytes(const Record& r) {
  std::vector<uint8_t> b(sizeof r);
  std::memcpy(b.data(), &r, sizeof r);
  return b;
}

template <typename Record>
Record From(const std::vector<uint8_t>& b) {
  Record r;
  std::memcpy(&r, b.data(), sizeof r);
  return r;
}

sDatumShiftRecord Reversed(const sDatumShiftRecord& r) {
  std::vector<uint8_t> b = Bytes(r);
  EXPECT_TRUE(ReverseDatumShift(b, {}, {}, {}));
  return From<sDatumShiftRecord>(b);
}

TEST(ReverseDatumShift, NegatesATranslationShiftAndSwapsTheDatums) {
  const sDatumShiftRecord r = Reversed(Shift(1, 0, 0, 1, 2, 3, 0.1, 0.2, 0.3, 4));
  EXPECT_EQ(r.fromDatum, 2);
  EXPECT_EQ(r.toDatum, 1);
  const double t[3] = {-1.0, -2.0, -3.0}, rot[3] = {-0.1, -0.2, -0.3};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(r.translation[i], t[i]);
    EXPECT_EQ(r.rotation[i], rot[i]);
  }
  EXPECT_EQ(r.scale, -4.0);
}

TEST(ReverseDatumShift, ReversingTwiceGivesTheShiftBack) {
  for (int32_t method : {0, 2, -1, 1}) {
    for (int32_t unit : {0, 1}) {
      for (int32_t sign : {0, 1}) {
        const sDatumShiftRecord original =
            Shift(method, unit, sign, -87.0, -98.0, -121.0, 0.59, -0.32, 1.1, 2.5);
        const sDatumShiftRecord twice = Reversed(Reversed(original));
        SCOPED_TRACE(testing::Message() << "method " << method << " unit " << unit);
        EXPECT_EQ(twice.fromDatum, 1);
        EXPECT_EQ(twice.toDatum, 2);
        EXPECT_EQ(twice.method, method);
        for (int i = 0; i < 3; ++i) {
          EXPECT_NEAR(twice.translation[i], original.translation[i], 1e-7);
          EXPECT_EQ(twice.rotation[i], original.rotation[i]);
        }
        EXPECT_NEAR(twice.scale, original.scale, 1e-9);
      }
    }
  }
}

// The exact and the small-angle inverse agree to second order for small
// angles; a wrong sign or a transposed matrix term shows as metres.
TEST(ReverseDatumShift, ExactAndSmallAngleInversesAgreeForSmallAngles) {
  const sDatumShiftRecord exact =
      Reversed(Shift(0, 0, 0, 120.0, -300.0, 500.0, 2.0, -3.0, 4.0, 1.5));
  const sDatumShiftRecord small =
      Reversed(Shift(-1, 0, 0, 120.0, -300.0, 500.0, 2.0, -3.0, 4.0, 1.5));
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(exact.translation[i], small.translation[i], 1e-6);
  EXPECT_NEAR(exact.scale, small.scale, 1e-5);
  // The rotations really take part: without them the translations differ.
  const sDatumShiftRecord plain = Reversed(Shift(0, 0, 0, 120.0, -300.0, 500.0, 0, 0, 0, 1.5));
  EXPECT_GT(std::fabs(plain.translation[0] - exact.translation[0]), 1e-4);

  // The same angles in micro-radians, and with the sign convention, give the
  // same translations.
  const double toMicro = 1e6 * 0.017453292519943295 / 3600.0;
  const sDatumShiftRecord micro = Reversed(
      Shift(0, 1, 0, 120.0, -300.0, 500.0, 2.0 * toMicro, -3.0 * toMicro, 4.0 * toMicro, 1.5));
  const sDatumShiftRecord negated =
      Reversed(Shift(0, 0, 1, 120.0, -300.0, 500.0, -2.0, 3.0, -4.0, 1.5));
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(micro.translation[i], exact.translation[i], 1e-9);
    EXPECT_NEAR(negated.translation[i], exact.translation[i], 1e-9);
  }
}

TEST(ReverseDatumShift, ModeOfTheOldShiftDecidesWhatIsInverted) {
  sOldDatumShiftRecord old{};
  old.fromDatum = 1;
  old.toDatum = 2;
  old.translation[0] = 10.0;
  old.translation[1] = 20.0;
  old.translation[2] = 30.0;
  const sDatumShiftRecord exact = Shift(0, 0, 0, 1.0, 2.0, 3.0, 0.5, 0.5, 0.5, 1.0);

  for (int32_t mode : {0, 1, 7}) {
    SCOPED_TRACE(mode);
    old.mode = mode;
    std::vector<uint8_t> s = Bytes(exact), o = Bytes(old), other(8, 0xFF);
    ASSERT_TRUE(ReverseDatumShift(s, o, {}, other));
    const auto r = From<sDatumShiftRecord>(s);
    const auto oldAfter = From<sOldDatumShiftRecord>(o);
    EXPECT_EQ(oldAfter.fromDatum, 2);
    EXPECT_EQ(oldAfter.toDatum, 1);
    EXPECT_EQ(From<int32_t>(other), 2);
    EXPECT_EQ(r.rotation[0], -0.5);
    if (mode == 0) {
      EXPECT_EQ(oldAfter.translation[0], 0.0);
      EXPECT_NEAR(r.scale, -1.0, 1e-5);
      EXPECT_NE(r.translation[0], -1.0);  // the exact inverse, not a negation
    } else if (mode == 1) {
      EXPECT_EQ(oldAfter.translation[0], 11.0);
      EXPECT_EQ(oldAfter.translation[2], 33.0);
      EXPECT_EQ(r.translation[1], -2.0);
      EXPECT_EQ(r.scale, -1.0);
    } else {
      EXPECT_EQ(oldAfter.translation[1], 20.0);
      EXPECT_EQ(r.translation[2], 3.0);
      EXPECT_EQ(r.scale, 1.0);
    }
  }
}

TEST(ReverseDatumShift, CleansTinyTermsAndHandlesAbsentRecords) {
  const sDatumShiftRecord tiny = Reversed(Shift(1, 0, 0, 5e-7, 1.0, 0.0, 5e-10, 0.0, 0.0, 5e-10));
  EXPECT_EQ(tiny.translation[0], 0.0);
  EXPECT_FALSE(std::signbit(tiny.translation[0]));
  EXPECT_EQ(tiny.rotation[0], 0.0);
  EXPECT_EQ(tiny.scale, 0.0);

  // Without the shift the second one is still inverted; all ids become 0.
  std::vector<uint8_t> second = Bytes(Shift(2, 0, 0, 1.0, 2.0, 3.0, 0, 0, 0, 0));
  std::vector<uint8_t> other = PayloadBuilder(12).Words(0, {5, 6, 7}).bytes();
  ASSERT_TRUE(ReverseDatumShift({}, {}, second, other));
  EXPECT_EQ(From<sDatumShiftRecord>(second).translation[2], -3.0);
  EXPECT_EQ(From<sDatumShiftRecord>(second).fromDatum, 0);
  EXPECT_EQ(other, PayloadBuilder(12).Words(0, {0, 0, 7}).bytes());

  // A record shorter than its layout: nothing changes.
  std::vector<uint8_t> shift = Bytes(Shift(1, 0, 0, 1, 2, 3, 0, 0, 0, 0));
  const std::vector<uint8_t> before = shift;
  std::vector<uint8_t> shortOld(39);
  EXPECT_FALSE(ReverseDatumShift(shift, shortOld, {}, {}));
  std::vector<uint8_t> shortOther(7);
  EXPECT_FALSE(ReverseDatumShift(shift, {}, {}, shortOther));
  EXPECT_EQ(shift, before);
}

}  // namespace
