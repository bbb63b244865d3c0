#include "platform/string_resources.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace zor::platform {
namespace {

struct Resource {
  uint32_t id;
  std::string_view text;
};

// Sorted by id.
constexpr std::array kResources = {
    // The path of a project database file that has no header-record block.
    Resource{42347, "The file %s holds no header records."},
    // The path of a project database file whose header records do not have
    // the sizes their record types require.
    Resource{42348, "The header records of the file %s are damaged (a record has a wrong size)."},
    // The path of a project database file whose history could not be written.
    Resource{42820, "The history of the file %s could not be updated."},
};

static_assert(std::is_sorted(kResources.begin(), kResources.end(),
                             [](const Resource& a, const Resource& b) { return a.id < b.id; }));

}  // namespace

std::string LoadResourceString(uint32_t id) {
  const auto it = std::lower_bound(kResources.begin(), kResources.end(), id,
                                   [](const Resource& r, uint32_t key) { return r.id < key; });
  if (it == kResources.end() || it->id != id) return std::string();
  return std::string(it->text);
}

}  // namespace zor::platform
