#pragma once

#include <QString>

#include "db/DRImgInfo.h"
#include "db/DRPatInfo.h"
#include "db/DRSerInfo.h"
#include "db/DRStuInfo.h"
#include "db/DaoDatabase.h"

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
// series rows of a file and appends its image row. Each file is written in one transaction, so
// a failure leaves none of its rows behind. All files go through the connection the importer
// is given, which keeps its prepared statements from one file to the next.
class CImageImport {
 public:
  // On an open connection that outlives the importer.
  explicit CImageImport(CDaoDatabase& database);

  // Imports one file; patID receives its patient ID. kImportDone, or a negative code with
  // nothing written and the reason in LastError().
  int ImportImageFile(const QString& path, QString& patID);
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
  struct FileRows;

  int Fail(int code, const QString& reason);
  // The table's elements of the file into the four value records.
  static void ReadRows(const imaging::DicomDataSet& dataSet, FileRows& rows);
  // Steps after the file is read: the rows, in one transaction.
  int WriteRows(FileRows& rows);
  int WritePatient(FileRows& rows);
  int WriteStudy(FileRows& rows);
  int WriteSeriesAndImage(FileRows& rows);
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
};
