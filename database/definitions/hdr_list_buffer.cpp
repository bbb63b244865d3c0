// The header list's packed block in the settings buffer.
#include <cstddef>
#include <cstring>
#include <limits>
#include <span>

#include "Drivers/framework/ipc_item_buffer.h"
#include "core/log/logger.h"
#include "database/definitions/hdr_entry_store.h"
#include "database/definitions/hdr_list.h"

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

  // The count and every Size come from another process: an entry is taken
  // only when its image and payload lie inside the block. The images cost
  // more than the 7 bytes an alignment adds, so a payload block as long as
  // the data holds every payload; reading and copying in one pass keeps the
  // walk over the block in step with the copying.
  uint32_t valid = 0;
  if (count > 0 && !block.empty()) {
    const std::size_t fit = block.size() / kHdrEntryImageSize;
    const std::size_t most = count < fit ? count : fit;
    ReserveMore(most);
    uint8_t* to = store_.NewBlock(block.size());
    std::size_t offset = 0;
    for (; valid < count; ++valid) {
      sHdrEntryImage image;
      if (!zor::platform::GetLE(block, offset, image) ||
          block.size() - offset - kHdrEntryImageSize < image.size) {
        break;
      }
      offset += kHdrEntryImageSize;
      sHdrEntry* e = store_.New(block.size() - offset);
      SetFromImage(*e, image);
      if (image.size > 0) {
        std::memcpy(to, block.data() + offset, image.size);
        e->payload.Borrow(to, image.size);
        to += HdrEntryStore::Aligned(image.size);
        offset += image.size;
      }
      Append(e);
    }
  }
  if (valid < count) {
    Log(LogLevel::Warning,
        "Header block %d: entry %u of %u does not fit in the block's %zu bytes; %u entries read",
        item, valid + 1, count, block.size(), valid);
    return false;
  }
  return true;
}
