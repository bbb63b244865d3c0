// Hand-made project database files for tests.
//
//   DbBytes db;
//   db.Count(2).Block(33, {1, 2, 3}).Block(35, std::vector<uint8_t>(11280));
//   std::string path = tmp.Write("a.zdb", db.str());
//   std::string after = ReadAll(path);
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class DbBytes {
 public:
  DbBytes& Count(int32_t count) { return Put(count); }
  // A block with its header; `size` overrides the size written in the header.
  DbBytes& Block(uint32_t type, const std::vector<uint8_t>& data) {
    return Block(type, data, static_cast<uint32_t>(data.size()));
  }
  DbBytes& Block(uint32_t type, const std::vector<uint8_t>& data, uint32_t size) {
    Put(type).Put(size);
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  DbBytes& Block(uint32_t type, std::size_t size, uint8_t fill) {
    return Block(type, std::vector<uint8_t>(size, fill));
  }
  template <typename T>
  DbBytes& Put(const T& value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    bytes_.insert(bytes_.end(), p, p + sizeof(T));
    return *this;
  }
  DbBytes& Raw(const std::vector<uint8_t>& raw) {
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    return *this;
  }

  std::size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::string str() const { return std::string(bytes_.begin(), bytes_.end()); }

 private:
  std::vector<uint8_t> bytes_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename T>
T ValueAt(const std::string& bytes, std::size_t offset) {
  T value{};
  if (offset + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}
