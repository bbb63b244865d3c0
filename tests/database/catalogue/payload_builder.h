// Record payloads for the catalogue and datum tests.
//
//   std::vector<uint8_t> p = PayloadBuilder(72).Word(0, 3).Text(4, "WGS 84").Put(48, 1.0).bytes();
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "platform/bytes.h"

class PayloadBuilder {
 public:
  explicit PayloadBuilder(std::size_t size, uint8_t fill = 0) : bytes_(size, fill) {}

  // Word n at bytes 4n..4n+3; the payload grows when it is too short.
  PayloadBuilder& Word(std::size_t n, int32_t value) { return Put(4 * n, value); }
  PayloadBuilder& Words(std::size_t first, std::initializer_list<int32_t> values) {
    for (int32_t v : values) Word(first++, v);
    return *this;
  }
  template <typename T>
  PayloadBuilder& Put(std::size_t at, T value) {
    if (bytes_.size() < at + sizeof(T)) bytes_.resize(at + sizeof(T));
    zor::platform::SetLE(std::span<uint8_t>(bytes_), at, value);
    return *this;
  }
  // The text's bytes alone, without a terminator.
  PayloadBuilder& Text(std::size_t at, std::string_view text) {
    if (bytes_.size() < at + text.size()) bytes_.resize(at + text.size());
    for (std::size_t i = 0; i < text.size(); ++i) bytes_[at + i] = static_cast<uint8_t>(text[i]);
    return *this;
  }

  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};
