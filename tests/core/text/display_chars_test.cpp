#include "core/text/display_chars.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "platform/locale.h"

namespace {

TEST(SpecialChars, TableByLanguage) {
  // English, German, French (Canada: only the low 8 bits count).
  for (uint16_t id : {0x0409, 0x0407, 0x0C0C}) {
    const auto t = SpecialCharsForLanguage(id);
    EXPECT_EQ(t[kSpecialCharDegree], "\xB0");
    EXPECT_EQ(t[kSpecialCharUpperUUmlaut], "\xDC");
    for (const std::string& s : t) EXPECT_EQ(s.size(), 1u) << id;
  }
  for (uint16_t id : {0x0411, 0x0419, 0x0108}) {
    const auto t = SpecialCharsForLanguage(id);
    EXPECT_EQ(t[kSpecialCharBrokenBar], "|");
    EXPECT_EQ(t[kSpecialCharDegree], "deg");
    EXPECT_EQ(t[kSpecialCharPlusMinus], "+/-");
    EXPECT_EQ(t[kSpecialCharSuperscriptTwo], "");
  }
  const auto expected = SpecialCharsForLanguage(zor::platform::GetUserLocale().languageId);
  for (int i = 0; i < kSpecialCharCount; ++i) EXPECT_EQ(GetSpecialChar(i), expected[i]);
  EXPECT_EQ(GetSpecialChar(11), "");
  EXPECT_EQ(GetSpecialChar(-1), "");
}

}  // namespace
