#include "Drivers/framework/ipc_region.h"

#include <new>
#include <stdexcept>

namespace Zor {

bool HeapMemoryRegion::resize(std::size_t new_size) {
  if (new_size == bytes_.size()) return true;
  if (fixed_) return false;
  try {
    bytes_.resize(new_size, 0);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

}  // namespace Zor
