// Collecting installed font names through the font-family enumeration
// callback form (face name or full name, filtered by font type).
//
//   FontNameCollector fonts{{}, kTrueTypeFontType};
//   for each font the enumerator reports:
//     AddFontFaceName(&font, &metrics, fontType, reinterpret_cast<intptr_t>(&fonts));
//   // fonts.names now holds the matching face names, in enumeration order
//
// Linux has no such enumeration; the callbacks serve any enumerator that
// reports fonts in these records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The font description the enumerator reports, in Windows' byte layout.
struct LOGFONTA {
  int32_t lfHeight;
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char lfFaceName[32];
};
static_assert(sizeof(LOGFONTA) == 60);
static_assert(offsetof(LOGFONTA, lfWeight) == 16);
static_assert(offsetof(LOGFONTA, lfItalic) == 20);
static_assert(offsetof(LOGFONTA, lfPitchAndFamily) == 27);
static_assert(offsetof(LOGFONTA, lfFaceName) == 28);

struct ENUMLOGFONTA {
  LOGFONTA elfLogFont;
  uint8_t elfFullName[64];
  uint8_t elfStyle[32];
};
static_assert(sizeof(ENUMLOGFONTA) == 156);
static_assert(offsetof(ENUMLOGFONTA, elfFullName) == 60);
static_assert(offsetof(ENUMLOGFONTA, elfStyle) == 124);

struct TEXTMETRICA {
  int32_t tmHeight;
  int32_t tmAscent;
  int32_t tmDescent;
  int32_t tmInternalLeading;
  int32_t tmExternalLeading;
  int32_t tmAveCharWidth;
  int32_t tmMaxCharWidth;
  int32_t tmWeight;
  int32_t tmOverhang;
  int32_t tmDigitizedAspectX;
  int32_t tmDigitizedAspectY;
  uint8_t tmFirstChar;
  uint8_t tmLastChar;
  uint8_t tmDefaultChar;
  uint8_t tmBreakChar;
  uint8_t tmItalic;
  uint8_t tmUnderlined;
  uint8_t tmStruckOut;
  uint8_t tmPitchAndFamily;
  uint8_t tmCharSet;
};
static_assert(sizeof(TEXTMETRICA) == 56);
static_assert(offsetof(TEXTMETRICA, tmFirstChar) == 44);
static_assert(offsetof(TEXTMETRICA, tmCharSet) == 52);

// Font type bits of the enumeration.
inline constexpr uint32_t kRasterFontType = 0x0001;
inline constexpr uint32_t kDeviceFontType = 0x0002;
inline constexpr uint32_t kTrueTypeFontType = 0x0004;

// What the callbacks fill: the names of fonts whose type bits all lie in
// `typeMask`.
struct FontNameCollector {
  std::vector<std::string> names;
  uint32_t typeMask = 0;
};

// Append the font's face name (lfFaceName) or full name (elfFullName) to the
// FontNameCollector that `collector` points to, when every bit of fontType is
// in its mask. Names are read up to their field width. Both return nonzero so
// that the enumeration goes on.
int AddFontFaceName(const ENUMLOGFONTA* font, const TEXTMETRICA* metrics, uint32_t fontType,
                    intptr_t collector);
int AddFontFullName(const ENUMLOGFONTA* font, const TEXTMETRICA* metrics, uint32_t fontType,
                    intptr_t collector);
