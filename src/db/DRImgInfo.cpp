#include "db/DRImgInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/AppSettings.h"
#include "app/DirectoryUtils.h"
#include "app/WorkingFolder.h"
#include "ui/MessageSink.h"

void CDRImgInfo::DoFieldExchange(CFieldExchange& fx) {
  fx.Key("ImgSeq", ImgSeq);
  fx.Field("SerSeq", SerSeq);
  fx.Field("ImageNo", ImageNo);
  fx.Field("SeriesNo", SeriesNo);
  fx.Field("FullPath", FullPath);
  fx.Field("Laterality", Laterality);
  fx.Field("PatientPosition", PatientPosition);
  fx.Field("AcqNo", AcqNo);
  fx.Field("PostProc", PostProc);
  fx.Field("SourceApplicationEntityTitle", SourceApplicationEntityTitle);
  fx.Field("Manufacturer", Manufacturer);
  fx.Field("InstitutionName", InstitutionName);
  fx.Field("InstitutionAddress", InstitutionAddress);
  fx.Field("StationName", StationName);
  fx.Field("ManufacturerModelName", ManufacturerModelName);
  fx.Field("DeviceSerialNumber", DeviceSerialNumber);
  fx.Field("SoftwareVersions", SoftwareVersions);
  fx.Field("InstanceNumber", InstanceNumber);
  fx.Field("PatientOrientation", PatientOrientation);
  fx.Field("ImageDateTime", ImageDateTime);
  fx.Field("AcquisitionDateTime", AcquisitionDateTime);
  fx.Field("SamplesPerPixel", SamplesPerPixel);
  fx.Field("PhotometricInterpretation", PhotometricInterpretation);
  fx.Field("Rows", Rows);
  fx.Field("Columns", Columns);
  fx.Field("BitsAllocated", BitsAllocated);
  fx.Field("BitsStored", BitsStored);
  fx.Field("HighBit", HighBit);
  fx.Field("PixelRepresentation", PixelRepresentation);
  fx.Field("ImageLaterality", ImageLaterality);
  fx.Field("ARS_CodeValue", ARS_CodeValue);
  fx.Field("ARS_CodingSchemeDesignator", ARS_CodingSchemeDesignator);
  fx.Field("ARS_CodeMeaning", ARS_CodeMeaning);
  fx.Field("ImageType", ImageType);
  fx.Field("PixelIntensityRelationship", PixelIntensityRelationship);
  fx.Field("PixelIntensityRelationshipSign", PixelIntensityRelationshipSign);
  fx.Field("RescaleIntercept", RescaleIntercept);
  fx.Field("RescaleSlope", RescaleSlope);
  fx.Field("RescaleType", RescaleType);
  fx.Field("PresentationLUTShape", PresentationLUTShape);
  fx.Field("LossyImageCompression", LossyImageCompression);
  fx.Field("BurnedInAnnotaton", BurnedInAnnotaton);
  fx.Field("DetectorType", DetectorType);
  fx.Field("ImagerPixelSpacing", ImagerPixelSpacing);
  fx.Field("DetectorElementSpacing", DetectorElementSpacing);
  fx.Field("ViewPosition", ViewPosition);
  fx.Field("VCS_CodeValue", VCS_CodeValue);
  fx.Field("VCS_CodingSchemeDesignator", VCS_CodingSchemeDesignator);
  fx.Field("VCS_CodeMeaning", VCS_CodeMeaning);
  fx.Field("DistanceSourceToDetector", DistanceSourceToDetector);
  fx.Field("KVP", KVP);
  fx.Field("MA", MA);
  fx.Field("MAS", MAS);
  fx.Field("TIME", TIME);
  fx.Field("X_RayTubeCurrent", X_RayTubeCurrent);
  fx.Field("ExposureTime", ExposureTime);
  fx.Field("Exposure", Exposure);
  fx.Field("ExposureControlMode", ExposureControlMode);
  fx.Field("Grid", Grid);
  fx.Field("WindowCenter", WindowCenter);
  fx.Field("WindowWidth", WindowWidth);
  fx.Field("SOPClassUID_U", SOPClassUID_U);
  fx.Field("SOPClassUID_P", SOPClassUID_P);
  fx.Field("SOPInstanceUID", SOPInstanceUID);
  fx.Field("SendToDICOM", SendToDICOM);
  fx.Field("ModalType", ModalType);
  fx.Field("PatientType", PatientType);
  fx.Field("Modality", Modality);
  fx.Field("WLType", WLType);
  fx.Field("WLValue", WLValue);
  fx.Field("ImageSeq", ImageSeq);
  fx.Field("PreviewRAWSize", PreviewRAWSize);
  fx.Field("PreviewDCMSize", PreviewDCMSize);
}

long CDRImgInfo::InsertNew(CDImgInfo& image, long previewDCMSize) {
  SetQuiet(true);
  const long key = AppendRow([&] { AssignNew(image, previewDCMSize); });
  SetQuiet(false);
  if (key < 0) {
    ShowMessage(QStringLiteral("Img. InsertNew Error"), QStringLiteral("Main control"),
                MB_OK | MB_ICONWARNING);
    return -1;
  }
  image.ImgSeq = key;
  return key;
}

bool CDRImgInfo::InsertNewRows(const std::vector<NewRow>& rows) {
  SetQuiet(true);
  const bool written = AppendRows(static_cast<int>(rows.size()), [&](int row) {
    AssignNew(*rows[static_cast<std::size_t>(row)].image,
              rows[static_cast<std::size_t>(row)].previewDCMSize);
  });
  SetQuiet(false);
  return written;
}

void CDRImgInfo::AssignNew(const CDImgInfo& image, long previewDCMSize) {
  static_cast<CDImgInfo&>(*this) = image;
  SendToDICOM = false;
  PreviewDCMSize = previewDCMSize;
}

long CDRImgInfo::NextImgSeq() { return Aggregate(QStringLiteral("MAX(ImgSeq)"), CSqlFilter()) + 1; }

long CDRImgInfo::NextImageNo(long serSeq) {
  CSqlFilter filter;
  filter.addKey(QStringLiteral("SerSeq"), serSeq);
  return Aggregate(QStringLiteral("MAX(ImageNo)"), filter) + 1;
}

long CDRImgInfo::CountImages(long serSeq) {
  CSqlFilter filter;
  filter.addKey(QStringLiteral("SerSeq"), serSeq);
  return Aggregate(QStringLiteral("COUNT(*)"), filter);
}

int CDRImgInfo::OpenImages(long serSeq, long imageNo) {
  Close();
  CSqlFilter filter;
  filter.addKey(QStringLiteral("SerSeq"), serSeq);
  filter.addNumber(QStringLiteral("ImageNo"), imageNo);
  m_strSort = sortText(QStringLiteral("ImageNo"), m_nSortDir);
  return OpenWith(filter);
}

int CDRImgInfo::OpenBySOPInstanceUID(long serSeq, const QString& sopInstanceUID) {
  Close();
  CSqlFilter filter;
  filter.addUid(QStringLiteral("SOPInstanceUID"), sopInstanceUID);
  // The UID's index finds the row and the series only confirms it: as a plain column the
  // series could steer the engine onto the series' index instead, reading every image of the
  // series for each lookup (an import of a 2,000-image series spent half its time there).
  filter.addConfirmingNumber(QStringLiteral("SerSeq"), serSeq);
  // Most lookups are an import asking whether its new image is indexed already, and find
  // nothing: counting first spares them a select of all 73 columns, which costs Qt more than
  // the query itself.
  if (Aggregate(QStringLiteral("COUNT(*)"), filter) == 0) return 0;
  m_strSort = sortText(QStringLiteral("ImageNo"), m_nSortDir);
  return OpenWith(filter);
}

QStringList CDRImgInfo::ImageFiles(const QString& dicomPath) {
  static const QString dcm = QStringLiteral(".dcm");
  if (!dicomPath.endsWith(dcm, Qt::CaseInsensitive)) return {dicomPath};
  const QString stem = dicomPath.left(dicomPath.size() - dcm.size());
  return {dicomPath, stem + QStringLiteral(".raw"), stem + QStringLiteral(".tnb"),
          stem + QStringLiteral("_org.dcm")};
}

namespace {

// Archives made on a case-insensitive file system store their files in small letters while the
// row may carry another spelling: the path as written wins, then the same folder with the name
// in small letters, then the whole path in small letters. Empty when none exists.
QString existingSpelling(const QString& path) {
  const QFileInfo info(path);
  for (const QString& candidate :
       {path, info.path() + QLatin1Char('/') + info.fileName().toLower(), path.toLower()}) {
    if (QFileInfo::exists(candidate)) return candidate;
  }
  return {};
}

void removeIfEmpty(const QString& folder) {
  if (folder.isEmpty() || FolderHasEntries(folder)) return;
  if (!IsRemovableWorkingFolder(folder, theAppSettings().protectedFolders())) return;
  QDir().rmdir(folder);  // removes an empty folder only
}

}  // namespace

bool CDRImgInfo::NamesFile(const QString& sopInstanceUID, const QString& fullPath) {
  CSqlFilter filter;
  filter.addUid(QStringLiteral("SOPInstanceUID"), sopInstanceUID);
  filter.addExactText(QStringLiteral("FullPath"), fullPath);
  return Aggregate(QStringLiteral("COUNT(*)"), filter) > 0;
}

void CDRImgInfo::DeleteImages(long serSeq, long imageNo) {
  Close();
  m_strSort = QStringLiteral("ImgSeq ASC");
  CSqlFilter filter;
  filter.addNumber(QStringLiteral("SerSeq"), serSeq);
  if (filter.isEmpty()) return;
  filter.addNumber(QStringLiteral("ImageNo"), imageNo);
  SetFilter(filter);
  QString lastPath;
  if (Open()) {
    while (!IsEOF()) {
      const QString dicomPath = FullPath;
      // The row goes first: a row whose delete failed keeps its files, so no row ever points
      // at files that are gone.
      Delete();
      if (!IsOpen()) break;
      lastPath = dicomPath;
      RemoveImageFiles(dicomPath);
      MoveNext();
    }
  }
  Close();
  if (!lastPath.isEmpty()) RemoveEmptiedFolders(lastPath);
}

bool CDRImgInfo::DeleteImageRows(long serSeq, long imageNo, std::vector<CDImgInfo>& deleted) {
  Close();
  m_strSort = QStringLiteral("ImgSeq ASC");
  CSqlFilter filter;
  filter.addNumber(QStringLiteral("SerSeq"), serSeq);
  if (filter.isEmpty()) return true;
  filter.addNumber(QStringLiteral("ImageNo"), imageNo);
  return deleteRowsWhere(filter, deleted);
}

bool CDRImgInfo::DeleteImageRow(long imgSeq, std::vector<CDImgInfo>& deleted) {
  Close();
  CSqlFilter filter;
  filter.addKey(QStringLiteral("ImgSeq"), imgSeq);
  return deleteRowsWhere(filter, deleted);
}

bool CDRImgInfo::deleteRowsWhere(const CSqlFilter& filter, std::vector<CDImgInfo>& deleted) {
  const long errorsBefore = Database() ? Database()->ErrorCount() : 0;
  for (OpenWith(filter); !IsEOF(); MoveNext()) deleted.push_back(*this);
  Close();
  if (Database() == nullptr || Database()->ErrorCount() != errorsBefore) return false;
  return DeleteWhere(filter);
}

void CDRImgInfo::RemoveImageFiles(const QString& dicomPath) {
  for (const QString& file : ImageFiles(dicomPath)) {
    const QString existing = existingSpelling(file);
    if (!existing.isEmpty()) QFile::remove(existing);
  }
}

void CDRImgInfo::RemoveEmptiedFolders(const QString& dicomPath) {
  const QString existing = existingSpelling(QFileInfo(dicomPath).absolutePath());
  if (existing.isEmpty()) return;
  removeIfEmpty(existing);
  removeIfEmpty(QFileInfo(existing).absolutePath());
}
