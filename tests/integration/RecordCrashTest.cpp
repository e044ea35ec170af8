// torascan-cli renumber and delete killed with SIGKILL at random moments: once the next
// operation has finished what the killed one committed, the database is sound, the numbers of
// each series are unique, every row names an existing file, every stored file has its row, and
// every file holds the numbers of its row.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <random>
#include <set>

#include "browser/RecordOperations.h"
#include "db/DaoDatabase.h"
#include "image/DicomTags.h"
#include "imaging/DicomDataSet.h"
#include "login/Passwords.h"
#include "support/DicomBuilder.h"

namespace {

constexpr int kKills = 20;

class RecordCrash : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir().mkpath(originals));
  }
  void TearDown() override {
    connection.close();
    connection = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("record-observer"));
  }

  // `studies` studies of `perStudy` images each, one series per study, kept aside as originals.
  void makeFiles(int studies, int perStudy, bool withOriginals) {
    std::vector<Uint16> pixels(64 * 64, 100);
    for (int s = 0; s < studies; ++s) {
      for (int i = 1; i <= perStudy; ++i) {
        testsupport::DicomBuilder file;
        file.set(DCM_SOPInstanceUID, "1.2.826.0.1.3680043.2.1125.9." + std::to_string(s) + "." +
                                         std::to_string(i))
            .set(DCM_Modality, "CR")
            .set(DCM_PatientID, "R" + std::to_string(s / 2))
            .set(DCM_StudyInstanceUID, "1.2.826.0.1.3680043.2.1125.8." + std::to_string(s))
            .set(DCM_StudyID, std::to_string(s))
            .set(DCM_StudyDate, "20240305")
            .set(DCM_SeriesNumber, "1")
            .set(DCM_InstanceNumber, std::to_string(i))
            .set(DCM_AcquisitionNumber, std::to_string(i + 100))
            .pixels16(64, 64, pixels, 12);
        const QString name = QStringLiteral("%1/%2.dcm").arg(s).arg(i, 3, 10, QLatin1Char('0'));
        QDir(originals).mkpath(QString::number(s));
        ASSERT_TRUE(file.save(QDir(originals).filePath(name)));
        if (withOriginals) {
          ASSERT_TRUE(QFile::copy(QDir(originals).filePath(name),
                                  QDir(originals).filePath(name).chopped(4) + "_org.dcm"));
        }
      }
    }
  }

  // The originals copied into storage and indexed, and an operator who may change them.
  void fillArchive() {
    QDir(store).removeRecursively();
    QDirIterator it(originals, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString file = it.next();
      const QString target = store + file.mid(originals.size());
      QDir().mkpath(QFileInfo(target).path());
      ASSERT_TRUE(QFile::copy(file, target));
    }
    QProcess import;
    import.start(QStringLiteral(TORASCAN_CLI), {"import", "--db", db, "--recursive", store});
    ASSERT_TRUE(import.waitForFinished(120000));
    ASSERT_EQ(import.exitCode(), 0) << import.readAllStandardError().toStdString();
    if (!connection.isOpen()) {
      connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                             QStringLiteral("record-observer"));
      connection.setDatabaseName(db);
      ASSERT_TRUE(connection.open());
      QSqlQuery add(connection);
      add.prepare(QStringLiteral("INSERT INTO Operator (OperatorName, Password) VALUES (?, ?)"));
      add.addBindValue(QStringLiteral("Kim"));
      add.addBindValue(HashPassword(QStringLiteral("secret")));
      ASSERT_TRUE(add.exec());
    }
  }

  long scalar(const QString& sql) {
    QSqlQuery query(sql, connection);
    return query.next() ? query.value(0).toLongLong() : -1;
  }

  // Runs the tool with the operator's password; kills it after delayMs unless it ended first.
  // The elapsed time when it ran to its end, -1 when it was killed.
  qint64 run(const QStringList& args, qint64 delayMs) {
    QProcess tool;
    QElapsedTimer timer;
    timer.start();
    tool.start(QStringLiteral(TORASCAN_CLI),
               args + QStringList{"--db", db, "--operator", "Kim", "--storage", store});
    if (!tool.waitForStarted()) return -1;
    tool.write("secret\n");
    tool.closeWriteChannel();
    if (delayMs >= 0 && !tool.waitForFinished(int(delayMs))) {
      ::kill(pid_t(tool.processId()), SIGKILL);
      tool.waitForFinished(60000);
      return -1;
    }
    tool.waitForFinished(120000);
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    return timer.elapsed();
  }

  // What the next operation finds: the killed one's committed file work done first.
  void finishAndExpectSound(bool checkNumbers) {
    {
      CDaoDatabase database;
      ASSERT_TRUE(database.Open(db));
      ASSERT_TRUE(CRecordOperations(database, {store}).FinishPendingFiles());
    }
    EXPECT_EQ(QSqlQuery(QStringLiteral("PRAGMA integrity_check"), connection).next()
                  ? scalar(QStringLiteral("SELECT 1 WHERE (SELECT * FROM pragma_integrity_check) "
                                          "= 'ok'"))
                  : -1,
              1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM (SELECT SerSeq FROM ImgInfo GROUP BY "
                                    "SerSeq, ImageNo HAVING COUNT(*) > 1)")),
              0);
    std::set<QString> named;
    QSqlQuery rows(QStringLiteral("SELECT FullPath, ImageNo, AcqNo FROM ImgInfo"), connection);
    while (rows.next()) {
      const QString path = rows.value(0).toString();
      named.insert(QFileInfo(path).absoluteFilePath());
      ASSERT_TRUE(QFileInfo(path).isFile()) << "row names a missing file: " << path.toStdString();
      if (!checkNumbers) continue;
      for (const QString& file : {path, path.chopped(4) + "_org.dcm"}) {
        imaging::DicomDataSet data;
        ASSERT_EQ(data.load(file.toStdString()), 0) << file.toStdString();
        EXPECT_EQ(data.text(tag::InstanceNumber), rows.value(1).toString().toStdString())
            << file.toStdString();
        EXPECT_EQ(data.text(tag::AcquisitionNumber), rows.value(2).toString().toStdString())
            << file.toStdString();
      }
    }
    QDirIterator it(store, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      QString file = QFileInfo(it.next()).absoluteFilePath();
      if (file.endsWith(QStringLiteral("_org.dcm"))) file = file.chopped(8) + ".dcm";
      EXPECT_TRUE(named.count(file)) << "file without its row: " << file.toStdString();
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM PendingFile")), 0);
  }

  QTemporaryDir dir;
  QString originals = dir.filePath(QStringLiteral("originals"));
  QString store = dir.filePath(QStringLiteral("store"));
  QString db = dir.filePath(QStringLiteral("Pelmora.db"));
  QSqlDatabase connection;
  std::mt19937 random{std::random_device{}()};
};

// A 50-image series renumbered back and forth (50 in front of 1, then 1 in front of 50): every
// image and its original rewritten each time.
TEST_F(RecordCrash, KilledRenumberingLeavesRowsAndFilesInStep) {
  makeFiles(1, 50, true);
  fillArchive();
  const QString series = QString::number(scalar(QStringLiteral("SELECT SerSeq FROM SerInfo")));
  const QStringList forth{"renumber", "--series", series, "--move", "50", "--before", "1"};
  const QStringList back{"renumber", "--series", series, "--move", "1", "--before", "50"};
  const qint64 whole = run(forth, -1);
  ASSERT_GT(whole, 0);
  RecordProperty("uninterruptedMs", int(whole));
  finishAndExpectSound(true);
  int kills = 0;
  for (int i = 0; i < kKills && !HasFailure(); ++i) {
    const qint64 delay = std::uniform_int_distribution<qint64>(0, whole)(random);
    if (run(i % 2 ? forth : back, delay) < 0) ++kills;
    finishAndExpectSound(true);
  }
  RecordProperty("kills", kills);
  EXPECT_GT(kills, 0);
}

// Delete All of 1,000 images (20 studies of 50); the archive is filled again whenever a run got
// through its commit.
TEST_F(RecordCrash, KilledDeleteAllLeavesRowsAndFilesInStep) {
  makeFiles(20, 50, false);
  fillArchive();
  ASSERT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM ImgInfo")), 1000);
  const qint64 whole = run({"delete", "--all"}, -1);
  ASSERT_GT(whole, 0);
  RecordProperty("uninterruptedMs", int(whole));
  finishAndExpectSound(false);
  EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM PatInfo")), 0);
  int kills = 0;
  for (int i = 0; i < kKills && !HasFailure(); ++i) {
    if (scalar(QStringLiteral("SELECT COUNT(*) FROM ImgInfo")) == 0) fillArchive();
    const qint64 delay = std::uniform_int_distribution<qint64>(0, whole)(random);
    if (run({"delete", "--all"}, delay) < 0) ++kills;
    finishAndExpectSound(false);
    const long images = scalar(QStringLiteral("SELECT COUNT(*) FROM ImgInfo"));
    EXPECT_TRUE(images == 0 || images == 1000) << images;  // all or nothing
  }
  RecordProperty("kills", kills);
  EXPECT_GT(kills, 0);
}

}  // namespace
