// The worklist entries of a study's accession number, removed with their dependent rows.
#include <gtest/gtest.h>

#include <QPushButton>

#include "browser/WorklistEntries.h"
#include "browser/widgets/DlgBrowser.h"
#include "db/DbTestSupport.h"
#include "frame/widgets/MainFrame.h"

namespace {

class WorklistEntries : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    ASSERT_TRUE(database.Open(path));
  }
  // A Worklist row and its OCS rows.
  void addEntry(const QString& accessionNumber, int ocsRows) {
    CdbDatabase statements(&database);
    ASSERT_TRUE(statements.Execute(QStringLiteral("INSERT INTO Worklist (StuAccessNo) VALUES (?)"),
                                   {accessionNumber}));
    for (int i = 0; i < ocsRows; ++i) {
      ASSERT_TRUE(
          statements.Execute(QStringLiteral("INSERT INTO WorklistOCS (idx, Code) "
                                            "SELECT MAX(idx), 'c' FROM Worklist")));
    }
  }
  long count(const QString& sql) {
    CdbDatabase query(&database);
    if (!query.Open(CGMDaoRecordset::dbOpenSnapshot, sql) || query.IsEOF()) return -1;
    return query.GetFieldValue(QStringLiteral("n")).toLongLong();
  }
  // Worklist rows of a number and the OCS rows hanging from them.
  std::pair<long, long> rowsOf(const QString& accessionNumber) {
    const QString where =
        QStringLiteral("StuAccessNo = '%1'").arg(QString(accessionNumber).replace("'", "''"));
    return {count("SELECT COUNT(*) AS n FROM Worklist WHERE " + where),
            count("SELECT COUNT(*) AS n FROM WorklistOCS WHERE idx IN (SELECT idx FROM Worklist "
                  "WHERE " +
                  where + ")")};
  }
  long ocsRows() { return count(QStringLiteral("SELECT COUNT(*) AS n FROM WorklistOCS")); }

  CDaoDatabase database;
};

TEST_F(WorklistEntries, EveryEntryOfTheNumberGoesWithItsDependentRowsAndNothingElse) {
  addEntry("ACC1", 2);
  addEntry("ACC1", 3);
  addEntry("O'Brien-7", 1);
  addEntry("", 1);
  addEntry("ACC2", 4);
  long remaining = 2 + 3 + 1 + 1 + 4;
  for (const char* text : {"ACC1", "O'Brien-7", "", "NONE"}) {
    SCOPED_TRACE(text);
    const QString number = QString::fromUtf8(text);
    const long ocs = rowsOf(number).second;
    EXPECT_TRUE(DeleteWorklistEntries(database, number));
    EXPECT_EQ(rowsOf(number), std::make_pair(0L, 0L));
    remaining -= ocs;
    EXPECT_EQ(ocsRows(), remaining);
  }
  EXPECT_EQ(rowsOf("ACC2"), std::make_pair(1L, 4L));
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(WorklistEntries, AFailureIsShownAndLeavesEveryRowInPlace) {
  addEntry("ACC1", 2);
  CdbDatabase statements(&database);
  ASSERT_TRUE(statements.Execute(QStringLiteral(
      "CREATE TRIGGER keep BEFORE DELETE ON Worklist BEGIN SELECT RAISE(ABORT, 'kept'); END")));
  EXPECT_FALSE(DeleteWorklistEntries(database, "ACC1"));
  EXPECT_EQ(rowsOf("ACC1"), std::make_pair(1L, 2L)) << "the OCS rows deleted first came back";
  ASSERT_EQ(sink.count(), 1);
  EXPECT_TRUE(sink.messages()[0].text.contains("kept"));
  EXPECT_EQ(sink.messages()[0].caption, "Browser");
  EXPECT_EQ(sink.messages()[0].style, MB_ICONWARNING);
}

TEST(WorklistButton, HidesTheBrowserOnlyBesideAMainWindowsView) {
  RecordingMessageSink sink;  // the browser without a database says so when it shows
  ScopedMessageSink bind(&sink);
  CMainFrame frame;
  for (CMainFrame* owner : {static_cast<CMainFrame*>(nullptr), &frame}) {
    CDlgBrowser browser(owner);
    browser.show();
    auto* button =
        browser.findChild<QPushButton*>(QStringLiteral("ctl%1").arg(CDlgBrowser::kWorklist));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isVisibleTo(&browser)) << "the layout keeps it hidden";
    button->click();
    EXPECT_EQ(browser.isVisible(), owner == nullptr);
  }
}

}  // namespace
