#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include "XlsWriter.h"
#include "app/LanguageTable.h"
#include "ui/MessageSink.h"

namespace {

const QVariantList kHeader{"ID", "Name", "Where", "English"};

// The workbook shipped in resources/, found from this source file's place in the tree.
QString resourceWorkbookPath() {
  return QStringLiteral(TORASCAN_SOURCE_DIR "/resources/toraScan.xls");
}

// The rows of resources/toraScan.xls: every built-in label, plus the study-delete question 330
// that exists only in the workbook (its wording is the site's own).
QList<XlsSheet> resourceWorkbookSheets() {
  XlsSheet sheet{QStringLiteral("English"), {kHeader}};
  for (const BuiltinLabelEntry& e : BuiltinLabels()) {
    sheet.rows.append(
        QVariantList{e.id, QString(), QString::fromUtf8(e.origin), QString::fromUtf8(e.text)});
  }
  sheet.rows.append(QVariantList{
      330, QString(), QStringLiteral("study delete question of the browser (workbook only)"),
      QStringLiteral("Do you delete selected Study information?(Y/N)\r\nbeen subordinate all "
                     "series/image informations are deleted.")});
  return {sheet};
}

class LanguageTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearLanguageTable(); }
  void TearDown() override { ClearLanguageTable(); }
  QString book() const { return dir.filePath("toraScan.xls"); }
  void writeBook(const QList<QVariantList>& rows, const QString& sheet = "English") {
    XlsSheet s{sheet, {kHeader}};
    s.rows.append(rows);
    ASSERT_TRUE(writeXlsWorkbook(book(), {XlsSheet{"Notes", {{"nothing"}}}, s}));
  }
  QTemporaryDir dir;
  RecordingMessageSink sink;
  ScopedMessageSink bind{&sink};
};

}  // namespace

TEST_F(LanguageTableTest, EmptyTableGivesTheBuiltInText) {
  EXPECT_EQ(GetLabel(151), "Browser");
  EXPECT_EQ(GetLabel(160), "OK");
  EXPECT_EQ(GetLabel(999), "");
}

TEST_F(LanguageTableTest, TableLackingAnIdStillFallsBackToTheBuiltInText) {
  SetLanguageTable({{"160", "Okay"}});
  EXPECT_EQ(GetLabel(151), "Browser");
  EXPECT_EQ(GetLabel(160), "Okay");
}

TEST_F(LanguageTableTest, EmptyTableTextFallsBackToo) {
  SetLanguageTable({{"151", ""}});
  EXPECT_EQ(GetLabel(151), "Browser");
}

TEST_F(LanguageTableTest, WorkbookRowsAreReadFromColumnsOneAndFour) {
  writeBook({{151, "ignored", "ignored", "Navigateur"},
             {20001, "", "", "Above the resource range"},
             {QStringLiteral("152"), "", "", QString::fromUtf8("Benutzer Ü")},
             {QStringLiteral("  42abc"), "", "", "leading number"},
             {QStringLiteral("abc"), "", "", "not a number"},
             {7.9, "", "", 12.5}});
  LoadLanguageTable(dir.path());
  EXPECT_TRUE(sink.isEmpty());
  EXPECT_EQ(GetLabel(151), "Navigateur");
  EXPECT_EQ(GetLabel(20001), "Above the resource range");
  EXPECT_EQ(GetLabel(152), QString::fromUtf8("Benutzer Ü"));
  EXPECT_EQ(GetLabel(42), "leading number");
  EXPECT_EQ(languageTable().value("0"), "not a number");
  EXPECT_EQ(languageTable().value("7"), "12.5");
  EXPECT_EQ(languageTable().size(), 6);  // the header row is not an entry
  EXPECT_EQ(GetLabel(160), "OK");        // absent from the workbook: built-in text
  EXPECT_EQ(GetLabel(20002), "");
}

TEST_F(LanguageTableTest, LaterRowWinsOverAnEarlierOneWithTheSameId) {
  writeBook({{151, "", "", "first"}, {151, "", "", "second"}});
  LoadLanguageTable(dir.path() + "/");
  EXPECT_EQ(GetLabel(151), "second");
}

TEST_F(LanguageTableTest, LoadingEmptiesTheTableFirst) {
  SetLanguageTable({{"999", "old"}});
  LoadLanguageTable(dir.path());  // no workbook
  EXPECT_TRUE(languageTable().isEmpty());
  EXPECT_EQ(GetLabel(999), "");
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(LanguageTableTest, UnreadableWorkbookGivesAnEmptyTableSilently) {
  QFile f(book());
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("this is not a workbook at all");
  f.close();
  LoadLanguageTable(dir.path());
  EXPECT_TRUE(languageTable().isEmpty());
  EXPECT_TRUE(sink.isEmpty());
  EXPECT_EQ(GetLabel(151), "Browser");
}

TEST_F(LanguageTableTest, MissingEnglishSheetIsReportedAndLeavesTheTableEmpty) {
  writeBook({{151, "", "", "x"}}, "Deutsch");
  LoadLanguageTable(dir.path());
  EXPECT_TRUE(languageTable().isEmpty());
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].caption, "toraScan");
  EXPECT_EQ(sink.messages()[0].style, MB_OK | MB_ICONEXCLAMATION);
  EXPECT_TRUE(sink.messages()[0].text.contains("English"));
}

TEST_F(LanguageTableTest, SheetWithoutAFourthColumnIsReported) {
  XlsSheet s{"English", {{"ID", "Name"}, {151, "x"}}};
  ASSERT_TRUE(writeXlsWorkbook(book(), {s}));
  LoadLanguageTable(dir.path());
  EXPECT_TRUE(languageTable().isEmpty());
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].caption, "toraScan");
}

TEST_F(LanguageTableTest, RowsEmptyInBothColumnsAreSkipped) {
  writeBook(
      {{151, "", "", "a"}, {QVariant(), "only the name", "", QVariant()}, {152, "", "", "b"}});
  LoadLanguageTable(dir.path());
  EXPECT_EQ(languageTable().size(), 2);
  EXPECT_FALSE(languageTable().contains("0"));
}

TEST(BuiltinLabels, HoldTheTextsTheDescriptionGives) {
  EXPECT_EQ(BuiltinLabel(145), "image(s)");  // the button shows "0 %s" with it
  EXPECT_EQ(BuiltinLabel(144), "Invert Sel.");
  EXPECT_EQ(BuiltinLabel(200), "Message");
  EXPECT_EQ(BuiltinLabel(202),
            "Can't start delete because patient is not selected.\nPlease first select patient.");
  EXPECT_TRUE(BuiltinLabel(203).contains("\r\n"));
  EXPECT_EQ(BuiltinLabel(167), "File");
  EXPECT_EQ(BuiltinLabel(180) + " " + BuiltinLabel(178), "Prev. Image");
  EXPECT_EQ(BuiltinLabel(330), "");   // workbook only
  EXPECT_EQ(BuiltinLabel(1024), "");  // a dialog control id, not a label
  QSet<int> ids;
  for (const BuiltinLabelEntry& e : BuiltinLabels()) {
    EXPECT_FALSE(ids.contains(e.id)) << "duplicate id " << e.id;
    ids.insert(e.id);
    EXPECT_FALSE(QString::fromUtf8(e.text).isEmpty()) << e.id;
  }
  EXPECT_EQ(ids.size(), static_cast<int>(BuiltinLabels().size()));
}

TEST(ResourceWorkbook, HoldsEveryBuiltInLabelAndTheStudyDeleteQuestion) {
  const QString path = resourceWorkbookPath();
  ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
  RecordingMessageSink sink;
  ScopedMessageSink bind(&sink);
  LanguageTable table;
  ReadLanguageWorkbook(path, &table);
  EXPECT_TRUE(sink.isEmpty());
  for (const BuiltinLabelEntry& e : BuiltinLabels()) {
    EXPECT_EQ(table.value(QString::number(e.id)), QString::fromUtf8(e.text)) << e.id;
  }
  EXPECT_TRUE(table.value("330").startsWith("Do you delete selected Study information?"));
  EXPECT_EQ(table.size(), static_cast<int>(BuiltinLabels().size()) + 1);
}

// Regenerates resources/toraScan.xls from the built-in table when asked:
//   TORASCAN_WRITE_LABEL_WORKBOOK=1 build/tests/test_app --gtest_filter='ResourceWorkbook.*'
TEST(ResourceWorkbook, RegenerateWhenAsked) {
  if (qEnvironmentVariableIsEmpty("TORASCAN_WRITE_LABEL_WORKBOOK")) {
    GTEST_SKIP() << "set TORASCAN_WRITE_LABEL_WORKBOOK=1 to rewrite resources/toraScan.xls";
  }
  ASSERT_TRUE(writeXlsWorkbook(resourceWorkbookPath(), resourceWorkbookSheets()));
}
