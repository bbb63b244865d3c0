// The install folder of a product, found among the version keys of the local
// machine, and the version comparison it uses.
//
//   std::string dir = GetInstallDir(10, "");   // "InstallDir" of the highest
//                                              // version below SOFTWARE\Zor\Wj
//   IsVersionLessOrSame("8.1.0.5", "8.10.0.1") // true: numbers, not text
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Product 10 (code "Wj") only; any other id throws std::runtime_error with
// "This function is not yet implemented for the passed product". Picks the
// highest version sub-key that is not below `min_version` (an empty minimum
// admits all) and returns its "InstallDir" value; "" when there is no such
// key or value.
std::string GetInstallDir(int32_t product_id, const std::string& min_version);

// Up to four numbers separated by single characters ("8.10.0.1"); missing
// parts are 0.
std::array<int32_t, 4> ParseVersionNumbers(const std::string& text);
// True when the texts are equal ignoring case, else when the numbers of `a`
// come before those of `b`.
bool IsVersionLessOrSame(const std::string& a, const std::string& b);
