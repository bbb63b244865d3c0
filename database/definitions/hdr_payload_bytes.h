// The payload bytes of one header entry. An entry made on its own owns a heap
// block; an entry that a header list read in bulk points into a block that
// the list owns and frees with itself. Callers see one thing either way: a
// byte container that is read and written like a std::vector<uint8_t>.
//
//   sHdrEntry e;
//   e.payload.assign(48, 0);                // a heap block of its own
//   e.payload = std::vector<uint8_t>(4);    // converts both ways
//   std::span<uint8_t> bytes(e.payload);    // contiguous
//
// Writing bytes in place never moves them. Changing the length (assign of
// another length, resize, clear) gives the entry a heap block of its own and
// leaves the list's block alone. Copying gives the copy its own heap block;
// moving hands the bytes over, and a moved payload that pointed into a list's
// block gets its own copy, so nothing outlives the list it came from.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>
#include <stdexcept>
#include <vector>

class HdrPayload {
 public:
  using value_type = uint8_t;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;
  using reference = uint8_t&;
  using const_reference = const uint8_t&;
  using pointer = uint8_t*;
  using const_pointer = const uint8_t*;
  using iterator = uint8_t*;
  using const_iterator = const uint8_t*;

  HdrPayload() noexcept = default;
  HdrPayload(const HdrPayload& other) { CopyIn(other.data_, other.size_); }
  HdrPayload(HdrPayload&& other) { Take(other); }
  HdrPayload(const std::vector<uint8_t>& bytes) { CopyIn(bytes.data(), bytes.size()); }  // NOLINT
  ~HdrPayload() { clear(); }

  HdrPayload& operator=(const HdrPayload& other) {
    if (this != &other) Replace(other.data_, other.size_);
    return *this;
  }
  HdrPayload& operator=(HdrPayload&& other) {
    if (this != &other) Take(other);
    return *this;
  }
  HdrPayload& operator=(const std::vector<uint8_t>& bytes) {
    Replace(bytes.data(), bytes.size());
    return *this;
  }

  // ---- Read access --------------------------------------------------------

  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  uint8_t* data() noexcept { return data_; }
  const uint8_t* data() const noexcept { return data_; }
  uint8_t* begin() noexcept { return data_; }
  uint8_t* end() noexcept { return data_ + size_; }
  const uint8_t* begin() const noexcept { return data_; }
  const uint8_t* end() const noexcept { return data_ + size_; }
  uint8_t& operator[](std::size_t i) noexcept { return data_[i]; }
  const uint8_t& operator[](std::size_t i) const noexcept { return data_[i]; }

  operator std::vector<uint8_t>() const { return std::vector<uint8_t>(begin(), end()); }  // NOLINT

  friend bool operator==(const HdrPayload& a, const HdrPayload& b) noexcept {
    return Equal(a, b.data_, b.size_);
  }
  friend bool operator==(const HdrPayload& a, const std::vector<uint8_t>& b) noexcept {
    return Equal(a, b.data(), b.size());
  }

  // ---- Changes ------------------------------------------------------------

  // n bytes of value.
  void assign(std::size_t n, uint8_t value) {
    Reshape(n);
    if (n > 0) std::memset(data_, value, n);
  }
  // The bytes of [first, last).
  template <std::forward_iterator It>
  void assign(It first, It last) {
    const auto n = static_cast<std::size_t>(std::distance(first, last));
    if constexpr (std::contiguous_iterator<It> && sizeof(*std::to_address(first)) == 1) {
      Replace(n == 0 ? nullptr : reinterpret_cast<const uint8_t*>(std::to_address(first)), n);
    } else {
      Reshape(n);
      std::copy(first, last, data_);
    }
  }
  // Keeps the first min(n, size()) bytes; new bytes are zero.
  void resize(std::size_t n) {
    if (n == size_) return;
    if (n == 0) return clear();
    uint8_t* block = NewBlock(n);
    const std::size_t kept = std::min(n, std::size_t{size_});
    if (kept > 0) std::memcpy(block, data_, kept);
    if (n > kept) std::memset(block + kept, 0, n - kept);
    Own(block, n);
  }
  void clear() noexcept {
    if (owned_) delete[] data_;
    data_ = nullptr;
    size_ = 0;
    owned_ = false;
  }

  // ---- For the list that owns the storage ---------------------------------

  // Points at n bytes that the caller keeps alive as long as this payload
  // uses them (null for n == 0).
  void Borrow(uint8_t* data, uint32_t n) noexcept {
    clear();
    data_ = n == 0 ? nullptr : data;
    size_ = n;
  }

 private:
  static bool Equal(const HdrPayload& a, const uint8_t* data, std::size_t n) noexcept {
    return a.size_ == n && (n == 0 || std::memcmp(a.data_, data, n) == 0);
  }
  // A heap block of n bytes (null for 0); a header payload's length is a
  // 32-bit field wherever it is stored.
  static uint8_t* NewBlock(std::size_t n) {
    if (n > UINT32_MAX) throw std::length_error("header payload longer than 4 GiB");
    return n == 0 ? nullptr : new uint8_t[n];
  }
  void Own(uint8_t* block, std::size_t n) noexcept {
    clear();
    data_ = block;
    size_ = static_cast<uint32_t>(n);
    owned_ = block != nullptr;
  }
  // n bytes with unspecified content; reuses the present bytes when the
  // length does not change.
  void Reshape(std::size_t n) {
    if (n != size_) Own(NewBlock(n), n);
  }
  void CopyIn(const uint8_t* from, std::size_t n) {
    Reshape(n);
    if (n > 0) std::memcpy(data_, from, n);
  }
  // Copies n bytes in; the source may be this payload's own bytes.
  void Replace(const uint8_t* from, std::size_t n) {
    if (n == size_) {
      if (n > 0 && from != data_) std::memmove(data_, from, n);
      return;
    }
    uint8_t* block = NewBlock(n);
    if (n > 0) std::memcpy(block, from, n);
    Own(block, n);
  }
  void Take(HdrPayload& other) {
    if (other.owned_ || other.size_ == 0) {
      clear();
      std::swap(data_, other.data_);
      std::swap(size_, other.size_);
      std::swap(owned_, other.owned_);
    } else {
      Replace(other.data_, other.size_);
      other.clear();
    }
  }

  uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
  bool owned_ = false;  // data_ is a heap block of ours
};
