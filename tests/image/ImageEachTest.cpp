#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "image/ImageEach.h"
#include "imaging/ImagingError.h"
#include "support/DicomBuilder.h"
#include "support/UnknownElement.h"
#include "ui/MessageSink.h"

using imagetest::pixel16;
using imagetest::tableIsZero;
using imagetest::tableLevel;
using testsupport::DicomBuilder;

namespace {

// ---------------------------------------------------------------------------------------------
// Attribute text conversions

TEST(AttributeConversion, AgeKeepsYearsAndCodesMonthsAndDays) {
  const std::vector<std::pair<const char*, int>> cases = {
      {"045Y", 45},     {"003M", 1003}, {"010D", 2010}, {"3 month", 1003},
      {"10 day", 2010}, {"45", 45},     {"002W", 2014}, {"", 0}};
  for (const auto& [text, age] : cases) {
    EXPECT_EQ(attribute::encodeAge(QString::fromLatin1(text)), age) << text;
  }
}

TEST(AttributeConversion, SpacingIsTheRowValueWithoutTrailingZeros) {
  const std::vector<std::pair<const char*, double>> cases = {
      {"0.1500\\0.1500", 0.15}, {"0.143\\0.139", 0.143}, {"0.100", 0.1},
      {"1.000\\1.000", 1.0},    {"10\\10", 10.0},        {" 0.2 ", 0.2}};
  for (const auto& [text, value] : cases) {
    EXPECT_DOUBLE_EQ(attribute::spacing(QString::fromLatin1(text)), value) << text;
  }
}

TEST(AttributeConversion, HundredthsTruncateWithoutLosingExactDecimals) {
  const std::vector<std::pair<double, long>> cases = {
      {1.234, 123}, {0.29, 29}, {0.57, 57}, {2.5, 250}, {0.0, 0}, {0.009, 0}, {-0.29, -29}};
  for (const auto& [value, hundredths] : cases) {
    EXPECT_EQ(attribute::hundredths(value), hundredths) << value;
  }
}

TEST(AttributeConversion, TimeOfDayInEitherForm) {
  struct Case {
    const char* text;
    bool ok;
    int hour, minute, second;
  };
  const std::vector<Case> cases = {
      {"101530", true, 10, 15, 30},   {"101530.123456", true, 10, 15, 30},
      {"1015", true, 10, 15, 0},      {"10", true, 10, 0, 0},
      {"10:15:30", true, 10, 15, 30}, {"9:05", true, 9, 5, 0},
      {"", false, 0, 0, 0},           {"noon", false, 0, 0, 0},
      {"256000", false, 0, 0, 0},     {"106100", false, 0, 0, 0}};
  for (const Case& c : cases) {
    int hour = -1, minute = -1, second = -1;
    EXPECT_EQ(attribute::parseTime(QString::fromLatin1(c.text), hour, minute, second), c.ok)
        << c.text;
    if (c.ok) {
      EXPECT_EQ(hour, c.hour) << c.text;
      EXPECT_EQ(minute, c.minute) << c.text;
      EXPECT_EQ(second, c.second) << c.text;
    }
  }
}

TEST(AttributeConversion, NumbersFollowTheLeadingNumberRule) {
  EXPECT_EQ(attribute::toInteger(QStringLiteral("12abc")), 12);
  EXPECT_EQ(attribute::toInteger(QStringLiteral(" 40\\80")), 40);
  EXPECT_EQ(attribute::toInteger(QStringLiteral("abc")), 0);
  EXPECT_EQ(attribute::toInteger(QStringLiteral("-7")), -7);
  EXPECT_DOUBLE_EQ(attribute::toReal(QStringLiteral("1.5e1x")), 15.0);
  EXPECT_DOUBLE_EQ(attribute::toReal(QStringLiteral("x")), 0.0);
}

// ---------------------------------------------------------------------------------------------
// OpenDicom

class OpenDicomTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  // Saves the data set and returns its path.
  QString write(DicomBuilder& builder, const QString& name = QStringLiteral("image.dcm")) {
    const QString path = dir.filePath(name);
    EXPECT_TRUE(builder.save(path)) << name.toStdString();
    return path;
  }
  static std::vector<std::uint16_t> ramp(int count, int start = 0, int step = 1) {
    std::vector<std::uint16_t> values;
    for (int i = 0; i < count; ++i) values.push_back(std::uint16_t(start + i * step));
    return values;
  }
  static std::pair<int, int> window(const CImageEach& record) {
    std::pair<int, int> pair;
    record.image.GetWindow(pair.first, pair.second);
    return pair;
  }
  QTemporaryDir dir;
};

TEST_F(OpenDicomTest, ReadsEveryAttributeOfTheRecordTable) {
  DicomBuilder b;
  b.pixels16(4, 2, ramp(8, 100), 12)
      .set(DCM_SOPInstanceUID, "1.2.3.4.5.99")
      .set(DCM_PatientName, "Doe^John  ")
      .set(DCM_PatientID, "PID-7 ")
      .set(DCM_PatientBirthDate, "19800229")
      .set(DCM_PatientSex, "M")
      .set(DCM_PatientAge, "045Y")
      .set(DCM_StudyInstanceUID, "1.2.3.4.6")
      .set(DCM_StudyDate, "20240115")
      .set(DCM_StudyTime, "093005")
      .set(DCM_ReferringPhysicianName, "Ref^Rita ")
      .set(DCM_StudyID, "ST42  ")
      .set(DCM_AccessionNumber, "ACC9")
      .set(DCM_StudyDescription, "Chest PA")
      .set(DCM_SeriesNumber, "3")
      .set(DCM_SeriesDate, "20240116")
      .set(DCM_SeriesTime, "1215")
      .set(DCM_PerformingPhysicianName, "Perf^Paul")
      .set(DCM_OperatorsName, "Op^Olga")
      .set(DCM_BodyPartExamined, "CHEST")
      .set(DCM_PatientPosition, "PA")
      .set(DCM_Laterality, "L")
      .set(DCM_InstitutionName, "General Hospital")
      .set(DCM_InstitutionAddress, "1 Main Street")
      .set(DCM_StationName, "DR1")
      .set(DCM_InstanceNumber, "7")
      .set(DCM_AcquisitionNumber, "2")
      .set(DCM_KVP, "80.5")
      .set(DCM_ExposureTime, "20")
      .set(DCM_XRayTubeCurrent, "250")
      .set(DCM_Exposure, "5")
      .set(DCM_ContentDate, "20240117")
      .set(DCM_ContentTime, "235959.5")
      .set(DcmTag(0x0020, 0x4001, EVR_LT), "first film")
      .set(DCM_PixelSpacing, "0.1500\\0.1500")
      .set(DCM_ImageAndFluoroscopyAreaDoseProduct, "1.234")
      .set(DCM_ExposureIndex, "450")
      .set(DCM_FrameTime, "33.3")
      .set(DCM_WindowCenter, "300")
      .set(DCM_WindowWidth, "400");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);

  const CDPatInfo& pat = record.scanInfo.Pat;
  const CDStuInfo& stu = record.scanInfo.Stu;
  const CDSerInfo& ser = record.scanInfo.Ser;
  const CDImgInfo& img = record.scanInfo.Img;
  EXPECT_EQ(record.image.bitsStored(), 12);
  EXPECT_EQ(stu.Spare, QStringLiteral("1.2.3.4.5.99"));
  EXPECT_EQ(pat.PatName, QStringLiteral("Doe^John"));
  EXPECT_EQ(pat.PatID, QStringLiteral("PID-7"));
  EXPECT_EQ(pat.PatBirthDate, CDateTime(1980, 2, 29));
  EXPECT_EQ(pat.PatSex, QStringLiteral("M"));
  EXPECT_EQ(record.patientAge, 45);
  EXPECT_EQ(stu.StuInstanceUID, QStringLiteral("1.2.3.4.6"));
  EXPECT_EQ(stu.StuDateTime, CDateTime(2024, 1, 15, 9, 30, 5));
  EXPECT_EQ(stu.StuPhysicianRef, QStringLiteral("Ref^Rita"));
  EXPECT_EQ(stu.StuID, QStringLiteral("ST42"));
  EXPECT_EQ(stu.StuAccessNo, QStringLiteral("ACC9"));
  EXPECT_EQ(stu.StuDesc, QStringLiteral("Chest PA"));
  EXPECT_EQ(ser.SeriesNo, 3);
  EXPECT_EQ(img.SeriesNo, 3);
  EXPECT_EQ(ser.SeriesDate, CDateTime(2024, 1, 16, 12, 15, 0));
  EXPECT_EQ(stu.StuPhysician, QStringLiteral("Perf^Paul"));
  EXPECT_EQ(stu.StuOperator, QStringLiteral("Op^Olga"));
  EXPECT_EQ(ser.BodyPart, QStringLiteral("CHEST"));
  EXPECT_EQ(ser.PatientPosition, QStringLiteral("PA"));
  EXPECT_EQ(img.PatientPosition, QStringLiteral("PA"));
  EXPECT_EQ(ser.Laterality, QStringLiteral("L"));
  EXPECT_EQ(img.Laterality, QStringLiteral("L"));
  EXPECT_EQ(img.InstitutionName, QStringLiteral("General Hospital"));
  EXPECT_EQ(img.InstitutionAddress, QStringLiteral("1 Main Street"));
  EXPECT_EQ(img.StationName, QStringLiteral("DR1"));
  EXPECT_EQ(img.InstanceNumber, 7);
  EXPECT_EQ(img.ImageNo, 7);
  EXPECT_EQ(img.AcqNo, 2);
  EXPECT_DOUBLE_EQ(img.KVP, 80.5);
  EXPECT_EQ(img.ExposureTime, 20);
  EXPECT_DOUBLE_EQ(img.TIME, 0.020) << "in seconds, as an imported row keeps it";
  EXPECT_EQ(img.X_RayTubeCurrent, 250);
  EXPECT_DOUBLE_EQ(img.MA, 250.0);
  EXPECT_DOUBLE_EQ(img.MAS, 5.0);
  EXPECT_EQ(img.AcquisitionDateTime, CDateTime(2024, 1, 17, 23, 59, 59));
  EXPECT_EQ(img.Comment, QStringLiteral("first film"));
  EXPECT_DOUBLE_EQ(img.ImagerPixelSpacing, 0.15);
  EXPECT_EQ(img.DoseAreaProduct, 123);
  EXPECT_EQ(img.ExposureIndex, 450);
  EXPECT_DOUBLE_EQ(img.FrameTime, 33.3);
  EXPECT_EQ(img.NumberOfFrames, 1);
  EXPECT_EQ(record.frameCount, 1);
  EXPECT_EQ(record.width, 4);
  EXPECT_EQ(record.height, 2);
}

TEST_F(OpenDicomTest, AgeTextsAreEncoded) {
  for (const auto& [text, age] :
       std::vector<std::pair<const char*, int>>{{"003M", 1003}, {"010D", 2010}, {"045Y", 45}}) {
    DicomBuilder b;
    b.pixels16(2, 2, ramp(4)).set(DCM_PatientAge, text);
    CImageEach record;
    ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
    EXPECT_EQ(record.patientAge, age) << text;
  }
}

TEST_F(OpenDicomTest, DatesWithoutTimeOrWithoutDate) {
  DicomBuilder b;
  b.pixels16(2, 2, ramp(4)).set(DCM_StudyDate, "20240115").set(DCM_ContentTime, "101500");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(record.scanInfo.Stu.StuDateTime, CDateTime(2024, 1, 15, 0, 0, 0));
  // No series date at all: the zero value 1899-12-30 stays.
  EXPECT_TRUE(record.scanInfo.Ser.SeriesDate.isZero());
  // A time without its date lands on the zero day.
  EXPECT_EQ(record.scanInfo.Img.AcquisitionDateTime, CDateTime(1899, 12, 30, 10, 15, 0));
}

TEST_F(OpenDicomTest, AbsentElementsLeaveFieldsAsTheyWere) {
  DicomBuilder b;
  b.pixels16(2, 2, ramp(4));
  CImageEach record;
  record.scanInfo.Pat.PatSex = QStringLiteral("F");
  record.scanInfo.Stu.StuID = QStringLiteral("kept");
  record.scanInfo.Img.KVP = 70.0;
  record.scanInfo.Img.TIME = 0.008;
  record.scanInfo.Img.DoseAreaProduct = 55;
  record.patientAge = 1003;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(record.scanInfo.Pat.PatSex, QStringLiteral("F"));
  EXPECT_EQ(record.scanInfo.Stu.StuID, QStringLiteral("kept"));
  EXPECT_DOUBLE_EQ(record.scanInfo.Img.KVP, 70.0);
  EXPECT_DOUBLE_EQ(record.scanInfo.Img.TIME, 0.008);
  EXPECT_EQ(record.scanInfo.Img.DoseAreaProduct, 55);
  EXPECT_EQ(record.patientAge, 1003);
}

TEST_F(OpenDicomTest, NarrowStringsAreCutTo255Characters) {
  const std::string longText(300, 'x');
  DicomBuilder b;
  b.pixels16(2, 2, ramp(4)).set(DCM_StudyDescription, longText);
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(record.scanInfo.Stu.StuDesc, QString(255, QLatin1Char('x')));
}

TEST_F(OpenDicomTest, ImagerPixelSpacingStandsInForPixelSpacing) {
  struct Case {
    const char* name;
    const char* pixelSpacing;  // null: absent
    const char* imagerSpacing;
    double expected;
  };
  for (const Case& c : {Case{"pixel only", "0.1500\\0.1500", nullptr, 0.15},
                        Case{"imager only", nullptr, "0.1430\\0.1390", 0.143},
                        Case{"both: pixel wins", "0.2000\\0.2000", "0.1000\\0.1000", 0.2}}) {
    DicomBuilder b;
    b.pixels16(2, 2, ramp(4));
    if (c.pixelSpacing) b.set(DCM_PixelSpacing, c.pixelSpacing);
    if (c.imagerSpacing) b.set(DCM_ImagerPixelSpacing, c.imagerSpacing);
    CImageEach record;
    ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0) << c.name;
    EXPECT_DOUBLE_EQ(record.scanInfo.Img.ImagerPixelSpacing, c.expected) << c.name;
  }
}

TEST_F(OpenDicomTest, DoseAreaProductInHundredths) {
  for (const auto& [text, hundredths] :
       std::vector<std::pair<const char*, long>>{
           {"1.234", 123}, {"0.29", 29}, {"12", 1200}, {"1e300", 0}, {"-1e300", 0}}) {
    DicomBuilder b;
    b.pixels16(2, 2, ramp(4)).set(DCM_ImageAndFluoroscopyAreaDoseProduct, text);
    CImageEach record;
    ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
    EXPECT_EQ(record.scanInfo.Img.DoseAreaProduct, hundredths) << text;
  }
}

TEST_F(OpenDicomTest, ImageCommentsStandInForTheRecordsCommentElement) {
  struct Case {
    const char* name;
    const char* own;       // (0020,4001), null: absent
    const char* standard;  // (0020,4000), null: absent
    const char* expected;
  };
  for (const Case& c : {Case{"own element", "first film", nullptr, "first film"},
                        Case{"standard only", nullptr, "PA erect", "PA erect"},
                        Case{"both: own wins", "first film", "PA erect", "first film"}}) {
    DicomBuilder b;
    b.pixels16(2, 2, ramp(4));
    if (c.own) b.set(DcmTag(0x0020, 0x4001, EVR_LT), c.own);
    if (c.standard) b.set(DCM_ImageComments, c.standard);
    CImageEach record;
    ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0) << c.name;
    EXPECT_EQ(record.scanInfo.Img.Comment, QString::fromLatin1(c.expected)) << c.name;
  }
}

TEST_F(OpenDicomTest, AbsurdWindowFromADamagedFileStillBuildsATable) {
  DicomBuilder b;
  b.pixels16(2, 2, ramp(4))
      .set(DCM_WindowWidth, "2147483647")
      .set(DCM_WindowCenter, "-2147483648");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_TRUE(record.image.IsAllocated());
}

TEST_F(OpenDicomTest, WindowBeyondTheIntegerRangeIsHeldAtItsEnd) {
  struct Case {
    const char* name;
    const char* photometric;
    const char* centre;
    const char* slope;
    std::pair<int, int> window;
  };
  constexpr int kMax = std::numeric_limits<int>::max();
  const std::vector<Case> cases = {
      // Mirrored for MONOCHROME1: 4095 - (-2147483600) does not fit into an int.
      {"mirrored centre", "MONOCHROME1", "-2147483600", "1", {100, kMax}},
      {"tiny slope", "MONOCHROME2", "1000", "1e-300", {kMax, kMax}},
      {"slope not a number is taken as one", "MONOCHROME2", "1000", "nan", {100, 1000}},
  };
  for (const Case& c : cases) {
    DicomBuilder b;
    b.pixels16(2, 2, ramp(4), 12)
        .set(DCM_PhotometricInterpretation, c.photometric)
        .set(DCM_WindowWidth, "100")
        .set(DCM_WindowCenter, c.centre)
        .set(DCM_RescaleSlope, c.slope);
    CImageEach record;
    ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0) << c.name;
    EXPECT_EQ(window(record), c.window) << c.name;
  }
}

// Window rules at load. Pixels 100..1100 in 12 bits unless a case says otherwise.
struct WindowRule {
  const char* name;
  const char* width;   // null: absent
  const char* centre;  // null: absent
  bool modalityLut;
  std::pair<int, int> window;
  bool tableBuilt;
};

std::ostream& operator<<(std::ostream& out, const WindowRule& r) { return out << r.name; }

class OpenDicomWindow : public OpenDicomTest, public ::testing::WithParamInterface<WindowRule> {};

TEST_P(OpenDicomWindow, FollowsTheRule) {
  const WindowRule& r = GetParam();
  DicomBuilder b;
  b.pixels16(11, 1, ramp(11, 100, 100), 12);
  if (r.width) b.set(DCM_WindowWidth, r.width);
  if (r.centre) b.set(DCM_WindowCenter, r.centre);
  if (r.modalityLut) b.setNested({DCM_ModalityLUTSequence}, DCM_LUTExplanation, "table");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(window(record), r.window);
  EXPECT_EQ(!tableIsZero(record.image), r.tableBuilt);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, OpenDicomWindow,
    ::testing::Values(
        WindowRule{"file window", "400", "600", false, {400, 600}, true},
        WindowRule{"first of several values", "400\\800", "600\\700", false, {400, 600}, true},
        WindowRule{"fraction goes to the nearest value", "400.9", "600.2", false, {401, 600}, true},
        WindowRule{"exponent", "4.0E+02", "6e2", false, {400, 600}, true},
        WindowRule{"width 16384 only stored", "16384", "600", false, {16384, 600}, false},
        WindowRule{"centre 8192 only stored", "400", "8192", false, {400, 8192}, false},
        // Without a usable window: min..max of the pixels (100..1100).
        WindowRule{"no window", nullptr, nullptr, false, {1000, 600}, true},
        WindowRule{"width only", "400", nullptr, false, {1000, 600}, true},
        // LINEAR needs a width of at least 1.
        WindowRule{"width below one", "0.5", "600", false, {1000, 600}, true},
        WindowRule{"modality table", "400", "600", true, {1000, 600}, true}));

// The picture through the file's window: the brightness of one stored value, against
// pydicom's apply_modality_lut + apply_voi_lut (pydicom 2.3, Debian 12) scaled to 0..255 and
// turned round for MONOCHROME1. Narrow windows match exactly; wide ones within the linear
// table's rounding (it tops out at 254).
struct WindowEdge {
  const char* name;
  bool monochrome1;
  bool isSigned;
  int bitsStored;
  const char* slope;
  const char* centre;
  const char* width;
  int value;
  int brightness;
  int tolerance;
};

std::ostream& operator<<(std::ostream& out, const WindowEdge& e) {
  return out << e.name << " value " << e.value;
}

class OpenDicomWindowEdge : public OpenDicomTest,
                            public ::testing::WithParamInterface<WindowEdge> {};

TEST_P(OpenDicomWindowEdge, PictureIsTheStandardsLinearWindow) {
  const WindowEdge& e = GetParam();
  DicomBuilder b;
  if (e.isSigned) {
    b.signedPixels16(1, 1, {std::int16_t(e.value)}, e.bitsStored);
  } else {
    b.pixels16(1, 1, {std::uint16_t(e.value)}, e.bitsStored);
  }
  b.set(DCM_PhotometricInterpretation, e.monochrome1 ? "MONOCHROME1" : "MONOCHROME2")
      .set(DCM_RescaleSlope, e.slope)
      .set(DCM_RescaleIntercept, "0")
      .set(DCM_WindowCenter, e.centre)
      .set(DCM_WindowWidth, e.width);
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_NEAR(tableLevel(record.image, pixel16(record.image.bitmap(), 0, 0)), e.brightness,
              e.tolerance);
}

// Name, MONOCHROME1, signed, bits stored, slope, centre, width, value, brightness, tolerance.
INSTANTIATE_TEST_SUITE_P(
    Cases, OpenDicomWindowEdge,
    ::testing::Values(
        WindowEdge{"mask w1 c0.5", false, false, 16, "1", "0.5", "1", 0, 0, 0},
        WindowEdge{"mask w1 c0.5", false, false, 16, "1", "0.5", "1", 1, 255, 0},
        WindowEdge{"mask w1 c1", false, false, 16, "1", "1", "1", 0, 0, 0},
        WindowEdge{"mask w1 c1", false, false, 16, "1", "1", "1", 1, 255, 0},
        WindowEdge{"mask w2 c1", false, false, 16, "1", "1", "2", 0, 0, 0},
        WindowEdge{"mask w2 c1", false, false, 16, "1", "1", "2", 1, 255, 0},
        WindowEdge{"mono1 mask w1", true, false, 16, "1", "0.5", "1", 0, 255, 0},
        WindowEdge{"mono1 mask w1", true, false, 16, "1", "0.5", "1", 1, 0, 0},
        WindowEdge{"mono1 mask w2", true, false, 16, "1", "1", "2", 0, 255, 0},
        WindowEdge{"mono1 mask w2", true, false, 16, "1", "1", "2", 1, 0, 0},
        // PET: slope below 1, window in exponent form, signed.
        WindowEdge{"PET", false, true, 16, "0.2078", "1.497E+04", "2.994E+04", -100, 0, 2},
        WindowEdge{"PET", false, true, 16, "0.2078", "1.497E+04", "2.994E+04", 10000, 18, 2},
        WindowEdge{"PET", false, true, 16, "0.2078", "1.497E+04", "2.994E+04", 20000, 35, 2},
        WindowEdge{"PET", false, true, 16, "0.2078", "1.497E+04", "2.994E+04", 32767, 58, 2},
        // Centre 60000 and top 80000 in stored values, beyond 16 bits.
        WindowEdge{"beyond", false, false, 16, "0.5", "30000", "20000", 40000, 0, 2},
        WindowEdge{"beyond", false, false, 16, "0.5", "30000", "20000", 60000, 128, 2},
        WindowEdge{"beyond", false, false, 16, "0.5", "30000", "20000", 65535, 163, 2},
        WindowEdge{"signed", false, true, 12, "1", "-100", "400", -300, 0, 2},
        WindowEdge{"signed", false, true, 12, "1", "-100", "400", -100, 128, 2},
        WindowEdge{"signed", false, true, 12, "1", "-100", "400", 0, 192, 2},
        WindowEdge{"signed", false, true, 12, "1", "-100", "400", 2047, 255, 2},
        WindowEdge{"mono1", true, false, 12, "1", "1000", "1000", 500, 255, 2},
        WindowEdge{"mono1", true, false, 12, "1", "1000", "1000", 1000, 127, 2},
        WindowEdge{"mono1", true, false, 12, "1", "1000", "1000", 1250, 64, 2},
        WindowEdge{"mono1", true, false, 12, "1", "1000", "1000", 4095, 0, 2},
        WindowEdge{"decimal", false, false, 12, "1", "1000.5", "801", 600, 0, 2},
        WindowEdge{"decimal", false, false, 12, "1", "1000.5", "801", 1000, 128, 2},
        WindowEdge{"decimal", false, false, 12, "1", "1000.5", "801", 1400, 255, 2}));

TEST_F(OpenDicomTest, WindowStoredAsUnknownVrIsTheFilesWindow) {
  // Passed on by a system that did not know Window Center/Width: VR UN, the text as bytes.
  DicomBuilder b;
  b.pixels16(11, 1, ramp(11, 0, 800));
  ASSERT_TRUE(testsupport::putUnknown(b.dataset(), DCM_WindowCenter, "4394"));
  ASSERT_TRUE(testsupport::putUnknown(b.dataset(), DCM_WindowWidth, "2000"));
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(window(record), std::make_pair(2000, 4394));
  EXPECT_DOUBLE_EQ(record.scanInfo.Img.WindowCenter, 4394.0);
  EXPECT_EQ(tableLevel(record.image, 3200), 0);
  EXPECT_EQ(tableLevel(record.image, 4000), 77);
  EXPECT_EQ(tableLevel(record.image, 4800), 179);
  EXPECT_EQ(tableLevel(record.image, 5600), 254);
}

TEST_F(OpenDicomTest, WindowAndSpacingMayComeFromTheFunctionalGroups) {
  // Enhanced multi-frame files keep what all frames share in sequences, not at top level.
  DicomBuilder b;
  b.pixels16(11, 1, ramp(11, 100, 100), 12)
      .setNested({DCM_SharedFunctionalGroupsSequence, DCM_FrameVOILUTSequence}, DCM_WindowWidth,
                 "400")
      .setNested({DCM_SharedFunctionalGroupsSequence, DCM_FrameVOILUTSequence}, DCM_WindowCenter,
                 "600")
      .setNested({DCM_SharedFunctionalGroupsSequence, DCM_PixelMeasuresSequence}, DCM_PixelSpacing,
                 "0.1250\\0.1250");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(window(record), std::make_pair(400, 600));
  EXPECT_DOUBLE_EQ(record.scanInfo.Img.WindowWidth, 400.0);
  EXPECT_DOUBLE_EQ(record.scanInfo.Img.WindowCenter, 600.0);
  EXPECT_DOUBLE_EQ(record.scanInfo.Img.ImagerPixelSpacing, 0.125);
}

TEST_F(OpenDicomTest, TopLevelWindowAndSpacingWinOverTheFunctionalGroups) {
  DicomBuilder b;
  b.pixels16(11, 1, ramp(11, 100, 100), 12)
      .set(DCM_WindowWidth, "300")
      .set(DCM_WindowCenter, "500")
      .set(DCM_ImagerPixelSpacing, "0.2000\\0.2000")
      .setNested({DCM_SharedFunctionalGroupsSequence, DCM_FrameVOILUTSequence}, DCM_WindowWidth,
                 "400")
      .setNested({DCM_SharedFunctionalGroupsSequence, DCM_FrameVOILUTSequence}, DCM_WindowCenter,
                 "600")
      .setNested({DCM_SharedFunctionalGroupsSequence, DCM_PixelMeasuresSequence}, DCM_PixelSpacing,
                 "0.1250\\0.1250");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(window(record), std::make_pair(300, 500));
  // Pixel Spacing in a sequence still comes before Imager Pixel Spacing at top level.
  EXPECT_DOUBLE_EQ(record.scanInfo.Img.ImagerPixelSpacing, 0.125);
}

TEST_F(OpenDicomTest, FileWindowBuildsTheLinearTable) {
  DicomBuilder b;
  b.pixels16(2, 2, ramp(4), 12).set(DCM_WindowWidth, "1000").set(DCM_WindowCenter, "1000");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(tableLevel(record.image, 1000), 127);
  EXPECT_EQ(tableLevel(record.image, 1501), 254);
  EXPECT_EQ(record.image.PixelKind(), 2);
}

TEST_F(OpenDicomTest, BitRangeTableIsAddedOnlyWhenAsked) {
  imagetest::ScopedPipelineSettings settings{PipelineSettings{}};
  DicomBuilder b;
  b.pixels16(2, 2, {1, 100, 1000, 0x3fff}, 14)
      .set(DCM_WindowWidth, "1000")
      .set(DCM_WindowCenter, "1000");
  const QString path = write(b);
  CImageEach plain;
  ASSERT_EQ(plain.OpenDicom(path, 0, 0), 0);
  CImageEach bitRange;
  ASSERT_EQ(bitRange.OpenDicom(path, 1, 0), 0);
  // The linear table tops out at 254; the bit-range table saturates at 255 above high and
  // has nothing past its 2^14 entries.
  EXPECT_EQ(tableLevel(plain.image, 1501), 254);
  EXPECT_EQ(tableLevel(bitRange.image, 1501), 255);
  EXPECT_EQ(tableLevel(plain.image, 20000), 254);
  EXPECT_EQ(tableLevel(bitRange.image, 20000), 0);
}

TEST_F(OpenDicomTest, MonochromeOneIsInvertedWithItsWindow) {
  DicomBuilder b;
  b.pixels16(4, 1, {0, 1000, 4095, 2048}, 12)
      .set(DCM_PhotometricInterpretation, "MONOCHROME1")
      .set(DCM_WindowWidth, "1000")
      .set(DCM_WindowCenter, "1000");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()),
            (std::vector<std::uint16_t>{4095, 3095, 0, 2047}));
  EXPECT_EQ(window(record), std::make_pair(1000, 3095));
  // The file's darkest value (0, bone in MONOCHROME1 terms) now shows white.
  EXPECT_EQ(tableLevel(record.image, pixel16(record.image.bitmap(), 0, 0)), 254);
  EXPECT_FALSE(record.image.isInverted());
}

TEST_F(OpenDicomTest, EightBitMonochromeOneIsWidenedThenInvertedWithin255) {
  DicomBuilder b;
  b.pixels8(4, 1, {0, 10, 200, 255}).set(DCM_PhotometricInterpretation, "MONOCHROME1");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(record.image.bitmap().bitsPerPixel(), 16);
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()),
            (std::vector<std::uint16_t>{255, 245, 55, 0}));
}

TEST_F(OpenDicomTest, EightBitGreyLandsInASixteenBitContainer) {
  DicomBuilder b;
  b.pixels8(4, 1, {0, 10, 200, 255}).set(DCM_WindowWidth, "100").set(DCM_WindowCenter, "60");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(record.image.bitmap().bitsPerPixel(), 16);
  EXPECT_EQ(record.image.PixelKind(), 2);
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()),
            (std::vector<std::uint16_t>{0, 10, 200, 255}));
  EXPECT_EQ(window(record), std::make_pair(100, 60));
  EXPECT_EQ(tableLevel(record.image, 60), 127);
}

TEST_F(OpenDicomTest, SignedPixelsAreShiftedAndTheWindowFollowsTheRescale) {
  struct Case {
    const char* name;
    const char* slope;      // null: absent
    const char* intercept;  // null: absent
    const char* width;
    const char* centre;
    std::pair<int, int> window;
  };
  // 12 bits signed: stored values are held shifted by 2048.
  const std::vector<Case> cases = {
      {"no rescale", nullptr, nullptr, "100", "0", {100, 2048}},
      {"slope and intercept", "2", "-1024", "400", "40", {200, 2580}},
      {"negative slope", "-2", "0", "400", "40", {200, 2028}},
      {"zero slope taken as one", "0", "10", "400", "40", {400, 2078}},
  };
  for (const Case& c : cases) {
    DicomBuilder b;
    b.signedPixels16(4, 1, {-2048, -100, 0, 2047}, 12)
        .set(DCM_WindowWidth, c.width)
        .set(DCM_WindowCenter, c.centre);
    if (c.slope) b.set(DCM_RescaleSlope, c.slope);
    if (c.intercept) b.set(DCM_RescaleIntercept, c.intercept);
    CImageEach record;
    ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0) << c.name;
    EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()),
              (std::vector<std::uint16_t>{0, 1948, 2048, 4095}))
        << c.name;
    EXPECT_EQ(window(record), c.window) << c.name;
  }
}

TEST_F(OpenDicomTest, ColourImageIsRgbWithANeutralPaintWindow) {
  DicomBuilder b;
  b.rgb(2, 1, {255, 0, 0, 10, 20, 30}).set(DCM_WindowWidth, "400").set(DCM_WindowCenter, "600");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_EQ(record.image.bitmap().bitsPerPixel(), 24);
  EXPECT_EQ(record.image.PixelKind(), 1);
  EXPECT_EQ(window(record), std::make_pair(0, 0));
  QImage out(2, 1, QImage::Format_RGB32);
  record.image.Paint(out);
  EXPECT_EQ(out.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(out.pixel(1, 0), qRgb(10, 20, 30));
}

// Three 4 × 2 frames whose values tell the frame: frame f holds 100 f + 0..7.
class MultiFrame : public OpenDicomTest {
 protected:
  void SetUp() override {
    OpenDicomTest::SetUp();
    std::vector<std::uint16_t> values;
    for (int f = 0; f < 3; ++f) {
      for (int i = 0; i < 8; ++i) values.push_back(std::uint16_t(100 * f + i));
    }
    DicomBuilder b;
    b.pixels16(4, 2, values, 12).set(DCM_WindowWidth, "400").set(DCM_WindowCenter, "200");
    path = write(b, QStringLiteral("frames.dcm"));
  }
  static std::vector<std::uint16_t> frame(int f) { return ramp(8, 100 * f); }
  QString path;
};

TEST_F(MultiFrame, LoadFramesKeepsEveryFrameAndShowsTheFirst) {
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(path, 0, 1), 0);
  EXPECT_EQ(record.frameCount, 3);
  EXPECT_EQ(record.scanInfo.Img.NumberOfFrames, 3);
  ASSERT_EQ(record.frames().size(), 3u);
  EXPECT_EQ(imagetest::grey16Values(record.frames()[2]), frame(2));
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()), frame(0));
  EXPECT_EQ(record.width, 4);
  EXPECT_EQ(record.height, 2);
}

TEST_F(MultiFrame, SelectFrameShowsTheChosenOrCurrentFrame) {
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(path, 0, 1), 0);
  record.SelectFrame(2);
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()), frame(2));
  EXPECT_EQ(record.currentFrame, 2);
  record.SelectFrame(5);  // past the end: nothing changes
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()), frame(2));
  record.image.PutRawData(frame(1).data());
  record.SelectFrame(-1);  // the current frame again
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()), frame(2));
  record.SelectFrame(0);
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()), frame(0));
  EXPECT_EQ(record.currentFrame, 0);
}

TEST_F(MultiFrame, WithoutLoadFramesOnlyTheFirstFrameIsKept) {
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(path, 0, 0), 0);
  EXPECT_EQ(record.frameCount, 3);
  EXPECT_TRUE(record.frames().empty());
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()), frame(0));
  record.SelectFrame(2);
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()), frame(0));
}

TEST_F(MultiFrame, OpeningAnotherFileReleasesTheFrames) {
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(path, 0, 1), 0);
  ASSERT_EQ(record.frames().size(), 3u);
  DicomBuilder single;
  single.pixels16(4, 2, ramp(8));
  ASSERT_EQ(record.OpenDicom(write(single), 0, 1), 0);
  EXPECT_TRUE(record.frames().empty());
  EXPECT_EQ(record.frameCount, 1);
}

// A frame shown during cine takes the orientation and inversion the operator gave the picture:
// it must equal that frame opened alone and given the same commands.
TEST_F(MultiFrame, SelectedFrameIsTurnedAndInvertedAsThePictureIs) {
  using Step = bool (CBaseImage::*)();
  const struct {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"rotate right", {&CBaseImage::RotateRight}},
      {"rotate left", {&CBaseImage::RotateLeft}},
      {"mirror", {&CBaseImage::Mirror}},
      {"flip", {&CBaseImage::Flip}},
      {"invert", {&CBaseImage::Invert}},
      {"rotate right, mirror", {&CBaseImage::RotateRight, &CBaseImage::Mirror}},
      {"mirror, rotate left, flip",
       {&CBaseImage::Mirror, &CBaseImage::RotateLeft, &CBaseImage::Flip}},
      {"rotate right, flip, invert",
       {&CBaseImage::RotateRight, &CBaseImage::Flip, &CBaseImage::Invert}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CImageEach record;
    ASSERT_EQ(record.OpenDicom(path, 0, 1), 0);
    for (Step step : c.steps) (record.image.*step)();
    record.SelectFrame(1);
    DicomBuilder alone;
    alone.pixels16(4, 2, frame(1), 12).set(DCM_WindowWidth, "400").set(DCM_WindowCenter, "200");
    CImageEach expected;
    ASSERT_EQ(expected.OpenDicom(write(alone, QStringLiteral("alone.dcm")), 0, 0), 0);
    for (Step step : c.steps) (expected.image.*step)();
    EXPECT_EQ(record.image.bitmap().width(), expected.image.bitmap().width());
    EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()),
              imagetest::grey16Values(expected.image.bitmap()));
    EXPECT_EQ(record.currentFrame, 1);
  }
}

// Reset reopens the file into the same record: the picture comes back as the file holds it.
TEST_F(MultiFrame, OpeningAgainUndoesTurnsInversionAndZoom) {
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(path, 0, 1), 0);
  record.image.RotateRight();
  record.image.Invert();
  record.image.SetZoom(0.5f);
  record.SelectFrame(2);
  ASSERT_EQ(record.OpenDicom(path, 0, 1), 0);
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()), frame(0));
  EXPECT_FALSE(record.image.isInverted());
  EXPECT_EQ(record.image.originalLeftSide(), 0);
  EXPECT_EQ(record.image.originalTopSide(), 1);
  EXPECT_FLOAT_EQ(record.image.zoom().value(), 1.0f);
  EXPECT_EQ(window(record), std::make_pair(400, 200));
  EXPECT_EQ(record.currentFrame, 0);
  record.SelectFrame(1);
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()), frame(1));
}

// The window the operator reads is the file's: a MONOCHROME1 file stored mirrored, a signed
// or rescaled file stored shifted, still shows the Window Center it carries, and so does a
// picture the operator inverted.
TEST_F(OpenDicomTest, WindowShownIsInTheFilesOwnValues) {
  const struct {
    const char* name;
    const char* photometric;
    bool isSigned;
    const char* slope;
    const char* intercept;
    const char* centre;
    const char* width;
  } cases[] = {
      {"MONOCHROME1, 10 bits", "MONOCHROME1", false, "1", "0", "550", "300"},
      {"MONOCHROME2", "MONOCHROME2", false, "1", "0", "550", "300"},
      {"signed", "MONOCHROME2", true, "1", "0", "-100", "400"},
      {"rescaled", "MONOCHROME2", false, "2", "-1024", "40", "400"},
      {"MONOCHROME1 rescaled", "MONOCHROME1", false, "2", "-1024", "40", "400"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DicomBuilder b;
    b.pixels16(4, 1, {0, 100, 600, 1023}, 10)
        .set(DCM_PhotometricInterpretation, c.photometric)
        .set(DCM_PixelRepresentation, c.isSigned ? "1" : "0")
        .set(DCM_RescaleSlope, c.slope)
        .set(DCM_RescaleIntercept, c.intercept)
        .set(DCM_WindowCenter, c.centre)
        .set(DCM_WindowWidth, c.width);
    CImageEach record;
    ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
    const std::pair<int, int> file(std::atoi(c.width), std::atoi(c.centre));
    auto shown = [&record] {
      int width = 0;
      int centre = 0;
      record.image.GetWindow(width, centre);
      record.image.ToFileWindow(width, centre);
      return std::make_pair(width, centre);
    };
    EXPECT_EQ(shown(), file);
    record.image.Invert();
    EXPECT_EQ(shown(), file) << "inverted";
  }
}

TEST_F(OpenDicomTest, SingleFrameNeverKeepsAFrameList) {
  DicomBuilder b;
  b.pixels16(4, 2, ramp(8));
  const QString path = write(b);
  for (const int loadFrames : {0, 1}) {
    CImageEach record;
    ASSERT_EQ(record.OpenDicom(path, 0, loadFrames), 0);
    EXPECT_TRUE(record.frames().empty()) << loadFrames;
    EXPECT_EQ(record.frameCount, 1);
  }
}

TEST_F(OpenDicomTest, BadPathsAndFilesGiveNegativeCodes) {
  CImageEach record;
  EXPECT_EQ(record.OpenDicom(QString(), 0, 0), -1);
  // 255 characters is still a path; one more is refused before any file access.
  const QString base = dir.filePath(QStringLiteral("m"));
  const QString at255 = base + QString(255 - base.size(), QLatin1Char('x'));
  ASSERT_EQ(at255.size(), 255);
  EXPECT_EQ(record.OpenDicom(at255 + QLatin1Char('x'), 0, 0), -1);
  const int missing = record.OpenDicom(at255, 0, 0);
  EXPECT_LT(missing, 0);
  EXPECT_NE(missing, -1);

  QFile garbage(dir.filePath(QStringLiteral("garbage.dcm")));
  ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
  garbage.write(QByteArray(300, '\x07'));
  garbage.close();
  EXPECT_LT(record.OpenDicom(garbage.fileName(), 0, 0), 0);
  EXPECT_FALSE(record.image.IsAllocated());
}

TEST_F(OpenDicomTest, WithoutPixelDataTheAttributesAreStillRead) {
  DicomBuilder b;
  b.set(DCM_PatientName, "No^Pixels").set(DCM_StudyID, "S1");
  CImageEach record;
  ASSERT_EQ(record.OpenDicom(write(b), 0, 0), 0);
  EXPECT_NE(record.pixelError(), 0);
  EXPECT_FALSE(record.image.IsAllocated());
  EXPECT_EQ(record.scanInfo.Pat.PatName, QStringLiteral("No^Pixels"));
  EXPECT_EQ(record.scanInfo.Stu.StuID, QStringLiteral("S1"));
  EXPECT_EQ(record.width, 0);
  EXPECT_EQ(record.height, 0);
}

TEST_F(OpenDicomTest, PixelsThatCannotBeTrustedFailAloneAndTheAttributesAreRead) {
  struct Case {
    const char* what;
    std::function<void(DicomBuilder&)> damage;
    int pixelError;
  };
  const std::vector<Case> cases = {
      {"Bits Stored 0", [](DicomBuilder& b) { b.setUint16(DCM_BitsStored, 0); },
       imaging::kErrPixelFormat},
      {"High Bit below Bits Stored", [](DicomBuilder& b) { b.setUint16(DCM_HighBit, 3); },
       imaging::kErrPixelFormat},
      {"more frames than the pixel data holds",
       [](DicomBuilder& b) { b.set(DCM_NumberOfFrames, "2147483647"); }, imaging::kErrCorrupt},
  };
  for (const Case& c : cases) {
    DicomBuilder b;
    b.pixels16(4, 2, ramp(8), 12).set(DCM_PatientName, "Kept^Name");
    c.damage(b);
    CImageEach record;
    ASSERT_EQ(record.OpenDicom(write(b), 0, 1), 0) << c.what;
    EXPECT_EQ(record.pixelError(), c.pixelError) << c.what;
    EXPECT_FALSE(record.image.IsAllocated()) << c.what;
    EXPECT_TRUE(record.frames().empty()) << c.what;
    EXPECT_EQ(record.scanInfo.Pat.PatName, QStringLiteral("Kept^Name")) << c.what;
    EXPECT_EQ(record.scanInfo.Img.Rows, 2) << c.what;
  }
}

// ---------------------------------------------------------------------------------------------
// OpenRaw and SetRawImage

class RawTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  QString writeFile(const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("image.raw"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  QTemporaryDir dir;
};

TEST_F(RawTest, SixteenBitFileFillsARowAfterRowBitmap) {
  const std::vector<std::uint16_t> values = {1, 2, 300, 4000, 5, 65535};
  const QString path = writeFile(
      QByteArray(reinterpret_cast<const char*>(values.data()), qsizetype(values.size() * 2)));
  CImageEach record;
  ASSERT_EQ(record.OpenRaw(path, 3, 2, 16), 0);
  EXPECT_EQ(record.image.bitmap().bitsPerPixel(), 16);
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()), values);
  EXPECT_EQ(record.width, 3);
  EXPECT_EQ(record.height, 2);
  EXPECT_EQ(record.rawFilePath, path);
  EXPECT_EQ(record.image.displayRect(), QRect(0, 0, 3, 2));
}

TEST_F(RawTest, EightBitFileFillsAnEightBitBitmap) {
  const QString path = writeFile(QByteArray("\x00\x10\x20\x30\x40\xff", 6));
  CImageEach record;
  ASSERT_EQ(record.OpenRaw(path, 2, 3, 8), 0);
  ASSERT_EQ(record.image.bitmap().bitsPerPixel(), 8);
  EXPECT_EQ(std::memcmp(record.image.bitmap().data(), "\x00\x10\x20\x30\x40\xff", 6), 0);
}

TEST_F(RawTest, ShortFileIsRefused) {
  const QString path = writeFile(QByteArray(11, '\x01'));  // 3 × 2 × 2 needs 12 bytes
  CImageEach record;
  EXPECT_EQ(record.OpenRaw(path, 3, 2, 16), -1);
  EXPECT_FALSE(record.image.IsAllocated());
}

TEST_F(RawTest, UnopenableFileIsReportedWithItsPath) {
  RecordingMessageSink sink;
  ScopedMessageSink bound(&sink);
  const QString path = dir.filePath(QStringLiteral("absent.raw"));
  CImageEach record;
  EXPECT_EQ(record.OpenRaw(path, 3, 2, 16), -1);
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].text, QStringLiteral("Can't open selected file. [%1]").arg(path));
  EXPECT_EQ(sink.messages()[0].caption, QStringLiteral("OpenImage"));
  EXPECT_EQ(sink.messages()[0].style, MB_ICONEXCLAMATION);
}

TEST(SetRawImage, BuildsTheImageAndOnlyStoresTheWindow) {
  const std::vector<std::uint16_t> values = {0, 10, 200, 3000, 16383, 7};
  CImageEach record;
  ASSERT_EQ(record.SetRawImage(values.data(), 3, 2, 14, 1000, 500), 0);
  EXPECT_EQ(record.width, 3);
  EXPECT_EQ(record.height, 2);
  EXPECT_EQ(record.image.bitmap().bitsPerPixel(), 16);
  EXPECT_EQ(record.image.bitsStored(), 14);
  EXPECT_EQ(imagetest::grey16Values(record.image.bitmap()), values);
  int width = 0;
  int centre = 0;
  record.image.GetWindow(width, centre);
  EXPECT_EQ(width, 1000);
  EXPECT_EQ(centre, 500);
  EXPECT_TRUE(tableIsZero(record.image));
  EXPECT_EQ(record.image.displayRect(), QRect(0, 0, 3, 2));
}

TEST(SetRawImage, WithoutPixelsGivesNoMemoryCode) {
  CImageEach record;
  EXPECT_EQ(record.SetRawImage(nullptr, 3, 2, 14, 1000, 500), -100);
}

}  // namespace

// Values wider than 16 bits are shown through the file's own window and rescale: a float map
// with Window 0.5 / 1.0, and an RT dose without a window, in Dose Grid Scaling units, over
// the range of its values. Pixel values from pydicom's pixel array.
TEST(OpenDicomWide, FloatAndDoseValuesShowThroughTheFilesWindowAndRange) {
  struct Sample {
    int x, y;
    double level;
  };
  struct Case {
    const char* file;
    std::vector<Sample> samples;
  };
  const Case cases[] = {// Window 0..1: 0.9201 -> 234.6, 0.4400 -> 112.2, 0.1200 -> 30.6.
                        {"pm_float_pixels.dcm", {{0, 0, 234.6}, {100, 10, 112.2}, {64, 64, 30.6}}},
                        // No window: 795000..1254000 -> 0..255; 1249000 -> 252.2, 978000 -> 101.7.
                        {"rtdose_32bit_1frame.dcm", {{0, 0, 252.2}, {5, 5, 101.7}, {9, 9, 1.7}}}};
  for (const Case& c : cases) {
    CImageEach record;
    ASSERT_EQ(
        record.OpenDicom(
            QStringLiteral(TORASCAN_TESTDATA_DIR "/dicom/") + QString::fromLatin1(c.file), 0, 0),
        0)
        << c.file;
    ASSERT_TRUE(record.image.IsAllocated()) << c.file;
    EXPECT_EQ(record.image.bitmap().bitsPerPixel(), 16) << c.file;
    EXPECT_EQ(record.image.bitsStored(), 16) << c.file;
    for (const Sample& s : c.samples) {
      EXPECT_NEAR(tableLevel(record.image, pixel16(record.image.bitmap(), s.x, s.y)), s.level, 2)
          << c.file << " " << s.x << "," << s.y;
    }
  }
}
