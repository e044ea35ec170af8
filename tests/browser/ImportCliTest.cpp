// torascan-cli import: what it walks, what it reports, its exit status, and a run over every
// real test file.
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>

#include "ImportTestSupport.h"
#include "imaging/DicomDataSet.h"
#include "imaging/ImagingError.h"

using testsupport::DicomBuilder;

namespace {

struct CliRun {
  bool crashed = false;
  int exitCode = -1;
  QJsonObject json;
  QByteArray err;
};

CliRun finish(QProcess& process) {
  CliRun run;
  if (!process.waitForFinished(300000)) {
    process.kill();
    process.waitForFinished();
  }
  run.crashed = process.exitStatus() != QProcess::NormalExit;
  run.exitCode = process.exitCode();
  run.json = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
  run.err = process.readAllStandardError();
  return run;
}

CliRun cli(const QStringList& args) {
  QProcess process;
  process.start(QStringLiteral(TORASCAN_CLI), args);
  return finish(process);
}

// The paths of a JSON list of files.
QStringList paths(const QJsonValue& list) {
  QStringList result;
  for (const QJsonValue& entry : list.toArray())
    result.append(entry[QStringLiteral("path")].toString());
  return result;
}

class ImportCli : public ImportTest {
 protected:
  // A radiograph of patient, series and instance numbers, saved under folder.
  QString addFile(const QString& folder, const QString& name, int patient, int image) {
    QDir().mkpath(folder);
    DicomBuilder file =
        radiograph("1.2.3." + std::to_string(patient) + "." + std::to_string(image));
    file.set(DCM_PatientID, "P" + std::to_string(patient))
        .set(DCM_InstanceNumber, std::to_string(image));
    const QString path = folder + QLatin1Char('/') + name;
    EXPECT_TRUE(file.save(path));
    return path;
  }
  QStringList storedPaths() {
    QStringList result;
    CdbDatabase query(dbPath);
    if (!query.Open(CGMDaoRecordset::dbOpenSnapshot, "SELECT FullPath FROM ImgInfo")) return {};
    for (; !query.IsEOF(); query.MoveNext())
      result.append(query.GetFieldValue("FullPath").toString());
    result.sort();
    return result;
  }
};

TEST_F(ImportCli, WrongCommandLinesExitWithStatus2) {
  const QString file = addFile(dir.path(), "a.dcm", 1, 1);
  const QList<QStringList> wrong = {
      {"import"},
      {"import", "--db", dbPath},
      {"import", file},
      {"import", "--db"},
      {"import", "--db", dbPath, "--depth", "3", file},
      {"watch", "--db", dbPath},
      {"watch", "--folder", dir.path()},
      {"watch", "--db", dbPath, "--folder", dir.path(), "--once", file},
      {"watch", "--db", dbPath, "--folder", dir.path(), "--interval", "5"},
  };
  for (const QStringList& args : wrong) {
    const CliRun run = cli(args);
    EXPECT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
  }
  EXPECT_EQ(rows("ImgInfo"), 0);
}

TEST_F(ImportCli, FoldersGiveTheirFilesAndTreesNeverThroughLinks) {
  const QString root = dir.filePath("drop");
  const QString top = addFile(root, "a.dcm", 1, 1);
  const QString nested = addFile(root + "/day/room", "b.dcm", 1, 2);
  addFile(root, ".partial.dcm", 1, 3);
  ASSERT_TRUE(QFile::link(root + "/day", root + "/link"));
  ASSERT_TRUE(QFile::link(root, root + "/day/up"));  // a loop, were links followed
  const QString single = addFile(dir.filePath("elsewhere"), "c.dcm", 2, 1);

  CliRun run = cli({"import", "--db", dbPath, root, single});
  ASSERT_FALSE(run.crashed);
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(run.json["imported"].toInt(), 2);
  EXPECT_EQ(storedPaths(), (QStringList{top, single}));

  run = cli({"import", "--db", dbPath, "--recursive", root});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(run.json["imported"].toInt(), 1);
  EXPECT_EQ(run.json["duplicates"].toInt(), 1);
  EXPECT_EQ(storedPaths(), (QStringList{top, nested, single}));
  EXPECT_EQ(coreRows(), (std::vector<long>{2, 2, 2, 3}));
}

TEST_F(ImportCli, SkippedAndFailedFilesAreListedWithTheirReasons) {
  const QString root = dir.filePath("in");
  const QString good = addFile(root, "good.dcm", 1, 1);
  QFile notes(root + "/notes.txt");
  ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
  notes.write("Reading room schedule\n");
  notes.close();
  DicomBuilder noUid = radiograph();
  noUid.remove(DCM_SOPInstanceUID);
  ASSERT_TRUE(noUid.save(root + "/acr-nema.dcm"));

  CliRun run = cli({"import", "--db", dbPath, root});
  ASSERT_FALSE(run.crashed);
  // Skipped files are no failure.
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.json["imported"].toInt(), 1);
  EXPECT_EQ(run.json["skipped"].toInt(), 2);
  EXPECT_EQ(run.json["failed"].toInt(), 0);
  EXPECT_EQ(paths(run.json["skippedFiles"]),
            (QStringList{root + "/acr-nema.dcm", root + "/notes.txt"}));
  for (const QJsonValue& entry : run.json["skippedFiles"].toArray()) {
    EXPECT_FALSE(entry["reason"].toString().isEmpty());
  }

  // A DICOM file cut short fails, and so does the run.
  DicomBuilder cut = radiograph("1.2.3.99");
  cut.pixels16(64, 64, std::vector<std::uint16_t>(64 * 64, 7));
  const QString truncated = root + "/truncated.dcm";
  ASSERT_TRUE(cut.save(truncated));
  QFile file(truncated);
  ASSERT_TRUE(file.resize(file.size() - 1000));
  run = cli({"import", "--db", dbPath, root, dir.filePath("missing.dcm")});
  EXPECT_FALSE(run.crashed);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.json["duplicates"].toInt(), 1);
  EXPECT_EQ(run.json["failed"].toInt(), 2);
  EXPECT_EQ(paths(run.json["failedFiles"]), (QStringList{truncated, dir.filePath("missing.dcm")}));
  const QJsonArray failed = run.json["failedFiles"].toArray();
  EXPECT_EQ(failed[0]["code"].toInt(), imaging::kErrCorrupt);
  EXPECT_EQ(failed[1]["code"].toInt(), imaging::kErrFileNotFound);
  EXPECT_FALSE(failed[0]["reason"].toString().isEmpty());
  EXPECT_EQ(storedPaths(), QStringList{good});
}

TEST_F(ImportCli, TheDatabaseIsCreatedWhenMissing) {
  const QString file = addFile(dir.path(), "a.dcm", 1, 1);
  const QString fresh = dir.filePath("fresh.db");
  CliRun run = cli({"import", "--db", fresh, file});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(run.json["imported"].toInt(), 1);
  EXPECT_TRUE(QFile::exists(fresh));
  run = cli({"import", "--db", dir.filePath("no/such/folder/x.db"), file});
  EXPECT_FALSE(run.crashed);
  EXPECT_EQ(run.exitCode, 1);
}

// Two workstations importing the same files at the same moment: each patient, study, series
// and image gets one row, every file is reported once as imported and once as a duplicate, and
// the totals count each image once. Three rounds, each on a fresh database, give the race
// several chances to show.
TEST_F(ImportCli, TwoImportsAtOnceIndexEachImageOnce) {
  const QString root = dir.filePath("batch");
  constexpr int kPatients = 20;
  constexpr int kImages = 100;
  constexpr int kFiles = kPatients * kImages;
  for (int p = 1; p <= kPatients; ++p) {
    for (int i = 1; i <= kImages; ++i)
      addFile(root, QStringLiteral("%1_%2.dcm").arg(p).arg(i), p, i);
  }
  database.Close();
  for (int round = 1; round <= 3; ++round) {
    SCOPED_TRACE(round);
    const QString folder = dir.filePath(QStringLiteral("round%1").arg(round));
    ASSERT_TRUE(QDir().mkpath(folder));
    TestDatabase fresh(folder);
    ASSERT_TRUE(fresh.error().isEmpty()) << fresh.error().toStdString();
    QProcess first;
    QProcess second;
    first.start(QStringLiteral(TORASCAN_CLI), {"import", "--db", fresh.location(), root});
    second.start(QStringLiteral(TORASCAN_CLI), {"import", "--db", fresh.location(), root});
    const CliRun a = finish(first);
    const CliRun b = finish(second);
    EXPECT_EQ(a.exitCode, 0) << a.err.toStdString();
    EXPECT_EQ(b.exitCode, 0) << b.err.toStdString();
    EXPECT_TRUE(a.err.isEmpty() && b.err.isEmpty()) << a.err.toStdString() << b.err.toStdString();
    EXPECT_EQ(a.json["imported"].toInt() + b.json["imported"].toInt(), kFiles);
    EXPECT_EQ(a.json["duplicates"].toInt() + b.json["duplicates"].toInt(), kFiles);
    EXPECT_EQ(coreRows(fresh.location()),
              (std::vector<long>{kPatients, kPatients, kPatients, kFiles}));
    EXPECT_EQ(value("SELECT SUM(TotalInstance) AS n FROM StuInfo", "n", fresh.location()).toInt(),
              kFiles);
    EXPECT_EQ(value("SELECT SUM(InstanceCount) AS n FROM SerInfo", "n", fresh.location()).toInt(),
              kFiles);
  }
}

TEST_F(ImportCli, EveryRealTestFileIsIndexedOrListed) {
  const QString data =
      QFileInfo(QStringLiteral(TORASCAN_TESTDATA_DIR "/dicom")).canonicalFilePath();
  if (data.isEmpty()) GTEST_SKIP() << "no test data at " TORASCAN_TESTDATA_DIR;
  QStringList files;
  for (QDirIterator it(data, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
    files.append(it.next());
  }

  const CliRun run = cli({"import", "--db", dbPath, "--recursive", data});
  ASSERT_FALSE(run.crashed) << run.err.toStdString();
  const QJsonObject& json = run.json;
  const int failed = json["failed"].toInt();
  EXPECT_EQ(run.exitCode, failed == 0 ? 0 : 1);
  EXPECT_EQ(
      json["imported"].toInt() + json["duplicates"].toInt() + json["skipped"].toInt() + failed,
      files.size());
  QSet<QString> listed;
  for (const char* list : {"skippedFiles", "failedFiles"}) {
    for (const QJsonValue& entry : json[list].toArray()) {
      listed.insert(entry["path"].toString());
      EXPECT_LT(entry["code"].toInt(), 0);
      EXPECT_FALSE(entry["reason"].toString().isEmpty()) << entry["path"].toString().toStdString();
    }
  }

  for (const QString& file : files) {
    SCOPED_TRACE(file.toStdString());
    // What the full reader makes of the file decides whether it must be in the archive.
    imaging::DicomDataSet dataSet;
    const bool readable = dataSet.load(QFile::encodeName(file).toStdString()) == 0;
    const auto uid = readable ? dataSet.text({0x0008, 0x0018}) : std::nullopt;
    const bool image = uid && !uid->empty() && !dataSet.hasElement({0x0004, 0x1220});
    if (!image) {
      EXPECT_TRUE(listed.contains(file));
      continue;
    }
    EXPECT_FALSE(listed.contains(file));
    const QString escaped = QString(file).replace('\'', "''");
    const QString sop = QString::fromStdString(*uid);
    EXPECT_GT(value(QStringLiteral("SELECT COUNT(*) AS n FROM ImgInfo WHERE FullPath = '%1' OR "
                                   "SOPInstanceUID = '%2'")
                        .arg(escaped, sop),
                    "n")
                  .toInt(),
              0);
  }

  // Every image row belongs to a series, a study and a patient.
  EXPECT_EQ(value("SELECT COUNT(*) AS n FROM ImgInfo JOIN SerInfo USING (SerSeq) JOIN StuInfo ON "
                  "StuInfo.StuSeq = SerInfo.StuSeq JOIN PatInfo ON PatInfo.PatID = StuInfo.PatID",
                  "n")
                .toLongLong(),
            rows("ImgInfo"));

  const std::vector<long> before = coreRows();
  const CliRun again = cli({"import", "--db", dbPath, "--recursive", data});
  EXPECT_EQ(again.json["imported"].toInt(), 0);
  EXPECT_EQ(again.json["duplicates"].toInt(),
            json["imported"].toInt() + json["duplicates"].toInt());
  EXPECT_EQ(again.json["failed"].toInt(), failed);
  EXPECT_EQ(coreRows(), before);
}

}  // namespace
