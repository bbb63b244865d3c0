#include "core/text/font_names.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

ENUMLOGFONTA MakeFont(const char* face, const char* full) {
  ENUMLOGFONTA f{};
  std::memcpy(f.elfLogFont.lfFaceName, face, std::strlen(face));  // short names only
  std::memcpy(f.elfFullName, full, std::strlen(full));
  return f;
}

TEST(FontNamesTest, CollectsNamesOfMatchingTypes) {
  FontNameCollector fonts;
  fonts.typeMask = kTrueTypeFontType | kDeviceFontType;
  const auto handle = reinterpret_cast<intptr_t>(&fonts);
  const ENUMLOGFONTA a = MakeFont("Sans", "Sans Bold");
  const ENUMLOGFONTA b = MakeFont("Fixed", "Fixed Regular");
  TEXTMETRICA tm{};
  EXPECT_NE(AddFontFaceName(&a, &tm, kTrueTypeFontType, handle), 0);
  EXPECT_NE(AddFontFaceName(&b, &tm, kRasterFontType, handle), 0);  // not in the mask
  EXPECT_NE(AddFontFullName(&a, &tm, kTrueTypeFontType | kDeviceFontType, handle), 0);
  EXPECT_NE(AddFontFullName(&b, &tm, kTrueTypeFontType | kRasterFontType, handle), 0);
  EXPECT_EQ(fonts.names, (std::vector<std::string>{"Sans", "Sans Bold"}));
}

TEST(FontNamesTest, NamesFillingTheirFieldAndNullArguments) {
  FontNameCollector fonts;
  fonts.typeMask = kTrueTypeFontType;
  ENUMLOGFONTA f{};
  std::memset(f.elfLogFont.lfFaceName, 'F', sizeof f.elfLogFont.lfFaceName);  // no zero
  std::memset(f.elfFullName, 'N', sizeof f.elfFullName);
  const auto handle = reinterpret_cast<intptr_t>(&fonts);
  AddFontFaceName(&f, nullptr, kTrueTypeFontType, handle);
  AddFontFullName(&f, nullptr, kTrueTypeFontType, handle);
  ASSERT_EQ(fonts.names.size(), 2u);
  EXPECT_EQ(fonts.names[0], std::string(32, 'F'));
  EXPECT_EQ(fonts.names[1], std::string(64, 'N'));
  EXPECT_NE(AddFontFaceName(nullptr, nullptr, kTrueTypeFontType, handle), 0);
  EXPECT_NE(AddFontFullName(&f, nullptr, kTrueTypeFontType, 0), 0);
  EXPECT_EQ(fonts.names.size(), 2u);
}

}  // namespace
