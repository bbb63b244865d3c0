// Builds project settings files byte by byte, as other programs of the suite
// (and older versions of this one) wrote them.
//
//   std::string bytes = SettingsBytes().U8(5).Text("root").U32(0xF9FFFFFF).bytes();
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

class SettingsBytes {
 public:
  SettingsBytes& U8(uint8_t v) { return Raw(&v, 1); }
  SettingsBytes& U16(uint16_t v) { return Raw(&v, 2); }
  SettingsBytes& U32(uint32_t v) { return Raw(&v, 4); }
  SettingsBytes& I32(int32_t v) { return Raw(&v, 4); }
  SettingsBytes& F64(double v) { return Raw(&v, 8); }
  SettingsBytes& Raw(const void* p, std::size_t n) {
    m_bytes.append(static_cast<const char*>(p), n);
    return *this;
  }
  SettingsBytes& Zeros(std::size_t n) {
    m_bytes.append(n, '\0');
    return *this;
  }
  // A text in the archive's 8-bit form.
  SettingsBytes& Text(const std::string& s) {
    if (s.size() < 0xFF) {
      U8(static_cast<uint8_t>(s.size()));
    } else if (s.size() < 0xFFFE) {
      U8(0xFF).U16(static_cast<uint16_t>(s.size()));
    } else {
      U8(0xFF).U16(0xFFFF).U32(static_cast<uint32_t>(s.size()));
    }
    m_bytes += s;
    return *this;
  }
  // A fixed text field: the text, then zeros up to `width`.
  SettingsBytes& Field(const std::string& s, std::size_t width = 260) {
    m_bytes += s.substr(0, width);
    return Zeros(width - std::min(width, s.size()));
  }
  const std::string& bytes() const { return m_bytes; }
  std::size_t size() const { return m_bytes.size(); }

 private:
  std::string m_bytes;
};
