// The report database of a shared archive, on the server: the same classes write and read
// reports, templates and users there as in toraScan.db.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/IniFile.h"
#include "db/Query.h"
#include "login/UserAccounts.h"
#include "reports/ReportStore.h"
#include "support/TestDatabase.h"
#include "ui/MessageSink.h"

namespace {

TEST(ReportsOnServer, ReportsTemplatesAndUsersLiveThere) {
  QTemporaryDir dir;
  RecordingMessageSink sink;
  ScopedMessageSink bind(&sink);
  TestDatabase database(dir.path());
  if (!TestDatabase::onServer()) GTEST_SKIP() << "runs on the server only";
  TORASCAN_NEEDS_DATABASE(database);
  CQuery query;
  ASSERT_TRUE(ConnectReportDatabase(query, database.location()));

  UserAccounts users(query);
  EXPECT_EQ(users.Add("kim", "Kim Lee", "s'cret"), UserAdd::Added);
  EXPECT_EQ(users.Add("kim", "Kim Lee", "other"), UserAdd::Taken);
  CIniFile ini(dir.filePath("Pelmora.ini"));
  EXPECT_EQ(users.Login("kim", "s'cret", ini), UserLogin::Accepted);
  EXPECT_EQ(users.List().size(), 1);

  PreformStore templates(query);
  ASSERT_TRUE(templates.Add("Chest", {"clear", "normal", ""}));
  ASSERT_TRUE(templates.MarkDefault("Chest"));
  QStringList titles;
  QString defaultTitle;
  ASSERT_TRUE(templates.List(titles, &defaultTitle));
  EXPECT_EQ(titles, QStringList{"Chest"});
  EXPECT_EQ(defaultTitle, "Chest");

  ReportStore reports(query);
  const ReportTexts texts{"Hairline fracture, ", "see ü", ""};
  EXPECT_EQ(reports.Save("1.2.3", "/a.dcm", {"P1", "Doe^Jane", "F", "19700102", "Hand", "20240305"},
                         texts),
            "");
  StoredReport stored;
  ASSERT_TRUE(reports.Read("1.2.3", stored));
  EXPECT_EQ(stored.texts, texts);
  EXPECT_EQ(stored.header.name, "Doe^Jane");
  EXPECT_EQ(sink.texts(), (QStringList{"Success", "This User ID is registered already"}));
}

}  // namespace
