// SYSTEMTIME records for tests, field by field.
//
//   SYSTEMTIME st = MakeSystemTime(2024, 2, 29, 23, 59, 59, 999);
#pragma once

#include <cstdint>

#include "platform/system_time.h"

inline zor::platform::SYSTEMTIME MakeSystemTime(int y, int m, int d, int h = 0, int mi = 0,
                                                int s = 0, int ms = 0) {
  zor::platform::SYSTEMTIME st{};
  st.wYear = static_cast<uint16_t>(y);
  st.wMonth = static_cast<uint16_t>(m);
  st.wDay = static_cast<uint16_t>(d);
  st.wHour = static_cast<uint16_t>(h);
  st.wMinute = static_cast<uint16_t>(mi);
  st.wSecond = static_cast<uint16_t>(s);
  st.wMilliseconds = static_cast<uint16_t>(ms);
  return st;
}
