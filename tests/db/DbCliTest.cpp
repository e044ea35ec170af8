#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include "DbTestSupport.h"

namespace {

using DbCli = DbTest;

TEST_F(DbCli, FillThenStatsCountsTheCoreTables) {
  const CliRun fill = cli({"db-fill", "--db", path, "--patients", "3", "--studies-per-patient", "2",
                           "--images-per-study", "4"});
  ASSERT_EQ(fill.exitCode, 0);
  // A second fill adds to the first.
  ASSERT_EQ(cli({"db-fill", "--db", path, "--patients", "1"}).exitCode, 0);
  const CliRun stats = cli({"db-stats", "--db", path});
  ASSERT_EQ(stats.exitCode, 0);
  const QJsonObject json = QJsonDocument::fromJson(stats.out).object();
  EXPECT_EQ(json.value("PatInfo").toInt(), 4);
  EXPECT_EQ(json.value("StuInfo").toInt(), 8);
  EXPECT_EQ(json.value("SerInfo").toInt(), 8);
  EXPECT_EQ(json.value("ImgInfo").toInt(), 34);
  // The filled archive is consistent: totals recounted, no patient ID twice.
  EXPECT_EQ(scalar("SELECT SUM(TotalInstance) AS n FROM StuInfo"), 34);
  EXPECT_EQ(scalar("SELECT COUNT(DISTINCT PatID) AS n FROM PatInfo"), 4);
}

TEST_F(DbCli, WrongCommandLinesAndMissingDatabases) {
  EXPECT_EQ(cli({"db-fill", "--patients", "3"}).exitCode, 2);
  EXPECT_EQ(cli({"db-fill", "--db", path, "--patients", "-1"}).exitCode, 2);
  EXPECT_EQ(cli({"db-fill", "--db", path, "--patients", "x"}).exitCode, 2);
  EXPECT_EQ(cli({"db-stats"}).exitCode, 2);
  // Statistics never create a database.
  if (TestDatabase::onServer()) {
    QUrl missing(path);
    missing.setPath("/no_such_database");
    EXPECT_EQ(cli({"db-stats", "--db", missing.toString()}).exitCode, 1);
  } else {
    EXPECT_EQ(cli({"db-stats", "--db", path}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(path));
  }
  EXPECT_EQ(
      cli({"db-fill", "--db", dir.filePath("no/such/folder/x.db"), "--patients", "1"}).exitCode, 1);
}

}  // namespace
