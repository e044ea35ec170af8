#include <gtest/gtest.h>

#include <tuple>

#include "db/ValueRecords.h"

namespace {

// Every field of each value record, in order, so that one list drives filling, the check for a
// fresh record and the field-by-field comparison.
const auto kPatFields = std::make_tuple(
    &CDPatInfo::Spare, &CDPatInfo::PatID, &CDPatInfo::PatName, &CDPatInfo::PatBirthDate,
    &CDPatInfo::PatSex, &CDPatInfo::PatWeight, &CDPatInfo::PatHeight, &CDPatInfo::PatOccupation,
    &CDPatInfo::PatEtc, &CDPatInfo::PatSchedule, &CDPatInfo::PatStatus);

const auto kStuFields = std::make_tuple(
    &CDStuInfo::StuSeq, &CDStuInfo::StuID, &CDStuInfo::PatID, &CDStuInfo::StuOperator,
    &CDStuInfo::StuPhysician, &CDStuInfo::StuPhysicianRef, &CDStuInfo::StuDesc,
    &CDStuInfo::StuDateTime, &CDStuInfo::StuAccessNo, &CDStuInfo::StuSchedule,
    &CDStuInfo::StuStatus, &CDStuInfo::TotalSeries, &CDStuInfo::TotalInstance, &CDStuInfo::Print,
    &CDStuInfo::StuInstanceUID, &CDStuInfo::Spare);

const auto kSerFields = std::make_tuple(
    &CDSerInfo::SerSeq, &CDSerInfo::StuSeq, &CDSerInfo::SeriesNo, &CDSerInfo::PatID,
    &CDSerInfo::StuID, &CDSerInfo::Laterality, &CDSerInfo::BodyPart, &CDSerInfo::PatientPosition,
    &CDSerInfo::InstanceCount, &CDSerInfo::Print, &CDSerInfo::SeriesDate);

const auto kImgFields = std::make_tuple(
    &CDImgInfo::ImgSeq, &CDImgInfo::SerSeq, &CDImgInfo::ImageNo, &CDImgInfo::SeriesNo,
    &CDImgInfo::FullPath, &CDImgInfo::Laterality, &CDImgInfo::PatientPosition, &CDImgInfo::AcqNo,
    &CDImgInfo::PostProc, &CDImgInfo::SourceApplicationEntityTitle, &CDImgInfo::Manufacturer,
    &CDImgInfo::InstitutionName, &CDImgInfo::InstitutionAddress, &CDImgInfo::StationName,
    &CDImgInfo::ManufacturerModelName, &CDImgInfo::DeviceSerialNumber, &CDImgInfo::SoftwareVersions,
    &CDImgInfo::InstanceNumber, &CDImgInfo::PatientOrientation, &CDImgInfo::ImageDateTime,
    &CDImgInfo::AcquisitionDateTime, &CDImgInfo::SamplesPerPixel,
    &CDImgInfo::PhotometricInterpretation, &CDImgInfo::Rows, &CDImgInfo::Columns,
    &CDImgInfo::BitsAllocated, &CDImgInfo::BitsStored, &CDImgInfo::HighBit,
    &CDImgInfo::PixelRepresentation, &CDImgInfo::ImageLaterality, &CDImgInfo::ARS_CodeValue,
    &CDImgInfo::ARS_CodingSchemeDesignator, &CDImgInfo::ARS_CodeMeaning, &CDImgInfo::ImageType,
    &CDImgInfo::PixelIntensityRelationship, &CDImgInfo::PixelIntensityRelationshipSign,
    &CDImgInfo::RescaleIntercept, &CDImgInfo::RescaleSlope, &CDImgInfo::RescaleType,
    &CDImgInfo::PresentationLUTShape, &CDImgInfo::LossyImageCompression,
    &CDImgInfo::BurnedInAnnotaton, &CDImgInfo::DetectorType, &CDImgInfo::ImagerPixelSpacing,
    &CDImgInfo::DetectorElementSpacing, &CDImgInfo::ViewPosition, &CDImgInfo::VCS_CodeValue,
    &CDImgInfo::VCS_CodingSchemeDesignator, &CDImgInfo::VCS_CodeMeaning,
    &CDImgInfo::DistanceSourceToDetector, &CDImgInfo::KVP, &CDImgInfo::MA, &CDImgInfo::MAS,
    &CDImgInfo::TIME, &CDImgInfo::X_RayTubeCurrent, &CDImgInfo::ExposureTime, &CDImgInfo::Exposure,
    &CDImgInfo::ExposureControlMode, &CDImgInfo::Grid, &CDImgInfo::WindowCenter,
    &CDImgInfo::WindowWidth, &CDImgInfo::SOPClassUID_U, &CDImgInfo::SOPClassUID_P,
    &CDImgInfo::SOPInstanceUID, &CDImgInfo::SendToDICOM, &CDImgInfo::ModalType,
    &CDImgInfo::PatientType, &CDImgInfo::Modality, &CDImgInfo::WLType, &CDImgInfo::WLValue,
    &CDImgInfo::ImageSeq, &CDImgInfo::Comment, &CDImgInfo::DoseAreaProduct, &CDImgInfo::Reserved1,
    &CDImgInfo::ExposureIndex, &CDImgInfo::Reserved2, &CDImgInfo::NumberOfFrames,
    &CDImgInfo::FrameTime);

// A value for field number n that differs from the fresh value and from every other field's.
void setDistinct(QString& field, int n) { field = QStringLiteral("text %1").arg(n); }
void setDistinct(long& field, int n) { field = n + 1; }
void setDistinct(short& field, int n) { field = static_cast<short>(n + 1); }
void setDistinct(double& field, int n) { field = n + 0.5; }
void setDistinct(bool& field, int) { field = true; }
void setDistinct(CDateTime& field, int n) {
  field = CDateTime(2000 + n % 30, 1 + n % 12, 1 + n % 28, n % 24, n % 60, (7 * n) % 60);
}

bool isFresh(const QString& field) { return field.isEmpty(); }
bool isFresh(long field) { return field == 0; }
bool isFresh(short field) { return field == 0; }
bool isFresh(double field) { return field == 0.0; }
bool isFresh(bool field) { return !field; }
bool isFresh(const CDateTime& field) { return field.isZero(); }

template <class Record, class Fields>
void fill(Record& record, const Fields& fields, int seed) {
  int n = seed;
  std::apply([&](auto... member) { (setDistinct(record.*member, n++), ...); }, fields);
}

template <class Record, class Fields>
void expectFresh(const Record& record, const Fields& fields, const char* name) {
  int index = 0;
  auto check = [&](auto member) {
    EXPECT_TRUE(isFresh(record.*member)) << name << " field " << index++;
  };
  std::apply([&](auto... member) { (check(member), ...); }, fields);
}

template <class Record, class Fields>
void expectSame(const Record& a, const Record& b, const Fields& fields, const char* name) {
  int index = 0;
  auto check = [&](auto member) {
    EXPECT_TRUE(a.*member == b.*member) << name << " field " << index++;
  };
  std::apply([&](auto... member) { (check(member), ...); }, fields);
}

void expectFresh(const CDScanInfo& scan) {
  expectFresh(scan.Pat, kPatFields, "patient");
  expectFresh(scan.Stu, kStuFields, "study");
  expectFresh(scan.Ser, kSerFields, "series");
  expectFresh(scan.Img, kImgFields, "image");
}

TEST(ValueRecords, NeverFilledRecordsHaveEmptyTextsZeroNumbersAndTheZeroDate) {
  expectFresh(CDPatInfo(), kPatFields, "patient");
  expectFresh(CDStuInfo(), kStuFields, "study");
  expectFresh(CDSerInfo(), kSerFields, "series");
  expectFresh(CDImgInfo(), kImgFields, "image");
  expectFresh(CDScanInfo());
}

TEST(ValueRecords, SetScanInfoCopiesEveryFieldAndResetEmptiesThemAgain) {
  CDPatInfo pat;
  CDStuInfo stu;
  CDSerInfo ser;
  CDImgInfo img;
  fill(pat, kPatFields, 0);
  fill(stu, kStuFields, 100);
  fill(ser, kSerFields, 200);
  fill(img, kImgFields, 300);

  CDScanInfo scan;
  scan.SetScanInfo(pat, stu, ser, img);
  expectSame(scan.Pat, pat, kPatFields, "patient");
  expectSame(scan.Stu, stu, kStuFields, "study");
  expectSame(scan.Ser, ser, kSerFields, "series");
  expectSame(scan.Img, img, kImgFields, "image");

  // The parts are copies: changing a source afterwards leaves them alone.
  pat.PatName = QStringLiteral("changed");
  img.KVP = -1;
  EXPECT_EQ(scan.Pat.PatName, QStringLiteral("text 2"));
  EXPECT_NE(scan.Img.KVP, -1);

  scan.ResetScanInfo();
  expectFresh(scan);
}

}  // namespace
