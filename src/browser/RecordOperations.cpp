#include "browser/RecordOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QLockFile>
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "browser/WorklistEntries.h"
#include "db/DRImgInfo.h"
#include "db/DRPatInfo.h"
#include "db/DRSerInfo.h"
#include "db/DRStuInfo.h"
#include "db/DaoDatabase.h"
#include "db/DbDatabase.h"
#include "db/SqlDialect.h"
#include "image/DicomTags.h"

namespace {

// The journal's kinds of work: an image's files to remove once no row names them, a temporary
// copy to remove, a temporary copy to rename over its original.
const QString kRemoveImage = QStringLiteral("image");
const QString kRemoveTemporary = QStringLiteral("temp");
const QString kRename = QStringLiteral("rename");

struct FileWork {
  QString work;
  QString path;
  QString tempPath;
  QString uid;
};

QJsonArray numbers(const QList<long>& values) {
  QJsonArray array;
  for (long value : values) array.append(qint64(value));
  return array;
}

// The siblings a renumbering rewrites with the image: the original and the thumbnail, where
// they exist.
QStringList rewrittenFiles(const QString& dicomPath) {
  const QStringList all = CDRImgInfo::ImageFiles(dicomPath);
  QStringList files{dicomPath};
  for (const QString& sibling : all.mid(2)) {
    if (QFileInfo::exists(sibling)) files.append(sibling);
  }
  return files;
}

// Record operations on one archive run one at a time, across processes and workstations: each
// finishes the journal's work first, which must not be another's work in progress. A lock left
// by a killed process is taken over (a file's lock names its owner; a server drops the lock of a
// lost connection).
class OperationLock {
 public:
  explicit OperationLock(CDaoDatabase& db) : m_db(db) {}
  ~OperationLock() {
    if (m_serverLocked) CdbDatabase(&m_db).Execute(Dialect().sessionUnlock);
  }
  OperationLock(const OperationLock&) = delete;
  OperationLock& operator=(const OperationLock&) = delete;

  // False with the reason when another operation holds the archive too long.
  bool acquire(QString& error) {
    constexpr int kWaitMs = 30000;
    if (!Dialect().sessionLock.isEmpty()) {
      m_serverLocked = CdbDatabase(&m_db).Execute(Dialect().sessionLock);
      if (!m_serverLocked) error = m_db.LastError();
      return m_serverLocked;
    }
    m_file = std::make_unique<QLockFile>(m_db.path() + QStringLiteral(".operations.lock"));
    m_file->setStaleLockTime(0);  // only a dead owner makes it stale, however long it runs
    if (m_file->tryLock(kWaitMs)) return true;
    error = QStringLiteral("Another record operation is running on this archive.");
    return false;
  }

 private:
  const SqlDialect& Dialect() const { return SqlDialect::forLocation(m_db.path()); }

  CDaoDatabase& m_db;
  std::unique_ptr<QLockFile> m_file;
  bool m_serverLocked = false;
};

QString canonicalFolder(const QString& folder) {
  const QString canonical = QFileInfo(folder).canonicalFilePath();
  if (canonical.isEmpty()) return {};
  return canonical.endsWith(QLatin1Char('/')) ? canonical : canonical + QLatin1Char('/');
}

}  // namespace

QJsonObject RecordChange::toJson() const {
  QJsonObject json{{QStringLiteral("ok"), ok}, {QStringLiteral("refresh"), refresh}};
  if (!error.isEmpty()) json.insert(QStringLiteral("error"), error);
  json.insert(QStringLiteral("patients"), QJsonArray::fromStringList(patients));
  json.insert(QStringLiteral("studies"), numbers(studies));
  json.insert(QStringLiteral("series"), numbers(series));
  json.insert(QStringLiteral("images"), numbers(images));
  QJsonArray moved;
  for (const Renumbered& image : renumbered) {
    moved.append(QJsonObject{{QStringLiteral("ImgSeq"), qint64(image.imgSeq)},
                             {QStringLiteral("fromSerSeq"), qint64(image.fromSerSeq)},
                             {QStringLiteral("fromImageNo"), qint64(image.fromImageNo)},
                             {QStringLiteral("toSerSeq"), qint64(image.toSerSeq)},
                             {QStringLiteral("toImageNo"), qint64(image.toImageNo)}});
  }
  json.insert(QStringLiteral("renumbered"), moved);
  json.insert(QStringLiteral("removedFiles"), QJsonArray::fromStringList(removedFiles));
  json.insert(QStringLiteral("keptFiles"), QJsonArray::fromStringList(keptFiles));
  return json;
}

struct CRecordOperations::Context {
  explicit Context(CDaoDatabase& db) : db(db), errorsBefore(db.ErrorCount()) {}
  CDaoDatabase& db;
  long errorsBefore;
  RecordChange change;
  std::vector<FileWork> files;
  // An engine error anywhere, or a refusal of the operation's own: the transaction is undone.
  bool failed() const { return !change.error.isEmpty() || db.ErrorCount() != errorsBefore; }
  // The browser shows the text, the command line prints it.
  void fail(const QString& text) {
    if (change.error.isEmpty()) change.error = text;
  }
};

CRecordOperations::CRecordOperations(CDaoDatabase& database, const QStringList& storageRoots)
    : m_db(database), m_storageRoots(storageRoots) {}

QString CRecordOperations::TemporaryName(const QString& path) {
  return path + QStringLiteral(".renumbering");
}

bool CRecordOperations::insideStorage(const QString& path) const {
  const QFileInfo info(path);
  // A file that is gone already is judged by its folder.
  QString canonical = info.canonicalFilePath();
  if (canonical.isEmpty()) {
    const QString folder = canonicalFolder(info.absolutePath());
    if (folder.isEmpty()) return false;
    canonical = folder + info.fileName();
  }
  if (canonical == m_databaseFile) return false;
  for (const QString& folder : m_storageFolders) {
    if (canonical.startsWith(folder)) return true;
  }
  return false;
}

void CRecordOperations::resolveStorage() {
  // Once an operation rather than once an object: a storage folder may come into being after
  // this object (the drop folder's archive with its first image). The root and the home folder
  // hold everything: as storage folders they would guard nothing.
  const QStringList tooWide{canonicalFolder(QDir::rootPath()), canonicalFolder(QDir::homePath())};
  m_storageFolders.clear();
  for (const QString& root : m_storageRoots) {
    const QString folder = root.isEmpty() ? QString() : canonicalFolder(root);
    if (!folder.isEmpty() && !tooWide.contains(folder)) m_storageFolders.append(folder);
  }
  m_databaseFile = QFileInfo(m_db.path()).canonicalFilePath();
}

bool CRecordOperations::ensureJournal() {
  // Archives made before the journal existed get it on their first operation; both engines
  // take this statement as written.
  if (m_journalReady) return true;
  m_journalReady = CdbDatabase(&m_db).Execute(
      QStringLiteral("CREATE TABLE IF NOT EXISTS PendingFile (Work text NOT NULL, Path text NOT "
                     "NULL, TempPath text NOT NULL DEFAULT '', SOPInstanceUID text NOT NULL "
                     "DEFAULT '')"));
  return m_journalReady;
}

namespace {

bool journal(CDaoDatabase& db, const FileWork& work) {
  // A null text would be bound as NULL, which the columns refuse.
  const auto text = [](const QString& value) { return value.isNull() ? QStringLiteral("") : value; };
  return CdbDatabase(&db).Execute(
      QStringLiteral("INSERT INTO PendingFile (Work, Path, TempPath, SOPInstanceUID) "
                     "VALUES (?, ?, ?, ?)"),
      {work.work, work.path, text(work.tempPath), text(work.uid)});
}

bool unjournal(CDaoDatabase& db, const FileWork& work) {
  return CdbDatabase(&db).Execute(
      QStringLiteral("DELETE FROM PendingFile WHERE Work = ? AND Path = ?"),
      {work.work, work.path});
}

// Journal rows in one transaction: inserted, or deleted once their work is done.
bool rewriteJournal(CDaoDatabase& db, const std::vector<FileWork>& works, bool insert) {
  if (works.empty()) return true;
  if (!db.BeginTrans()) return false;
  for (const FileWork& work : works) {
    if (!(insert ? journal(db, work) : unjournal(db, work))) {
      db.Rollback();
      return false;
    }
  }
  return db.CommitTrans();
}

// Each kind of work can be done twice: a crash between the work and the journal's delete
// repeats it, and a removed file or a renamed copy is then simply missing. Renames go first:
// a copy both to rename and to remove (a renumbering's) is removed only once renamed.
void doFileWork(CDaoDatabase& db, const std::vector<FileWork>& works, RecordChange* change) {
  for (const FileWork& work : works) {
    if (work.work == kRename && QFileInfo::exists(work.tempPath)) {
      // rename(2) replaces the original in one step: a reader sees the old file or the new.
      std::rename(QFile::encodeName(work.tempPath).constData(),
                  QFile::encodeName(work.path).constData());
    }
  }
  std::set<QString> folders;
  for (const FileWork& work : works) {
    if (work.work == kRemoveImage) {
      // Another row may have come to name the file meanwhile (the image indexed again).
      if (CDRImgInfo(&db).NamesFile(work.uid, work.path)) {
        if (change) change->keptFiles.append(work.path);
        continue;
      }
      CDRImgInfo::RemoveImageFiles(work.path);
      folders.insert(work.path);
      if (change) change->removedFiles.append(work.path);
    } else if (work.work == kRemoveTemporary) {
      QFile::remove(work.path);
    }
  }
  for (const QString& path : folders) CDRImgInfo::RemoveEmptiedFolders(path);
}

}  // namespace

bool CRecordOperations::FinishPendingFiles() {
  // Every operation begins here, so the storage folders are resolved for all of it.
  resolveStorage();
  if (!ensureJournal()) return false;
  CdbDatabase rows(&m_db);
  if (!rows.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT Work, Path, TempPath, SOPInstanceUID FROM PendingFile"))) {
    return false;
  }
  std::vector<FileWork> works;
  for (; !rows.IsEOF(); rows.MoveNext()) {
    FileWork work{rows.GetFieldValue(QStringLiteral("Work")).toString(),
                  rows.GetFieldValue(QStringLiteral("Path")).toString(),
                  rows.GetFieldValue(QStringLiteral("TempPath")).toString(),
                  rows.GetFieldValue(QStringLiteral("SOPInstanceUID")).toString()};
    // The journal is only ever written by this code, but a file is still never removed
    // outside the storage folders.
    if (work.work != kRemoveImage || insideStorage(work.path)) works.push_back(work);
  }
  rows.Close();
  doFileWork(m_db, works, nullptr);
  // Rows whose work was refused go as well: they are never done.
  return CdbDatabase(&m_db).Execute(QStringLiteral("DELETE FROM PendingFile"));
}

RecordChange CRecordOperations::transact(const std::function<void(Context&)>& work) {
  Context context(m_db);
  OperationLock lock(m_db);
  if (!lock.acquire(context.change.error)) return context.change;
  if (!FinishPendingFiles() || !m_db.BeginTrans()) {
    context.change.error = m_db.LastError();
    return context.change;
  }
  work(context);
  for (const FileWork& file : context.files) {
    if (context.failed()) break;
    journal(m_db, file);
  }
  if (context.failed() || !m_db.CommitTrans()) {
    m_db.Rollback();
    RecordChange failed;
    failed.error = context.change.error.isEmpty() ? m_db.LastError() : context.change.error;
    return failed;
  }
  context.change.ok = true;
  doFileWork(m_db, context.files, &context.change);
  rewriteJournal(m_db, context.files, false);
  return context.change;
}

void CRecordOperations::deleteSeriesImages(Context& context, long serSeq) {
  std::vector<CDImgInfo> deleted;
  if (CDRImgInfo(&m_db).DeleteImageRows(serSeq, 0, deleted)) imagesDeleted(context, deleted);
}

void CRecordOperations::imagesDeleted(Context& context, const std::vector<CDImgInfo>& deleted) {
  for (const CDImgInfo& image : deleted) {
    context.change.images.append(image.ImgSeq);
    if (image.FullPath.isEmpty()) continue;
    if (insideStorage(image.FullPath)) {
      context.files.push_back({kRemoveImage, image.FullPath, QString(), image.SOPInstanceUID});
    } else {
      context.change.keptFiles.append(image.FullPath);
    }
  }
}

bool CRecordOperations::removeWorklist(Context& context, const QString& accessionNumber) {
  QString error;
  if (RemoveWorklistRows(m_db, accessionNumber, &error)) return true;
  context.fail(error);
  return false;
}

namespace {

// The keys of the series a criterion selects, read before their rows go.
QList<long> seriesKeys(CDaoDatabase& db, const QString& column, const QVariant& value) {
  CdbDatabase rows(&db);
  QList<long> keys;
  if (!rows.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT SerSeq FROM SerInfo WHERE %1 = ?").arg(column), {value})) {
    return keys;
  }
  for (; !rows.IsEOF(); rows.MoveNext()) {
    keys.append(rows.GetFieldValue(QStringLiteral("SerSeq")).toLongLong());
  }
  return keys;
}

long countRows(CDaoDatabase& db, const QString& table, const QString& column,
               const QVariant& value) {
  CdbDatabase rows(&db);
  if (!rows.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT COUNT(*) AS n FROM %1 WHERE %2 = ?").arg(table, column),
                 {value})) {
    return -1;
  }
  return rows.GetFieldValue(QStringLiteral("n")).toLongLong();
}

bool readStudy(CDaoDatabase& db, long stuSeq, CDStuInfo& study) {
  CDRStuInfo rows(&db);
  CSqlFilter filter;
  filter.addKey(QStringLiteral("StuSeq"), stuSeq);
  if (rows.OpenWith(filter) != 1) return false;
  rows.CopyTo(study);
  return true;
}

bool readSeries(CDaoDatabase& db, long serSeq, CDSerInfo& series) {
  CDRSerInfo rows(&db);
  CSqlFilter filter;
  filter.addKey(QStringLiteral("SerSeq"), serSeq);
  if (rows.OpenWith(filter) != 1) return false;
  series = rows;
  return true;
}

}  // namespace

int CRecordOperations::cleanUpPatient(Context& context, const QString& patID) {
  if (context.failed() || countRows(m_db, QStringLiteral("StuInfo"), QStringLiteral("PatID"),
                                    patID) != 0) {
    return RecordChange::kImages;
  }
  if (CDRPatInfo(&m_db).DeleteByPatID(patID) != 1) {
    context.fail(QStringLiteral("Failed in patient information delete."));
    return RecordChange::kImages;
  }
  context.change.patients.append(patID);
  return RecordChange::kPatientSearch;
}

int CRecordOperations::cleanUpStudy(Context& context, long stuSeq) {
  if (context.failed()) return RecordChange::kImages;
  // A count that failed (0 then) is no empty study.
  const long series = CDRSerInfo(&m_db).CountSeries(stuSeq);
  if (context.failed()) return RecordChange::kImages;
  if (series != 0) {
    CDRStuInfo(&m_db).UpdateTotals(stuSeq);
    return RecordChange::kImages;
  }
  CDStuInfo study;
  if (!readStudy(m_db, stuSeq, study)) return RecordChange::kStudySearch;
  if (CDRStuInfo(&m_db).DeleteByStuSeq(stuSeq) != 1) {
    context.fail(QStringLiteral("Failed in study information delete."));
    return RecordChange::kImages;
  }
  context.change.studies.append(stuSeq);
  return std::max<int>(RecordChange::kStudySearch, cleanUpPatient(context, study.PatID));
}

int CRecordOperations::cleanUpSeries(Context& context, long serSeq) {
  CDSerInfo series;
  if (context.failed() || !readSeries(m_db, serSeq, series)) return RecordChange::kImages;
  if (CDRImgInfo(&m_db).CountImages(serSeq) != 0) {
    // Rewrites this series' InstanceCount on the way.
    CDRStuInfo(&m_db).UpdateTotals(series.StuSeq);
    return RecordChange::kImages;
  }
  CDRSerInfo(&m_db).DeleteBySerSeq(serSeq);
  if (context.failed()) return RecordChange::kImages;
  context.change.series.append(serSeq);
  return std::max<int>(RecordChange::kSeriesList, cleanUpStudy(context, series.StuSeq));
}

void CRecordOperations::deleteStudyRows(Context& context, const CDStuInfo& study) {
  const QList<long> series =
      seriesKeys(m_db, QStringLiteral("StuSeq"), qlonglong(study.StuSeq));
  if (!removeWorklist(context, study.StuAccessNo)) return;
  if (CDRStuInfo(&m_db).DeleteByStuSeq(study.StuSeq) != 1) {
    context.fail(QStringLiteral("Failed in study information delete."));
    return;
  }
  context.change.studies.append(study.StuSeq);
  if (CDRSerInfo(&m_db).DeleteByStudy(study.StuSeq, 0) != 1) {
    context.fail(QStringLiteral("Failed in series information delete."));
    return;
  }
  for (long serSeq : series) {
    context.change.series.append(serSeq);
    deleteSeriesImages(context, serSeq);
  }
}

RecordChange CRecordOperations::DeletePatients(const QStringList& patIDs,
                                               const QStringList& accessionNumbers) {
  return transact([&](Context& context) {
    context.change.raise(RecordChange::kPatientSearch);
    for (const QString& number : accessionNumbers) {
      if (!removeWorklist(context, number)) return;
    }
    for (const QString& patID : patIDs) {
      if (patID.isEmpty()) continue;
      CDRStuInfo studies(&m_db);
      CSqlFilter filter;
      filter.addExactText(QStringLiteral("PatID"), patID);
      std::vector<CDStuInfo> patientStudies;
      for (studies.OpenWith(filter); !studies.IsEOF(); studies.MoveNext()) {
        patientStudies.emplace_back();
        studies.CopyTo(patientStudies.back());
      }
      studies.Close();
      if (CDRPatInfo(&m_db).DeleteByPatID(patID) != 1) {
        context.fail(QStringLiteral("Failed in patient information delete."));
        return;
      }
      context.change.patients.append(patID);
      for (const CDStuInfo& study : patientStudies) {
        deleteStudyRows(context, study);
        if (context.failed()) return;
      }
      // Series filed under the patient without a study row of theirs go too.
      for (long serSeq : seriesKeys(m_db, QStringLiteral("PatID"), patID)) {
        CDRSerInfo(&m_db).DeleteBySerSeq(serSeq);
        context.change.series.append(serSeq);
        deleteSeriesImages(context, serSeq);
      }
      if (context.failed()) return;
    }
  });
}

RecordChange CRecordOperations::DeleteStudies(const QList<long>& stuSeqs) {
  return transact([&](Context& context) {
    context.change.raise(RecordChange::kStudySearch);
    for (long stuSeq : stuSeqs) {
      CDStuInfo study;
      if (!readStudy(m_db, stuSeq, study)) continue;
      deleteStudyRows(context, study);
      context.change.raise(cleanUpPatient(context, study.PatID));
      if (context.failed()) return;
    }
  });
}

RecordChange CRecordOperations::DeleteSeries(const QList<long>& serSeqs) {
  return transact([&](Context& context) {
    context.change.raise(RecordChange::kSeriesList);
    for (long serSeq : serSeqs) {
      CDSerInfo series;
      if (!readSeries(m_db, serSeq, series)) continue;
      // By its key: a study may hold two series of one number, and only this one's images go.
      CDRSerInfo(&m_db).DeleteBySerSeq(serSeq);
      if (context.failed()) {
        context.fail(QStringLiteral("Failed in series information delete."));
        return;
      }
      context.change.series.append(serSeq);
      deleteSeriesImages(context, serSeq);
      context.change.raise(cleanUpStudy(context, series.StuSeq));
      if (context.failed()) return;
    }
  });
}

RecordChange CRecordOperations::DeleteImages(const QList<long>& imgSeqs) {
  return transact([&](Context& context) {
    for (long imgSeq : imgSeqs) {
      if (context.change.images.contains(imgSeq)) continue;  // named twice
      std::vector<CDImgInfo> deleted;
      if (!CDRImgInfo(&m_db).DeleteImageRow(imgSeq, deleted)) return;
      // Gone meanwhile (deleted from another station): nothing is deleted rather than less
      // than was asked, and the caller hears why.
      if (deleted.empty()) {
        context.fail(QStringLiteral("Image dose not exist."));
        return;
      }
      imagesDeleted(context, deleted);
      context.change.raise(cleanUpSeries(context, deleted.front().SerSeq));
      if (context.failed()) return;
    }
  });
}

QList<long> CRecordOperations::ImageKeys(long serSeq, long imageNo) {
  QList<long> keys;
  CDRImgInfo rows(&m_db);
  for (int found = rows.OpenImages(serSeq, imageNo); found == 1 && !rows.IsEOF(); rows.MoveNext()) {
    // Number 0 would open every image of the series.
    if (rows.ImageNo == imageNo) keys.append(rows.ImgSeq);
  }
  return keys;
}

RecordChange CRecordOperations::DeleteAll(const QDateTime& from, const QDateTime& to) {
  return transact([&](Context& context) {
    context.change.raise(RecordChange::kPatientSearch);
    CDRStuInfo rows(&m_db);
    rows.m_strSort = QStringLiteral("StuDateTime Desc");
    const QDate first = from.date();
    const QDate last = to.date();
    std::vector<CDStuInfo> studies;
    if (rows.OpenStudies(QString(), QString(), QString(), first.year(), first.month(), first.day(),
                         last.year(), last.month(), last.day()) == 1) {
      for (; !rows.IsEOF(); rows.MoveNext()) {
        studies.emplace_back();
        rows.CopyTo(studies.back());
      }
    }
    rows.Close();
    for (const CDStuInfo& study : studies) {
      deleteStudyRows(context, study);
      cleanUpPatient(context, study.PatID);
      if (context.failed()) return;
    }
  });
}

namespace {

// The images of a series in ascending number.
std::vector<CDImgInfo> seriesImages(CDaoDatabase& db, long serSeq) {
  CDRImgInfo rows(&db);
  rows.m_nSortDir = 1;
  std::vector<CDImgInfo> images;
  if (serSeq <= 0) return images;
  for (rows.OpenImages(serSeq, 0); !rows.IsEOF(); rows.MoveNext()) images.push_back(rows);
  return images;
}

const CDImgInfo* numbered(const std::vector<CDImgInfo>& images, long imageNo) {
  for (const CDImgInfo& image : images) {
    if (image.ImageNo == imageNo) return &image;
  }
  return nullptr;
}

void renumbered(CDImgInfo& image, long imageNo, long acqNo) {
  image.ImageNo = imageNo;
  image.AcqNo = acqNo;
  image.InstanceNumber = imageNo;
}

// Writes the file with the image's new numbers (and its series number, when it changes series)
// under target. 0 or the imaging error.
int rewriteNumbers(const QString& source, const QString& target, const CDImgInfo& image,
                   bool seriesChanged) {
  imaging::DicomDataSet data;
  int result = data.load(source.toStdString());
  const auto set = [&](imaging::DicomTag element, long value) {
    if (result == 0) result = data.setValue(element, std::to_string(value));
  };
  set(tag::AcquisitionNumber, image.AcqNo);
  set(tag::InstanceNumber, image.ImageNo);
  if (seriesChanged) set(tag::SeriesNumber, image.SeriesNo);
  if (result == 0) result = data.save(target.toStdString());
  return result;
}

}  // namespace

RecordChange CRecordOperations::MoveInSeries(long serSeq, long moving, long before) {
  const std::vector<CDImgInfo> images = seriesImages(m_db, serSeq);
  const CDImgInfo* dragged = numbered(images, moving);
  const CDImgInfo* target = numbered(images, before);
  if (dragged == nullptr || target == nullptr || moving == before) {
    RecordChange refused;
    refused.error = QStringLiteral("No image %1 to move in front of image %2 in series %3.")
                        .arg(moving)
                        .arg(before)
                        .arg(serSeq);
    return refused;
  }
  // The walk from the dragged image towards the target, inclusive.
  std::vector<CDImgInfo> walk;
  for (const CDImgInfo& image : images) {
    if (image.ImageNo >= std::min(moving, before) && image.ImageNo <= std::max(moving, before)) {
      walk.push_back(image);
    }
  }
  if (moving > before) std::reverse(walk.begin(), walk.end());
  std::vector<CDImgInfo> after = walk;
  renumbered(after[0], target->ImageNo, target->AcqNo);
  for (size_t i = 1; i < walk.size(); ++i) renumbered(after[i], walk[i - 1].ImageNo, walk[i - 1].AcqNo);
  return renumber(walk, after);
}

RecordChange CRecordOperations::MoveToSeries(long fromSerSeq, long moving, long toSerSeq,
                                             long before) {
  const std::vector<CDImgInfo> source = seriesImages(m_db, fromSerSeq);
  const std::vector<CDImgInfo> target = seriesImages(m_db, toSerSeq);
  const CDImgInfo* dragged = numbered(source, moving);
  const CDImgInfo* place = numbered(target, before);
  CDSerInfo targetSeries;
  if (fromSerSeq == toSerSeq || dragged == nullptr || place == nullptr ||
      !readSeries(m_db, toSerSeq, targetSeries)) {
    RecordChange refused;
    refused.error = QStringLiteral("No image %1 of series %2 to move in front of image %3 of "
                                   "series %4.")
                        .arg(moving)
                        .arg(fromSerSeq)
                        .arg(before)
                        .arg(toSerSeq);
    return refused;
  }
  std::vector<CDImgInfo> changedBefore;
  std::vector<CDImgInfo> changedAfter;
  for (const CDImgInfo& image : target) {
    if (image.ImageNo < before) continue;
    changedBefore.push_back(image);
    changedAfter.push_back(image);
    renumbered(changedAfter.back(), image.ImageNo + 1, image.AcqNo + 1);
  }
  changedBefore.push_back(*dragged);
  changedAfter.push_back(*dragged);
  CDImgInfo& moved = changedAfter.back();
  renumbered(moved, before, place->AcqNo);
  moved.SerSeq = toSerSeq;
  moved.SeriesNo = targetSeries.SeriesNo;
  const CDImgInfo* previous = dragged;
  for (const CDImgInfo& image : source) {
    if (image.ImageNo <= moving) continue;
    changedBefore.push_back(image);
    changedAfter.push_back(image);
    renumbered(changedAfter.back(), previous->ImageNo, previous->AcqNo);
    previous = &image;
  }
  return renumber(changedBefore, changedAfter);
}

RecordChange CRecordOperations::renumber(const std::vector<CDImgInfo>& before,
                                         const std::vector<CDImgInfo>& after) {
  RecordChange refused;
  OperationLock lock(m_db);
  if (!lock.acquire(refused.error)) return refused;
  if (!FinishPendingFiles()) {
    refused.error = m_db.LastError();
    return refused;
  }
  // Every copy is journaled before it is written: a crash then leaves no stray copy behind.
  std::vector<FileWork> copies;
  std::vector<FileWork> renames;
  std::vector<std::pair<size_t, QString>> sources;  // image index, file
  for (size_t i = 0; i < before.size(); ++i) {
    for (const QString& file : rewrittenFiles(before[i].FullPath)) {
      copies.push_back({kRemoveTemporary, TemporaryName(file), QString(), QString()});
      renames.push_back({kRename, file, TemporaryName(file), QString()});
      sources.emplace_back(i, file);
    }
  }
  if (!rewriteJournal(m_db, copies, true)) {
    refused.error = m_db.LastError();
    return refused;
  }
  const auto abandon = [&](const QString& error) {
    doFileWork(m_db, copies, nullptr);
    rewriteJournal(m_db, copies, false);
    refused.error = error;
    return refused;
  };
  std::vector<FileWork> written;
  for (size_t k = 0; k < sources.size(); ++k) {
    const auto& [index, file] = sources[k];
    const bool seriesChanged = after[index].SerSeq != before[index].SerSeq;
    if (rewriteNumbers(file, renames[k].tempPath, after[index], seriesChanged) == 0) {
      written.push_back(renames[k]);
    } else if (file == before[index].FullPath) {
      // The image itself must take its new numbers; a sibling that is no DICOM file is left.
      return abandon(QStringLiteral("%1: the image file cannot be rewritten.").arg(file));
    }
  }

  Context context(m_db);
  if (!m_db.BeginTrans()) return abandon(m_db.LastError());
  CdbDatabase statements(&m_db);
  std::set<long> series;
  for (size_t i = 0; i < after.size() && !context.failed(); ++i) {
    const CDImgInfo& image = after[i];
    statements.Execute(QStringLiteral("UPDATE ImgInfo SET ImageNo = ?, AcqNo = ?, "
                                      "InstanceNumber = ?, SerSeq = ?, SeriesNo = ? "
                                      "WHERE ImgSeq = ?"),
                       {qlonglong(image.ImageNo), qlonglong(image.AcqNo),
                        qlonglong(image.InstanceNumber), qlonglong(image.SerSeq),
                        qlonglong(image.SeriesNo), qlonglong(image.ImgSeq)});
    series.insert(before[i].SerSeq);
    series.insert(image.SerSeq);
    context.change.renumbered.append(
        {image.ImgSeq, before[i].SerSeq, before[i].ImageNo, image.SerSeq, image.ImageNo});
  }
  // Recounted, or deleted with what it leaves empty above it when an image moved out of it.
  for (long serSeq : series) {
    if (context.failed()) break;
    context.change.raise(cleanUpSeries(context, serSeq));
  }
  for (const FileWork& work : written) {
    if (!context.failed()) journal(m_db, work);
  }
  if (context.failed() || !m_db.CommitTrans()) {
    m_db.Rollback();
    return abandon(context.change.error.isEmpty() ? m_db.LastError() : context.change.error);
  }
  // The renames, then the copies of siblings that could not be rewritten.
  written.insert(written.end(), copies.begin(), copies.end());
  doFileWork(m_db, written, nullptr);
  rewriteJournal(m_db, written, false);
  context.change.ok = true;
  return context.change;
}
