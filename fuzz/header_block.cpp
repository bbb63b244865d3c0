// Feeds arbitrary block contents to the two settings-buffer readers of the
// header records: the packed header block and the fixed-size record table.
// The header list's read allocates no more than a few times the block,
// whatever its count and sizes claim (watched through the allocator's hook).
// Input: u32 stored record count, u8 record size of the table, then the
// block's bytes. The block is the last thing in its region, so a read past it
// is a read past the allocation.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "Drivers/framework/ipc_item_buffer.h"
#include "Drivers/framework/ipc_region.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_sub_list.h"
#include "fuzz/fuzz_support.h"

namespace {

std::unique_ptr<CIpcItemBuffer> BlockBuffer(const uint8_t* bytes, std::size_t size,
                                            uint32_t count, uint32_t recordSize) {
  Zor::MultiIPCBuffer work;
  const int index = work.AddBlock(23, recordSize, 0);
  if (index < 0 || !work.ResizeBlock(index, static_cast<uint32_t>(size))) return nullptr;
  if (size > 0) std::memcpy(work.GetBlockData(index), bytes, size);
  work.SetRecordCount(index, count);
  const uint8_t* region = work.GetRegion().data();
  std::vector<uint8_t> exact(region, region + work.GetRegion().size());
  return std::make_unique<CIpcItemBuffer>(
      "Settings", std::make_unique<Zor::HeapMemoryRegion>(std::move(exact), true));
}

std::vector<uint8_t> Block(const CIpcItemBuffer& settings) {
  const uint8_t* data = settings.GetBuffer().GetBlockData(0);
  if (data == nullptr) return {};
  return std::vector<uint8_t>(data, data + settings.GetBuffer().GetBlockSize(0));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zor::fuzz::InstallAllocationWatch();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  uint32_t count = 0;
  std::memcpy(&count, data, 4);
  const uint32_t recordSize = data[4];
  data += 5;
  size -= 5;

  auto settings = BlockBuffer(data, size, count, recordSize);
  if (!settings) return 0;

  CHdrList list;
  zor::fuzz::g_largest = 0;
  zor::fuzz::g_allocated = 0;
  const bool whole = list.ReadFromSettingsBuffer(settings.get(), 1);
  // The payload block, the entries (40 bytes for each image of 28) and
  // their order; the warning's log line besides.
  zor::fuzz::Check(zor::fuzz::g_largest <= std::max<size_t>(size, 4096) + 4096);
  zor::fuzz::Check(zor::fuzz::g_allocated <= 4 * size + 16384);
  if (whole && list.GetCount() != count) __builtin_trap();
  if (list.GetCount() > count) __builtin_trap();

  // Whatever was read writes and reads back to the same bytes.
  CIpcItemBuffer first("first");
  first.GetBuffer().AddBlock(23, 0, 0);
  if (!list.WriteToSettingsBuffer(&first, 1)) __builtin_trap();
  CHdrList again;
  if (!again.ReadFromSettingsBuffer(&first, 1)) __builtin_trap();
  CIpcItemBuffer second("second");
  second.GetBuffer().AddBlock(23, 0, 0);
  if (!again.WriteToSettingsBuffer(&second, 1)) __builtin_trap();
  if (Block(first) != Block(second)) __builtin_trap();
  if (std::bit_cast<uint64_t>(again.GetGpsUtcOffset()) !=
          std::bit_cast<uint64_t>(list.GetGpsUtcOffset()) ||
      std::bit_cast<uint64_t>(again.GetSurveyUnitFactor()) !=
          std::bit_cast<uint64_t>(list.GetSurveyUnitFactor()))
    __builtin_trap();

  CHdrSubList sub;
  sub.ReadFromSettingsBuffer(settings.get(), 1);
  if (sub.GetCount() > count) __builtin_trap();
  for (const CHdrSubList::Element& e : sub) {
    if (e.size() != recordSize) __builtin_trap();
  }
  return 0;
}
