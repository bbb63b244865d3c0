#include "platform/locale.h"

namespace zor::platform {
namespace {

LocaleInfo& CurrentLocale() {
  static LocaleInfo locale;
  return locale;
}

}  // namespace

LocaleInfo DefaultLocale() { return LocaleInfo{}; }

const LocaleInfo& GetUserLocale() { return CurrentLocale(); }

void SetUserLocale(const LocaleInfo& locale) { CurrentLocale() = locale; }

void ResetUserLocale() { CurrentLocale() = LocaleInfo{}; }

}  // namespace zor::platform
