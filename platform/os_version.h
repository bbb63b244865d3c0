// The operating-system version record of Windows and the
// questions asked of it.
//
//   zor::platform::OSVERSIONINFOEX info{};
//   info.dwOSVersionInfoSize = sizeof info;
//   if (!zor::platform::GetVersionEx(info)) { /* all fields stay as they were */ }
//
// Linux has no such record: GetVersionEx always fails, so callers fall back to
// their "unknown" answers (version code 0, name "Unknown").
#pragma once

#include <cstddef>
#include <cstdint>

namespace zor::platform {

struct OSVERSIONINFOEX {
  uint32_t dwOSVersionInfoSize;
  uint32_t dwMajorVersion;
  uint32_t dwMinorVersion;
  uint32_t dwBuildNumber;
  uint32_t dwPlatformId;
  char szCSDVersion[128];
  uint16_t wServicePackMajor;
  uint16_t wServicePackMinor;
  uint16_t wSuiteMask;
  uint8_t wProductType;
  uint8_t wReserved;
};
static_assert(sizeof(OSVERSIONINFOEX) == 156);
static_assert(offsetof(OSVERSIONINFOEX, dwPlatformId) == 16);
static_assert(offsetof(OSVERSIONINFOEX, szCSDVersion) == 20);
static_assert(offsetof(OSVERSIONINFOEX, wServicePackMajor) == 148);
static_assert(offsetof(OSVERSIONINFOEX, wProductType) == 154);

// The short form of the record ends before the service-pack fields.
inline constexpr uint32_t kOsVersionInfoShortSize = 148;

// Linux has no version record of this kind: always false, nothing written.
inline bool GetVersionEx(OSVERSIONINFOEX&) noexcept { return false; }

}  // namespace zor::platform
