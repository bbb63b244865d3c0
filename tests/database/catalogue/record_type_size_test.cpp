#include "database/catalogue/record_type_size.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(RecordTypeSize, GivesTheFixedSizeOrZero) {
  EXPECT_EQ(RecordTypeSize(139), 4u);
  EXPECT_EQ(RecordTypeSize(153), 48u);
  EXPECT_EQ(RecordTypeSize(228), 1192u);
  EXPECT_EQ(RecordTypeSize(85), 0u);
  EXPECT_EQ(RecordTypeSize(0), 0u);
  EXPECT_EQ(RecordTypeSize(272), 0u);
  EXPECT_EQ(RecordTypeSize(-1), 0u);
  EXPECT_EQ(RecordTypeSize(INT32_MIN), 0u);

  int zero = 0;
  for (int32_t id = 1; id <= kLastRecId; ++id) zero += RecordTypeSize(id) == 0;
  EXPECT_EQ(zero, 70);
}

// The sizes the upgrade of older header records reads and writes, taken
// from the conversion rules rather than from the size table.
TEST(RecordTypeSize, AgreesWithTheLayoutsOfTheRecordUpgrades) {
  const std::pair<int32_t, uint32_t> sizes[] = {
      {1, 56},     {176, 120},  {25, 2880},  {166, 28080}, {26, 2872}, {167, 28072},
      {27, 2868},  {168, 28068}, {28, 2864}, {169, 28064}, {14, 72},   {206, 88},
      {160, 16},   {179, 32},   {184, 56},   {198, 72},    {203, 1184}, {228, 1192},
      {215, 4},    {29, 80},    {182, 88},   {197, 104},   {162, 32},  {163, 24},
      {213, 32},   {214, 48},   {35, 112},   {36, 20},     {193, 136}, {194, 32},
      {63, 96},    {142, 12},   {180, 128},  {204, 688},   {64, 44},   {24, 28},
      {201, 56},   {200, 112},  {202, 52},   {195, 72},    {260, 72},  {205, 664},
      {258, 712},  {219, 352},  {226, 312},  {41, 84},     {154, 12},  {220, 360},
      {221, 336},  {238, 88},   {254, 88},   {265, 96},    {266, 24},  {207, 552},
      {208, 112},  {210, 64},   {78, 104},   {188, 40},    {246, 88},  {247, 40},
      {129, 8},    {230, 112},  {217, 200},  {267, 76},
  };
  for (const auto& [recId, size] : sizes) EXPECT_EQ(RecordTypeSize(recId), size) << recId;
}

}  // namespace
