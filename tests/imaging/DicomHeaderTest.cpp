// A header read: the attributes as a whole read gives them, Pixel Data known to be there, and
// nothing after it read.
#include <gtest/gtest.h>

#include <QString>

#include "ImagingTestUtil.h"
#include "imaging/DicomDataSet.h"
#include "support/DicomBuilder.h"

using imaging::DicomDataSet;
using imaging::DicomTag;

namespace {

constexpr DicomTag kPatientName{0x0010, 0x0010};
constexpr DicomTag kPixelData{0x7FE0, 0x0010};
constexpr DicomTag kAnatomicRegionSequence{0x0008, 0x2218};
constexpr DicomTag kCodeMeaning{0x0008, 0x0104};
constexpr DicomTag kSourceAeTitle{0x0002, 0x0016};
constexpr DicomTag kAfterPixelsCreator{0x7FE1, 0x0010};

TEST(DicomHeader, AHeaderReadKnowsThePixelDataAndStopsAfterIt) {
  imaging::testing_util::TempDir dir;
  const std::string path = dir.file("image.dcm");
  testsupport::DicomBuilder file;
  file.set(DCM_PatientName, "Doe^Jane")
      .setNested({DCM_AnatomicRegionSequence}, DCM_CodeMeaning, "Chest")
      .setMeta(DCM_SourceApplicationEntityTitle, "MODALITY1")
      .pixels16(2, 1, {1, 2})
      .set(DcmTag(0x7FE1, 0x0010, EVR_LO), "AFTER PIXELS");
  ASSERT_TRUE(file.save(QString::fromStdString(path)));

  for (const DicomDataSet::Extent extent :
       {DicomDataSet::Extent::Whole, DicomDataSet::Extent::Header}) {
    const bool header = extent == DicomDataSet::Extent::Header;
    SCOPED_TRACE(header ? "header" : "whole");
    DicomDataSet dataSet;
    ASSERT_EQ(dataSet.load(path, extent), 0);
    EXPECT_EQ(dataSet.text(kPatientName), "Doe^Jane");
    EXPECT_EQ(dataSet.itemText(kAnatomicRegionSequence, kCodeMeaning), "Chest");
    EXPECT_EQ(dataSet.metaText(kSourceAeTitle), "MODALITY1");
    EXPECT_TRUE(dataSet.hasElement(kPixelData));
    EXPECT_TRUE(dataSet.hasPixelData());
    EXPECT_EQ(dataSet.hasElement(kAfterPixelsCreator), !header);
  }
  DicomDataSet dataSet;
  ASSERT_EQ(dataSet.load(path, DicomDataSet::Extent::Header), 0);
  EXPECT_EQ(dataSet.itemText(kAnatomicRegionSequence, kPatientName), std::nullopt);
  EXPECT_EQ(dataSet.itemText(kPatientName, kCodeMeaning), std::nullopt);
  EXPECT_EQ(dataSet.metaText(kPatientName), std::nullopt);
}

}  // namespace
