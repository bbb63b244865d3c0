// Settings buffers moved by containers and std::swap while memory runs out:
// no buffer may lose its blocks, and a buffer moved from stays usable.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Drivers/framework/ipc_item_buffer.h"
#include "Drivers/framework/multi_ipc_buffer.h"
#include "tests/support/failing_allocation.h"

namespace {

using Zor::MultiIPCBuffer;

static_assert(std::is_nothrow_move_constructible_v<MultiIPCBuffer>);
static_assert(std::is_nothrow_move_assignable_v<MultiIPCBuffer>);
static_assert(std::is_nothrow_move_constructible_v<CIpcItemBuffer>);
static_assert(std::is_nothrow_move_assignable_v<CIpcItemBuffer>);

MultiIPCBuffer& BufferOf(MultiIPCBuffer& b) { return b; }
MultiIPCBuffer& BufferOf(CIpcItemBuffer& b) { return b.GetBuffer(); }

// A buffer with one block of id `tag` whose 12 bytes all hold `tag`; an item
// buffer is also named after it.
template <typename Buffer>
Buffer Tagged(uint8_t tag) {
  Buffer b;
  if constexpr (std::is_same_v<Buffer, CIpcItemBuffer>) {
    b = CIpcItemBuffer("buffer " + std::to_string(tag));
  }
  const int index = BufferOf(b).AddBlock(tag, 4, 3);
  for (uint32_t i = 0; i < 12; ++i) BufferOf(b).GetBlockData(index)[i] = tag;
  return b;
}

// Empty when the buffer holds exactly what Tagged(tag) gave it, else what
// differs.
template <typename Buffer>
std::string Differs(Buffer& b, uint8_t tag) {
  MultiIPCBuffer& m = BufferOf(b);
  if constexpr (std::is_same_v<Buffer, CIpcItemBuffer>) {
    if (b.GetName() != "buffer " + std::to_string(tag)) return "name '" + b.GetName() + "'";
  }
  if (m.GetBlockCount() != 1 || m.GetBlockId(0) != tag || m.GetBlockSize(0) != 12)
    return std::to_string(m.GetBlockCount()) + " blocks";
  for (uint32_t i = 0; i < 12; ++i)
    if (m.GetBlockData(0)[i] != tag) return "byte " + std::to_string(i);
  return {};
}

// Runs step with the k-th allocation failing, for k = 0, 1, ... until a run
// needs no more; check looks at what the step left after each run.
template <typename Step, typename Check>
void FailEachAllocation(Step step, Check check) {
  for (long k = 0;; ++k) {
    bool fired = false;
    bool threw = false;
    {
      FailingAllocation fail(k);
      try {
        step();
      } catch (const std::bad_alloc&) {
        threw = true;
      }
      fired = fail.Fired();
    }
    check(threw, "allocation " + std::to_string(k));
    if (!fired) break;
  }
}

template <typename Buffer>
void GrowAndSwapUnderFailingAllocations() {
  constexpr uint8_t kHeld = 6;
  std::vector<Buffer> buffers;
  Buffer extra;
  const auto reset = [&] {
    buffers.clear();
    buffers.shrink_to_fit();
    buffers.reserve(kHeld);  // full, so that the next one makes it grow
    for (uint8_t t = 1; t <= kHeld; ++t) buffers.push_back(Tagged<Buffer>(t));
    extra = Tagged<Buffer>(kHeld + 1);
  };
  const auto heldIntact = [&](const std::string& where) {
    for (uint8_t t = 1; t <= kHeld; ++t)
      EXPECT_EQ(Differs(buffers[t - 1], t), "") << where << ", buffer " << int{t};
  };

  // Growing by a buffer moved in: all or nothing.
  reset();
  FailEachAllocation([&] { buffers.push_back(std::move(extra)); },
                     [&](bool threw, const std::string& where) {
                       ASSERT_EQ(buffers.size(), threw ? kHeld : kHeld + 1u) << where;
                       heldIntact(where);
                       EXPECT_EQ(Differs(threw ? extra : buffers.back(), kHeld + 1), "") << where;
                       reset();
                     });
  // Growing by a buffer made in place, whose own region may fail too.
  FailEachAllocation([&] { buffers.emplace_back(); },
                     [&](bool threw, const std::string& where) {
                       ASSERT_EQ(buffers.size(), threw ? kHeld : kHeld + 1u) << where;
                       heldIntact(where);
                       reset();
                     });
  // A swap allocates nothing and loses nothing.
  reset();
  FailEachAllocation([&] { std::swap(buffers[0], buffers[2]); },
                     [&](bool threw, const std::string& where) {
                       EXPECT_FALSE(threw) << where;
                       EXPECT_EQ(Differs(buffers[0], 3), "") << where;
                       EXPECT_EQ(Differs(buffers[2], 1), "") << where;
                       std::swap(buffers[0], buffers[2]);
                     });
}

TEST(SettingsBufferMoves, GrowthAndSwapLoseNoBlocksWhenMemoryRunsOut) {
  GrowAndSwapUnderFailingAllocations<MultiIPCBuffer>();
  GrowAndSwapUnderFailingAllocations<CIpcItemBuffer>();
}

// A buffer moved from shows one shared, read-only empty region until it is
// written; its first write gets a region of its own, or fails as a full
// region fails when that allocation does.
TEST(SettingsBufferMoves, AMovedFromBufferGetsItsRegionOnFirstWrite) {
  MultiIPCBuffer a = Tagged<MultiIPCBuffer>(1);
  MultiIPCBuffer b = Tagged<MultiIPCBuffer>(2);
  MultiIPCBuffer takenA(std::move(a));
  MultiIPCBuffer takenB(std::move(b));
  // NOLINTBEGIN(bugprone-use-after-move)
  for (MultiIPCBuffer* moved : {&a, &b}) {
    EXPECT_EQ(moved->GetBlockCount(), 0u);
    EXPECT_EQ(moved->GetBlockData(0), nullptr);
    EXPECT_EQ(moved->GetRegion().size(), 0u);
    EXPECT_FALSE(moved->GetRegion().resize(16));  // read-only
    EXPECT_TRUE(moved->GetRegion().resize(0));
    moved->SetRecordCount(0, 5);
    moved->ClearModified();
    EXPECT_FALSE(moved->ResizeBlock(0, 8));
  }
  {
    FailingAllocation fail(0);
    EXPECT_EQ(a.AddBlock(7, 4, 1), -1);
    EXPECT_TRUE(fail.Fired());
  }
  {
    FailingAllocation fail(0);
    EXPECT_FALSE(a.Format());
  }
  EXPECT_EQ(a.GetBlockCount(), 0u);
  ASSERT_EQ(a.AddBlock(7, 4, 1), 0);
  a.GetBlockData(0)[0] = 9;
  EXPECT_EQ(b.GetBlockCount(), 0u);  // the other moved-from buffer is untouched
  EXPECT_EQ(b.GetRegion().size(), 0u);
  EXPECT_TRUE(b.Format());
  EXPECT_EQ(b.GetRegion().size(), sizeof(Zor::sIpcBufferHeader));
  // A buffer moved from twice, and moved into itself, stays as it was.
  MultiIPCBuffer again(std::move(a));
  EXPECT_EQ(again.GetBlockData(0)[0], 9);
  MultiIPCBuffer& same = again;
  again = std::move(same);
  EXPECT_EQ(again.GetBlockData(0)[0], 9);
  EXPECT_EQ(Differs(takenA, 1), "");
  EXPECT_EQ(Differs(takenB, 2), "");

  CIpcItemBuffer item = Tagged<CIpcItemBuffer>(3);
  CIpcItemBuffer taken(std::move(item));
  EXPECT_EQ(Differs(taken, 3), "");
  EXPECT_EQ(item.GetName(), "");
  EXPECT_EQ(item.GetBuffer().GetBlockCount(), 0u);
  EXPECT_EQ(item.WriteRecord(1, 1, "abcd", 4), 0);
  // NOLINTEND(bugprone-use-after-move)
}

// A move assignment hands over the whole state: the region (none, when the
// source was itself moved from) and the exclusive hold, which the source
// gives up. A kept hold would mark the source's next writes as made under
// the hold; kept blocks would let a buffer assigned from an empty one still
// show the old settings.
TEST(SettingsBufferMoves, AssignmentHandsOverRegionAndHold) {
  MultiIPCBuffer held = Tagged<MultiIPCBuffer>(1);
  held.AcquireExclusive();
  MultiIPCBuffer target = Tagged<MultiIPCBuffer>(2);
  target = std::move(held);
  EXPECT_TRUE(target.IsHeldExclusively());
  EXPECT_EQ(Differs(target, 1), "");
  // NOLINTBEGIN(bugprone-use-after-move)
  EXPECT_FALSE(held.IsHeldExclusively());
  ASSERT_EQ(held.AddBlock(3, 4, 1), 0);
  held.SetRecordCount(0, 1);
  EXPECT_EQ(held.GetAccessCount(0), 0u);
  EXPECT_FALSE(held.IsModified());

  MultiIPCBuffer gone = Tagged<MultiIPCBuffer>(4);
  MultiIPCBuffer keeper(std::move(gone));
  target = std::move(gone);  // from a buffer already moved from
  EXPECT_EQ(target.GetBlockCount(), 0u);
  EXPECT_EQ(target.GetRegion().size(), 0u);
  EXPECT_FALSE(target.IsHeldExclusively());
  EXPECT_EQ(Differs(keeper, 4), "");
  // NOLINTEND(bugprone-use-after-move)
}

// A buffer moved from and destroyed at program exit by a static owner that
// was made before the shared empty region was first used (its buffer is
// attached to a region of its own, which formats nothing): the owner's
// destructor still reads that region, which static destruction must not
// have destroyed first. A fresh process (the threadsafe style re-runs the
// test binary) makes the owner first; a destroyed region calls a pure
// virtual function at -O0 and is an invalid object to the sanitizers.
TEST(SettingsBufferMoves, AMovedFromBufferIsUsableAtProgramExit) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        struct Owner {
          MultiIPCBuffer buffer{std::make_unique<Zor::HeapMemoryRegion>()};
          ~Owner() {
            if (buffer.GetBlockCount() != 0 || buffer.GetBlockData(0) != nullptr ||
                buffer.GetRegion().size() != 0) {
              std::_Exit(3);
            }
          }
        };
        static Owner owner;
        MultiIPCBuffer taken(std::move(owner.buffer));
        if (owner.buffer.GetBlockCount() != 0) std::_Exit(2);  // NOLINT(bugprone-use-after-move)
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
