#include "database/definitions/header_grouping.h"

#include <vector>

#include <gtest/gtest.h>

#include "database/definitions/hdr_list.h"

namespace {

TEST(HeaderGroupingTest, GroupsKeepListOrderAndSkipEmptyPayloads) {
  CHdrList header;
  const uint8_t* d1 = header.AddEntry(13, 72, nullptr, -1);
  const uint8_t* n1 = header.AddEntry(230, 112, nullptr, -1);
  const uint8_t* d2 = header.AddEntry(13, 72, nullptr, -1);
  header.AddEntry(13, 0, nullptr, -1);
  const uint8_t* unit = header.AddEntry(153, 48, nullptr, -1);

  const HeaderPayloadGroups all = GroupHeaderPayloads(header);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all.at(13), (std::vector<const uint8_t*>{d1, d2}));
  EXPECT_EQ(all.at(230), (std::vector<const uint8_t*>{n1}));
  EXPECT_EQ(all.begin()->first, 13);  // ordered by RecId

  const HeaderPayloadGroups project = GroupProjectHeaderPayloads(header);
  ASSERT_EQ(project.size(), 2u);
  EXPECT_EQ(project.count(230), 0u);
  EXPECT_EQ(project.at(153), (std::vector<const uint8_t*>{unit}));
}

TEST(HeaderGroupingTest, ProjectRecordsAtTheEdgesOfTheirRuns) {
  CHdrList header;
  for (int32_t r : {10, 11, 14, 15, 23, 24, 138, 139, 247, 248}) header.AddEntry(r, 4, nullptr, -1);
  const HeaderPayloadGroups project = GroupProjectHeaderPayloads(header);
  std::vector<int32_t> kept;
  for (const auto& [recId, payloads] : project) kept.push_back(recId);
  EXPECT_EQ(kept, (std::vector<int32_t>{11, 15, 23, 139, 247}));
  EXPECT_TRUE(GroupHeaderPayloads(CHdrList()).empty());
}

}  // namespace
