// glibc's iconv as an independent reference for the text conversion tests.
//
//   IconvReference to_utf16("UTF-16LE", "UTF-8");
//   std::optional<std::string> r = to_utf16("\xC3\xA9");  // nullopt: rejected
#pragma once

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

class IconvReference {
 public:
  IconvReference(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) ADD_FAILURE() << "iconv cannot convert " << from << " to " << to;
  }
  ~IconvReference() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  IconvReference(const IconvReference&) = delete;
  IconvReference& operator=(const IconvReference&) = delete;

  // The whole input converted, or nullopt when iconv rejects any of it
  // (including a sequence cut short by the end).
  std::optional<std::string> operator()(std::string_view in) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out(in.size() * 4 + 16, '\0');
    char* ip = const_cast<char*>(in.data());
    size_t il = in.size();
    char* op = out.data();
    size_t ol = out.size();
    if (iconv(cd_, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return std::nullopt;
    out.resize(out.size() - ol);
    return out;
  }

 private:
  iconv_t cd_;
};

// The bytes of a UTF-16 or UTF-32 string, as iconv's little-endian forms hold them.
template <typename Char>
std::string LittleEndianBytes(const std::basic_string<Char>& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(Char));
}
