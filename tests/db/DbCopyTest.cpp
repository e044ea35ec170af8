// torascan-cli db-copy: an archive copied into the test's database (a server database in the
// postgresql.* run) and back into a file holds the same rows; a copy killed part-way goes on
// where it stopped; a copy that would mix two archives is refused.
#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QSqlRecord>

#include <csignal>

#include "DbTestSupport.h"
#include "db/ImageDatabase.h"
#include "db/SqlDialect.h"

namespace {

// Per table of the schema, in a SQLite file: its row count and a digest of its rows (each value
// with its type), the rows ordered by all their columns.
QMap<QString, QString> tableDigests(const QString& file, const QString& schemaFile = QString()) {
  QMap<QString, QString> digests;
  QString error;
  QSqlDatabase db = imagedb::openConnection(file, &error, nullptr, schemaFile);
  EXPECT_TRUE(db.isOpen()) << error.toStdString();
  const QString schema = imagedb::engineSchemaFile(SqlDialect::forDriver("QSQLITE"), schemaFile);
  for (const QString& table :
       imagedb::schemaTables(imagedb::schemaStatements(imagedb::schemaText(schema)))) {
    const int columns = db.record(table).count();
    QStringList order;
    for (int i = 1; i <= columns; ++i) order.append(QString::number(i));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    EXPECT_TRUE(query.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2")
                               .arg(SqlDialect::name(table), order.join(QLatin1Char(',')))))
        << table.toStdString();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    qint64 rows = 0;
    for (; query.next(); ++rows) {
      for (int i = 0; i < columns; ++i) {
        const QVariant value = query.value(i);
        hash.addData(QByteArray::number(value.metaType().id()) + ':');
        hash.addData(value.isNull() ? QByteArray("\\N") : value.toString().toUtf8());
        hash.addData(QByteArrayView("\x1f"));
      }
    }
    digests.insert(table, QStringLiteral("%1 rows, %2").arg(rows).arg(
                              QString::fromLatin1(hash.result().toHex())));
  }
  imagedb::releaseConnection(db);
  return digests;
}

// Runs the statements on the database at location (schemaFile: as openConnection).
void execute(const QString& location, const QStringList& statements,
             const QString& schemaFile = QString()) {
  QString error;
  QSqlDatabase db = imagedb::openConnection(location, &error, nullptr, schemaFile);
  ASSERT_TRUE(db.isOpen()) << error.toStdString();
  EXPECT_TRUE(imagedb::runStatements(db, statements, &error)) << error.toStdString();
  imagedb::releaseConnection(db);
}

QJsonObject tableOutcome(const CliRun& run, const QString& part, const QString& table) {
  return QJsonDocument::fromJson(run.out).object().value(part).toObject().value(table).toObject();
}

class DbCopy : public DbTest {
 protected:
  // A SQLite archive of patients with one study of five images each (db-fill), and rows in the
  // small tables: a key named by a reserved word (Operator's "Index"), NULL beside empty text,
  // quotes, Hangul, fractions.
  QString makeArchive(const QString& name, int patients) {
    const QString file = dir.filePath(name);
    EXPECT_EQ(cli({"db-fill", "--db", file, "--patients", QString::number(patients),
                   "--studies-per-patient", "1", "--images-per-study", "5"})
                  .exitCode,
              0);
    execute(file, {"INSERT INTO Operator (OperatorName, Password) VALUES ('O''Hara', NULL), "
                   "('Kim', '')",
                   "INSERT INTO Worklist (StuAccessNo, PatID, PatName, StuSchedule) VALUES "
                   "('acc-1', 'P0000001', '홍길동^철수', '2024-02-03 10:00:00')",
                   "INSERT INTO tEP (NameEP, KeyMT) VALUES ('Chest PA', 3)",
                   "INSERT INTO Network (AETitle, Host, Port) VALUES ('VANTREL', '127.0.0.1', 1205)",
                   "UPDATE ImgInfo SET WindowCenter = 0.1, RescaleIntercept = -1024.5, "
                   "InstitutionName = '' WHERE ImgSeq = 7"});
    return file;
  }

  static CliRun copy(const QString& from, const QString& to, const QStringList& more = {}) {
    return cli(QStringList{"db-copy", "--from", from, "--to", to} + more);
  }
};

TEST_F(DbCopy, HundredThousandImagesThereAndBackGiveTheSameRows) {
  const QString source = makeArchive("source.db", 20000);
  const CliRun there = copy(source, path);
  ASSERT_EQ(there.exitCode, 0) << there.err.toStdString();
  EXPECT_EQ(tableOutcome(there, "images", "ImgInfo").value("copied").toInt(), 100000);
  EXPECT_EQ(tableOutcome(there, "images", "PatInfo").value("copied").toInt(), 20000);
  EXPECT_TRUE(there.err.contains("ImgInfo 100000/100000\n")) << there.err.toStdString();

  const QString back = dir.filePath("back.db");
  const CliRun returned = copy(path, back);
  ASSERT_EQ(returned.exitCode, 0) << returned.err.toStdString();
  EXPECT_EQ(tableDigests(back), tableDigests(source));

  // Run again, the copy finds every row there and writes none.
  const CliRun again = copy(source, path);
  ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
  EXPECT_EQ(tableOutcome(again, "images", "ImgInfo").value("present").toInt(), 100000);
  EXPECT_EQ(tableOutcome(again, "images", "ImgInfo").value("copied").toInt(), 0);

  // Rows added afterwards take keys after the copied ones.
  EXPECT_EQ(addImage(1, 6), 100001);
  execute(path, {"INSERT INTO Operator (OperatorName) VALUES ('new')"});
  EXPECT_EQ(scalar("SELECT MAX(\"Index\") AS n FROM Operator"), 3);

  // Now the target holds a row the source lacks.
  const CliRun refused = copy(source, path);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(refused.err.contains("ImgInfo: the target holds more rows than the source"))
      << refused.err.toStdString();
}

TEST_F(DbCopy, CopiesKilledPartWayGoOnWithoutDuplicates) {
  const QString source = makeArchive("source.db", 4000);
  // Each run reports every table it passes and every batch it commits: a kill after more lines
  // lands further on (ImgInfo, then the patients and studies).
  for (const int lines : {4, 30, 60}) {
    SCOPED_TRACE(lines);
    QProcess process;
    process.setReadChannel(QProcess::StandardError);
    process.start(QStringLiteral(TORASCAN_CLI),
                  {"db-copy", "--from", source, "--to", path, "--batch", "500"});
    int seen = 0;
    while (seen < lines && process.waitForReadyRead(60000)) {
      for (; process.canReadLine(); ++seen) process.readLine();
    }
    ASSERT_EQ(process.state(), QProcess::Running) << "the copy ended before it was killed";
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    ASSERT_TRUE(process.waitForFinished(60000));
  }
  const CliRun finished = copy(source, path, {"--batch", "500"});
  ASSERT_EQ(finished.exitCode, 0) << finished.err.toStdString();
  EXPECT_GT(tableOutcome(finished, "images", "ImgInfo").value("present").toInt(), 0);

  const QString back = dir.filePath("back.db");
  ASSERT_EQ(copy(path, back).exitCode, 0);
  EXPECT_EQ(tableDigests(back), tableDigests(source));
}

TEST_F(DbCopy, RefusalsLeaveTheTargetAsItWas) {
  const QString source = makeArchive("source.db", 20);
  const QString other = dir.filePath("other.db");
  ASSERT_EQ(cli({"db-fill", "--db", other, "--patients", "4", "--studies-per-patient", "3"}).exitCode,
            0);
  const QMap<QString, QString> before = tableDigests(other);
  const QString fresh = dir.filePath("fresh.db");
  struct Case {
    const char* what;
    QStringList args;
    int exitCode;
    const char* message;
  };
  const Case cases[] = {
      {"one file twice", {"--from", source, "--to", source}, 1, "are the same database"},
      {"one file by two paths", {"--from", source, "--to", dir.path() + "/./source.db"}, 1,
       "are the same database"},
      {"the test's database twice", {"--from", path, "--to", path}, 1, "are the same database"},
      // other's image 6 belongs to its first patient's second study, source's to its second
      // patient.
      {"a target holding another archive", {"--from", source, "--to", other}, 1,
       "ImgInfo: the target holds other rows under the same keys (ImgSeq 6)"},
      {"a missing source", {"--from", dir.filePath("none.db"), "--to", fresh}, 1,
       "no such database"},
      {"no target", {"--from", source}, 2, "usage: db-copy"},
      {"half a pair of report databases",
       {"--from", source, "--to", fresh, "--reports-from", source}, 2, "usage: db-copy"},
      {"no rows a batch", {"--from", source, "--to", fresh, "--batch", "0"}, 2, "--batch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CliRun run = cli(QStringList{"db-copy"} + c.args);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
  }
  EXPECT_EQ(tableDigests(other), before);
  EXPECT_FALSE(QFile::exists(fresh));
}

TEST_F(DbCopy, ReportDatabaseThereAndBackGivesTheSameRows) {
  const QString reports = dir.filePath("toraScan.db");
  const QString schema = QLatin1String(imagedb::kReportSchemaFile);
  QStringList rows;
  const QStringList names{"O'Brien^Anna", "홍^길동", "Παπαδόπουλος^Νίκος"};
  for (int i = 0; i < 120; ++i) {
    // Report ids in an order of their bytes that differs from their numbers' and from any
    // caseless order; long texts with line breaks; a conclusion missing in some.
    rows.append(QStringLiteral("INSERT INTO report (reportid, file, patid, patname, finding, "
                               "conclusion) VALUES ('1.2.%1.%2', '/a/%1.dcm', 'P%1', '%3', '%4', %5)")
                    .arg(i)
                    .arg(i % 2 ? QStringLiteral("a") : QStringLiteral("B"))
                    .arg(QString(names.at(i % 3)).replace("'", "''"))
                    .arg(QString("line\nnext ").repeated(200))
                    .arg(i % 4 ? QStringLiteral("'normal'") : QStringLiteral("NULL")));
  }
  rows << "INSERT INTO preform (title, finding, \"default\") VALUES ('Chest', 'clear', 'Y'), "
          "('Chest', 'clear', ''), (NULL, 'untitled', NULL)"
       << "INSERT INTO user (userid, userpwd, username) VALUES ('admin', '$argon2id$v=19$x', "
          "'관리자')";
  execute(reports, rows, schema);

  const CliRun there =
      cli({"db-copy", "--reports-from", reports, "--reports-to", path, "--batch", "50"});
  ASSERT_EQ(there.exitCode, 0) << there.err.toStdString();
  EXPECT_EQ(tableOutcome(there, "reports", "report").value("copied").toInt(), 120);
  EXPECT_EQ(tableOutcome(there, "reports", "preform").value("copied").toInt(), 3);
  EXPECT_EQ(tableOutcome(there, "reports", "user").value("copied").toInt(), 1);
  const QString back = dir.filePath("toraScan-back.db");
  const CliRun returned =
      cli({"db-copy", "--reports-from", path, "--reports-to", back, "--batch", "50"});
  ASSERT_EQ(returned.exitCode, 0) << returned.err.toStdString();
  EXPECT_EQ(tableDigests(back, schema), tableDigests(reports, schema));
}

}  // namespace
