#include "database/blockfile/block_types.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(BlockTypeName, NamesEveryKnownTypeAndNothingElse) {
  EXPECT_EQ(GetBlockTypeName(0), "Unused block type");
  EXPECT_EQ(GetBlockTypeName(33), "Header Definitions");
  EXPECT_EQ(GetBlockTypeName(35), "History Information");
  EXPECT_EQ(GetBlockTypeName(42), "Monitor Definitions");
  EXPECT_EQ(GetBlockTypeName(4), GetBlockTypeName(37));
  EXPECT_EQ(GetBlockTypeName(-1), "Unknown block type");
  EXPECT_EQ(GetBlockTypeName(43), "Unknown block type");
  EXPECT_EQ(GetBlockTypeName(INT32_MIN), "Unknown block type");

  // 43 ids share 34 names, none of them the unknown one: 35 texts in all.
  std::set<std::string> names;
  for (int32_t id = 0; id <= 42; ++id) names.insert(GetBlockTypeName(id));
  EXPECT_EQ(names.size(), 34u);
  EXPECT_EQ(names.count("Unknown block type"), 0u);
}

}  // namespace
