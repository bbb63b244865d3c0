// The header list's packed block in the settings buffer.
#include <cstring>
#include <limits>
#include <span>

#include "Drivers/framework/ipc_item_buffer.h"
#include "core/log/logger.h"
#include "database/header/hdr_list.h"

bool CHdrList::WriteToSettingsBuffer(CIpcItemBuffer* buffer, int32_t item) const {
  if (buffer == nullptr || item < 1) return false;
  uint64_t total = 0;
  for (const sHdrEntry& e : *this) total += kHdrEntryImageSize + uint64_t{e.payload.size()};
  if (total > std::numeric_limits<uint32_t>::max()) return false;

  Zor::MultiIPCBuffer& shared = buffer->GetBuffer();
  const int index = item - 1;
  if (!shared.ResizeBlock(index, static_cast<uint32_t>(total))) return false;
  uint8_t* out = shared.GetBlockData(index);
  if (total > 0 && (out == nullptr || shared.GetBlockSize(index) < total)) return false;

  std::size_t offset = 0;
  for (const sHdrEntry& e : *this) {
    const sHdrEntryImage image = ToImage(e);
    std::memcpy(out + offset, &image, kHdrEntryImageSize);
    offset += kHdrEntryImageSize;
    if (!e.payload.empty()) std::memcpy(out + offset, e.payload.data(), e.payload.size());
    offset += e.payload.size();
  }
  shared.SetRecordCount(index, static_cast<uint32_t>(entries_.size()));
  return true;
}

bool CHdrList::ReadFromSettingsBuffer(CIpcItemBuffer* buffer, int32_t item) {
  if (buffer == nullptr || item < 1) return false;
  const Zor::MultiIPCBuffer& shared = buffer->GetBuffer();
  const int index = item - 1;
  const uint32_t count = shared.GetRecordCount(index);
  const uint8_t* data = shared.GetBlockData(index);
  const std::span<const uint8_t> block(data, data == nullptr ? 0 : shared.GetBlockSize(index));

  // The count and every Size come from another process: each image and its
  // payload must lie inside the block before anything is allocated.
  uint64_t offset = 0;
  for (uint32_t i = 0; i < count; ++i) {
    sHdrEntryImage image;
    if (!zor::platform::GetLE(block, offset, image) ||
        !zor::platform::InBounds(block.size(), offset + kHdrEntryImageSize, image.size)) {
      Log(LogLevel::Warning,
          "Header block %d: entry %u of %u does not fit in the block's %zu bytes; %u entries read",
          item, i + 1, count, block.size(), i);
      return false;
    }
    offset += kHdrEntryImageSize;
    auto entry = std::make_unique<sHdrEntry>(FromImage(image));
    const uint8_t* payload = block.data() + offset;
    entry->payload.assign(payload, payload + image.size);
    offset += image.size;
    Append(std::move(entry));
  }
  return true;
}
