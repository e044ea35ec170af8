// Attributes another system stored with VR UN (it did not know them, or re-encoded an implicit
// VR data set as explicit VR) are read by their dictionary VR: a Window Center kept as the UN
// bytes "4394" reads 4394, not the byte values 34\33\39\34.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "ImagingTestUtil.h"
#include "imaging/DicomDataSet.h"
#include "support/DicomBuilder.h"
#include "support/UnknownElement.h"

using imaging::DicomDataSet;
using imaging::DicomTag;
using testsupport::putUnknown;

namespace {

constexpr DicomTag kWindowCenter{0x0028, 0x1050};
constexpr DicomTag kWindowWidth{0x0028, 0x1051};
constexpr DicomTag kImageComments{0x0020, 0x4000};

std::string littleEndian(std::uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
  return out;
}

// One element as an implicit VR little endian stream holds it: tag, 4-byte length, value.
std::string implicitElement(std::uint16_t group, std::uint16_t element, const std::string& value) {
  return littleEndian(group, 2) + littleEndian(element, 2) + littleEndian(value.size(), 4) + value;
}

std::string item(const std::string& content) {
  return littleEndian(0xFFFE, 2) + littleEndian(0xE000, 2) + littleEndian(content.size(), 4) +
         content;
}

const std::string kWindowItem =
    item(implicitElement(0x0028, 0x1050, "4394") + implicitElement(0x0028, 0x1051, "2000"));

bool saveAs(testsupport::DicomBuilder& builder, const std::string& path, E_TransferSyntax xfer) {
  DcmFileFormat file(builder.dataset());
  return file
      .saveFile(path.c_str(), xfer, EET_ExplicitLength, EGL_recalcGL, EPD_noChange, 0, 0,
                EWM_updateMeta)
      .good();
}

// Appends raw bytes to the data set at the end of a written file (its last element must
// sort before the appended one).
void append(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out << bytes;
}

struct UnknownVrCase {
  const char* name;
  E_TransferSyntax xfer;
  DicomDataSet::Extent extent;
  bool inSequence;  // the window sits in an item of a sequence stored as UN
  bool undefinedLength;
};

std::ostream& operator<<(std::ostream& out, const UnknownVrCase& c) { return out << c.name; }

class UnknownVr : public ::testing::TestWithParam<UnknownVrCase> {};

TEST_P(UnknownVr, WindowIsReadByItsDictionaryVr) {
  const UnknownVrCase& c = GetParam();
  imaging::testing_util::TempDir dir;
  const std::string path = dir.file("un.dcm");
  testsupport::DicomBuilder builder;
  if (!c.inSequence) {
    putUnknown(builder.dataset(), DCM_WindowCenter, "4394");
    putUnknown(builder.dataset(), DCM_WindowWidth, "2000");
  } else if (!c.undefinedLength) {
    putUnknown(builder.dataset(), DCM_FrameVOILUTSequence, kWindowItem);
  }
  ASSERT_TRUE(saveAs(builder, path, c.xfer));
  if (c.undefinedLength) {
    // DCMTK writes no UN of undefined length; other systems do (its items are implicit VR).
    append(path, littleEndian(0x0028, 2) + littleEndian(0x9132, 2) + "UN" + littleEndian(0, 2) +
                     littleEndian(0xFFFFFFFF, 4) + kWindowItem + littleEndian(0xFFFE, 2) +
                     littleEndian(0xE0DD, 2) + littleEndian(0, 4));
  }
  DicomDataSet ds;
  ASSERT_EQ(ds.load(path, c.extent), 0);
  EXPECT_EQ(ds.text(kWindowCenter, c.inSequence), "4394");
  EXPECT_EQ(ds.text(kWindowWidth, c.inSequence), "2000");
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, UnknownVr,
    ::testing::Values(UnknownVrCase{"LittleEndian", EXS_LittleEndianExplicit,
                                    DicomDataSet::Extent::Whole, false, false},
                      UnknownVrCase{"LittleEndianHeader", EXS_LittleEndianExplicit,
                                    DicomDataSet::Extent::Header, false, false},
                      UnknownVrCase{"BigEndian", EXS_BigEndianExplicit, DicomDataSet::Extent::Whole,
                                    false, false},
                      UnknownVrCase{"SequenceOfImplicitItems", EXS_LittleEndianExplicit,
                                    DicomDataSet::Extent::Whole, true, false},
                      UnknownVrCase{"SequenceOfImplicitItemsHeader", EXS_LittleEndianExplicit,
                                    DicomDataSet::Extent::Header, true, false},
                      UnknownVrCase{"UndefinedLengthSequence", EXS_LittleEndianExplicit,
                                    DicomDataSet::Extent::Whole, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UnknownVrValue, LongValueLeftInTheFileIsReadByItsDictionaryVrLater) {
  // A header read leaves long values in the file until they are asked for.
  imaging::testing_util::TempDir dir;
  const std::string path = dir.file("long.dcm");
  const std::string comment(3000, 'c');
  testsupport::DicomBuilder builder;
  putUnknown(builder.dataset(), DCM_ImageComments, comment);
  ASSERT_TRUE(saveAs(builder, path, EXS_LittleEndianExplicit));
  for (const auto extent : {DicomDataSet::Extent::Header, DicomDataSet::Extent::Whole}) {
    DicomDataSet ds;
    ASSERT_EQ(ds.load(path, extent), 0);
    const auto text = ds.text(kImageComments);
    EXPECT_TRUE(text == comment) << (text ? text->substr(0, 20) : "(none)");
  }
}

TEST(UnknownVrValue, SequenceOfBrokenBytesDoesNotCostTheRestOfTheFile) {
  // UN bytes that do not parse as the items their dictionary VR expects.
  imaging::testing_util::TempDir dir;
  const std::string path = dir.file("broken.dcm");
  testsupport::DicomBuilder builder;
  builder.set(DCM_PatientName, "Doe^Jane");
  putUnknown(builder.dataset(), DCM_FrameVOILUTSequence, std::string("\x01\x02\x03\x04\xff", 5));
  ASSERT_TRUE(saveAs(builder, path, EXS_LittleEndianExplicit));
  DicomDataSet ds;
  ASSERT_EQ(ds.load(path), 0);
  EXPECT_EQ(ds.text({0x0010, 0x0010}), "Doe^Jane");
}

}  // namespace
