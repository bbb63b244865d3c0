// The byte region underneath a settings buffer, kept behind a small interface
// so that a shared-memory mapping can replace the heap without changing the
// buffer's signatures.
//
//   auto region = std::make_unique<Zor::HeapMemoryRegion>();   // empty, growable
//   region->resize(4096);                                     // new bytes are zero
//   std::memcpy(region->data(), src, 16);
//
//   // A fixed image, e.g. bytes received from elsewhere (fuzzers, tests):
//   Zor::HeapMemoryRegion image(std::vector<uint8_t>(bytes, bytes + n), /*fixed=*/true);
//
// The content of a region is untrusted: another process may write it at any
// time, so readers bound every offset and count by size().
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace Zor {

class IMemoryRegion {
 public:
  virtual ~IMemoryRegion() = default;

  virtual uint8_t* data() noexcept = 0;
  virtual const uint8_t* data() const noexcept = 0;
  virtual std::size_t size() const noexcept = 0;

  // Changes the size to new_size bytes, keeping the first min(old, new) bytes
  // and zeroing the bytes added. False (region unchanged) when the region
  // cannot take that size; data() may move on success.
  virtual bool resize(std::size_t new_size) = 0;
};

// A region on the heap. A fixed region keeps its size: resize() then succeeds
// only for the size it already has.
class HeapMemoryRegion final : public IMemoryRegion {
 public:
  HeapMemoryRegion() = default;
  explicit HeapMemoryRegion(std::vector<uint8_t> bytes, bool fixed = false)
      : bytes_(std::move(bytes)), fixed_(fixed) {}

  uint8_t* data() noexcept override { return bytes_.data(); }
  const uint8_t* data() const noexcept override { return bytes_.data(); }
  std::size_t size() const noexcept override { return bytes_.size(); }
  bool resize(std::size_t new_size) override;

  bool fixed() const noexcept { return fixed_; }

 private:
  std::vector<uint8_t> bytes_;
  bool fixed_ = false;
};

}  // namespace Zor
