#include "core/text/font_names.h"

#include <cstring>

namespace {

int AddName(const char* field, std::size_t width, uint32_t fontType, intptr_t collector) {
  auto* fonts = reinterpret_cast<FontNameCollector*>(collector);
  if (!fonts || (fontType & fonts->typeMask) != fontType) return 1;
  fonts->names.emplace_back(field, strnlen(field, width));
  return 1;
}

}  // namespace

int AddFontFaceName(const ENUMLOGFONTA* font, const TEXTMETRICA* /*metrics*/, uint32_t fontType,
                    intptr_t collector) {
  if (!font) return 1;
  return AddName(font->elfLogFont.lfFaceName, sizeof font->elfLogFont.lfFaceName, fontType,
                 collector);
}

int AddFontFullName(const ENUMLOGFONTA* font, const TEXTMETRICA* /*metrics*/, uint32_t fontType,
                    intptr_t collector) {
  if (!font) return 1;
  return AddName(reinterpret_cast<const char*>(font->elfFullName), sizeof font->elfFullName,
                 fontType, collector);
}
