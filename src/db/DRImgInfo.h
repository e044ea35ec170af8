#pragma once

#include "db/GMDaoRecordset.h"
#include "db/ValueRecords.h"

#include <vector>

// The image table: the ImgInfo columns of CDImgInfo (the fields after ImageSeq are filled from
// the DICOM file, not stored) and the two preview sizes only the table has.
class CDRImgInfo : public CGMDaoRecordset, public CDImgInfo {
 public:
  using CGMDaoRecordset::CGMDaoRecordset;

  QString GetDefaultSQL() const override { return QStringLiteral("ImgInfo"); }
  void DoFieldExchange(CFieldExchange& fx) override;

  // Appends the image (SendToDICOM false, PreviewDCMSize as given) and writes the engine's
  // ImgSeq into it. The new ImgSeq, or -1 after the message "Img. InsertNew Error" (caption
  // "Main control").
  long InsertNew(CDImgInfo& image, long previewDCMSize = 0);
  struct NewRow {
    const CDImgInfo* image;
    long previewDCMSize;
  };
  // Appends the images as InsertNew does, several a statement (a batch of an import); their
  // ImgSeq is not read back. Quiet: false with the engine's words in LastError().
  bool InsertNewRows(const std::vector<NewRow>& rows);
  // The highest ImgSeq plus 1; 1 for an empty table.
  long NextImgSeq();
  // The highest ImageNo of the series plus 1, whatever gaps lie below; 1 for none.
  long NextImageNo(long serSeq);
  // The number of images of the series.
  long CountImages(long serSeq);
  // The series' images (all, or only image number imageNo when it is above 0) sorted by
  // ImageNo in m_nSortDir. 1 with the row set open on the first row, else 0.
  int OpenImages(long serSeq, long imageNo);
  // The image with the SOP instance UID (in the series, when serSeq is above 0): 1 with the row
  // set open on it, else 0 with the row set closed.
  int OpenBySOPInstanceUID(long serSeq, const QString& sopInstanceUID);
  // Whether an image row of that SOP instance UID (in any series) names the file fullPath.
  bool NamesFile(const QString& sopInstanceUID, const QString& fullPath);
  // Deletes the series' images (or only image number imageNo): for each row the row, then its
  // four files (".dcm", ".raw", ".tnb", "_org.dcm"; missing ones skipped). Afterwards the
  // folder of the last file, and then its parent, are removed when they are left empty; a
  // protected folder (root, home, program folder, storage root) never is. Nothing for a
  // serSeq of 0 or less.
  void DeleteImages(long serSeq, long imageNo);
  // As DeleteImages, in one statement, but the files stay: the deleted rows are appended to
  // deleted, for a caller whose transaction decides whether they go. False (after the message)
  // on an engine error.
  bool DeleteImageRows(long serSeq, long imageNo, std::vector<CDImgInfo>& deleted);
  // As DeleteImageRows, the one image of the key: nothing is appended when no row has it.
  bool DeleteImageRow(long imgSeq, std::vector<CDImgInfo>& deleted);
  // Removes the four files of an image (missing ones skipped, the stored spelling found as
  // DeleteImages finds it).
  static void RemoveImageFiles(const QString& dicomPath);
  // The folder of a removed image's file, and then its parent, when they are left empty; a
  // protected folder never is.
  static void RemoveEmptiedFolders(const QString& dicomPath);
  // The current row into the value record; of the fields that are no columns, the number of
  // frames comes from PreviewDCMSize, where the import keeps it, and the rest come along empty.
  void CopyTo(CDImgInfo& image) const {
    image = static_cast<const CDImgInfo&>(*this);
    image.NumberOfFrames = PreviewDCMSize;
  }

  long PreviewRAWSize = 0;
  long PreviewDCMSize = 0;
  int m_nSortDir = -1;  // -1 none, 0 descending, 1 ascending

  // The four files of an image: the DICOM file and its ".raw", ".tnb" and "_org.dcm"
  // companions, the ".dcm" ending replaced.
  static QStringList ImageFiles(const QString& dicomPath);

 private:
  // The members of a new row: the image, SendToDICOM false, PreviewDCMSize as given.
  void AssignNew(const CDImgInfo& image, long previewDCMSize);
  bool deleteRowsWhere(const CSqlFilter& filter, std::vector<CDImgInfo>& deleted);
};
