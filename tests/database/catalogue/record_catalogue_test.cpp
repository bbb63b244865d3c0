#include "database/catalogue/record_catalogue.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "database/definitions/hdr_list.h"
#include "database/definitions/header_grouping.h"
#include "tests/database/catalogue/payload_builder.h"

namespace {

TEST(RecordTypeText, GivesCodeOrNameAndMarksRecIdsOutsideTheCatalogue) {
  EXPECT_EQ(RecordTypeText(0, 1), "undef");
  EXPECT_EQ(RecordTypeText(0, 0), "Undefined");
  EXPECT_EQ(RecordTypeText(1, 1), "iHxxxx");
  EXPECT_EQ(RecordTypeText(1, 0), "Line Name");
  EXPECT_EQ(RecordTypeText(139, -3), "iH0020");  // any non-zero asks for the code
  EXPECT_EQ(RecordTypeText(139, 0), "UTC to GPS");
  EXPECT_EQ(RecordTypeText(266, 1), "iQ9005n");
  EXPECT_EQ(RecordTypeText(271, 1), "iQ1009");
  EXPECT_EQ(RecordTypeText(271, 0), "Last ID");

  for (int asCode : {0, 1}) {
    EXPECT_EQ(RecordTypeText(272, asCode), "Unsupported (272)");
    EXPECT_EQ(RecordTypeText(-1, asCode), "Unsupported (-1)");
    EXPECT_EQ(RecordTypeText(INT32_MIN, asCode), "Unsupported (-2147483648)");
  }
  EXPECT_TRUE(RecordTypeCode(272).empty());
  EXPECT_TRUE(RecordTypeName(-1).empty());
}

// Every row of the catalogue has the shape of a code and a name, and the
// text and view look-ups agree; a row lost or shifted in the table breaks the
// shape or the spot values above.
TEST(RecordTypeText, EveryRecIdHasACodeAndANameOfTheCataloguesShape) {
  for (int32_t id = 1; id <= kLastRecId; ++id) {
    const std::string code = RecordTypeText(id, 1);
    const std::string name = RecordTypeText(id, 0);
    ASSERT_GE(code.size(), 6u) << id;
    EXPECT_LE(code.size(), 7u) << id;
    EXPECT_EQ(code[0], 'i') << id;
    EXPECT_NE(std::string("HETCQ").find(code[1]), std::string::npos) << id << " " << code;
    EXPECT_FALSE(name.empty()) << id;
    EXPECT_EQ(code, RecordTypeCode(id));
    EXPECT_EQ(name, RecordTypeName(id));
  }
}

// The grouping of the project's set-up records keeps its own list of RecIds;
// both must name the same records.
TEST(IsProjectHeaderRecord, AgreesWithTheProjectGroupingOfAHeaderList) {
  CHdrList list;
  for (int32_t id = 0; id <= kLastRecId + 1; ++id) list.AddEntry(id, 4, nullptr, -1);
  std::vector<int32_t> grouped;
  for (const auto& [recId, payloads] : GroupProjectHeaderPayloads(list)) grouped.push_back(recId);
  std::vector<int32_t> predicate;
  for (int32_t id = -1; id <= kLastRecId + 1; ++id)
    if (IsProjectHeaderRecord(id)) predicate.push_back(id);
  EXPECT_EQ(predicate, grouped);
  EXPECT_EQ(predicate.size(), 21u);
  EXPECT_FALSE(IsProjectHeaderRecord(14));  // the older datum shift is not one
  EXPECT_TRUE(IsProjectHeaderRecord(247));
}

TEST(GetRecordKeys, ReadsTheKeyWordsOfEachLayout) {
  PayloadBuilder b(0);  // word n holds 100 + n
  for (int32_t w = 0; w < 40; ++w) b.Word(w, 100 + w);
  const std::vector<uint8_t> p = b.bytes();

  struct Case {
    int32_t recId;
    int32_t k1, k2, k3;
  } cases[] = {
      {12, 100, -1, -1},  {39, 100, 101, -1}, {68, 101, -1, -1},  {70, 101, 102, -1},
      {65, 101, 111, -1}, {71, 100, 104, -1}, {73, 100, 101, 102}, {78, 102, 103, -1},
      {134, 100, 102, -1}, {166, 110, -1, -1}, {200, 101, 105, -1}, {204, 100, 109, -1},
      {228, 102, -1, -1}, {244, 104, 102, -1}, {258, 102, 103, 104}, {260, 101, 102, 103},
      {3, -1, -1, -1},    {0, -1, -1, -1},    {272, -1, -1, -1},   {-7, -1, -1, -1},
  };
  for (const Case& c : cases) {
    int32_t k1 = 0, k2 = 0, k3 = 0;
    GetRecordKeys(c.recId, p, &k1, &k2, &k3);
    EXPECT_EQ(k1, c.k1) << c.recId;
    EXPECT_EQ(k2, c.k2) << c.recId;
    EXPECT_EQ(k3, c.k3) << c.recId;
  }

  int32_t k2 = 0;
  GetRecordKeys(258, p, nullptr, &k2, nullptr);  // null outputs are skipped
  EXPECT_EQ(k2, 103);
}

TEST(GetRecordKeys, AWordBeyondThePayloadIsNoKeyAndWord8PlusOneWraps) {
  const std::vector<uint8_t> shortPayload = PayloadBuilder(0).Words(0, {7, 8, 9}).bytes();
  int32_t k1 = 0, k2 = 0, k3 = 0;
  GetRecordKeys(258, shortPayload, &k1, &k2, &k3);  // words 2, 3, 4 of a 12-byte payload
  EXPECT_EQ(k1, 9);
  EXPECT_EQ(k2, -1);
  EXPECT_EQ(k3, -1);

  GetRecordKeys(204, shortPayload, &k1, &k2, &k3);
  EXPECT_EQ(k1, 7);
  EXPECT_EQ(k2, -1);  // not 0: a missing word 8 is no key, not -1 plus 1

  const std::vector<uint8_t> top = PayloadBuilder(688).Word(8, INT32_MAX).bytes();
  GetRecordKeys(204, top, &k1, &k2, &k3);
  EXPECT_EQ(k2, INT32_MIN);
}

// A key word must lie inside the record type's fixed payload: reading keys
// from a payload of exactly that size gives the same keys as from a long one.
TEST(GetRecordKeys, KeyWordsLieInsideTheFixedPayloadSize) {
  const std::vector<uint8_t> wide(30000, 0x11);
  for (int32_t id = 1; id <= kLastRecId; ++id) {
    int32_t wk[3], fk[3];
    GetRecordKeys(id, wide, &wk[0], &wk[1], &wk[2]);
    if (wk[0] == -1) continue;
    ASSERT_NE(RecordTypeSize(id), 0u) << id;
    const std::vector<uint8_t> exact(RecordTypeSize(id), 0x11);
    GetRecordKeys(id, exact, &fk[0], &fk[1], &fk[2]);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(fk[i], wk[i]) << id << " key " << i + 1;
  }
}

TEST(RecordTitle, TakesTheStoredNameAFixedTitleOrTheCode) {
  EXPECT_EQ(RecordTitle(3, PayloadBuilder(53).bytes()), "iH0002");
  EXPECT_EQ(RecordTitle(65, PayloadBuilder(104).Text(8, "Gyro").bytes()), "Gyro");
  EXPECT_EQ(RecordTitle(205, PayloadBuilder(664).Text(616, "DGPS 1").bytes()), "DGPS 1");
  EXPECT_EQ(RecordTitle(258, PayloadBuilder(712).Text(632, "RTK").bytes()), "RTK");
  EXPECT_EQ(RecordTitle(126, {}), "--- Cycle Record");
  EXPECT_EQ(RecordTitle(271, {}), "--- Last Used ID's (extension 2)");
  EXPECT_EQ(RecordTitle(249, PayloadBuilder(80).Word(1, 7).bytes()), "PPS timetag 7");
  EXPECT_EQ(RecordTitle(251, PayloadBuilder(80).Word(1, -2).bytes()), "PPS pulse -2");
  EXPECT_EQ(RecordTitle(0, {}), "undef");
  EXPECT_EQ(RecordTitle(300, {}), "Unsupported (300)");
}

TEST(RecordTitle, NeverReadsPastThePayload) {
  // A name that runs to the payload's end without a terminator stops there.
  EXPECT_EQ(RecordTitle(71, PayloadBuilder(0).Text(39, "Unterminated").bytes()), "Unterminated");
  // A name that fills its 17-byte field stops at the field's end.
  EXPECT_EQ(RecordTitle(204, PayloadBuilder(688).Text(4, "ABCDEFGHIJKLMNOPQRSTUVWX").bytes()),
            "ABCDEFGHIJKLMNOPQ");
  // A payload that ends before the name, or before the PPS number.
  EXPECT_EQ(RecordTitle(205, PayloadBuilder(100).bytes()), "iH62nn");
  EXPECT_EQ(RecordTitle(65, PayloadBuilder(8).bytes()), "iH52nn");
  EXPECT_EQ(RecordTitle(249, PayloadBuilder(6).bytes()), "iQ1007");
}

TEST(GetFirstWordOrZero, ReadsMinusOneAsZero) {
  EXPECT_EQ(GetFirstWordOrZero(PayloadBuilder(0).Word(0, -1).bytes()), 0);
  EXPECT_EQ(GetFirstWordOrZero(PayloadBuilder(0).Word(0, 12).bytes()), 12);
  EXPECT_EQ(GetFirstWordOrZero(PayloadBuilder(0).Word(0, -2).bytes()), -2);
  EXPECT_EQ(GetFirstWordOrZero(PayloadBuilder(3, 0xFF).bytes()), 0);
}

}  // namespace
