#include "core/math/great_circle.h"

#include <cmath>
#include <array>
#include <random>

#include <gtest/gtest.h>

#include "core/math/great_circle_crossings.h"
#include "core/math/rhumb_line.h"
#include "tests/support/extreme_doubles.h"

namespace {

constexpr double kDeg = M_PI / 180.0;

// Distance in arc minutes as the angle between the two position vectors,
// atan2(|r1 x r2|, r1 . r2): independent of the haversine form and well
// conditioned everywhere.
double VectorDistance(double lat1, double lon1, double lat2, double lon2) {
  const double a[3] = {std::cos(lat1 * kDeg) * std::cos(lon1 * kDeg),
                       std::cos(lat1 * kDeg) * std::sin(lon1 * kDeg), std::sin(lat1 * kDeg)};
  const double b[3] = {std::cos(lat2 * kDeg) * std::cos(lon2 * kDeg),
                       std::cos(lat2 * kDeg) * std::sin(lon2 * kDeg), std::sin(lat2 * kDeg)};
  const double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                       a[0] * b[1] - a[1] * b[0]};
  return std::atan2(std::hypot(c[0], c[1], c[2]), a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / kDeg *
         60.0;
}

double Distance(double lat1, double lon1, double lat2, double lon2) {
  double d = -1;
  GreatCircleDistance(lat1, lon1, lat2, lon2, &d, nullptr);
  return d;
}

double AngleGap(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

TEST(GreatCircle, StatedDistancesAndDestinations) {
  double d, b, lat, lon, c;
  GreatCircleDistance(0, 0, 0, 1, &d, &b);
  EXPECT_NEAR(d, 60.0, 1e-12);
  EXPECT_NEAR(b, 90.0, 1e-12);
  GreatCircleDistance(0, 0, 1, 0, &d, &b);
  EXPECT_NEAR(d, 60.0, 1e-12);
  EXPECT_EQ(b, 0.0);
  // One point under two names.
  GreatCircleDistance(10.0, 180.0, 10.0, -180.0, &d, &b);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(b, 0.0);

  GreatCircleDestination(0, 179.5, 90, 60, &lat, &lon, nullptr);
  EXPECT_NEAR(lon, -179.5, 1e-12);
  // Arriving at the pole keeps the start longitude; the course is reversed.
  GreatCircleDestination(89.0, 10.0, 0.0, 60.0, &lat, &lon, &c);
  EXPECT_NEAR(lat, 90.0, 1e-12);
  EXPECT_EQ(lon, 10.0);
  EXPECT_NEAR(c, 180.0, 1e-12);
}

TEST(GreatCircle, AgreesWithVectorFormAndRoundTrips) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> lat(-89.0, 89.0), lon(-180.0, 180.0);
  for (int i = 0; i < 300; ++i) {
    const double la1 = lat(gen), lo1 = lon(gen), la2 = lat(gen), lo2 = lon(gen);
    double d, b, la, lo, c;
    ASSERT_TRUE(GreatCircleDistance(la1, lo1, la2, lo2, &d, &b));
    EXPECT_NEAR(d, VectorDistance(la1, lo1, la2, lo2), 1e-8);
    ASSERT_TRUE(GreatCircleDestination(la1, lo1, b, d, &la, &lo, &c));
    EXPECT_NEAR(la, la2, 1e-9);
    EXPECT_NEAR(AngleGap(lo, lo2), 0.0, 1e-9);
    // The final course is the course on arrival of the destination.
    double final;
    GreatCircleDistanceCourses(la1, lo1, la2, lo2, nullptr, nullptr, &final);
    EXPECT_NEAR(AngleGap(final, c), 0.0, 1e-7);
  }
}

// The course on arrival, from the motion itself: the start point and the
// start direction as unit vectors, the path P cos d + T sin d, and the
// azimuth of its derivative at the end (reversed for a negative distance).
double VectorCourse(double lat1, double lon1, double bearing, double minutes, double* latEnd) {
  const double k = M_PI / 180.0;
  const double f = lat1 * k, l = lon1 * k, b = bearing * k, d = minutes / 60.0 * k;
  const double p[3] = {std::cos(f) * std::cos(l), std::cos(f) * std::sin(l), std::sin(f)};
  const double east[3] = {-std::sin(l), std::cos(l), 0.0};
  const double north[3] = {-std::sin(f) * std::cos(l), -std::sin(f) * std::sin(l), std::cos(f)};
  double t[3], q[3], v[3];
  for (int i = 0; i < 3; ++i) {
    t[i] = std::sin(b) * east[i] + std::cos(b) * north[i];
    q[i] = p[i] * std::cos(d) + t[i] * std::sin(d);
    v[i] = -p[i] * std::sin(d) + t[i] * std::cos(d);
  }
  const double f2 = std::atan2(q[2], std::hypot(q[0], q[1])), l2 = std::atan2(q[1], q[0]);
  const double e2[3] = {-std::sin(l2), std::cos(l2), 0.0};
  const double n2[3] = {-std::sin(f2) * std::cos(l2), -std::sin(f2) * std::sin(l2), std::cos(f2)};
  double ve = 0, vn = 0;
  for (int i = 0; i < 3; ++i) {
    ve += v[i] * e2[i];
    vn += v[i] * n2[i];
  }
  *latEnd = f2 / k;
  double course = std::atan2(ve, vn) / k + (minutes < 0 ? 180.0 : 0.0);
  return course - 360.0 * std::floor(course / 360.0);
}

// The arrival course came from the two end points: at half the
// circumference every great circle joins them (off by up to 172 degrees),
// and over very short distances digits were lost (0.005 degrees at 1e-8
// arc minutes). The start bearing fixes it everywhere.
TEST(GreatCircle, ArrivalCourseFollowsFromTheBearing) {
  double lat, lon, c;
  ASSERT_TRUE(GreatCircleDestination(10, 20, 30, 10800, &lat, &lon, &c));
  EXPECT_NEAR(c, 150.0, 1e-9);
  EXPECT_NEAR(lat, -10.0, 1e-9);
  EXPECT_NEAR(AngleGap(lon, -160.0), 0.0, 1e-9);
  std::mt19937 gen(17);
  std::uniform_real_distribution<double> latOf(-89.0, 89.0), lonOf(-180.0, 180.0);
  std::uniform_real_distribution<double> bearingOf(0.0, 360.0), far(0.0, 21600.0);
  const double special[] = {10800.0, 10800.0 + 1e-8, 10800.0 - 1e-8, 10800.0 - 1e-3, 21600.0,
                            5400.0, 1e-8, 1e-10, 1e-3, 0.5};
  for (int i = 0; i < 3000; ++i) {
    const double la1 = latOf(gen), lo1 = lonOf(gen), b = bearingOf(gen);
    double minutes = i < 2000 ? special[i % 10] : far(gen);
    if (i % 3 == 0) minutes = -minutes;
    double latEnd;
    const double expected = VectorCourse(la1, lo1, b, minutes, &latEnd);
    if (std::fabs(latEnd) > 89.99) continue;  // near a pole the course turns fast
    ASSERT_TRUE(GreatCircleDestination(la1, lo1, b, minutes, &lat, &lon, &c));
    ASSERT_NEAR(AngleGap(c, expected), 0.0, 1e-9)
        << la1 << ' ' << lo1 << ' ' << b << ' ' << minutes;
  }
}

TEST(GreatCircle, AntipodesAndDegenerateInput) {
  // Rounding takes the haversine term just past 1 here; that is half the
  // circumference, not "no distance".
  EXPECT_NEAR(Distance(0, 0, 0, 180), 10800.0, 1e-9);
  EXPECT_NEAR(Distance(10, 20, -10, -160), 10800.0, 1e-6);
  EXPECT_NEAR(Distance(33.3, -71.1, -33.3, 108.9), 10800.0, 1e-6);
  double d = 5, b = 5, final = 5;
  EXPECT_FALSE(GreatCircleDistance(std::nan(""), 0, 1, 1, &d, &b));
  EXPECT_EQ(d, 0.0);
  double lat = 5;
  EXPECT_FALSE(GreatCircleDestination(0, 0, INFINITY, 1, &lat, nullptr, nullptr));
  EXPECT_EQ(lat, 5.0);
  // A path of no length keeps its course instead of reversing it.
  GreatCircleDistanceCourses(40, 40, 40, 40, &d, &b, &final);
  EXPECT_EQ(final, b);
}

TEST(GreatCircle, CrossAndAlongTrack) {
  // P built 45' abeam of a foot 300' along the track.
  const double sLat = 20, sLon = -30, course = 50;
  double fLat, fLon, fCourse, pLat, pLon, eLat, eLon;
  GreatCircleDestination(sLat, sLon, course, 300, &fLat, &fLon, &fCourse);
  GreatCircleDestination(sLat, sLon, course, 900, &eLat, &eLon, nullptr);
  double xt, at;
  for (double side : {90.0, -90.0}) {
    GreatCircleDestination(fLat, fLon, fCourse + side, 45, &pLat, &pLon, nullptr);
    ASSERT_TRUE(CrossTrackDistance(sLat, sLon, eLat, eLon, pLat, pLon, &xt, &at));
    EXPECT_NEAR(xt, side > 0 ? 45.0 : -45.0, 1e-8);
    EXPECT_NEAR(at, 300.0, 1e-8);
  }
  // Behind the start.
  GreatCircleDestination(sLat, sLon, course + 180, 120, &pLat, &pLon, nullptr);
  CrossTrackDistance(sLat, sLon, eLat, eLon, pLat, pLon, &xt, &at);
  EXPECT_NEAR(at, -120.0, 1e-8);
  EXPECT_NEAR(xt, 0.0, 1e-8);
  // The circle's own pole is 90 degrees from all of it: any along-track, but
  // no NaN from 0/0.
  ASSERT_TRUE(CrossTrackDistance(0, 0, 0, 10, 90, 0, &xt, &at));
  EXPECT_NEAR(std::fabs(xt), 5400.0, 1e-8);
  EXPECT_TRUE(std::isfinite(at));
  EXPECT_FALSE(CrossTrackDistance(5, 5, 5, 5, 6, 6, &xt, &at));
}

TEST(GreatCircle, VertexLatitudeAndLongitude) {
  double latV, lonV, lat, lon;
  // From the equator at 45 degrees the circle rises to 45, 90 degrees on.
  ASSERT_TRUE(GreatCircleVertex(0.0, 10.0, 45.0, &latV, &lonV));
  EXPECT_NEAR(latV, 45.0, 1e-12);
  EXPECT_NEAR(lonV, 100.0, 1e-12);
  // Elsewhere: the highest latitude sampled along the circle.
  GreatCircleVertex(30.0, 10.0, 60.0, &latV, &lonV);
  double highest = -90, highestLon = 0;
  for (double s = 0; s < 21600; s += 1) {
    GreatCircleDestination(30.0, 10.0, 60.0, s, &lat, &lon, nullptr);
    if (lat > highest) {
      highest = lat;
      highestLon = lon;
    }
  }
  EXPECT_NEAR(latV, highest, 1e-5);
  EXPECT_NEAR(lonV, highestLon, 0.02);
  // The circle passes through its start, and reaches it back from latitude.
  GreatCircleLatitudeAt(latV, 10.0, lonV, &lat);
  EXPECT_NEAR(lat, 30.0, 1e-11);
  ASSERT_TRUE(LongitudeAtLatitude(12.0, latV, lonV, 30.0, &lon));
  EXPECT_NEAR(lon, 10.0, 1e-9);
  lon = 123;
  EXPECT_FALSE(LongitudeAtLatitude(0.0, latV, lonV, latV + 1.0, &lon));  // never that far north
  EXPECT_FALSE(LongitudeAtLatitude(0.0, 1e-9, lonV, 0.0, &lon));
  EXPECT_EQ(lon, 123.0);
  EXPECT_TRUE(LongitudeAtLatitude(0.0, latV, lonV, latV, &lon));  // the vertex itself
  EXPECT_NEAR(lon, lonV, 1e-6);
}

TEST(GreatCircle, CrossTrackByVertexIsThePerpendicularDistance) {
  const double lat = 25, lon = -40, course = 70;
  for (double pLat : {20.0, 30.0, 40.0}) {
    for (double pLon : {-35.0, -20.0}) {
      double byVertex, xt, at, eLat, eLon;
      ASSERT_TRUE(CrossTrackByVertex(lat, lon, course, pLat, pLon, &byVertex));
      GreatCircleDestination(lat, lon, course, 600, &eLat, &eLon, nullptr);
      CrossTrackDistance(lat, lon, eLat, eLon, pLat, pLon, &xt, &at);
      // A point south of this east-bound circle lies to starboard: the signs agree.
      EXPECT_NEAR(byVertex, xt, 1e-8);
    }
  }
  double d;
  EXPECT_FALSE(MeridianCrossTrack(90.0, 10.0, 90.0, &d));
}

TEST(GreatCircle, ClosestApproachToPoint) {
  double d, t, lat, lon;
  ASSERT_TRUE(ClosestApproachToPoint(0, 0, 10, 90, 0.5, 1.0, &d, &t, &lat, &lon));
  EXPECT_NEAR(d, 30.0, 1e-3);
  EXPECT_NEAR(t, 6 * 3600.0, 5.0);
  EXPECT_NEAR(Distance(lat, lon, 0.5, 1.0), d, 1e-9);
  ClosestApproachToPoint(0, 0, 10, 270, 0.5, 1.0, &d, &t, &lat, &lon);
  EXPECT_LT(t, 0.0);
  ClosestApproachToPoint(0, 0, 0.0, 90, 0.5, 1.0, &d, &t, &lat, &lon);
  EXPECT_EQ(t, 0.0);
  EXPECT_EQ(lat, 0.0);
  EXPECT_NEAR(d, Distance(0, 0, 0.5, 1.0), 1e-12);
}

TEST(GreatCircle, MidpointBulgesTowardsThePole) {
  double lat, lon;
  ASSERT_TRUE(GreatCircleMidpoint(50, 0, 50, 90, &lat, &lon));
  EXPECT_GT(lat, 59.0);  // not 50: the circle leaves the parallel
  EXPECT_NEAR(lon, 45.0, 1e-9);
  EXPECT_NEAR(Distance(50, 0, lat, lon), Distance(lat, lon, 50, 90), 1e-9);
  EXPECT_NEAR(2 * Distance(50, 0, lat, lon), Distance(50, 0, 50, 90), 1e-9);
  GreatCircleMidpoint(-12, 170, -12, 170, &lat, &lon);
  EXPECT_EQ(lat, -12.0);
  EXPECT_NEAR(lon, 170.0, 1e-12);
}

TEST(GreatCircle, AngleWithin) {
  EXPECT_FALSE(AngleWithin(350, 10, 20));
  EXPECT_TRUE(AngleWithin(350, 10, 20.5));
  EXPECT_TRUE(AngleWithin(10, 350, 20.5));
  EXPECT_FALSE(AngleWithin(0, 180, 100));
}

// Navigation on the sphere: NaN or infinite input returns false with the
// outputs as each header states; DBL_MAX angles are finite and answered.
TEST(GreatCircle, ExtremeArguments) {
  ForEachExtremeArgument(std::array<double, 6>{50, 0, 51, 2, 50.5, 1.5}, [](const auto& a) {
    const bool finite = std::isfinite(a[0] + a[1] + a[2] + a[3] + a[4] + a[5]);
    double o[4] = {-7, -7, -7, -7};
    EXPECT_EQ(GreatCircleDestination(a[0], a[1], a[2], a[3], &o[0], &o[1], &o[2]),
              std::isfinite(a[0] + a[1] + a[2] + a[3]));
    if (finite) return;
    o[0] = -7;
    EXPECT_EQ(RhumbDistance(a[0], a[1], a[2], a[3], &o[0], &o[1]),
              std::isfinite(a[0] + a[1] + a[2] + a[3]) && std::fabs(a[0]) <= 89.99999999 &&
                  std::fabs(a[2]) <= 89.99999999);
    EXPECT_FALSE(CrossTrackDistance(a[0], a[1], a[2], a[3], a[4], a[5], &o[0], &o[1]));
    EXPECT_EQ(o[0], 0.0);
    EXPECT_FALSE(GreatCircleIntersection(a[0], a[1], a[2], a[3], a[4], a[5], &o[0], &o[1]));
    EXPECT_FALSE(RhumbIntersection(a[0], a[1], a[2], a[3], a[4], a[5], &o[0], &o[1]));
    EXPECT_EQ(o[0], 0.0);
    EXPECT_FALSE(ClosestApproachToPoint(a[0], a[1], a[2], a[3], a[4], a[5], &o[0], &o[1], &o[2],
                                        &o[3]));
    EXPECT_FALSE(GreatCircleCrossingTime(a[0], a[1], 12.0, a[2], a[3], a[4], a[5], &o[0], &o[1],
                                         nullptr, nullptr));
    EXPECT_EQ(o[0], -1.0);
  });
  double lat, lon, course;
  ASSERT_TRUE(GreatCircleDestination(0, 0, DBL_MAX, 60, &lat, &lon, &course));
  EXPECT_TRUE(std::isfinite(lat) && std::isfinite(lon) && std::isfinite(course));
  EXPECT_FALSE(AngleWithin(kNaNValue, 10, 20));
}

// A longitude is a place within the turn, however large the double: every
// function taking longitudes answers DBL_MAX, 1e300 or 540 as it answers the
// ordinary longitude they equal modulo 360 (fmod is exact). The difference of
// two such longitudes used to overflow (DBL_MAX - -1e300 is inf) and give
// true with NaN results, and far below overflow it lost the place within the
// turn.
TEST(GreatCircle, ExtremeFiniteLongitudes) {
  const double lons[] = {DBL_MAX, -DBL_MAX, 1e300, -1e300, 1e20,  kDenormValue, -kDenormValue,
                         0.0,     180.0,    -180.0, 540.0, -540.0, 359.5};
  struct Answer {
    bool ok;
    double v[5];
  };
  // Outputs listed in angleMask are directions, compared modulo 360.
  const auto expectSame = [](const Answer& got, const Answer& want, unsigned angleMask,
                             const char* what, double l1, double l2) {
    ASSERT_EQ(got.ok, want.ok) << what << " " << l1 << " " << l2;
    for (int i = 0; i < 5; ++i) {
      const double gap = (angleMask >> i & 1u)
                             ? std::remainder(std::fmod(got.v[i], 360.0) - std::fmod(want.v[i], 360.0), 360.0)
                             : got.v[i] - want.v[i];
      EXPECT_TRUE(std::isfinite(got.v[i])) << what << " " << i << " " << l1 << " " << l2;
      EXPECT_NEAR(gap, 0.0, 1e-9) << what << " " << i << " " << l1 << " " << l2;
    }
  };
  for (double l1 : lons) {
    for (double l2 : lons) {
      const double r1 = std::fmod(l1, 360.0), r2 = std::fmod(l2, 360.0);
      // Runs `call` with the extreme and with the reduced longitudes.
      const auto both = [&](auto call, unsigned angleMask, const char* what) {
        Answer got{false, {-7, -7, -7, -7, -7}}, want = got;
        got.ok = call(l1, l2, got.v);
        want.ok = call(r1, r2, want.v);
        expectSame(got, want, angleMask, what, l1, l2);
      };
      both([](double a, double b, double* o) { return GreatCircleDistance(50, a, 51, b, &o[0], &o[1]); },
           0b10, "distance");
      both([](double a, double b, double* o) {
             return GreatCircleDistanceCourses(50, a, 51, b, &o[0], &o[1], &o[2]);
           }, 0b110, "distance and courses");
      both([](double a, double b, double* o) {
             return CrossTrackDistance(50, a, 51, b, 50.5, a, &o[0], &o[1]) &&
                    CrossTrackDistance(50, 1.5, 51, a, 50.5, b, &o[2], &o[3]);
           }, 0, "cross track");
      both([](double a, double b, double* o) {
             return ClosestApproachToPoint(50, a, 12, 80, 51, b, &o[0], &o[1], &o[2], &o[3]);
           }, 0b1000, "closest approach");
      both([](double a, double b, double* o) { return GreatCircleMidpoint(50, a, 51, b, &o[0], &o[1]); },
           0b10, "midpoint");
      both([](double a, double b, double* o) {
             return GreatCircleDestination(50, a, 80, 100, &o[0], &o[1], &o[2]) &&
                    GreatCircleVertex(50, b, 80, &o[3], &o[4]);
           }, 0b10110, "destination and vertex");
      both([](double a, double b, double* o) {
             return GreatCircleLatitudeAt(60, a, b, &o[0]) && LongitudeAtLatitude(a, 60, 3, 50, &o[1]) &&
                    LongitudeAtLatitude(1, 60, b, 50, &o[2]) && CrossTrackByVertex(50, a, 80, 51, b, &o[3]);
           }, 0b110, "by the vertex");
      both([](double a, double b, double* o) {
             return GreatCircleIntersection(50, a, 80, 51, b, 200, &o[0], &o[1]);
           }, 0b10, "intersection");
      both([](double a, double b, double* o) {
             return GreatCircleCrossingTime(50, a, 10, 80, 51, b, 200, &o[0], &o[1], &o[2], &o[3]);
           }, 0b1000, "crossing time");
      both([](double a, double b, double* o) {
             return RhumbDistance(50, a, 51, b, &o[0], &o[1]) && RhumbMidpoint(50, a, 51, b, &o[2], &o[3]) &&
                    RhumbDestination(50, a, 80, 100, nullptr, &o[4]);
           }, 0b11010, "rhumb distance, midpoint, destination");
      both([](double a, double b, double* o) {
             const bool crossing = RhumbMeridianCrossing(50, a, 80, b, &o[0]);
             return RhumbIntersection(50, a, 80, 51, b, 200, &o[1], &o[2]) && crossing;
           }, 0b100, "rhumb crossings");
    }
  }
}

// Finite extremes in every coordinate at once: a function that answers true
// answers with finite numbers.
TEST(GreatCircle, TrueMeansFiniteForEveryFiniteInput) {
  const double grid[] = {DBL_MAX, -DBL_MAX, 1e300, -1e300, kDenormValue, -kDenormValue,
                         0.0,     180.0,    -180.0, 540.0, 90.0,         -89.5};
  for (double a : grid) {
    for (double b : grid) {
      for (double c : grid) {
        for (double d : grid) {
          double o[4] = {0, 0, 0, 0};
          const auto check = [&](bool ok, const char* what) {
            for (double& v : o) {
              EXPECT_TRUE(!ok || std::isfinite(v)) << what << ' ' << a << ' ' << b << ' ' << c << ' ' << d;
              v = 0;
            }
          };
          check(GreatCircleDistance(a, b, c, d, &o[0], &o[1]), "distance");
          check(GreatCircleDistanceCourses(a, b, c, d, &o[0], &o[1], &o[2]), "courses");
          check(CrossTrackDistance(a, b, c, d, 50.5, b, &o[0], &o[1]), "cross track");
          check(ClosestApproachToPoint(a, b, 12, 80, c, d, &o[0], &o[1], &o[2], &o[3]), "closest");
          check(GreatCircleMidpoint(a, b, c, d, &o[0], &o[1]), "midpoint");
          check(RhumbDistance(a, b, c, d, &o[0], &o[1]), "rhumb distance");
          check(RhumbMidpoint(a, b, c, d, &o[0], &o[1]), "rhumb midpoint");
        }
      }
    }
  }
}

}  // namespace
