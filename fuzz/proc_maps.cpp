// The memory-map reader of the crash handler on arbitrary text: every parsed
// mapping lies inside the kept text, ends after it starts, and the address
// look-ups and the module walk agree with the mappings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/proc_maps.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static auto maps = std::make_unique<zor::platform::ProcMaps>();
  maps->Parse(reinterpret_cast<const char*>(data), size);
  Check(maps->Size() <= zor::platform::ProcMaps::kMaxMappings);
  for (std::size_t i = 0; i < maps->Size(); ++i) {
    const auto& m = (*maps)[i];
    Check(m.start <= m.end);
    Check(uint64_t{m.pathOffset} + m.pathLength <= size);
    (void)maps->Path(m).size();
    if (m.start < m.end) {
      const auto* found = maps->Find(m.start);
      Check(found != nullptr && found->start <= m.start && m.start < found->end);
    }
  }
  zor::platform::MappedModule module;
  std::size_t count = 0;
  for (std::size_t next = 0; maps->NextModule(next, module); ++count) {
    Check(module.first <= module.last && module.last < maps->Size());
    Check(!module.path.empty() && module.path.front() == '/');
    Check(module.base == (*maps)[module.first].start);
    Check(count <= maps->Size());
  }
  return 0;
}
