// From the modality to the archive: DCMTK's storescu sends to the companion on 127.0.0.1, and
// torascan-cli watch, running as it would beside the viewer, indexes what lands in the drop
// folder and moves it into the archive.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <algorithm>
#include <functional>
#include <map>

#include "browser/DropFolder.h"
#include "reception/ReceptionSupport.h"
#include "support/DicomBuilder.h"

namespace {

using reception::ReadDatasetImage;
using reception::RunningVantrel;
using testsupport::CompanionFolder;
using testsupport::DicomBuilder;

bool waitFor(const std::function<bool()>& done, int ms = 30000) {
  const QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QThread::msleep(20);
  }
  return true;
}

TEST(WatchedReception, WhatStorescuSendsIsIndexedFromTheArchiveOnceAndBadFilesAreSetAside) {
  CompanionFolder folder;
  ASSERT_TRUE(folder.isValid());
  RunningVantrel vantrel(folder);
  ASSERT_TRUE(vantrel.waitUntilReceiving()) << vantrel.errorOutput().toStdString();
  QTemporaryDir work;
  const QString db = work.filePath(QStringLiteral("Pelmora.db"));
  const QString archive = QDir(folder.savePath()).filePath(QStringLiteral("archive"));

  // Thirty images of three studies.
  QTemporaryDir sources;
  std::map<QString, QString> sent;  // SOP Instance UID -> file sent
  std::vector<Uint16> pixels(32 * 32, 700);
  for (int i = 0; i < 30; ++i) {
    const std::string uid = "1.2.826.0.1.3680043.2.1125.8." + std::to_string(i + 1);
    DicomBuilder image;
    image.set(DCM_SOPClassUID, UID_ComputedRadiographyImageStorage)
        .set(DCM_SOPInstanceUID, uid)
        .set(DCM_Modality, "CR")
        .set(DCM_PatientID, "R" + std::to_string(i / 10))
        .set(DCM_StudyInstanceUID, "1.2.826.0.1.3680043.2.1125.3." + std::to_string(i / 10))
        .set(DCM_InstanceNumber, std::to_string(i + 1))
        .pixels16(32, 32, pixels, 12);
    const QString path = sources.filePath(QString::number(i) + QStringLiteral(".dcm"));
    ASSERT_TRUE(image.save(path));
    sent[QString::fromStdString(uid)] = path;
  }

  QProcess watch;
  watch.start(QStringLiteral(TORASCAN_CLI), {"watch", "--db", db, "--folder", folder.dropFolder()});
  ASSERT_TRUE(watch.waitForStarted());
  const QStringList storescu = {
      "+sd", "-aec", "VANTREL", "127.0.0.1", QString::number(folder.port()), sources.path()};
  ASSERT_EQ(QProcess::execute(QStringLiteral("storescu"), storescu), 0);

  QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "reception");
  connection.setDatabaseName(db);
  const auto rows = [&] {
    std::map<QString, QString> result;
    if (!connection.isOpen() && !connection.open()) return result;
    QSqlQuery query(QStringLiteral("SELECT SOPInstanceUID, FullPath FROM ImgInfo"), connection);
    while (query.next()) result[query.value(0).toString()] = query.value(1).toString();
    return result;
  };
  ASSERT_TRUE(waitFor([&] { return rows().size() == sent.size(); })) << rows().size();

  // A file that is no DICOM, and one the companion is still writing.
  const auto write = [&](const QString& name) {
    QFile file(QDir(folder.dropFolder()).filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write("no image\n") == 9;
  };
  ASSERT_TRUE(write(QStringLiteral(".vantrel-99.part")));
  ASSERT_TRUE(write(QStringLiteral("garbage.dcm")));
  const QString rejected = QDir(folder.dropFolder()).filePath(QStringLiteral("rejected"));
  ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(rejected + "/garbage.dcm"); }));
  // Sent again: nothing new, and the copies leave the drop folder.
  ASSERT_EQ(QProcess::execute(QStringLiteral("storescu"), storescu), 0);
  const auto dropped = [&] { return QDir(folder.dropFolder()).entryList(QDir::Files); };
  ASSERT_TRUE(waitFor([&] { return dropped().isEmpty(); })) << dropped().join(' ').toStdString();

  ::kill(pid_t(watch.processId()), SIGTERM);
  ASSERT_TRUE(watch.waitForFinished(10000));
  EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(watch.exitCode(), 0);
  // One JSON line per pass that found files.
  long imported = 0, duplicates = 0, rejectedCount = 0;
  for (const QByteArray& line : watch.readAllStandardOutput().split('\n')) {
    if (line.isEmpty()) continue;
    const QJsonObject pass = QJsonDocument::fromJson(line).object();
    ASSERT_FALSE(pass.isEmpty()) << line.toStdString();
    imported += pass.value("imported").toInt();
    duplicates += pass.value("duplicates").toInt();
    rejectedCount += pass.value("rejected").toInt();
    EXPECT_EQ(pass.value("failed").toInt(), 0) << line.toStdString();
  }
  EXPECT_EQ(imported, 30);
  EXPECT_EQ(duplicates, 30);
  EXPECT_EQ(rejectedCount, 1);

  const auto indexed = rows();
  ASSERT_EQ(indexed.size(), sent.size());
  for (const auto& [uid, path] : indexed) {
    SCOPED_TRACE(uid.toStdString());
    EXPECT_TRUE(path.startsWith(archive + QLatin1Char('/'))) << path.toStdString();
    EXPECT_TRUE(path.endsWith(QLatin1Char('/') + uid + QStringLiteral(".dcm")));
    const auto copy = ReadDatasetImage(path);
    ASSERT_FALSE(copy.bytes.isEmpty());
    EXPECT_TRUE(copy.bytes == ReadDatasetImage(sent.at(uid)).bytes);
  }
  EXPECT_EQ(folder.dropFolderEntries(), QStringList{QStringLiteral(".vantrel-99.part")});
  connection.close();
  connection = QSqlDatabase();
  QSqlDatabase::removeDatabase(QStringLiteral("reception"));
}

// What two modalities send under one UID before the watcher looks: the same image from both is
// indexed once, and a different image is set aside with its reason instead of replacing it.
TEST(WatchedReception, OneUidFromTwoSendersIsIndexedOnceAndAnotherImageOfItIsKeptAside) {
  CompanionFolder folder;
  ASSERT_TRUE(folder.isValid());
  RunningVantrel vantrel(folder);
  ASSERT_TRUE(vantrel.waitUntilReceiving()) << vantrel.errorOutput().toStdString();
  QTemporaryDir sources;
  const std::string uid = "1.2.826.0.1.3680043.2.1125.8.900";
  std::vector<Uint16> pixels(16 * 16, 300);
  const auto make = [&](const char* name, const char* patient) {
    DicomBuilder image;
    image.set(DCM_SOPClassUID, UID_ComputedRadiographyImageStorage)
        .set(DCM_SOPInstanceUID, uid)
        .set(DCM_Modality, "CR")
        .set(DCM_PatientID, "R9")
        .set(DCM_PatientName, patient)
        .set(DCM_StudyInstanceUID, "1.2.826.0.1.3680043.2.1125.3.900")
        .pixels16(16, 16, pixels, 12);
    const QString path = sources.filePath(QString::fromLatin1(name));
    return image.save(path) ? path : QString();
  };
  const QString image = make("image.dcm", "First^Image");
  const QString other = make("other.dcm", "Other^Image");
  const auto send = [&](const char* callingAE, const QString& path) {
    return QProcess::execute(
        QStringLiteral("storescu"),
        {"-aet", callingAE, "-aec", "VANTREL", "127.0.0.1", QString::number(folder.port()), path});
  };
  ASSERT_EQ(send("MODALITY_A", image), 0);
  ASSERT_EQ(send("MODALITY_B", image), 0);
  ASSERT_EQ(send("MODALITY_C", other), 0);
  ASSERT_EQ(folder.dropFolderEntries().size(), 3)
      << folder.dropFolderEntries().join(' ').toStdString();

  QTemporaryDir work;
  QProcess watch;
  watch.start(QStringLiteral(TORASCAN_CLI), {"watch", "--db", work.filePath("Pelmora.db"),
                                             "--folder", folder.dropFolder(), "--once"});
  ASSERT_TRUE(watch.waitForFinished(30000));
  const QJsonObject pass = QJsonDocument::fromJson(watch.readAllStandardOutput()).object();
  EXPECT_EQ(pass.value("imported").toInt(), 1);
  EXPECT_EQ(pass.value("duplicates").toInt(), 1);
  EXPECT_EQ(pass.value("rejected").toInt(), 1);
  EXPECT_EQ(watch.exitCode(), 0);
  EXPECT_EQ(QDir(folder.dropFolder()).entryList(QDir::Files), QStringList());

  const QDir rejected(QDir(folder.dropFolder()).filePath(QStringLiteral("rejected")));
  const QStringList kept = rejected.entryList({QStringLiteral("*.dcm")}, QDir::Files);
  ASSERT_EQ(kept.size(), 1);
  EXPECT_TRUE(ReadDatasetImage(rejected.filePath(kept[0])).bytes == ReadDatasetImage(other).bytes);
}

// The order of the watcher's system calls under strace, for each image: the archive name is
// made, its data and its folder reach the disk, the commit indexing it reaches the disk, and only
// then does the dropped name go. Otherwise a power cut could leave a row that names nothing, or
// no copy at all.
TEST(WatchedReception, ADroppedNameGoesOnlyOnceItsArchiveCopyAndItsRowAreOnTheDisk) {
  if (const QString why = reception::StraceUnavailable(); !why.isEmpty())
    GTEST_SKIP() << "strace cannot trace here: " << why.toStdString();
  QTemporaryDir work;
  const QString drop = work.filePath(QStringLiteral("save/CR_1205"));
  ASSERT_TRUE(QDir().mkpath(drop));
  // Two studies, so that a study folder is made for the second while the first exists.
  const QStringList names = {"a.dcm", "b.dcm", "c.dcm"};
  std::vector<Uint16> pixels(8 * 8, 100);
  for (int i = 0; i < names.size(); ++i) {
    DicomBuilder image;
    image.set(DCM_SOPClassUID, UID_ComputedRadiographyImageStorage)
        .set(DCM_SOPInstanceUID, "1.2.826.0.1.3680043.2.1125.8.95" + std::to_string(i))
        .set(DCM_Modality, "CR")
        .set(DCM_PatientID, "S1")
        .set(DCM_StudyInstanceUID, "1.2.826.0.1.3680043.2.1125.3.95" + std::to_string(i / 2))
        .pixels16(8, 8, pixels, 12);
    ASSERT_TRUE(image.save(QDir(drop).filePath(names[i])));
  }
  const QString db = work.filePath(QStringLiteral("Pelmora.db"));
  const QString log = work.filePath(QStringLiteral("strace.log"));
  QProcess watch;
  watch.setProcessChannelMode(QProcess::MergedChannels);
  watch.start(
      QStringLiteral("strace"),
      {"-f", "-qq", "-yy", "-o", log, "-e",
       "trace=openat,fdatasync,fsync,link,linkat,rename,renameat,renameat2,unlink,unlinkat", "--",
       QStringLiteral(TORASCAN_CLI), "watch", "--db", db, "--folder", drop, "--once"});
  ASSERT_TRUE(watch.waitForFinished(60000));
  ASSERT_EQ(watch.exitCode(), 0) << watch.readAll().toStdString();
  ASSERT_EQ(QDir(drop).entryList(QDir::Files), QStringList());
  const QStringList lines = reception::TraceLines(log);

  const auto find = [&](qsizetype from, const QString& pattern) {
    const QRegularExpression expression(pattern);
    for (qsizetype i = std::max<qsizetype>(from, 0); i < lines.size(); ++i)
      if (expression.match(lines[i]).hasMatch()) return i;
    return qsizetype(-1);
  };
  const QString archive = QRegularExpression::escape(CDropFolder::DefaultArchiveFolder(drop));
  const QString wal = QRegularExpression::escape(db + QStringLiteral("-wal"));
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    const QString dropped = QRegularExpression::escape(QDir(drop).filePath(name));
    const qsizetype removed = find(0, "unlink(?:at)?\\(.*\"" + dropped + "\"");
    ASSERT_GE(removed, 0) << "the dropped name was never removed";
    // The archive name made for it: the last link of the dropped name before its removal.
    const QRegularExpression linked("link(?:at)?\\(.*\"" + dropped + "\".*\"((" + archive +
                                    "/[^/\"]+)/[^/\"]+\\.dcm)\"");
    qsizetype link = -1;
    QString target, folder;
    for (qsizetype i = 0; i < removed; ++i) {
      const auto match = linked.match(lines[i]);
      if (!match.hasMatch()) continue;
      link = i;
      target = QRegularExpression::escape(match.captured(1));
      folder = QRegularExpression::escape(match.captured(2));
    }
    ASSERT_GE(link, 0) << "no archive name made";
    const qsizetype dataSynced = find(link, "f(?:data)?sync\\(\\d+<" + target + ">");
    const qsizetype folderSynced = find(link, "fsync\\(\\d+<" + folder + ">");
    const qsizetype committed = find(folderSynced, "f(?:data)?sync\\(\\d+<" + wal + ">");
    EXPECT_GE(dataSynced, 0) << "the archive copy's data were not synced";
    EXPECT_LT(dataSynced, removed);
    ASSERT_GE(folderSynced, 0) << "the archive folder was not synced";
    ASSERT_GE(committed, 0) << "no commit reached the disk after the archive folder's sync";
    EXPECT_LT(committed, removed) << "the dropped name went before its row was on the disk";
  }
}

}  // namespace
