// Short texts of numbers as the suite shows them: byte sizes, distances,
// values with a unit, bearings, degrees and decimal minutes, chainage.
//
//   std::string s;
//   FormatByteSize(s, 1572864, /*compact=*/true);   // "1.5MB"
//   FormatByteSize(s, 1263616, false);              // "1,234KB" (locale grouping)
//   std::string t = FormatSize(1536.0);             // "1.5 KB"
//   FormatDistance(s, 0.5, -1, kDistanceAuto);      // "926.0 m"
//   FormatWithUnit(s, 12.5, 2, "kn");               // "12.50 kn"
//   FormatBearing(s, -90.0, 0);                     // "270" and the degree sign
//   FormatLatitudeDm(s, -52.5, 3);                  // "52 30.000 S"
//   FormatHectometreText(s, 12.345, 2);             // "123+45.00"
//
// A `decimals` of -1 means "as many as the first significant digit needs"
// where the function says so (DecimalsForValue); otherwise decimals are
// clamped to 0..kMaxTextDecimals. Non-finite values print as printf prints
// them and never loop or overflow.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int kMaxTextDecimals = 32;

// Units of FormatDistance.
inline constexpr int kDistanceNauticalMiles = 0;
inline constexpr int kDistanceMetres = 1;
inline constexpr int kDistanceKilometres = 2;
// Nautical miles from 0.54 NM on, metres below.
inline constexpr int kDistanceAuto = 3;

// Kilobytes of `bytes`. Compact: one decimal and "KB", "MB" or "GB"
// ("12.5MB"). Otherwise whole kilobytes rounded up, grouped as the locale
// groups numbers, and "KB" ("1,234KB").
std::string& FormatByteSize(std::string& out, uint64_t bytes, bool compact);
std::string& FormatByteSize32(std::string& out, uint32_t bytes, bool compact);

// "N bytes" below 1024, else "%.1lf KB" / "MB" / "GB" ("1.5 MB").
std::string FormatSize(double bytes);

// Decimals that show the first significant digit: 1 for 0, 6 below 1e-5,
// ... 1 below 1, 0 from 1 on (by absolute value).
int DecimalsForValue(double value);

// A distance given in nautical miles, in the unit chosen ("2.00 NM",
// "926.0 m", "0.93 km"); empty for an unknown unit. decimals -1 takes
// DecimalsForValue of the nautical miles.
void FormatDistance(std::string& out, double nauticalMiles, int decimals, int unit);

// The value, a blank and the unit text as it stands; decimals -1 takes
// DecimalsForValue.
void FormatWithUnit(std::string& out, double value, int decimals, const std::string& unit);

// The angle in 0 <= a < 360 followed by the degree sign of GetSpecialChar.
void FormatBearing(std::string& out, double degrees, int decimals);

// "dd mm.mmm H" / "ddd mm.mmm H": whole degrees, decimal minutes (two digits
// before the point) and 'N'/'S' or 'E'/'W'. Minutes that would round up to
// "60" print as the next degree with zero minutes.
void FormatLatitudeDm(std::string& out, double degrees, int decimals);
void FormatLongitudeDm(std::string& out, double degrees, int decimals);
// Latitude, two blanks, longitude.
void FormatLatLonDm(std::string& out, const double& latitude, const double& longitude,
                    int decimals);

// FormatDms of core/text/latlon_format.h ("52;30;00.000N"), seconds carried.
void FormatDmsText(std::string& out, double degrees, int decimals, bool latitude);

// Chainage: hectometres (kilometres * 10, truncated), '+' or '-' for the sign
// of the value, and the metres left over, zero-padded to two digits before
// the point: 12.345 -> "123+45.00", -0.05 -> "0-50".
void FormatHectometreText(std::string& out, double kilometres, int decimals);
