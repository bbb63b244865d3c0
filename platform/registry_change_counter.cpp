#include "platform/registry_change_counter.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/shared_memory_block.h"

namespace zor::platform {

struct RegistryChangeCounter::Block {
  std::atomic<uint64_t> magic;
  std::atomic<uint64_t> slots[kSlots];
  // The real path of the folder the block counts for: two folders whose
  // names hash alike must not share one (their writers bump it under
  // different locks, so a value could come back that a reader has seen).
  uint32_t folderLength;
  uint32_t reserved;
  char folder[PATH_MAX];
};

namespace {

// "ZORREGC" and a layout version; a block of another layout is not used.
constexpr uint64_t kMagic = 0x5A4F524547430002ull;
static_assert(std::atomic<uint64_t>::is_always_lock_free);

uint64_t Fnv1a(const std::string& text) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (const unsigned char c : text) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

}  // namespace

RegistryChangeCounter::~RegistryChangeCounter() { Close(); }

void RegistryChangeCounter::Close() noexcept {
  if (block_ != nullptr) ::munmap(block_, sizeof(Block));
  block_ = nullptr;
}

namespace {

std::string RealPath(const std::string& folder) {
  char real[PATH_MAX];
  if (::realpath(folder.c_str(), real) == nullptr) return {};
  return real;
}

std::string NameForRealPath(const std::string& real) {
  char name[64];
  // The real user, as for named events: the folder is that user's, and a
  // set-user-id program writing it must bump the block its other programs
  // read, or they would keep their cached copy for up to a second.
  std::snprintf(name, sizeof name, "/zor-registry.v2.%u.%016llx",
                static_cast<unsigned>(::getuid()), static_cast<unsigned long long>(Fnv1a(real)));
  return name;
}

}  // namespace

std::string RegistryChangeCounter::NameFor(const std::string& folder) {
  const std::string real = RealPath(folder);
  return real.empty() ? std::string() : NameForRealPath(real);
}

void RegistryChangeCounter::Remove(const std::string& folder) {
  const std::string name = NameFor(folder);
  if (!name.empty()) UnlinkUserBlock(name.c_str());
}

bool RegistryChangeCounter::Open(const std::string& folder) {
  Close();
  const std::string real = RealPath(folder);
  if (real.empty() || real.size() >= PATH_MAX) return false;
  const std::string name = NameForRealPath(real);
  bool made = true;
  int fd = OpenUserBlock(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) {
    made = false;
    fd = OpenUserBlock(name.c_str(), O_RDWR | O_CLOEXEC, 0);
  }
  if (fd < 0) return false;
  struct stat sb;
  // Another user's block, or one of another size, may not be trusted.
  bool usable = made || (::fstat(fd, &sb) == 0 && IsOwnBlock(sb) &&
                         sb.st_size == static_cast<off_t>(sizeof(Block)));
  // Reserving the pages also sizes a new block.
  usable = usable && ReserveBlockPages(fd, sizeof(Block)) == 0;
  void* p = usable ? ::mmap(nullptr, sizeof(Block), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                   : MAP_FAILED;
  ::close(fd);
  if (p == MAP_FAILED) {
    if (made) UnlinkUserBlock(name.c_str());
    return false;
  }
  auto* block = static_cast<Block*>(p);
  // The maker writes the magic last; a block still being made is not used yet.
  if (made) {
    block->folderLength = static_cast<uint32_t>(real.size());
    std::memcpy(block->folder, real.data(), real.size());
    block->magic.store(kMagic, std::memory_order_release);
  }
  if (block->magic.load(std::memory_order_acquire) != kMagic ||
      block->folderLength != real.size() ||
      std::memcmp(block->folder, real.data(), real.size()) != 0) {
    ::munmap(p, sizeof(Block));
    return false;
  }
  block_ = block;
  return true;
}

uint64_t RegistryChangeCounter::Load(int slot) const noexcept {
  return block_ != nullptr ? block_->slots[slot].load(std::memory_order_acquire) : 0;
}

uint64_t RegistryChangeCounter::BeginWrite(int slot) noexcept {
  if (block_ == nullptr) return 1;
  const uint64_t now = block_->slots[slot].load(std::memory_order_relaxed);
  const uint64_t odd = (now & 1) != 0 ? now + 2 : now + 1;
  block_->slots[slot].store(odd, std::memory_order_seq_cst);
  return odd;
}

void RegistryChangeCounter::EndWrite(int slot, uint64_t odd) noexcept {
  if (block_ != nullptr) block_->slots[slot].store(odd + 1, std::memory_order_seq_cst);
}

}  // namespace zor::platform
