// Sets the TZ environment variable for one scope and restores it after.
//
//   {
//     ScopedTz tz("CET-1CEST,M3.5.0,M10.5.0/3");
//     ...   // the C library's local time follows the rule
//   }       // TZ as before
#pragma once

#include <time.h>

#include <cstdlib>
#include <optional>
#include <string>

class ScopedTz {
 public:
  explicit ScopedTz(const char* tz) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTz() {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ScopedTz(const ScopedTz&) = delete;
  ScopedTz& operator=(const ScopedTz&) = delete;

 private:
  std::optional<std::string> saved_;
};

inline constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
inline constexpr const char* kUsEastern = "EST5EDT,M3.2.0,M11.1.0";
