#include "platform/proc_maps.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "platform/version_resource.h"

namespace {

using zor::platform::MappedModule;
using zor::platform::ProcMaps;

const char kSample[] =
    "55d0c0000000-55d0c0002000 r--p 00000000 08:01 1234     /opt/zor/bin/drv\n"
    "55d0c0002000-55d0c0008000 r-xp 00002000 08:01 1234     /opt/zor/bin/drv\n"
    "55d0c0008000-55d0c000a000 rw-p 00008000 08:01 1234     /opt/zor/bin/drv\n"
    "55d0c000a000-55d0c000c000 rw-p 00000000 00:00 0 \n"
    "55d0c1000000-55d0c1021000 rw-p 00000000 00:00 0        [heap]\n"
    "7f0000000000-7f0000001000 r--s 00000000 08:01 99       /var/data/table.bin\n"
    "7f0000100000-7f0000128000 r--p 00000000 08:01 777      /usr/lib/libc.so.6\n"
    "7f0000128000-7f00002bd000 r-xp 00028000 08:01 777      /usr/lib/libc.so.6\n"
    "not a mapping line\n"
    "7f00002bd000-7f0000315000 r--p 001bd000 08:01 777      /usr/lib/libc.so.6\n"
    "7ffc00000000-7ffc00021000 rw-p 00000000 00:00 0        [stack]\n"
    "7ffc00100000-7ffc00102000 r-xp 00000000 00:00 0        [vdso]\n"
    "ffffffffff600000-ffffffffff601000 --xp 00000000 00:00 0 [vsyscall]";

std::unique_ptr<ProcMaps> Parsed(const std::string& text) {
  auto maps = std::make_unique<ProcMaps>();
  maps->Parse(text.data(), text.size());
  return maps;
}

TEST(ProcMaps, ParsesEveryWellFormedLine) {
  const auto maps = Parsed(kSample);
  ASSERT_EQ(maps->Size(), 12u);  // the bad line is skipped
  const auto& text = (*maps)[1];
  EXPECT_EQ(text.start, 0x55d0c0002000u);
  EXPECT_EQ(text.end, 0x55d0c0008000u);
  EXPECT_EQ(text.offset, 0x2000u);
  EXPECT_EQ(text.inode, 1234u);
  EXPECT_TRUE(text.readable && text.executable && !text.writable && !text.shared);
  EXPECT_EQ(maps->Path(text), "/opt/zor/bin/drv");
  EXPECT_EQ(maps->Path((*maps)[3]), "");
  EXPECT_TRUE((*maps)[5].shared);
  EXPECT_EQ(maps->Path((*maps)[11]), "[vsyscall]");  // the last line has no line feed
  EXPECT_FALSE(maps->Truncated());

  EXPECT_EQ(maps->Find(0x55d0c0002000), &(*maps)[1]);
  EXPECT_EQ(maps->Find(0x55d0c0007fff), &(*maps)[1]);
  EXPECT_EQ(maps->Find(0x55d0c000c000), nullptr);
  EXPECT_EQ(maps->FindAtOrAbove(0x55d0c000c000), &(*maps)[4]);
  EXPECT_EQ(maps->FindAtOrAbove(0xfffffffffffff000), nullptr);
}

TEST(ProcMaps, ModulesAreExecutableFilesFromTheirFirstMapping) {
  const auto maps = Parsed(kSample);
  std::vector<std::pair<std::string, uint64_t>> found;
  MappedModule m;
  for (std::size_t next = 0; maps->NextModule(next, m);) {
    found.emplace_back(std::string(m.path), m.end - m.base);
  }
  // The data file has no executable mapping; [vdso] is no file.
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], std::make_pair(std::string("/opt/zor/bin/drv"), uint64_t{0xa000}));
  EXPECT_EQ(found[1], std::make_pair(std::string("/usr/lib/libc.so.6"), uint64_t{0x215000}));

  ASSERT_TRUE(maps->FindModule(0x7f0000200000, m));
  EXPECT_EQ(m.base, 0x7f0000100000u);
  EXPECT_FALSE(maps->FindModule(0x55d0c000a000, m));  // anonymous, after the module
}

TEST(ProcMaps, HostileTextIsSkippedNotTrusted) {
  const auto maps = Parsed(
      "ffff-1000 r-xp 00000000 08:01 1 /end/before/start\n"
      "1000-2000 r-xp 00000000 08:01 99999999999999999999999 /inode/too/big\n"
      "10000000000000000-10000000000000001 r-xp 0 08:01 1 /too/wide\n"
      "1000-2000 r\n"
      "3000-4000 r-xp 00000000 08:01 5 /ok\n");
  ASSERT_EQ(maps->Size(), 1u);
  EXPECT_EQ(maps->Path((*maps)[0]), "/ok");

  // A text cut by the size limit drops its partial last line.
  std::string big;
  while (big.size() <= ProcMaps::kMaxText)
    big += "3000-4000 r-xp 00000000 08:01 5 /a/long/enough/path/name/for/the/test\n";
  const auto cut = Parsed(big);
  EXPECT_TRUE(cut->Truncated());
  for (std::size_t i = 0; i < cut->Size(); ++i)
    EXPECT_EQ(cut->Path((*cut)[i]), "/a/long/enough/path/name/for/the/test");
}

__attribute__((noinline)) void MarkerFunction() { asm volatile(""); }

TEST(ProcMaps, LoadsThisProcessAndFindsItsProgram) {
  auto maps = std::make_unique<ProcMaps>();
  ASSERT_TRUE(maps->Load());
  int local = 0;
  const auto* stack = maps->Find(reinterpret_cast<uint64_t>(&local));
  ASSERT_NE(stack, nullptr);
  EXPECT_TRUE(stack->readable && stack->writable);
  MappedModule module;
  ASSERT_TRUE(maps->FindModule(reinterpret_cast<uint64_t>(&MarkerFunction), module));
  EXPECT_EQ(std::string(module.path), zor::platform::GetProgramFilePath());
  EXPECT_EQ(maps->Find(module.base)->offset, 0u);
}

}  // namespace
