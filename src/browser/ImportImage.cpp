#include "browser/ImportImage.h"

#include <QFile>
#include <QFuture>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

#include "image/AttributeReader.h"
#include "image/DicomTags.h"
#include "image/ImageEach.h"
#include "imaging/DicomDataSet.h"
#include "imaging/ImagingError.h"
#include "ui/MessageSink.h"

using imaging::DicomTag;

namespace {

const QString kCrStorage = QStringLiteral("1.2.840.10008.5.1.4.1.1.1");
const QString kDxForPresentation = QStringLiteral("1.2.840.10008.5.1.4.1.1.1.1");
const QString kDxForProcessing = QStringLiteral("1.2.840.10008.5.1.4.1.1.1.1.1");
// Each file's savepoint inside a batch.
const QString kFileSavepoint = QStringLiteral("import_file");

// An integer element, or fallback when the file gives no value.
long integerOr(const AttributeReader& read, DicomTag t, long fallback) {
  const auto value = read.text(t);
  if (!value || value->trimmed().isEmpty()) return fallback;
  return attribute::toInteger(*value);
}

// Date and time elements as one date-time; without the date element the zero value, time and
// all.
CDateTime dateTime(const AttributeReader& read, DicomTag dateTag, DicomTag timeTag) {
  CDateTime value;
  if (read.date(dateTag)) read.dateTime(dateTag, timeTag, value);
  return value;
}

// The first of the elements with a non-blank value; empty when none has one.
QString firstGiven(const AttributeReader& read, std::initializer_list<DicomTag> tags) {
  for (const DicomTag t : tags) {
    if (auto value = read.text(t); value && !value->trimmed().isEmpty()) return *value;
  }
  return {};
}

QString toQString(const std::optional<std::string>& value) {
  return value ? QString::fromStdString(*value) : QString();
}

// Where elements of the import table go.
struct StudyText {
  DicomTag element;
  QString CDStuInfo::*field;
};
struct ImageText {
  DicomTag element;
  QString CDImgInfo::*field;
};
struct ItemCode {
  DicomTag sequence;
  DicomTag element;
  QString CDImgInfo::*field;
};

// The rows of one patient: the import names the patient exactly, the empty ID included, where
// the browser's queries take an empty ID for "every patient" (which would file an image without
// a patient ID under whichever patient came first).
CSqlFilter patientFilter(const QString& patID) {
  CSqlFilter filter;
  filter.addExactText(QStringLiteral("PatID"), patID);
  return filter;
}

}  // namespace

CImageImport::CImageImport(CDaoDatabase& database)
    : m_database(database),
      m_patients(&database),
      m_studies(&database),
      m_series(&database),
      m_images(&database) {}

void CImageImport::forgetLookups() {
  m_lastPatient.forget();
  m_lastStudy.forget();
  m_lastSeries.forget();
}

int CImageImport::Fail(int code, const QString& reason) {
  m_lastError = reason;
  return code;
}

CImageImport::FileRead CImageImport::ReadImageFile(const QString& path) {
  FileRead file;
  file.path = path;
  const auto refuse = [&file](int code, const QString& reason) {
    file.code = code;
    file.reason = reason;
    return file;
  };
  if (path.isEmpty()) return refuse(kImportRefused, QStringLiteral("empty path"));
  if (path.size() > CImageEach::kMaxPathLength)
    return refuse(kImportRefused, QStringLiteral("path of 256 characters or more"));

  imaging::DicomDataSet dataSet;
  const int loaded =
      dataSet.load(QFile::encodeName(path).toStdString(), imaging::DicomDataSet::Extent::Header);
  if (loaded != imaging::kImagingOk)
    return refuse(loaded, QString::fromStdString(imaging::imagingErrorText(loaded)));
  const AttributeReader read(dataSet);
  if (read.has(tag::DirectoryRecordSequence))
    return refuse(kImportDirectory, QStringLiteral("DICOMDIR"));
  FileRows& rows = file.rows;
  read.narrow(tag::SopInstanceUid, rows.img.SOPInstanceUID);
  if (rows.img.SOPInstanceUID.isEmpty())
    return refuse(kImportNoInstanceUid, QStringLiteral("no SOP Instance UID (0008,0018)"));

  ReadRows(dataSet, rows);
  // One per thread: files are read on several.
  thread_local const QRegularExpression doubledSeparator(QStringLiteral("/{2,}"));
  rows.img.FullPath = QString(path).replace(doubledSeparator, QStringLiteral("/"));
  return file;
}

int CImageImport::ImportImageFile(const QString& path, QString& patID) {
  FileRead read = ReadImageFile(path);
  return ImportRead(read, patID);
}

int CImageImport::ImportRead(FileRead& read, QString& patID) {
  m_duplicate = false;
  m_duplicatePath.clear();
  m_lastError.clear();
  if (read.code != kImportDone) return Fail(read.code, read.reason);
  patID = read.rows.pat.PatID;
  return WriteRows(read.rows);
}

void CImageImport::ImportFiles(const QStringList& paths,
                               const std::function<void(const FileOutcome&)>& done) {
  const auto readBatch = [](const QStringList& batch) {
    std::vector<FileRead> reads;
    reads.reserve(static_cast<std::size_t>(batch.size()));
    for (const QString& path : batch) reads.push_back(ReadImageFile(path));
    return reads;
  };
  QFuture<std::vector<FileRead>> ahead;
  qsizetype next = 0;
  const auto readAhead = [&] {
    if (next >= paths.size()) return false;
    ahead = QtConcurrent::run(readBatch, paths.mid(next, kBatchFiles));
    next += kBatchFiles;
    return true;
  };
  for (bool reading = readAhead(); reading;) {
    std::vector<FileRead> reads = ahead.takeResult();
    reading = readAhead();
    for (const FileOutcome& outcome : WriteBatch(reads)) done(outcome);
  }
}

std::vector<CImageImport::FileOutcome> CImageImport::WriteBatch(std::vector<FileRead>& reads) {
  // Files seldom fail once read, so the batch is first written without undo points: when a
  // file does fail, or the engine refuses the batch's image rows (a value out of its range in
  // one file, say), the batch is rolled back and written again with care, so that only the
  // failing file is left out.
  // What fails in the first attempt is told when the careful one meets it again.
  const auto quiet = [this](bool on) {
    m_patients.SetQuiet(on);
    m_studies.SetQuiet(on);
    m_series.SetQuiet(on);
    m_images.SetQuiet(on);
  };
  std::vector<FileOutcome> outcomes;
  quiet(true);
  const bool written = TryBatch(reads, false, outcomes);
  quiet(false);
  if (!written) TryBatch(reads, true, outcomes);
  return outcomes;
}

bool CImageImport::TryBatch(std::vector<FileRead>& reads, bool careful,
                            std::vector<FileOutcome>& outcomes) {
  outcomes.clear();
  outcomes.reserve(reads.size());
  m_batch = Batch{};
  // A batch that cannot begin falls back to a transaction per file, which says why it fails.
  m_batch.open = m_database.IsOpen() && m_database.BeginTrans();
  m_batch.careful = careful;
  forgetLookups();
  for (FileRead& read : reads) {
    QString patID;
    const int code = ImportRead(read, patID);
    if (m_batch.spoiled) {
      m_database.Rollback();
      return false;
    }
    outcomes.push_back({read.path, code, code == kImportDone && m_duplicate, m_lastError});
  }
  if (!m_batch.open) return true;
  m_batch.open = false;
  m_errorsBefore = m_database.ErrorCount();
  if (!m_batch.newImages.empty() && !m_images.InsertNewRows(m_batch.newImages)) {
    m_database.Rollback();
    return false;
  }
  m_studies.UpdateTotals(m_batch.studies);
  if (!DatabaseFailed() && m_database.CommitTrans()) return true;
  const QString error = m_database.LastError();
  m_database.Rollback();
  for (FileOutcome& outcome : outcomes) {
    if (outcome.code != kImportDone) continue;
    outcome.code = kImportDatabaseError;
    outcome.duplicate = false;
    outcome.reason = error;
  }
  return true;
}

void CImageImport::ReadRows(const imaging::DicomDataSet& dataSet, FileRows& rows) {
  const AttributeReader read(dataSet);
  CDPatInfo& pat = rows.pat;
  CDStuInfo& stu = rows.stu;
  CDSerInfo& ser = rows.ser;
  CDImgInfo& img = rows.img;

  read.narrow(tag::PatientId, pat.PatID);
  read.narrow(tag::PatientName, pat.PatName);
  read.text(tag::PatientSex, pat.PatSex);

  static const StudyText kStudyTexts[] = {{tag::StudyId, &CDStuInfo::StuID},
                                          {tag::AccessionNumber, &CDStuInfo::StuAccessNo},
                                          {tag::StudyInstanceUid, &CDStuInfo::StuInstanceUID},
                                          {tag::ReferringPhysician, &CDStuInfo::StuPhysicianRef},
                                          {tag::PerformingPhysician, &CDStuInfo::StuPhysician},
                                          {tag::OperatorsName, &CDStuInfo::StuOperator},
                                          {tag::StudyDescription, &CDStuInfo::StuDesc}};
  for (const StudyText& text : kStudyTexts) read.narrow(text.element, stu.*text.field);
  stu.StuDateTime = dateTime(read, tag::StudyDate, tag::StudyTime);
  read.narrow(tag::Modality, img.Modality);

  read.integer(tag::SeriesNumber, ser.SeriesNo);
  img.SeriesNo = ser.SeriesNo;
  ser.SeriesDate = dateTime(read, tag::SeriesDate, tag::SeriesTime);
  read.text(tag::BodyPartExamined, ser.BodyPart);
  read.text(tag::Laterality, ser.Laterality);
  ser.PatientPosition =
      firstGiven(read, {tag::PatientPosition, tag::SeriesDescription, tag::ProtocolName});
  img.PatientPosition = ser.PatientPosition;

  // A birth date that is there but no date takes the last date read before it; one that is
  // absent (or empty, as the type 2 element mostly is) keeps the zero value.
  img.ImageDateTime = dateTime(read, tag::ContentDate, tag::ContentTime);
  img.AcquisitionDateTime = img.ImageDateTime;
  if (const auto birth = read.date(tag::PatientBirthDate)) {
    pat.PatBirthDate = CDateTime(birth->year, birth->month, birth->day);
  } else if (const auto given = read.text(tag::PatientBirthDate);
             given && !given->trimmed().isEmpty()) {
    for (const DicomTag earlier : {tag::ContentDate, tag::SeriesDate, tag::StudyDate}) {
      if (const auto day = read.date(earlier)) {
        pat.PatBirthDate = CDateTime(day->year, day->month, day->day);
        break;
      }
    }
  }

  static const ImageText kImageTexts[] = {
      {tag::InstitutionName, &CDImgInfo::InstitutionName},
      {tag::InstitutionAddress, &CDImgInfo::InstitutionAddress},
      {tag::StationName, &CDImgInfo::StationName},
      {tag::DeviceSerialNumber, &CDImgInfo::DeviceSerialNumber},
      {tag::SoftwareVersions, &CDImgInfo::SoftwareVersions},
      {tag::ImageLaterality, &CDImgInfo::ImageLaterality},
      {tag::ImageType, &CDImgInfo::ImageType},
      {tag::PixelIntensityRelationship, &CDImgInfo::PixelIntensityRelationship},
      {tag::RescaleType, &CDImgInfo::RescaleType},
      {tag::PresentationLutShape, &CDImgInfo::PresentationLUTShape},
      {tag::LossyImageCompression, &CDImgInfo::LossyImageCompression},
      {tag::PatientOrientation, &CDImgInfo::PatientOrientation},
      {tag::BurnedInAnnotation, &CDImgInfo::BurnedInAnnotaton},
      {tag::DetectorType, &CDImgInfo::DetectorType},
      {tag::ExposureControlMode, &CDImgInfo::ExposureControlMode},
      {tag::ViewPosition, &CDImgInfo::ViewPosition},
      {tag::Grid, &CDImgInfo::Grid},
      {tag::Photometric, &CDImgInfo::PhotometricInterpretation}};
  for (const ImageText& text : kImageTexts) read.text(text.element, img.*text.field);
  img.PatientOrientation.truncate(16);
  img.Laterality = img.ImageLaterality;
  // The first item of the anatomic region and view code sequences.
  static const ItemCode kItemCodes[] = {
      {tag::AnatomicRegionSequence, tag::CodeValue, &CDImgInfo::ARS_CodeValue},
      {tag::AnatomicRegionSequence, tag::CodingSchemeDesignator,
       &CDImgInfo::ARS_CodingSchemeDesignator},
      {tag::AnatomicRegionSequence, tag::CodeMeaning, &CDImgInfo::ARS_CodeMeaning},
      {tag::ViewCodeSequence, tag::CodeValue, &CDImgInfo::VCS_CodeValue},
      {tag::ViewCodeSequence, tag::CodingSchemeDesignator, &CDImgInfo::VCS_CodingSchemeDesignator},
      {tag::ViewCodeSequence, tag::CodeMeaning, &CDImgInfo::VCS_CodeMeaning}};
  for (const ItemCode& code : kItemCodes) {
    img.*code.field = toQString(dataSet.itemText(code.sequence, code.element));
  }
  img.SourceApplicationEntityTitle = toQString(dataSet.metaText(tag::SourceApplicationEntityTitle));

  read.integer(tag::AcquisitionNumber, img.AcqNo);
  read.integer(tag::InstanceNumber, img.InstanceNumber);
  img.ImageNo = img.InstanceNumber;
  read.real(tag::DetectorElementSpacing, img.DetectorElementSpacing);
  img.ImagerPixelSpacing = img.DetectorElementSpacing;
  read.real(tag::Kvp, img.KVP);
  read.integer(tag::XRayTubeCurrent, img.X_RayTubeCurrent);
  img.MA = static_cast<double>(img.X_RayTubeCurrent);
  read.integer(tag::ExposureTime, img.ExposureTime);
  img.TIME = img.ExposureTime / 1000.0;
  read.integer(tag::Exposure, img.Exposure);
  img.MAS = static_cast<double>(img.X_RayTubeCurrent) * img.ExposureTime / 1000.0;
  read.real(tag::DistanceSourceToDetector, img.DistanceSourceToDetector);

  img.SamplesPerPixel = integerOr(read, tag::SamplesPerPixel, 1);
  rows.frames = integerOr(read, tag::NumberOfFrames, 1);
  img.Rows = integerOr(read, tag::Rows, 3121);
  img.Columns = integerOr(read, tag::Columns, 3121);
  img.BitsAllocated = integerOr(read, tag::BitsAllocated, 16);
  img.BitsStored = integerOr(read, tag::BitsStored, 14);
  img.HighBit = integerOr(read, tag::HighBit, 13);
  img.PixelRepresentation = integerOr(read, tag::PixelRepresentation, 0);
  if (read.has(tag::PixelData)) {
    img.WindowCenter = static_cast<double>(integerOr(read, tag::WindowCenter, 0));
    img.WindowWidth = static_cast<double>(integerOr(read, tag::WindowWidth, 0));
  }

  const bool dx = img.Modality == QLatin1String("DX");
  img.SOPClassUID_U = dx ? kDxForPresentation : kCrStorage;
  img.SOPClassUID_P = dx ? kDxForProcessing : kCrStorage;
  img.Manufacturer = QStringLiteral("Company");
  img.RescaleIntercept = 0.0;
  img.RescaleSlope = 1.0;
  img.PixelIntensityRelationshipSign = -1;
  img.PostProc = 0;
  img.SendToDICOM = false;
  img.ModalType = 1;
  img.PatientType = 3;
  img.WLType = 0;
  img.WLValue = 0;
}

// The one place an import's transaction begins and ends. On SQLite the transaction takes the
// write lock at once, so concurrent imports run one after the other and the find-or-create of
// the patient, study and series rows cannot interleave. Inside a batch (which holds that lock)
// the file's rows go into a savepoint of the batch's transaction instead, taken before the
// file's first write.
int CImageImport::WriteRows(FileRows& rows) {
  if (!m_database.IsOpen())
    return Fail(kImportDatabaseError, QStringLiteral("The database is not open"));
  m_errorsBefore = m_database.ErrorCount();
  m_fileSavepoint = false;
  m_imageWaits = false;
  if (!m_batch.open && !m_database.BeginTrans())
    return Fail(kImportDatabaseError, m_database.LastError());
  int result = WritePatient(rows);
  if (result == kImportDone) result = WriteStudy(rows);
  if (result == kImportDone) result = WriteSeriesAndImage(rows);
  if (result == kImportDone && DatabaseFailed()) result = kImportDatabaseError;
  if (result == kImportDone) {
    if (!m_batch.open && m_database.CommitTrans()) return kImportDone;
    if (m_batch.open && (!m_fileSavepoint || m_database.ReleaseSavepoint(kFileSavepoint))) {
      m_batch.studies.insert(rows.stu.StuSeq);
      if (!m_duplicate) {
        m_batch.images.emplace(std::make_pair(rows.img.SerSeq, rows.img.SOPInstanceUID),
                               rows.img.FullPath);
      }
      if (m_imageWaits) m_batch.newImages.push_back({&rows.img, rows.frames});
      return kImportDone;
    }
  }
  if (m_batch.open && !m_batch.careful) {
    m_batch.spoiled = true;
  } else if (m_batch.open) {
    if (m_fileSavepoint) m_database.RollbackToSavepoint(kFileSavepoint);
    forgetLookups();
  } else {
    m_database.Rollback();
  }
  m_duplicate = false;
  if (m_lastError.isEmpty()) {
    m_lastError =
        DatabaseFailed() ? m_database.LastError() : QStringLiteral("The database refused the rows");
  }
  return result == kImportDone ? kImportDatabaseError : result;
}

bool CImageImport::FileWrites() {
  if (!m_batch.open || !m_batch.careful || m_fileSavepoint) return true;
  m_fileSavepoint = m_database.Savepoint(kFileSavepoint);
  return m_fileSavepoint;
}

int CImageImport::WritePatient(FileRows& rows) {
  CDPatInfo& pat = rows.pat;
  const CDateTime& schedule = rows.stu.StuDateTime;
  const CSqlFilter filter = patientFilter(pat.PatID);
  if (m_batch.open && m_lastPatient.matches(filter) && m_lastPatient.row.PatSchedule == schedule) {
    pat = m_lastPatient.row;
    return kImportDone;
  }
  m_lastPatient.forget();
  if (m_patients.OpenWith(filter) == 1) {
    if (!(m_patients.PatSchedule == schedule)) {
      if (!FileWrites()) return kImportDatabaseError;
      m_patients.Edit();
      m_patients.PatSchedule = schedule;
      m_patients.Update();
    }
    m_patients.CopyTo(pat);
  } else if (!DatabaseFailed()) {
    const CDateTime& birth = pat.PatBirthDate;
    if (!FileWrites() ||
        m_patients.InsertNew(pat.PatID, pat.PatName, birth.year(), birth.month(), birth.day(),
                             pat.PatSex, 0, 0, QString(), QString(), schedule) != 0) {
      return kImportDatabaseError;
    }
    m_patients.CopyTo(pat);  // the row as stored
  }
  m_patients.Close();
  if (DatabaseFailed()) return kImportDatabaseError;
  if (m_batch.open) m_lastPatient.keep(filter, pat);
  return kImportDone;
}

int CImageImport::WriteStudy(FileRows& rows) {
  CDStuInfo& stu = rows.stu;
  stu.PatID = rows.pat.PatID;
  // The same study: same patient, study ID and accession number, on the same day.
  CSqlFilter filter = patientFilter(stu.PatID);
  filter.addText(QStringLiteral("StuID"), stu.StuID);
  filter.addText(QStringLiteral("StuAccessNo"), stu.StuAccessNo);
  const CDateTime& day = stu.StuDateTime;
  filter.addConfirmingDay(QStringLiteral("StuDateTime"), day.year(), day.month(), day.day());
  if (m_batch.open && m_lastStudy.matches(filter)) {
    stu = m_lastStudy.row;
    return kImportDone;
  }
  const bool found = m_studies.OpenWith(filter) == 1;
  if (found) m_studies.CopyTo(stu);
  m_studies.Close();
  if (DatabaseFailed()) return kImportDatabaseError;
  if (found) {
    if (m_batch.open) m_lastStudy.keep(filter, stu);
    return kImportDone;
  }
  stu.StuSchedule = stu.StuDateTime;
  stu.StuStatus = 1;
  stu.TotalSeries = 1;
  stu.TotalInstance = 1;
  stu.Print = 0;
  if (!FileWrites()) return kImportDatabaseError;
  if (m_studies.InsertNew(stu) <= 0) {
    if (!m_batch.open || m_batch.careful) {
      ShowMessage(QStringLiteral("New study generated error."), QStringLiteral("Browser"),
                  MB_OK | MB_ICONWARNING);
    }
    return Fail(kImportRefused, QStringLiteral("New study generated error."));
  }
  // The criteria now find the new row, and only it.
  if (m_batch.open) m_lastStudy.keep(filter, stu);
  return kImportDone;
}

int CImageImport::WriteSeriesAndImage(FileRows& rows) {
  const CDStuInfo& stu = rows.stu;
  CDSerInfo& ser = rows.ser;
  CDImgInfo& img = rows.img;
  ser.StuSeq = stu.StuSeq;
  ser.PatID = rows.pat.PatID;
  ser.StuID = stu.StuID;
  const CSqlFilter seriesKey = CDRSerInfo::SeriesFilter(
      ser.PatID, ser.StuID, ser.SeriesNo, QString(), ser.BodyPart, QString(), ser.StuSeq);
  if (m_batch.open && m_lastSeries.matches(seriesKey)) {
    ser.SerSeq = m_lastSeries.row;
  } else if (m_series.OpenWith(seriesKey) == 1) {
    ser.SerSeq = m_series.SerSeq;
    m_series.Close();
    if (m_batch.open) m_lastSeries.keep(seriesKey, ser.SerSeq);
  } else {
    m_series.Close();
    if (DatabaseFailed() || !FileWrites() || m_series.InsertNew(ser) < 0) {
      return kImportDatabaseError;
    }
    if (m_batch.open) {
      m_batch.newSeries.insert(ser.SerSeq);
      m_lastSeries.keep(seriesKey, ser.SerSeq);
    }
  }

  img.SerSeq = ser.SerSeq;
  if (!FindImage(img)) return kImportDatabaseError;
  if (!m_duplicate && m_placement != nullptr && !rows.placed) {
    QString reason;
    img.FullPath = m_placement->Place(img.FullPath, stu, img, reason);
    if (img.FullPath.isEmpty()) return Fail(kImportNotPlaced, reason);
    rows.placed = true;
  }
  if (!m_duplicate) {
    img.ImageSeq = QString::asprintf("i%03ld", NextImgSeq());
    if (m_batch.open && !m_batch.careful) {
      m_imageWaits = true;
    } else if (!FileWrites() || m_images.InsertNew(img, rows.frames) < 0) {
      return kImportDatabaseError;
    }
  }
  // The study's totals recount every series of the study, this one included: a RecountSeries
  // of its own first would store the same count twice. A batch recounts once, at its end.
  if (!m_batch.open) m_studies.UpdateTotals(stu.StuSeq);
  return kImportDone;
}

// A series the batch created holds only the batch's images, which the batch knows: the
// database is asked only about the images of series that were there before.
bool CImageImport::FindImage(const CDImgInfo& img) {
  if (m_batch.open) {
    const auto known = m_batch.images.find(std::make_pair(img.SerSeq, img.SOPInstanceUID));
    m_duplicate = known != m_batch.images.end();
    if (m_duplicate) m_duplicatePath = known->second;
    if (m_duplicate || m_batch.newSeries.count(img.SerSeq) != 0) return true;
  }
  m_duplicate = m_images.OpenBySOPInstanceUID(img.SerSeq, img.SOPInstanceUID) == 1;
  if (m_duplicate) m_duplicatePath = m_images.FullPath;
  m_images.Close();
  return !DatabaseFailed();
}

// Inside a batch nobody else appends images: the highest key is asked for once.
long CImageImport::NextImgSeq() {
  if (!m_batch.open) return m_images.NextImgSeq();
  if (m_batch.nextImgSeq == 0) m_batch.nextImgSeq = m_images.NextImgSeq();
  return m_batch.nextImgSeq++;
}
