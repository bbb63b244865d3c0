// System ids of 0 and below are keys like any other wherever a look-up by
// system id does not refuse them expressly (only the system list's own
// FindById and the per-system counts and finds do): the records that carry
// such an id are found, copied, relinked and shown.
#include <gtest/gtest.h>

#include <vector>

#include "database/definitions/definition_links.h"
#include "database/definitions/hdr_entry.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/sys_def_list.h"
#include "platform/bytes.h"
#include "tests/database/catalogue/payload_builder.h"
#include "tests/database/definitions/definition_test_support.h"

namespace {

using zor::platform::FieldText;
using zor::platform::SetFieldText;

class SystemIdKeyTest : public testing::TestWithParam<int32_t> {
 protected:
  void TearDown() override {
    obs_.RemoveAll();
    nodes_.RemoveAll();
    systems_.RemoveAll();
  }
  CObsDefList obs_;
  CNodeDefList nodes_;
  CSysDefList systems_;
};

TEST_P(SystemIdKeyTest, ObservationsOfTheSystem) {
  const int32_t key = GetParam();
  obs_.AddCopy(MakeObs(1, 1, /*system=*/7, 50));
  obs_.AddCopy(MakeObs(2, 2, key, 1));
  obs_.AddCopy(MakeObs(3, 3, key, 74));
  for (sObsDef* o : obs_) SetFieldText(o->tag1, "SLOT");

  CObsDefList out;
  obs_.CopyOfSystem(out, key);
  ASSERT_EQ(out.GetCount(), 2);
  EXPECT_EQ(out.GetAt(0)->id, 2);
  EXPECT_EQ(out.GetAt(1)->id, 3);
  out.RemoveAll();

  ASSERT_NE(obs_.FindNthImagingObs(key, 1), nullptr);
  EXPECT_EQ(obs_.FindNthImagingObs(key, 1)->id, 3);
  EXPECT_EQ(obs_.FindNthImagingObs(key, 2), nullptr);

  obs_.ClearTag(key, "slot");
  EXPECT_EQ(FieldText(obs_.GetAt(0)->tag1), "SLOT");  // another system's
  EXPECT_EQ(FieldText(obs_.GetAt(1)->tag1), "");
  EXPECT_EQ(FieldText(obs_.GetAt(2)->tag1), "");
}

TEST_P(SystemIdKeyTest, SystemsAndNodesOfTheSystem) {
  const int32_t key = GetParam();
  sSysDef position = MakeSys(3, 12);
  position.link1 = key;
  systems_.AddCopy(position);
  systems_.RelinkPositionSystems(key, 9);
  EXPECT_EQ(systems_.GetAt(0)->link1, 9);

  // RecId 262 names the type-45 system whose id is payload word 1.
  systems_.AddCopy(MakeSys(key, 45));
  sHdrEntry adcp;
  adcp.recId = 262;
  adcp.payload = PayloadBuilder(8).Words(0, {1, key}).bytes();
  EXPECT_EQ(systems_.GetSystemIdOfHeader(&adcp), key);

  nodes_.AddCopy(MakeNode(6, 106, 1, 0, 0, 0, /*type=*/5));
  nodes_.GetAt(0)->systemId = key;
  EXPECT_EQ(nodes_.FindSatelliteNode(key, 20), 6);
  EXPECT_EQ(nodes_.FindSatelliteNode(key, 1), -1);

  nodes_.AddCopy(MakeNode(7, 107, /*object=*/4, 1, 0, 0));
  obs_.AddCopy(MakeObs(1, 1, key, 1, /*from=*/7));
  const sSysDef sys = MakeSys(key, 10);
  EXPECT_EQ(GetSystemObjectId(&sys, &obs_, &nodes_), 4);
}

INSTANTIATE_TEST_SUITE_P(BelowOne, SystemIdKeyTest, testing::Values(0, -3));

}  // namespace
