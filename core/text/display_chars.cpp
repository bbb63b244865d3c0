#include "core/text/display_chars.h"

#include "platform/locale.h"

namespace {

// Primary languages whose texts the system shows in Windows-1252.
bool UsesWindows1252(uint16_t languageId) {
  switch (languageId & 0xFF) {
    case 6: case 7: case 9: case 10: case 11: case 12: case 16: case 19: case 22: case 29:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::array<std::string, kSpecialCharCount> SpecialCharsForLanguage(uint16_t languageId) {
  if (UsesWindows1252(languageId)) {
    return {"\xA6", "\xA9", "\xAE", "\xB0", "\xB1", "\xDF",
            "\xDC", "\xFC", "\xD6", "\xF6", "\xB2"};
  }
  return {"|", "(c)", "(r)", "deg", "+/-", "B", "UE", "ue", "OE", "oe", ""};
}

std::string GetSpecialChar(int index) {
  static const std::array<std::string, kSpecialCharCount> table =
      SpecialCharsForLanguage(zor::platform::GetUserLocale().languageId);
  if (index < 0 || index >= kSpecialCharCount) return std::string();
  return table[static_cast<size_t>(index)];
}
