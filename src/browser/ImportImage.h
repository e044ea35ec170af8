#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "db/DRImgInfo.h"
#include "db/DRPatInfo.h"
#include "db/DRSerInfo.h"
#include "db/DRStuInfo.h"
#include "db/DaoDatabase.h"
#include "db/SqlFilter.h"

namespace imaging {
class DicomDataSet;
}

// What ImportImageFile returns besides the imaging error codes (-2 to -13: the file cannot be
// loaded).
enum ImportResult : int {
  // The image is indexed: now, or by an earlier import (WasDuplicate tells which).
  kImportDone = 1,
  // A path that is empty or of 256 characters or more, or a study that could not be appended.
  kImportRefused = -1,
  // The engine refused a statement; nothing of the file was written.
  kImportDatabaseError = -200,
  // No SOP Instance UID (0008,0018), as in old ACR-NEMA files: an image that cannot be
  // recognised again would be added once more by every scan of its folder.
  kImportNoInstanceUid = -201,
  // A DICOMDIR: it lists files and is none.
  kImportDirectory = -202,
  // The placement could not put the file where its image row was to point; nothing written.
  kImportNotPlaced = -203,
};

// Where a new image's file lives. The importer asks inside the file's transaction, once it knows
// the image is not indexed yet and just before it writes the image row, so that a row is only
// ever committed for a file already in its place.
class CImportPlacement {
 public:
  virtual ~CImportPlacement() = default;
  // Puts the file at `source` (the study and image rows as they will be written) where it is to
  // stay and returns that path; empty with the reason in `reason` when it cannot.
  virtual QString Place(const QString& source, const CDStuInfo& study, const CDImgInfo& image,
                        QString& reason) = 0;
};

// Indexes DICOM image files into the image database: finds or creates the patient, study and
// series rows of a file and appends its image row. Each file is written in one transaction (in
// a batch, one savepoint), so a failure leaves none of its rows behind. All files go through the
// connection the importer is given, which keeps its prepared statements from one file to the
// next.
class CImageImport {
 public:
  // What one file puts into the four tables.
  struct FileRows {
    CDPatInfo pat;
    CDStuInfo stu;
    CDSerInfo ser;
    CDImgInfo img;
    long frames = 1;
    bool placed = false;  // the placement has put the file where img.FullPath says
  };
  // A file read for the tables before the database is touched: code is kImportDone when rows
  // holds its values, else the reason it cannot be imported.
  struct FileRead {
    QString path;
    int code = kImportDone;
    QString reason;
    FileRows rows;
  };
  // What became of one file of ImportFiles.
  struct FileOutcome {
    QString path;
    int code = kImportDone;
    bool duplicate = false;
    QString reason;
  };
  // Files a batch of ImportFiles reads ahead and commits together.
  static constexpr int kBatchFiles = 64;

  // On an open connection that outlives the importer.
  explicit CImageImport(CDaoDatabase& database);

  // Reads the header of one file (up to the pixel data) into its rows. Touches no database, so
  // it runs on any thread.
  static FileRead ReadImageFile(const QString& path);

  // Imports one file; patID receives its patient ID. kImportDone, or a negative code with
  // nothing written and the reason in LastError().
  int ImportImageFile(const QString& path, QString& patID);
  // Writes the rows of a file read by ReadImageFile, as ImportImageFile does.
  int ImportRead(FileRead& read, QString& patID);
  // Imports many files, in order: the headers of the next batch are read on another thread
  // while this one writes the current batch in one transaction, its image rows appended
  // together and the studies' totals recounted once, at the end of the batch. Should a file
  // fail once read, the batch is written again with each file in a savepoint of its own, so
  // that it alone is left out. done hears of each
  // file once its batch is committed; a batch whose commit fails reports each of its files as
  // kImportDatabaseError, none of them written. A kill loses at most the batch in hand.
  void ImportFiles(const QStringList& paths, const std::function<void(const FileOutcome&)>& done);

  // New images are placed by `placement` (not owned; null, the default, indexes every file
  // where it is).
  void SetPlacement(CImportPlacement* placement) { m_placement = placement; }
  // Whether the last import that returned kImportDone found the image already indexed.
  bool WasDuplicate() const { return m_duplicate; }
  // The file the image row found by that import names.
  const QString& DuplicatePath() const { return m_duplicatePath; }
  // Why the last import failed, in words.
  const QString& LastError() const { return m_lastError; }

 private:
  int Fail(int code, const QString& reason);
  // The table's elements of the file into the four value records.
  static void ReadRows(const imaging::DicomDataSet& dataSet, FileRows& rows);
  // One batch of ImportFiles; the outcomes in file order.
  std::vector<FileOutcome> WriteBatch(std::vector<FileRead>& reads);
  // Writes the batch in one transaction. Carefully: each file's rows in a savepoint of its
  // own, undone when the file fails. Else with no savepoints and the image rows together at the
  // end, false (the batch rolled back) when a file fails or the engine refuses those rows.
  bool TryBatch(std::vector<FileRead>& reads, bool careful, std::vector<FileOutcome>& outcomes);
  // Steps after the file is read: the rows, in one transaction or savepoint.
  int WriteRows(FileRows& rows);
  int WritePatient(FileRows& rows);
  int WriteStudy(FileRows& rows);
  int WriteSeriesAndImage(FileRows& rows);
  // Whether the image is indexed already (WasDuplicate, DuplicatePath); false on an engine
  // error.
  bool FindImage(const CDImgInfo& img);
  long NextImgSeq();
  // Called before each row a file writes: in a careful batch, the first one takes the file's
  // savepoint, so a file that only adds an image to known rows costs no statement of its own.
  bool FileWrites();
  bool DatabaseFailed() const { return m_database.ErrorCount() != m_errorsBefore; }

  CDaoDatabase& m_database;
  CDRPatInfo m_patients;
  CDRStuInfo m_studies;
  CDRSerInfo m_series;
  CDRImgInfo m_images;
  CImportPlacement* m_placement = nullptr;
  long m_errorsBefore = 0;
  bool m_duplicate = false;
  QString m_duplicatePath;
  QString m_lastError;

  // What a batch of ImportFiles keeps while its transaction is open. A server answers each
  // statement once, so the batch reads and writes what it can for all its files together.
  struct Batch {
    bool open = false;       // the batch's transaction is open: files take savepoints
    bool careful = false;    // files take savepoints, image rows are written at once
    bool spoiled = false;    // a file failed where nothing could undo its rows
    std::set<long> studies;  // studies whose totals the batch recounts at its end
    // The files of the images the batch indexed, by SerSeq and SOP Instance UID.
    std::map<std::pair<long, QString>, QString> images;
    std::set<long> newSeries;                   // the series the batch created
    std::vector<CDRImgInfo::NewRow> newImages;  // the rows waiting for the insert
    long nextImgSeq = 0;                        // 0: not asked for yet
  };
  Batch m_batch;
  bool m_fileSavepoint = false;  // the file in hand has taken its savepoint
  bool m_imageWaits = false;     // the file's image row waits for the batch's insert

  // The row the last lookup of a table found, by its criteria. Consecutive files of one series
  // look the same patient, study and series up; inside a batch's transaction nobody else
  // writes, so the same criteria find the same row until this importer changes that table:
  // a row it appends becomes the one remembered (its criteria found none before, so they
  // find only it now), a row it changes is remembered changed, and undoing a file forgets all.
  template <typename Row>
  struct LastLookup {
    bool valid = false;
    CSqlFilter criteria;
    Row row{};
    bool matches(const CSqlFilter& filter) const { return valid && filter == criteria; }
    void keep(const CSqlFilter& filter, const Row& found) {
      valid = true;
      criteria = filter;
      row = found;
    }
    void forget() { valid = false; }
  };
  void forgetLookups();
  LastLookup<CDPatInfo> m_lastPatient;
  LastLookup<CDStuInfo> m_lastStudy;
  LastLookup<long> m_lastSeries;  // SerSeq
};