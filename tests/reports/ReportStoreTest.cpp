// Reports and templates as stored in the report database.
#include "ReportTestSupport.h"
#include "db/ValueRecords.h"
#include "reports/ReportStore.h"

namespace {

using ReportStoreTest = testsupport::ReportDatabaseTest;

const ReportHeader kHeader{"P'1", "O'Brien^Seán 김", "F", "1961-02-03", "CHEST", "2024-05-06"};

TEST_F(ReportStoreTest, SaveAddsOneRowPerImageAndRewritesItAfterwards) {
  ReportStore store(query);
  const ReportTexts first{"it's clear\r\n폐 정상", "none", ""};
  ASSERT_EQ(store.Save("1.2.3", "/data/a.dcm", kHeader, first), "");
  const ReportTexts second{"", "", ""};
  // Emptied texts, then written again: still the one row, holding the last texts.
  ASSERT_EQ(store.Save("1.2.3", "/data/a.dcm", kHeader, second), "");
  ASSERT_EQ(store.Save("1.2.3", "/data/b.dcm", kHeader, first), "");
  EXPECT_EQ(rows("select * from report"), 1);
  StoredReport stored;
  ASSERT_TRUE(store.Read("1.2.3", stored));
  EXPECT_EQ(stored.texts, first);
  EXPECT_EQ(stored.file, "/data/b.dcm");
  EXPECT_EQ(stored.header.name, kHeader.name);
  EXPECT_EQ(stored.header.id, kHeader.id);
  EXPECT_EQ(stored.header.dob, kHeader.dob);
  EXPECT_EQ(stored.header.studyDate, kHeader.studyDate);
  EXPECT_FALSE(store.Read("9.9", stored));
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(ReportStoreTest, SaveWithoutADatabaseSaysWhy) {
  CQuery unconnected;
  EXPECT_FALSE(ReportStore(unconnected).Save("1", "", kHeader, {"x", "", ""}).isEmpty());
}

TEST_F(ReportStoreTest, HeaderComesFromTheRecordsWithEmptyNullDates) {
  CDScanInfo info;
  info.Pat.PatID = "7";
  info.Pat.PatName = "Doe^Jane";
  info.Pat.PatSex = "F";
  info.Pat.PatBirthDate = CDateTime::null();
  info.Stu.StuDateTime = CDateTime(2023, 11, 2, 14, 5, 0);
  info.Ser.BodyPart = "HAND";
  const ReportHeader header = ReportHeader::FromScanInfo(info);
  EXPECT_EQ(header.dob, "");
  EXPECT_EQ(header.studyDate, "2023-11-02");
  info.Pat.PatBirthDate = CDateTime::zero();  // the file gave no birth date
  EXPECT_EQ(ReportHeader::FromScanInfo(info).dob, "");
  EXPECT_EQ(header.studyName, "HAND") << "body part when the study has no description";
  info.Stu.StuDesc = "HAND PA";
  EXPECT_EQ(ReportHeader::FromScanInfo(info).studyName, "HAND PA");
}

TEST_F(ReportStoreTest, TypedLineBreaksAreStoredAsCarriageReturnLineFeed) {
  EXPECT_EQ(StoredText("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(TypedText("a\r\nb\r\n"), "a\nb\n");
}

TEST_F(ReportStoreTest, TemplatesAreAddedFilledUpdatedMarkedAndRemovedByTitle) {
  PreformStore store(query);
  ASSERT_TRUE(store.Add("Chest", {"clear", "normal", "none"}));
  ASSERT_TRUE(store.Add("Hand's", {"fracture", "", "cast"}));
  QStringList titles;
  QString defaultTitle;
  ASSERT_TRUE(store.List(titles, &defaultTitle));
  EXPECT_EQ(titles, QStringList({"Chest", "Hand's"}));
  EXPECT_EQ(defaultTitle, "");

  ReportTexts texts{"typed", "typed", "typed"};
  store.Fill("Hand's", texts);
  EXPECT_EQ(texts, (ReportTexts{"fracture", "", "cast"}));
  store.Fill("No such", texts);
  EXPECT_EQ(texts, (ReportTexts{"fracture", "", "cast"})) << "no row changes nothing";

  ASSERT_TRUE(store.Update("Chest", {"1", "2", "3"}));
  store.Fill("Chest", texts);
  EXPECT_EQ(texts, (ReportTexts{"1", "2", "3"}));

  ASSERT_TRUE(store.MarkDefault("Hand's"));
  ASSERT_TRUE(store.MarkDefault("Chest"));
  ASSERT_TRUE(store.List(titles, &defaultTitle));
  EXPECT_EQ(defaultTitle, "Chest");
  EXPECT_EQ(rows("select * from preform where \"default\" = 'Y'"), 1);

  ASSERT_TRUE(store.Remove({"Chest", "Hand's"}));
  ASSERT_TRUE(store.List(titles));
  EXPECT_TRUE(titles.isEmpty());
}

// A second template of a title keeps the first one's texts; the mark is read in any case.
TEST_F(ReportStoreTest, ASecondTemplateOfATitleIsARowOfItsOwn) {
  PreformStore store(query);
  ASSERT_TRUE(store.Add("Chest", {"first", "", ""}));
  ASSERT_TRUE(store.Add("Chest", {"second", "", ""}));
  EXPECT_EQ(rows("select * from preform where finding = 'first'"), 1);
  ASSERT_TRUE(
      query.ExecuteStatement("update preform set \"default\" = 'y' where finding = ?", {"first"}));
  QStringList titles;
  QString defaultTitle;
  ASSERT_TRUE(store.List(titles, &defaultTitle));
  EXPECT_EQ(titles, QStringList({"Chest", "Chest"}));
  EXPECT_EQ(defaultTitle, "Chest");
  ASSERT_TRUE(store.Remove({"Chest"}));
  EXPECT_EQ(rows("select * from preform"), 0);
}

TEST_F(ReportStoreTest, WithoutADatabaseListsAreEmptyAndNothingIsStored) {
  CQuery unconnected;
  PreformStore store(unconnected);
  QStringList titles{"kept"};
  EXPECT_FALSE(store.List(titles));
  EXPECT_EQ(titles, QStringList({"kept"}));
  EXPECT_FALSE(store.Add("Chest", {}));
  EXPECT_FALSE(store.Remove({"Chest"}));
  EXPECT_FALSE(store.MarkDefault("Chest"));
  EXPECT_TRUE(sink.isEmpty());
}

}  // namespace
