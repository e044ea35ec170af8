// The report database's statement runner: connection, results read as text, bound values.
#include <QFile>

#include "reports/ReportTestSupport.h"

namespace {

using QueryTest = testsupport::ReportDatabaseTest;

TEST_F(QueryTest, MissingDatabaseIsCreatedWithTheReportTables) {
  EXPECT_TRUE(QFile::exists(dir.filePath("toraScan.db")));
  ASSERT_TRUE(
      query.ExecuteStatement("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
  QStringList tables;
  while (query.FetchRow() == CQuery::kSuccess) tables << query.GetColumnText(1);
  query.CloseStatement();
  EXPECT_EQ(tables, QStringList({"preform", "report", "user"}));
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(QueryTest, ColumnsReadByNumberOrCaselessNameNullAsEmpty) {
  ASSERT_TRUE(query.ExecuteStatement("Insert into preform (title, finding) VALUES (?, ?)",
                                     {"Chest", "clear"}));
  ASSERT_TRUE(query.ExecuteStatement("select title, finding, conclusion from preform"));
  EXPECT_EQ(query.ColumnCount(), 3);
  ASSERT_EQ(query.FetchRow(), CQuery::kSuccess);
  EXPECT_EQ(query.FindColumn("FINDING"), 2);
  EXPECT_EQ(query.GetColumnText("TITLE"), "Chest");
  EXPECT_EQ(query.GetColumnText(2), "clear");
  EXPECT_EQ(query.GetColumnText("conclusion"), "") << "null";
  EXPECT_EQ(query.GetColumnText(4), "CQUERYNOCOL");
  EXPECT_EQ(query.GetColumnText(0), "CQUERYNOCOL");
  EXPECT_EQ(query.GetColumnText("nosuch"), "");
  EXPECT_EQ(query.FindColumn("nosuch"), -1);
  EXPECT_EQ(query.FetchRow(), CQuery::kNoData);
  query.CloseStatement();
}

TEST_F(QueryTest, NoMatchingRowAndNoAffectedRowStillSucceed) {
  ASSERT_TRUE(query.ExecuteStatement("select * from report where reportid = ?", {"1.2.3"}));
  EXPECT_EQ(query.FetchRow(), CQuery::kNoData);
  query.CloseStatement();
  ASSERT_TRUE(
      query.ExecuteStatement("update report set finding = ? where reportid = ?", {"x", "1.2.3"}));
  EXPECT_EQ(query.ReturnCode(), CQuery::kNoData);
  EXPECT_EQ(query.RowCount(), 0);
}

// Quotes, other scripts and long texts are stored and read back exactly.
TEST_F(QueryTest, BoundValuesRoundTripEveryCharacter) {
  const QString values[] = {"O'Brien", "it''s \"quoted\"; --", "김민준 / 山田太郎 / Ærø",
                            "line 1\r\nline 2", QString(5000, QChar(0x00E9))};
  for (const QString& value : values) {
    ASSERT_TRUE(query.ExecuteStatement("Insert into user (userid, username) VALUES (?, ?)",
                                       {value, value}));
    ASSERT_TRUE(query.ExecuteStatement("select username from user where userid = ?", {value}));
    ASSERT_EQ(query.FetchRow(), CQuery::kSuccess);
    EXPECT_EQ(query.GetColumnText("username"), value);
    query.CloseStatement();
  }
}

TEST_F(QueryTest, AHundredColumnsAreReadAndMoreAreRefused) {
  auto columns = [](int n) {
    QStringList list;
    for (int i = 1; i <= n; ++i) list << QStringLiteral("%1 AS c%1").arg(i);
    return "SELECT " + list.join(',');
  };
  ASSERT_TRUE(query.ExecuteStatement(columns(100)));
  ASSERT_EQ(query.FetchRow(), CQuery::kSuccess);
  EXPECT_EQ(query.GetColumnText(100), "100");
  EXPECT_TRUE(sink.isEmpty());
  EXPECT_FALSE(query.ExecuteStatement(columns(101)));
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].text, "최대 컬럼 수를 초과했습니다");
  EXPECT_EQ(sink.messages()[0].caption, "CQuery 에러");
}

TEST_F(QueryTest, FailingStatementsAreSilent) {
  EXPECT_FALSE(query.ExecuteStatement("select * from nosuchtable"));
  EXPECT_EQ(query.ReturnCode(), CQuery::kError);
  EXPECT_FALSE(query.LastError().isEmpty());
  EXPECT_EQ(query.FetchRow(), CQuery::kError);
  CQuery unconnected;
  EXPECT_FALSE(unconnected.ExecuteStatement("select 1"));
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(QueryTest, ADatabaseThatCannotBeConnectedIsTold) {
  sink.clear();
  CQuery other;
  EXPECT_FALSE(ConnectReportDatabase(other, dir.filePath("no/such/folder/toraScan.db")));
  EXPECT_FALSE(other.IsConnected());
  ASSERT_EQ(sink.count(), 2);
  EXPECT_TRUE(sink.messages()[0].text.startsWith("SQLSTATE:")) << sink.texts()[0].toStdString();
  EXPECT_TRUE(sink.messages()[0].text.contains(", 진단정보:"));
  EXPECT_EQ(sink.messages()[0].caption, "진단 정보");
  EXPECT_EQ(sink.messages()[1].text, "Can't connect a database for report");
  EXPECT_EQ(sink.messages()[1].caption, "toraScan");
  EXPECT_EQ(sink.messages()[1].style, MB_ICONEXCLAMATION);
}

}  // namespace
