#include "platform/ctime.h"

namespace zor::platform {
namespace {

// The platform's time object held instants from 1970-01-01 00:00:00 UTC to
// 3000-12-31 23:59:59 UTC; local times outside that made it throw.
constexpr std::time_t kLastSecond = 32535215999;

}  // namespace

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int dst) {
  // 3000 is the last year the platform's 64-bit time functions accepted.
  if (year < 1900 || year > 3000 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
      hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    throw std::invalid_argument("CTime: field out of range");
  }
  std::tm broken{};
  broken.tm_year = year - 1900;
  broken.tm_mon = month - 1;
  broken.tm_mday = day;
  broken.tm_hour = hour;
  broken.tm_min = minute;
  broken.tm_sec = second;
  broken.tm_isdst = dst;
  tzset();
  // tm_wday stays -1 only when mktime fails (its -1 is also a valid instant).
  broken.tm_wday = -1;
  const std::time_t t = std::mktime(&broken);
  if (broken.tm_wday == -1 || t < 0 || t > kLastSecond)
    throw std::invalid_argument("CTime: time outside the representable range");
  time_ = t;
}

bool CTime::GetLocalTm(std::tm& out) const noexcept {
  tzset();
  return localtime_r(&time_, &out) != nullptr;
}

std::string CTime::Format(const char* pattern) const {
  if (pattern == nullptr) return {};
  std::tm broken{};
  if (!GetLocalTm(broken)) return {};
  char buffer[128];
  const std::size_t n = std::strftime(buffer, sizeof buffer, pattern, &broken);
  return std::string(buffer, n);
}

}  // namespace zor::platform
