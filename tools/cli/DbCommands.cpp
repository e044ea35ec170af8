// The database commands of torascan-cli: a synthetic archive of any size for benchmarks, the
// row counts of the core tables, the import of DICOM files, the watched drop folder, and a
// stored report as a PDF file.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>

#include <unistd.h>

#include "CliCommands.h"
#include "net/AutoForward.h"
#include "app/AppSettings.h"
#include "app/CompanionSettings.h"
#include "app/IniFile.h"
#include "app/InstallLayout.h"
#include "browser/DropFolder.h"
#include "browser/ImportImage.h"
#include "db/DRImgInfo.h"
#include "db/DRPatInfo.h"
#include "db/DRSerInfo.h"
#include "db/DRStuInfo.h"
#include "db/DatabaseCopy.h"
#include "db/DbDatabase.h"
#include "db/ImageDatabase.h"
#include "db/Query.h"
#include "db/SqlDialect.h"
#include "image/ImageEach.h"
#include "imaging/ImagingError.h"
#include "reports/ReportPrint.h"

namespace cli {
namespace {

const QStringList kCoreTables{QStringLiteral("PatInfo"), QStringLiteral("StuInfo"),
                              QStringLiteral("SerInfo"), QStringLiteral("ImgInfo")};
// Patients committed per transaction: large enough for speed, small enough that an interrupted
// fill keeps most of its work.
constexpr int kPatientsPerTransaction = 2000;

// Parses "--name value" options; every name in required must be present. Prints the problem
// and gives nothing on a wrong command line.
std::optional<QMap<QString, QString>> parse(const QStringList& args, const QStringList& names,
                                            const QStringList& required) {
  QCommandLineParser parser;
  for (const QString& name : names) parser.addOption({name, name, QStringLiteral("value")});
  if (!parser.parse(QStringList{QStringLiteral("torascan-cli")} + args)) {
    printError(parser.errorText());
    return std::nullopt;
  }
  if (!parser.positionalArguments().isEmpty()) {
    printError(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));
    return std::nullopt;
  }
  QMap<QString, QString> values;
  for (const QString& name : names) {
    if (parser.isSet(name)) values.insert(name, parser.value(name));
  }
  for (const QString& name : required) {
    if (!values.contains(name)) {
      printError(QStringLiteral("--%1 is required").arg(name));
      return std::nullopt;
    }
  }
  return values;
}

// A non-negative count option; nothing (after the message) for another text.
std::optional<long> count(const QMap<QString, QString>& values, const QString& name,
                          long fallback) {
  if (!values.contains(name)) return fallback;
  bool ok = false;
  const long value = values.value(name).toLong(&ok);
  if (!ok || value < 0) {
    printError(QStringLiteral("--%1 expects a whole number of 0 or more").arg(name));
    return std::nullopt;
  }
  return value;
}

// Names from several scripts and with a quote, as a real archive holds them.
const QStringList kFamilyNames{
    QStringLiteral("Smith"),
    QStringLiteral("O'Brien"),
    QStringLiteral("Garcia"),
    QStringLiteral("Novak"),
    QStringLiteral("Kim"),
    QStringLiteral("\uae40"),
    QStringLiteral("\uc774"),
    QStringLiteral("Müller"),
    QStringLiteral("Rossi"),
    QStringLiteral("Nakamura"),
    QStringLiteral("Ivanova"),
    QStringLiteral("Dubois"),
    QStringLiteral("Nielsen"),
    QStringLiteral("Papadopoulou"),
    QStringLiteral("\u03a0\u03b1\u03c0\u03b1\u03b4\u03cc\u03c0\u03bf\u03c5\u03bb\u03bf\u03c2"),
    QStringLiteral("Okafor"),
    QStringLiteral("Silva"),
    QStringLiteral("Chen"),
    QStringLiteral("Haddad"),
    QStringLiteral("Kowalski")};
const QStringList kGivenNames{QStringLiteral("Anna"),  QStringLiteral("Ben"),
                              QStringLiteral("Chloe"), QStringLiteral("David"),
                              QStringLiteral("Eva"),   QStringLiteral("Farid"),
                              QStringLiteral("Grace"), QStringLiteral("Hana"),
                              QStringLiteral("Ivan"),  QStringLiteral("Jun")};
const QStringList kBodyParts{QStringLiteral("CHEST"), QStringLiteral("HAND"),
                             QStringLiteral("KNEE"), QStringLiteral("LSPINE")};

struct FillCounts {
  long patients = 0;
  long studies = 0;
  long series = 0;
  long images = 0;
};

// Adds one patient with its studies (one series each) and images.
bool addPatient(long number, long studiesPerPatient, long imagesPerStudy, CDRPatInfo& patients,
                CDRStuInfo& studies, CDRSerInfo& seriesSet, CDRImgInfo& images, FillCounts& added) {
  const QString patID = QStringLiteral("P%1").arg(number, 7, 10, QLatin1Char('0'));
  const QString name = kFamilyNames.at(number % kFamilyNames.size()) + QLatin1Char('^') +
                       kGivenNames.at((number / kFamilyNames.size()) % kGivenNames.size());
  // About a hundred patients a day over the schedule's days, from 08:00 on.
  const QDate day = QDate(2024, 1, 1).addDays(number % 1000);
  const int minute = static_cast<int>((number / 1000) % 600);
  const CDateTime schedule(day.year(), day.month(), day.day(), 8 + minute / 60, minute % 60, 0);
  if (patients.InsertNew(patID, name, 1930 + number % 80, 1 + number % 12, 1 + number % 28,
                         number % 2 ? QStringLiteral("F") : QStringLiteral("M"), 50 + number % 50,
                         150 + number % 40, QString(), QString(), schedule) != 0) {
    return false;
  }
  ++added.patients;
  for (long s = 0; s < studiesPerPatient; ++s) {
    const QDate studyDay = day.addDays(s);
    CDStuInfo study;
    study.StuID = QStringLiteral("%1-%2").arg(patID).arg(s + 1);
    study.PatID = patID;
    study.StuDesc = kBodyParts.at(s % kBodyParts.size());
    study.StuDateTime = CDateTime(studyDay.year(), studyDay.month(), studyDay.day(),
                                  schedule.hour(), schedule.minute(), 0);
    study.StuSchedule = study.StuDateTime;
    study.StuAccessNo =
        QStringLiteral("A%1").arg(number * studiesPerPatient + s, 9, 10, QLatin1Char('0'));
    study.StuInstanceUID =
        QStringLiteral("1.2.826.0.1.3680043.10.999.%1.%2").arg(number).arg(s + 1);
    if (studies.InsertNew(study) < 0) return false;
    ++added.studies;

    CDSerInfo series;
    series.StuSeq = study.StuSeq;
    series.SeriesNo = 1;
    series.PatID = patID;
    series.StuID = study.StuID;
    series.Laterality = s % 2 ? QStringLiteral("L") : QStringLiteral("R");
    series.BodyPart = study.StuDesc;
    series.PatientPosition = QStringLiteral("PA");
    series.SeriesDate = study.StuDateTime;
    if (seriesSet.InsertNew(series) < 0) return false;
    ++added.series;

    for (long k = 0; k < imagesPerStudy; ++k) {
      CDImgInfo image;
      image.SerSeq = series.SerSeq;
      image.ImageNo = k + 1;
      image.SeriesNo = 1;
      image.FullPath = QStringLiteral("archive/%1/%2_%3.dcm")
                           .arg(studyDay.toString(QStringLiteral("yyyyMMdd")), study.StuID)
                           .arg(k + 1);
      image.Laterality = series.Laterality;
      image.PatientPosition = series.PatientPosition;
      image.Manufacturer = QStringLiteral("Synthetic");
      image.InstitutionName = QStringLiteral("Benchmark Hospital");
      image.InstanceNumber = k + 1;
      image.ImageDateTime = study.StuDateTime;
      image.AcquisitionDateTime = study.StuDateTime;
      image.SamplesPerPixel = 1;
      image.PhotometricInterpretation = QStringLiteral("MONOCHROME2");
      image.Rows = 3000;
      image.Columns = 2500;
      image.BitsAllocated = 16;
      image.BitsStored = 14;
      image.HighBit = 13;
      image.RescaleSlope = 1;
      image.ImagerPixelSpacing = 0.143;
      image.ViewPosition = series.PatientPosition;
      image.KVP = 80;
      image.MAS = 10;
      image.WindowCenter = 8192;
      image.WindowWidth = 16384;
      image.SOPClassUID_U = QStringLiteral("1.2.840.10008.5.1.4.1.1.1.1");
      image.SOPInstanceUID = study.StuInstanceUID + QStringLiteral(".1.%1").arg(k + 1);
      image.Modality = QStringLiteral("DX");
      if (images.InsertNew(image) < 0) return false;
      ++added.images;
    }
  }
  return true;
}

// The files of the command line in import order: a file as given; a folder's files, sorted,
// with recursive those of its whole tree, never through a link to a folder (a link back up
// would never end). Hidden files are left out, as a file manager leaves them.
QStringList importFiles(const QStringList& paths, bool recursive) {
  QStringList files;
  for (const QString& given : paths) {
    const QFileInfo info(given);
    if (!info.isDir()) {
      files.append(info.absoluteFilePath());
      continue;
    }
    QStringList found;
    QDirIterator it(info.absoluteFilePath(), QDir::Files,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) found.append(it.next());
    found.sort();
    files.append(found);
  }
  return files;
}

// Files that are no DICOM image to index are skipped; every other refusal is a failure.
bool isSkipped(int code) {
  return code == imaging::kErrNotDicom || code == kImportNoInstanceUid || code == kImportDirectory;
}


void printJsonLine(const QJsonObject& json) {
  std::fputs(QJsonDocument(json).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
  std::fflush(stdout);
}

QJsonArray outcomesJson(const QString& folder, const QList<DropFileOutcome>& outcomes) {
  QJsonArray list;
  for (const DropFileOutcome& outcome : outcomes) {
    list.append(QJsonObject{{QStringLiteral("path"), QDir(folder).filePath(outcome.name)},
                            {QStringLiteral("code"), outcome.code},
                            {QStringLiteral("reason"), outcome.reason}});
  }
  return list;
}

QJsonObject batchJson(const CDropFolder& drop, const DropBatch& batch, double seconds) {
  return {{QStringLiteral("imported"), qint64(batch.imported)},
          {QStringLiteral("duplicates"), qint64(batch.duplicates)},
          {QStringLiteral("rejected"), batch.rejected.size()},
          {QStringLiteral("failed"), batch.failed.size()},
          {QStringLiteral("rejectedFiles"), outcomesJson(drop.dropFolder(), batch.rejected)},
          {QStringLiteral("failedFiles"), outcomesJson(drop.dropFolder(), batch.failed)},
          {QStringLiteral("seconds"), seconds}};
}

// Set by SIGTERM and SIGINT; the pass in hand stops before its next file.
std::atomic<bool> stopRequested{false};
int stopPipe[2] = {-1, -1};

void requestStop(int) {
  stopRequested = true;
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(stopPipe[1], &byte, 1);
}

// The loop of a watch without --once: a pass at once, then whenever the folder changes (a short
// pause lets a burst of files gather) and at least once a second; after a pass that took files,
// the next one follows straight away, for more will have come meanwhile. Ends at SIGTERM or
// SIGINT, after the file in hand.
int watchUntilStopped(CDropFolder& drop) {
  constexpr int kIdleMs = 1000;
  constexpr int kGatherMs = 20;
  if (::pipe(stopPipe) != 0) {
    printError(QStringLiteral("cannot set up the stop signals"));
    return kExitFailure;
  }
  struct sigaction action {};
  action.sa_handler = requestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  QSocketNotifier stopNotifier(stopPipe[0], QSocketNotifier::Read);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);

  QTimer next;
  next.setSingleShot(true);
  QFileSystemWatcher changes({drop.dropFolder()});
  QObject::connect(&changes, &QFileSystemWatcher::directoryChanged, &next, [&next] {
    if (next.remainingTime() > kGatherMs) next.start(kGatherMs);
  });
  QObject::connect(&next, &QTimer::timeout, &next, [&] {
    QElapsedTimer timer;
    timer.start();
    const DropBatch batch = drop.PollDropFolder(&stopRequested);
    const bool tookFiles = batch.indexedAny() || !batch.rejected.isEmpty();
    if (tookFiles || !batch.failed.isEmpty())
      printJsonLine(batchJson(drop, batch, timer.elapsed() / 1000.0));
    if (stopRequested) {
      QCoreApplication::quit();
      return;
    }
    next.start(tookFiles ? 0 : kIdleMs);
  });
  next.start(0);
  QCoreApplication::exec();
  return kExitOk;
}

QJsonObject countsJson(CdbDatabase& db) {
  QJsonObject json;
  for (const QString& table : kCoreTables) {
    if (!db.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT COUNT(*) AS RowCount FROM %1").arg(table))) {
      return {};
    }
    json.insert(table, db.GetFieldValue(QStringLiteral("RowCount")).toLongLong());
  }
  db.Close();
  return json;
}

}  // namespace

// Opens (or creates) the image database at path for an import; false after saying why.
bool openForWriting(const QString& path, CDaoDatabase& database) {
  QString error;
  if (!database.Open(path, &error)) {
    printError(error);
    return false;
  }
  if (database.isReadOnly()) {
    printError(QStringLiteral("%1: the database cannot be written").arg(path));
    return false;
  }
  return true;
}

int runDbFill(const QStringList& args) {
  const auto values =
      parse(args,
            {QStringLiteral("db"), QStringLiteral("patients"),
             QStringLiteral("studies-per-patient"), QStringLiteral("images-per-study")},
            {QStringLiteral("db"), QStringLiteral("patients")});
  if (!values) return kExitUsage;
  const auto patientCount = count(*values, QStringLiteral("patients"), 0);
  const auto studiesPerPatient = count(*values, QStringLiteral("studies-per-patient"), 2);
  const auto imagesPerStudy = count(*values, QStringLiteral("images-per-study"), 5);
  if (!patientCount || !studiesPerPatient || !imagesPerStudy) return kExitUsage;

  QElapsedTimer timer;
  timer.start();
  CDaoDatabase database;
  QString error;
  if (!database.Open(values->value(QStringLiteral("db")), &error)) {
    printError(error);
    return kExitFailure;
  }
  CdbDatabase db(&database);
  CDRPatInfo patients(&database);
  CDRStuInfo studies(&database);
  CDRSerInfo series(&database);
  CDRImgInfo images(&database);
  // New patients are numbered after the ones already there, so a second fill adds to the first.
  const long first =
      db.Open(CGMDaoRecordset::dbOpenSnapshot,
              QStringLiteral("SELECT COUNT(*) AS RowCount FROM PatInfo"))
          ? static_cast<long>(db.GetFieldValue(QStringLiteral("RowCount")).toLongLong())
          : 0;
  db.Close();
  FillCounts added;
  bool ok = true;
  for (long p = 0; ok && p < *patientCount; p += kPatientsPerTransaction) {
    ok = database.BeginTrans();
    const long end = std::min(*patientCount, p + kPatientsPerTransaction);
    for (long i = p; ok && i < end; ++i) {
      ok = addPatient(first + i, *studiesPerPatient, *imagesPerStudy, patients, studies, series,
                      images, added);
    }
    ok = ok ? database.CommitTrans() : (database.Rollback(), false);
  }
  // The counts the browser lists, in one pass rather than one recount per study.
  ok =
      ok &&
      db.Execute(QStringLiteral("UPDATE SerInfo SET InstanceCount = (SELECT COUNT(*) FROM ImgInfo "
                                "WHERE ImgInfo.SerSeq = SerInfo.SerSeq)")) &&
      db.Execute(QStringLiteral(
          "UPDATE StuInfo SET TotalSeries = (SELECT COUNT(*) FROM SerInfo "
          "WHERE SerInfo.StuSeq = StuInfo.StuSeq), TotalInstance = (SELECT "
          "COALESCE(SUM(InstanceCount), 0) FROM SerInfo WHERE SerInfo.StuSeq = StuInfo.StuSeq)")) &&
      db.Execute(QStringLiteral("ANALYZE"));
  if (!ok) {
    printError(QStringLiteral("%1: the fill stopped").arg(values->value(QStringLiteral("db"))));
    return kExitFailure;
  }
  QJsonObject json{{QStringLiteral("PatInfo"), qint64(added.patients)},
                   {QStringLiteral("StuInfo"), qint64(added.studies)},
                   {QStringLiteral("SerInfo"), qint64(added.series)},
                   {QStringLiteral("ImgInfo"), qint64(added.images)},
                   {QStringLiteral("seconds"), timer.elapsed() / 1000.0}};
  std::fputs(QJsonDocument(QJsonObject{{QStringLiteral("added"), json}})
                 .toJson(QJsonDocument::Compact)
                 .append('\n')
                 .constData(),
             stdout);
  return kExitOk;
}

int runDbStats(const QStringList& args) {
  const auto values = parse(args, {QStringLiteral("db")}, {QStringLiteral("db")});
  if (!values) return kExitUsage;
  const QString path = values->value(QStringLiteral("db"));
  // Statistics never create a database: a wrong path is an error, not an empty archive.
  if (!SqlDialect::isServerLocation(path) && !QFileInfo(path).isFile()) {
    printError(QStringLiteral("%1: no such database").arg(path));
    return kExitFailure;
  }
  CdbDatabase db(path);
  const QJsonObject json = countsJson(db);
  if (json.isEmpty()) return kExitFailure;
  std::fputs(QJsonDocument(json).toJson(QJsonDocument::Indented).constData(), stdout);
  return kExitOk;
}

int runImport(const QStringList& args) {
  QCommandLineParser parser;
  parser.addOption({QStringLiteral("db"), QStringLiteral("db"), QStringLiteral("value")});
  parser.addOption({QStringLiteral("recursive"), QStringLiteral("recursive")});
  if (!parser.parse(QStringList{QStringLiteral("torascan-cli")} + args)) {
    printError(parser.errorText());
    return kExitUsage;
  }
  if (!parser.isSet(QStringLiteral("db")) || parser.positionalArguments().isEmpty()) {
    printError(QStringLiteral("usage: import --db PATH [--recursive] PATH..."));
    return kExitUsage;
  }
  QElapsedTimer timer;
  timer.start();
  CDaoDatabase database;
  if (!openForWriting(parser.value(QStringLiteral("db")), database)) return kExitFailure;
  CImageImport import(database);
  long imported = 0;
  long duplicates = 0;
  QJsonArray skipped;
  QJsonArray failed;
  const QStringList files =
      importFiles(parser.positionalArguments(), parser.isSet(QStringLiteral("recursive")));
  import.ImportFiles(files, [&](const CImageImport::FileOutcome& outcome) {
    if (outcome.code == kImportDone) {
      ++(outcome.duplicate ? duplicates : imported);
      return;
    }
    const QJsonObject entry{{QStringLiteral("path"), outcome.path},
                            {QStringLiteral("code"), outcome.code},
                            {QStringLiteral("reason"), outcome.reason}};
    (isSkipped(outcome.code) ? skipped : failed).append(entry);
  });
  const QJsonObject json{{QStringLiteral("imported"), qint64(imported)},
                         {QStringLiteral("duplicates"), qint64(duplicates)},
                         {QStringLiteral("skipped"), skipped.size()},
                         {QStringLiteral("failed"), failed.size()},
                         {QStringLiteral("skippedFiles"), skipped},
                         {QStringLiteral("failedFiles"), failed},
                         {QStringLiteral("seconds"), timer.elapsed() / 1000.0}};
  printJsonLine(json);
  return failed.isEmpty() ? kExitOk : kExitFailure;
}

int runWatch(const QStringList& args) {
  QCommandLineParser parser;
  for (const char* name : {"db", "folder", "archive", "forward-to"})
    parser.addOption({QLatin1String(name), QLatin1String(name), QStringLiteral("value")});
  parser.addOption({QStringLiteral("once"), QStringLiteral("once")});
  parser.addOption({QStringLiteral("station"), QStringLiteral("station")});
  if (!parser.parse(QStringList{QStringLiteral("torascan-cli")} + args)) {
    printError(parser.errorText());
    return kExitUsage;
  }
  // --station: the folder this station's receiver fills (its Vantrel.ini) and the station's
  // image database, where the running program's layout keeps them (the receiver's service).
  const bool station = parser.isSet(QStringLiteral("station"));
  const InstallLayout layout = InstallLayout::ForThisProcess();
  const auto value = [&](const QString& name, const QString& stationValue) {
    return parser.isSet(name) || !station ? parser.value(name) : stationValue;
  };
  const QString db =
      value(QStringLiteral("db"), layout.data + QLatin1String(AppSettings::kImageDatabaseFile));
  const QString folder =
      value(QStringLiteral("folder"), CompanionSettings::Read(layout.settings).wholeSpinePath());
  if (db.isEmpty() || folder.isEmpty() || !parser.positionalArguments().isEmpty()) {
    printError(QStringLiteral(
        "usage: watch (--db PATH --folder DIR | --station [--db PATH]) [--archive DIR]\n"
        "       [--forward-to NODE,...] [--once]"));
    return kExitUsage;
  }
  if (!QDir().mkpath(folder)) {
    printError(QStringLiteral("%1: cannot create the folder").arg(folder));
    return kExitFailure;
  }
  CDaoDatabase database;
  if (!openForWriting(db, database)) return kExitFailure;
  CDropFolder drop(database, folder,
                   parser.isSet(QStringLiteral("archive"))
                       ? parser.value(QStringLiteral("archive"))
                       : CDropFolder::DefaultArchiveFolder(folder));
  // ForwardTo of the companion's settings unless the command line names the nodes.
  ForwardIndexedImages(drop, database,
                       parser.isSet(QStringLiteral("forward-to"))
                           ? ParseNodeList(parser.value(QStringLiteral("forward-to")))
                           : ForwardNodes(layout.settings));
  if (!parser.isSet(QStringLiteral("once"))) return watchUntilStopped(drop);
  QElapsedTimer timer;
  timer.start();
  const DropBatch batch = drop.PollDropFolder();
  printJsonLine(batchJson(drop, batch, timer.elapsed() / 1000.0));
  return batch.failed.isEmpty() ? kExitOk : kExitFailure;
}

int runDbCopy(const QStringList& args) {
  const QString from = QStringLiteral("from"), to = QStringLiteral("to");
  const QString reportsFrom = QStringLiteral("reports-from"), reportsTo = QStringLiteral("reports-to");
  const QString batch = QStringLiteral("batch");
  const auto values = parse(args, {from, to, reportsFrom, reportsTo, batch}, {});
  if (!values) return kExitUsage;
  const auto pair = [&values](const QString& a, const QString& b) {
    return values->contains(a) + values->contains(b);
  };
  const int images = pair(from, to), reports = pair(reportsFrom, reportsTo);
  if (images == 1 || reports == 1 || images + reports == 0) {
    printError(QStringLiteral(
        "usage: db-copy --from DB --to DB [--reports-from DB --reports-to DB] [--batch ROWS]"));
    return kExitUsage;
  }
  const auto batchRows = count(*values, batch, 5000);
  if (!batchRows) return kExitUsage;
  if (*batchRows < 1) {
    printError(QStringLiteral("--batch expects at least 1 row"));
    return kExitUsage;
  }
  QElapsedTimer timer;
  timer.start();
  QJsonObject json;
  const auto copy = [&](const QString& part, const QString& source, const QString& target,
                        const QString& schemaFile) {
    imagedb::CopyRequest request{source, target, schemaFile, static_cast<int>(*batchRows),
                                 [](const QString& table, qint64 done, qint64 total) {
                                   std::fprintf(stderr, "%s %lld/%lld\n", qPrintable(table),
                                                static_cast<long long>(done),
                                                static_cast<long long>(total));
                                   std::fflush(stderr);
                                 }};
    QList<imagedb::TableCopy> tables;
    QString error;
    const bool ok = imagedb::copyDatabase(request, &tables, &error);
    QJsonObject done;
    for (const imagedb::TableCopy& table : tables) {
      done.insert(table.table, QJsonObject{{QStringLiteral("present"), table.present},
                                           {QStringLiteral("copied"), table.copied}});
    }
    json.insert(part, done);
    if (!ok) printError(error);
    return ok;
  };
  const bool ok = (images == 0 || copy(QStringLiteral("images"), values->value(from),
                                       values->value(to), QString())) &&
                  (reports == 0 || copy(QStringLiteral("reports"), values->value(reportsFrom),
                                        values->value(reportsTo),
                                        QLatin1String(imagedb::kReportSchemaFile)));
  json.insert(QStringLiteral("seconds"), timer.elapsed() / 1000.0);
  printJsonLine(json);
  return ok ? kExitOk : kExitFailure;
}

int runReportPdf(const QStringList& args) {
  const QString db = QStringLiteral("db"), uid = QStringLiteral("uid"), out = QStringLiteral("out");
  const auto values = parse(args, {db, uid, out}, {db, uid, out});
  if (!values) return kExitUsage;
  const QString path = values->value(db);
  // Reading only: a missing file is not created.
  if (!QFileInfo(path).isFile()) {
    printError(QStringLiteral("no report database at %1").arg(path));
    return kExitFailure;
  }
  CQuery query;
  if (!query.OpenConnection(CQuery::kConnectFile, path)) return kExitFailure;
  StoredReport stored;
  if (!ReportStore(query).Read(values->value(uid), stored)) {
    printError(QStringLiteral("no report for %1 in %2").arg(values->value(uid), path));
    return kExitFailure;
  }
  ReportContent content{stored.texts, {}, {}};
  CDScanInfo& info = content.scanInfo;
  info.Pat.PatID = stored.header.id;
  info.Pat.PatName = stored.header.name;
  info.Pat.PatSex = stored.header.sex;
  info.Pat.PatBirthDate = CDateTime::fromQDateTime(
      QDateTime(QDate::fromString(stored.header.dob, Qt::ISODate), QTime(0, 0)));
  info.Stu.StuDesc = stored.header.studyName;
  info.Stu.Spare = values->value(uid);
  // The hospital is no column of the report: the image names it, when it is still there.
  if (QFileInfo(stored.file).isFile()) {
    CImageEach image;
    if (image.OpenDicom(stored.file, 0, 0) == 0) {
      info.Img.InstitutionName = image.scanInfo.Img.InstitutionName;
    }
  }
  // The signing user and the fonts come from the settings file of the database's folder.
  const CIniFile ini(QFileInfo(path).absoluteDir().filePath(QLatin1String(AppSettings::kIniFile)));
  content.doctor = ReportDoctor(ini);
  QString error;
  const int pages = SaveReportPdf(values->value(out), content, ReportFonts::Read(ini), &error);
  if (pages <= 0) {
    printError(error);
    return kExitFailure;
  }
  QJsonObject json{{QStringLiteral("file"), QFileInfo(values->value(out)).absoluteFilePath()},
                   {QStringLiteral("pages"), pages}};
  std::fputs(QJsonDocument(json).toJson(QJsonDocument::Indented).constData(), stdout);
  return kExitOk;
}

}  // namespace cli
