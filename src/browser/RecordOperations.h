#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "db/ValueRecords.h"

class CDaoDatabase;

// What one record operation changed, for the browser's refresh and the command line's report.
struct RecordChange {
  // How far the browser's lists are rebuilt afterwards: the images, the series list, the study
  // search, the patient search.
  enum Refresh { kImages = 0, kSeriesList = 1, kStudySearch = 2, kPatientSearch = 3 };

  bool ok = false;
  QString error;  // why nothing changed, when not ok (shown by the caller)
  int refresh = kImages;
  QStringList patients;  // PatIDs whose rows went
  QList<long> studies;   // StuSeq of the deleted studies
  QList<long> series;    // SerSeq of the deleted series
  QList<long> images;    // ImgSeq of the deleted images
  // Renumbered images: ImgSeq with the series and number before and after.
  struct Renumbered {
    long imgSeq, fromSerSeq, fromImageNo, toSerSeq, toImageNo;
  };
  QList<Renumbered> renumbered;
  QStringList removedFiles;  // image files removed with their rows
  QStringList keptFiles;     // files of deleted rows left alone: outside storage, or still named

  void raise(int level) { refresh = std::max(refresh, level); }
  QJsonObject toJson() const;
};

// The browser's record operations on the image database: deleting patients, studies, series
// and images with the cascades up and down the patient-study-series-image tree, and
// renumbering images. The browser's buttons and torascan-cli run the same code.
//
// Each operation changes its rows in one transaction, so a crash leaves all of them or none.
// Files follow the rows through a journal (the PendingFile table) written in that transaction:
// a deleted image's files are removed only after its row is gone, a renumbered file is written
// under a temporary name and renamed into place, and work a crash cut off is finished by the
// next operation (FinishPendingFiles). A file is only ever removed inside the storage folders,
// and never while another row still names it.
class CRecordOperations {
 public:
  // Works through database (open, outliving this). Files outside storageRoots are never removed.
  CRecordOperations(CDaoDatabase& database, const QStringList& storageRoots);

  // Finishes the file work that operations committed but did not complete. False when the
  // journal cannot be read.
  bool FinishPendingFiles();

  // The patients of the IDs, their studies, series, images and files; the worklist entries of
  // accessionNumbers and of every deleted study.
  RecordChange DeletePatients(const QStringList& patIDs, const QStringList& accessionNumbers);
  // The studies (by StuSeq) with their series, images and worklist entries; a patient left
  // without studies goes too.
  RecordChange DeleteStudies(const QList<long>& stuSeqs);
  // The series (by SerSeq) with their images; an emptied study goes, and so on upwards.
  RecordChange DeleteSeries(const QList<long>& serSeqs);
  // Images by their keys (ImgSeq); an emptied series goes, and so on upwards. A key that
  // names no image fails the operation and nothing is deleted.
  RecordChange DeleteImages(const QList<long>& imgSeqs);
  // The keys of the images numbered imageNo in the series (none for a number below 1).
  QList<long> ImageKeys(long serSeq, long imageNo);
  // Every study dated in the period (null dates: all), newest first, with everything below and
  // the patients left without studies.
  RecordChange DeleteAll(const QDateTime& from, const QDateTime& to);

  // Image `moving` of the series takes the place of image `before`; the images between shift
  // one place towards the gap, numbers and acquisition numbers alike, in the rows and in the
  // DICOM files (and their "_org.dcm" and ".tnb" siblings where they exist).
  RecordChange MoveInSeries(long serSeq, long moving, long before);
  // Image `moving` of series fromSerSeq goes into series toSerSeq in front of its image
  // `before`: the target's images from `before` on move one up, the source's later images one
  // down; an emptied source series goes.
  RecordChange MoveToSeries(long fromSerSeq, long moving, long toSerSeq, long before);

  // The name a rewritten file is written under before it is renamed into place.
  static QString TemporaryName(const QString& path);

 private:
  struct Context;
  // Runs work in one transaction; on success the journaled file work is done after the
  // commit. change.error set means work failed: everything is rolled back.
  RecordChange transact(const std::function<void(Context&)>& work);
  void deleteSeriesImages(Context& context, long serSeq);
  // The deleted images' files into the journal (or kept, outside storage) and their keys into
  // the change.
  void imagesDeleted(Context& context, const std::vector<CDImgInfo>& deleted);
  void deleteStudyRows(Context& context, const CDStuInfo& study);
  int cleanUpPatient(Context& context, const QString& patID);
  int cleanUpStudy(Context& context, long stuSeq);
  int cleanUpSeries(Context& context, long serSeq);
  bool removeWorklist(Context& context, const QString& accessionNumber);
  // Whether the file lies in a storage folder as resolved at the operation's start.
  bool insideStorage(const QString& path) const;
  void resolveStorage();
  bool ensureJournal();
  // Writes each changed image's files under their temporary names (journaled first, so a crash
  // leaves no stray copy), then the rows and the renames in one transaction.
  RecordChange renumber(const std::vector<CDImgInfo>& before, const std::vector<CDImgInfo>& after);

  CDaoDatabase& m_db;
  QStringList m_storageRoots;
  QStringList m_storageFolders;  // canonical, each ending in '/'
  QString m_databaseFile;        // canonical
  bool m_journalReady = false;
};
