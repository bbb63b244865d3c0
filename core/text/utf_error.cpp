#include "core/text/utf_error.h"

namespace Zor {

utf_encoding_error::utf_encoding_error() : std::runtime_error("invalid UTF encoding") {}

unicode_plane_error::unicode_plane_error()
    : std::runtime_error("character value is outside the Unicode plane") {}

}  // namespace Zor
